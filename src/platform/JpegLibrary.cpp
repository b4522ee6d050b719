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

} // namespace

int scanLimit(qint64 blocks)
{
    return int(std::clamp<qint64>(scanWorkLimit / std::max<qint64>(blocks, 1), minScanLimit, maxScans));
}

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

bool readHeader(jpeg_decompress_struct &info, const QByteArray &bytes)
{
    jpeg_create_decompress(&info);
    info.progress = &errorOf(reinterpret_cast<j_common_ptr>(&info)).progress;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK
        || !ImageLimits::isAcceptableSize(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    return true;
}

} // namespace JpegLibrary
