#include "video/VideoRenderer.h"

#include "platform/Log.h"
#include "platform/PrivateFiles.h"
#include "video/CaptionPainter.h"
#include "video/VideoNotes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QtConcurrent>
#include <algorithm>
#include <cmath>
#include <vector>

namespace ombrel::VideoRenderer {

std::optional<QImage> noteImage(const VideoEdit::TextNote& note, double videoWidth) {
    if (note.text.isEmpty()) return std::nullopt;
    const NoteLayout laid = NoteLayout::make(note, videoWidth, NoteLayout::videoMinimum);
    const QSize size(int(std::ceil(laid.size.width())), int(std::ceil(laid.size.height())));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::nullopt;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    laid.paint(painter, QPointF(0, 0));
    return image;
}

QRect cropPixels(const std::optional<QRectF>& crop, QSize size) {
    const int W = size.width(), H = size.height();
    if (!crop) return QRect(0, 0, W, H);
    const auto even = [](double v) { return std::max(2, (int(std::trunc(v)) / 2) * 2); };
    const int width = even(crop->width() * W);
    const int height = even(crop->height() * H);
    const double x = std::min(std::max(crop->left() * W, 0.0), double(W - width));
    // Counted from the bottom as the picture's pixels are there, then turned to the top.
    const double fromBottom = std::min(std::max((1 - crop->bottom()) * H, 0.0), double(H - height));
    const int y = H - height - int(std::lround(fromBottom));
    return QRect(int(std::lround(x)), y, width, height);
}

namespace {

QString avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

Outcome<bool> failed(const QString& why) {
    return Outcome<bool>::fail(Failure::Permanent, why);
}

// A note or caption picture in the video's own colours (limited-range BT.601, 4:2:0),
// premultiplied by its opacity and placed in the picture, so blending it into a frame is one
// multiply-add per sample.
struct Overlay {
    double from = 0, until = 0;                  // shown while from <= t < until
    QRect area;                                  // in luma pixels, inside the picture; even origin and size
    std::vector<uint8_t> y, yKeep, u, v, uvKeep; // keep = 255 − opacity

    static Overlay make(const QImage& image, QPoint at, QSize picture, double from, double until) {
        Overlay o;
        o.from = from;
        o.until = until;
        const QRect wanted = QRect(at, image.size()).intersected(QRect(QPoint(0, 0), picture));
        const int x0 = wanted.left() & ~1, y0 = wanted.top() & ~1;
        const int x1 = std::min((wanted.right() + 2) & ~1, picture.width() & ~1);
        const int y1 = std::min((wanted.bottom() + 2) & ~1, picture.height() & ~1);
        if (wanted.isEmpty() || x1 <= x0 || y1 <= y0) return o;
        o.area = QRect(x0, y0, x1 - x0, y1 - y0);
        const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const int w = o.area.width(), h = o.area.height();
        o.y.assign(size_t(w) * h, 0); // fully transparent: nothing added, everything kept
        o.yKeep.assign(size_t(w) * h, 255);
        std::vector<double> sumU(size_t(w / 2) * (h / 2), 0), sumV(sumU.size(), 0), sumA(sumU.size(), 0);
        for (int row = 0; row < h; ++row) {
            const int sy = o.area.top() + row - at.y();
            for (int col = 0; col < w; ++col) {
                const int sx = o.area.left() + col - at.x();
                double r = 0, g = 0, b = 0, a = 0;
                if (sy >= 0 && sy < source.height() && sx >= 0 && sx < source.width()) {
                    const QRgb px = reinterpret_cast<const QRgb*>(source.constScanLine(sy))[sx];
                    a = qAlpha(px) / 255.0;
                    r = qRed(px) / 255.0;
                    g = qGreen(px) / 255.0;
                    b = qBlue(px) / 255.0;
                }
                const size_t i = size_t(row) * w + col;
                o.y[i] = uint8_t(std::lround(16 * a + 65.481 * r + 128.553 * g + 24.966 * b));
                o.yKeep[i] = uint8_t(std::lround(255 * (1 - a)));
                const size_t c = size_t(row / 2) * (w / 2) + col / 2;
                sumU[c] += 128 * a - 37.797 * r - 74.203 * g + 112.0 * b;
                sumV[c] += 128 * a + 112.0 * r - 93.786 * g - 18.214 * b;
                sumA[c] += a;
            }
        }
        o.u.resize(sumU.size());
        o.v.resize(sumU.size());
        o.uvKeep.resize(sumU.size());
        for (size_t c = 0; c < sumU.size(); ++c) {
            o.u[c] = uint8_t(std::clamp(std::lround(sumU[c] / 4), 0L, 255L));
            o.v[c] = uint8_t(std::clamp(std::lround(sumV[c] / 4), 0L, 255L));
            o.uvKeep[c] = uint8_t(std::lround(255 * (1 - sumA[c] / 4)));
        }
        return o;
    }

    bool isShown(double t) const { return !area.isEmpty() && from <= t && t < until; }

    static void blendPlane(uint8_t* plane, int lineSize, int x, int y, int w, int h, const uint8_t* add,
                           const uint8_t* keep) {
        for (int row = 0; row < h; ++row) {
            uint8_t* out = plane + qsizetype(y + row) * lineSize + x;
            const uint8_t* a = add + size_t(row) * w;
            const uint8_t* k = keep + size_t(row) * w;
            for (int col = 0; col < w; ++col) {
                if (k[col] == 255) continue;
                const unsigned v = a[col] + (unsigned(out[col]) * k[col] + 127) / 255;
                out[col] = uint8_t(std::min(v, 255u));
            }
        }
    }

    void blend(AVFrame* f) const {
        const int x = area.left(), y = area.top(), w = area.width(), h = area.height();
        blendPlane(f->data[0], f->linesize[0], x, y, w, h, this->y.data(), yKeep.data());
        blendPlane(f->data[1], f->linesize[1], x / 2, y / 2, w / 2, h / 2, u.data(), uvKeep.data());
        blendPlane(f->data[2], f->linesize[2], x / 2, y / 2, w / 2, h / 2, v.data(), uvKeep.data());
    }
};

struct Job {
    AVFormatContext* input = nullptr;
    AVFormatContext* output = nullptr;
    AVCodecContext* decoder = nullptr;
    AVCodecContext* encoder = nullptr;
    SwsContext* toPlanar = nullptr;
    AVFrame* decoded = av_frame_alloc();
    AVFrame* planar = av_frame_alloc();
    AVFrame* cropped = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    AVPacket* encodedPacket = av_packet_alloc();
    AVStream* inVideo = nullptr;
    AVStream* outVideo = nullptr;
    std::vector<int> audioOut; // per input stream: its output stream, or −1
    int64_t lastPts = AV_NOPTS_VALUE;
    int64_t frameDuration = 0; // in the encoder's time base
    QString failure;

    ~Job() {
        sws_freeContext(toPlanar);
        av_frame_free(&decoded);
        av_frame_free(&planar);
        av_frame_free(&cropped);
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
        if (status < 0) failure = QStringLiteral("Couldn't write the video: %1").arg(avError(status));
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
            // The last picture lasts as long as the others, so the video keeps its whole length.
            if (encodedPacket->duration <= 0) encodedPacket->duration = frameDuration;
            av_packet_rescale_ts(encodedPacket, encoder->time_base, outVideo->time_base);
            encodedPacket->stream_index = outVideo->index;
            if (!write(encodedPacket)) return false;
        }
    }
};

} // namespace

Outcome<bool> render(const VideoEdit& edit, const QString& from, const QString& to,
                     const Progress& progress) {
    av_log_set_level(AV_LOG_QUIET);
    Job job;
    if (!job.decoded || !job.planar || !job.cropped || !job.packet || !job.encodedPacket)
        return failed(QStringLiteral("Out of memory."));
    const QByteArray source = from.toLocal8Bit();
    int status = avformat_open_input(&job.input, source.constData(), nullptr, nullptr);
    if (status < 0) return failed(QStringLiteral("Couldn't open %1: %2").arg(from, avError(status)));
    if ((status = avformat_find_stream_info(job.input, nullptr)) < 0)
        return failed(QStringLiteral("Couldn't read %1: %2").arg(from, avError(status)));
    const AVCodec* decoderCodec = nullptr;
    const int videoIndex = av_find_best_stream(job.input, AVMEDIA_TYPE_VIDEO, -1, -1, &decoderCodec, 0);
    if (videoIndex < 0 || !decoderCodec)
        return failed(QStringLiteral("%1 has no video in it.").arg(QFileInfo(from).fileName()));
    job.inVideo = job.input->streams[videoIndex];

    job.decoder = avcodec_alloc_context3(decoderCodec);
    avcodec_parameters_to_context(job.decoder, job.inVideo->codecpar);
    job.decoder->thread_count = 0;
    if ((status = avcodec_open2(job.decoder, decoderCodec, nullptr)) < 0)
        return failed(QStringLiteral("Couldn't decode %1: %2").arg(from, avError(status)));
    const QSize S(job.decoder->width, job.decoder->height);
    if (S.width() < 2 || S.height() < 2) return failed(QStringLiteral("%1 has no pictures.").arg(from));
    // 4:2:0 pictures have whole colour samples only for even sizes: an odd last row or column goes.
    const QSize even(S.width() & ~1, S.height() & ~1);
    const QRect C = cropPixels(edit.crop, even);

    // Every note and caption picture, made once for the whole export.
    std::vector<Overlay> notes, captions;
    for (const VideoEdit::TextNote& note : edit.notes) {
        const std::optional<QImage> image = noteImage(note, C.width());
        if (!image) continue;
        const QPoint at(int(std::lround(note.x * S.width())), int(std::lround(note.y * S.height())));
        notes.push_back(Overlay::make(*image, at, even, note.time, note.time + note.duration));
    }
    for (const VideoEdit::Caption& caption : edit.captions) {
        if (caption.text.isEmpty()) continue;
        const auto picture = CaptionPainter::picture(caption.text, edit.captionStyle, C.size());
        if (!picture) continue;
        const QPoint at(C.left() + int(std::lround(picture->box.left())),
                        C.top() + int(std::lround(picture->box.top())));
        captions.push_back(
            Overlay::make(picture->image, at, even, caption.time, caption.time + caption.duration));
    }

    // The result is written under a hidden name beside its own and takes its name when complete.
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
    job.encoder->width = C.width();
    job.encoder->height = C.height();
    job.encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    job.encoder->time_base = job.inVideo->time_base;
    job.encoder->sample_aspect_ratio = job.decoder->sample_aspect_ratio;
    const AVRational rate =
        job.inVideo->avg_frame_rate.num > 0 ? job.inVideo->avg_frame_rate : AVRational{30, 1};
    job.encoder->framerate = rate;
    job.frameDuration = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), job.inVideo->time_base));
    job.encoder->gop_size = std::max(1, int(2 * av_q2d(rate)));
    job.encoder->thread_count = 0;
    // Screen recordings: mostly still pictures with sharp text. superfast keeps an export of
    // a minute of 1080p well above real time on two cores at a quality that suits them.
    av_opt_set(job.encoder->priv_data, "preset", "superfast", 0);
    av_opt_set_int(job.encoder->priv_data, "crf", 20, 0);
    if (job.output->oformat->flags & AVFMT_GLOBALHEADER) job.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((status = avcodec_open2(job.encoder, h264, nullptr)) < 0)
        return fail(QStringLiteral("The H.264 encoder didn't start: %1").arg(avError(status)));
    job.outVideo = avformat_new_stream(job.output, nullptr);
    avcodec_parameters_from_context(job.outVideo->codecpar, job.encoder);
    job.outVideo->time_base = job.encoder->time_base;

    // Every sound track goes along as it is, unless the edit mutes the video.
    job.audioOut.assign(job.input->nb_streams, -1);
    for (unsigned i = 0; i < job.input->nb_streams && !edit.isMuted; ++i) {
        const AVStream* in = job.input->streams[i];
        if (in->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
        if (avformat_query_codec(job.output->oformat, in->codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1)
            return fail(QStringLiteral("The sound of %1 (%2) can't go into an MPEG-4 video. Mute it to save "
                                       "the picture alone.")
                            .arg(QFileInfo(from).fileName(),
                                 QString::fromUtf8(avcodec_get_name(in->codecpar->codec_id))));
        AVStream* out = avformat_new_stream(job.output, nullptr);
        avcodec_parameters_copy(out->codecpar, in->codecpar);
        out->codecpar->codec_tag = 0;
        out->time_base = in->time_base;
        job.audioOut[i] = out->index;
    }
    if ((status = avio_open(&job.output->pb, partialName.constData(), AVIO_FLAG_WRITE)) < 0)
        return fail(QStringLiteral("Couldn't create %1: %2").arg(partial, avError(status)));
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "faststart", 0);
    status = avformat_write_header(job.output, &options);
    av_dict_free(&options);
    if (status < 0) return fail(QStringLiteral("Couldn't start the video: %1").arg(avError(status)));

    const double videoStart = job.inVideo->start_time == AV_NOPTS_VALUE ? 0 : double(job.inVideo->start_time);
    const double timeBase = av_q2d(job.inVideo->time_base);
    double duration = job.input->duration > 0 ? double(job.input->duration) / AV_TIME_BASE : 0;
    if (job.inVideo->duration > 0) duration = double(job.inVideo->duration) * timeBase;

    const auto renderFrame = [&](AVFrame* frame) -> bool {
        const int64_t pts =
            frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
        if (pts == AV_NOPTS_VALUE || (job.lastPts != AV_NOPTS_VALUE && pts <= job.lastPts))
            return true; // a picture without a time of its own, or out of order: left out
        job.lastPts = pts;
        const double t = (double(pts) - videoStart) * timeBase;

        AVFrame* picture = frame;
        if (frame->format != AV_PIX_FMT_YUV420P) {
            job.toPlanar = sws_getCachedContext(job.toPlanar, frame->width, frame->height,
                                                AVPixelFormat(frame->format), frame->width, frame->height,
                                                AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
            av_frame_unref(job.planar);
            job.planar->format = AV_PIX_FMT_YUV420P;
            job.planar->width = frame->width;
            job.planar->height = frame->height;
            if (!job.toPlanar || av_frame_get_buffer(job.planar, 0) < 0) {
                job.failure = QStringLiteral("The pictures of %1 can't be converted.").arg(from);
                return false;
            }
            sws_scale(job.toPlanar, frame->data, frame->linesize, 0, frame->height, job.planar->data,
                      job.planar->linesize);
            picture = job.planar;
        }
        if (picture->width < C.right() + 1 || picture->height < C.bottom() + 1) {
            job.failure = QStringLiteral("The pictures of %1 change size.").arg(from);
            return false;
        }

        // Notes in list order (later ones cover earlier ones), then the first caption shown.
        bool writable = picture != frame;
        const auto draw = [&](const Overlay& o) {
            if (!writable) { // the decoder may still refer to its picture
                if (av_frame_make_writable(picture) < 0) return false;
                writable = true;
            }
            o.blend(picture);
            return true;
        };
        bool ok = true;
        for (const Overlay& note : notes)
            if (ok && note.isShown(t)) ok = draw(note);
        const auto caption =
            std::find_if(captions.begin(), captions.end(), [t](const Overlay& o) { return o.isShown(t); });
        if (ok && caption != captions.end()) ok = draw(*caption);
        if (!ok) {
            job.failure = QStringLiteral("Out of memory.");
            return false;
        }

        // The crop refers into the picture: no copy is made.
        av_frame_unref(job.cropped);
        if (av_frame_ref(job.cropped, picture) < 0) {
            job.failure = QStringLiteral("Out of memory.");
            return false;
        }
        job.cropped->data[0] += qsizetype(C.top()) * picture->linesize[0] + C.left();
        job.cropped->data[1] += qsizetype(C.top() / 2) * picture->linesize[1] + C.left() / 2;
        job.cropped->data[2] += qsizetype(C.top() / 2) * picture->linesize[2] + C.left() / 2;
        job.cropped->width = C.width();
        job.cropped->height = C.height();
        job.cropped->pts = pts;
        job.cropped->pict_type = AV_PICTURE_TYPE_NONE;
        const bool encoded = job.encode(job.cropped);
        av_frame_unref(job.cropped);
        if (progress && duration > 0) progress(std::clamp(t / duration, 0.0, 1.0));
        return encoded;
    };

    const auto drainDecoder = [&]() -> bool {
        for (;;) {
            status = avcodec_receive_frame(job.decoder, job.decoded);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
            if (status < 0) return true; // a damaged picture is left out
            const bool ok = renderFrame(job.decoded);
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
        } else if (index >= 0 && size_t(index) < job.audioOut.size() && job.audioOut[index] >= 0) {
            AVStream* out = job.output->streams[job.audioOut[index]];
            av_packet_rescale_ts(job.packet, job.input->streams[index]->time_base, out->time_base);
            job.packet->stream_index = out->index;
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
        job.failure = QStringLiteral("Couldn't finish the video: %1").arg(avError(status));
    if (job.output->pb && (status = avio_closep(&job.output->pb)) < 0 && job.failure.isEmpty())
        job.failure = QStringLiteral("Couldn't finish the video: %1").arg(avError(status));
    if (!job.failure.isEmpty()) return fail(job.failure);
    const QString moved = PrivateFiles::moveFile(partial, to);
    if (!moved.isEmpty()) return fail(moved);
    if (progress) progress(1.0);
    return Outcome<bool>::ok(true);
}

QFuture<Outcome<bool>> exportVideo(VideoEdit edit, QString from, QString to, Progress progress) {
    return QtConcurrent::run([edit = std::move(edit), from = std::move(from), to = std::move(to),
                              progress = std::move(progress)] { return render(edit, from, to, progress); });
}

} // namespace ombrel::VideoRenderer
