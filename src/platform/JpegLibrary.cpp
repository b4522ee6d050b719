#include "platform/JpegLibrary.h"

#include "platform/ImageLimits.h"

namespace JpegLibrary {

namespace {

void errorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorExit *>(info->err)->jump, 1); }

void quietMessage(j_common_ptr) { }

} // namespace

jpeg_error_mgr *quietErrors(ErrorExit &error)
{
    jpeg_std_error(&error.manager);
    error.manager.error_exit = errorExit;
    error.manager.output_message = quietMessage;
    return &error.manager;
}

bool readHeader(jpeg_decompress_struct &info, const QByteArray &bytes)
{
    jpeg_create_decompress(&info);
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
