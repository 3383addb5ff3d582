// How long an element reading of a real application window takes through the accessibility
// bus (the reading's own limit is 2 s). Needs a desktop with the AT-SPI bus and the window's
// process and frame: OMBREL_BENCH_PID and OMBREL_BENCH_AREA="X Y W H" (scripts/bench.sh
// starts Chromium on a test page for it).
#include "platform/Platform.h"
#include "understanding/AccessibilityReader.h"

#include <QApplication>
#include <benchmark/benchmark.h>

using namespace ombrel;

namespace {

std::optional<AccessibilityReader::Source> source() {
    const qint32 pid = qEnvironmentVariableIntValue("OMBREL_BENCH_PID");
    const QStringList area =
        qEnvironmentVariable("OMBREL_BENCH_AREA").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (pid <= 0 || area.size() != 4) return std::nullopt;
    return AccessibilityReader::Source{
        pid, QRectF(area[0].toDouble(), area[1].toDouble(), area[2].toDouble(), area[3].toDouble())};
}

void elementReading(benchmark::State& state) {
    const auto from = source();
    if (!from) {
        state.SkipWithError("set OMBREL_BENCH_PID and OMBREL_BENCH_AREA");
        return;
    }
    const QSize size = from->screenFrame.size().toSize();
    qsizetype found = 0;
    for (auto _ : state)
        found = AccessibilityReader::elements(*from, size).size();
    state.counters["elements"] = double(found);
}
BENCHMARK(elementReading)->Unit(benchmark::kMillisecond)->Iterations(10);

void pageAddress(benchmark::State& state) {
    const auto from = source();
    if (!from) {
        state.SkipWithError("set OMBREL_BENCH_PID and OMBREL_BENCH_AREA");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(AccessibilityReader::pageAddresses(*from));
}
BENCHMARK(pageAddress)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Platform::install(makeNativePlatform());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
