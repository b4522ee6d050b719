#include "CompressionTestSupport.h"

#include "compression/CompressionImageIO.h"
#include "compression/ImageCompressionService.h"
#include "platform/GifCodec.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <numeric>

using namespace ImageCompressionService;
using namespace CompressionTest;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ImageCompressionSource probe(const QString &path)
{
    auto probed = source(path);
    EXPECT_TRUE(probed) << path.toStdString();
    return probed ? *probed : ImageCompressionSource {};
}

ParsedGif parsedOutput(const ImageCompressionResult &result)
{
    const auto parsed = parseGif(bytesOf(result.outputURL));
    EXPECT_TRUE(parsed);
    return parsed ? *parsed : ParsedGif {};
}

int total(const std::vector<std::optional<int>> &delays)
{
    int sum = 0;
    for (const auto &d : delays)
        sum += d.value_or(-100000);
    return sum;
}

GifRecipe padded(GifRecipe recipe)
{
    recipe.commentBytes = 2000;
    return recipe;
}

} // namespace

TEST(GifCompression, FrameSamplingKeepsTheDurationAndTheLoopBlock)
{
    QTemporaryDir dir;
    QTemporaryDir out;

    // The inputs carry a large comment, so re-encoding always helps and the output is ours.
    // Up to 8 frames every frame stays, each with its own delay (below 2 cs means 10).
    const QString eight = dir.filePath("eight.gif");
    ASSERT_TRUE(writeGif(eight, padded(simpleAnimation({40, 30}, 8, {0, 1, 2, 5, 20, 30, 40, 7}, 3))));
    const auto r8 = compress(probe(eight), {}, out.path());
    const ParsedGif p8 = parsedOutput(r8);
    EXPECT_EQ(r8.originalFrameCount, 8);
    EXPECT_EQ(r8.outputFrameCount, p8.rects.size());
    EXPECT_EQ(p8.delays, (std::vector<std::optional<int>> {10, 10, 2, 5, 20, 30, 40, 7}));
    EXPECT_EQ(p8.loopCount, 3);

    // 9 frames: 0, 2, 4, 6 and 8 are written, each with its own delay and the next one's.
    const QString nine = dir.filePath("nine.gif");
    ASSERT_TRUE(writeGif(nine, simpleAnimation({40, 30}, 9, {3, 4, 5, 6, 7, 8, 9, 10, 11}, 0)));
    const auto r9 = compress(probe(nine), {}, out.path());
    const ParsedGif p9 = parsedOutput(r9);
    EXPECT_FALSE(r9.usedOriginalCopy);
    EXPECT_EQ(r9.outputFrameCount, 5);
    EXPECT_EQ(p9.delays, (std::vector<std::optional<int>> {7, 11, 15, 19, 11}));
    EXPECT_EQ(total(p9.delays), 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10 + 11);
    EXPECT_EQ(p9.loopCount, 0);
    // The frames written are 0, 2, 4…: colours red, blue, red, blue, red.
    const auto frames = qtFrames(r9.outputURL);
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[1].pixel(5, 5), qRgb(0, 0, 255));
    EXPECT_EQ(frames[4].pixel(5, 5), qRgb(255, 0, 0));

    // No loop block in, none out (writing 0 would loop forever); a summed delay stops at 65535.
    const QString once = dir.filePath("once.gif");
    ASSERT_TRUE(writeGif(once, simpleAnimation({40, 30}, 10, {40000, 40000}, std::nullopt)));
    const ParsedGif pOnce = parsedOutput(compress(probe(once), {}, out.path()));
    EXPECT_EQ(pOnce.loopCount, std::nullopt);
    EXPECT_EQ(pOnce.delays.front(), 65535);
    EXPECT_EQ(pOnce.delays.back(), 20); // frame 8 carries 8 and 9

    // A frame without a graphics control block counts 10 cs.
    GifRecipe noControl = padded(simpleAnimation({40, 30}, 1));
    noControl.frames[0].delayCs = std::nullopt;
    const QString single = dir.filePath("single.gif");
    ASSERT_TRUE(writeGif(single, noControl));
    EXPECT_EQ(parsedOutput(compress(probe(single), {}, out.path())).delays, (std::vector<std::optional<int>> {10}));
}

TEST(GifCompression, ResizesFramesAndKeepsTransparency)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    GifRecipe recipe = simpleAnimation({1200, 900}, 2);
    recipe.frames[1].transparentIndex = 3;
    for (int y = 0; y < 900; ++y)
        for (int x = 0; x < 600; ++x)
            recipe.frames[1].indices[y * 1200 + x] = 3; // left half transparent
    recipe.frames[1].disposal = 2;
    const QString path = dir.filePath("big.gif");
    ASSERT_TRUE(writeGif(path, recipe));

    const auto resized = compress(probe(path), ImageCompressionSettings(0.75, ImageCompressionMaxDimension::longEdge800),
                                  out.path());
    EXPECT_EQ(resized.outputPixelSize, QSizeF(800, 600));
    const ParsedGif parsed = parsedOutput(resized);
    EXPECT_EQ(parsed.canvas, QSize(800, 600));
    // The first frame covers the canvas, the second only what it changed (its right half).
    ASSERT_EQ(parsed.rects.size(), 2u);
    EXPECT_EQ(parsed.rects[0], QRect(0, 0, 800, 600));
    EXPECT_TRUE(QRect(0, 0, 800, 600).contains(parsed.rects[1]));
    EXPECT_TRUE(parsed.rects[1].contains(QRect(400, 0, 400, 600)));
    EXPECT_LE(parsed.rects[1].width(), 402);

    const auto same = compress(probe(path), {}, out.path());
    const auto frames = qtFrames(same.outputURL);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].pixel(100, 100), qRgb(255, 0, 0));
    // Frame 1 showed frame 0 through its transparent half, as the input does.
    EXPECT_EQ(frames[1].pixel(100, 100), qRgb(255, 0, 0));
    EXPECT_EQ(frames[1].pixel(1000, 100), qRgb(0, 255, 0));
}

TEST(GifCompression, SubRectangleFramesMadeByFfmpegAreComposited)
{
    if (!hasTool("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir dir;
    QTemporaryDir out;
    const QString looped = dir.filePath("looped.gif");
    const QString once = dir.filePath("once.gif");
    for (const auto &[path, loop] : {std::pair(looped, "0"), std::pair(once, "-1")})
        ASSERT_TRUE(run("ffmpeg", {"-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i",
                                   "testsrc=size=160x120:rate=10", "-frames:v", "12", "-loop", loop, "-y", path}));
    const auto inputRects = parseGif(bytesOf(looped))->rects;
    ASSERT_TRUE(std::any_of(inputRects.begin(), inputRects.end(), [](QRect r) { return r.size() != QSize(160, 120); }))
        << "the input should hold sub-rectangle frames";

    const auto source = probe(looped);
    EXPECT_EQ(source.frameCount, 12);
    const auto result = compress(source, {}, out.path());
    EXPECT_EQ(result.outputFrameCount, 6);
    const auto expected = qtFrames(looped);
    const auto written = qtFrames(result.outputURL);
    ASSERT_EQ(expected.size(), 12u);
    ASSERT_EQ(written.size(), 6u);
    for (size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(TestSupport::maxChannelDifference(written[i], expected[2 * i]), 0) << "frame " << 2 * i;
    EXPECT_EQ(parsedOutput(result).loopCount, 0);
    EXPECT_EQ(parsedOutput(compress(probe(once), {}, out.path())).loopCount, std::nullopt);
}

TEST(GifCompression, KeepsTheOriginalWhenReencodingDoesNotHelp)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    // A file written by our own encoder re-encodes to the same size: the original is kept.
    const QString first = dir.filePath("first.gif");
    ASSERT_TRUE(writeGif(first, simpleAnimation({64, 48}, 6)));
    const auto once = compress(probe(first), {}, out.path());
    const auto again = compress(probe(once.outputURL), {}, out.path());
    EXPECT_TRUE(again.usedOriginalCopy);
    EXPECT_EQ(again.outputFrameCount, 6);
    EXPECT_EQ(again.outputPixelSize, QSizeF(64, 48));
    EXPECT_EQ(bytesOf(again.outputURL), bytesOf(once.outputURL));

    // A PNG named .gif goes the GIF path as one frame and is never copied as a "GIF".
    const QString png = saveImage(photoLike(30, 20), dir.filePath("fake.gif"), "png");
    const auto fromPng = compress(probe(png), {}, out.path());
    EXPECT_FALSE(fromPng.usedOriginalCopy);
    EXPECT_TRUE(bytesOf(fromPng.outputURL).startsWith("GIF89a"));
    EXPECT_EQ(fromPng.outputFrameCount, 1);
    EXPECT_EQ(parsedOutput(fromPng).loopCount, std::nullopt);
}

TEST(GifCompression, DamagedFramesFailWithTheirOwnNumberAndLeaveNothing)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    const ScopedTempFolder temp;
    auto expectFailure = [&](const QString &path, const QString &text) {
        ImageCompressionSource src;
        src.id = QUuid::createUuid();
        src.url = path;
        src.fileName = QFileInfo(path).fileName();
        src.isGIF = true;
        src.pixelSize = QSizeF(40, 30);
        try {
            compress(src, {}, out.path());
            ADD_FAILURE() << "no error for " << path.toStdString();
        } catch (const ImageCompressionServiceError &error) {
            EXPECT_EQ(error.description(), text);
        }
        EXPECT_TRUE(temp.entries().isEmpty());
        EXPECT_TRUE(QDir(out.path()).isEmpty());
    };

    const QString fourth = dir.filePath("fourth.gif");
    ASSERT_TRUE(writeGif(fourth, simpleAnimation({40, 30}, 6)));
    ASSERT_TRUE(damageFrame(fourth, 3));
    // The scan still counts the damaged frame.
    EXPECT_EQ(probe(fourth).frameCount, 6);
    expectFailure(fourth, "无法读取 GIF 第 4 帧");

    // With 12 frames frame 3 is not written, but it is still drawn, and fails by its own number.
    const QString skipped = dir.filePath("skipped.gif");
    ASSERT_TRUE(writeGif(skipped, simpleAnimation({40, 30}, 12)));
    ASSERT_TRUE(damageFrame(skipped, 3));
    expectFailure(skipped, "无法读取 GIF 第 4 帧");

    const QString firstBad = dir.filePath("first.gif");
    ASSERT_TRUE(writeGif(firstBad, simpleAnimation({40, 30}, 3)));
    ASSERT_TRUE(damageFrame(firstBad, 0));
    expectFailure(firstBad, "无法读取图片：first.gif");

    const QString cut = dir.filePath("cut.gif");
    ASSERT_TRUE(writeGif(cut, simpleAnimation({40, 30}, 4)));
    const QByteArray whole = bytesOf(cut);
    TestSupport::writeFile(cut + ".tmp", whole.left(whole.size() - 20));
    QFile::remove(cut);
    QFile::rename(cut + ".tmp", cut);
    expectFailure(cut, "无法读取 GIF 第 4 帧");

    const QString empty = TestSupport::writeFile(dir.filePath("empty.gif"), QByteArray("GIF89a\x0A\0\x0A\0\0\0\0;", 14));
    expectFailure(empty, "无法读取图片：empty.gif");
    const QString junk = TestSupport::writeFile(dir.filePath("junk.gif"), "GIF89a");
    expectFailure(junk, "无法读取图片：junk.gif");
}

namespace {

// A GIF of `count` 1 × 1 frames with disposal 3 ("restore to previous") on a `canvas` screen: a
// file of a few hundred bytes that declares a huge picture.
GifRecipe tinyFramesOnAHugeScreen(QSize canvas, int count)
{
    GifRecipe recipe;
    recipe.canvas = canvas;
    recipe.globalPalette = {qRgb(255, 0, 0), qRgb(0, 0, 255)};
    recipe.loopCount = 0;
    for (int i = 0; i < count; ++i) {
        GifFrameRecipe frame = solidFrame(QRect(i, i, 1, 1), 1);
        frame.disposal = 3;
        recipe.frames.push_back(frame);
    }
    return recipe;
}

} // namespace

TEST(GifCompression, HugeScreensAreBoundedInWorkAndStillCompress)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    // Writing a huge screen at its own size, frame after frame, is more work than the limit
    // allows: refused by compression before any canvas is made. Written small it is little work,
    // so the file is listed and compresses at a reduced size.
    const QString bomb = dir.filePath("bomb.gif");
    ASSERT_TRUE(writeGif(bomb, tinyFramesOnAHugeScreen(QSize(14000, 14000), 13)));
    EXPECT_LT(QFileInfo(bomb).size(), 1000);
    const std::optional<ImageCompressionSource> listed = source(bomb);
    ASSERT_TRUE(listed);
    try {
        compressGIF(*listed, ImageCompressionSettings {}, out.path());
        ADD_FAILURE() << "a GIF above the work limit was compressed";
    } catch (const ImageCompressionServiceError &error) {
        EXPECT_EQ(error.kind(), ImageCompressionServiceError::Kind::imageTooLarge);
    }
    EXPECT_TRUE(QDir(out.path()).isEmpty());
    ImageCompressionSettings small;
    small.maxDimension = ImageCompressionMaxDimension::longEdge800;
    EXPECT_EQ(compressGIF(*listed, small, out.path()).outputFrameCount, 7);

    // An ordinary long animation stays well inside it.
    GifCodec::FileInfo longClip;
    longClip.canvas = QSize(480, 270);
    longClip.frames.resize(1000);
    EXPECT_FALSE(GifCodec::exceedsWorkLimit(longClip, longClip.canvas));
    longClip.canvas = QSize(14000, 14000);
    longClip.frames.resize(11);
    EXPECT_TRUE(GifCodec::exceedsWorkLimit(longClip, longClip.canvas));

    // A large screen within the limit is probed and compressed, its tiny frames composited and
    // restored where they were drawn.
    const QString large = dir.filePath("large.gif");
    ASSERT_TRUE(writeGif(large, tinyFramesOnAHugeScreen(QSize(4000, 2000), 3)));
    const ImageCompressionSource probed = probe(large);
    EXPECT_EQ(probed.pixelSize, QSizeF(4000, 2000));
    EXPECT_EQ(probed.frameCount, 3);
    EXPECT_EQ(probed.thumbnail.size(), QSize(128, 64));
    EXPECT_EQ(qAlpha(probed.thumbnail.pixel(64, 32)), 0);
    ImageCompressionSettings settings;
    settings.maxDimension = ImageCompressionMaxDimension::longEdge800;
    const ImageCompressionResult result = compressGIF(probed, settings, out.path());
    const ParsedGif parsed = parsedOutput(result);
    EXPECT_EQ(parsed.canvas, QSize(800, 400));
    EXPECT_EQ(parsed.rects.size(), 3u);
}

namespace {

// The LZW data (minimum code size 2, in sub-blocks) of `pixels` pixels of index 1, coded as tightly
// as LZW allows: each new code one pixel longer than the last, then the longest one repeated.
QByteArray tightestLzw(qint64 pixels)
{
    QByteArray bytes;
    quint32 bits = 0;
    int bitCount = 0, size = 3, next = 6;
    bool afterClear = true;
    auto put = [&](int code) {
        for (bits |= quint32(code) << bitCount, bitCount += size; bitCount >= 8; bits >>= 8, bitCount -= 8)
            bytes.append(char(bits & 0xFF));
        if (!afterClear && next < 4096)
            ++next;
        afterClear = code == 4;
        if (next >= (1 << size) && size < 12)
            ++size;
    };
    put(4);
    put(1);
    for (qint64 done = 1, length = 1; done < pixels; done += length) {
        length += next < 4096;
        put(std::min(next, 4095));
    }
    put(5);
    bytes.append(char(bits & 0xFF));
    QByteArray blocks("\x02", 1);
    for (qsizetype at = 0; at < bytes.size(); at += 255)
        blocks.append(char(std::min<qsizetype>(255, bytes.size() - at))).append(bytes.mid(at, 255));
    return blocks.append('\0');
}

// A GIF on a `side` × `side` screen (red and blue) of `count` red frames of `frame` size at its
// corner, all with the same pixel data.
QByteArray framesOnASmallScreen(int side, int count, QSize frame, bool interlaced, const QByteArray &data)
{
    QByteArray gif("GIF89a", 6);
    auto le16 = [&](int value) { gif.append(char(value & 0xFF)).append(char(value >> 8)); };
    le16(side);
    le16(side);
    gif.append("\x80\0\0\x00\0\xFF\xFF\0\0", 9);
    for (int i = 0; i < count; ++i) {
        gif.append("\x21\xF9\x04\x04\x0A\0\0\0\x2C\0\0\0\0", 13);
        le16(frame.width());
        le16(frame.height());
        gif.append(interlaced ? '\x40' : '\0').append(data);
    }
    return gif.append(';');
}

} // namespace

TEST(GifCompression, FramesAndTheRowsTheyDeclareCountInTheWork)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    // Frames of 200 million pixels on a 16 × 16 screen: only the rows down to the screen's last
    // one are decoded, the rest of each frame's data is skipped.
    const QSize wide(65535, 3051);
    const QByteArray data = tightestLzw(qint64(wide.width()) * wide.height());
    const QString onScreen = TestSupport::writeFile(dir.filePath("wide.gif"), framesOnASmallScreen(16, 3, wide, false, data));
    GifCodec::FrameDecoder decoder;
    ASSERT_TRUE(decoder.open(onScreen));
    for (int i = 0; i < 3; ++i) {
        const QImage frame = decoder.nextFrame();
        ASSERT_EQ(frame.size(), QSize(16, 16)) << i;
        EXPECT_EQ(frame.pixel(15, 15), qRgb(255, 0, 0)) << i;
    }
    EXPECT_TRUE(decoder.nextFrame().isNull());
    EXPECT_EQ(decoder.decodedPixels(), 3 * 16 * qint64(wide.width()));
    const ImageCompressionResult result = compressGIF(probe(onScreen), ImageCompressionSettings {}, out.path());
    EXPECT_EQ(result.outputFrameCount, 3);

    // Interlaced, the rows arrive in any order and all of them count: eleven such frames are
    // beyond the limit, however small the screen; so are some 66,000 frames of one pixel.
    const QString interlaced = TestSupport::writeFile(dir.filePath("interlaced.gif"),
                                                      framesOnASmallScreen(16, 11, wide, true, data));
    const QString manyFrames = TestSupport::writeFile(
        dir.filePath("frames.gif"),
        framesOnASmallScreen(1, int(GifCodec::maxDecodedPixels / GifCodec::pixelsPerFrame) + 1, QSize(1, 1),
                             false, QByteArray("\x02\x02\x4C\x01\0", 5)));
    for (const QString &bomb : {interlaced, manyFrames}) {
        EXPECT_FALSE(source(bomb)) << bomb.toStdString();
        ImageCompressionSource forged;
        forged.url = bomb;
        forged.isGIF = true;
        forged.pixelSize = QSizeF(16, 16);
        forged.originalBytes = QFileInfo(bomb).size();
        EXPECT_THROW(compressGIF(forged, ImageCompressionSettings {}, out.path()), ImageCompressionServiceError);
    }
    // A thousand full frames of 1920 × 1080 are still worked on when the file holds pictures in
    // them (a quarter of a byte a pixel), not when it holds a few kilobytes a frame.
    GifCodec::FileInfo longClip;
    longClip.canvas = QSize(1920, 1080);
    longClip.frames.assign(1000, {QRect(0, 0, 1920, 1080), 4});
    longClip.fileBytes = qint64(1920) * 1080 * 1000 / 4;
    EXPECT_FALSE(GifCodec::exceedsWorkLimit(longClip, longClip.canvas));
    longClip.fileBytes = 1000 * 4000;
    EXPECT_TRUE(GifCodec::exceedsWorkLimit(longClip, longClip.canvas));
}

TEST(GifCompression, SmallFramesOnALargeScreenAreShrunkWhereTheyDraw)
{
    // Frames drawing and restoring small patches of a large screen (a moving patch, one that is
    // cleared to the background, a local palette): each written frame is the whole reduced canvas,
    // though only the changed parts are reduced again.
    QTemporaryDir dir;
    QTemporaryDir out;
    GifRecipe recipe;
    recipe.canvas = QSize(4000, 2400);
    recipe.globalPalette = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 200, 0), qRgb(250, 250, 0)};
    recipe.loopCount = 0;
    const int disposals[] = {1, 3, 2, 1, 3, 2};
    for (int i = 0; i < 6; ++i) {
        GifFrameRecipe frame = solidFrame(QRect(300 + 611 * i, 200 + 300 * i, 40 + 13 * i, 30), (unsigned char)(i % 4));
        frame.disposal = disposals[i];
        if (i == 4)
            frame.localPalette = {qRgb(10, 20, 30), qRgb(200, 100, 0)};
        recipe.frames.push_back(frame);
    }
    const QString path = dir.filePath("patches.gif");
    ASSERT_TRUE(writeGif(path, recipe));
    ImageCompressionSettings settings;
    settings.maxDimension = ImageCompressionMaxDimension::longEdge800;
    const ImageCompressionResult result = compressGIF(probe(path), settings, out.path());

    std::vector<QImage> input;
    GifCodec::FrameDecoder decoder;
    ASSERT_TRUE(decoder.open(path));
    for (QImage frame = decoder.nextFrame(); !frame.isNull(); frame = decoder.nextFrame())
        input.push_back(CompressionImageIO::redrawn(frame, QSize(800, 480), true).convertToFormat(QImage::Format_ARGB32));
    std::vector<QImage> output;
    GifCodec::FrameDecoder outputDecoder;
    ASSERT_TRUE(outputDecoder.open(result.outputURL));
    for (QImage frame = outputDecoder.nextFrame(); !frame.isNull(); frame = outputDecoder.nextFrame())
        output.push_back(frame.copy());
    ASSERT_EQ(output.size(), input.size());
    for (size_t i = 0; i < input.size(); ++i) {
        int worst = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 800; ++x) {
                const QRgb a = input[i].pixel(x, y), b = output[i].pixel(x, y);
                // Pixels under half alpha are written transparent; the rest keep their colour
                // (quantized only when a frame has more than 255 colours, which these do not).
                if (qAlpha(a) < 128) {
                    worst = std::max(worst, qAlpha(b));
                } else {
                    worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                      std::abs(qBlue(a) - qBlue(b)), 255 - qAlpha(b)});
                }
            }
        EXPECT_EQ(worst, 0) << "frame " << i;
    }
}

TEST(GifCompression, ScreensTooLargeToWriteAreRefusedAtTheirSize)
{
    // 7000 × 6000 is within the decoding limit and compresses at the 800 long edge, but written at
    // its own size every frame would cost 42 million pixels: refused, nothing left behind.
    QTemporaryDir dir;
    QTemporaryDir out;
    const QString path = dir.filePath("wide.gif");
    ASSERT_TRUE(writeGif(path, tinyFramesOnAHugeScreen(QSize(7000, 6000), 3)));
    const ImageCompressionSource probed = probe(path);
    try {
        compressGIF(probed, ImageCompressionSettings(0.75, ImageCompressionMaxDimension::original), out.path());
        ADD_FAILURE() << "a 42-megapixel GIF was written at its size";
    } catch (const ImageCompressionServiceError &error) {
        EXPECT_EQ(error.kind(), ImageCompressionServiceError::Kind::cannotResizeFrame);
    }
    EXPECT_TRUE(QDir(out.path()).isEmpty());
    const ImageCompressionResult reduced
        = compressGIF(probed, ImageCompressionSettings(0.75, ImageCompressionMaxDimension::longEdge800), out.path());
    EXPECT_EQ(parsedOutput(reduced).canvas, QSize(800, 686));
}

namespace {

// A 1920 × 1080 animation of `count` frames in a table of two colours, a few kilobytes: a first
// frame covering the screen, then one-pixel frames restored after they are shown. With `holed`,
// that frame covers the screen with one value past its colours where the screen is transparent
// (frame 0's is empty; before a later one, the frame before it is cleared to the background).
GifRecipe twoColourFullHdClip(int count, std::optional<int> holed)
{
    GifRecipe recipe;
    recipe.canvas = QSize(1920, 1080);
    recipe.globalPalette = {qRgb(255, 0, 0), qRgb(0, 0, 255)};
    recipe.loopCount = 0;
    for (int i = 0; i < count; ++i) {
        const bool covers = i == 0 || i == holed;
        GifFrameRecipe frame = covers ? solidFrame(QRect(QPoint(0, 0), recipe.canvas), 0)
                                      : solidFrame(QRect(i % 1920, 0, 1, 1), 1);
        frame.disposal = covers ? 1 : (holed && i + 1 == *holed) ? 2 : 3;
        if (i == holed)
            frame.indices[size_t(holed == 0 ? 1920 * 540 + 960 : i - 1)] = 3;
        recipe.frames.push_back(frame);
    }
    return recipe;
}

} // namespace

// Values a table of two colours holds draw every pixel, however many values the frame's code
// allows: a thousand such 1080p frames are written at their size. A frame covering the screen
// with a value past its colours leaves it transparent, which makes writing three times the work:
// refused when that frame is decoded, before it is written. Frame 5 cannot be decoded, so a file
// that gets as far fails there, by its number.
TEST(GifCompression, ScreensCountAsTransparentWhenTheirFramesLeaveThemSo)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    for (const std::optional<int> holed : {std::optional<int>(), std::optional<int>(0), std::optional<int>(2)}) {
        const QString path = dir.filePath(QStringLiteral("clip%1.gif").arg(holed.value_or(-1)));
        ASSERT_TRUE(writeGif(path, twoColourFullHdClip(1000, holed)));
        EXPECT_LT(QFileInfo(path).size(), 40'000);
        ASSERT_TRUE(damageFrame(path, 5));
        const std::optional<ImageCompressionSource> listed = source(path);
        ASSERT_TRUE(listed) << holed.value_or(-1);
        try {
            compressGIF(*listed, ImageCompressionSettings {}, out.path());
            ADD_FAILURE() << "the damaged frame was written";
        } catch (const ImageCompressionServiceError &error) {
            EXPECT_EQ(error.kind(), holed ? ImageCompressionServiceError::Kind::imageTooLarge
                                          : ImageCompressionServiceError::Kind::cannotReadFrame)
                << holed.value_or(-1);
            EXPECT_EQ(error.frameIndex(), holed ? 0 : 5);
        }
        EXPECT_TRUE(QDir(out.path()).isEmpty());
    }

    // The list shows a GIF that can be written at the smallest size: 2400 such frames can, unless
    // the first one leaves the screen transparent.
    for (const bool holed : {false, true}) {
        const QString path = dir.filePath(QStringLiteral("long%1.gif").arg(holed));
        ASSERT_TRUE(writeGif(path, twoColourFullHdClip(2400, holed ? std::optional<int>(0) : std::nullopt)));
        EXPECT_EQ(source(path).has_value(), !holed);
        // Left out of the list as too large, not as unreadable, once its first frame shows it.
        EXPECT_EQ(isRefusedForCost(path), holed);
    }
}

// Frames filling a large screen with flat colours take a few kilobytes each, yet every one is
// decoded whole, and every written one coded and, written smaller, shrunk from the whole screen:
// such a GIF under 1 MB is refused at every size, as too costly rather than unreadable. One such
// frame alone is a large picture, and is compressed.
TEST(GifCompression, FlatFramesFillingALargeScreenAreTooCostlyAtEverySize)
{
    QTemporaryDir dir;
    QTemporaryDir out;
    for (const auto &[screen, count] : {std::pair {QSize(4000, 3000), 90}, std::pair {QSize(7000, 5700), 30}}) {
        const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("flat%1.gif").arg(count)),
                                                    GifTestFiles::flatScreenFrames(screen, count));
        EXPECT_LT(QFileInfo(path).size(), 1'000'000);
        const std::optional<GifCodec::FileInfo> info = GifCodec::scan(path);
        ASSERT_TRUE(info);
        ASSERT_EQ(int(info->frames.size()), count);
        EXPECT_FALSE(source(path)) << count;
        EXPECT_TRUE(isRefusedForCost(path)) << count;
        ImageCompressionSource forged;
        forged.url = path;
        forged.isGIF = true;
        forged.pixelSize = QSizeF(screen);
        forged.originalBytes = QFileInfo(path).size();
        for (const auto maxDimension : {ImageCompressionMaxDimension::original, ImageCompressionMaxDimension::longEdge1920,
                                        ImageCompressionMaxDimension::longEdge800}) {
            EXPECT_TRUE(GifCodec::exceedsWorkLimit(*info, resizedSize(screen, maxDimension))) << count;
            try {
                compressGIF(forged, ImageCompressionSettings(0.75, maxDimension), out.path());
                ADD_FAILURE() << count << ": compressed at " << int(maxDimension);
            } catch (const ImageCompressionServiceError &error) {
                EXPECT_EQ(error.kind(), ImageCompressionServiceError::Kind::imageTooLarge) << count;
                EXPECT_EQ(error.description(), QStringLiteral("图片过大，无法处理：flat%1.gif").arg(count));
            }
        }
        EXPECT_TRUE(QDir(out.path()).isEmpty());
    }
    const QString single = TestSupport::writeFile(dir.filePath("single.gif"), GifTestFiles::flatScreenFrames(QSize(7000, 5700), 1));
    const std::optional<ImageCompressionSource> listed = source(single);
    ASSERT_TRUE(listed);
    EXPECT_FALSE(isRefusedForCost(single));
    // A GIF left out for its damage is not called too large.
    QByteArray cut = TestSupport::readFile(single);
    cut.truncate(13);
    const QString damaged = TestSupport::writeFile(dir.filePath("cut.gif"), cut);
    EXPECT_FALSE(source(damaged));
    EXPECT_FALSE(isRefusedForCost(damaged));
    ImageCompressionSettings reduced;
    reduced.maxDimension = ImageCompressionMaxDimension::longEdge1920;
    EXPECT_EQ(compressGIF(*listed, reduced, out.path()).outputFrameCount, 1);
}
