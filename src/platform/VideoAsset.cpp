#include "platform/VideoAsset.h"

#include "platform/DecodeBudget.h"
#include "platform/VideoDecoder.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace {

struct FormatCloser {
    void operator()(AVFormatContext *format) const { avformat_close_input(&format); }
};
using FormatPointer = std::unique_ptr<AVFormatContext, FormatCloser>;

struct CodecFreer {
    void operator()(AVCodecContext *codec) const { avcodec_free_context(&codec); }
};
using CodecPointer = std::unique_ptr<AVCodecContext, CodecFreer>;

int firstPictureStream(const AVFormatContext *format)
{
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream *stream = format->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return int(i);
    }
    return -1;
}

} // namespace

std::optional<VideoAsset> VideoAsset::load(const QString &path)
{
    // The program keeps no log, and FFmpeg's English messages must not reach anyone. No single
    // allocation of FFmpeg's may exceed what the program lets all its decodes hold at once: a few
    // bytes of sample table can ask the demuxer for gigabytes, which a system that commits memory
    // eagerly would pay in full.
    static std::once_flag configured;
    std::call_once(configured, [] {
        av_log_set_level(AV_LOG_QUIET);
        av_max_alloc(size_t(DecodeBudget::defaultLimit));
    });

    if (path.isEmpty())
        return std::nullopt;
    // The "file:" prefix keeps a colon in the name from being read as a protocol; the whitelist keeps
    // a hostile file from opening anything else.
    const QByteArray url = "file:" + QFile::encodeName(path);
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext *rawFormat = nullptr;
    const int opened = avformat_open_input(&rawFormat, url.constData(), av_find_input_format("mov"), &options);
    av_dict_free(&options);
    if (opened < 0)
        return std::nullopt;
    FormatPointer format(rawFormat);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return std::nullopt;

    VideoAsset asset;
    if (format->duration != AV_NOPTS_VALUE)
        asset.duration = double(format->duration) / AV_TIME_BASE;
    const int streamIndex = firstPictureStream(format.get());
    if (streamIndex < 0)
        return asset;
    AVStream *stream = format->streams[streamIndex];
    if (!std::isfinite(asset.duration) && stream->duration != AV_NOPTS_VALUE)
        asset.duration = double(stream->duration) * av_q2d(stream->time_base);
    asset.hasVideoTrack = true;
    const AVRational average = stream->avg_frame_rate;
    if (average.num > 0 && average.den > 0)
        asset.nominalFrameRate = float(av_q2d(average));
    const AVRational real = stream->r_frame_rate;
    if (real.num > 0 && real.den > 0)
        asset.minFrameDuration = 1.0 / av_q2d(real);
    asset.codedSize = QSize(stream->codecpar->width, stream->codecpar->height);

    const AVCodec *decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder)
        return std::nullopt;
    CodecPointer codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0)
        return std::nullopt;
    codec->pkt_timebase = stream->time_base;
    // Frame threading keeps playback and long seeks fast. One thread more than there are cores keeps
    // them all busy while a picture is handed over; more than sixteen only add latency.
    const int cores = std::max(QThread::idealThreadCount(), 1);
    codec->thread_count = cores > 1 ? std::min(cores + 1, 16) : 1;
    codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return std::nullopt;
    // Only the picture track is read from here on.
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (int(i) != streamIndex)
            format->streams[i]->discard = AVDISCARD_ALL;
    }
    asset.frameSource = std::make_shared<VideoDecoder>(format.release(), codec.release(), streamIndex);
    return asset;
}
