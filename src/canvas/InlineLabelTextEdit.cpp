#include "canvas/InlineLabelTextEdit.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"

#include <QKeyEvent>

InlineLabelTextEdit::InlineLabelTextEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setFrameShape(QFrame::NoFrame);
    setFont(AppFont::font(TypeScale::field, QFont::DemiBold));
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setTabChangesFocus(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, AppTheme::primaryText());
    setPalette(palette);
    viewport()->setAutoFillBackground(false);
    setBackgroundVisible(false);
    document()->setDocumentMargin(0);
}

bool InlineLabelTextEdit::isConfirmKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    const Qt::KeyboardModifiers relevant =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return relevant == Qt::AltModifier;
}

void InlineLabelTextEdit::keyPressEvent(QKeyEvent *event)
{
    if (isConfirmKey(event->key(), event->modifiers())) {
        // Consumed even when nothing is being edited, so Alt+Return never types a line break.
        event->accept();
        Q_EMIT confirmRequested();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void InlineLabelTextEdit::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    Q_EMIT focusChanged(true);
}

void InlineLabelTextEdit::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    Q_EMIT focusChanged(false);
}
