#include "platform/JpegLibrary.h"

#include "platform/ImageLimits.h"

#include <jerror.h>

namespace JpegLibrary {

namespace {

void errorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorExit *>(info->err)->jump, 1); }

void quietMessage(j_common_ptr) { }

ErrorExit &errorOf(j_common_ptr info) { return *reinterpret_cast<ErrorExit *>(info->err); }

// Whether the file ending where the decoder wanted more is data missing. The memory source then
// gives the decoder an end marker. The Huffman decoder of a file in one interleaved scan in
// sequence warns on its own when that leaves it short of data (JWRN_HIT_MARKER); otherwise the end
// may have come before later scans, or (arithmetic coding reads a marker as zeros) in the data.
bool endOfFileLosesData(j_common_ptr info)
{
    if (!info->is_decompressor)
        return true;
    const auto *decompress = reinterpret_cast<j_decompress_ptr>(info);
    return decompress->arith_code || decompress->progressive_mode
        || decompress->comps_in_scan < decompress->num_components;
}

// Counts warnings as the library's own handler does, and stops the decode at the ones that mean
// data it could not read whole: the rest of the picture would be grey or noise.
void noteMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    ErrorExit &error = errorOf(info);
    ++error.manager.num_warnings;
    const int code = error.manager.msg_code;
    if (code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC || code == JWRN_ARITH_BAD_CODE
        || (code == JWRN_JPEG_EOF && endOfFileLosesData(info)))
        errorExit(info);
}

void limitScans(j_common_ptr info)
{
    if (!info->is_decompressor)
        return;
    const auto *decompress = reinterpret_cast<j_decompress_ptr>(info);
    ErrorExit &error = errorOf(info);
    if (decompress->input_scan_number == error.countedScan)
        return;
    error.countedScan = decompress->input_scan_number;
    for (int c = 0; c < decompress->comps_in_scan; ++c) {
        const jpeg_component_info *component = decompress->cur_comp_info[c];
        error.scanBlocks += qint64(component->width_in_blocks) * component->height_in_blocks;
    }
    if (!isWithinScanWork(decompress->input_scan_number, error.scanBlocks))
        errorExit(info);
}

// The error manager to put in the (de)compressor's err field before setjmp.
jpeg_error_mgr *quietErrors(ErrorExit &error)
{
    jpeg_std_error(&error.manager);
    error.manager.error_exit = errorExit;
    error.manager.output_message = quietMessage;
    error.manager.emit_message = noteMessage;
    error.scanBlocks = 0;
    error.countedScan = 0;
    error.progress = {};
    error.progress.progress_monitor = limitScans;
    return &error.manager;
}

} // namespace

bool isWithinScanWork(int scans, qint64 scanBlocks)
{
    return scans <= maxScans && (scans <= minScans || scanBlocks <= scanWorkLimit);
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
