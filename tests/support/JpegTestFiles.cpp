#include "support/JpegTestFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace JpegTestFiles {

QByteArray encoded(const QImage &picture, const Layout &layout)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.width());
    info.image_height = JDIMENSION(picture.height());
    info.input_components = layout.grey ? 1 : layout.cmyk ? 4 : 3;
    info.in_color_space = layout.grey ? JCS_GRAYSCALE : layout.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (!layout.grey && !layout.cmyk) {
        info.comp_info[0].h_samp_factor = layout.lumaH;
        info.comp_info[0].v_samp_factor = layout.lumaV;
    }
    info.restart_in_rows = layout.restartRows;
    info.restart_interval = unsigned(layout.restartInterval);
    info.density_unit = UINT8(layout.densityUnit);
    info.X_density = UINT16(layout.xDensity);
    info.Y_density = UINT16(layout.yDensity);
    if (layout.progressive)
        jpeg_simple_progression(&info);
    info.arith_code = layout.arithmetic;
    std::vector<jpeg_scan_info> script;
    if (const std::optional<int> steps = layout.coefficientScansRefinedIn) {
        jpeg_scan_info dc {};
        dc.comps_in_scan = info.num_components;
        for (int c = 0; c < info.num_components; ++c)
            dc.component_index[c] = c;
        script.push_back(dc);
        for (int c = 0; c < info.num_components; ++c) {
            for (int k = 1; k < 64; ++k) {
                for (int bit = *steps; bit >= 0; --bit) {
                    jpeg_scan_info ac {};
                    ac.comps_in_scan = 1;
                    ac.component_index[0] = c;
                    ac.Ss = ac.Se = k;
                    ac.Ah = bit == *steps ? 0 : bit + 1;
                    ac.Al = bit;
                    script.push_back(ac);
                }
            }
        }
        info.scan_info = script.data();
        info.num_scans = int(script.size());
    }
    jpeg_start_compress(&info, TRUE);
    if (!layout.comment.isEmpty())
        jpeg_write_marker(&info, JPEG_COM, reinterpret_cast<const JOCTET *>(layout.comment.constData()),
                          unsigned(layout.comment.size()));
    if (!layout.app1.isEmpty())
        jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET *>(layout.app1.constData()),
                          unsigned(layout.app1.size()));
    if (!layout.iccProfile.isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET *>(layout.iccProfile.constData()),
                               unsigned(layout.iccProfile.size()));
    std::vector<JSAMPLE> row(size_t(picture.width()) * size_t(info.input_components));
    while (info.next_scanline < info.image_height) {
        const QRgb *pixels = reinterpret_cast<const QRgb *>(picture.constScanLine(int(info.next_scanline)));
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = pixels[x];
            if (layout.grey) {
                row[size_t(x)] = JSAMPLE(qGray(p));
            } else if (layout.cmyk) {
                const JSAMPLE cmyk[4]
                    = { JSAMPLE(255 - qRed(p)), JSAMPLE(255 - qGreen(p)), JSAMPLE(255 - qBlue(p)), 40 };
                std::copy(cmyk, cmyk + 4, &row[size_t(x) * 4]);
            } else {
                const JSAMPLE rgb[3] = { JSAMPLE(qRed(p)), JSAMPLE(qGreen(p)), JSAMPLE(qBlue(p)) };
                std::copy(rgb, rgb + 3, &row[size_t(x) * 3]);
            }
        }
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

QByteArray exifOrientation(int orientation)
{
    QByteArray exif("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\0\0\0\0\0\0\0", 32);
    exif[25] = char(orientation);
    return exif;
}

namespace {

int be16(const QByteArray &bytes, qsizetype at) { return (quint8(bytes[at]) << 8) | quint8(bytes[at + 1]); }

// Where each scan's entropy-coded data starts and ends, walking the segments of a file the library
// wrote.
std::vector<std::pair<qsizetype, qsizetype>> scanData(const QByteArray &bytes)
{
    std::vector<std::pair<qsizetype, qsizetype>> scans;
    qsizetype at = 2;
    while (at + 4 <= bytes.size() && quint8(bytes[at]) == 0xFF && quint8(bytes[at + 1]) != 0xD9) {
        const int marker = quint8(bytes[at + 1]);
        at += 2 + be16(bytes, at + 2);
        if (marker != 0xDA)
            continue;
        const qsizetype start = at;
        while (at + 1 < bytes.size()
               && !(quint8(bytes[at]) == 0xFF && quint8(bytes[at + 1]) != 0
                    && (quint8(bytes[at + 1]) < 0xD0 || quint8(bytes[at + 1]) > 0xD7)))
            ++at;
        scans.emplace_back(start, at);
    }
    return scans;
}

} // namespace

QByteArray withScans(const QByteArray &bytes, int scans)
{
    const auto data = scanData(bytes);
    if (data.size() < 2)
        return bytes;
    const qsizetype from = data[data.size() - 2].second;
    const qsizetype to = data.back().second;
    QByteArray crafted = bytes.left(to);
    for (int i = int(data.size()); i < scans; ++i)
        crafted += bytes.mid(from, to - from);
    return crafted + bytes.mid(to);
}

QByteArray withScanDataCut(const QByteArray &bytes, double keptFraction)
{
    const auto data = scanData(bytes);
    if (data.empty())
        return bytes;
    const qsizetype kept = qsizetype(double(data.front().second - data.front().first) * keptFraction);
    return bytes.left(data.front().first + kept) + QByteArray("\xFF\xD9", 2);
}

QByteArray withScanDataReplaced(const QByteArray &bytes,
                                const std::function<QByteArray(int scan, const QByteArray &data)> &replaced)
{
    QByteArray crafted;
    qsizetype at = 0;
    int scan = 0;
    for (const auto &[start, end] : scanData(bytes)) {
        crafted += bytes.mid(at, start - at) + replaced(scan++, bytes.mid(start, end - start));
        at = end;
    }
    return crafted + bytes.mid(at);
}

} // namespace JpegTestFiles
