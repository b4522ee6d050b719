#include "platform/VideoFrameConverter.h"

#include "platform/ImageLimits.h"

#include <QTransform>

#include <cmath>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

int swsColorspace(const AVFrame *frame)
{
    switch (frame->colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        // Encoders often leave the matrix unspecified; players then assume HD material is BT.709.
        return frame->height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

bool isFullRangeFormat(int format)
{
    return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P
        || format == AV_PIX_FMT_YUVJ440P || format == AV_PIX_FMT_YUVJ411P;
}

} // namespace

VideoFrameConverter::VideoFrameConverter(const AVStream *stream)
{
    const AVRational sar = stream->codecpar->sample_aspect_ratio;
    if (sar.num > 0 && sar.den > 0)
        m_sampleAspect = av_q2d(sar);

    size_t size = 0;
    const uint8_t *data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (data && size >= 9 * sizeof(int32_t)) {
        int32_t matrix[9];
        std::memcpy(matrix, data, sizeof matrix);
        // A negative determinant means the picture is mirrored; take the mirror out first so the
        // remaining matrix is a pure rotation.
        const double det = double(matrix[0]) * matrix[4] - double(matrix[1]) * matrix[3];
        if (det < 0) {
            m_mirror = true;
            av_display_matrix_flip(matrix, 1, 0);
        }
        const double counterClockwise = av_display_rotation_get(matrix);
        if (std::isfinite(counterClockwise)) {
            const long quarter = std::lround(-counterClockwise / 90.0);
            m_clockwiseDegrees = int(((quarter % 4) + 4) % 4) * 90;
        }
    }
}

VideoFrameConverter::~VideoFrameConverter()
{
    sws_freeContext(m_sws);
}

QImage VideoFrameConverter::convert(const AVFrame *frame)
{
    const int width = frame->width;
    const int height = frame->height;
    if (width <= 0 || height <= 0 || width > maxSide || height > maxSide || frame->format < 0)
        return {};
    int targetWidth = width;
    if (m_sampleAspect != 1.0) {
        const double scaled = std::round(width * m_sampleAspect);
        if (!(scaled >= 1 && scaled <= maxSide))
            return {};
        targetWidth = int(scaled);
    }
    if (!ImageLimits::isAcceptableSize(targetWidth, height))
        return {};

    m_sws = sws_getCachedContext(m_sws, width, height, AVPixelFormat(frame->format), targetWidth, height,
                                 AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_sws)
        return {};
    const bool fullRange = frame->color_range == AVCOL_RANGE_JPEG || isFullRangeFormat(frame->format);
    const int *coefficients = sws_getCoefficients(swsColorspace(frame));
    // Fails harmlessly for RGB sources, which have no matrix to set.
    sws_setColorspaceDetails(m_sws, coefficients, fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                             1 << 16, 1 << 16);

    QImage image(targetWidth, height, QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(m_sws, frame->data, frame->linesize, 0, height, planes, strides) != height)
        return {};

    if (m_mirror)
        image = image.mirrored(true, false);
    if (m_clockwiseDegrees != 0)
        image = image.transformed(QTransform().rotate(m_clockwiseDegrees));
    return image;
}
