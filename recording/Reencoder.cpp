#include "recording/Reencoder.h"

#include "platform/PrivateFiles.h"
#include "recording/AvError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace ombrel {

namespace {

Outcome<bool> failed(const QString& why) {
    return Outcome<bool>::fail(Failure::Permanent, why);
}

struct Job {
    AVFormatContext* input = nullptr;
    AVFormatContext* output = nullptr;
    AVCodecContext* decoder = nullptr;
    AVCodecContext* encoder = nullptr;
    SwsContext* toPlanar = nullptr; // pictures of other formats or odd sizes
    AVFrame* decoded = av_frame_alloc();
    AVFrame* planar = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    AVPacket* encodedPacket = av_packet_alloc();
    AVStream* inVideo = nullptr;
    AVStream* outVideo = nullptr;
    std::vector<int> soundOut; // per input stream: its output stream, or −1
    int64_t lastPts = AV_NOPTS_VALUE;
    int64_t frameDuration = 0; // in the encoder's time base
    QString failure;

    ~Job() {
        sws_freeContext(toPlanar);
        av_frame_free(&decoded);
        av_frame_free(&planar);
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

    bool write(AVPacket* p, const QString& noun) {
        const int status = av_interleaved_write_frame(output, p);
        if (status < 0) failure = QStringLiteral("Couldn't write %1: %2").arg(noun, avError(status));
        return status >= 0;
    }

    bool encode(const AVFrame* frame, const QString& noun) {
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
            // The last picture lasts as long as the others, so the video keeps its whole length.
            if (encodedPacket->duration <= 0) encodedPacket->duration = frameDuration;
            av_packet_rescale_ts(encodedPacket, encoder->time_base, outVideo->time_base);
            encodedPacket->stream_index = outVideo->index;
            if (!write(encodedPacket, noun)) return false;
        }
    }
};

} // namespace

Outcome<bool> reencode(const QString& from, const QString& to, const Reencoding& how) {
    av_log_set_level(AV_LOG_QUIET);
    Job job;
    if (!job.decoded || !job.planar || !job.packet || !job.encodedPacket)
        return failed(QStringLiteral("Out of memory."));
    const QString name = QFileInfo(from).fileName();
    const QByteArray source = from.toLocal8Bit();
    int status = avformat_open_input(&job.input, source.constData(), nullptr, nullptr);
    if (status < 0) return failed(QStringLiteral("Couldn't open %1: %2").arg(from, avError(status)));
    if ((status = avformat_find_stream_info(job.input, nullptr)) < 0)
        return failed(QStringLiteral("Couldn't read %1: %2").arg(from, avError(status)));
    const AVCodec* decoderCodec = nullptr;
    const int videoIndex = av_find_best_stream(job.input, AVMEDIA_TYPE_VIDEO, -1, -1, &decoderCodec, 0);
    if (videoIndex < 0 || !decoderCodec) return failed(QStringLiteral("%1 has no video in it.").arg(name));
    job.inVideo = job.input->streams[videoIndex];

    job.decoder = avcodec_alloc_context3(decoderCodec);
    avcodec_parameters_to_context(job.decoder, job.inVideo->codecpar);
    job.decoder->thread_count = 0;
    if ((status = avcodec_open2(job.decoder, decoderCodec, nullptr)) < 0)
        return failed(QStringLiteral("Couldn't decode %1: %2").arg(from, avError(status)));
    // 4:2:0 pictures have whole colour samples only for even sizes.
    const QSize pictureSize(job.decoder->width & ~1, job.decoder->height & ~1);
    if (pictureSize.width() < 2 || pictureSize.height() < 2)
        return failed(QStringLiteral("%1 has no pictures.").arg(from));
    QString failure;
    const QSize outputSize = how.prepare ? how.prepare(pictureSize, failure) : pictureSize;
    if (outputSize.isEmpty()) return failed(failure);

    const QFileInfo target(to);
    const auto partialFile =
        PrivateFiles::makeFile(QLatin1Char('.') + target.fileName() + QLatin1Char('.'),
                               QStringLiteral(".part"), PrivateFiles::Size::Large, target.absolutePath());
    if (!partialFile)
        return failed(
            QStringLiteral("Couldn't write in %1: %2").arg(target.absolutePath(), partialFile.message()));
    const QString partial = partialFile.value();
    const auto fail = [&partial](const QString& why) {
        QFile::remove(partial);
        return failed(why);
    };
    const QByteArray partialName = partial.toLocal8Bit();
    if ((status = avformat_alloc_output_context2(&job.output, nullptr, "mp4", partialName.constData())) < 0)
        return fail(QStringLiteral("MPEG-4 files can't be written here: %1").arg(avError(status)));
    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (!h264) h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!h264) return fail(QStringLiteral("No H.264 encoder is installed."));
    job.encoder = avcodec_alloc_context3(h264);
    job.encoder->width = outputSize.width();
    job.encoder->height = outputSize.height();
    job.encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    job.encoder->time_base = job.inVideo->time_base;
    job.encoder->sample_aspect_ratio = job.decoder->sample_aspect_ratio;
    const AVRational rate =
        job.inVideo->avg_frame_rate.num > 0 ? job.inVideo->avg_frame_rate : AVRational{30, 1};
    job.encoder->framerate = rate;
    job.frameDuration = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), job.inVideo->time_base));
    job.encoder->gop_size = std::max(1, int(2 * av_q2d(rate)));
    job.encoder->thread_count = 0;
    // superfast: screen recordings are mostly sharp text, and with a moving camera the slower
    // presets' motion search is the bulk of the work; this one renders a minute of 1080p in
    // well under half a minute on two cores, at a quality that suits screen content.
    av_opt_set(job.encoder->priv_data, "preset", "superfast", 0);
    av_opt_set_int(job.encoder->priv_data, "crf", 20, 0);
    if (job.output->oformat->flags & AVFMT_GLOBALHEADER) job.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((status = avcodec_open2(job.encoder, h264, nullptr)) < 0)
        return fail(QStringLiteral("The H.264 encoder didn't start: %1").arg(avError(status)));
    job.outVideo = avformat_new_stream(job.output, nullptr);
    avcodec_parameters_from_context(job.outVideo->codecpar, job.encoder);
    job.outVideo->time_base = job.encoder->time_base;

    // The sound goes along as it is: the first track, or every one.
    job.soundOut.assign(job.input->nb_streams, -1);
    const int firstSound = av_find_best_stream(job.input, AVMEDIA_TYPE_AUDIO, -1, videoIndex, nullptr, 0);
    for (unsigned i = 0; i < job.input->nb_streams; ++i) {
        const AVStream* in = job.input->streams[i];
        if (in->codecpar->codec_type != AVMEDIA_TYPE_AUDIO || how.sound == Reencoding::Sound::none) continue;
        if (how.sound == Reencoding::Sound::first && int(i) != firstSound) continue;
        if (avformat_query_codec(job.output->oformat, in->codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1)
            return fail(QStringLiteral("The sound of %1 (%2) can't go into an MPEG-4 video.")
                            .arg(name, QString::fromUtf8(avcodec_get_name(in->codecpar->codec_id))));
        AVStream* out = avformat_new_stream(job.output, nullptr);
        avcodec_parameters_copy(out->codecpar, in->codecpar);
        out->codecpar->codec_tag = 0;
        out->time_base = in->time_base;
        job.soundOut[i] = out->index;
    }
    if ((status = avio_open(&job.output->pb, partialName.constData(), AVIO_FLAG_WRITE)) < 0)
        return fail(QStringLiteral("Couldn't create %1: %2").arg(partial, avError(status)));
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "faststart", 0); // players can start before the end has arrived
    status = avformat_write_header(job.output, &options);
    av_dict_free(&options);
    if (status < 0) return fail(QStringLiteral("Couldn't start %1: %2").arg(how.noun, avError(status)));

    const double videoStart = job.inVideo->start_time == AV_NOPTS_VALUE ? 0 : double(job.inVideo->start_time);
    const double timeBase = av_q2d(job.inVideo->time_base);
    double duration = job.input->duration > 0 ? double(job.input->duration) / AV_TIME_BASE : 0;
    if (job.inVideo->duration > 0) duration = double(job.inVideo->duration) * timeBase;

    const auto handOver = [&](AVFrame* frame) -> bool {
        const int64_t pts =
            frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
        if (pts == AV_NOPTS_VALUE || (job.lastPts != AV_NOPTS_VALUE && pts <= job.lastPts))
            return true; // a picture without a time of its own, or out of order: left out
        job.lastPts = pts;
        const double t = (double(pts) - videoStart) * timeBase;

        // Every picture in 4:2:0 at the even size, so the work on it is the same for all.
        AVFrame* picture = frame;
        if (frame->format != AV_PIX_FMT_YUV420P || frame->width != pictureSize.width() ||
            frame->height != pictureSize.height()) {
            job.toPlanar = sws_getCachedContext(
                job.toPlanar, frame->width, frame->height, AVPixelFormat(frame->format), pictureSize.width(),
                pictureSize.height(), AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
            av_frame_unref(job.planar);
            job.planar->format = AV_PIX_FMT_YUV420P;
            job.planar->width = pictureSize.width();
            job.planar->height = pictureSize.height();
            if (!job.toPlanar || av_frame_get_buffer(job.planar, 0) < 0) {
                job.failure = QStringLiteral("The pictures of %1 can't be converted.").arg(from);
                return false;
            }
            sws_scale(job.toPlanar, frame->data, frame->linesize, 0, frame->height, job.planar->data,
                      job.planar->linesize);
            picture = job.planar;
        }
        AVFrame* out = how.eachPicture ? how.eachPicture(picture, t, job.failure) : picture;
        if (!out) return false;
        out->pts = pts;
        out->pict_type = AV_PICTURE_TYPE_NONE;
        const bool ok = job.encode(out, how.noun);
        if (how.progress && duration > 0) how.progress(std::clamp(t / duration, 0.0, 1.0));
        return ok;
    };

    const auto drainDecoder = [&]() -> bool {
        for (;;) {
            status = avcodec_receive_frame(job.decoder, job.decoded);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
            if (status < 0) return true; // a damaged picture is left out
            const bool ok = handOver(job.decoded);
            av_frame_unref(job.decoded);
            if (!ok) return false;
        }
    };

    while ((status = av_read_frame(job.input, job.packet)) >= 0) {
        bool ok = true;
        const int index = job.packet->stream_index;
        if (index == job.inVideo->index) {
            avcodec_send_packet(job.decoder, job.packet); // a damaged packet is skipped
            ok = drainDecoder();
        } else if (index >= 0 && size_t(index) < job.soundOut.size() && job.soundOut[index] >= 0) {
            AVStream* out = job.output->streams[job.soundOut[index]];
            av_packet_rescale_ts(job.packet, job.input->streams[index]->time_base, out->time_base);
            job.packet->stream_index = out->index;
            job.packet->pos = -1;
            ok = job.write(job.packet, how.noun);
        }
        av_packet_unref(job.packet);
        if (!ok) break;
    }
    if (job.failure.isEmpty()) {
        avcodec_send_packet(job.decoder, nullptr);
        if (drainDecoder()) job.encode(nullptr, how.noun);
    }
    if (job.failure.isEmpty() && job.lastPts == AV_NOPTS_VALUE)
        job.failure = QStringLiteral("No pictures could be read from %1.").arg(from);
    if (job.failure.isEmpty() && (status = av_write_trailer(job.output)) < 0)
        job.failure = QStringLiteral("Couldn't finish %1: %2").arg(how.noun, avError(status));
    if (job.output->pb && (status = avio_closep(&job.output->pb)) < 0 && job.failure.isEmpty())
        job.failure = QStringLiteral("Couldn't finish %1: %2").arg(how.noun, avError(status));
    if (!job.failure.isEmpty()) return fail(job.failure);
    const QString moved = PrivateFiles::moveFile(partial, to);
    if (!moved.isEmpty()) return fail(moved);
    if (how.progress) how.progress(1.0);
    return Outcome<bool>::ok(true);
}

} // namespace ombrel
