// Time and peak memory of small crafted files that declare huge pictures: a GIF with a
// 14000 × 14000 screen and tiny "restore to previous" frames, compressed to the 800 long edge,
// a project of eight 14000 × 14000 one-bit PNGs, opened, and a project of 10,000 comparison pairs
// of 2000 × 2000 one-bit PNGs, opened and its first cards drawn.
//
// Small crafted JPEGs: a progressive 4:4:4 file of 1 KB declaring 14000 × 14000 (eight copies),
// an 8000 × 8000 file of 3000 scans, and a 14000 × 14000 file without scan data but with its end
// marker.
//
// Hostile GIFs and documents: a 1 × 1 screen with many frames, frames of 65535 × 3051 on a
// 16 × 16 screen, a project of millions of tiny arrays and a DOCX nested a million elements deep.
//
// Usage: bench_crafted_files gif [frames] | gif-original [frames] | project | pairs | probe-bombs
//        | jpeg-progressive thumbnail|import|probe|recode | jpeg-progressive-whole import|probe|recode [copies=8]
//        | jpeg-scans probe|compress|import [scans=3000]
//        | jpeg-nodata probe|compress
//        | jpeg-crafted ff00|e9|ff00-scans|e9-scans|comments|arith|arith-baseline|sixth|cmyk-sixth|icc|icc40|icc48|icc-float
//                       |arith-a4|arith-line|arith-white|arith-slide|arith-restarts|arith-emptied
//                       |arith-random|arith-flat|arith-flat-420|arith-flat-444|arith-sparse-444
//                       |arith-photo-r1|arith-photo-r3|arith-photo-r10
//                       |progressive-first|progressive-first-byte|cmyk-padded|no-eoi|scans64
//                       import|probe|compress|recode|open|load
//        | gif-tiny [frames] | gif-wide [frames] | project-arrays [MB=40] | docx-deep|docx-flat [parts=4] [depth=1300000]
//        | gif-screen WxH [frames=64] [opaque|uncovered] | gif-real WxH [frames=64] (ffmpeg's test pattern)
//        | gif-flat WxH [frames=90] [original|1920] (frames filling the screen, each in one colour)
//        | profile cmyk-tiff|grey-jpeg|grey-png
// (one case per run: the peak is per process; gif-original keeps the screen's size)

#include "comparison/widgets/ComparisonPairListView.h"
#include "compression/ImageCompressionService.h"
#include "model/MarkupViewModel.h"
#include "platform/ImageDecoding.h"
#include "platform/ImageLimits.h"
#include "platform/JpegFile.h"
#include "platform/VideoAsset.h"
#include "textengine/TextComparisonImport.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <optional>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <zip.h>

namespace {

long long peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto match
        = QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+)")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() / 1024 : -1;
}

QByteArray tightestLzwData(qint64 pixels, int value = 0);

// GIF89a, a screen of `screen` with a two-colour palette, and `frames` 1 × 1 frames with
// disposal 3, each one LZW-coded pixel; with `coverValue`, the first frame covers the screen in
// that value (0 is red; 3 has no colour, which leaves the screen transparent, and then every
// frame is in that value: on a 1 × 1 screen each one covers it and leaves it transparent).
QByteArray craftedScreenGif(int frames, QSize screen, std::optional<int> coverValue = std::nullopt)
{
    QByteArray gif("GIF89a", 6);
    for (const int side : { screen.width(), screen.height() })
        gif.append(char(side & 0xFF)).append(char(side >> 8));
    gif.append(char(0x80)).append('\0').append('\0');
    gif.append("\xFF\0\0\0\0\xFF", 6);
    for (int i = 0; i < frames; ++i) {
        if (i == 0 && coverValue) {
            gif.append("\x21\xF9\x04\x04\x0A\0\0\0", 8); // disposal 1, 10 cs
            gif.append("\x2C\0\0\0\0", 5);
            for (const int side : { screen.width(), screen.height() })
                gif.append(char(side & 0xFF)).append(char(side >> 8));
            gif.append('\0');
            gif.append(tightestLzwData(qint64(screen.width()) * screen.height(), *coverValue));
            continue;
        }
        gif.append("\x21\xF9\x04\x0C\x0A\0\0\0", 8); // disposal 3, 10 cs
        gif.append("\x2C\0\0\0\0\x01\0\x01\0\0", 10); // 1 × 1 at the origin
        // clear, index 1 (or 3), end
        gif.append(coverValue == 3 ? QByteArray("\x02\x02\x5C\x01\0", 5) : QByteArray("\x02\x02\x4C\x01\0", 5));
    }
    gif.append('\x3B');
    return gif;
}

// `frames` frames that each fill the whole screen with one colour (alternating), as tightly coded
// as LZW allows: a few kilobytes a frame of 12 megapixels.
QByteArray flatScreenGif(int frames, QSize screen)
{
    QByteArray gif("GIF89a", 6);
    for (const int side : { screen.width(), screen.height() })
        gif.append(char(side & 0xFF)).append(char(side >> 8));
    gif.append(char(0x81)).append('\0').append('\0');
    gif.append("\xFF\0\0\0\0\xFF\0\xFF\0\xFF\xFF\0", 12);
    for (int i = 0; i < frames; ++i) {
        gif.append("\x21\xF9\x04\x04\x0A\0\0\0", 8); // disposal 1, 10 cs
        gif.append("\x2C\0\0\0\0", 5);
        for (const int side : { screen.width(), screen.height() })
            gif.append(char(side & 0xFF)).append(char(side >> 8));
        gif.append('\0');
        gif.append(tightestLzwData(qint64(screen.width()) * screen.height(), i % 4));
    }
    gif.append('\x3B');
    return gif;
}

QByteArray craftedGif(int frames, int side = 14000)
{
    return craftedScreenGif(frames, QSize(side, side));
}

// The LZW data (minimum code size 2, sub-blocks) of `pixels` pixels of index `value`, coded as
// tightly as LZW allows: each new code one pixel longer than the one before, then the longest one
// repeated.
QByteArray tightestLzwData(qint64 pixels, int value)
{
    QByteArray bytes;
    quint32 bits = 0;
    int bitCount = 0;
    int size = 3;
    int next = 6;
    bool first = true;
    auto put = [&](int code) {
        bits |= quint32(code) << bitCount;
        bitCount += size;
        while (bitCount >= 8) {
            bytes.append(char(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
        if (!first && next < 4096)
            ++next;
        first = false;
        if (next >= (1 << size) && size < 12)
            ++size;
    };
    put(4); // clear
    first = true;
    put(value);
    qint64 done = 1;
    int length = 1;
    while (done < pixels) {
        const int code = next < 4096 ? next : 4095;
        if (next < 4096)
            ++length;
        put(code);
        done += length;
    }
    put(5); // end
    if (bitCount > 0)
        bytes.append(char(bits & 0xFF));
    QByteArray blocks;
    blocks.append('\x02');
    for (qsizetype at = 0; at < bytes.size(); at += 255) {
        const QByteArray chunk = bytes.mid(at, 255);
        blocks.append(char(chunk.size())).append(chunk);
    }
    blocks.append('\0');
    return blocks;
}

// A 16 × 16 screen and `frames` frames of 65535 × 3051 at its corner, each of one colour and
// coded as tightly as LZW allows (about 76 KB a frame for 200 million pixels).
QByteArray craftedWideGif(int frames)
{
    QByteArray gif("GIF89a\x10\0\x10\0\x81\0\0", 13);
    gif.append("\xFF\0\0\0\0\xFF\0\x80\0\0\0\xFF", 12);
    const QByteArray data = tightestLzwData(65535LL * 3051);
    for (int i = 0; i < frames; ++i) {
        gif.append("\x21\xF9\x04\x04\x0A\0\0\0", 8); // disposal 1, 10 cs
        gif.append("\x2C\0\0\0\0\xFF\xFF\xEB\x0B\0", 10); // 65535 × 3051 at the origin
        gif.append(data);
    }
    gif.append('\x3B');
    return gif;
}

// CPU time of the whole process so far (user and system), in milliseconds.
long long cpuMilliseconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

int benchGifFile(const QTemporaryDir &dir, const QString &path, int frames, ImageCompressionMaxDimension maxDimension)
{
    QElapsedTimer timer;
    timer.start();
    const long long cpuBefore = cpuMilliseconds();
    const auto source = ImageCompressionService::source(path);
    QString outcome = QStringLiteral("refused by the probe");
    if (source) {
        ImageCompressionSettings settings;
        settings.maxDimension = maxDimension;
        try {
            const auto result = ImageCompressionService::compressGIF(*source, settings, dir.path());
            outcome = QStringLiteral("compressed, %1 frames").arg(result.outputFrameCount);
        } catch (const ImageCompressionServiceError &error) {
            outcome = error.description();
        }
    }
    std::printf("gif: %d frames, %lld bytes, %s: %s, %lld ms, CPU %lld ms, peak %lld MB\n", frames,
                static_cast<long long>(QFileInfo(path).size()),
                maxDimension == ImageCompressionMaxDimension::original     ? "original size"
                : maxDimension == ImageCompressionMaxDimension::longEdge1920 ? "1920 long edge"
                                                                             : "800 long edge",
                qPrintable(outcome), static_cast<long long>(timer.elapsed()), cpuMilliseconds() - cpuBefore,
                peakMegabytes());
    return 0;
}

int benchGif(const QByteArray &bytes, int frames, ImageCompressionMaxDimension maxDimension)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crafted.gif"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(bytes);
    file.close();
    return benchGifFile(dir, path, frames, maxDimension);
}

// "WxH" as a size; an empty size when it is not one.
QSize parsedSize(const QString &text)
{
    const QStringList sides = text.split(QLatin1Char('x'));
    return sides.size() == 2 ? QSize(sides[0].toInt(), sides[1].toInt()) : QSize();
}

// A genuine animation of `frames` frames of ffmpeg's moving test pattern, compressed at its size.
int benchRealGif(QSize size, int frames)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("real.gif"));
    const QString source = QStringLiteral("testsrc2=size=%1x%2:rate=25").arg(size.width()).arg(size.height());
    const QString command = QStringLiteral("ffmpeg -hide_banner -loglevel error -f lavfi -i %1 -frames:v %2 -loop 0 -y %3")
                                .arg(source)
                                .arg(frames)
                                .arg(path);
    if (std::system(qPrintable(command)) != 0) {
        std::fprintf(stderr, "ffmpeg is needed to make the animation\n");
        return 1;
    }
    return benchGifFile(dir, path, frames, ImageCompressionMaxDimension::original);
}

int benchProject()
{
    QImage scan(14000, 14000, QImage::Format_Mono);
    scan.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    scan.fill(0);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    scan.save(&buffer, "PNG");
    scan = QImage();
    MarkupProjectDocument document;
    document.version = 1;
    for (int i = 0; i < 8; ++i)
        document.images.push_back({ QUuid::createUuid(),
                                    QStringLiteral("scan%1.png").arg(i),
                                    std::nullopt,
                                    png,
                                    14000,
                                    14000,
                                    {},
                                    std::nullopt });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crafted.kivo"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(std::get<QByteArray>(document.encode()));
    file.close();
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    QElapsedTimer timer;
    timer.start();
    const bool opened = model.openProject(path);
    std::printf("project: %lld bytes, %s, %zu images, %lld ms, peak %lld MB\n",
                static_cast<long long>(QFileInfo(path).size()), opened ? "opened" : "not opened", model.items().size(),
                static_cast<long long>(timer.elapsed()), peakMegabytes());
    return opened ? 0 : 1;
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// 10,000 pairs whose sides are all the same 2000 × 2000 one-bit PNG: opened, then the cards of
// the first 20 pairs drawn as the sidebar draws them.
int benchPairs()
{
    QImage scan(2000, 2000, QImage::Format_Mono);
    scan.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    scan.fill(1);
    for (int x = 100; x < 1900; ++x) {
        scan.setPixel(x, 100, 0);
        scan.setPixel(x, 1900, 0);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    scan.save(&buffer, "PNG", 0); // the strongest compression
    MarkupProjectDocument document;
    document.version = 1;
    for (int i = 0; i < 10000; ++i)
        document.comparisonPairs.push_back({ QUuid::createUuid(),
                                             { QStringLiteral("%1_before.png").arg(i), png, 2000, 2000 },
                                             { QStringLiteral("%1_after.png").arg(i), png, 2000, 2000 } });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pairs.kivo"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(std::get<QByteArray>(document.encode()));
    file.close();
    document = MarkupProjectDocument();
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = processCpuSeconds();
    const bool opened = model.openProject(path);
    const qint64 openMs = timer.elapsed();
    const double openCpu = processCpuSeconds() - cpuStart;
    const long long openPeak = peakMegabytes();
    ComparisonPairListModel cards(model);
    int drawn = 0;
    for (int row = 0; row < std::min(20, cards.rowCount()); ++row) {
        const QModelIndex index = cards.index(row);
        drawn += !index.data(ComparisonPairListModel::BeforeThumbnailRole).value<QPixmap>().isNull();
        drawn += !index.data(ComparisonPairListModel::AfterThumbnailRole).value<QPixmap>().isNull();
    }
    std::printf("pairs: %lld bytes, %s, %zu pairs, open %lld ms (%.1f s CPU), peak %lld MB; %d card thumbnails "
                "then, %lld ms in all (%.1f s CPU), peak %lld MB (goal: peak <= 1700 MB, seconds)\n",
                static_cast<long long>(QFileInfo(path).size()), opened ? "opened" : "not opened",
                model.comparisonPairs().size(), static_cast<long long>(openMs), openCpu, openPeak, drawn,
                static_cast<long long>(timer.elapsed()), processCpuSeconds() - cpuStart, peakMegabytes());
    return opened ? 0 : 1;
}

// ---- Crafted documents -------------------------------------------------------------------------

// Starts the peak (VmHWM) afresh, so it measures what follows and not the crafting before.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// A project whose only content is `megabytes` MB of "[0]," under a key the program does not know.
int benchArrayProject(int megabytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("arrays.kivo"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("{\"version\":1,\"images\":[],\"extra\":[");
        QByteArray chunk;
        for (int i = 0; i < 1 << 18; ++i)
            chunk.append("[0],");
        for (qint64 written = 0; written < qint64(megabytes) << 20; written += chunk.size())
            file.write(chunk);
        file.write("[0]]}");
    }
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    const double cpu = processCpuSeconds();
    const bool opened = model.openProject(path);
    std::printf("project-arrays: %lld bytes, %s, %lld ms, %.2f s CPU, peak %lld MB (goal: refused, peak well "
                "below 1700 MB)\n",
                static_cast<long long>(QFileInfo(path).size()),
                opened ? "opened" : qPrintable(QStringLiteral("refused: ") + model.errorMessage().value_or(QString())),
                static_cast<long long>(timer.elapsed()), processCpuSeconds() - cpu, peakMegabytes());
    return 0;
}

// A DOCX of `parts` text parts (the document, headers, footers), each about 57 MB of XML nested
// 1.3 million elements deep (or `depth`) around one word (or, flat, the same elements one after another, each
// holding a word), deflated to a few hundred KB in all.
int benchDeepDocx(int parts, bool flat, int depth)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deep.docx"));
    {
        QByteArray xml("<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>");
        xml.reserve(qsizetype(depth) * 43 + 256);
        for (int i = 0; i < depth; ++i)
            xml.append(flat ? "<w:p><w:r><w:t>word</w:t></w:r></w:p><w:x/>" : "<w:smartTag w:element=\"abcd\">");
        xml.append("<w:p><w:r><w:t>deep</w:t></w:r></w:p>");
        for (int i = 0; i < depth && !flat; ++i)
            xml.append("</w:smartTag>");
        xml.append("</w:body></w:document>");
        int error = 0;
        zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (!archive)
            return 1;
        const char *names[] = {"word/document.xml", "word/header1.xml", "word/header2.xml", "word/footer1.xml",
                               "word/footer2.xml", "word/header3.xml"};
        for (int k = 0; k < std::min(parts, 6); ++k) {
            zip_source_t *source = zip_source_buffer(archive, xml.constData(), zip_uint64_t(xml.size()), 0);
            if (!source || zip_file_add(archive, names[k], source, ZIP_FL_OVERWRITE) < 0)
                return 1;
        }
        if (zip_close(archive) != 0)
            return 1;
    }
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    const double cpu = processCpuSeconds();
    const TextComparisonImport::ImportResult result = TextComparisonImport::importFile(path);
    std::printf("docx-%s: %d parts, %lld bytes, %s, %lld ms, %.2f s CPU, peak %lld MB (goal: within 3 s or "
                "refused)\n",
                flat ? "flat" : "deep", std::min(parts, 6), static_cast<long long>(QFileInfo(path).size()),
                result.text ? qPrintable(QStringLiteral("imported, %1 characters").arg(result.text->size()))
                            : qPrintable(QStringLiteral("refused: ") + result.errorMessage),
                static_cast<long long>(timer.elapsed()), processCpuSeconds() - cpu, peakMegabytes());
    return 0;
}

// ---- Crafted JPEGs ----------------------------------------------------------------------------

double cpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// A flat grey side × side picture, encoded by the JPEG library (progressive when asked, 4:4:4 or
// the defaults' 4:2:0, arithmetic-coded or CMYK when asked), rows streamed so the crafting holds
// no picture.
QByteArray flatJpeg(int side, bool progressive, bool fullChroma, bool arithmetic = false, bool cmyk = false)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(side);
    info.image_height = JDIMENSION(side);
    info.input_components = cmyk ? 4 : 3;
    info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (fullChroma)
        info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    if (progressive)
        jpeg_simple_progression(&info);
    info.arith_code = arithmetic;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(side) * size_t(info.input_components), 128);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

int be16(const QByteArray &bytes, qsizetype at) { return (quint8(bytes[at]) << 8) | quint8(bytes[at + 1]); }

// Where each scan's entropy-coded data ends, walking the segments of a file the library wrote.
std::vector<qsizetype> scanDataEnds(const QByteArray &bytes)
{
    std::vector<qsizetype> ends;
    qsizetype at = 2;
    while (at + 4 <= bytes.size() && quint8(bytes[at]) == 0xFF && quint8(bytes[at + 1]) != 0xD9) {
        const int marker = quint8(bytes[at + 1]);
        at += 2 + be16(bytes, at + 2);
        if (marker != 0xDA)
            continue;
        while (at + 1 < bytes.size()
               && !(quint8(bytes[at]) == 0xFF && quint8(bytes[at + 1]) != 0
                    && (quint8(bytes[at + 1]) < 0xD0 || quint8(bytes[at + 1]) > 0xD7)))
            ++at;
        ends.push_back(at);
    }
    return ends;
}

// The file with its last scan (and the tables written for it) repeated until it has `scans`.
QByteArray withScans(const QByteArray &bytes, int scans)
{
    const std::vector<qsizetype> ends = scanDataEnds(bytes);
    if (ends.size() < 2)
        return bytes;
    const QByteArray last = bytes.mid(ends[ends.size() - 2], ends.back() - ends[ends.size() - 2]);
    QByteArray crafted = bytes.left(ends.back());
    for (int i = int(ends.size()); i < scans; ++i)
        crafted += last;
    return crafted + bytes.mid(ends.back());
}

// The file's frame header made to declare side × side.
QByteArray declaring(QByteArray bytes, int side)
{
    for (qsizetype at = 2; at + 9 < bytes.size(); ++at) {
        const int marker = quint8(bytes[at + 1]);
        if (quint8(bytes[at]) == 0xFF && (marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA)) {
            bytes[at + 5] = char(side >> 8);
            bytes[at + 6] = char(side & 0xFF);
            bytes[at + 7] = char(side >> 8);
            bytes[at + 8] = char(side & 0xFF);
            break;
        }
    }
    return bytes;
}

// The file without its scan data: the first scan's header, then the end marker.
QByteArray withoutScanData(const QByteArray &bytes)
{
    const std::vector<qsizetype> ends = scanDataEnds(bytes);
    const qsizetype sos = bytes.indexOf(QByteArray("\xFF\xDA", 2));
    if (ends.empty() || sos < 0)
        return bytes;
    return bytes.left(sos + 2 + be16(bytes, sos + 2)) + QByteArray("\xFF\xD9", 2);
}

QString writeCrafted(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

ImageCompressionSource unprobedSource(const QString &path, int side)
{
    ImageCompressionSource source;
    source.id = QUuid::createUuid();
    source.url = path;
    source.fileName = QFileInfo(path).fileName();
    source.pixelSize = QSizeF(side, side);
    source.originalBytes = QFileInfo(path).size();
    return source;
}

QString compressOutcome(const ImageCompressionSource &source, const QString &folder)
{
    try {
        const auto result = ImageCompressionService::compress(source, ImageCompressionSettings(), folder);
        return QStringLiteral("compressed, %1 × %2").arg(result.outputPixelSize.width()).arg(result.outputPixelSize.height());
    } catch (const ImageCompressionServiceError &error) {
        return error.description();
    }
}

QString probeOutcome(const QStringList &paths)
{
    const std::vector<ImageCompressionSource> found = ImageCompressionService::sources(paths);
    return QStringLiteral("probe kept %1 of %2").arg(found.size()).arg(paths.size());
}

QString importOutcome(const QStringList &paths, const QTemporaryDir &dir)
{
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    MarkupViewModel model(settings);
    model.importImages(paths, true);
    return QStringLiteral("import kept %1 of %2").arg(model.items().size()).arg(paths.size());
}

void reportJpeg(const char *name, qint64 bytes, const QString &what, const QString &outcome, qint64 ms, double cpu)
{
    std::printf("%s %s: %lld bytes: %s, %lld ms, %.2f s CPU, peak %lld MB\n", name, qPrintable(what),
                static_cast<long long>(bytes), qPrintable(outcome), static_cast<long long>(ms), cpu, peakMegabytes());
}

// A 1 KB progressive 4:4:4 file declaring 14000 × 14000: the decoder keeps every coefficient of the
// declared picture (2 bytes × 3 components a pixel), even at 1/8 scale. Eight copies for the batches.
int benchProgressiveJpeg(const QString &what)
{
    QTemporaryDir dir;
    const QByteArray bytes = declaring(flatJpeg(16, true, true), 14000);
    QStringList paths;
    for (int i = 0; i < 8; ++i)
        paths << writeCrafted(dir, QStringLiteral("progressive%1.jpg").arg(i), bytes);
    QTemporaryDir out;
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds();
    QString outcome;
    if (what == QLatin1String("import")) {
        outcome = importOutcome(paths, dir);
    } else if (what == QLatin1String("load")) {
        const std::optional<QImage> image = ImageDecoding::loadOrientedImage(paths.front());
        outcome = image ? QStringLiteral("loaded, %1 × %2").arg(image->width()).arg(image->height())
                        : QStringLiteral("refused");
    } else if (what == QLatin1String("probe")) {
        outcome = probeOutcome(paths);
    } else if (what == QLatin1String("recode")) {
        const auto size = CompressionImageIO::recodeJpeg(paths.front(), 0, out.filePath(QStringLiteral("r.jpg")), 0.75);
        outcome = size ? QStringLiteral("recoded") : QStringLiteral("left to the general path");
    } else {
        const auto thumbnail = ImageDecoding::makeThumbnail(paths.front(), 320);
        outcome = thumbnail ? QStringLiteral("thumbnail made") : QStringLiteral("refused");
    }
    reportJpeg("jpeg-progressive", bytes.size(), what, outcome, timer.elapsed(), cpuSeconds() - cpu);
    return 0;
}

// The same declared size with all of its scan data (a flat picture, about 2 MB): nothing refuses
// it, so the decode budget alone keeps `copies` of them from being decoded all at once.
int benchWholeProgressiveJpeg(const QString &what, int copies)
{
    QTemporaryDir dir;
    const QByteArray bytes = flatJpeg(14000, true, true);
    QStringList paths;
    for (int i = 0; i < copies; ++i)
        paths << writeCrafted(dir, QStringLiteral("whole%1.jpg").arg(i), bytes);
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds();
    QString outcome;
    if (what == QLatin1String("recode")) {
        QTemporaryDir out;
        const auto size = CompressionImageIO::recodeJpeg(paths.front(), 0, out.filePath(QStringLiteral("r.jpg")), 0.75);
        outcome = size ? QStringLiteral("recoded") : QStringLiteral("left to the general path");
    } else {
        outcome = what == QLatin1String("probe") ? probeOutcome(paths) : importOutcome(paths, dir);
    }
    reportJpeg("jpeg-progressive-whole", bytes.size(), what, outcome, timer.elapsed(), cpuSeconds() - cpu);
    return 0;
}

// An 8000 × 8000 progressive file whose last scan is repeated to 3000 scans: each one a pass over
// the whole picture.
int benchScansJpeg(const QString &what, int scans)
{
    QTemporaryDir dir;
    const QByteArray bytes = withScans(flatJpeg(8000, true, false), scans);
    const QString path = writeCrafted(dir, QStringLiteral("scans.jpg"), bytes);
    QTemporaryDir out;
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds();
    QString outcome;
    if (what == QLatin1String("import"))
        outcome = importOutcome({ path }, dir);
    else if (what == QLatin1String("compress"))
        outcome = compressOutcome(unprobedSource(path, 8000), out.path());
    else
        outcome = probeOutcome({ path });
    reportJpeg("jpeg-scans", bytes.size(), what, outcome, timer.elapsed(), cpuSeconds() - cpu);
    return 0;
}

// A 14000 × 14000 file with no scan data at all but an end marker: the decoder fills the whole
// picture with grey and only warns.
int benchNoDataJpeg(const QString &what)
{
    QTemporaryDir dir;
    const QByteArray bytes = withoutScanData(declaring(flatJpeg(16, false, false), 14000));
    const QString path = writeCrafted(dir, QStringLiteral("nodata.jpg"), bytes);
    QTemporaryDir out;
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds();
    const QString outcome = what == QLatin1String("compress") ? compressOutcome(unprobedSource(path, 14000), out.path())
                                                              : probeOutcome({ path });
    reportJpeg("jpeg-nodata", bytes.size(), what, outcome, timer.elapsed(), cpuSeconds() - cpu);
    return 0;
}

// The file with the first scan's data cut to `kept` of it, then the end marker: it looks whole.
QByteArray withScanDataKept(const QByteArray &bytes, double kept)
{
    const std::vector<qsizetype> ends = scanDataEnds(bytes);
    const qsizetype sos = bytes.indexOf(QByteArray("\xFF\xDA", 2));
    if (ends.empty() || sos < 0)
        return bytes;
    const qsizetype start = sos + 2 + be16(bytes, sos + 2);
    return bytes.left(start + qsizetype(double(ends.front() - start) * kept)) + QByteArray("\xFF\xD9", 2);
}

// A version 2 CMYK profile whose AToB0 grid (a 16-bit lut) declares 75 points on each side but
// holds the data of 5: read as declared, the grid takes 75⁴ × 3 × 2 bytes, about 190 MB.
QByteArray bogusCmykProfile()
{
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline *lut = cmsPipelineAlloc(nullptr, 4, 3);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocCLut16bit(nullptr, 5, 4, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsPipelineFree(lut);
    cmsCloseProfile(profile);
    const qsizetype table = bytes.indexOf("mft2");
    if (table >= 0)
        bytes[table + 10] = char(75);
    return bytes;
}

// CMYK ink to Lab for the grids below.
cmsInt32Number benchInks(const cmsUInt16Number in[], cmsUInt16Number out[], void *)
{
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    cmsCIELab lab { 100 * (1 - k) * (1 - 0.3 * c), 60 * (m - c), 60 * (y - 0.5 * m) };
    cmsFloat2LabEncoded(out, &lab);
    return 1;
}

cmsInt32Number benchFloatInks(const cmsFloat32Number in[], cmsFloat32Number out[], void *)
{
    out[0] = (1 - in[3]) * (1 - 0.3f * in[0]);
    out[1] = (60 * (in[1] - in[0]) + 128) / 255;
    out[2] = (60 * (in[2] - 0.5f * in[1]) + 128) / 255;
    return 1;
}

// A CMYK profile written by the colour library whose grid has `points` on each side: a version 2
// 8-bit lut, or (with `floats`) version 4 float elements with segmented curves.
QByteArray gridCmykProfile(int points, bool floats)
{
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, floats ? 4.3 : 2.1);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline *lut = cmsPipelineAlloc(nullptr, 4, 3);
    if (floats) {
        static const cmsFloat32Number samples[] = { 0, 0.5f, 1 };
        cmsCurveSegment segments[3] {};
        segments[0] = { -1e22f, 0, 6, { 1, 1, 0, 0 }, 0, nullptr };
        segments[1] = { 0, 1, 0, {}, 3, const_cast<cmsFloat32Number *>(samples) };
        segments[2] = { 1, 1e22f, 6, { 1, 1, 0, 0 }, 0, nullptr };
        cmsToneCurve *curve = cmsBuildSegmentedToneCurve(nullptr, 3, segments);
        cmsToneCurve *curves[4] = { curve, curve, curve, curve };
        cmsStage *grid = cmsStageAllocCLutFloat(nullptr, cmsUInt32Number(points), 4, 3, nullptr);
        cmsStageSampleCLutFloat(grid, benchFloatInks, nullptr, 0);
        cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, curves));
        cmsPipelineInsertStage(lut, cmsAT_END, grid);
        cmsWriteTag(profile, cmsSigDToB0Tag, lut);
        cmsFreeToneCurve(curve);
    } else {
        cmsStage *grid = cmsStageAllocCLut16bit(nullptr, cmsUInt32Number(points), 4, 3, nullptr);
        cmsStageSampleCLut16bit(grid, benchInks, nullptr, 0);
        cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
        cmsPipelineInsertStage(lut, cmsAT_END, grid);
        cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
        cmsPipelineSetSaveAs8bitsFlag(lut, TRUE);
        cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    }
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray bytes(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsPipelineFree(lut);
    cmsCloseProfile(profile);
    return bytes;
}

// A flat CMYK side × side picture with `profile` embedded.
QByteArray cmykJpegWithProfile(int side, const QByteArray &profile)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = info.image_height = JDIMENSION(side);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(profile.constData()), unsigned(profile.size()));
    std::vector<JSAMPLE> row(size_t(side) * 4, 64);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

// A project holding the JPEG `copies` times.
QString projectHolding(const QTemporaryDir &dir, const QByteArray &jpeg, int side, int copies)
{
    MarkupProjectDocument document;
    document.version = 1;
    for (int i = 0; i < copies; ++i)
        document.images.push_back({ QUuid::createUuid(), QStringLiteral("crafted%1.jpg").arg(i), std::nullopt, jpeg,
                                    double(side), double(side), {}, std::nullopt });
    return writeCrafted(dir, QStringLiteral("crafted.kivo"), std::get<QByteArray>(document.encode()));
}

// ---- JPEGs judged by what their decoder reads ----

// Encoder settings for the pictures below (the library's defaults otherwise: quality 75, 4:2:0).
struct StreamedJpegSettings {
    bool progressive = false;
    bool fullChroma = false;
    bool arithmetic = false;
    bool cmyk = false;
    int restartInterval = 0; // MCUs
    std::vector<jpeg_scan_info> script;
};

// A width × height picture whose rows (RGB, or CMYK) `fill` writes, rows streamed so the crafting
// holds no picture.
QByteArray streamedJpeg(int width, int height, const StreamedJpegSettings &settings,
                        const std::function<void(int y, JSAMPLE *row)> &fill)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = settings.cmyk ? 4 : 3;
    info.in_color_space = settings.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (settings.fullChroma)
        info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    if (settings.progressive)
        jpeg_simple_progression(&info);
    if (!settings.script.empty()) {
        info.scan_info = settings.script.data();
        info.num_scans = int(settings.script.size());
    }
    info.arith_code = settings.arithmetic;
    info.restart_interval = unsigned(settings.restartInterval);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * size_t(info.input_components));
    while (info.next_scanline < info.image_height) {
        fill(int(info.next_scanline), row.data());
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

// A white page with dark bars where the letters of `lines` (top, height, left, right) would be.
std::function<void(int, JSAMPLE *)> page(int width, std::vector<std::array<int, 4>> lines)
{
    return [width, lines](int y, JSAMPLE *row) {
        std::fill(row, row + size_t(width) * 3, JSAMPLE(255));
        for (const auto &[top, height, left, right] : lines) {
            if (y < top || y >= top + height)
                continue;
            for (int x = left; x < right; ++x)
                if ((x / 24) % 2 == 0)
                    std::fill(row + size_t(x) * 3, row + size_t(x) * 3 + 3, JSAMPLE(20));
        }
    };
}

// A photograph's worth of detail: gradients under a little deterministic noise.
std::function<void(int, JSAMPLE *)> photo(int width)
{
    return [width](int y, JSAMPLE *row) {
        quint32 seed = quint32(y) * 2654435761u;
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            row[size_t(x) * 3] = JSAMPLE(std::clamp((x * 255) / width + noise, 0, 255));
            row[size_t(x) * 3 + 1] = JSAMPLE(std::clamp(128 + int(60 * std::sin(x / 37.0 + y / 53.0)) + noise, 0, 255));
            row[size_t(x) * 3 + 2] = JSAMPLE(std::clamp((y * 7) % 256 / 2 + 60 + noise, 0, 255));
        }
    };
}

// Where each scan's entropy-coded data starts and ends.
std::vector<std::pair<qsizetype, qsizetype>> scanDataRanges(const QByteArray &bytes)
{
    std::vector<std::pair<qsizetype, qsizetype>> ranges;
    const std::vector<qsizetype> ends = scanDataEnds(bytes);
    for (const qsizetype end : ends) {
        const qsizetype sos = bytes.lastIndexOf(QByteArray("\xFF\xDA", 2), end - 1);
        ranges.emplace_back(sos + 2 + be16(bytes, sos + 2), end);
    }
    return ranges;
}

// The file with each scan's data replaced by what `data(index)` gives.
QByteArray withScanData(const QByteArray &bytes, const std::function<QByteArray(int scan)> &data)
{
    const auto ranges = scanDataRanges(bytes);
    QByteArray crafted;
    qsizetype at = 0;
    for (int i = 0; i < int(ranges.size()); ++i) {
        crafted += bytes.mid(at, ranges[size_t(i)].first - at);
        crafted += data(i);
        at = ranges[size_t(i)].second;
    }
    return crafted + bytes.mid(at);
}

// One kind of the jpeg-crafted bench: the file and the side used for its list entry.
struct CraftedJpeg {
    QByteArray bytes;
    int side = 0;
};

// Genuine arithmetic-coded flat pictures (arith-a4: an A4 page at 300 dpi with a title,
// arith-line: 1600 × 1200 white with one line, arith-white: white 8000², arith-slide: a flat
// 1920 × 1080 slide) and damaged ones (arith-restarts: 14000² 4:4:4 whose one scan is nothing but
// restart markers, arith-emptied: a progressive photo with 9 of its 10 scans emptied,
// arith-random: 14000² of random bytes, one bit a block), genuine ones of the largest pictures
// (arith-flat: white 14000² in a few hundred bytes, arith-flat-420 and arith-flat-444: the same
// in the library's progressive scans, arith-sparse-444: in four scans without DC refinement, a
// few hundred bytes again); a progressive 14000² 4:4:4 file with only its first scan
// (progressive-first; progressive-first-byte: one byte left in each later scan); arithmetic-coded
// progressive 4000 × 3000 photos with a restart every 1, 3 or 10 MCUs, some intervals without
// bytes (arith-photo-r1, -r3, -r10); genuine files with a harmless fault (cmyk-padded: 4 bytes before a table,
// no-eoi: no end marker) and an 8000² photo in 64 scans (scans64).
std::optional<CraftedJpeg> decoderJudgedJpeg(const QString &kind)
{
    StreamedJpegSettings arithmetic;
    arithmetic.arithmetic = true;
    if (kind == QLatin1String("arith-a4"))
        return CraftedJpeg { streamedJpeg(2480, 3508, arithmetic, page(2480, { { 304, 64, 640, 1840 } })), 3508 };
    if (kind == QLatin1String("arith-line"))
        return CraftedJpeg { streamedJpeg(1600, 1200, arithmetic, page(1600, { { 200, 16, 120, 1480 } })), 1600 };
    if (kind == QLatin1String("arith-white"))
        return CraftedJpeg { streamedJpeg(8000, 8000, arithmetic, page(8000, {})), 8000 };
    if (kind == QLatin1String("arith-slide")) {
        const auto slide = [](int y, JSAMPLE *row) {
            for (int x = 0; x < 1920; ++x) {
                const bool band = y >= 80 && y < 200;
                row[x * 3] = band ? 240 : 30;
                row[x * 3 + 1] = band ? 240 : 60;
                row[x * 3 + 2] = band ? 240 : 120;
            }
        };
        return CraftedJpeg { streamedJpeg(1920, 1080, arithmetic, slide), 1920 };
    }
    if (kind == QLatin1String("arith-flat") || kind == QLatin1String("arith-flat-420")
        || kind == QLatin1String("arith-flat-444")) {
        StreamedJpegSettings flat = arithmetic;
        flat.progressive = kind != QLatin1String("arith-flat");
        flat.fullChroma = kind == QLatin1String("arith-flat-444");
        return CraftedJpeg { streamedJpeg(14000, 14000, flat, page(14000, {})), 14000 };
    }
    if (kind == QLatin1String("arith-sparse-444")) {
        // In scans, without the refinement of the DC that the library's own progression codes.
        StreamedJpegSettings sparse = arithmetic;
        sparse.fullChroma = true;
        jpeg_scan_info dc {};
        dc.comps_in_scan = 3;
        dc.component_index[1] = 1;
        dc.component_index[2] = 2;
        sparse.script.push_back(dc);
        for (int c = 0; c < 3; ++c) {
            jpeg_scan_info ac {};
            ac.comps_in_scan = 1;
            ac.component_index[0] = c;
            ac.Ss = 1;
            ac.Se = 63;
            sparse.script.push_back(ac);
        }
        return CraftedJpeg { streamedJpeg(14000, 14000, sparse, page(14000, {})), 14000 };
    }
    if (kind == QLatin1String("arith-restarts")) {
        StreamedJpegSettings restarts = arithmetic;
        restarts.fullChroma = true;
        restarts.restartInterval = 15;
        const QByteArray small = declaring(streamedJpeg(16, 16, restarts, page(16, {})), 14000);
        const int intervals = int((qint64(1750) * 1750 + 14) / 15);
        return CraftedJpeg { withScanData(small, [&](int) {
                                 QByteArray markers;
                                 for (int i = 0; i + 1 < intervals; ++i)
                                     markers += QByteArray("\xFF", 1) + char(0xD0 + i % 8);
                                 return markers;
                             }),
                             14000 };
    }
    if (kind.startsWith(QLatin1String("arith-photo-r"))) {
        // Restart intervals short enough that the coder leaves some of them without bytes.
        StreamedJpegSettings restarts = arithmetic;
        restarts.progressive = true;
        restarts.restartInterval = kind.mid(13).toInt();
        return CraftedJpeg { streamedJpeg(4000, 3000, restarts, photo(4000)), 4000 };
    }
    if (kind == QLatin1String("arith-emptied")) {
        StreamedJpegSettings progressive = arithmetic;
        progressive.progressive = true;
        const QByteArray whole = streamedJpeg(1600, 1200, progressive, photo(1600));
        return CraftedJpeg { withScanData(whole, [&](int scan) {
                                 const auto range = scanDataRanges(whole)[size_t(scan)];
                                 return scan == 0 ? whole.mid(range.first, range.second - range.first) : QByteArray();
                             }),
                             1600 };
    }
    if (kind == QLatin1String("arith-random")) {
        const QByteArray small = declaring(streamedJpeg(16, 16, arithmetic, page(16, {})), 14000);
        quint32 seed = 12345;
        QByteArray random(qsizetype((qint64(1750) * 1750 + 7) / 8), '\0');
        for (char &byte : random) {
            seed = seed * 1664525u + 1013904223u;
            byte = char(std::min<quint32>(seed >> 24, 0xFE)); // no marker among them
        }
        return CraftedJpeg { withScanData(small, [&](int) { return random; }), 14000 };
    }
    if (kind == QLatin1String("progressive-first") || kind == QLatin1String("progressive-first-byte")) {
        // A flat grey picture's first scan codes every block's DC difference, zero, in one bit.
        const QByteArray small = declaring(flatJpeg(16, true, true), 14000);
        QByteArray first(qsizetype((qint64(1750) * 1750 * 3 + 7) / 8), '\0');
        first.back() = char(0x0F); // the last four bits pad
        const QByteArray later = kind == QLatin1String("progressive-first") ? QByteArray() : QByteArray(1, '\0');
        return CraftedJpeg { withScanData(small, [&](int scan) { return scan == 0 ? first : later; }), 14000 };
    }
    if (kind == QLatin1String("cmyk-padded")) {
        StreamedJpegSettings cmyk;
        cmyk.cmyk = true;
        const auto inks = [](int y, JSAMPLE *row) {
            for (int x = 0; x < 1200; ++x) {
                row[x * 4] = JSAMPLE(x % 256);
                row[x * 4 + 1] = JSAMPLE(y % 256);
                row[x * 4 + 2] = JSAMPLE((x + y) % 256);
                row[x * 4 + 3] = 30;
            }
        };
        QByteArray bytes = streamedJpeg(1200, 900, cmyk, inks);
        bytes.insert(bytes.indexOf(QByteArray("\xFF\xDB", 2)), QByteArray(4, '\0'));
        return CraftedJpeg { bytes, 1200 };
    }
    if (kind == QLatin1String("no-eoi"))
        return CraftedJpeg { streamedJpeg(1600, 1200, {}, photo(1600)).chopped(2), 1600 };
    if (kind == QLatin1String("scans64")) {
        // The colours' DC in one scan, each chroma component's AC in one, and the luma's AC in 61.
        StreamedJpegSettings spectral;
        jpeg_scan_info dc {};
        dc.comps_in_scan = 3;
        dc.component_index[1] = 1;
        dc.component_index[2] = 2;
        spectral.script.push_back(dc);
        for (int c = 1; c <= 2; ++c) {
            jpeg_scan_info ac {};
            ac.comps_in_scan = 1;
            ac.component_index[0] = c;
            ac.Ss = 1;
            ac.Se = 63;
            spectral.script.push_back(ac);
        }
        for (int k = 1; k <= 61; ++k) {
            jpeg_scan_info ac {};
            ac.comps_in_scan = 1;
            ac.Ss = k;
            ac.Se = k == 61 ? 63 : k;
            spectral.script.push_back(ac);
        }
        return CraftedJpeg { streamedJpeg(8000, 8000, spectral, photo(8000)), 8000 };
    }
    return std::nullopt;
}

// JPEGs that passed the checks before the decoders: a stuffed zero or a zero-length application
// segment after the start marker (ff00, e9; with 400 more scans: ff00-scans, e9-scans), six 64 KB
// comments in place of scan data (comments, 8 copies), arithmetic coding without data (arith,
// arith-baseline), a sixth of the data (sixth: 14000², cmyk-sixth: CMYK 4000² without a profile)
// and a CMYK file whose profile declares a 75-point grid (icc); sound profiles the colour library
// writes: 8-bit luts of 40 and 48 points (icc40, icc48), float elements of 25 points (icc-float).
int benchCraftedJpeg(const QString &kind, const QString &what)
{
    QByteArray bytes;
    int side = 14000;
    int copies = 1;
    if (const std::optional<CraftedJpeg> crafted = decoderJudgedJpeg(kind)) {
        bytes = crafted->bytes;
        side = crafted->side;
    } else if (kind.startsWith(QLatin1String("ff00")) || kind.startsWith(QLatin1String("e9"))) {
        bytes = declaring(flatJpeg(16, true, false), 14000);
        if (kind.endsWith(QLatin1String("-scans")))
            bytes = withScans(bytes, 400 + 10);
        const QByteArray inserted = kind.startsWith(QLatin1String("ff00")) ? QByteArray("\xFF\x00", 2)
                                                                            : QByteArray("\xFF\xE9\x00\x00", 4);
        bytes = bytes.left(2) + inserted + bytes.mid(2);
    } else if (kind == QLatin1String("comments")) {
        const QByteArray empty = withoutScanData(declaring(flatJpeg(16, true, false), 14000));
        QByteArray comment("\xFF\xFE\xFF\xFF", 4);
        comment += QByteArray(0xFFFF - 2, 'c');
        bytes = empty.chopped(2) + comment.repeated(6) + QByteArray("\xFF\xD9", 2);
        copies = 8;
    } else if (kind == QLatin1String("arith") || kind == QLatin1String("arith-baseline")) {
        bytes = withoutScanData(declaring(flatJpeg(16, kind == QLatin1String("arith"), false, true), 14000));
    } else if (kind == QLatin1String("sixth")) {
        bytes = withScanDataKept(flatJpeg(14000, false, false), 1.0 / 6);
    } else if (kind == QLatin1String("cmyk-sixth")) {
        side = 4000;
        bytes = withScanDataKept(flatJpeg(side, false, false, false, true), 1.0 / 6);
    } else if (kind == QLatin1String("icc")) {
        side = 160;
        bytes = cmykJpegWithProfile(side, bogusCmykProfile());
    } else if (kind == QLatin1String("icc40") || kind == QLatin1String("icc48") || kind == QLatin1String("icc-float")) {
        side = 40;
        bytes = cmykJpegWithProfile(side, kind == QLatin1String("icc-float") ? gridCmykProfile(25, true)
                                                                             : gridCmykProfile(kind.mid(3).toInt(), false));
        const auto layout = JpegFile::layout(bytes);
        std::printf("%s: profile of %lld bytes, %lld MB reserved for the decoder\n", qPrintable(kind),
                    static_cast<long long>(layout ? layout->iccProfile.size() : 0),
                    static_cast<long long>(layout ? JpegFile::decoderHeldBytes(*layout) >> 20 : 0));
        if (kind == QLatin1String("icc-float") && layout)
            std::printf("icc-float: %s\n", JpegFile::decodeCmykWithProfile(bytes, *layout).image ? "converted through its profile"
                                                                                                : "read without its profile");
    } else {
        std::fprintf(stderr, "unknown crafted JPEG: %s\n", qPrintable(kind));
        return 1;
    }
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < copies; ++i)
        paths << writeCrafted(dir, QStringLiteral("crafted%1.jpg").arg(i), bytes);
    const QString project = what == QLatin1String("open") ? projectHolding(dir, bytes, side, copies) : QString();
    QTemporaryDir out;
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds();
    QString outcome;
    if (what == QLatin1String("import")) {
        outcome = importOutcome(paths, dir);
    } else if (what == QLatin1String("load")) {
        const std::optional<QImage> image = ImageDecoding::loadOrientedImage(paths.front());
        outcome = image ? QStringLiteral("loaded, %1 × %2").arg(image->width()).arg(image->height())
                        : QStringLiteral("refused");
    } else if (what == QLatin1String("probe")) {
        outcome = probeOutcome(paths);
    } else if (what == QLatin1String("recode")) {
        const auto size = CompressionImageIO::recodeJpeg(paths.front(), 0, out.filePath(QStringLiteral("r.jpg")), 0.75);
        outcome = size ? QStringLiteral("recoded") : QStringLiteral("left to the general path");
    } else if (what == QLatin1String("open")) {
        QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
        MarkupViewModel model(settings);
        outcome = model.openProject(project) ? QStringLiteral("opened, %1 images").arg(model.items().size())
                                             : QStringLiteral("not opened");
    } else {
        outcome = compressOutcome(unprobedSource(paths.front(), side), out.path());
    }
    reportJpeg(qPrintable(QStringLiteral("jpeg-crafted %1").arg(kind)), bytes.size(), what, outcome, timer.elapsed(),
               cpuSeconds() - cpu);
    return 0;
}

// ---- Crafted TIFFs, a GIF name on other bytes, a video asking for gigabytes ----------------------

// One strip (or tile) of `width` × `rows` samples compressed by libtiff as `compression` does it:
// CMYK ink of two alternating mixes (or one flat mix), `samples` a pixel (1 for a plane of ink).
QByteArray benchTiffPiece(int width, int rows, int samples, uint16_t compression, bool alternating)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("piece.tif")));
    TIFF *tiff = TIFFOpen(path.constData(), "w");
    if (!tiff)
        return {};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(rows));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(samples == 4 ? PHOTOMETRIC_SEPARATED : PHOTOMETRIC_MINISBLACK));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(rows));
    std::vector<uchar> row(size_t(width) * size_t(samples));
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = uchar(alternating && (i / size_t(samples)) % 2 ? 0xC0 : 0x30);
    for (int y = 0; y < rows; ++y)
        TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0);
    TIFFClose(tiff);
    tiff = TIFFOpen(path.constData(), "r");
    if (!tiff)
        return {};
    QByteArray raw(qsizetype(TIFFRawStripSize(tiff, 0)), '\0');
    const tmsize_t read = TIFFReadRawStrip(tiff, 0, raw.data(), tmsize_t(raw.size()));
    TIFFClose(tiff);
    return read > 0 ? raw.left(qsizetype(read)) : QByteArray();
}

// How a crafted CMYK TIFF is laid out: strips of `rows` rows or tiles of `tile` × `tile`, inks
// interleaved or in planes, its pieces sharing one copy of the data or each holding its own.
struct BenchTiffLayout {
    QSize size;
    uint16_t compression = COMPRESSION_LZW;
    int rows = 1;
    int tile = 0;
    bool planar = false;
    bool shared = true;
    bool alternating = true;
};

// A little-endian CMYK TIFF of that layout, every piece the same compressed data, with `profile`.
QByteArray benchTiff(const BenchTiffLayout &layout, const QByteArray &profile)
{
    const int width = layout.size.width();
    const int height = layout.size.height();
    const int pieceWidth = layout.tile ? layout.tile : width;
    const int pieceRows = layout.tile ? layout.tile : layout.rows;
    const int planes = layout.planar ? 4 : 1;
    const QByteArray piece = benchTiffPiece(pieceWidth, pieceRows, layout.planar ? 1 : 4, layout.compression, layout.alternating);
    const quint32 across = layout.tile ? quint32((width + layout.tile - 1) / layout.tile) : 1;
    const quint32 down = quint32((height + pieceRows - 1) / pieceRows);
    const quint32 pieces = across * down * quint32(planes);
    const auto u16 = [](QByteArray &out, quint16 v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    const auto u32 = [](QByteArray &out, quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xFF));
    };
    const int entries = 10 + (layout.tile ? 1 : 0) + (profile.isEmpty() ? 0 : 1);
    const quint32 bitsAt = 8 + 2 + quint32(entries) * 12 + 4;
    const quint32 offsetsAt = bitsAt + 8;
    const quint32 countsAt = offsetsAt + 4 * pieces;
    const quint32 profileAt = countsAt + 4 * pieces;
    const quint32 dataAt = profileAt + quint32(profile.size());
    QByteArray tiff("II*\0", 4);
    u32(tiff, 8);
    u16(tiff, quint16(entries));
    const auto entry = [&](quint16 tag, quint16 type, quint32 count, quint32 value) {
        u16(tiff, tag);
        u16(tiff, type);
        u32(tiff, count);
        if (type == 3 && count == 1) {
            u16(tiff, quint16(value));
            u16(tiff, 0);
        } else {
            u32(tiff, value);
        }
    };
    // One piece's offset and byte count are held in the entries themselves, not pointed at.
    const quint32 offsets = pieces == 1 ? dataAt : offsetsAt;
    const quint32 counts = pieces == 1 ? quint32(piece.size()) : countsAt;
    entry(256, 4, 1, quint32(width));
    entry(257, 4, 1, quint32(height));
    entry(258, 3, 4, bitsAt);
    entry(259, 3, 1, layout.compression);
    entry(262, 3, 1, 5); // ink
    if (!layout.tile)
        entry(273, 4, pieces, offsets);
    entry(277, 3, 1, 4);
    if (!layout.tile) {
        entry(278, 4, 1, quint32(layout.rows));
        entry(279, 4, pieces, counts);
    }
    entry(284, 3, 1, layout.planar ? 2 : 1);
    if (layout.tile) {
        entry(322, 4, 1, quint32(layout.tile));
        entry(323, 4, 1, quint32(layout.tile));
        entry(324, 4, pieces, offsets);
        entry(325, 4, pieces, counts);
    }
    if (!profile.isEmpty())
        entry(34675, 7, quint32(profile.size()), profileAt);
    u32(tiff, 0);
    for (int i = 0; i < 4; ++i)
        u16(tiff, 8);
    for (quint32 i = 0; i < pieces; ++i)
        u32(tiff, dataAt + (layout.shared ? 0 : i * quint32(piece.size())));
    for (quint32 i = 0; i < pieces; ++i)
        u32(tiff, quint32(piece.size()));
    tiff.append(profile);
    tiff.append(layout.shared ? piece : piece.repeated(qsizetype(pieces)));
    return tiff;
}

// A track and a compact sample-size table of four-bit entries declaring half a billion samples:
// the demuxer asks for about 2 GB before reading any of them.
QByteArray benchSampleTableVideo()
{
    const auto atom = [](const char *type, const QByteArray &body) {
        QByteArray out;
        const quint32 size = quint32(8 + body.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char((size >> shift) & 0xFF));
        return out.append(type, 4).append(body);
    };
    return atom("trak", {}) + atom("stz2", QByteArray("\0\0\0\0\0\0\0\x04\x1F\xFF\xFF\x00", 12));
}

// TIFFs under 1 MB declaring pictures their data cannot fill, every layout (CMYK, LZW unless
// named): shared-rows (14000², a strip a row, all one row of two alternating inks, with a
// profile), tall-strips (3000 × 60000, the same), lzw-bomb (14000², one strip of flat ink, with a
// profile), deflate-bomb (the same deflated), deflate-bomb-plain
// (without a profile), tiled-shared and planar-shared (14000², tiles of 256² or planes of rows
// sharing their data, without a profile); genuine-tiled and genuine-planar (6000 × 4000, tiles of
// 256² or planes of 64-row strips, each piece its own data, with a profile: read through it); gif-named (29 bytes named .gif with no GIF signature,
// declaring 10000²); and mp4-table (a 28-byte video whose sample table asks for 2 GB, opened).
// Operations: load, import, compress (at original size), compress1920, open (a project holding it).
int benchCraftedTiff(const QString &kind, const QString &what)
{
    const QByteArray profile = gridCmykProfile(17, false);
    QByteArray bytes;
    QString name = QStringLiteral("crafted.tif");
    int side = 14000;
    BenchTiffLayout layout;
    layout.size = QSize(14000, 14000);
    if (kind == QLatin1String("shared-rows")) {
        bytes = benchTiff(layout, profile);
    } else if (kind == QLatin1String("tall-strips")) {
        layout.size = QSize(3000, 60000);
        side = 60000;
        bytes = benchTiff(layout, profile);
    } else if (kind == QLatin1String("lzw-bomb") || kind == QLatin1String("deflate-bomb")
               || kind == QLatin1String("deflate-bomb-plain")) {
        layout.rows = 14000; // one strip
        layout.shared = false;
        layout.alternating = false;
        layout.compression = kind == QLatin1String("lzw-bomb") ? COMPRESSION_LZW : COMPRESSION_ADOBE_DEFLATE;
        bytes = benchTiff(layout, kind.endsWith(QLatin1String("plain")) ? QByteArray() : profile);
    } else if (kind == QLatin1String("tiled-shared")) {
        layout.tile = 256;
        bytes = benchTiff(layout, {});
    } else if (kind == QLatin1String("planar-shared")) {
        layout.planar = true;
        bytes = benchTiff(layout, {});
    } else if (kind == QLatin1String("genuine-tiled") || kind == QLatin1String("genuine-planar")) {
        layout.size = QSize(6000, 4000);
        side = 6000;
        layout.shared = false;
        layout.tile = kind == QLatin1String("genuine-tiled") ? 256 : 0;
        layout.planar = !layout.tile;
        layout.rows = 64;
        bytes = benchTiff(layout, profile);
    } else if (kind == QLatin1String("gif-named")) {
        static const char body[] = "NOTGIF\x10\x27\x10\x27\0\0\0,\0\0\0\0\x10\x27\x10\x27\0\x02\x02\x44\x01\0;";
        bytes = QByteArray(body, sizeof body - 1);
        name = QStringLiteral("crafted.gif");
        side = 10000;
    } else if (kind == QLatin1String("mp4-table")) {
        bytes = benchSampleTableVideo();
        name = QStringLiteral("crafted.mp4");
    } else {
        std::fprintf(stderr, "unknown crafted file: %s\n", qPrintable(kind));
        return 1;
    }
    QTemporaryDir dir;
    const QString path = writeCrafted(dir, name, bytes);
    const QString project = what == QLatin1String("open") ? projectHolding(dir, bytes, side, 1) : QString();
    QTemporaryDir out;
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds();
    QString outcome;
    if (kind == QLatin1String("mp4-table")) {
        outcome = VideoAsset::load(path) ? QStringLiteral("opened") : QStringLiteral("refused");
    } else if (what == QLatin1String("import")) {
        outcome = importOutcome({ path }, dir);
    } else if (what == QLatin1String("load")) {
        const std::optional<QImage> image = ImageDecoding::loadOrientedImage(path);
        outcome = image ? QStringLiteral("loaded, %1 × %2").arg(image->width()).arg(image->height())
                        : QStringLiteral("refused");
    } else if (what == QLatin1String("probe")) {
        outcome = probeOutcome({ path });
    } else if (what == QLatin1String("open")) {
        QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
        MarkupViewModel model(settings);
        outcome = model.openProject(project) ? QStringLiteral("opened, %1 images").arg(model.items().size())
                                             : QStringLiteral("not opened: %1").arg(model.errorMessage().value_or(QString()));
    } else if (what == QLatin1String("compress1920")) {
        try {
            const auto result = ImageCompressionService::compress(
                unprobedSource(path, side), ImageCompressionSettings(0.75, ImageCompressionMaxDimension::longEdge1920),
                out.path());
            outcome = QStringLiteral("compressed, %1 × %2").arg(result.outputPixelSize.width()).arg(result.outputPixelSize.height());
        } catch (const ImageCompressionServiceError &error) {
            outcome = error.description();
        }
    } else {
        outcome = compressOutcome(unprobedSource(path, side), out.path());
    }
    reportJpeg(qPrintable(QStringLiteral("crafted %1").arg(kind)), bytes.size(), what, outcome, timer.elapsed(),
               cpuSeconds() - cpu);
    return 0;
}

// ---- Headers claiming huge pictures --------------------------------------------------------------

quint32 pngCrc(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void appendPngChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    const auto bigEndian = [](QByteArray &out, quint32 value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char((value >> shift) & 0xFF));
    };
    bigEndian(png, quint32(data.size()));
    const QByteArray typed = QByteArray(type) + data;
    png += typed;
    bigEndian(png, pngCrc(typed));
}

// A PNG whose header claims 60000 × 60000 RGBA pixels and a GIF whose screen is 65535 × 65535: the
// compression probe refuses both from their headers, without decoding anything.
int benchProbeBombs()
{
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    QByteArray header;
    for (const quint32 side : {60000u, 60000u})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.append(char((side >> shift) & 0xFF));
    header.append("\x08\x06\0\0\0", 5);
    appendPngChunk(png, "IHDR", header);
    appendPngChunk(png, "IDAT", QByteArray(64, '\x78'));
    appendPngChunk(png, "IEND", QByteArray());
    static const char hugeScreen[] = "GIF89a\xFF\xFF\xFF\xFF\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;";
    const QByteArray gif(hugeScreen, sizeof hugeScreen - 1);
    QTemporaryDir dir;
    for (const auto &[name, bytes] : {std::pair{QStringLiteral("bomb.png"), png}, std::pair{QStringLiteral("bomb.gif"), gif}}) {
        const QString path = writeCrafted(dir, name, bytes);
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuSeconds();
        const QString outcome = probeOutcome({ path });
        std::printf("probe-bombs %s: %lld bytes: %s, %lld ms, %.3f s CPU, peak %lld MB (goal: refused at once)\n",
                    qPrintable(name), static_cast<long long>(bytes.size()), qPrintable(outcome),
                    static_cast<long long>(timer.elapsed()), cpuSeconds() - cpu, peakMegabytes());
    }
    return 0;
}

// ---- Pictures whose colours come from a profile Qt does not take -------------------------------

// The mean difference of a decoded picture from the colour library's own conversion of the same
// samples (`format` TYPE_CMYK_8 or TYPE_GRAY_8, `channels` bytes a pixel), over every channel.
double benchProfileDifference(const QImage &decoded, const std::vector<uchar> &samples, int channels,
                              cmsUInt32Number format, const QByteArray &profile)
{
    cmsHPROFILE input = cmsOpenProfileFromMem(profile.constData(), cmsUInt32Number(profile.size()));
    cmsHPROFILE output = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform = cmsCreateTransform(input, format, output, TYPE_BGRA_8, INTENT_PERCEPTUAL, 0);
    const QImage picture = decoded.convertToFormat(QImage::Format_RGB32);
    std::vector<QRgb> row(size_t(picture.width()));
    double sum = 0;
    for (int y = 0; transform && y < picture.height(); ++y) {
        cmsDoTransform(transform, samples.data() + size_t(y) * picture.width() * channels, row.data(),
                       cmsUInt32Number(picture.width()));
        const auto *pixels = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            sum += std::abs(qRed(pixels[x]) - qRed(row[size_t(x)])) + std::abs(qGreen(pixels[x]) - qGreen(row[size_t(x)]))
                + std::abs(qBlue(pixels[x]) - qBlue(row[size_t(x)]));
    }
    if (transform)
        cmsDeleteTransform(transform);
    cmsCloseProfile(output);
    cmsCloseProfile(input);
    return sum / (3.0 * picture.width() * picture.height());
}

// A 2000 × 1500 picture imported whole: a CMYK TIFF (LZW) with a 17-point CMYK profile, or a grey
// JPEG or PNG with a linear grey profile; how far its colours are from the colour library's.
int benchProfileFile(const QString &kind)
{
    const QSize size(2000, 1500);
    const bool cmyk = kind == QLatin1String("cmyk-tiff");
    const int channels = cmyk ? 4 : 1;
    std::vector<uchar> samples(size_t(size.width()) * size.height() * channels);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = uchar((i / channels % size_t(size.width()) / 125 * 16 + i % channels * 50 + i / channels / size_t(size.width()) / 100 * 8) % 256);
    QByteArray profile;
    if (cmyk) {
        profile = gridCmykProfile(17, false);
    } else {
        cmsToneCurve *linear = cmsBuildGamma(nullptr, 1.0);
        cmsHPROFILE grey = cmsCreateGrayProfile(cmsD50_xyY(), linear);
        cmsUInt32Number bytes = 0;
        cmsSaveProfileToMem(grey, nullptr, &bytes);
        profile.resize(qsizetype(bytes));
        cmsSaveProfileToMem(grey, profile.data(), &bytes);
        cmsCloseProfile(grey);
        cmsFreeToneCurve(linear);
    }
    QTemporaryDir dir;
    QString path;
    if (cmyk) {
        path = dir.filePath(QStringLiteral("print.tif"));
        TIFF *tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(size.width()));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(size.height()));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(4));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_SEPARATED));
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW));
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(profile.size()), profile.constData());
        for (int y = 0; y < size.height(); ++y)
            TIFFWriteScanline(tiff, samples.data() + size_t(y) * size.width() * 4, uint32_t(y), 0);
        TIFFClose(tiff);
    } else if (kind == QLatin1String("grey-jpeg")) {
        jpeg_compress_struct info;
        jpeg_error_mgr error;
        info.err = jpeg_std_error(&error);
        jpeg_create_compress(&info);
        unsigned char *buffer = nullptr;
        unsigned long length = 0;
        jpeg_mem_dest(&info, &buffer, &length);
        info.image_width = JDIMENSION(size.width());
        info.image_height = JDIMENSION(size.height());
        info.input_components = 1;
        info.in_color_space = JCS_GRAYSCALE;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 100, TRUE);
        jpeg_start_compress(&info, TRUE);
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(profile.constData()), unsigned(profile.size()));
        while (info.next_scanline < info.image_height) {
            JSAMPROW rows[1] = { samples.data() + size_t(info.next_scanline) * size.width() };
            jpeg_write_scanlines(&info, rows, 1);
        }
        jpeg_finish_compress(&info);
        path = writeCrafted(dir, QStringLiteral("grey.jpg"), QByteArray(reinterpret_cast<const char *>(buffer), qsizetype(length)));
        jpeg_destroy_compress(&info);
        std::free(buffer);
    } else if (kind == QLatin1String("grey-png")) {
        QByteArray png("\x89PNG\r\n\x1A\n", 8);
        QByteArray header;
        for (const quint32 side : { quint32(size.width()), quint32(size.height()) })
            for (int shift = 24; shift >= 0; shift -= 8)
                header.append(char((side >> shift) & 0xFF));
        header.append("\x08\0\0\0\0", 5);
        appendPngChunk(png, "IHDR", header);
        appendPngChunk(png, "iCCP", QByteArray("grey\0\0", 6) + qCompress(profile).mid(4));
        QByteArray rows;
        for (int y = 0; y < size.height(); ++y)
            rows.append('\0').append(reinterpret_cast<const char *>(samples.data()) + size_t(y) * size.width(), size.width());
        appendPngChunk(png, "IDAT", qCompress(rows).mid(4));
        appendPngChunk(png, "IEND", QByteArray());
        path = writeCrafted(dir, QStringLiteral("grey.png"), png);
    } else {
        std::fprintf(stderr, "unknown profile file: %s\n", qPrintable(kind));
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds();
    const std::optional<QImage> decoded = ImageDecoding::loadOrientedImage(path);
    const double seconds = cpuSeconds() - cpu;
    const qint64 ms = timer.elapsed();
    std::printf("profile %s: %lld bytes: %s, mean difference from the colour library %.2f levels, %lld ms, %.2f s CPU, "
                "peak %lld MB\n",
                qPrintable(kind), static_cast<long long>(QFileInfo(path).size()), decoded ? "decoded" : "not decoded",
                decoded ? benchProfileDifference(*decoded, samples, channels, cmyk ? TYPE_CMYK_8 : TYPE_GRAY_8, profile) : -1.0,
                static_cast<long long>(ms), seconds, peakMegabytes());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ImageLimits::configure();
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gif");
    if (which == QLatin1String("project"))
        return benchProject();
    if (which == QLatin1String("pairs"))
        return benchPairs();
    if (which == QLatin1String("probe-bombs"))
        return benchProbeBombs();
    const QString what = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (which == QLatin1String("jpeg-progressive"))
        return benchProgressiveJpeg(what);
    if (which == QLatin1String("jpeg-progressive-whole"))
        return benchWholeProgressiveJpeg(what, argc > 3 ? std::max(1, std::atoi(argv[3])) : 8);
    if (which == QLatin1String("jpeg-scans"))
        return benchScansJpeg(what, argc > 3 ? std::max(1, std::atoi(argv[3])) : 3000);
    if (which == QLatin1String("jpeg-nodata"))
        return benchNoDataJpeg(what);
    if (which == QLatin1String("jpeg-crafted"))
        return benchCraftedJpeg(what, argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("compress"));
    if (which == QLatin1String("crafted"))
        return benchCraftedTiff(what, argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("load"));
    if (which == QLatin1String("profile"))
        return benchProfileFile(what);
    if (which == QLatin1String("project-arrays"))
        return benchArrayProject(argc > 2 ? std::max(1, std::atoi(argv[2])) : 40);
    if (which == QLatin1String("docx-deep") || which == QLatin1String("docx-flat"))
        return benchDeepDocx(argc > 2 ? std::max(1, std::atoi(argv[2])) : 4, which == QLatin1String("docx-flat"),
                             argc > 3 ? std::max(1, std::atoi(argv[3])) : 1'300'000);
    // A screen of the given size with one-pixel frames, and a genuine animation, at original size.
    if (which == QLatin1String("gif-screen") || which == QLatin1String("gif-real")) {
        const QSize size = parsedSize(what);
        const int frames = argc > 3 ? std::max(1, std::atoi(argv[3])) : 64;
        if (size.isEmpty())
            return 1;
        std::optional<int> coverValue;
        if (argc > 4)
            coverValue = !std::strcmp(argv[4], "uncovered") ? 3 : 0;
        return which == QLatin1String("gif-real")
            ? benchRealGif(size, frames)
            : benchGif(craftedScreenGif(frames, size, coverValue), frames, ImageCompressionMaxDimension::original);
    }
    // Frames that fill a screen of the given size, at original size or the 1920 long edge.
    if (which == QLatin1String("gif-flat")) {
        const QSize size = parsedSize(what);
        const int frames = argc > 3 ? std::max(1, std::atoi(argv[3])) : 90;
        if (size.isEmpty())
            return 1;
        const bool reduced = argc > 4 && !std::strcmp(argv[4], "1920");
        return benchGif(flatScreenGif(frames, size), frames,
                        reduced ? ImageCompressionMaxDimension::longEdge1920 : ImageCompressionMaxDimension::original);
    }
    const int gifFrames = argc > 2 ? std::atoi(argv[2]) : 3;
    if (which == QLatin1String("gif-tiny"))
        return benchGif(craftedGif(gifFrames, 1), gifFrames, ImageCompressionMaxDimension::original);
    if (which == QLatin1String("gif-wide"))
        return benchGif(craftedWideGif(gifFrames), gifFrames, ImageCompressionMaxDimension::original);
    if (which == QLatin1String("gif-original"))
        return benchGif(craftedGif(gifFrames), gifFrames, ImageCompressionMaxDimension::original);
    return benchGif(craftedGif(gifFrames), gifFrames, ImageCompressionMaxDimension::longEdge800);
}
