// Speed of rendering the zoom camera into a 60-second 1920 × 1080 recording at 30 pictures
// a second: decoding, ripples, cropping, scaling and H.264 encoding (DemoZoom), and the whole
// finishing work of a zoomed recording (content map, plan, rendering). The recording is made
// first from drawn pictures of a page of text that scrolls, with a pointer that moves and
// clicks every few seconds. Prints seconds and the multiple of real time, and the processor
// time of the zoom's scaling alone for as many 1080p pictures: the bilinear resampler at the
// camera's fractional position, against FFmpeg's bilinear scaler on a crop at even pixels.
//   bench_demozoom_speed [SECONDS]     (default 60; OMBREL_BENCH_CLIP=FILE keeps the made clip)
#include "CpuTime.h"
#include "PageRecording.h"
#include "recording/ContentMap.h"
#include "recording/DemoZoom.h"
#include "recording/DemoZoomResample.h"
#include "recording/ZoomPlan.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

using namespace ombrel;

namespace {

// Processor seconds to zoom `count` 1920 × 1080 pictures by 1.8 with a camera gliding a
// third of a pixel a picture, by the resampler or by swscale on an even-pixel crop.
double scalingSeconds(int count, bool resampler) {
    AVFrame* source = av_frame_alloc();
    AVFrame* zoomed = av_frame_alloc();
    for (AVFrame* f : {source, zoomed}) {
        f->format = AV_PIX_FMT_YUV420P;
        f->width = 1920;
        f->height = 1080;
        av_frame_get_buffer(f, 0);
    }
    for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < (plane ? 540 : 1080); ++y)
            for (int x = 0; x < (plane ? 960 : 1920); ++x)
                source->data[plane][y * source->linesize[plane] + x] = uint8_t((x * 7 + y * 13) % 251);
    SwsContext* scaler = nullptr;
    const double before = cpuSeconds();
    for (int i = 0; i < count; ++i) {
        const QRectF shown(400 + i / 3.0, 200 + i / 5.0, 1920 / 1.8, 1080 / 1.8);
        if (resampler) {
            DemoZoom::resamplePicture(source, shown, zoomed);
            continue;
        }
        const int x = int(std::lround(shown.x() / 2)) * 2, y = int(std::lround(shown.y() / 2)) * 2;
        const int w = int(std::lround(shown.width() / 2)) * 2, h = int(std::lround(shown.height() / 2)) * 2;
        scaler = sws_getCachedContext(scaler, w, h, AV_PIX_FMT_YUV420P, 1920, 1080, AV_PIX_FMT_YUV420P,
                                      SWS_BILINEAR, nullptr, nullptr, nullptr);
        const uint8_t* from[3] = {source->data[0] + y * source->linesize[0] + x,
                                  source->data[1] + y / 2 * source->linesize[1] + x / 2,
                                  source->data[2] + y / 2 * source->linesize[2] + x / 2};
        sws_scale(scaler, from, source->linesize, 0, h, zoomed->data, zoomed->linesize);
    }
    const double spent = cpuSeconds() - before;
    sws_freeContext(scaler);
    av_frame_free(&source);
    av_frame_free(&zoomed);
    return spent;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    av_log_set_level(AV_LOG_QUIET);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 60.0;
    const QSize size(1920, 1080);
    QTemporaryDir dir;
    // OMBREL_BENCH_CLIP names a file to keep the made recording in between runs.
    const QString source = qEnvironmentVariableIsSet("OMBREL_BENCH_CLIP")
                               ? qEnvironmentVariable("OMBREL_BENCH_CLIP")
                               : dir.filePath("source.mp4");
    QTextStream out(stdout);

    // The pointer wanders between spots and clicks at each.
    std::vector<ZoomPlan::PointerSample> pointer;
    std::vector<ZoomPlan::Click> clicks;
    const auto pointerAt = [](double t) {
        const int spot = int(t / 5);
        const double x = 0.2 + 0.6 * std::fmod(spot * 0.37, 1.0);
        const double y = 0.2 + 0.6 * std::fmod(spot * 0.61, 1.0);
        return QPointF(x + 0.02 * std::sin(t * 2), y + 0.02 * std::cos(t * 3));
    };
    for (double t = 0; t < seconds; t += 0.05) {
        const QPointF p = pointerAt(t);
        pointer.push_back({t, p.x(), p.y()});
    }
    for (double t = 2; t < seconds; t += 5)
        clicks.push_back({t, pointerAt(t).x(), pointerAt(t).y()});

    if (!QFile::exists(source)) {
        QElapsedTimer made;
        made.start();
        const QString failure = makePageRecording(source, seconds, size, pointerAt);
        if (!failure.isEmpty()) {
            out << "couldn't make the recording: " << failure << '\n';
            return 1;
        }
        out << "made a " << seconds << " s 1920x1080 recording in " << made.elapsed() / 1000.0 << " s\n";
    }

    QElapsedTimer timer;
    timer.start();
    const std::optional<ContentMap> content = ContentMap::readNow(source, pointer, seconds);
    const double mapSeconds = timer.elapsed() / 1000.0;
    const ZoomPlan plan(clicks, pointer, {}, seconds, content ? &*content : nullptr);
    timer.restart();
    const double cpuBefore = cpuSeconds();
    const auto rendered = DemoZoom::render(plan, source, dir.filePath("zoomed.mp4"));
    const double renderSeconds = timer.elapsed() / 1000.0;
    const double renderCpu = cpuSeconds() - cpuBefore;
    if (!rendered) {
        out << "rendering failed: " << rendered.message() << '\n';
        return 1;
    }
    out << "content map " << QString::number(mapSeconds, 'f', 2) << " s; DemoZoom "
        << QString::number(renderSeconds, 'f', 2) << " s (CPU " << QString::number(renderCpu, 'f', 1)
        << " s) = " << QString::number(seconds / renderSeconds, 'f', 2) << "x real time; whole finish "
        << QString::number(mapSeconds + renderSeconds, 'f', 2)
        << " s = " << QString::number(seconds / (mapSeconds + renderSeconds), 'f', 2) << "x real time\n";
    const int pictures = int(seconds * 30);
    out << "scaling alone, " << pictures
        << " 1080p pictures zoomed 1.8: resampler at the fractional position CPU "
        << QString::number(scalingSeconds(pictures, true), 'f', 2)
        << " s; swscale bilinear on an even-pixel crop CPU "
        << QString::number(scalingSeconds(pictures, false), 'f', 2) << " s\n";
    return 0;
}
