#include "comparison/widgets/ComparisonWidgets.h"

#include "ui/BusySpinner.h"
#include "ui/PanelChrome.h"
#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "platform/SymbolIcons.h"

#include <QDir>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

void drawSymbol(QPainter &painter, const QString &name, const QColor &tint, const QRectF &box, int size)
{
    SymbolIcons::icon(name, tint).paint(&painter, QRectF(box.center() - QPointF(size / 2.0, size / 2.0), QSizeF(size, size)).toAlignedRect());
}

void drawElided(QPainter &painter, const QRectF &rect, const QString &text, const QFont &font, const QColor &color,
                Qt::TextElideMode mode, Qt::Alignment alignment)
{
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(rect, alignment, QFontMetrics(font).elidedText(text, mode, int(rect.width())));
}

} // namespace

QPixmap comparisonPreview(const ComparisonImageState &side, QSize size, double radius, qreal ratio)
{
    QImage picture = side.thumbnail.image();
    if (picture.isNull()) {
        // No small copy kept (pairs opened from a project): one is made at the size drawn here.
        const QSizeF full(side.image.size());
        const double cover = std::max(size.width() / full.width(), size.height() / full.height());
        picture = side.image.thumbnail(std::ceil(std::max(full.width(), full.height()) * cover * ratio));
    }
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    if (picture.isNull())
        return pixmap;
    QPainter painter(&pixmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius, radius);
    painter.setClipPath(clip);
    const double scale = std::max(double(size.width()) / picture.width(), double(size.height()) / picture.height());
    const QSizeF drawn(picture.width() * scale, picture.height() * scale);
    painter.drawImage(QRectF(QPointF((size.width() - drawn.width()) / 2, (size.height() - drawn.height()) / 2), drawn),
                      picture);
    return pixmap;
}

// ---- SheetButton -----------------------------------------------------------------------------------

namespace {

ButtonStyle sheetStyle(const QFont &font, QSize minimumSize)
{
    ButtonStyle style;
    style.foreground = AppTheme::darkSlate();
    style.background = AppTheme::paleGray();
    style.fontPixels = font.pixelSize();
    style.fontWeight = QFont::Weight(font.weight());
    style.minimumSize = minimumSize;
    return style;
}

ButtonStyle emptyStateStyle()
{
    ButtonStyle style;
    style.fontPixels = 12.5;
    style.symbolPixels = 23;
    style.minimumSize = QSize(126, 86);
    style.stacked = true;
    return style;
}

} // namespace

SheetButton::SheetButton(const QString &title, const QString &symbol, const QFont &font, QSize minimumSize,
                         QWidget *parent)
    : StyledButton(title, symbol, sheetStyle(font, minimumSize), parent)
{
    unsetCursor();
    setFont(font);
    setAccessibleName(title);
}

QSize SheetButton::sizeHint() const
{
    const int symbol = symbolName().isEmpty() ? 0 : 20;
    const int content = fontMetrics().horizontalAdvance(text()) + symbol + 28;
    return QSize(std::max(buttonStyle().minimumSize.width(), content), buttonStyle().minimumSize.height());
}

void SheetButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const ButtonStyle &style = buttonStyle();
    const bool enabled = isEnabled();
    const QColor fill = enabled ? style.background : PanelChrome::withAlpha(AppTheme::secondaryText(), 0.45);
    PanelChrome::paintRoundedBox(painter, rect, cornerRadius(), fill, enabled ? style.border : QColor(), 1);
    const QFontMetricsF metrics(font());
    const bool hasSymbol = !symbolName().isEmpty() || isBusy();
    const double symbolWidth = hasSymbol ? 20 : 0;
    const double textWidth = metrics.horizontalAdvance(text());
    const double left = rect.center().x() - (symbolWidth + textWidth) / 2;
    if (isBusy()) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        BusySpinner::paintRing(painter, QRectF(left + 1, rect.center().y() - 7, 14, 14), style.foreground, 2,
                               spinnerAngle());
        painter.restore();
    } else if (hasSymbol) {
        drawSymbol(painter, symbolName(), style.foreground, QRectF(left, rect.top(), 16, rect.height()), 15);
    }
    painter.setFont(font());
    painter.setPen(style.foreground);
    painter.drawText(QRectF(left + symbolWidth, rect.top(), textWidth + 1, rect.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text());
}

// ---- EmptyStateButton ------------------------------------------------------------------------------

EmptyStateButton::EmptyStateButton(const QString &title, const QString &symbol, QWidget *parent)
    : StyledButton(title, symbol, emptyStateStyle(), parent)
{
    unsetCursor();
    setFixedSize(126, 86);
    setAccessibleName(title);
}

void EmptyStateButton::paintContent(QPainter &painter, const QRectF &rect)
{
    const ButtonStyle &style = buttonStyle();
    PanelChrome::paintRoundedBox(painter, rect, 8, style.background, style.border, 1);
    const double lineHeight = QFontMetricsF(font()).height();
    const double top = rect.center().y() - (28 + 9 + lineHeight) / 2;
    drawSymbol(painter, symbolName(), style.foreground, QRectF(rect.center().x() - 14, top, 28, 28), 23);
    painter.setFont(font());
    painter.setPen(style.foreground);
    painter.drawText(QRectF(rect.left(), top + 37, rect.width(), lineHeight), Qt::AlignCenter, text());
}

// ---- UploadCard ------------------------------------------------------------------------------------

UploadCard::UploadCard(const QString &title, QWidget *parent)
    : FeedbackButton(title, 8, parent)
{
    setFixedSize(274, 216);
    setAccessibleName(title);
}

void UploadCard::setImage(const std::optional<ComparisonImageState> &image)
{
    m_fileName = image ? std::optional<QString>(image->fileName) : std::nullopt;
    m_preview = image ? comparisonPreview(*image, QSize(254, 150), 8, devicePixelRatioF()) : QPixmap();
    update();
}

void UploadCard::paintContent(QPainter &painter, const QRectF &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    PanelChrome::paintRoundedBox(painter, rect, 8, AppTheme::paleGray());
    if (m_fileName) {
        const QFont nameFont = AppFont::font(12, QFont::DemiBold);
        const double lineHeight = QFontMetricsF(nameFont).height();
        const double top = rect.center().y() - (150 + 12 + lineHeight) / 2;
        painter.drawPixmap(QPointF(rect.center().x() - 127, top), m_preview);
        drawElided(painter, QRectF(rect.left() + 10, top + 162, rect.width() - 20, lineHeight), *m_fileName, nameFont,
                   AppTheme::darkSlate(), Qt::ElideRight, Qt::AlignCenter);
        PanelChrome::paintRoundedBox(painter, rect, 8, QColor(), AppTheme::navy(), 2);
    } else {
        const QFont titleFont = AppFont::font(13, QFont::Bold);
        const double lineHeight = QFontMetricsF(titleFont).height();
        const double top = rect.center().y() - (30 + 12 + lineHeight) / 2;
        drawSymbol(painter, QStringLiteral("photo.badge.plus"), AppTheme::navy(),
                   QRectF(rect.center().x() - 18, top, 36, 30), 30);
        painter.setFont(titleFont);
        painter.setPen(AppTheme::primaryText());
        painter.drawText(QRectF(rect.left(), top + 42, rect.width(), lineHeight), Qt::AlignCenter, text());
        QPen pen(AppTheme::lightSlate(), 1, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setDashPattern({6, 4});
        pen.setMiterLimit(10);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
    painter.restore();
}

// ---- CurrentImageCard ------------------------------------------------------------------------------

CurrentImageCard::CurrentImageCard(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("currentBeforeImageCard"));
    setFixedHeight(58 + 20);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CurrentImageCard::setImage(const std::optional<ComparisonImageState> &image)
{
    m_fileName = image ? std::optional<QString>(image->fileName) : std::nullopt;
    m_preview = image ? comparisonPreview(*image, QSize(82, 58), 7, devicePixelRatioF()) : QPixmap();
    update();
}

void CurrentImageCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    PanelChrome::paintRoundedBox(painter, box, 8, AppTheme::paleGray(), PanelChrome::withAlpha(AppTheme::navy(), 0.35), 1);
    if (!m_fileName)
        return;
    painter.drawPixmap(QPointF(box.left() + 10, box.top() + 10), m_preview);
    const double textLeft = box.left() + 10 + 82 + 12;
    const QRectF column(textLeft, box.top() + 10, box.right() - 10 - textLeft, 58);
    const QFont titleFont = AppFont::font(12, QFont::Bold);
    const QFont nameFont = AppFont::font(11, QFont::DemiBold);
    const double h1 = QFontMetricsF(titleFont).height();
    const double h2 = QFontMetricsF(nameFont).height();
    const double top = column.center().y() - (h1 + 3 + h2) / 2;
    drawElided(painter, QRectF(column.left(), top, column.width(), h1), QStringLiteral("修改前图片"), titleFont,
               AppTheme::primaryText(), Qt::ElideRight, Qt::AlignLeft | Qt::AlignVCenter);
    drawElided(painter, QRectF(column.left(), top + h1 + 3, column.width(), h2), *m_fileName, nameFont,
               AppTheme::secondaryText(), Qt::ElideRight, Qt::AlignLeft | Qt::AlignVCenter);
}

// ---- FolderSlot ------------------------------------------------------------------------------------

FolderSlot::FolderSlot(const QString &title, const QString &help, QWidget *parent)
    : QWidget(parent)
    , m_title(title)
{
    setFixedHeight(32 + 24);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->addStretch(1);
    m_button = new SheetButton(QStringLiteral("选择"), QString(), AppFont::font(12, QFont::Bold), QSize(58, 32), this);
    m_button->setFixedSize(58, 32);
    m_button->setColors(AppTheme::darkSlate(), AppTheme::surface(), AppTheme::lightSlate());
    m_button->setToolTip(help);
    row->addWidget(m_button);
}

void FolderSlot::setFolder(const std::optional<QString> &path)
{
    m_folder = path;
    m_button->setText(path ? QStringLiteral("更换") : QStringLiteral("选择"));
    m_button->setAccessibleName(m_button->text());
    update();
}

QString FolderSlot::valueText() const
{
    if (!m_folder)
        return QStringLiteral("未选择");
    const QString name = QDir(*m_folder).dirName();
    return name.isEmpty() ? *m_folder : name;
}

void FolderSlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    const bool chosen = m_folder.has_value();
    PanelChrome::paintRoundedBox(painter, box, 8, AppTheme::paleGray(),
                                 chosen ? PanelChrome::withAlpha(AppTheme::green(), 0.38) : AppTheme::lightSlate(), 1);
    const QRectF icon(box.left() + 12, box.center().y() - 15, 30, 30);
    drawSymbol(painter, chosen ? QStringLiteral("folder.fill") : QStringLiteral("folder.badge.plus"),
               chosen ? AppTheme::green() : AppTheme::secondaryText(), icon, 18);
    const double textLeft = icon.right() + 12;
    const double textRight = m_button->geometry().left() - 12;
    const QFont titleFont = AppFont::font(12, QFont::Bold);
    const QFont valueFont = AppFont::font(11, QFont::DemiBold);
    const double h1 = QFontMetricsF(titleFont).height();
    const double h2 = QFontMetricsF(valueFont).height();
    const double top = box.center().y() - (h1 + 3 + h2) / 2;
    drawElided(painter, QRectF(textLeft, top, textRight - textLeft, h1), m_title, titleFont, AppTheme::primaryText(),
               Qt::ElideRight, Qt::AlignLeft | Qt::AlignVCenter);
    drawElided(painter, QRectF(textLeft, top + h1 + 3, textRight - textLeft, h2), valueText(), valueFont,
               chosen ? AppTheme::darkSlate() : AppTheme::secondaryText(), Qt::ElideMiddle, Qt::AlignLeft | Qt::AlignVCenter);
}
