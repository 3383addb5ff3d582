#include "recording/VideoThumbnails.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <limits>

namespace ombrel {

namespace {

// Two frame times closer than this are the same moment (timestamps are rounded to time bases).
constexpr double sameMomentSeconds = 1e-6;
// Jumping ahead by seeking only pays when the key frame lies this far beyond the decoded
// position; closer targets are reached by decoding on.
constexpr double seekAheadSeconds = 0.5;
// More than the reordering delay of B-frames between a key frame's decoding and display times.
constexpr double seekReorderMarginSeconds = 0.2;
// While the decoded position is further than this before the wanted pictures, frames that no
// other frame refers to are not decoded at all.
constexpr double skipUnreferencedSeconds = 0.5;

struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

} // namespace

struct VideoThumbnails::Decoder {
    int width = 0;
    int height = 0;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    SwsContext* scaler = nullptr;
    PacketPtr packet{av_packet_alloc()};
    FramePtr current{av_frame_alloc()};   // the frame decoded last
    FramePtr candidate{av_frame_alloc()}; // the best frame for the request being answered
    uint8_t* greyBuffer = nullptr;        // aligned for the scaler
    int greyLineBytes = 0;
    bool demuxerEnded = false;
    // `current` holds a decoded frame that no request has used yet.
    bool pending = false;
    // Time of the frame decoded last; −∞ right after opening or seeking.
    double cursorSeconds = -std::numeric_limits<double>::infinity();

    ~Decoder() {
        sws_freeContext(scaler);
        av_free(greyBuffer);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }

    bool open(const QString& path) {
        const QByteArray file = path.toLocal8Bit();
        if (avformat_open_input(&format, file.constData(), nullptr, nullptr) < 0) return false;
        if (avformat_find_stream_info(format, nullptr) < 0) return false;
        const AVCodec* decoder = nullptr;
        const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
        if (index < 0 || !decoder) return false;
        stream = format->streams[index];
        codec = avcodec_alloc_context3(decoder);
        if (!codec || avcodec_parameters_to_context(codec, stream->codecpar) < 0) return false;
        codec->thread_count = 0; // as many as the machine has
        if (avcodec_open2(codec, decoder, nullptr) < 0) return false;
        greyLineBytes = FFALIGN(width, 64);
        greyBuffer = static_cast<uint8_t*>(av_malloc(size_t(greyLineBytes) * height));
        return greyBuffer && packet && current && candidate;
    }

    double startTicks() const {
        return stream->start_time == AV_NOPTS_VALUE ? 0 : double(stream->start_time);
    }
    double secondsOf(int64_t ticks) const {
        return (double(ticks) - startTicks()) * av_q2d(stream->time_base);
    }
    int64_t ticksOf(double seconds) const {
        return int64_t(std::llround(seconds / av_q2d(stream->time_base) + startTicks()));
    }

    static int64_t timestampOf(const AVFrame* f) {
        return f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
    }

    // Decodes the next frame of the stream into `current`. False at the end or on a fault
    // that stops decoding.
    bool decodeNext() {
        for (;;) {
            const int received = avcodec_receive_frame(codec, current.get());
            if (received == 0) {
                if (timestampOf(current.get()) == AV_NOPTS_VALUE) {
                    av_frame_unref(current.get()); // a frame without a time cannot answer a request
                    continue;
                }
                cursorSeconds = secondsOf(timestampOf(current.get()));
                return true;
            }
            if (received != AVERROR(EAGAIN) || demuxerEnded) return false;
            if (av_read_frame(format, packet.get()) < 0) {
                demuxerEnded = true;
                avcodec_send_packet(codec, nullptr); // drain the frames the decoder still holds
                continue;
            }
            if (packet->stream_index == stream->index)
                avcodec_send_packet(codec, packet.get()); // a damaged packet is skipped
            av_packet_unref(packet.get());
        }
    }

    bool seekTo(double seconds) {
        pending = false;
        av_frame_unref(current.get());
        if (av_seek_frame(format, stream->index, ticksOf(seconds), AVSEEK_FLAG_BACKWARD) < 0) return false;
        avcodec_flush_buffers(codec);
        demuxerEnded = false;
        cursorSeconds = -std::numeric_limits<double>::infinity();
        return true;
    }

    // True when a key frame at or before `seconds` lies well beyond the decoded position. The
    // index counts in decoding order while seeking may shift by the reordering delay of a few
    // frames, so the key frame looked for lies a margin before `seconds`: seeking to `seconds`
    // then lands on it (or a later one), not on the one before.
    bool keyFrameAheadOfCursor(double seconds) {
        const AVIndexEntry* key = avformat_index_get_entry_from_timestamp(
            stream, ticksOf(seconds - seekReorderMarginSeconds), AVSEEK_FLAG_BACKWARD);
        return key && secondsOf(key->timestamp) > cursorSeconds + seekAheadSeconds;
    }

    bool toGrey(const AVFrame* f, std::vector<uint8_t>& grey) {
        scaler = sws_getCachedContext(scaler, f->width, f->height, AVPixelFormat(f->format), width, height,
                                      AV_PIX_FMT_GRAY8, SWS_AREA, nullptr, nullptr, nullptr);
        if (!scaler) return false;
        uint8_t* planes[4] = {greyBuffer, nullptr, nullptr, nullptr};
        int lines[4] = {greyLineBytes, 0, 0, 0};
        if (sws_scale(scaler, f->data, f->linesize, 0, f->height, planes, lines) != height) return false;
        grey.resize(size_t(width) * height);
        for (int y = 0; y < height; ++y)
            std::copy_n(greyBuffer + size_t(y) * greyLineBytes, width, grey.data() + size_t(y) * width);
        return true;
    }

    bool frameNear(double t, double tolerance, std::vector<uint8_t>& grey) {
        const double earliest = t - tolerance;
        const double latest = t + tolerance;
        if (cursorSeconds > t + sameMomentSeconds) {
            // Already past the moment: the frame waiting may still do; otherwise go back.
            if (pending && cursorSeconds <= latest) {
                pending = false;
                return toGrey(current.get(), grey);
            }
            if (!seekTo(latest)) return false;
        } else if (keyFrameAheadOfCursor(latest) && !seekTo(latest)) {
            return false;
        }

        // The picture shown at t is the last frame starting at or before t; when there is none
        // within the tolerance, the first one after t will do.
        av_frame_unref(candidate.get());
        bool haveCandidate = false;
        for (;;) {
            if (!pending && !decodeNext()) break;
            pending = false;
            if (cursorSeconds < earliest) {
                av_frame_unref(current.get());
                continue;
            }
            if (cursorSeconds <= t + sameMomentSeconds) {
                av_frame_unref(candidate.get());
                av_frame_move_ref(candidate.get(), current.get());
                haveCandidate = true;
                continue;
            }
            // The first frame after t: keep it for the next request.
            pending = true;
            if (haveCandidate) break;
            if (cursorSeconds <= latest) {
                pending = false;
                return toGrey(current.get(), grey);
            }
            return false;
        }
        return haveCandidate && toGrey(candidate.get(), grey);
    }
};

VideoThumbnails::VideoThumbnails(const QString& videoPath, int widthPixels, int heightPixels)
    : d(std::make_unique<Decoder>()) {
    d->width = widthPixels;
    d->height = heightPixels;
    if (!d->open(videoPath)) d.reset();
}

VideoThumbnails::~VideoThumbnails() = default;

bool VideoThumbnails::isOpen() const {
    return d != nullptr;
}

std::optional<double> VideoThumbnails::durationSeconds() const {
    if (!d) return std::nullopt;
    if (d->stream->duration != AV_NOPTS_VALUE && d->stream->duration > 0)
        return double(d->stream->duration) * av_q2d(d->stream->time_base);
    if (d->format->duration != AV_NOPTS_VALUE && d->format->duration > 0)
        return double(d->format->duration) / AV_TIME_BASE;
    return std::nullopt;
}

bool VideoThumbnails::greyFrameNear(double atSeconds, double toleranceSeconds, std::vector<uint8_t>& grey) {
    return d && std::isfinite(atSeconds) && d->frameNear(atSeconds, toleranceSeconds, grey);
}

} // namespace ombrel
