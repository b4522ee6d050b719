#include "texteditor/AnnotationListRow.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "model/TypeScale.h"
#include "texteditor/EditorTextRules.h"
#include "ui/ControlPainting.h"

#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace {

// Draws wrapped text in a box, at most `maxLines` lines, the last one elided.
void drawLines(QPainter &painter, const QRectF &box, const QString &text, const QFont &font, int maxLines)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    const QFontMetricsF metrics(font);
    for (int index = 0; index < maxLines; ++index) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(box.width());
        line.setPosition(QPointF(0, y));
        if (index == maxLines - 1 && line.textStart() + line.textLength() < text.size()) {
            // The lines above stay as laid out; this last one shows the rest, elided.
            const QString rest = metrics.elidedText(text.mid(line.textStart()), Qt::ElideRight, box.width());
            layout.endLayout();
            for (int above = 0; above < index; ++above)
                layout.lineAt(above).draw(&painter, box.topLeft());
            painter.setFont(font);
            painter.drawText(QPointF(box.left(), box.top() + y + metrics.ascent()), rest);
            return;
        }
        y += line.height();
    }
    layout.endLayout();
    for (int index = 0; index < layout.lineCount(); ++index)
        layout.lineAt(index).draw(&painter, box.topLeft());
}

int linesHeight(const QString &text, const QFont &font, qreal width, int maxLines)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    for (int index = 0; index < maxLines; ++index) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        height += line.height();
    }
    layout.endLayout();
    return int(std::ceil(height));
}

} // namespace

AnnotationListRow::AnnotationListRow(const TextMarkupAnnotation &annotation, const QString &snippet, bool focused,
                                     QWidget *parent)
    : FeedbackButton(parent)
    , m_annotation(annotation)
    , m_snippet(snippet)
    , m_focused(focused)
{
    const qint64 number = EditorTextRules::shownNumber(annotation);
    setToolTip(QStringLiteral("跳到批注 %1 对应的文字位置").arg(number));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void AnnotationListRow::setContent(const TextMarkupAnnotation &annotation, const QString &snippet, bool focused)
{
    if (annotation == m_annotation && snippet == m_snippet && focused == m_focused)
        return;
    const int before = heightForWidth(width());
    const qint64 number = EditorTextRules::shownNumber(annotation);
    if (number != EditorTextRules::shownNumber(m_annotation))
        setToolTip(QStringLiteral("跳到批注 %1 对应的文字位置").arg(number));
    m_annotation = annotation;
    m_snippet = snippet;
    m_focused = focused;
    if (heightForWidth(width()) != before)
        updateGeometry();
    update();
}

QSize AnnotationListRow::sizeHint() const { return QSize(204, heightForWidth(204)); }

int AnnotationListRow::heightForWidth(int width) const
{
    const qreal textWidth = width - 8 - 20 - 8 - 8;
    int height = linesHeight(m_annotation.note.trimmed(), AppFont::font(TypeScale::body, QFont::Bold), textWidth, 2);
    if (!m_snippet.isEmpty())
        height += 4 + linesHeight(m_snippet, AppFont::font(TypeScale::caption, QFont::DemiBold), textWidth, 2);
    return std::max(height, 20) + 16;
}

void AnnotationListRow::paintContent(QPainter &painter, const QRectF &rect)
{
    ControlPainting::roundedPanel(painter, rect, 8, m_focused ? AppTheme::paleBlue() : AppTheme::paleGray(), QColor());
    const QRectF badge(rect.left() + 8, rect.top() + 8, 20, 20);
    painter.setPen(Qt::NoPen);
    painter.setBrush(HexColor::uiColor(EditorTextRules::badgeColorHex(m_annotation)));
    painter.drawEllipse(badge);
    QFont digits = AppFont::font(TypeScale::fine, QFont::Bold);
    digits.setStyleHint(QFont::Monospace);
    painter.setFont(digits);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, QString::number(EditorTextRules::shownNumber(m_annotation)));
    const qreal x = badge.right() + 8;
    const qreal textWidth = rect.right() - 8 - x;
    const QFont noteFont = AppFont::font(TypeScale::body, QFont::Bold);
    const QString note = m_annotation.note.trimmed();
    painter.setPen(AppTheme::primaryText());
    drawLines(painter, QRectF(x, rect.top() + 8, textWidth, rect.height()), note, noteFont, 2);
    if (!m_snippet.isEmpty()) {
        const qreal y = rect.top() + 8 + linesHeight(note, noteFont, textWidth, 2) + 4;
        painter.setPen(AppTheme::secondaryText());
        drawLines(painter, QRectF(x, y, textWidth, rect.height()), m_snippet, AppFont::font(TypeScale::caption, QFont::DemiBold), 2);
    }
}
