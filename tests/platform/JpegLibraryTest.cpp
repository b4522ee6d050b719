#include "platform/JpegLibrary.h"
#include "support/JpegTestFiles.h"

#include <QImage>

#include <gtest/gtest.h>

#include <vector>

namespace {

QByteArray smallJpeg()
{
    QImage picture(40, 24, QImage::Format_RGB32);
    picture.fill(qRgb(200, 120, 40));
    return JpegTestFiles::encoded(picture, JpegTestFiles::Layout());
}

} // namespace

// The work runs only on a decompressor whose header was read and whose size passed the cap.
TEST(JpegLibrary, DecompressRunsTheWorkOnlyPastAReadableHeader)
{
    const QByteArray bytes = smallJpeg();
    int runs = 0;
    QSize seen;
    EXPECT_TRUE(JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &info, const JpegLibrary::ErrorExit &) {
        ++runs;
        seen = QSize(int(info.image_width), int(info.image_height));
    }));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(seen, QSize(40, 24));

    for (const QByteArray &broken : { QByteArray(), QByteArray("not a picture"), bytes.left(12) }) {
        EXPECT_FALSE(JpegLibrary::decompress(broken, [&](jpeg_decompress_struct &, const JpegLibrary::ErrorExit &) {
            ++runs;
        })) << broken.size();
    }
    EXPECT_EQ(runs, 1);
}

// A failing library call ends the work at that call and reports failure; the next use starts clean.
TEST(JpegLibrary, ALibraryErrorInTheWorkStopsItThere)
{
    const QByteArray bytes = smallJpeg();
    bool pastTheError = false;
    EXPECT_FALSE(JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &info, const JpegLibrary::ErrorExit &) {
        JSAMPLE row[40 * 3];
        JSAMPROW rows[1] = { row };
        jpeg_read_scanlines(&info, rows, 1); // before jpeg_start_decompress: refused
        pastTheError = true;
    }));
    EXPECT_FALSE(pastTheError);

    EXPECT_FALSE(JpegLibrary::compress([&](jpeg_compress_struct &info) {
        JSAMPLE row[3] = {};
        JSAMPROW rows[1] = { row };
        jpeg_write_scanlines(&info, rows, 1); // before jpeg_start_compress: refused
        pastTheError = true;
    }));
    EXPECT_FALSE(pastTheError);

    bool decoded = false;
    std::vector<JSAMPLE> row; // outside the work: the jump would skip its destructor
    EXPECT_TRUE(JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &info, const JpegLibrary::ErrorExit &error) {
        jpeg_start_decompress(&info);
        row.resize(size_t(info.output_width) * size_t(info.output_components));
        while (info.output_scanline < info.output_height) {
            JSAMPROW rows[1] = { row.data() };
            jpeg_read_scanlines(&info, rows, 1);
        }
        jpeg_finish_decompress(&info);
        decoded = error.manager.num_warnings == 0;
    }));
    EXPECT_TRUE(decoded);
}
