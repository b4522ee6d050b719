#include "platform/JpegLibrary.h"

#include "platform/ImageLimits.h"

#include <jerror.h>

#include <algorithm>

namespace JpegLibrary {

namespace {

void errorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorExit *>(info->err)->jump, 1); }

void quietMessage(j_common_ptr) { }

ErrorExit &errorOf(j_common_ptr info) { return *reinterpret_cast<ErrorExit *>(info->err); }

// Counts warnings as the library's own handler does, and notes the ones that mean missing data.
void noteMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    ErrorExit &error = errorOf(info);
    ++error.manager.num_warnings;
    if (error.manager.msg_code == JWRN_JPEG_EOF || error.manager.msg_code == JWRN_HIT_MARKER)
        error.dataEndedEarly = true;
}

void limitScans(j_common_ptr info)
{
    if (!info->is_decompressor)
        return;
    const auto *decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number <= minScanLimit)
        return;
    qint64 blocks = 0;
    for (int c = 0; c < decompress->num_components; ++c)
        blocks += qint64(decompress->comp_info[c].width_in_blocks) * decompress->comp_info[c].height_in_blocks;
    if (decompress->input_scan_number > scanLimit(blocks))
        errorExit(info);
}

// The error manager to put in the (de)compressor's err field before setjmp.
jpeg_error_mgr *quietErrors(ErrorExit &error)
{
    jpeg_std_error(&error.manager);
    error.manager.error_exit = errorExit;
    error.manager.output_message = quietMessage;
    error.manager.emit_message = noteMessage;
    error.dataEndedEarly = false;
    error.progress = {};
    error.progress.progress_monitor = limitScans;
    return &error.manager;
}

} // namespace

int scanLimit(qint64 blocks)
{
    return int(std::clamp<qint64>(scanWorkLimit / std::max<qint64>(blocks, 1), minScanLimit, maxScans));
}

// Only plain C objects live in this function between setjmp and the library's calls; `info` and
// `error` are reached by the library through pointers, so they are in memory when it jumps back.
bool decompress(const QByteArray &bytes, const DecompressWork &work)
{
    jpeg_decompress_struct info;
    ErrorExit error;
    info.err = quietErrors(error);
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.progress = &error.progress;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK
        || !ImageLimits::isAcceptableSize(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    work(info, error);
    jpeg_destroy_decompress(&info);
    return true;
}

bool compress(const CompressWork &work)
{
    jpeg_compress_struct info;
    ErrorExit error;
    info.err = quietErrors(error);
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    work(info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace JpegLibrary
