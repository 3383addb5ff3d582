#include "recording/RecordingWriter.h"

#include "recording/AvError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <mutex>

namespace ombrel {

namespace {

// Opens an encoder and gives it a stream of the file, whose parameters and time base are
// the encoder's. The FFmpeg status: negative when the encoder did not start or the stream
// could not be made.
int openEncoderStream(AVFormatContext* format, AVCodecContext* encoder, const AVCodec* codec,
                      AVStream** stream) {
    if (format->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int status = avcodec_open2(encoder, codec, nullptr); status < 0) return status;
    *stream = avformat_new_stream(format, nullptr);
    if (!*stream) return AVERROR(ENOMEM);
    avcodec_parameters_from_context((*stream)->codecpar, encoder);
    (*stream)->time_base = encoder->time_base;
    return 0;
}

} // namespace

struct RecordingWriter::Parts {
    Settings settings;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVAudioFifo* fifo = nullptr;
    AVPacket* videoPacket = nullptr;
    AVPacket* audioPacket = nullptr;
    bool headerWritten = false;
    bool finished = false;
    qint64 lastFrameIndex = -1;
    qint64 nextSoundPts = -1;
    QSize fittedFrom; // the picture size the letterbox below was worked out for
    QRect fitted;     // where pictures of that size go in the video, even-aligned

    std::mutex videoMutex; // the video encoder and its frame
    std::mutex audioMutex; // the audio encoder, its queue and frame
    std::mutex muxMutex;   // the file, and `failure`
    QString failure;

    ~Parts() {
        sws_freeContext(scaler);
        av_frame_free(&picture);
        av_frame_free(&sound);
        if (fifo) av_audio_fifo_free(fifo);
        av_packet_free(&videoPacket);
        av_packet_free(&audioPacket);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format) {
            if (format->pb && !(format->oformat->flags & AVFMT_NOFILE)) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    void fail(const QString& why) {
        std::lock_guard lock(muxMutex);
        if (failure.isEmpty()) failure = why;
    }
    bool failed() {
        std::lock_guard lock(muxMutex);
        return !failure.isEmpty();
    }

    // Sends `frame` (null: the end) and writes every packet the encoder gives back.
    bool encode(AVCodecContext* codec, AVStream* stream, AVPacket* packet, const AVFrame* frame) {
        int status = avcodec_send_frame(codec, frame);
        if (status < 0 && status != AVERROR_EOF) {
            fail(QStringLiteral("The encoder refused a picture: %1").arg(avError(status)));
            return false;
        }
        for (;;) {
            status = avcodec_receive_packet(codec, packet);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
            if (status < 0) {
                fail(QStringLiteral("The encoder stopped: %1").arg(avError(status)));
                return false;
            }
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            std::lock_guard lock(muxMutex);
            status = av_interleaved_write_frame(format, packet);
            if (status < 0) {
                if (failure.isEmpty())
                    failure = QStringLiteral("Couldn't write the recording: %1").arg(avError(status));
                return false;
            }
        }
    }

    void fitPicture(QSize from) {
        const int W = settings.videoSize.width();
        const int H = settings.videoSize.height();
        fittedFrom = from;
        if (from == settings.videoSize) {
            fitted = QRect(0, 0, W, H);
            return;
        }
        const double scale = std::min(double(W) / from.width(), double(H) / from.height());
        const int w = std::clamp(int(std::lround(from.width() * scale)) & ~1, 2, W);
        const int h = std::clamp(int(std::lround(from.height() * scale)) & ~1, 2, H);
        fitted = QRect(((W - w) / 2) & ~1, ((H - h) / 2) & ~1, w, h);
    }
};

RecordingWriter::RecordingWriter() : d(std::make_unique<Parts>()) {}
RecordingWriter::~RecordingWriter() = default;

Outcome<std::unique_ptr<RecordingWriter>> RecordingWriter::open(const QString& path,
                                                                const Settings& settings) {
    using Result = Outcome<std::unique_ptr<RecordingWriter>>;
    const auto failWith = [](const QString& why) { return Result::fail(Failure::Permanent, why); };
    if (settings.videoSize.isEmpty() || settings.videoSize.width() % 2 || settings.videoSize.height() % 2)
        return failWith(QStringLiteral("The video size must be even and not empty."));

    av_log_set_level(AV_LOG_QUIET); // the program keeps no log; FFmpeg need not talk either
    std::unique_ptr<RecordingWriter> writer(new RecordingWriter);
    Parts& p = *writer->d;
    p.settings = settings;
    const QByteArray file = path.toLocal8Bit();
    int status = avformat_alloc_output_context2(&p.format, nullptr, "mp4", file.constData());
    if (status < 0 || !p.format)
        return failWith(QStringLiteral("MPEG-4 files can't be written here: %1").arg(avError(status)));

    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264) h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!h264) return failWith(QStringLiteral("No H.264 encoder is installed."));
    p.video = avcodec_alloc_context3(h264);
    p.video->width = settings.videoSize.width();
    p.video->height = settings.videoSize.height();
    p.video->pix_fmt = AV_PIX_FMT_YUV420P;
    p.video->time_base = AVRational{1, settings.framesPerSecond};
    p.video->framerate = AVRational{settings.framesPerSecond, 1};
    p.video->gop_size = settings.framesPerSecond * settings.keyFrameSeconds;
    p.video->thread_count = 0;
    av_opt_set(p.video->priv_data, "preset", settings.preset, 0);
    av_opt_set_int(p.video->priv_data, "crf", settings.quality, 0);
    if ((status = openEncoderStream(p.format, p.video, h264, &p.videoStream)) < 0)
        return failWith(QStringLiteral("The H.264 encoder didn't start: %1").arg(avError(status)));

    if (settings.withSound) {
        const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!aac) return failWith(QStringLiteral("No AAC encoder is installed."));
        p.audio = avcodec_alloc_context3(aac);
        p.audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
        p.audio->sample_rate = soundRate;
        av_channel_layout_default(&p.audio->ch_layout, 1);
        p.audio->bit_rate = 96000;
        p.audio->time_base = AVRational{1, soundRate};
        if ((status = openEncoderStream(p.format, p.audio, aac, &p.audioStream)) < 0)
            return failWith(QStringLiteral("The AAC encoder didn't start: %1").arg(avError(status)));
        p.fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 1, soundRate);
        p.sound = av_frame_alloc();
        p.audioPacket = av_packet_alloc();
        if (!p.fifo || !p.sound || !p.audioPacket) return failWith(QStringLiteral("Out of memory."));
    }

    p.picture = av_frame_alloc();
    p.videoPacket = av_packet_alloc();
    if (!p.picture || !p.videoPacket) return failWith(QStringLiteral("Out of memory."));
    p.picture->format = AV_PIX_FMT_YUV420P;
    p.picture->width = settings.videoSize.width();
    p.picture->height = settings.videoSize.height();
    if (av_frame_get_buffer(p.picture, 0) < 0) return failWith(QStringLiteral("Out of memory."));

    if ((status = avio_open(&p.format->pb, file.constData(), AVIO_FLAG_WRITE)) < 0)
        return failWith(QStringLiteral("Couldn't create %1: %2").arg(path, avError(status)));
    // Fragments that begin at key frames, each written out whole as soon as it is complete.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
    p.format->flags |= AVFMT_FLAG_FLUSH_PACKETS;
    status = avformat_write_header(p.format, &options);
    av_dict_free(&options);
    if (status < 0)
        return failWith(QStringLiteral("Couldn't start the recording file: %1").arg(avError(status)));
    p.headerWritten = true;
    return Result::ok(std::move(writer));
}

bool RecordingWriter::addPicture(const QImage& picture, qint64 frameIndex) {
    Parts& p = *d;
    std::lock_guard lock(p.videoMutex);
    if (p.finished || p.failed() || picture.isNull() || frameIndex <= p.lastFrameIndex) return !p.failed();
    if (picture.size() != p.fittedFrom) p.fitPicture(picture.size());
    if (av_frame_make_writable(p.picture) < 0) {
        p.fail(QStringLiteral("Out of memory."));
        return false;
    }
    AVFrame* f = p.picture;
    if (p.fitted.size() != p.settings.videoSize) {
        // Black bars around a picture of another shape.
        for (int y = 0; y < f->height; ++y)
            std::memset(f->data[0] + y * f->linesize[0], 16, size_t(f->width));
        for (int plane = 1; plane <= 2; ++plane)
            for (int y = 0; y < f->height / 2; ++y)
                std::memset(f->data[plane] + y * f->linesize[plane], 128, size_t(f->width / 2));
    }
    QImage source = picture;
    if (source.format() != QImage::Format_RGB32 && source.format() != QImage::Format_ARGB32 &&
        source.format() != QImage::Format_ARGB32_Premultiplied)
        source = source.convertToFormat(QImage::Format_RGB32);
    p.scaler =
        sws_getCachedContext(p.scaler, source.width(), source.height(), AV_PIX_FMT_BGR0, p.fitted.width(),
                             p.fitted.height(), AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!p.scaler) {
        p.fail(QStringLiteral("The picture can't be converted for the video."));
        return false;
    }
    const uint8_t* src[4] = {source.constBits(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(source.bytesPerLine()), 0, 0, 0};
    const int x = p.fitted.x();
    const int y = p.fitted.y();
    uint8_t* dst[4] = {f->data[0] + y * f->linesize[0] + x, f->data[1] + (y / 2) * f->linesize[1] + x / 2,
                       f->data[2] + (y / 2) * f->linesize[2] + x / 2, nullptr};
    sws_scale(p.scaler, src, srcStride, 0, source.height(), dst, f->linesize);
    f->pts = frameIndex;
    p.lastFrameIndex = frameIndex;
    return p.encode(p.video, p.videoStream, p.videoPacket, f);
}

bool RecordingWriter::addSound(const float* samples, qsizetype count, double atSeconds) {
    Parts& p = *d;
    if (!p.audio) return true;
    std::lock_guard lock(p.audioMutex);
    if (p.finished || p.failed()) return !p.failed();
    if (p.nextSoundPts < 0) p.nextSoundPts = std::max<qint64>(0, std::llround(atSeconds * soundRate));
    void* planes[1] = {const_cast<float*>(samples)};
    if (av_audio_fifo_write(p.fifo, planes, int(count)) < int(count)) {
        p.fail(QStringLiteral("Out of memory."));
        return false;
    }
    const int frameSize = p.audio->frame_size > 0 ? p.audio->frame_size : 1024;
    while (av_audio_fifo_size(p.fifo) >= frameSize) {
        av_frame_unref(p.sound);
        p.sound->format = AV_SAMPLE_FMT_FLTP;
        p.sound->sample_rate = soundRate;
        av_channel_layout_default(&p.sound->ch_layout, 1);
        p.sound->nb_samples = frameSize;
        if (av_frame_get_buffer(p.sound, 0) < 0) {
            p.fail(QStringLiteral("Out of memory."));
            return false;
        }
        av_audio_fifo_read(p.fifo, reinterpret_cast<void**>(p.sound->data), frameSize);
        p.sound->pts = p.nextSoundPts;
        p.nextSoundPts += frameSize;
        if (!p.encode(p.audio, p.audioStream, p.audioPacket, p.sound)) return false;
    }
    return true;
}

Outcome<bool> RecordingWriter::finish() {
    Parts& p = *d;
    {
        std::scoped_lock lock(p.videoMutex, p.audioMutex);
        if (!p.finished) {
            p.finished = true;
            if (!p.failed()) p.encode(p.video, p.videoStream, p.videoPacket, nullptr);
            if (p.audio && !p.failed()) p.encode(p.audio, p.audioStream, p.audioPacket, nullptr);
            std::lock_guard mux(p.muxMutex);
            if (p.headerWritten) {
                const int status = av_write_trailer(p.format);
                if (status < 0 && p.failure.isEmpty())
                    p.failure = QStringLiteral("Couldn't finish the recording file: %1").arg(avError(status));
            }
            if (p.format->pb) avio_closep(&p.format->pb);
        }
    }
    const QString why = failure();
    return why.isEmpty() ? Outcome<bool>::ok(true) : Outcome<bool>::fail(Failure::Permanent, why);
}

QString RecordingWriter::failure() const {
    std::lock_guard lock(d->muxMutex);
    return d->failure;
}

} // namespace ombrel
