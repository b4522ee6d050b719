#include "platform/VideoFrameConverter.h"

#include "platform/ImageLimits.h"

#include <QThread>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

// From about 720p on, a picture is converted on several cores.
constexpr qint64 largePicturePixels = 1280 * 720;

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
    av_frame_free(&m_target);
}

bool VideoFrameConverter::prepareScaler(const Setup &setup)
{
    if (m_sws && setup == m_setup)
        return true;
    sws_freeContext(m_sws);
    m_sws = sws_alloc_context();
    m_setup = setup;
    if (!m_sws)
        return false;
    // Large pictures are converted in horizontal bands on all cores; the bands give the same pixels.
    const bool large = qint64(setup.targetWidth) * setup.height >= largePicturePixels;
    const int threads = large ? std::clamp(QThread::idealThreadCount(), 1, 16) : 1;
    const bool configured = av_opt_set_int(m_sws, "srcw", setup.width, 0) >= 0
        && av_opt_set_int(m_sws, "srch", setup.height, 0) >= 0
        && av_opt_set_pixel_fmt(m_sws, "src_format", AVPixelFormat(setup.format), 0) >= 0
        && av_opt_set_int(m_sws, "dstw", setup.targetWidth, 0) >= 0
        && av_opt_set_int(m_sws, "dsth", setup.height, 0) >= 0
        && av_opt_set_pixel_fmt(m_sws, "dst_format", AV_PIX_FMT_BGRA, 0) >= 0
        && av_opt_set_int(m_sws, "sws_flags", SWS_BILINEAR, 0) >= 0 && av_opt_set_int(m_sws, "threads", threads, 0) >= 0
        && sws_init_context(m_sws, nullptr, nullptr) >= 0;
    if (!configured) {
        sws_freeContext(m_sws);
        m_sws = nullptr;
        return false;
    }
    // Fails harmlessly for RGB sources, which have no matrix to set.
    sws_setColorspaceDetails(m_sws, sws_getCoefficients(setup.colorspace), setup.fullRange ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    return true;
}

bool VideoFrameConverter::scaleInto(const AVFrame *frame, QImage &image)
{
    if (!m_target && !(m_target = av_frame_alloc()))
        return false;
    // The scaler keeps a reference to its target while it works: lend it the image's pixels through
    // a reference that frees nothing.
    AVBufferRef *pixels = av_buffer_create(image.bits(), std::size_t(image.sizeInBytes()),
                                           [](void *, uint8_t *) {}, nullptr, 0);
    if (!pixels)
        return false;
    m_target->buf[0] = pixels;
    m_target->data[0] = image.bits();
    m_target->linesize[0] = int(image.bytesPerLine());
    m_target->width = image.width();
    m_target->height = image.height();
    m_target->format = AV_PIX_FMT_BGRA;
    const int result = sws_scale_frame(m_sws, m_target, frame);
    av_frame_unref(m_target);
    return result >= 0;
}

QImage VideoFrameConverter::convert(const AVFrame *frame)
{
    const int width = frame->width;
    const int height = frame->height;
    if (width <= 0 || height <= 0 || width > maxSide || height > maxSide || frame->format < 0)
        return {};
    int targetWidth = width;
    // Resizing to odd sizes leaves a sample aspect ratio a hair off square (17264:17271 for
    // 1920 × 1080 made 1919 × 1079). Under a pixel of correction is no anamorphic picture: honouring it
    // would resample every column and still take one off the width, so the stored width stays.
    if (m_sampleAspect != 1.0 && std::abs(width * m_sampleAspect - width) >= 1.0) {
        const double scaled = std::round(width * m_sampleAspect);
        if (!(scaled >= 1 && scaled <= maxSide))
            return {};
        targetWidth = int(scaled);
    }
    if (!ImageLimits::isAcceptableSize(targetWidth, height))
        return {};

    const int colorspace = swsColorspace(frame);
    const bool fullRange = frame->color_range == AVCOL_RANGE_JPEG || isFullRangeFormat(frame->format);
    if (!prepareScaler(Setup{width, height, frame->format, targetWidth, colorspace, fullRange}))
        return {};

    QImage image = m_buffers.image(targetWidth, height, QImage::Format_ARGB32);
    if (image.isNull() || !scaleInto(frame, image))
        return {};

    if (m_mirror)
        image = image.mirrored(true, false);
    if (m_clockwiseDegrees != 0)
        image = image.transformed(QTransform().rotate(m_clockwiseDegrees));
    return image;
}
