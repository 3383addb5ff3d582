// How long the steps document of 20 screenshots of 2400 × 1350 takes (target: 2 s), and how
// large it is: writing the pages from pictures in memory, and the whole job as the share menu
// runs it (loading the PNG files a few at a time on every core while the pages are written). "process_cpu_s"
// counts the processor time of all threads, which a busy machine does not stretch as it does wall time.
#include "CpuTime.h"
#include "ScreenshotFrame.h"
#include "sending/StepsPDF.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <functional>

using namespace ombrel;

namespace {

constexpr int steps = 20;

// A screenshot of an application window full of text, a little different for every step.
QImage screenshot(int step) {
    if (QImage given = givenScreenshot(); !given.isNull()) return given;
    QImage image = emptyApplicationWindow().scaled(2400, 1350);
    QPainter p(&image);
    p.fillRect(0, 0, 2400, 60, QColor(45, 62, 80));
    QFont font("DejaVu Sans");
    font.setPixelSize(22);
    p.setFont(font);
    for (int row = 0; row < 38; ++row) {
        p.setPen(row % 7 == step % 7 ? QColor(20, 90, 200) : QColor(40, 40, 40));
        p.drawText(360 + (row % 2) * 980, 120 + (row / 2) * 60,
                   QStringLiteral("Step %1, row %2: a setting, its value and a link").arg(step + 1).arg(row));
    }
    p.fillRect(400 + step * 80, 900, 600, 260, QColor(255, 200 - step * 5, 120));
    return image;
}

QList<QImage> screenshots() {
    static const QList<QImage> images = [] {
        QList<QImage> out;
        for (int i = 0; i < steps; ++i)
            out.append(screenshot(i));
        return out;
    }();
    return images;
}

// Runs `write` (which writes the document to the path given) once per iteration.
void measure(benchmark::State& state, const QString& pdf, const std::function<bool(const QString&)>& write) {
    const double cpuBefore = cpuSeconds();
    for (auto _ : state)
        if (!write(pdf)) state.SkipWithError("not written");
    state.counters["process_cpu_s"] = (cpuSeconds() - cpuBefore) / double(state.iterations());
    state.counters["pdf_MB"] = double(QFileInfo(pdf).size()) / (1024 * 1024);
}

void BM_WriteStepsOf20Screenshots(benchmark::State& state) {
    QTemporaryDir dir;
    measure(state, dir.filePath("steps.pdf"), [images = screenshots()](const QString& pdf) {
        return StepsPDF::write(images, QStringLiteral("Steps"), pdf);
    });
}

void BM_MakeStepsFrom20PngFiles(benchmark::State& state) {
    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < steps; ++i) {
        files.append(dir.filePath(QStringLiteral("shot%1.png").arg(i)));
        screenshots()[i].save(files.last(), "PNG");
    }
    measure(state, dir.filePath("steps.pdf"), [files](const QString& pdf) {
        return StepsPDF::writeFiles(files, QStringLiteral("Steps"), pdf);
    });
}

} // namespace

BENCHMARK(BM_WriteStepsOf20Screenshots)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_MakeStepsFrom20PngFiles)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
