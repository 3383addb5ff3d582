// Speed of rendering the zoom camera into a 60-second 1920 × 1080 recording at 30 pictures
// a second: decoding, ripples, cropping, scaling and H.264 encoding (DemoZoom), and the whole
// finishing work of a zoomed recording (content map, plan, rendering). The recording is made
// first from drawn pictures of a page of text that scrolls, with a pointer that moves and
// clicks every few seconds. Prints seconds and the multiple of real time.
//   bench_demozoom_speed [SECONDS]     (default 60; OMBREL_BENCH_CLIP=FILE keeps the made clip)
#include "CpuTime.h"
#include "PageRecording.h"
#include "recording/ContentMap.h"
#include "recording/DemoZoom.h"
#include "recording/ZoomPlan.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>

extern "C" {
#include <libavutil/log.h>
}

using namespace ombrel;

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
    return 0;
}
