#include "VideoPoster.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

#include <QTransform>
#include <cmath>
#include <memory>

namespace ombrel {

namespace {

struct Decoding {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    ~Decoding() {
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

// The rotation, in whole quarter turns clockwise, that the stream's display matrix asks for.
int quarterTurns(const AVStream* stream) {
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!matrix) return 0;
    const double degrees = -av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(degrees)) return 0;
    return ((int(std::lround(degrees / 90.0)) % 4) + 4) % 4;
}

} // namespace

QImage VideoPoster::firstFrame(const QString& path, QSize box) {
    Decoding d;
    if (!d.packet || !d.frame) return {};
    const QByteArray file = path.toLocal8Bit();
    if (avformat_open_input(&d.format, file.constData(), nullptr, nullptr) < 0) return {};
    if (avformat_find_stream_info(d.format, nullptr) < 0) return {};
    const AVCodec* decoder = nullptr;
    const int index = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (index < 0 || !decoder) return {};
    const AVStream* stream = d.format->streams[index];
    d.codec = avcodec_alloc_context3(decoder);
    if (!d.codec || avcodec_parameters_to_context(d.codec, stream->codecpar) < 0) return {};
    d.codec->thread_count = 1; // many posters are made side by side; one thread each
    if (avcodec_open2(d.codec, decoder, nullptr) < 0) return {};

    bool got = false;
    bool ended = false;
    while (!got) {
        const int received = avcodec_receive_frame(d.codec, d.frame);
        if (received == 0) {
            got = true;
            break;
        }
        if (received != AVERROR(EAGAIN) || ended) return {};
        if (av_read_frame(d.format, d.packet) < 0) {
            ended = true;
            avcodec_send_packet(d.codec, nullptr); // the decoder gives up what it holds
            continue;
        }
        if (d.packet->stream_index == index) avcodec_send_packet(d.codec, d.packet);
        av_packet_unref(d.packet);
    }
    if (d.frame->width <= 0 || d.frame->height <= 0) return {};

    const int turns = quarterTurns(stream);
    QSize shown(d.frame->width, d.frame->height);
    if (turns % 2) shown.transpose();
    const QSize fitted = shown.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    QSize decoded = turns % 2 ? fitted.transposed() : fitted;
    d.scaler =
        sws_getContext(d.frame->width, d.frame->height, AVPixelFormat(d.frame->format), decoded.width(),
                       decoded.height(), AV_PIX_FMT_RGB32, SWS_AREA, nullptr, nullptr, nullptr);
    if (!d.scaler) return {};
    QImage image(decoded, QImage::Format_RGB32);
    uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int lines[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(d.scaler, d.frame->data, d.frame->linesize, 0, d.frame->height, planes, lines) !=
        decoded.height())
        return {};
    if (turns) image = image.transformed(QTransform().rotate(90.0 * turns));
    return image;
}

} // namespace ombrel
