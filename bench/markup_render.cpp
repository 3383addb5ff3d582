// How long flattening a marked-up screenshot takes: a 2400 × 1350 picture with ten
// marks, one blur box and comments, for each note look. Also the one-off heavy blur.
#include "ScreenshotFrame.h"
#include "markup/MarkupRender.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

using namespace ombrel;

namespace {

Markup marked() {
    static const QImage image = textRowsScreenshot();
    static const std::optional<QImage> blurred = MarkupRender::heavyBlur(image);
    Markup markup(image, blurred, QColor(255, 59, 48));
    for (int i = 0; i < 10; ++i)
        markup.boxes.append(Markup::Box(
            QRectF(80 + (i % 5) * 460, 160 + (i / 5) * 520, 300, 120),
            QStringLiteral("Comment %1: look at this part of the screen").arg(i + 1), false, {}, {}, i % 5));
    markup.boxes.append(Markup::Box(QRectF(900, 600, 500, 80), {}, true, {}, {}, 0));
    markup.comment = QStringLiteral("Everything on this page after the update");
    markup.setAddress(QStringLiteral("https://example.com/settings"));
    return markup;
}

void pngDataWithLook(benchmark::State& state, NoteLook noteLook) {
    const Markup markup = marked();
    const MarkLook look{"System", "Auto", "Thin", noteLook};
    qint64 bytes = 0;
    for (auto _ : state) {
        auto png = MarkupRender::pngData(markup, look);
        bytes = png ? png->size() : 0;
        benchmark::DoNotOptimize(png);
    }
    state.counters["png_kB"] = double(bytes) / 1024;
}

void BM_PngDataList(benchmark::State& state) {
    pngDataWithLook(state, NoteLook::List);
}
void BM_PngDataSticky(benchmark::State& state) {
    pngDataWithLook(state, NoteLook::Sticky);
}
void BM_PngDataGlass(benchmark::State& state) {
    pngDataWithLook(state, NoteLook::Glass);
}

// Painting alone, as the finished bitmap without the PNG encoding.
void BM_FlattenList(benchmark::State& state) {
    const Markup markup = marked();
    const MarkLook look{"System", "Auto", "Thin", NoteLook::List};
    for (auto _ : state)
        benchmark::DoNotOptimize(MarkupRender::flattened(markup, look));
}

void BM_HeavyBlur(benchmark::State& state) {
    const QImage image = textRowsScreenshot();
    for (auto _ : state)
        benchmark::DoNotOptimize(MarkupRender::heavyBlur(image));
}

} // namespace

BENCHMARK(BM_PngDataList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngDataSticky)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngDataGlass)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlattenList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeavyBlur)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
