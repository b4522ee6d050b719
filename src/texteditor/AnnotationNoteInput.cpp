#include "texteditor/AnnotationNoteInput.h"

#include "model/AppFont.h"
#include "model/HexColor.h"
#include "model/TypeScale.h"

#include <QKeyEvent>
#include <QTimer>

AnnotationNoteInput::AnnotationNoteInput(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setFont(AppFont::font(TypeScale::noteInput, QFont::DemiBold));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    setViewportMargins(10 - 4, 8 - 4, 10 - 4, 8 - 4); // the document keeps its own 4 px margin
    setPlaceholderText(QStringLiteral("输入修改说明"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Text, HexColor::drawingColor(QStringLiteral("#334155")));
    palette.setColor(QPalette::Base, Qt::transparent);
    QColor placeholder = HexColor::uiColor(QStringLiteral("#64748B"));
    placeholder.setAlphaF(0.78f);
    palette.setColor(QPalette::PlaceholderText, placeholder);
    setPalette(palette);
    viewport()->setAutoFillBackground(false);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing && textEdited)
            textEdited(toPlainText());
    });
}

void AnnotationNoteInput::showText(const QString &text)
{
    if (toPlainText() == text)
        return;
    m_showing = true;
    setPlainText(text);
    m_showing = false;
}

void AnnotationNoteInput::applyFocusSignal(int signal)
{
    if (signal == m_appliedFocusSignal)
        return;
    m_appliedFocusSignal = signal;
    QTimer::singleShot(0, this, [this] {
        setFocus(Qt::OtherFocusReason);
        QTextCursor cursor = textCursor();
        cursor.movePosition(QTextCursor::End);
        setTextCursor(cursor);
    });
}

void AnnotationNoteInput::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers masked
        = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && (masked == Qt::ControlModifier || masked == Qt::MetaModifier)) {
        if (textEdited)
            textEdited(toPlainText());
        if (submit)
            submit();
        event->accept();
        return;
    }
    if (isReturn && masked != Qt::NoModifier) {
        // Shift+Ctrl+Return and the like break the line like Return.
        insertPlainText(QStringLiteral("\n"));
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
