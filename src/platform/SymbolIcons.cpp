#include "platform/SymbolIcons.h"

#include <QFile>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <memory>

// Resources compiled into a static library are only linked in when something refers to them.
static void initSymbolIconResources()
{
    static const bool initialised = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    Q_UNUSED(initialised);
}

namespace {

constexpr qreal disabledOpacity = 0.45;

QString resourcePath(const QString &symbolName)
{
    return QStringLiteral(":/icons/") + symbolName + QStringLiteral(".svg");
}

bool isPlainName(const QString &symbolName)
{
    // Names are dotted words; anything that could step out of the icon folder is not one.
    return !symbolName.isEmpty() && !symbolName.contains(QLatin1Char('/'))
        && !symbolName.contains(QLatin1String("..")) && !symbolName.startsWith(QLatin1Char('.'));
}

// Draws one tinted SVG at whatever size is asked for, so icons stay sharp on every screen.
class SymbolIconEngine final : public QIconEngine
{
public:
    SymbolIconEngine(std::shared_ptr<QSvgRenderer> renderer, qreal opacity)
        : m_renderer(std::move(renderer))
        , m_opacity(opacity)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        // Icons are square: centre the drawing in the rectangle instead of stretching it.
        const qreal side = qMin(rect.width(), rect.height());
        const QRectF target(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0, side,
                            side);
        painter->save();
        painter->setOpacity(painter->opacity() * m_opacity * (mode == QIcon::Disabled ? disabledOpacity : 1.0));
        m_renderer->render(painter, target);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        // QIcon asks in device pixels already; the scale only labels the result.
        const QSize pixels = size;
        if (pixels.isEmpty())
            return {};
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            paint(&painter, QRect(QPoint(0, 0), pixels), mode, state);
        }
        QPixmap pixmap = QPixmap::fromImage(std::move(image));
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new SymbolIconEngine(m_renderer, m_opacity); }
    QString key() const override { return QStringLiteral("KivoraSymbolIcon"); }
    bool isNull() override { return !m_renderer->isValid(); }

private:
    std::shared_ptr<QSvgRenderer> m_renderer;
    qreal m_opacity;
};

} // namespace

namespace SymbolIcons {

bool contains(const QString &symbolName)
{
    initSymbolIconResources();
    return isPlainName(symbolName) && QFile::exists(resourcePath(symbolName));
}

QIcon icon(const QString &symbolName, const QColor &tint)
{
    if (!contains(symbolName))
        return {};
    QFile file(resourcePath(symbolName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The drawings use currentColor; the tint takes its place. Colour names carry no alpha, so a
    // translucent tint becomes the opacity of the whole drawing.
    QByteArray svg = file.readAll();
    svg.replace("currentColor", tint.name(QColor::HexRgb).toLatin1());
    auto renderer = std::make_shared<QSvgRenderer>(svg);
    if (!renderer->isValid())
        return {};
    return QIcon(new SymbolIconEngine(std::move(renderer), tint.alphaF()));
}

} // namespace SymbolIcons
