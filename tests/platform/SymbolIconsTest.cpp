#include "platform/SymbolIcons.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

// Every symbol name the interface asks for: header, launcher, workspace switcher, tool columns,
// editors, comparison, text comparison, compression and video workspaces.
const QStringList usedSymbolNames = {
    "magnifyingglass", "photo.badge.plus", "plus.rectangle.on.rectangle", "viewfinder", "paintbrush.pointed",
    "square.and.arrow.down", "folder", "tray.and.arrow.down", "folder.badge.plus", "square.grid.2x2", "photo",
    "rectangle.split.2x1", "doc.text", "arrow.down.left.and.arrow.up.right", "video.badge.waveform",
    "photo.on.rectangle.angled", "photo.on.rectangle", "minus.magnifyingglass", "plus.magnifyingglass",
    "slider.horizontal.3", "xmark", "line.3.horizontal", "arrow.counterclockwise", "arrow.triangle.2.circlepath",
    "arrow.down.circle.fill", "arrow.left.and.right", "plus", "folder.fill", "doc.text.magnifyingglass", "checkmark",
    // image markup tools
    "cursorarrow", "crop", "eyedropper", "arrow.up.right", "text.cursor", "rectangle.dashed", "paintbrush",
    // other workspaces and editors
    "chevron.up", "chevron.down", "chevron.up.chevron.down", "doc.badge.plus", "text.bubble", "underline",
    "strikethrough", "list.bullet.rectangle", "arrow.down", "sparkles", "checkmark.circle.fill", "video.badge.plus",
    "backward.frame.fill", "pause.fill", "play.fill", "forward.frame.fill", "trash",
};

struct InkStats
{
    int inked = 0;        // pixels with some coverage
    int maxAlpha = 0;
    bool tintOnly = true; // every fully covered pixel has the tint's colour
};

InkStats ink(const QImage &image, QColor tint)
{
    InkStats stats;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QColor pixel = argb.pixelColor(x, y);
            if (pixel.alpha() > 0)
                ++stats.inked;
            stats.maxAlpha = std::max(stats.maxAlpha, pixel.alpha());
            if (pixel.alpha() >= 250 && (std::abs(pixel.red() - tint.red()) > 2 || std::abs(pixel.green() - tint.green()) > 2
                                         || std::abs(pixel.blue() - tint.blue()) > 2))
                stats.tintOnly = false;
        }
    }
    return stats;
}

} // namespace

TEST(SymbolIcons, EveryUsedNameRendersInItsTint)
{
    const QColor tint(QStringLiteral("#059669"));
    for (const QString &name : usedSymbolNames) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(SymbolIcons::contains(name));
        const QIcon icon = SymbolIcons::icon(name, tint);
        ASSERT_FALSE(icon.isNull());
        for (const int size : {16, 24, 48}) {
            const QImage image = icon.pixmap(size, size).toImage();
            ASSERT_EQ(image.size(), QSize(size, size));
            const InkStats stats = ink(image, tint);
            // Visible, but not a filled square (a broken drawing tends to be one or the other).
            EXPECT_GT(stats.inked, size * size / 20) << size;
            EXPECT_LT(stats.inked, size * size * 9 / 10) << size;
            EXPECT_GE(stats.maxAlpha, 200) << size;
            EXPECT_TRUE(stats.tintOnly) << size;
        }
    }
}

TEST(SymbolIcons, DisabledAndTranslucentIconsAreFainter)
{
    const QIcon icon = SymbolIcons::icon(QStringLiteral("plus"));
    const InkStats normal = ink(icon.pixmap(24, 24).toImage(), SymbolIcons::defaultTint);
    const InkStats disabled = ink(icon.pixmap(QSize(24, 24), QIcon::Disabled).toImage(), SymbolIcons::defaultTint);
    EXPECT_GE(normal.maxAlpha, 250);
    EXPECT_GT(disabled.maxAlpha, 0);
    EXPECT_LT(disabled.maxAlpha, 140);

    const QIcon faint = SymbolIcons::icon(QStringLiteral("plus"), QColor(255, 255, 255, 128));
    const InkStats half = ink(faint.pixmap(24, 24).toImage(), Qt::white);
    EXPECT_GT(half.maxAlpha, 100);
    EXPECT_LT(half.maxAlpha, 150);

    // Scaled screens get a sharp pixmap of the physical size.
    const QPixmap hiDpi = icon.pixmap(QSize(24, 24), 2.0);
    EXPECT_EQ(hiDpi.size(), QSize(48, 48));
}

TEST(SymbolIcons, UnknownNamesGiveAnEmptyIcon)
{
    for (const char *name : {"", "no.such.symbol", "../icons/plus", "icons/plus", ".plus", "plus.svg"}) {
        EXPECT_FALSE(SymbolIcons::contains(QString::fromLatin1(name))) << name;
        EXPECT_TRUE(SymbolIcons::icon(QString::fromLatin1(name)).isNull()) << name;
    }
}
