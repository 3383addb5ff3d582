// Speed and memory of saving an edited video: a 1920 × 1080 recording at 30 pictures a
// second with sound, cropped, with two notes and captions over its whole length, rendered
// by VideoRenderer. Prints seconds, the multiple of real time, and the memory in use at
// points through the export (flat when nothing grows with the video's length).
//   bench_video_render [SECONDS]     (default 60; OMBREL_BENCH_CLIP=FILE keeps the made clip)
#include "CpuTime.h"
#include "PageRecording.h"
#include "video/VideoRenderer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

using namespace ombrel;

namespace {

// The memory the process holds now (resident set), in MB.
double residentMB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    av_log_set_level(AV_LOG_QUIET);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 60.0;
    QTemporaryDir dir;
    QTextStream out(stdout);
    const QString source = benchRecording(dir.path(), seconds, out);
    if (source.isEmpty()) return 1;

    VideoEdit edit;
    edit.crop = QRectF(0.1, 0.08, 0.75, 0.8);
    VideoEdit::TextNote first;
    first.x = 0.15;
    first.y = 0.15;
    first.text = QStringLiteral("1. Open the page settings");
    first.duration = seconds;
    VideoEdit::TextNote second = first;
    second.x = 0.5;
    second.y = 0.6;
    second.text = QStringLiteral("2. Choose a layout, then press Save");
    second.style.background = QStringLiteral("None");
    second.style.color = QStringLiteral("Yellow");
    edit.notes = {first, second};
    QList<SpeechWord> words;
    for (double t = 0; t < seconds; t += 0.35)
        words.append({QStringLiteral("word%1").arg(words.size() % 7), t, 0.3});
    edit.captions = VideoEdit::captionsFrom(words);
    edit.captionStyle = CaptionStyle::looks().at(2); // a pill around the words, on a rounded face

    QList<double> memory;
    int nextTenth = 1;
    const auto progress = [&](double fraction) {
        if (fraction * 10 >= nextTenth) {
            memory.append(residentMB());
            ++nextTenth;
        }
    };
    const double before = residentMB();
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = cpuSeconds();
    const auto rendered = VideoRenderer::render(edit, source, dir.filePath("edited.mp4"), progress);
    const double renderSeconds = timer.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    if (!rendered) {
        out << "rendering failed: " << rendered.message() << '\n';
        return 1;
    }
    // On a shared machine the wall time depends on the other work; the processor time says
    // what the export needs: at most that long with one core of its own.
    out << "VideoRenderer: " << edit.captions.size()
        << " captions, 2 notes, crop to 1440x864: " << QString::number(renderSeconds, 'f', 2) << " s (CPU "
        << QString::number(cpu, 'f', 1) << " s) = " << QString::number(seconds / renderSeconds, 'f', 2)
        << "x real time, " << QString::number(seconds / cpu, 'f', 2) << "x on one free core\n";
    out << "memory (MB) before " << QString::number(before, 'f', 0) << ", at each tenth:";
    for (double m : memory)
        out << ' ' << QString::number(m, 'f', 0);
    out << '\n';
    return 0;
}
