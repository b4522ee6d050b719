#include "texteditor/SurfaceWidgets.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/HexColor.h"
#include "ui/ShellPainting.h"
#include "texteditor/EditorTextRules.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace {

void panel(QPainter &painter, const QRectF &rect, qreal radius, const QColor &fill, const QColor &border,
           qreal borderWidth = 1)
{
    const qreal half = borderWidth / 2;
    QPainterPath path;
    path.addRoundedRect(rect.adjusted(half, half, -half, -half), radius, radius);
    if (fill.isValid() && fill.alpha() > 0)
        painter.fillPath(path, fill);
    if (border.isValid() && border.alpha() > 0) {
        painter.setPen(QPen(border, borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
}

using ShellPainting::symbol;


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

// ---- SurfaceButton ------------------------------------------------------------------------------

namespace {

ButtonStyle surfaceButtonStyle(QSize minimumSize)
{
    ButtonStyle style;
    style.foreground = AppTheme::darkSlate();
    style.background = AppTheme::paleGray();
    style.border = AppTheme::lightSlate();
    style.fontPixels = 12.5;
    style.fontWeight = QFont::DemiBold;
    style.symbolPixels = 15;
    style.minimumSize = minimumSize;
    return style;
}

} // namespace

SurfaceButton::SurfaceButton(const QString &title, const QString &symbolName, QSize minimumSize, QWidget *parent)
    : StyledButton(title, symbolName, surfaceButtonStyle(minimumSize), parent)
{
}

void SurfaceButton::setTitle(const QString &title)
{
    if (title == text())
        return;
    setText(title);
    updateGeometry();
    update();
}

void SurfaceButton::setLabelFont(const QFont &font)
{
    setFont(font);
    updateGeometry();
}

QSize SurfaceButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    int width = metrics.horizontalAdvance(text()) + 2 * 12 + (symbolName().isEmpty() ? 0 : 20);
    return QSize(std::max(width, buttonStyle().minimumSize.width()), buttonStyle().minimumSize.height());
}

void SurfaceButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const ButtonStyle &style = buttonStyle();
    panel(painter, rect, 8, style.background, style.border);
    painter.setFont(font());
    const QFontMetricsF metrics(font());
    const qreal textWidth = metrics.horizontalAdvance(text());
    const qreal total = textWidth + (symbolName().isEmpty() ? 0 : 20);
    qreal x = rect.center().x() - total / 2;
    if (!symbolName().isEmpty()) {
        symbol(painter, symbolName(), style.foreground, QRectF(x, rect.top(), 15, rect.height()), 15);
        x += 20;
    }
    painter.setPen(style.foreground);
    painter.drawText(QRectF(x, rect.top(), textWidth + 1, rect.height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}

// ---- MarkupToolButton ---------------------------------------------------------------------------

MarkupToolButton::MarkupToolButton(const QString &title, const QString &symbolName, const QString &shortcutKey,
                                   const QString &badgeColorHex, QWidget *parent)
    : FeedbackButton(parent)
    , m_title(title)
    , m_symbolName(symbolName)
    , m_shortcutKey(shortcutKey)
    , m_badgeColor(HexColor::uiColor(badgeColorHex))
{
    setCornerRadius(7);
    setFixedSize(74, 28);
    setCursor(Qt::PointingHandCursor);
}

void MarkupToolButton::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    update();
}

void MarkupToolButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const QColor foreground = m_highlighted ? QColor(Qt::white) : AppTheme::darkSlate();
    if (m_highlighted)
        panel(painter, rect, 7, AppTheme::navy(), QColor());
    const QFont titleFont = AppFont::font(11.5, QFont::Bold);
    const qreal titleWidth = QFontMetricsF(titleFont).horizontalAdvance(m_title);
    const qreal total = 15 + 5 + titleWidth + 5 + 15;
    qreal x = rect.center().x() - total / 2;
    symbol(painter, m_symbolName, foreground, QRectF(x, rect.center().y() - 7.5, 15, 15), 13);
    x += 20;
    painter.setFont(titleFont);
    painter.setPen(foreground);
    painter.drawText(QRectF(x, rect.top(), titleWidth + 1, rect.height()), Qt::AlignVCenter | Qt::AlignLeft, m_title);
    x += titleWidth + 5;
    const QRectF badge(x, rect.center().y() - 7.5, 15, 15);
    QColor badgeFill = m_highlighted ? QColor(255, 255, 255, 240) : m_badgeColor;
    if (!m_highlighted)
        badgeFill.setAlphaF(0.14f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(badgeFill);
    painter.drawEllipse(badge);
    QFont digitFont = AppFont::font(9, QFont::Bold);
    digitFont.setStyleHint(QFont::Monospace);
    painter.setFont(digitFont);
    painter.setPen(m_highlighted ? m_badgeColor : AppTheme::secondaryText());
    painter.drawText(badge, Qt::AlignCenter, m_shortcutKey);
}

// ---- ColorSwatch --------------------------------------------------------------------------------

ColorSwatch::ColorSwatch(const QString &name, const QString &hexText, QWidget *parent)
    : FeedbackButton(parent)
    , m_hex(hexText)
{
    setFixedSize(24, 28);
    setToolTip(name);
    setAccessibleName(name);
    setCursor(Qt::PointingHandCursor);
}

void ColorSwatch::setChosen(bool chosen)
{
    if (chosen == m_chosen)
        return;
    m_chosen = chosen;
    update();
}

void ColorSwatch::paintContent(QPainter &painter, const QRectF &rect)
{
    const QRectF circle(rect.center().x() - 9, rect.center().y() - 9, 18, 18);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 26));
    painter.drawEllipse(circle.translated(0, 1).adjusted(-1, -1, 1, 1));
    painter.setBrush(HexColor::uiColor(m_hex));
    painter.drawEllipse(circle);
    painter.setBrush(Qt::NoBrush);
    if (m_chosen)
        painter.setPen(QPen(AppTheme::primaryText(), 2.2));
    else
        painter.setPen(QPen(Qt::white, 1));
    painter.drawEllipse(circle);
}

// ---- RoundedPanel -------------------------------------------------------------------------------

RoundedPanel::RoundedPanel(const QColor &fill, const QColor &border, qreal borderWidth, QWidget *parent)
    : QWidget(parent)
    , m_fill(fill)
    , m_border(border)
    , m_borderWidth(borderWidth)
{
}

void RoundedPanel::setBorder(const QColor &border, qreal width)
{
    if (border == m_border && width == m_borderWidth)
        return;
    m_border = border;
    m_borderWidth = width;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    panel(painter, rect(), 8, m_fill, m_border, m_borderWidth);
}

// ---- ChangeChip ---------------------------------------------------------------------------------

ChangeChip::ChangeChip(qint64 number, const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_number(QString::number(number))
    , m_text(text)
{
    setFixedSize(sizeHint());
}

void ChangeChip::setContent(qint64 number, const QString &text)
{
    const QString shown = QString::number(number);
    if (shown == m_number && text == m_text)
        return;
    m_number = shown;
    m_text = text;
    setFixedSize(sizeHint());
    update();
}

QSize ChangeChip::sizeHint() const
{
    const int textWidth = int(std::ceil(QFontMetricsF(AppFont::font(12, QFont::DemiBold)).horizontalAdvance(m_text)));
    return QSize(9 + 20 + 6 + textWidth + 9, 7 + 20 + 7);
}

void ChangeChip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    panel(painter, rect(), 8, surfaceColor("#FDE68A"), QColor());
    const QRectF badge(9, 7, 20, 20);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AppTheme::accent());
    painter.drawEllipse(badge);
    painter.setFont(AppFont::font(10, QFont::Bold));
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, m_number);
    painter.setFont(AppFont::font(12, QFont::DemiBold));
    painter.setPen(AppTheme::darkSlate());
    painter.drawText(QRectF(35, 0, width() - 35 - 9, height()), Qt::AlignVCenter | Qt::AlignLeft, m_text);
}

// ---- AnnotationListRow --------------------------------------------------------------------------

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
    int height = linesHeight(m_annotation.note.trimmed(), AppFont::font(12, QFont::Bold), textWidth, 2);
    if (!m_snippet.isEmpty())
        height += 4 + linesHeight(m_snippet, AppFont::font(11, QFont::DemiBold), textWidth, 2);
    return std::max(height, 20) + 16;
}

void AnnotationListRow::paintContent(QPainter &painter, const QRectF &rect)
{
    panel(painter, rect, 8, m_focused ? AppTheme::paleBlue() : AppTheme::paleGray(), QColor());
    const QRectF badge(rect.left() + 8, rect.top() + 8, 20, 20);
    painter.setPen(Qt::NoPen);
    painter.setBrush(HexColor::uiColor(EditorTextRules::badgeColorHex(m_annotation)));
    painter.drawEllipse(badge);
    QFont digits = AppFont::font(10, QFont::Bold);
    digits.setStyleHint(QFont::Monospace);
    painter.setFont(digits);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, QString::number(EditorTextRules::shownNumber(m_annotation)));
    const qreal x = badge.right() + 8;
    const qreal textWidth = rect.right() - 8 - x;
    const QFont noteFont = AppFont::font(12, QFont::Bold);
    const QString note = m_annotation.note.trimmed();
    painter.setPen(AppTheme::primaryText());
    drawLines(painter, QRectF(x, rect.top() + 8, textWidth, rect.height()), note, noteFont, 2);
    if (!m_snippet.isEmpty()) {
        const qreal y = rect.top() + 8 + linesHeight(note, noteFont, textWidth, 2) + 4;
        painter.setPen(AppTheme::secondaryText());
        drawLines(painter, QRectF(x, y, textWidth, rect.height()), m_snippet, AppFont::font(11, QFont::DemiBold), 2);
    }
}

// ---- MarkupLegend -------------------------------------------------------------------------------

namespace {
const char *const legendColors[] = { "#16A34A", "#DC2626" };
const char *const legendTitles[] = { "绿色 下划线/新增", "红色 划掉" };
} // namespace

MarkupLegend::MarkupLegend(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(sizeHint());
}

QSize MarkupLegend::sizeHint() const
{
    const QFontMetricsF metrics(AppFont::font(11, QFont::Bold));
    qreal width = 0;
    for (const char *title : legendTitles)
        width += 8 + 5 + metrics.horizontalAdvance(QString::fromUtf8(title));
    return QSize(int(std::ceil(width + 8)), 20);
}

void MarkupLegend::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont font = AppFont::font(11, QFont::Bold);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    qreal x = 0;
    for (int index = 0; index < 2; ++index) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(HexColor::uiColor(QString::fromLatin1(legendColors[index])));
        painter.drawEllipse(QRectF(x, height() / 2.0 - 4, 8, 8));
        x += 13;
        const QString title = QString::fromUtf8(legendTitles[index]);
        painter.setPen(AppTheme::secondaryText());
        painter.drawText(QRectF(x, 0, metrics.horizontalAdvance(title) + 1, height()), Qt::AlignVCenter, title);
        x += metrics.horizontalAdvance(title) + 8;
    }
}

QColor surfaceColor(const char *hex, qreal opacity)
{
    QColor color = HexColor::uiColor(QString::fromLatin1(hex));
    color.setAlphaF(float(opacity));
    return color;
}
