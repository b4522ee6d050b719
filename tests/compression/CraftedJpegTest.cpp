#include "CompressionTestSupport.h"

#include "compression/CompressionImageIO.h"
#include "compression/ImageCompressionService.h"
#include "platform/DecodeBudget.h"
#include "platform/ImageDecoding.h"
#include "platform/JpegFile.h"
#include "support/ColourTestFiles.h"
#include "support/JpegTestFiles.h"
#include "support/TestSupport.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

#include <chrono>
#include <future>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

using namespace ImageCompressionService;
using namespace CompressionTest;

namespace {

// A list entry for a file the probe was never asked about (the file changed after it was added).
ImageCompressionSource unprobed(const QString &path, QSize size)
{
    ImageCompressionSource source;
    source.id = QUuid::createUuid();
    source.url = path;
    source.fileName = QFileInfo(path).fileName();
    source.pixelSize = QSizeF(size);
    source.originalBytes = QFileInfo(path).size();
    return source;
}

// Whether compressing the file is refused, by every path that could take it, as unreadable (or,
// with `kind`, as too large).
void expectUnreadableForCompression(const QString &path, QSize size, const char *what,
                                    ImageCompressionServiceError::Kind kind = ImageCompressionServiceError::Kind::noReadableImage)
{
    QTemporaryDir out;
    EXPECT_FALSE(source(path)) << what;
    const bool tooLarge = kind == ImageCompressionServiceError::Kind::imageTooLarge;
    EXPECT_EQ(isRefusedForCost(path), tooLarge) << what;
    EXPECT_EQ(CompressionImageIO::loadUprightImage(path).tooLarge, tooLarge) << what;
    EXPECT_FALSE(CompressionImageIO::recodeJpeg(path, 0, out.filePath("direct.jpg"), 0.75)) << what;
    EXPECT_TRUE(CompressionImageIO::loadUprightImage(path).image.isNull()) << what;
    EXPECT_TRUE(CompressionImageIO::loadUprightImage(path, 100).image.isNull()) << what;
    for (const auto maxDimension : { ImageCompressionMaxDimension::original, ImageCompressionMaxDimension::longEdge800 }) {
        try {
            compress(unprobed(path, size), ImageCompressionSettings(0.75, maxDimension), out.path());
            ADD_FAILURE() << what << ": compressed";
        } catch (const ImageCompressionServiceError &error) {
            EXPECT_EQ(error.kind(), kind) << what;
        }
    }
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files).isEmpty()) << what;
}

// Restores the budget's limit however the test ends.
struct BudgetLimit {
    explicit BudgetLimit(qint64 bytes) { DecodeBudget::setLimit(bytes); }
    ~BudgetLimit() { DecodeBudget::setLimit(DecodeBudget::defaultLimit); }
};

} // namespace

// Scan data that ends before the picture does, behind an end marker that makes the file look whole:
// the decoder fills the rest with grey and only warns. Compression treats it as a file cut short.
TEST(CraftedJpeg, ScanDataEndingEarlyIsUnreadableForCompression)
{
    QTemporaryDir dir;
    const QSize size(1000, 800);
    JpegTestFiles::Layout progressive;
    progressive.progressive = true;
    JpegTestFiles::Layout grey;
    grey.grey = true;
    for (const auto &[name, layout] : { std::pair("baseline", JpegTestFiles::Layout()), std::pair("progressive", progressive),
                                        std::pair("grey", grey) }) {
        const QByteArray whole = JpegTestFiles::encoded(photoLike(size.width(), size.height()), layout);
        const QString wholePath = TestSupport::writeFile(dir.filePath(QString::fromLatin1(name) + ".jpg"), whole);
        ASSERT_TRUE(source(wholePath)) << name;
        QTemporaryDir out;
        EXPECT_NO_THROW(compress(unprobed(wholePath, size), ImageCompressionSettings(), out.path())) << name;
        for (const double kept : { 0.0, 0.5, 0.95 }) {
            const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("%1-%2.jpg").arg(name).arg(kept)),
                                                        JpegTestFiles::withScanDataCut(whole, kept));
            expectUnreadableForCompression(path, size, qPrintable(QStringLiteral("%1 keeping %2").arg(name).arg(kept)));
        }
    }
}

// A progressive file may repeat a scan any number of times, each one a pass over the whole picture;
// past a few hundred the file is refused everywhere, as too large (its cost, not its data, is at
// fault), while ordinary scan counts still decode.
TEST(CraftedJpeg, TooManyScansAreRefusedAsTooLarge)
{
    QTemporaryDir dir;
    const QSize size(96, 64);
    // 64 scans, and 1 + 63 × 11 = 694 scans, each in the order the standard allows.
    JpegTestFiles::Layout spectral;
    spectral.grey = true;
    spectral.coefficientScansRefinedIn = 0;
    JpegTestFiles::Layout refined = spectral;
    refined.coefficientScansRefinedIn = 10;
    const QString fine = TestSupport::writeFile(dir.filePath("fine.jpg"),
                                                JpegTestFiles::encoded(photoLike(size.width(), size.height()), spectral));
    const QString endless = TestSupport::writeFile(
        dir.filePath("endless.jpg"), JpegTestFiles::encoded(photoLike(size.width(), size.height()), refined));

    EXPECT_TRUE(source(fine));
    EXPECT_TRUE(ImageDecoding::loadOrientedImage(fine));
    EXPECT_TRUE(ImageDecoding::makeThumbnail(fine, 32));
    QTemporaryDir out;
    EXPECT_NO_THROW(compress(unprobed(fine, size), ImageCompressionSettings(), out.path()));

    expectUnreadableForCompression(endless, size, "1000 scans", ImageCompressionServiceError::Kind::imageTooLarge);
    EXPECT_TRUE(ImageDecoding::exceedsLimits(endless));
    EXPECT_TRUE(ImageDecoding::exceedsLimitsData(TestSupport::readFile(endless)));
    EXPECT_FALSE(ImageDecoding::exceedsLimits(fine));
    EXPECT_FALSE(ImageDecoding::loadOrientedImage(endless));
    EXPECT_FALSE(ImageDecoding::makeThumbnail(endless, 32));
    EXPECT_FALSE(ImageDecoding::loadOrientedImageData(TestSupport::readFile(endless)));
}

// A progressive file's decoder holds every coefficient of the picture (2 bytes a sample), and the
// optimising encoder of the direct re-encode holds its own: both count against the shared budget,
// so with the budget taken by another decode, each of these waits for it to be given back.
TEST(CraftedJpeg, DecodesWaitForTheBudgetTheirCoefficientsNeed)
{
    QTemporaryDir dir;
    JpegTestFiles::Layout progressive;
    progressive.progressive = true;
    progressive.lumaH = progressive.lumaV = 1;
    // 1600 × 1600 × 3 components × 2 bytes = 15.4 MB of coefficients; the thumbnails' own pixels
    // and the probe's 1/8 picture take far less.
    const QString path = TestSupport::writeFile(dir.filePath("progressive.jpg"),
                                                JpegTestFiles::encoded(photoLike(1600, 1600), progressive));
    const BudgetLimit limit(qint64(64) << 20);
    QTemporaryDir out;
    const std::vector<std::pair<const char *, std::function<bool()>>> decodes {
        { "markup thumbnail", [&] { return bool(ImageDecoding::makeThumbnail(path, 160)); } },
        { "list preview", [&] { return bool(ImageDecoding::previewImageData(TestSupport::readFile(path), 160)); } },
        { "compression probe", [&] { return bool(source(path)); } },
        { "direct re-encode", [&] { return bool(CompressionImageIO::recodeJpeg(path, 0, out.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + ".jpg"), 0.75)); } },
        { "reduced compression", [&] { return !CompressionImageIO::loadUprightImage(path, 800).image.isNull(); } },
    };
    for (const auto &[name, decode] : decodes) {
        DecodeBudget::Reservation other((qint64(64) << 20) - (qint64(12) << 20));
        std::future<bool> done = std::async(std::launch::async, decode);
        // However the threads are scheduled, the decode cannot get past its reservation while the
        // other one holds the budget.
        EXPECT_EQ(done.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout) << name;
        other.release();
        ASSERT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready) << name;
        EXPECT_TRUE(done.get()) << name;
    }
    // One decode alone always proceeds, whatever it needs.
    DecodeBudget::setLimit(1 << 20);
    EXPECT_TRUE(ImageDecoding::makeThumbnail(path, 160));
    EXPECT_TRUE(source(path));
}

// Compression decodes JPEGs itself (to see scan data that ends early), giving what Qt's reader
// gave: the same pixels, density, text entries and profile, at full size and reduced.
TEST(CraftedJpeg, DecodedAsQtsReaderDecodes)
{
    QTemporaryDir dir;
    JpegTestFiles::Layout dpi;
    dpi.densityUnit = 1, dpi.xDensity = 300, dpi.yDensity = 71;
    JpegTestFiles::Layout commented = dpi;
    commented.comment = "Title: x";
    JpegTestFiles::Layout profiled;
    profiled.iccProfile = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    JpegTestFiles::Layout grey;
    grey.grey = true;
    grey.densityUnit = 2, grey.xDensity = 40, grey.yDensity = 40;
    int index = 0;
    for (const JpegTestFiles::Layout &layout : { dpi, commented, profiled, grey }) {
        const QString path = TestSupport::writeFile(dir.filePath(QStringLiteral("%1.jpg").arg(index++)),
                                                    JpegTestFiles::encoded(photoLike(1203, 901), layout));
        // 256 and 128 are decoded at 1/4 and 1/8 inside the decoder.
        for (const int limit : { 0, 256, 128 }) {
            const QImage ours = CompressionImageIO::loadUprightImage(path, limit).image;
            QImageReader reader(path);
            reader.setAutoTransform(false);
            const QSize reduced = limit == 256 ? QSize(301, 226) : limit == 128 ? QSize(151, 113) : QSize();
            if (reduced.isValid())
                reader.setScaledSize(reduced);
            const QImage qts = reader.read();
            ASSERT_FALSE(ours.isNull()) << index << " " << limit;
            EXPECT_EQ(ours.size(), qts.size()) << index << " " << limit;
            EXPECT_EQ(ours.format(), qts.format()) << index << " " << limit;
            EXPECT_EQ(TestSupport::maxChannelDifference(ours, qts), 0) << index << " " << limit;
            EXPECT_EQ(ours.dotsPerMeterX(), qts.dotsPerMeterX()) << index << " " << limit;
            EXPECT_EQ(ours.dotsPerMeterY(), qts.dotsPerMeterY()) << index << " " << limit;
            EXPECT_EQ(ours.textKeys(), qts.textKeys()) << index << " " << limit;
            EXPECT_EQ(ours.colorSpace(), qts.colorSpace()) << index << " " << limit;
        }
    }
}

namespace {

// Whether every reader of image files refuses the file: markup import (thumbnail and picture),
// project open and comparison (both go through the list preview), and compression.
void expectUnreadableEverywhere(const QString &path, QSize size, const char *what)
{
    EXPECT_FALSE(ImageDecoding::makeThumbnail(path, 160)) << what;
    EXPECT_FALSE(ImageDecoding::loadOrientedImage(path)) << what;
    EXPECT_FALSE(ImageDecoding::previewImageData(TestSupport::readFile(path), 160)) << what;
    expectUnreadableForCompression(path, size, what);
}

} // namespace

// A file whose scan data ends early, behind an end marker that makes it look whole, is unreadable
// wherever it is read: Qt's reader would fill the rest with grey. A CMYK file without a profile is
// decoded here as Qt's reader decodes it, so that its damage is seen too.
TEST(CraftedJpeg, MissingDataIsUnreadableEverywhere)
{
    QTemporaryDir dir;
    const QSize size(1000, 800);
    JpegTestFiles::Layout progressive;
    progressive.progressive = true;
    JpegTestFiles::Layout cmyk;
    cmyk.cmyk = true;
    JpegTestFiles::Layout cmykProfiled = cmyk;
    cmykProfiled.iccProfile = ColourTestFiles::warmCmykProfile();
    for (const auto &[name, layout] : { std::pair("baseline", JpegTestFiles::Layout()), std::pair("progressive", progressive),
                                        std::pair("cmyk", cmyk), std::pair("cmyk-profiled", cmykProfiled) }) {
        const QByteArray whole = JpegTestFiles::encoded(photoLike(size.width(), size.height()), layout);
        const QString wholePath = TestSupport::writeFile(dir.filePath(QString::fromLatin1(name) + ".jpg"), whole);
        ASSERT_TRUE(ImageDecoding::makeThumbnail(wholePath, 160)) << name;
        ASSERT_TRUE(source(wholePath)) << name;
        const QString path = TestSupport::writeFile(dir.filePath(QString::fromLatin1(name) + "-sixth.jpg"),
                                                    JpegTestFiles::withScanDataCut(whole, 1.0 / 6));
        expectUnreadableEverywhere(path, size, name);
    }

    // Whole, the CMYK file without a profile gives Qt's reader's pixels, full size and reduced.
    const QString plain = dir.filePath("cmyk.jpg");
    const std::optional<QImage> ours = ImageDecoding::loadOrientedImage(plain);
    ASSERT_TRUE(ours);
    EXPECT_EQ(TestSupport::maxChannelDifference(*ours, QImage(plain).convertToFormat(QImage::Format_RGB32)), 0);
    QImageReader reader(plain);
    reader.setScaledSize(QSize(250, 200));
    EXPECT_EQ(TestSupport::maxChannelDifference(CompressionImageIO::loadUprightImage(plain, 250).image, reader.read()), 0);
}

// Arithmetic-coded files decode as any other, and one without its scan data is refused like a
// Huffman-coded one (the arithmetic decoder pads missing data without a warning).
TEST(CraftedJpeg, ArithmeticCodedFiles)
{
    QTemporaryDir dir;
    const QSize size(600, 400);
    JpegTestFiles::Layout arithmetic;
    arithmetic.arithmetic = true;
    JpegTestFiles::Layout progressive = arithmetic;
    progressive.progressive = true;
    for (const auto &[name, layout] : { std::pair("arithmetic", arithmetic), std::pair("arithmetic-progressive", progressive) }) {
        const QByteArray whole = JpegTestFiles::encoded(photoLike(size.width(), size.height()), layout);
        ASSERT_TRUE(JpegFile::layout(whole)->arithmetic) << name;
        const QString path = TestSupport::writeFile(dir.filePath(QString::fromLatin1(name) + ".jpg"), whole);
        const std::optional<QImage> decoded = ImageDecoding::loadOrientedImage(path);
        ASSERT_TRUE(decoded) << name;
        EXPECT_EQ(TestSupport::maxChannelDifference(*decoded, QImage(path)), 0) << name;
        EXPECT_TRUE(source(path)) << name;
        QTemporaryDir out;
        EXPECT_NO_THROW(compress(unprobed(path, size), ImageCompressionSettings(), out.path())) << name;

        const QString empty = TestSupport::writeFile(dir.filePath(QString::fromLatin1(name) + "-empty.jpg"),
                                                     JpegTestFiles::withScanDataCut(whole, 0));
        expectUnreadableEverywhere(empty, size, name);
    }
}

namespace {

// A flat picture with a bar of another colour where a title or a line of text would be.
QImage flatWithBar(QSize size, QRgb background, QRect bar, QRgb ink)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(background);
    for (int y = bar.top(); y <= bar.bottom(); ++y)
        for (int x = bar.left(); x <= bar.right(); ++x)
            if ((x / 32) % 2 == 0)
                picture.setPixel(x, y, ink);
    return picture;
}

// Whether markup import, the list preview (project open, comparison) and compression read the
// file, the full-size picture being the one Qt's reader gives.
void expectReadEverywhere(const QString &path, QSize size, const char *what)
{
    EXPECT_TRUE(ImageDecoding::makeThumbnail(path, 160)) << what;
    const std::optional<QImage> loaded = ImageDecoding::loadOrientedImage(path);
    ASSERT_TRUE(loaded) << what;
    EXPECT_EQ(TestSupport::maxChannelDifference(*loaded, QImage(path).convertToFormat(QImage::Format_RGB32)), 0) << what;
    EXPECT_TRUE(ImageDecoding::previewImageData(TestSupport::readFile(path), 160)) << what;
    EXPECT_TRUE(source(path)) << what;
    QTemporaryDir out;
    for (const auto maxDimension : { ImageCompressionMaxDimension::original, ImageCompressionMaxDimension::longEdge800 })
        EXPECT_NO_THROW(compress(unprobed(path, size), ImageCompressionSettings(0.75, maxDimension), out.path())) << what;
}

// The entropy-coded data with each piece between restart markers replaced by `piece(data)`.
QByteArray withEachPiece(const QByteArray &data, const std::function<QByteArray(const QByteArray &)> &piece)
{
    QByteArray crafted;
    qsizetype start = 0;
    for (qsizetype at = 0; at + 1 < data.size(); ++at) {
        const int next = quint8(data[at + 1]);
        if (quint8(data[at]) == 0xFF && next >= 0xD0 && next <= 0xD7) {
            crafted += piece(data.mid(start, at - start)) + data.mid(at, 2);
            start = at + 2;
        }
    }
    return crafted + piece(data.mid(start));
}

} // namespace

// The arithmetic coder codes a flat block in well under a bit: pages, slides and blank pictures it
// wrote are read everywhere, though their data is far below a bit a block.
TEST(CraftedJpeg, ArithmeticCodedFlatPicturesAreRead)
{
    QTemporaryDir dir;
    JpegTestFiles::Layout arithmetic;
    arithmetic.arithmetic = true;
    const QRgb white = qRgb(255, 255, 255);
    const QRgb ink = qRgb(20, 20, 20);
    const std::vector<std::pair<const char *, QImage>> pictures {
        { "page with a title", flatWithBar({ 1240, 1754 }, white, QRect(320, 152, 600, 32), ink) },
        { "page with a line", flatWithBar({ 1600, 1200 }, white, QRect(120, 200, 1360, 16), ink) },
        { "white", flatWithBar({ 2000, 2000 }, white, QRect(), ink) },
        { "slide", flatWithBar({ 1920, 1080 }, qRgb(30, 60, 120), QRect(0, 80, 1920, 128), white) },
    };
    for (const auto &[name, picture] : pictures) {
        const QByteArray bytes = JpegTestFiles::encoded(picture, arithmetic);
        const JpegFile::Layout layout = *JpegFile::layout(bytes);
        const qint64 lumaBlocks = qint64(picture.width() + 7) / 8 * ((picture.height() + 7) / 8);
        ASSERT_LT(layout.scanBytes * 8, lumaBlocks) << name;
        expectReadEverywhere(TestSupport::writeFile(dir.filePath(QString::fromLatin1(name) + ".jpg"), bytes),
                             picture.size(), name);
    }
}

// The arithmetic coder writes no bytes for a restart interval or a scan whose blocks it leaves as
// they were (all zero, or no refinement): a mid-grey page with a restart after every block, a
// flat picture's refinement scans, the quiet parts of a photo cut into short intervals. The
// decoder reads such pieces without a word, and so are they read here, as it decodes them.
TEST(CraftedJpeg, ArithmeticCodedPiecesWithoutBytesAreRead)
{
    QTemporaryDir dir;
    QImage grey(640, 480, QImage::Format_RGB32);
    grey.fill(qRgb(128, 128, 128));
    QImage small(8, 8, QImage::Format_RGB32);
    small.fill(qRgb(128, 128, 128));
    JpegTestFiles::Layout page;
    page.arithmetic = true;
    page.grey = true;
    page.restartInterval = 1;
    JpegTestFiles::Layout progressive;
    progressive.arithmetic = true;
    progressive.progressive = true;
    JpegTestFiles::Layout smallGrey = progressive;
    smallGrey.grey = true;
    std::vector<std::tuple<std::string, QImage, JpegTestFiles::Layout>> files {
        { "grey page", grey, page },
        { "8x8 progressive", small, smallGrey },
    };
    for (const int interval : { 1, 3, 10 }) {
        JpegTestFiles::Layout restarts = progressive;
        restarts.restartInterval = interval;
        files.emplace_back("photo restarting every " + std::to_string(interval), photoLike(1600, 1200), restarts);
    }
    for (const auto &[name, picture, layout] : files) {
        const QByteArray bytes = JpegTestFiles::encoded(picture, layout);
        ASSERT_GT(JpegFile::layout(bytes)->emptyPieces, 0) << name;
        expectReadEverywhere(TestSupport::writeFile(dir.filePath(QString::fromStdString(name) + ".jpg"), bytes),
                             picture.size(), name.c_str());
    }
}

// What an arithmetic-coded file lacks is seen by what its decoder finds: scans or restart
// intervals without data (only markers, or only zeros, which the decoder reads as it reads missing
// data), restart markers out of place, data it cannot follow. Each would decode flat, blocky or in
// part grey without a word from the decoder.
TEST(CraftedJpeg, ArithmeticCodedDataThatIsMissingIsUnreadableEverywhere)
{
    QTemporaryDir dir;
    const QSize size(640, 480);
    const QImage photo = photoLike(size.width(), size.height());
    JpegTestFiles::Layout restarts;
    restarts.arithmetic = true;
    restarts.lumaH = restarts.lumaV = 1;
    restarts.restartRows = 1;
    JpegTestFiles::Layout progressive;
    progressive.arithmetic = true;
    progressive.progressive = true;
    const QByteArray withRestarts = JpegTestFiles::encoded(photo, restarts);
    const QByteArray inScans = JpegTestFiles::encoded(photo, progressive);
    ASSERT_TRUE(ImageDecoding::makeThumbnail(TestSupport::writeFile(dir.filePath("restarts.jpg"), withRestarts), 160));
    ASSERT_TRUE(ImageDecoding::makeThumbnail(TestSupport::writeFile(dir.filePath("scans.jpg"), inScans), 160));
    ASSERT_GT(JpegFile::layout(inScans)->scans, 2);

    quint32 seed = 7;
    QByteArray noise(40000, '\0');
    for (char &byte : noise) {
        seed = seed * 1664525u + 1013904223u;
        byte = char(std::min<quint32>(seed >> 24, 0xFE));
    }
    using Pieces = std::function<QByteArray(const QByteArray &)>;
    const auto eachPiece = [&](const Pieces &piece) {
        return JpegTestFiles::withScanDataReplaced(withRestarts, [&](int, const QByteArray &data) { return withEachPiece(data, piece); });
    };
    const std::vector<std::pair<const char *, QByteArray>> damaged {
        { "only restart markers", eachPiece([](const QByteArray &) { return QByteArray(); }) },
        { "only zeros", eachPiece([](const QByteArray &) { return QByteArray(3, '\0'); }) },
        { "every other interval empty",
          eachPiece([n = 0](const QByteArray &data) mutable { return n++ % 2 ? QByteArray() : data; }) },
        { "restart markers missing", eachPiece([](const QByteArray &data) { return data; }).replace(QByteArray("\xFF\xD0", 2), QByteArray()) },
        { "later scans emptied", JpegTestFiles::withScanDataReplaced(inScans, [](int scan, const QByteArray &data) {
              return scan == 0 ? data : QByteArray();
          }) },
        { "noise", JpegTestFiles::withScanDataReplaced(JpegTestFiles::encoded(photo, progressive), [&](int scan, const QByteArray &data) {
              return scan == 0 ? noise : data;
          }) },
    };
    for (const auto &[name, bytes] : damaged)
        expectUnreadableEverywhere(TestSupport::writeFile(dir.filePath(QString::fromLatin1(name) + ".jpg"), bytes), size, name);
}

// Faults that lose nothing are read as the decoder reads the data whole: bytes before a table
// marker (CMYK as RGB), a missing end marker after a file's one interleaved scan. A missing end
// marker where later scans or more data could have followed is still refused.
TEST(CraftedJpeg, HarmlessFaultsAreReadWhatMayHaveLostDataIsNot)
{
    QTemporaryDir dir;
    const QSize size(800, 600);
    const QImage photo = photoLike(size.width(), size.height());
    const auto padded = [](QByteArray bytes) {
        return bytes.insert(bytes.indexOf(QByteArray("\xFF\xDB", 2)), QByteArray(4, '\0'));
    };
    JpegTestFiles::Layout cmyk;
    cmyk.cmyk = true;
    JpegTestFiles::Layout cmykProfiled = cmyk;
    cmykProfiled.iccProfile = ColourTestFiles::warmCmykProfile();
    JpegTestFiles::Layout grey;
    grey.grey = true;
    JpegTestFiles::Layout progressive;
    progressive.progressive = true;
    JpegTestFiles::Layout arithmetic;
    arithmetic.arithmetic = true;
    const QByteArray baseline = JpegTestFiles::encoded(photo, {});
    const std::vector<std::pair<const char *, QByteArray>> harmless {
        { "padded rgb", padded(baseline) },
        { "padded cmyk", padded(JpegTestFiles::encoded(photo, cmyk)) },
        { "no end marker", baseline.chopped(2) },
        { "grey without end marker", JpegTestFiles::encoded(photo, grey).chopped(2) },
    };
    for (const auto &[name, bytes] : harmless)
        expectReadEverywhere(TestSupport::writeFile(dir.filePath(QString::fromLatin1(name) + ".jpg"), bytes), size, name);
    const QString profiled = TestSupport::writeFile(dir.filePath("padded-profiled.jpg"), padded(JpegTestFiles::encoded(photo, cmykProfiled)));
    EXPECT_TRUE(ImageDecoding::loadOrientedImage(profiled));
    EXPECT_TRUE(source(profiled));

    const std::vector<std::pair<const char *, QByteArray>> cut {
        { "cut without end marker", baseline.left(baseline.size() * 2 / 3) },
        { "progressive without end marker", JpegTestFiles::encoded(photo, progressive).chopped(2) },
        { "arithmetic without end marker", JpegTestFiles::encoded(photo, arithmetic).chopped(2) },
    };
    for (const auto &[name, bytes] : cut)
        expectUnreadableEverywhere(TestSupport::writeFile(dir.filePath(QString::fromLatin1(name) + ".jpg"), bytes), size, name);
}
