// CPU used while recording the X display in $DISPLAY at up to 30 pictures a second with
// H.264 at the veryfast preset (no zoom, no sound): the whole recorder as the program runs
// it, X grabs, our own windows painted out, the pointer drawn, colour conversion and
// encoding. Prints the CPU time of this process per second of recording, as a percentage of
// one core. The X server's own work of copying the screen is not in it.
//   bench_recording_cpu [SECONDS]     (default 10; run through scripts/bench.sh)
#include "CpuTime.h"
#include "app/AppDelegate.h"
#include "platform/Platform.h"
#include "recording/ScreenRecorder.h"
#include "recording/VideoThumbnails.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

using namespace ombrel;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QTextStream(stderr) << "bench_recording_cpu needs an X display (scripts/bench.sh starts one).\n";
        return 2;
    }
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 10.0;
    Platform::install(makeNativePlatform());
    const QList<DisplayInfo> displays = Platform::screens().displays();
    if (displays.isEmpty()) return 2;
    QTemporaryDir dir;
    const QString output = dir.filePath("bench.mp4");
    ScreenRecorder recorder(false, dir.filePath("ombrel-recording-bench.mp4"), output);
    QTextStream out(stdout);
    double cpuAtStart = 0;
    double cpuAtEnd = 0;
    QElapsedTimer wall;
    recorder.onFinish = [&](std::optional<QString> file, const QString& error) {
        cpuAtEnd = cpuSeconds();
        if (!file) {
            out << "recording failed: " << error << '\n';
            QApplication::exit(1);
            return;
        }
        QApplication::exit(0);
    };
    recorder.start(ScreenRecorder::Target::screen(displays.first()), false, [&](const QString& error) {
        if (!error.isEmpty()) {
            out << "couldn't start: " << error << '\n';
            QApplication::exit(1);
            return;
        }
        cpuAtStart = cpuSeconds();
        wall.start();
        QTimer::singleShot(int(seconds * 1000), &recorder, [&] { recorder.stop(); });
    });
    if (QApplication::exec() != 0) return 1;
    const double wallSeconds = wall.elapsed() / 1000.0;
    VideoThumbnails video(output, 16, 9);
    std::vector<uint8_t> grey;
    int pictures = 0;
    for (double t = 0; t < seconds; t += 1.0 / 30)
        pictures += video.greyFrameNear(t, 0.001, grey) ? 1 : 0;
    const QRect area = displays.first().globalRectPx;
    out << "recording " << area.width() << "x" << area.height() << " for "
        << QString::number(wallSeconds, 'f', 1) << " s (until the file was complete): " << pictures << " of "
        << int(seconds * 30) << " pictures at 30/s, "
        << "CPU " << QString::number(cpuAtEnd - cpuAtStart, 'f', 2)
        << " s = " << QString::number(100 * (cpuAtEnd - cpuAtStart) / seconds, 'f', 1)
        << " % of one core per second recorded\n";
    return 0;
}
