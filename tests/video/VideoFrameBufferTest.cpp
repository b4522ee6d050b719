#include "platform/VideoAsset.h"
#include "platform/VideoFrameConverter.h"
#include "support/VideoTestMedia.h"

#include <QFile>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

using namespace VideoTestMedia;

#define REQUIRE_FFMPEG()                                                                                               \
    if (!hasFfmpeg())                                                                                                  \
    GTEST_SKIP() << "the ffmpeg tool is not installed"

// The first picture of a file, decoded on one thread, with its stream.
struct FirstPicture {
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    AVFrame *frame = av_frame_alloc();
    int stream = -1;

    explicit FirstPicture(const QString &path)
    {
        if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0
            || avformat_find_stream_info(format, nullptr) < 0)
            return;
        stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (stream < 0)
            return;
        const AVCodecParameters *parameters = format->streams[stream]->codecpar;
        codec = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
        avcodec_parameters_to_context(codec, parameters);
        if (avcodec_open2(codec, nullptr, nullptr) < 0)
            return;
        AVPacket *packet = av_packet_alloc();
        while (avcodec_receive_frame(codec, frame) != 0 && av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == stream)
                avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
            if (avcodec_receive_frame(codec, frame) == 0)
                break;
        }
        av_packet_free(&packet);
    }
    ~FirstPicture()
    {
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

// The same frame converted in one piece by the scaler, with the given matrix and range.
QImage convertedInOnePiece(const AVFrame *frame, int colorspace, bool fullRange, int width)
{
    SwsContext *sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), width, frame->height,
                                     AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    sws_setColorspaceDetails(sws, sws_getCoefficients(colorspace), fullRange ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    QImage image(width, frame->height, QImage::Format_ARGB32);
    uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(sws, frame->data, frame->linesize, 0, frame->height, planes, strides);
    sws_freeContext(sws);
    return image;
}

} // namespace

TEST(VideoFrameBuffers, LargePicturesConvertedInBandsEqualTheConversionInOnePiece)
{
    REQUIRE_FFMPEG();
    av_log_set_level(AV_LOG_QUIET);
    const QStringList source{"-f", "lavfi", "-i", "testsrc2=s=1280x720:r=25", "-t", "0.2", "-c:v", "libx264"};
    const QString limited = make("bands-tv.mp4", source + QStringList{"-pix_fmt", "yuv420p"});
    const QString full = make("bands-pc.mp4", source + QStringList{"-pix_fmt", "yuvj420p"});
    // Non-square pixels: widened to 1280 by the scaler.
    const QString wide = make("bands-sar.mp4", source + QStringList{"-vf", "scale=960:720,setsar=4/3"});
    // Untagged HD is read with the BT.709 matrix; the full-range file keeps its range.
    const std::tuple<QString, bool> cases[] = {{limited, false}, {full, true}, {wide, false}};
    for (const auto &[path, fullRange] : cases) {
        ASSERT_FALSE(path.isEmpty());
        FirstPicture picture(path);
        ASSERT_GT(picture.frame->width, 0) << path.toStdString();
        VideoFrameConverter converter(picture.format->streams[picture.stream]);
        const QImage bands = converter.convert(picture.frame);
        const QImage whole = convertedInOnePiece(picture.frame, SWS_CS_ITU709, fullRange, 1280);
        ASSERT_EQ(bands.size(), QSize(1280, 720));
        EXPECT_TRUE(bands == whole) << path.toStdString();
        // The next picture goes into another buffer while the first is still held.
        const QImage again = converter.convert(picture.frame);
        EXPECT_NE(again.constBits(), bands.constBits());
        EXPECT_TRUE(again == whole);
    }
}

TEST(VideoFrameBuffers, DeliveredPicturesStayIntactWhileDecodingGoesOn)
{
    REQUIRE_FFMPEG();
    const QString video = stripes("buffers.mp4", "30", 4);
    ASSERT_FALSE(video.isEmpty());
    const std::optional<VideoAsset> asset = VideoAsset::load(video);
    ASSERT_TRUE(asset && asset->frameSource);
    VideoFrameSource &source = *asset->frameSource;
    auto guard = source.lock();

    // Pictures from an exact seek (also kept by the decoder) and from playback, held by the caller
    // while a hundred further pictures are decoded.
    struct Held {
        int number;
        QImage image;
        QImage copy;
    };
    std::vector<Held> held;
    VideoFrameSource::Frame frame;
    ASSERT_EQ(source.frameAt(1.0, VideoFrameSource::Match::containing, {}, &frame), VideoFrameSource::Status::ok);
    held.push_back({30, frame.image, frame.image.copy()});
    ASSERT_EQ(source.frameAt(0, VideoFrameSource::Match::containing, {}, &frame), VideoFrameSource::Status::ok);
    held.push_back({0, frame.image, frame.image.copy()});
    double time = frame.time;
    for (int number = 1; number <= 100; ++number) {
        ASSERT_EQ(source.frameAfter(time, {}, &frame), VideoFrameSource::Status::ok);
        ASSERT_EQ(stripeNumber(frame.image), number);
        time = frame.time;
        if (number % 25 == 0)
            held.push_back({number, frame.image, frame.image.copy()});
    }
    for (const Held &h : held) {
        EXPECT_EQ(stripeNumber(h.image), h.number);
        EXPECT_TRUE(h.image == h.copy) << h.number;
    }
    // The frame an exact seek kept is handed out again unchanged.
    ASSERT_EQ(source.frameAt(1.0, VideoFrameSource::Match::containing, {}, &frame), VideoFrameSource::Status::ok);
    EXPECT_EQ(stripeNumber(frame.image), 30);
}
