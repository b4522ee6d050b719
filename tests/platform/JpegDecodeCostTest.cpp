#include "platform/JpegFile.h"
#include "platform/JpegLibrary.h"
#include "support/JpegTestFiles.h"

#include <QImage>

#include <array>
#include <optional>

#include <gtest/gtest.h>

namespace {

QImage gradient(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, (x * 3 + y * 5) % 256, y % 256));
    return image;
}

JpegFile::Layout layoutOf(const QByteArray &bytes)
{
    const std::optional<JpegFile::Layout> layout = JpegFile::layout(bytes);
    EXPECT_TRUE(layout);
    return layout.value_or(JpegFile::Layout());
}

} // namespace

// What the decoder holds besides its rows, read from the header: nothing for one interleaved scan,
// every coefficient of the picture (2 bytes a sample) for a progressive file, whatever the scale.
TEST(JpegDecodeCost, WholePictureCoefficientsForFilesInSeveralScans)
{
    JpegTestFiles::Layout baseline;
    JpegTestFiles::Layout progressive444;
    progressive444.progressive = true;
    progressive444.lumaH = progressive444.lumaV = 1;
    JpegTestFiles::Layout progressiveGrey;
    progressiveGrey.progressive = true;
    progressiveGrey.grey = true;
    JpegTestFiles::Layout progressive420;
    progressive420.progressive = true;

    const JpegFile::Layout plain = layoutOf(JpegTestFiles::encoded(gradient({ 640, 480 }), baseline));
    EXPECT_FALSE(plain.progressive);
    EXPECT_EQ(plain.scans, 1);
    EXPECT_EQ(JpegFile::coefficientBufferBytes(plain), 0);

    const JpegFile::Layout full = layoutOf(JpegTestFiles::encoded(gradient({ 640, 480 }), progressive444));
    EXPECT_TRUE(full.progressive);
    EXPECT_GT(full.scans, 1);
    EXPECT_EQ(JpegFile::coefficientBufferBytes(full), qint64(640) * 480 * 3 * 2);

    const JpegFile::Layout grey = layoutOf(JpegTestFiles::encoded(gradient({ 640, 480 }), progressiveGrey));
    EXPECT_EQ(JpegFile::coefficientBufferBytes(grey), qint64(640) * 480 * 2);

    // Sides that are no whole number of blocks round up to whole groups of the sampling.
    const JpegFile::Layout subsampled = layoutOf(JpegTestFiles::encoded(gradient({ 644, 484 }), progressive420));
    const qint64 bytes = JpegFile::coefficientBufferBytes(subsampled);
    EXPECT_GE(bytes, qint64(644) * 484 * 3);
    EXPECT_LE(bytes, qint64(644 + 16) * (484 + 16) * 3);

    // The optimising encoder keeps the defaults' 4:2:0 colour, or grey.
    EXPECT_EQ(JpegFile::optimisingEncoderBytes({ 640, 480 }, false), qint64(640) * 480 * 3);
    EXPECT_EQ(JpegFile::optimisingEncoderBytes({ 640, 480 }, true), qint64(640) * 480 * 2);
}

// The scans are counted over the whole file; a decode given a file with too many stops by itself.
TEST(JpegDecodeCost, ScansAreCountedAndBoundedInTheDecoder)
{
    JpegTestFiles::Layout spectral;
    spectral.grey = true;
    spectral.coefficientScansRefinedIn = 0;
    const QByteArray some = JpegTestFiles::encoded(gradient({ 120, 80 }), spectral);
    const JpegFile::Layout fine = layoutOf(some);
    EXPECT_EQ(fine.scans, 64);
    EXPECT_FALSE(JpegFile::isUndecodable(fine));
    EXPECT_TRUE(JpegFile::decodeScaledChecked(some, fine, { 120, 80 }).image);

    // Refined bit by bit: 1 + 63 × 5 scans, all in order.
    JpegTestFiles::Layout refined = spectral;
    refined.coefficientScansRefinedIn = 4;
    const QByteArray many = JpegTestFiles::encoded(gradient({ 120, 80 }), refined);
    const JpegFile::Layout endless = layoutOf(many);
    EXPECT_EQ(endless.scans, 1 + 63 * 5);
    ASSERT_GT(endless.scans, JpegLibrary::maxScans);
    EXPECT_TRUE(JpegFile::isUndecodable(endless));
    EXPECT_TRUE(JpegFile::isTooCostly(endless));
    EXPECT_TRUE(JpegFile::decodeScaledChecked(many, endless, { 120, 80 }).damaged);
    EXPECT_TRUE(JpegFile::decodeScaledChecked(many, endless, { 15, 10 }).damaged);

    // A scan repeated over and over is counted the same way.
    JpegTestFiles::Layout progressive;
    progressive.progressive = true;
    const QByteArray repeated = JpegTestFiles::withScans(JpegTestFiles::encoded(gradient({ 120, 80 }), progressive), 3000);
    EXPECT_EQ(layoutOf(repeated).scans, 3000);
    EXPECT_TRUE(JpegFile::isUndecodable(layoutOf(repeated)));

    // A large picture goes through fewer: each scan is a pass over the blocks of its components.
    EXPECT_TRUE(JpegLibrary::isWithinScanWork(JpegLibrary::maxScans, qint64(1000) * JpegLibrary::maxScans));
    EXPECT_FALSE(JpegLibrary::isWithinScanWork(JpegLibrary::maxScans + 1, 0));
    EXPECT_TRUE(JpegLibrary::isWithinScanWork(JpegLibrary::minScans, qint64(10) << 30));
    JpegTestFiles::Layout greyProgressive;
    greyProgressive.grey = true;
    greyProgressive.progressive = true;
    QImage flat(4800, 4800, QImage::Format_RGB32);
    flat.fill(Qt::gray);
    const JpegFile::Layout large = layoutOf(JpegTestFiles::withScans(JpegTestFiles::encoded(flat, greyProgressive), 290));
    EXPECT_EQ(large.scans, 290);
    EXPECT_EQ(large.scanBlocks, qint64(290) * 600 * 600);
    EXPECT_FALSE(JpegLibrary::isWithinScanWork(290, large.scanBlocks));
    EXPECT_TRUE(JpegFile::isUndecodable(large));
    EXPECT_TRUE(JpegFile::isTooCostly(large));
    EXPECT_FALSE(JpegFile::isUndecodable(layoutOf(JpegTestFiles::withScans(JpegTestFiles::encoded(gradient({ 48, 48 }), greyProgressive), 290))));
}

// A file without its scan data is seen from its markers; one with part of it only by the decoder,
// which reports it as damaged rather than as a file it leaves to Qt's reader.
TEST(JpegDecodeCost, MissingScanData)
{
    const QByteArray whole = JpegTestFiles::encoded(gradient({ 640, 480 }), {});
    const JpegFile::Layout wholeLayout = layoutOf(whole);
    EXPECT_FALSE(JpegFile::isUndecodable(wholeLayout));
    const JpegFile::CheckedDecode decoded = JpegFile::decodeScaledChecked(whole, wholeLayout, { 640, 480 });
    EXPECT_FALSE(decoded.damaged);
    EXPECT_TRUE(decoded.image);

    const JpegFile::Layout empty = layoutOf(JpegTestFiles::withScanDataCut(whole, 0));
    EXPECT_TRUE(empty.complete);
    EXPECT_TRUE(JpegFile::isUndecodable(empty));
    // Data missing is damage, not cost.
    EXPECT_FALSE(JpegFile::isTooCostly(empty));

    const QByteArray half = JpegTestFiles::withScanDataCut(whole, 0.5);
    const JpegFile::Layout halfLayout = layoutOf(half);
    EXPECT_TRUE(halfLayout.complete);
    EXPECT_FALSE(JpegFile::isUndecodable(halfLayout));
    for (const QSize size : { QSize(640, 480), QSize(80, 60) }) {
        const JpegFile::CheckedDecode cut = JpegFile::decodeScaledChecked(half, halfLayout, size);
        EXPECT_TRUE(cut.damaged);
        EXPECT_FALSE(cut.image);
    }
}

namespace {

// What the decoder reads from the header: size and components, or nothing when it stops there.
std::optional<std::array<int, 3>> decoderHeader(const QByteArray &bytes)
{
    std::array<int, 3> header {};
    if (!JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &info, const JpegLibrary::ErrorExit &) {
            header = { int(info.image_width), int(info.image_height), info.num_components };
        }))
        return std::nullopt;
    return header;
}

QByteArray afterStartMarker(const QByteArray &bytes, const QByteArray &inserted)
{
    return bytes.left(2) + inserted + bytes.mid(2);
}

} // namespace

// The pre-scan follows the markers the decoder follows: stuffed zeros, fill and stray bytes and
// short comment or application lengths lead both to the same frame and the same scan count (so a
// file of too many scans is still seen); markers the decoder stops on leave the file unread.
TEST(JpegDecodeCost, MarkersAreReadAsTheDecoderReadsThem)
{
    JpegTestFiles::Layout progressive;
    progressive.progressive = true;
    const QByteArray small = JpegTestFiles::encoded(gradient({ 24, 16 }), progressive);
    const QByteArray manyScans = JpegTestFiles::withScans(small, 400);
    const int scans = layoutOf(small).scans;
    for (const QByteArray &inserted : { QByteArray("\xFF\x00", 2), QByteArray("\xFF\xE9\x00\x00", 4),
                                        QByteArray("\xFF\xFF\xFF\xFE\x00\x01", 6), QByteArray("\x12\x34\xFF\x00\x00", 5) }) {
        const QByteArray bytes = afterStartMarker(small, inserted);
        const JpegFile::Layout layout = layoutOf(bytes);
        const auto decoded = decoderHeader(bytes);
        ASSERT_TRUE(decoded) << inserted.toHex().constData();
        EXPECT_EQ((std::array<int, 3> { layout.width, layout.height, layout.components }), *decoded) << inserted.toHex().constData();
        EXPECT_EQ(layout.scans, scans) << inserted.toHex().constData();
        EXPECT_FALSE(JpegFile::isUndecodable(layout)) << inserted.toHex().constData();
        const QByteArray endless = afterStartMarker(manyScans, inserted);
        EXPECT_EQ(layoutOf(endless).scans, 400) << inserted.toHex().constData();
        EXPECT_TRUE(JpegFile::isUndecodable(layoutOf(endless))) << inserted.toHex().constData();
    }
    // An unknown marker, a table of length 0, a second start marker: the decoder gives up.
    for (const QByteArray &inserted : { QByteArray("\xFF\x02\x00\x04\x00\x00", 6), QByteArray("\xFF\xC4\x00\x00", 4),
                                        QByteArray("\xFF\xD8", 2) }) {
        const QByteArray bytes = afterStartMarker(small, inserted);
        EXPECT_FALSE(decoderHeader(bytes)) << inserted.toHex().constData();
        EXPECT_TRUE(JpegFile::isUndecodable(layoutOf(bytes))) << inserted.toHex().constData();
    }
}

// Only entropy-coded data counts as scan data: comment segments between scans do not make up for
// missing data, and bytes after the end marker (as some cameras append) hold no scans.
TEST(JpegDecodeCost, OnlyEntropyCodedDataCounts)
{
    JpegTestFiles::Layout progressive;
    progressive.progressive = true;
    const QByteArray whole = JpegTestFiles::encoded(gradient({ 640, 480 }), progressive);
    const QByteArray empty = JpegTestFiles::withScanDataCut(whole, 0);
    QByteArray comment("\xFF\xFE\xFF\xFF", 4);
    comment += QByteArray(0xFFFF - 2, 'c');
    const QByteArray commented = empty.chopped(2) + comment + comment + QByteArray("\xFF\xD9", 2);
    const JpegFile::Layout padded = layoutOf(commented);
    EXPECT_TRUE(padded.complete);
    EXPECT_EQ(padded.scanBytes, 0);
    EXPECT_TRUE(JpegFile::isUndecodable(padded));

    const JpegFile::Layout wholeLayout = layoutOf(whole);
    QByteArray trailing;
    for (int i = 0; i < 400; ++i)
        trailing += QByteArray("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
    const JpegFile::Layout appended = layoutOf(whole + trailing);
    EXPECT_EQ(appended.scans, wholeLayout.scans);
    EXPECT_EQ(appended.scanBytes, wholeLayout.scanBytes);
    EXPECT_FALSE(JpegFile::isUndecodable(appended));
}

namespace {

// The file's frame header made to declare width × height.
QByteArray declaring(QByteArray bytes, int width, int height)
{
    for (qsizetype at = 2; at + 9 < bytes.size(); ++at) {
        const int marker = quint8(bytes[at + 1]);
        if (quint8(bytes[at]) == 0xFF && marker >= 0xC0 && marker <= 0xCA && marker != 0xC4 && marker != 0xC8) {
            bytes[at + 5] = char(height >> 8);
            bytes[at + 6] = char(height & 0xFF);
            bytes[at + 7] = char(width >> 8);
            bytes[at + 8] = char(width & 0xFF);
            break;
        }
    }
    return bytes;
}

} // namespace

// Each scan is a pass over the blocks of the components it codes, not over the whole picture: the
// markers and the decoder count alike, 64 × the picture's blocks for 190 single-coefficient scans.
TEST(JpegDecodeCost, ScansCountTheBlocksOfTheirOwnComponents)
{
    JpegTestFiles::Layout spectral;
    spectral.coefficientScansRefinedIn = 0;
    const QByteArray bytes = JpegTestFiles::encoded(gradient({ 640, 480 }), spectral);
    const JpegFile::Layout layout = layoutOf(bytes);
    const qint64 pictureBlocks = 80 * 60 + 2 * 40 * 30;
    EXPECT_EQ(layout.scans, 1 + 3 * 63);
    EXPECT_EQ(layout.scanBlocks, 64 * pictureBlocks);
    qint64 decoderCount = 0;
    EXPECT_TRUE(JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &info, const JpegLibrary::ErrorExit &error) {
        jpeg_start_decompress(&info);
        decoderCount = error.scanBlocks;
    }));
    EXPECT_EQ(decoderCount, layout.scanBlocks);
}

// A scan without data is missing data whatever the coding, and is seen from the markers before
// anything is decoded; with a byte left in each, the decoder finds it.
TEST(JpegDecodeCost, EmptyScansAreSeenBeforeTheDecode)
{
    JpegTestFiles::Layout progressive;
    progressive.progressive = true;
    const QByteArray whole = JpegTestFiles::encoded(gradient({ 640, 480 }), progressive);
    EXPECT_EQ(layoutOf(whole).emptyPieces, 0);
    const QByteArray emptied = JpegTestFiles::withScanDataReplaced(whole, [](int scan, const QByteArray &data) {
        return scan == 0 ? data : QByteArray();
    });
    EXPECT_EQ(layoutOf(emptied).emptyPieces, layoutOf(whole).scans - 1);
    EXPECT_TRUE(JpegFile::isUndecodable(layoutOf(emptied)));
    const QByteArray aByteEach = JpegTestFiles::withScanDataReplaced(whole, [](int scan, const QByteArray &data) {
        return scan == 0 ? data : data.left(1);
    });
    const JpegFile::Layout sparse = layoutOf(aByteEach);
    EXPECT_FALSE(JpegFile::isUndecodable(sparse));
    EXPECT_TRUE(JpegFile::decodeScaledChecked(aByteEach, sparse, { 640, 480 }).damaged);
    EXPECT_TRUE(JpegFile::decodeScaledChecked(aByteEach, sparse, { 80, 60 }).damaged);
}

// An arithmetic-coded file needs no bytes to speak of for a huge flat picture: in several scans
// of full-resolution colour, one near the pixel cap would hold about 2 GB at full size, and is
// refused unless it holds a bit for each block, as the library's own progressive scans do; at
// the usual subsampled colour it fits.
TEST(JpegDecodeCost, ArithmeticCodedPicturesInScansAreBoundedByWhatTheirDecodeHolds)
{
    JpegTestFiles::Layout progressive;
    progressive.arithmetic = true;
    progressive.progressive = true;
    JpegTestFiles::Layout fullColour = progressive;
    fullColour.lumaH = fullColour.lumaV = 1;
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(qRgb(250, 250, 250));
    const JpegFile::Layout subsampled = layoutOf(declaring(JpegTestFiles::encoded(flat, progressive), 14000, 14000));
    const JpegFile::Layout full = layoutOf(declaring(JpegTestFiles::encoded(flat, fullColour), 14000, 14000));
    ASSERT_EQ(full.width, 14000);
    EXPECT_FALSE(JpegFile::isUndecodable(subsampled));
    EXPECT_TRUE(JpegFile::isUndecodable(full));
    JpegFile::Layout fullWithData = full;
    fullWithData.scanBytes = (qint64(1750) * 1750 * 3 + 7) / 8;
    EXPECT_FALSE(JpegFile::isUndecodable(fullWithData));
    EXPECT_FALSE(JpegFile::isUndecodable(layoutOf(declaring(JpegTestFiles::encoded(flat, fullColour), 8000, 8000))));
}
