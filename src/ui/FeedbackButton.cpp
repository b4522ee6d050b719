#include "ui/FeedbackButton.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <algorithm>

namespace {

constexpr qreal pressedScale = 0.97;
constexpr qreal pressedOverlayOpacity = 0.16;
constexpr qreal pressedBrightnessDrop = 0.08;
constexpr int pressAnimationMs = 100;

// Lowers every colour channel by `amount` (0…1 of full scale), as a brightness adjustment does;
// premultiplied pixels lose the amount in proportion to their coverage.
void darken(QImage &image, qreal amount)
{
    const int drop = int(std::lround(amount * 255));
    if (drop <= 0)
        return;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const int alpha = qAlpha(pixel);
            if (alpha == 0)
                continue;
            const int scaledDrop = drop * alpha / 255;
            line[x] = qRgba(std::max(0, qRed(pixel) - scaledDrop), std::max(0, qGreen(pixel) - scaledDrop),
                            std::max(0, qBlue(pixel) - scaledDrop), alpha);
        }
    }
}

} // namespace

FeedbackButton::FeedbackButton(QWidget *parent)
    : QAbstractButton(parent)
    , m_animation(new QVariantAnimation(this))
{
    m_animation->setDuration(pressAnimationMs);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_pressProgress = value.toReal();
        update();
    });
    setFont(AppFont::font(TypeScale::emphasis));
}

FeedbackButton::FeedbackButton(const QString &text, qreal cornerRadius, QWidget *parent)
    : FeedbackButton(parent)
{
    setText(text);
    m_cornerRadius = cornerRadius;
}

FeedbackButton::~FeedbackButton() = default;

void FeedbackButton::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    update();
}

void FeedbackButton::setCompact(bool compact)
{
    if (compact == m_compact)
        return;
    m_compact = compact;
    if (compact) {
        m_fullToolTip = toolTip();
        setToolTip(m_fullToolTip.isEmpty() || m_fullToolTip == text() ? text() : text() + QLatin1Char('\n') + m_fullToolTip);
    } else {
        setToolTip(m_fullToolTip);
    }
    updateGeometry();
    update();
}

QSize FeedbackButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    if (m_compact && !icon().isNull())
        return QSize(iconSize().width() + 24, std::max(metrics.height(), iconSize().height()) + 12);
    int width = metrics.horizontalAdvance(text()) + 24;
    int height = metrics.height() + 12;
    if (!icon().isNull()) {
        width += iconSize().width() + (text().isEmpty() ? 0 : 6);
        height = std::max(height, iconSize().height() + 12);
    }
    return QSize(width, height);
}

void FeedbackButton::animateTowards(qreal target)
{
    m_targetProgress = target;
    m_animation->stop();
    m_animation->setStartValue(m_pressProgress);
    m_animation->setEndValue(target);
    m_animation->start();
}

void FeedbackButton::paintEvent(QPaintEvent *)
{
    // The down state changes through mouse, keyboard and setDown(); each repaints, so the paint is
    // where the animation learns of it.
    const qreal target = isDown() ? 1.0 : 0.0;
    if (target != m_targetProgress)
        animateTowards(target);

    const QRectF bounds = rect();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_pressProgress <= 0) {
        paintContent(painter, bounds);
        return;
    }

    // Draw the content off screen first so the brightness change applies to it alone.
    const qreal ratio = devicePixelRatioF();
    QImage content((bounds.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    content.setDevicePixelRatio(ratio);
    content.fill(Qt::transparent);
    {
        QPainter contentPainter(&content);
        contentPainter.setRenderHint(QPainter::Antialiasing);
        paintContent(contentPainter, bounds);
    }
    darken(content, pressedBrightnessDrop * m_pressProgress);

    const qreal scale = 1 - (1 - pressedScale) * m_pressProgress;
    painter.translate(bounds.center());
    painter.scale(scale, scale);
    painter.translate(-bounds.center());
    painter.drawImage(bounds.topLeft(), content);

    QColor overlay = AppTheme::accent();
    overlay.setAlphaF(float(pressedOverlayOpacity * m_pressProgress));
    QPainterPath path;
    path.addRoundedRect(bounds, m_cornerRadius, m_cornerRadius);
    painter.fillPath(path, overlay);
}

void FeedbackButton::paintContent(QPainter &painter, const QRectF &rect)
{
    painter.setFont(font());
    painter.setPen(isEnabled() ? AppTheme::primaryText() : AppTheme::secondaryText());
    if (icon().isNull()) {
        painter.drawText(rect, Qt::AlignCenter, text());
        return;
    }
    const QSize iconExtent = iconSize();
    const bool titled = !text().isEmpty() && !m_compact;
    const qreal textWidth = titled ? QFontMetricsF(font()).horizontalAdvance(text()) + 6 : 0;
    const qreal left = rect.center().x() - (iconExtent.width() + textWidth) / 2;
    const QRectF iconRect(left, rect.center().y() - iconExtent.height() / 2.0, iconExtent.width(),
                          iconExtent.height());
    icon().paint(&painter, iconRect.toAlignedRect(), Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    if (titled) {
        const QRectF textRect(iconRect.right() + 6, rect.top(), textWidth, rect.height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
    }
}
