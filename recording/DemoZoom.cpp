#include "recording/DemoZoom.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent>
#include <algorithm>
#include <cmath>

namespace ombrel::DemoZoom {

namespace {

QString avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

Outcome<bool> failed(const QString& why) {
    return Outcome<bool>::fail(Failure::Permanent, why);
}

// The ripple colour (0.43, 0.55, 1.0) in the video's limited-range BT.601 YUV.
constexpr double rippleRed = 0.43, rippleGreen = 0.55, rippleBlue = 1.0;
const double rippleY = 16 + 65.481 * rippleRed + 128.553 * rippleGreen + 24.966 * rippleBlue;
const double rippleU = 128 - 37.797 * rippleRed - 74.203 * rippleGreen + 112.0 * rippleBlue;
const double rippleV = 128 + 112.0 * rippleRed - 93.786 * rippleGreen - 18.214 * rippleBlue;

// Blends the ripple into a YUV 4:2:0 picture, centred on `centre` (pixels, top-left origin).
void drawRipple(AVFrame* f, QPointF centre, double progress) {
    const RippleLook look = rippleLook(progress, f->width);
    if (look.opacity <= 0 || look.outerRadius <= 0) return;
    const auto blendPlane = [&](int plane, int step, double target) {
        const int w = f->width / step;
        const int h = f->height / step;
        const double cx = centre.x() / step;
        const double cy = centre.y() / step;
        const double reach = look.outerRadius / step;
        const int x0 = std::max(0, int(std::floor(cx - reach)));
        const int x1 = std::min(w - 1, int(std::ceil(cx + reach)));
        const int y0 = std::max(0, int(std::floor(cy - reach)));
        const int y1 = std::min(h - 1, int(std::ceil(cy + reach)));
        for (int y = y0; y <= y1; ++y) {
            uint8_t* row = f->data[plane] + qsizetype(y) * f->linesize[plane];
            for (int x = x0; x <= x1; ++x) {
                const double distance = std::hypot(x + 0.5 - cx, y + 0.5 - cy) * step;
                const double a = rippleOpacity(look, distance);
                if (a > 0) row[x] = uint8_t(std::lround(row[x] + (target - row[x]) * a));
            }
        }
    };
    blendPlane(0, 1, rippleY);
    blendPlane(1, 2, rippleU);
    blendPlane(2, 2, rippleV);
}

// The crop of a picture of W × H in whole pixels: even origin and size, so that the
// half-size colour planes are cut at the same place, and the picture's own shape.
QRect cropOf(QRectF shown, int W, int H) {
    if (shown.width() >= W - 1) return QRect(0, 0, W, H);
    int w = std::clamp(int(std::lround(shown.width() / 2)) * 2, 2, W);
    int h = std::clamp(int(std::lround(double(w) * H / W / 2)) * 2, 2, H);
    const int x = std::clamp(int(std::lround(shown.x() / 2)) * 2, 0, (W - w) & ~1);
    const int y = std::clamp(int(std::lround(shown.y() / 2)) * 2, 0, (H - h) & ~1);
    return QRect(x, y, w, h);
}

struct Job {
    AVFormatContext* input = nullptr;
    AVFormatContext* output = nullptr;
    AVCodecContext* decoder = nullptr;
    AVCodecContext* encoder = nullptr;
    SwsContext* toPlanar = nullptr; // pictures of other formats or odd sizes
    SwsContext* zoomer = nullptr;
    AVFrame* decoded = av_frame_alloc();
    AVFrame* planar = av_frame_alloc();
    AVFrame* zoomed = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    AVPacket* encodedPacket = av_packet_alloc();
    AVStream* inVideo = nullptr;
    AVStream* inAudio = nullptr;
    AVStream* outVideo = nullptr;
    AVStream* outAudio = nullptr;
    int width = 0, height = 0; // the output size: the source's, made even
    int64_t lastPts = AV_NOPTS_VALUE;
    QString failure;

    ~Job() {
        sws_freeContext(toPlanar);
        sws_freeContext(zoomer);
        av_frame_free(&decoded);
        av_frame_free(&planar);
        av_frame_free(&zoomed);
        av_packet_free(&packet);
        av_packet_free(&encodedPacket);
        avcodec_free_context(&decoder);
        avcodec_free_context(&encoder);
        avformat_close_input(&input);
        if (output) {
            if (output->pb) avio_closep(&output->pb);
            avformat_free_context(output);
        }
    }

    bool write(AVPacket* p) {
        const int status = av_interleaved_write_frame(output, p);
        if (status < 0) failure = QStringLiteral("Couldn't write the zoomed video: %1").arg(avError(status));
        return status >= 0;
    }

    bool encode(const AVFrame* frame) {
        int status = avcodec_send_frame(encoder, frame);
        if (status < 0 && status != AVERROR_EOF) {
            failure = QStringLiteral("The encoder refused a picture: %1").arg(avError(status));
            return false;
        }
        for (;;) {
            status = avcodec_receive_packet(encoder, encodedPacket);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
            if (status < 0) {
                failure = QStringLiteral("The encoder stopped: %1").arg(avError(status));
                return false;
            }
            av_packet_rescale_ts(encodedPacket, encoder->time_base, outVideo->time_base);
            encodedPacket->stream_index = outVideo->index;
            if (!write(encodedPacket)) return false;
        }
    }
};

bool newFrame(AVFrame* f, int w, int h) {
    f->format = AV_PIX_FMT_YUV420P;
    f->width = w;
    f->height = h;
    return av_frame_get_buffer(f, 0) >= 0;
}

} // namespace

RippleLook rippleLook(double progress, double width) {
    const double p = std::clamp(progress, 0.0, 1.0);
    const double outer = width * (0.012 + 0.03 * p);
    return {outer, 0.65 * outer, (1 - p) * 0.55};
}

double rippleOpacity(const RippleLook& look, double distance) {
    if (distance >= look.outerRadius) return 0;
    if (distance <= look.innerRadius) return look.opacity;
    return look.opacity * (look.outerRadius - distance) / (look.outerRadius - look.innerRadius);
}

QRectF sourceRect(const ZoomPlan& plan, double atSeconds, QSize pictureSize) {
    const QRectF yUp = plan.visibleRect(atSeconds, QSizeF(pictureSize));
    return QRectF(yUp.x(), pictureSize.height() - yUp.y() - yUp.height(), yUp.width(), yUp.height());
}

Outcome<bool> render(const ZoomPlan& plan, const QString& from, const QString& to, const Progress& progress) {
    av_log_set_level(AV_LOG_QUIET);
    Job job;
    if (!job.decoded || !job.planar || !job.zoomed || !job.packet || !job.encodedPacket)
        return failed(QStringLiteral("Out of memory."));
    const QByteArray source = from.toLocal8Bit();
    int status = avformat_open_input(&job.input, source.constData(), nullptr, nullptr);
    if (status < 0) return failed(QStringLiteral("Couldn't open %1: %2").arg(from, avError(status)));
    if ((status = avformat_find_stream_info(job.input, nullptr)) < 0)
        return failed(QStringLiteral("Couldn't read %1: %2").arg(from, avError(status)));
    const AVCodec* decoderCodec = nullptr;
    const int videoIndex = av_find_best_stream(job.input, AVMEDIA_TYPE_VIDEO, -1, -1, &decoderCodec, 0);
    if (videoIndex < 0 || !decoderCodec) return failed(QStringLiteral("%1 has no video.").arg(from));
    job.inVideo = job.input->streams[videoIndex];
    const int audioIndex = av_find_best_stream(job.input, AVMEDIA_TYPE_AUDIO, -1, videoIndex, nullptr, 0);
    job.inAudio = audioIndex >= 0 ? job.input->streams[audioIndex] : nullptr;

    job.decoder = avcodec_alloc_context3(decoderCodec);
    avcodec_parameters_to_context(job.decoder, job.inVideo->codecpar);
    job.decoder->thread_count = 0;
    if ((status = avcodec_open2(job.decoder, decoderCodec, nullptr)) < 0)
        return failed(QStringLiteral("Couldn't decode %1: %2").arg(from, avError(status)));
    job.width = job.decoder->width & ~1;
    job.height = job.decoder->height & ~1;
    if (job.width < 2 || job.height < 2) return failed(QStringLiteral("%1 has no pictures.").arg(from));

    // The result is written under a name of its own and takes its real name when complete.
    const QString partial = to + QStringLiteral(".part");
    const QByteArray partialName = partial.toLocal8Bit();
    if ((status = avformat_alloc_output_context2(&job.output, nullptr, "mp4", partialName.constData())) < 0)
        return failed(QStringLiteral("MPEG-4 files can't be written here: %1").arg(avError(status)));
    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264) h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!h264) return failed(QStringLiteral("No H.264 encoder is installed."));
    job.encoder = avcodec_alloc_context3(h264);
    job.encoder->width = job.width;
    job.encoder->height = job.height;
    job.encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    job.encoder->time_base = job.inVideo->time_base;
    const AVRational rate =
        job.inVideo->avg_frame_rate.num > 0 ? job.inVideo->avg_frame_rate : AVRational{30, 1};
    job.encoder->framerate = rate;
    job.encoder->gop_size = std::max(1, int(2 * av_q2d(rate)));
    job.encoder->thread_count = 0;
    // superfast: the camera moves the whole picture in most frames, which makes the slower
    // presets' motion search the bulk of the work; this one renders a minute of 1080p in
    // well under half a minute on two cores, at a quality that suits screen content.
    av_opt_set(job.encoder->priv_data, "preset", "superfast", 0);
    av_opt_set_int(job.encoder->priv_data, "crf", 20, 0);
    if (job.output->oformat->flags & AVFMT_GLOBALHEADER) job.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((status = avcodec_open2(job.encoder, h264, nullptr)) < 0)
        return failed(QStringLiteral("The H.264 encoder didn't start: %1").arg(avError(status)));
    job.outVideo = avformat_new_stream(job.output, nullptr);
    avcodec_parameters_from_context(job.outVideo->codecpar, job.encoder);
    job.outVideo->time_base = job.encoder->time_base;
    if (job.inAudio) {
        job.outAudio = avformat_new_stream(job.output, nullptr);
        avcodec_parameters_copy(job.outAudio->codecpar, job.inAudio->codecpar);
        job.outAudio->codecpar->codec_tag = 0;
        job.outAudio->time_base = job.inAudio->time_base;
    }
    if ((status = avio_open(&job.output->pb, partialName.constData(), AVIO_FLAG_WRITE)) < 0)
        return failed(QStringLiteral("Couldn't create %1: %2").arg(partial, avError(status)));
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "faststart", 0); // players can start before the end has arrived
    status = avformat_write_header(job.output, &options);
    av_dict_free(&options);
    if (status < 0) return failed(QStringLiteral("Couldn't start the zoomed video: %1").arg(avError(status)));
    if (!newFrame(job.zoomed, job.width, job.height)) return failed(QStringLiteral("Out of memory."));

    const double videoStart = job.inVideo->start_time == AV_NOPTS_VALUE ? 0 : double(job.inVideo->start_time);
    const double timeBase = av_q2d(job.inVideo->time_base);
    double duration = job.input->duration > 0 ? double(job.input->duration) / AV_TIME_BASE : 0;
    if (job.inVideo->duration > 0) duration = double(job.inVideo->duration) * timeBase;

    const auto zoomFrame = [&](AVFrame* frame) -> bool {
        const int64_t pts =
            frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
        if (pts == AV_NOPTS_VALUE || (job.lastPts != AV_NOPTS_VALUE && pts <= job.lastPts))
            return true; // a picture without a time of its own, or out of order: left out
        job.lastPts = pts;
        const double t = (double(pts) - videoStart) * timeBase;

        // Every picture in 4:2:0 at the output size, so the work below is the same for all.
        AVFrame* picture = frame;
        if (frame->format != AV_PIX_FMT_YUV420P || frame->width != job.width || frame->height != job.height) {
            job.toPlanar = sws_getCachedContext(job.toPlanar, frame->width, frame->height,
                                                AVPixelFormat(frame->format), job.width, job.height,
                                                AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
            av_frame_unref(job.planar);
            if (!job.toPlanar || !newFrame(job.planar, job.width, job.height)) {
                job.failure = QStringLiteral("The pictures of %1 can't be converted.").arg(from);
                return false;
            }
            sws_scale(job.toPlanar, frame->data, frame->linesize, 0, frame->height, job.planar->data,
                      job.planar->linesize);
            picture = job.planar;
        }

        // The ripple goes on before the zoom, so it is magnified with the picture.
        if (const auto ripple = plan.ripple(t, QSizeF(job.width, job.height))) {
            if (picture == frame && av_frame_make_writable(frame) < 0) { // the decoder may still refer to it
                job.failure = QStringLiteral("Out of memory.");
                return false;
            }
            const QPointF centre(ripple->pointPixelsYUp.x(), job.height - ripple->pointPixelsYUp.y());
            drawRipple(picture, centre, ripple->progress);
        }

        const QRect crop = cropOf(sourceRect(plan, t, QSize(job.width, job.height)), job.width, job.height);
        AVFrame* out = picture;
        if (crop.size() != QSize(job.width, job.height)) {
            job.zoomer =
                sws_getCachedContext(job.zoomer, crop.width(), crop.height(), AV_PIX_FMT_YUV420P, job.width,
                                     job.height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
            if (!job.zoomer || av_frame_make_writable(job.zoomed) < 0) {
                job.failure = QStringLiteral("The pictures can't be scaled.");
                return false;
            }
            const uint8_t* from[3] = {
                picture->data[0] + qsizetype(crop.y()) * picture->linesize[0] + crop.x(),
                picture->data[1] + qsizetype(crop.y() / 2) * picture->linesize[1] + crop.x() / 2,
                picture->data[2] + qsizetype(crop.y() / 2) * picture->linesize[2] + crop.x() / 2};
            sws_scale(job.zoomer, from, picture->linesize, 0, crop.height(), job.zoomed->data,
                      job.zoomed->linesize);
            out = job.zoomed;
        }
        out->pts = pts;
        out->pict_type = AV_PICTURE_TYPE_NONE;
        const bool ok = job.encode(out);
        if (progress && duration > 0) progress(std::clamp(t / duration, 0.0, 1.0));
        return ok;
    };

    const auto drainDecoder = [&]() -> bool {
        for (;;) {
            status = avcodec_receive_frame(job.decoder, job.decoded);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
            if (status < 0) return true; // a damaged picture is left out
            const bool ok = zoomFrame(job.decoded);
            av_frame_unref(job.decoded);
            if (!ok) return false;
        }
    };

    while ((status = av_read_frame(job.input, job.packet)) >= 0) {
        bool ok = true;
        if (job.packet->stream_index == job.inVideo->index) {
            avcodec_send_packet(job.decoder, job.packet); // a damaged packet is skipped
            ok = drainDecoder();
        } else if (job.inAudio && job.packet->stream_index == job.inAudio->index) {
            av_packet_rescale_ts(job.packet, job.inAudio->time_base, job.outAudio->time_base);
            job.packet->stream_index = job.outAudio->index;
            job.packet->pos = -1;
            ok = job.write(job.packet);
        }
        av_packet_unref(job.packet);
        if (!ok) break;
    }
    if (job.failure.isEmpty()) {
        avcodec_send_packet(job.decoder, nullptr);
        if (drainDecoder()) job.encode(nullptr);
    }
    if (job.failure.isEmpty() && job.lastPts == AV_NOPTS_VALUE)
        job.failure = QStringLiteral("No pictures could be read from %1.").arg(from);
    if (job.failure.isEmpty() && (status = av_write_trailer(job.output)) < 0)
        job.failure = QStringLiteral("Couldn't finish the zoomed video: %1").arg(avError(status));
    avio_closep(&job.output->pb);
    if (!job.failure.isEmpty()) {
        QFile::remove(partial);
        return failed(job.failure);
    }
    QFile::remove(to);
    if (!QFile::rename(partial, to)) {
        QFile::remove(partial);
        return failed(QStringLiteral("Couldn't name the zoomed video %1.").arg(to));
    }
    if (progress) progress(1.0);
    return Outcome<bool>::ok(true);
}

QFuture<Outcome<bool>> apply(ZoomPlan plan, QString from, QString to, Progress progress) {
    return QtConcurrent::run([plan = std::move(plan), from = std::move(from), to = std::move(to),
                              progress = std::move(progress)] { return render(plan, from, to, progress); });
}

} // namespace ombrel::DemoZoom
