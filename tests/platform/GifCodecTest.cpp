#include "platform/GifCodec.h"
#include "support/GifTestFiles.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <random>

#include <gtest/gtest.h>

using namespace GifTestFiles;

namespace {

const QRgb red = qRgb(255, 0, 0);
const QRgb green = qRgb(0, 255, 0);
const QRgb blue = qRgb(0, 0, 255);
const QRgb white = qRgb(255, 255, 255);

} // namespace

TEST(GifCodec, DecoderCompositesDisposalInterlaceClippingAndBadIndices)
{
    QTemporaryDir dir;
    GifRecipe recipe;
    recipe.canvas = QSize(16, 16);
    recipe.globalPalette = {red, green, blue, qRgb(0, 0, 0)};
    recipe.frames.push_back(solidFrame(QRect(0, 0, 16, 16), 0));          // 0: all red, kept
    GifFrameRecipe cleared = solidFrame(QRect(2, 2, 4, 4), 2);            // 1: blue square, then cleared
    cleared.disposal = 2;
    cleared.indices[0] = 3;
    cleared.transparentIndex = 3;                                        // its corner shows red
    recipe.frames.push_back(cleared);
    GifFrameRecipe restored = solidFrame(QRect(8, 4, 8, 12), 0);          // 2: interlaced, own palette
    restored.localPalette = {white, green};
    restored.interlaced = true;
    restored.disposal = 3;
    for (int row = 0; row < 12; ++row)
        for (int x = 0; x < 8; ++x)
            restored.indices[row * 8 + x] = (row % 3 == 1) ? 1 : 0; // rows 1, 4, 7, 10 green
    recipe.frames.push_back(restored);
    GifFrameRecipe clipped = solidFrame(QRect(14, 14, 4, 4), 1);          // 3: reaches past the canvas
    clipped.indices[1 * 4 + 1] = 200;                                    // an index past the palette
    recipe.frames.push_back(clipped);
    const QString path = dir.filePath("d.gif");
    ASSERT_TRUE(writeGif(path, recipe));

    GifCodec::FrameDecoder decoder;
    ASSERT_TRUE(decoder.open(path));
    EXPECT_EQ(decoder.canvasSize(), QSize(16, 16));
    const QImage f0 = decoder.nextFrame();
    const QImage f1 = decoder.nextFrame();
    const QImage f2 = decoder.nextFrame();
    const QImage f3 = decoder.nextFrame();
    EXPECT_TRUE(decoder.nextFrame().isNull());
    ASSERT_FALSE(f3.isNull());

    EXPECT_EQ(f0.pixel(3, 3), red);
    EXPECT_EQ(f1.pixel(3, 3), blue);
    EXPECT_EQ(f1.pixel(2, 2), red);            // transparent index shows what was there
    EXPECT_EQ(qAlpha(f2.pixel(3, 3)), 0);      // frame 1's rectangle cleared to transparent
    EXPECT_EQ(f2.pixel(9, 4), white);          // interlaced rows land in their places
    EXPECT_EQ(f2.pixel(9, 5), green);
    EXPECT_EQ(f2.pixel(9, 14), green);
    EXPECT_EQ(f2.pixel(9, 15), white);
    EXPECT_EQ(f3.pixel(9, 5), red);            // frame 2 restored to the canvas before it
    EXPECT_EQ(f3.pixel(14, 14), green);        // the part of frame 3 inside the canvas
    EXPECT_EQ(f3.pixel(15, 15), red);          // an out-of-range index draws nothing
    EXPECT_EQ(f3.size(), QSize(16, 16));

    // Qt's reader agrees where its own rules match ours (it fills cleared areas with the
    // background colour and cuts wide frames differently, so those points are left out).
    const auto reference = qtFrames(path);
    ASSERT_GE(reference.size(), 3u);
    const QImage ours[] = {f0, f1, f2};
    for (int i = 0; i < 3; ++i)
        for (const QPoint p : {QPoint(1, 1), QPoint(3, 3), QPoint(2, 2), QPoint(9, 4), QPoint(9, 5), QPoint(12, 15)})
            if (i < 2 || p.x() >= 8) {
                EXPECT_EQ(reference[i].pixel(p), ours[i].pixel(p)) << i << " " << p.x() << "," << p.y();
            }

    // Whether a frame leaves transparent pixels where it draws: a value past a table of two
    // colours on the empty screen does, not over what is drawn; its transparent index does on a
    // screen cleared to the background.
    GifRecipe holes;
    holes.canvas = QSize(8, 8);
    holes.globalPalette = {red, blue};
    for (int i = 0; i < 4; ++i) {
        GifFrameRecipe frame = solidFrame(QRect(0, 0, 8, 8), 1);
        frame.indices[9] = i == 1 ? 0 : 3;
        frame.disposal = i == 2 ? 2 : 1;
        frame.transparentIndex = i == 3 ? 3 : -1;
        holes.frames.push_back(frame);
    }
    const QString holesPath = dir.filePath("holes.gif");
    ASSERT_TRUE(writeGif(holesPath, holes));
    GifCodec::FrameDecoder holesDecoder;
    ASSERT_TRUE(holesDecoder.open(holesPath));
    std::vector<bool> transparent;
    while (!holesDecoder.nextFrame().isNull())
        transparent.push_back(holesDecoder.leftTransparentPixels());
    EXPECT_EQ(transparent, std::vector<bool>({true, false, false, true}));
}

TEST(GifCodec, ScanCountsDescriptorsWithoutDecoding)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("s.gif");
    GifRecipe recipe = simpleAnimation({20, 10}, 5, {0, 4, 9}, 7);
    recipe.frames[4].delayCs = std::nullopt;
    ASSERT_TRUE(writeGif(path, recipe));
    ASSERT_TRUE(damageFrame(path, 1));
    const auto info = GifCodec::scan(path);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->canvas, QSize(20, 10));
    ASSERT_EQ(info->frames.size(), 5u);
    EXPECT_EQ(info->loopCount, 7);
    EXPECT_EQ(info->frames[1].delayCs, 4);
    EXPECT_EQ(info->frames[4].delayCs, std::nullopt);
    EXPECT_EQ(GifCodec::effectiveDelayCs(info->frames[0]), 10);
    EXPECT_EQ(GifCodec::effectiveDelayCs(info->frames[4]), 10);
    EXPECT_EQ(GifCodec::effectiveDelayCs(info->frames[2]), 9);

    // Cut inside the third frame's data: the frames up to it still count.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const auto parsed = parseGif(bytes);
    const QString cut = TestSupport::writeFile(dir.filePath("cut.gif"), bytes.left(parsed->codeSizeOffsets[2] + 3));
    EXPECT_EQ(GifCodec::scan(cut)->frames.size(), 3u);
    EXPECT_FALSE(GifCodec::scan(TestSupport::writeFile(dir.filePath("h.gif"), "GIF89a\x01")));
    EXPECT_FALSE(GifCodec::scan(TestSupport::writeFile(dir.filePath("p.gif"), "\x89PNG\r\n\x1A\n.....")));
}

TEST(GifCodec, WriterKeepsExactPalettesAndQuantizesOnlyRichFrames)
{
    QTemporaryDir dir;
    // 255 colours and transparency: written exactly.
    QImage exact(255, 4, QImage::Format_ARGB32);
    for (int x = 0; x < 255; ++x)
        for (int y = 0; y < 4; ++y)
            exact.setPixel(x, y, y == 3 ? qRgba(1, 2, 3, 0) : qRgb(x, 255 - x, (x * 7) % 256));
    // 4096 colours: quantized, but close.
    QImage rich(64, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            rich.setPixel(x, y, qRgb(x * 4, y * 4, 128));

    const QString path = dir.filePath("w.gif");
    {
        GifCodec::Writer writer;
        ASSERT_TRUE(writer.open(path, exact.size(), std::nullopt));
        ASSERT_TRUE(writer.addFrame(exact, 70000));
        EXPECT_FALSE(writer.addFrame(QImage(3, 3, QImage::Format_ARGB32), 10)); // wrong size
        ASSERT_TRUE(writer.finish());
    }
    const auto frames = qtFrames(path);
    ASSERT_EQ(frames.size(), 1u);
    for (int x = 0; x < 255; ++x) {
        EXPECT_EQ(frames[0].pixel(x, 0), exact.pixel(x, 0));
        EXPECT_EQ(qAlpha(frames[0].pixel(x, 3)), 0);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto parsed = parseGif(file.readAll());
    EXPECT_EQ(parsed->delays, (std::vector<std::optional<int>> {65535}));
    EXPECT_EQ(parsed->loopCount, std::nullopt);

    const QString richPath = dir.filePath("rich.gif");
    {
        GifCodec::Writer writer;
        ASSERT_TRUE(writer.open(richPath, rich.size(), 0));
        ASSERT_TRUE(writer.addFrame(rich, 5));
        ASSERT_TRUE(writer.finish());
    }
    const auto richFrames = qtFrames(richPath);
    ASSERT_EQ(richFrames.size(), 1u);
    int worst = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const QRgb a = richFrames[0].pixel(x, y);
            const QRgb b = rich.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b))});
        }
    EXPECT_LE(worst, 40); // giflib's median cut works on 5-bit channels

    // The writer never replaces an existing file.
    GifCodec::Writer refused;
    EXPECT_FALSE(refused.open(richPath, rich.size(), 0));
}

TEST(GifCodec, DecoderGivesBackEveryIndexGiflibCoded)
{
    // Frames coded by giflib's encoder, decoded by ours: noise that fills the code table many
    // times over (clear codes), long runs whose strings span several rows of a narrow frame, and
    // palettes of 2 to 256 colours (minimum code sizes 2 to 8); each frame reports the rectangle it
    // changed.
    QTemporaryDir dir;
    std::minstd_rand random(11);
    for (const int colours : { 2, 5, 16, 256 }) {
        GifRecipe recipe;
        recipe.canvas = QSize(300, 200);
        for (int k = 0; k < colours; ++k)
            recipe.globalPalette.push_back(qRgb(k, 255 - k, (k * 53) % 256));
        GifFrameRecipe noise = solidFrame(QRect(0, 0, 300, 200), 0);
        for (auto &index : noise.indices)
            index = static_cast<unsigned char>(random() % colours);
        recipe.frames.push_back(noise);
        GifFrameRecipe runs = solidFrame(QRect(40, 30, 7, 150), 0);
        for (size_t i = 0; i < runs.indices.size(); ++i)
            runs.indices[i] = static_cast<unsigned char>((i / 97) % colours);
        recipe.frames.push_back(runs);
        const QString path = dir.filePath(QStringLiteral("codes%1.gif").arg(colours));
        ASSERT_TRUE(writeGif(path, recipe));

        GifCodec::FrameDecoder decoder;
        ASSERT_TRUE(decoder.open(path));
        for (const GifFrameRecipe &frame : recipe.frames) {
            const QImage decoded = decoder.nextFrame();
            ASSERT_FALSE(decoded.isNull()) << colours;
            EXPECT_EQ(decoder.changedRect(), frame.rect);
            int wrong = 0;
            for (int y = 0; y < frame.rect.height(); ++y)
                for (int x = 0; x < frame.rect.width(); ++x)
                    wrong += decoded.pixel(frame.rect.x() + x, frame.rect.y() + y)
                        != recipe.globalPalette[frame.indices[size_t(y) * frame.rect.width() + x]];
            EXPECT_EQ(wrong, 0) << colours << " colours, frame at " << frame.rect.x();
        }
        EXPECT_TRUE(decoder.nextFrame().isNull());
    }
}

namespace {

// `count` one-pixel frames ("restore to previous") on a screen of `screen`: a few kilobytes.
GifRecipe onePixelFramesOn(QSize screen, int count)
{
    GifRecipe recipe;
    recipe.canvas = screen;
    recipe.globalPalette = {qRgb(255, 0, 0), qRgb(0, 0, 255)};
    for (int i = 0; i < count; ++i) {
        GifFrameRecipe frame = solidFrame(QRect(i, 0, 1, 1), 1);
        frame.disposal = 3;
        recipe.frames.push_back(frame);
    }
    return recipe;
}

// The blocks of a genuine animation: a first frame covering the screen, then the changed part of
// each frame, its unchanged pixels transparent; a file of 100 MB, as its pictures take.
GifCodec::FileInfo genuineAnimation(QSize screen, int count)
{
    GifCodec::FileInfo info;
    info.canvas = screen;
    info.frames.assign(size_t(count), {QRect(0, screen.height() / 10, screen.width(), screen.height() * 9 / 10), 4,
                                       false, 1, true});
    info.frames.front() = {QRect(QPoint(0, 0), screen), 4, false, 1, false};
    info.fileBytes = 100'000'000;
    return info;
}

} // namespace

// Writing a frame costs its whole canvas at the written size, three times as much while the
// screen may still be transparent and twice again for a canvas above 32 MB: a few kilobytes of
// one-pixel frames on a large screen are refused at that size (they took some ten seconds), and
// are little work written small. Genuine long animations stay within the limit.
TEST(GifCodec, WorkCountsWritingTheScreenAtTheWrittenSize)
{
    QTemporaryDir dir;
    for (const auto &[screen, count] : {std::pair {QSize(7680, 4320), 64}, std::pair {QSize(4096, 4096), 127}}) {
        const QString path = dir.filePath(QStringLiteral("screen%1.gif").arg(count));
        ASSERT_TRUE(writeGif(path, onePixelFramesOn(screen, count)));
        EXPECT_LT(QFileInfo(path).size(), 4000);
        std::optional<GifCodec::FileInfo> info = GifCodec::scan(path);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->frames[1].disposal, 3);
        EXPECT_FALSE(info->frames[1].transparentIndex);
        EXPECT_FALSE(info->frames[1].leavesTransparentPixels); // two colours: only decoding tells
        EXPECT_LT(GifCodec::decodeWork(*info), GifCodec::maxDecodedPixels / 100);
        EXPECT_TRUE(GifCodec::exceedsWorkLimit(*info, screen)) << count;
        EXPECT_FALSE(GifCodec::exceedsWorkLimit(*info, QSize(800, 450))) << count;
        // A first frame that covers the screen spares the frames' second encoding, not the canvas.
        info->frames.front() = {QRect(QPoint(0, 0), screen), 10, false, 1, false};
        EXPECT_TRUE(GifCodec::exceedsWorkLimit(*info, screen)) << count;
    }

    // A frame whose colour table holds every value its code allows draws every pixel it covers.
    const QString fourColours = dir.filePath(QStringLiteral("four.gif"));
    ASSERT_TRUE(writeGif(fourColours, simpleAnimation(QSize(8, 8), 2)));
    const std::optional<GifCodec::FileInfo> drawn = GifCodec::scan(fourColours);
    ASSERT_TRUE(drawn);
    EXPECT_FALSE(drawn->frames[0].leavesTransparentPixels);

    for (const auto &[screen, count] : {std::pair {QSize(480, 270), 3000}, std::pair {QSize(1920, 1080), 1000}}) {
        GifCodec::FileInfo genuine = genuineAnimation(screen, count);
        EXPECT_FALSE(GifCodec::exceedsWorkLimit(genuine, screen)) << count;
    }
    // The same 1080p frames on a screen nothing has covered, or one cleared to the background
    // early on, are encoded whole twice each.
    GifCodec::FileInfo uncovered = genuineAnimation(QSize(1920, 1080), 1000);
    uncovered.frames.front().transparentIndex = true;
    EXPECT_TRUE(GifCodec::exceedsWorkLimit(uncovered, uncovered.canvas));
    // A first frame that covers the screen but, decoded, left transparent pixels: the screen stays
    // transparent. Frames that were not counted as covering it change nothing.
    uncovered = genuineAnimation(QSize(1920, 1080), 1000);
    EXPECT_FALSE(GifCodec::exceedsWorkLimitOnceDecoded(uncovered, 1, true, uncovered.canvas));
    EXPECT_FALSE(GifCodec::exceedsWorkLimitOnceDecoded(uncovered, 0, false, uncovered.canvas));
    EXPECT_TRUE(GifCodec::exceedsWorkLimitOnceDecoded(uncovered, 0, true, uncovered.canvas));
    EXPECT_TRUE(uncovered.frames.front().leavesTransparentPixels);
    EXPECT_TRUE(GifCodec::exceedsWorkLimit(uncovered, uncovered.canvas));
    // After one such frame the later ones covering the screen are not trusted either: counting
    // again at every one of them would cost frames × frames (seconds for 60,000 frames of a pixel).
    GifCodec::FileInfo allCovering;
    allCovering.canvas = QSize(1920, 1080);
    allCovering.frames.assign(1000, {QRect(0, 0, 1920, 1080), 4});
    allCovering.fileBytes = 110'000'000;
    EXPECT_FALSE(GifCodec::exceedsWorkLimit(allCovering, allCovering.canvas));
    EXPECT_TRUE(GifCodec::exceedsWorkLimitOnceDecoded(allCovering, 0, true, allCovering.canvas));
    GifCodec::FileInfo cleared = genuineAnimation(QSize(1920, 1080), 1000);
    cleared.frames[1].disposal = 2;
    EXPECT_TRUE(GifCodec::exceedsWorkLimit(cleared, cleared.canvas));
    cleared.frames[1].disposal = 3; // back to the covered screen
    EXPECT_FALSE(GifCodec::exceedsWorkLimit(cleared, cleared.canvas));
}
