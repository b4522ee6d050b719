#include "CompressionTestSupport.h"

#include "compression/CompressionImageIO.h"
#include "compression/ImageCompressionService.h"
#include "platform/GifCodec.h"

#include <QFile>
#include <QTemporaryDir>

#include <gif_lib.h>
#include <gtest/gtest.h>

using namespace CompressionTest;

namespace {

// A pixel as it is seen: transparent, or its colour made opaque.
QRgb visible(QRgb pixel)
{
    return qAlpha(pixel) < 128 ? 0u : (pixel | 0xFF000000u);
}

// The number of pixels whose visible value differs.
int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += visible(a.pixel(x, y)) != visible(b.pixel(x, y));
    return count;
}

std::optional<ParsedGif> parsedFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? parseGif(file.readAll()) : std::nullopt;
}

QImage canvasOf(QRgb color)
{
    QImage image(120, 90, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

QImage withSquare(QImage image, QRect square, QRgb color)
{
    for (int y = square.top(); y <= square.bottom(); ++y)
        for (int x = square.left(); x <= square.right(); ++x)
            image.setPixel(x, y, color);
    return image;
}

std::vector<QImage> decodedByUs(const QString &path)
{
    std::vector<QImage> frames;
    GifCodec::FrameDecoder decoder;
    if (!decoder.open(path))
        return frames;
    for (QImage frame = decoder.nextFrame(); !frame.isNull(); frame = decoder.nextFrame())
        frames.push_back(frame);
    return frames;
}

// Frames as giflib reads them, composited here: each frame's disposal applied before the next,
// transparent indices left out.
std::vector<QImage> decodedByGiflib(const QString &path)
{
    std::vector<QImage> frames;
    int error = 0;
    GifFileType *gif = DGifOpenFileName(QFile::encodeName(path).constData(), &error);
    if (!gif)
        return frames;
    if (DGifSlurp(gif) == GIF_OK) {
        QImage canvas(gif->SWidth, gif->SHeight, QImage::Format_ARGB32);
        canvas.fill(0);
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage &image = gif->SavedImages[i];
            const GifImageDesc &desc = image.ImageDesc;
            GraphicsControlBlock gcb;
            DGifSavedExtensionToGCB(gif, i, &gcb);
            const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
            const QImage before = canvas.copy();
            const QRect rect = QRect(desc.Left, desc.Top, desc.Width, desc.Height) & canvas.rect();
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                for (int x = rect.left(); x <= rect.right(); ++x) {
                    const int index = image.RasterBits[(y - desc.Top) * desc.Width + (x - desc.Left)];
                    if (map && index != gcb.TransparentColor && index < map->ColorCount)
                        canvas.setPixel(x, y, qRgb(map->Colors[index].Red, map->Colors[index].Green, map->Colors[index].Blue));
                }
            frames.push_back(canvas.copy());
            if (gcb.DisposalMode == DISPOSE_BACKGROUND)
                canvas = withSquare(canvas, rect, 0);
            else if (gcb.DisposalMode == DISPOSE_PREVIOUS)
                canvas = before;
        }
    }
    DGifCloseFile(gif, &error);
    return frames;
}

QString written(const QString &path, const std::vector<QImage> &frames, const std::vector<QRgb> &palette = {},
                std::optional<int> loop = 0)
{
    GifCodec::Writer writer;
    if (!writer.open(path, frames.front().size(), loop))
        return {};
    for (const QImage &frame : frames)
        if (!writer.addFrame(frame, 10, palette))
            return {};
    return writer.finish() ? path : QString();
}

// Frames as our decoder and Qt's show them must be the expected ones, pixel for pixel. (Qt's
// reader keeps the pixel format of the first frame, so after an opaque first frame it cannot show
// transparency at all; such animations are checked with our decoder only.)
void expectDecodedAs(const QString &path, const std::vector<QImage> &expected, bool alsoByQt = true)
{
    std::vector<std::pair<const char *, std::vector<QImage>>> decoders{{"ours", decodedByUs(path)}};
    if (alsoByQt)
        decoders.emplace_back("Qt's", qtFrames(path));
    for (const auto &[name, decoded] : decoders) {
        ASSERT_EQ(decoded.size(), expected.size()) << name;
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(differingPixels(decoded[i], expected[i]), 0) << name << " decoder, frame " << i;
    }
}

} // namespace

TEST(GifDelta, OpaqueFramesAreWrittenAsTheirChangedRectangles)
{
    QTemporaryDir dir;
    const QImage background = withSquare(canvasOf(qRgb(240, 240, 240)), QRect(0, 0, 120, 10), qRgb(20, 40, 60));
    std::vector<QImage> frames;
    for (int i = 0; i < 6; ++i)
        frames.push_back(withSquare(background, QRect(10 + 12 * i, 30, 8, 8), qRgb(200, 30, 30)));
    frames.push_back(frames.back());                                           // nothing changes
    frames.push_back(withSquare(frames.back(), QRect(0, 0, 120, 90), qRgb(1, 2, 3))); // everything changes
    frames.push_back(background);
    const QString path = written(dir.filePath("moving.gif"), frames);
    ASSERT_FALSE(path.isEmpty());
    expectDecodedAs(path, frames);

    const auto parsed = parsedFile(path);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->rects.size(), frames.size());
    EXPECT_EQ(parsed->rects[0], QRect(0, 0, 120, 90));
    EXPECT_EQ(parsed->rects[1], QRect(10, 30, 20, 8)); // the old and the new square
    EXPECT_EQ(parsed->rects[6].size(), QSize(1, 1));
    EXPECT_EQ(parsed->rects[7], QRect(0, 0, 120, 90));
    EXPECT_EQ(parsed->delays, std::vector<std::optional<int>>(frames.size(), 10));
}

TEST(GifDelta, TransparentFramesStillShowNothingOfEarlierFrames)
{
    QTemporaryDir dir;
    const QImage opaque = canvasOf(qRgb(0, 90, 200));
    const QImage clear = canvasOf(qRgba(0, 0, 0, 0));
    // Deltas, then a frame with a transparent hole over them, then opaque again, then a frame
    // that turns transparent where it was drawn.
    std::vector<QImage> frames{opaque, withSquare(opaque, QRect(5, 5, 4, 4), qRgb(255, 255, 0)),
                               withSquare(opaque, QRect(40, 40, 20, 20), qRgba(0, 0, 0, 0)),
                               withSquare(opaque, QRect(40, 40, 4, 4), qRgb(9, 9, 9)),
                               withSquare(clear, QRect(0, 0, 30, 30), qRgb(255, 0, 0))};
    const QString path = written(dir.filePath("holes.gif"), frames);
    ASSERT_FALSE(path.isEmpty());
    expectDecodedAs(path, frames, false);

    // A first frame with transparency: the last frame covers the canvas and clears it, so the
    // first frame looks the same when the animation starts again.
    const QImage green = canvasOf(qRgb(0, 200, 0));
    std::vector<QImage> looped{withSquare(clear, QRect(0, 0, 60, 90), qRgb(0, 200, 0)),
                               withSquare(green, QRect(70, 20, 5, 5), qRgb(50, 50, 50)),
                               withSquare(green, QRect(80, 20, 5, 5), qRgb(50, 50, 50)),
                               withSquare(green, QRect(10, 10, 30, 30), qRgba(0, 0, 0, 0)),
                               withSquare(green, QRect(10, 10, 3, 3), qRgb(50, 50, 50))};
    const QString loopPath = written(dir.filePath("loop.gif"), looped);
    ASSERT_FALSE(loopPath.isEmpty());
    expectDecodedAs(loopPath, looped);
    const auto parsed = parsedFile(loopPath);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->rects.back(), QRect(0, 0, 120, 90));
}

TEST(GifDelta, FullPaletteFramesStayExactBeforeTransparentOnes)
{
    // Opaque frames of exactly 256 colours leave no entry for a transparent index; the frames after
    // them have transparency, so they must be cleared, yet they keep every colour.
    QTemporaryDir dir;
    QImage full(128, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x) {
            const int k = (y / 4) * 16 + x / 8; // 256 blocks of 8 × 4
            full.setPixel(x, y, qRgb(k, (k * 37) % 256, 255 - k));
        }
    QImage holed = full;
    for (int y = 10; y < 30; ++y)
        for (int x = 40; x < 90; ++x)
            holed.setPixel(x, y, qRgba(0, 0, 0, 0));
    QImage shifted = full.transformed(QTransform().scale(-1, 1)).convertToFormat(QImage::Format_ARGB32);
    // First frame opaque; a frame with transparency after an opaque one in the middle; and the last
    // one before the loop starts again with a first frame that has transparency.
    const std::vector<QImage> frames{full, holed, shifted, holed};
    const QString path = written(dir.filePath("full.gif"), frames);
    ASSERT_FALSE(path.isEmpty());
    expectDecodedAs(path, frames, false);
    const std::vector<QImage> looped{holed, full, holed, shifted};
    const QString loopPath = written(dir.filePath("looped.gif"), looped);
    ASSERT_FALSE(loopPath.isEmpty());
    expectDecodedAs(loopPath, looped, false);
}

TEST(GifDelta, FullPaletteFramesAfterTheFirstKeepEveryColour)
{
    // Every frame has 256 colours, and the changed pixels of the later ones use all of them while
    // others stay as they were: no entry is left to make those transparent, yet the frames must
    // keep their exact colours, with or without the colours given as the file's palette.
    QTemporaryDir dir;
    auto colourOf = [](int k) { return qRgb(k, (k * 37) % 256, 255 - k); };
    auto blocks = [&](int shift, bool keepLeftHalves) {
        QImage image(128, 64, QImage::Format_ARGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 128; ++x) {
                const int k = (y / 4) * 16 + x / 8; // 256 blocks of 8 × 4
                image.setPixel(x, y, colourOf(keepLeftHalves && x % 8 < 4 ? k : (k + shift) % 256));
            }
        return image;
    };
    const std::vector<QImage> frames{blocks(0, false), blocks(1, true), blocks(7, true), blocks(7, false)};
    std::vector<QRgb> palette;
    for (int k = 0; k < 256; ++k)
        palette.push_back(colourOf(k));
    for (const bool withPalette : {false, true}) {
        const QString path = written(dir.filePath(withPalette ? "palette.gif" : "own.gif"), frames,
                                     withPalette ? palette : std::vector<QRgb>());
        ASSERT_FALSE(path.isEmpty());
        const std::vector<QImage> decoded = decodedByGiflib(path);
        ASSERT_EQ(decoded.size(), frames.size()) << withPalette;
        for (size_t i = 0; i < frames.size(); ++i)
            EXPECT_EQ(differingPixels(decoded[i], frames[i]), 0) << "frame " << i << ", palette " << withPalette;
        expectDecodedAs(path, frames);
    }
}

TEST(GifDelta, RichFramesMapToThePaletteAndKeepUnchangedPixels)
{
    QTemporaryDir dir;
    // A 64-colour palette (the global table of a source file) and frames with thousands of colours.
    std::vector<QRgb> palette;
    for (int k = 0; k < 64; ++k)
        palette.push_back(qRgb((k & 3) * 85, ((k >> 2) & 3) * 85, (k >> 4) * 85));
    QImage gradient(120, 90, QImage::Format_RGB32);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 120; ++x)
            gradient.setPixel(x, y, qRgb(x * 2, y * 2, (x + y) % 256));
    std::vector<QImage> frames{gradient};
    for (int i = 1; i < 4; ++i) {
        QImage next = frames.back();
        for (int y = 20; y < 40; ++y)
            for (int x = 20 * i; x < 20 * i + 30; ++x)
                next.setPixel(x, y, qRgb((x * 7 + i * 40) % 256, (y * 5) % 256, 255 - x));
        frames.push_back(next);
    }
    const QString path = written(dir.filePath("rich.gif"), frames, palette);
    ASSERT_FALSE(path.isEmpty());

    // What was meant: each changed pixel's nearest palette colour, each unchanged pixel as before.
    auto nearest = [&](QRgb c) {
        QRgb best = palette.front();
        int bestDistance = INT_MAX;
        for (const QRgb p : palette) {
            const int dr = qRed(p) - qRed(c), dg = qGreen(p) - qGreen(c), db = qBlue(p) - qBlue(c);
            if (dr * dr + dg * dg + db * db < bestDistance) {
                bestDistance = dr * dr + dg * dg + db * db;
                best = p;
            }
        }
        return best;
    };
    std::vector<QImage> meant;
    for (size_t i = 0; i < frames.size(); ++i) {
        QImage image = i == 0 ? frames[0] : meant.back();
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 120; ++x)
                if (i == 0 || frames[i].pixel(x, y) != frames[i - 1].pixel(x, y))
                    image.setPixel(x, y, nearest(frames[i].pixel(x, y)));
        meant.push_back(image);
    }
    expectDecodedAs(path, meant);

    // Exact frames, a rich one, exact again: the rich one's unchanged pixels keep their own colours,
    // its changed ones their nearest palette colours, and what follows draws over those.
    const QImage flat = withSquare(canvasOf(qRgb(255, 255, 255)), QRect(0, 0, 60, 90), qRgb(0, 0, 0));
    QImage rich = flat;
    for (int y = 10; y < 50; ++y)
        for (int x = 30; x < 100; ++x)
            rich.setPixel(x, y, qRgb(x * 2, y * 5, (x * y) % 256));
    const QImage after = withSquare(rich, QRect(0, 80, 20, 10), qRgb(85, 0, 170));
    const QString mixedPath = written(dir.filePath("mixed.gif"), {flat, rich, after}, palette);
    ASSERT_FALSE(mixedPath.isEmpty());
    QImage richMeant = flat;
    for (int y = 10; y < 50; ++y)
        for (int x = 30; x < 100; ++x)
            if (rich.pixel(x, y) != flat.pixel(x, y))
                richMeant.setPixel(x, y, nearest(rich.pixel(x, y)));
    expectDecodedAs(mixedPath, {flat, richMeant, withSquare(richMeant, QRect(0, 80, 20, 10), qRgb(85, 0, 170))});
}

TEST(GifDeltaCompression, ScaledFramesUseTheGlobalColoursOnlyWhenTheyAreDrawnInThem)
{
    // Two-colour global table, frames drawn in 256 colours from their own tables: scaled, they have
    // more and are quantized, but must not be forced into black and white.
    QTemporaryDir dir;
    QTemporaryDir out;
    GifRecipe recipe;
    recipe.canvas = QSize(1200, 900);
    recipe.globalPalette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    recipe.loopCount = 0;
    for (int i = 0; i < 2; ++i) {
        GifFrameRecipe frame;
        frame.rect = QRect(0, 0, 1200, 900);
        for (int k = 0; k < 256; ++k)
            frame.localPalette.push_back(qRgb((k / 16) * 16, (k % 16) * 16, 0));
        frame.indices.resize(1200 * 900);
        for (int y = 0; y < 900; ++y)
            for (int x = 0; x < 1200; ++x)
                frame.indices[size_t(y) * 1200 + x] =
                    static_cast<unsigned char>(((x / 7 + i) % 16) * 16 + (y / 7) % 16);
        recipe.frames.push_back(frame);
    }
    const QString path = dir.filePath("shades.gif");
    ASSERT_TRUE(writeGif(path, recipe));
    const auto source = ImageCompressionService::source(path);
    ASSERT_TRUE(source);
    const auto result = ImageCompressionService::compress(
        *source, ImageCompressionSettings(0.75, ImageCompressionMaxDimension::longEdge800), out.path());
    const auto input = decodedByUs(path);
    const auto output = decodedByUs(result.outputURL);
    ASSERT_EQ(input.size(), 2u);
    ASSERT_EQ(output.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const QImage expected = CompressionImageIO::redrawn(input[i], QSize(800, 600), true);
        double total = 0;
        int samples = 0;
        for (int y = 0; y < 600; y += 3)
            for (int x = 0; x < 800; x += 3) {
                const QRgb a = output[i].pixel(x, y);
                const QRgb b = expected.pixel(x, y);
                total += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b));
                samples += 2;
            }
        EXPECT_LE(total / samples, 10) << "frame " << i; // the mean error of a channel
    }
}
