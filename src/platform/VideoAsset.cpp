#include "platform/VideoAsset.h"

#include "platform/DecodeBudget.h"
#include "platform/VideoDecoder.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <limits>
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

// How many packets before the end of the stream its last picture (the one shown last) can be
// decoded: pictures are reordered by at most 16 places in every codec the QuickTime family holds.
constexpr int videoAssetReorderReach = 32;

// The latest presentation time among the stream's packets from the index entry at `timestamp`
// (`flags` as av_seek_frame takes them) to the end; packets an edit list leaves out are never shown
// and do not count. AV_NOPTS_VALUE when there is none.
int64_t videoAssetLatestTimeFrom(AVFormatContext *format, int streamIndex, int64_t timestamp, int flags)
{
    if (av_seek_frame(format, streamIndex, timestamp, flags) < 0)
        return AV_NOPTS_VALUE;
    AVPacket *packet = av_packet_alloc();
    if (!packet)
        return AV_NOPTS_VALUE;
    int64_t last = AV_NOPTS_VALUE;
    while (av_read_frame(format, packet) >= 0) {
        const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (packet->stream_index == streamIndex && !(packet->flags & AV_PKT_FLAG_DISCARD) && time != AV_NOPTS_VALUE
            && (last == AV_NOPTS_VALUE || time > last))
            last = time;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return last;
}

// The presentation time of the stream's last picture, read from the packets at the end of the
// stream (nothing is decoded): the last few, or when an edit list leaves all of them out, those
// from the last keyframe on. Only packets whose data lies inside the file count. NaN when the file
// has no index or no such packet.
double videoAssetLastPictureTime(AVFormatContext *format, int streamIndex)
{
    const double unknown = std::numeric_limits<double>::quiet_NaN();
    AVStream *stream = format->streams[streamIndex];
    const int64_t fileSize = format->pb ? avio_size(format->pb) : -1;
    auto readable = [fileSize](const AVIndexEntry *entry) {
        return entry && (fileSize <= 0 || entry->pos + entry->size <= fileSize);
    };
    int lastReadable = avformat_index_get_entries_count(stream) - 1;
    while (lastReadable >= 0 && !readable(avformat_index_get_entry(stream, lastReadable)))
        --lastReadable;
    if (lastReadable < 0)
        return unknown;
    const AVIndexEntry *tail = avformat_index_get_entry(stream, std::max(lastReadable - videoAssetReorderReach, 0));
    int64_t last = videoAssetLatestTimeFrom(format, streamIndex, tail->timestamp, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    for (int index = lastReadable; last == AV_NOPTS_VALUE && index >= 0; --index) {
        const AVIndexEntry *entry = avformat_index_get_entry(stream, index);
        if (readable(entry) && (entry->flags & AVINDEX_KEYFRAME)) {
            last = videoAssetLatestTimeFrom(format, streamIndex, entry->timestamp, AVSEEK_FLAG_BACKWARD);
            break;
        }
    }
    // The decoder finds its own place before its first picture; the start is only the tidy place.
    av_seek_frame(format, streamIndex, 0, AVSEEK_FLAG_BACKWARD);
    const double seconds = last == AV_NOPTS_VALUE ? unknown : double(last) * av_q2d(stream->time_base);
    return std::isfinite(seconds) && seconds >= 0 ? seconds : unknown;
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
    asset.lastPictureTime = videoAssetLastPictureTime(format.get(), streamIndex);
    asset.frameSource = std::make_shared<VideoDecoder>(format.release(), codec.release(), streamIndex);
    return asset;
}
