// Time from a capture request to PNG bytes on the X display in $DISPLAY:
//   grab+scale     the display read through the X server and scaled to at most 2400 pixels
//   grab+scale+png the same, then encoded as PNG (the work that runs off the GUI thread)
// Run it through scripts/bench.sh, which starts 1920 × 1080 and 5120 × 2880 desktops.
#include "app/ScreenGrab.h"
#include "platform/ImageScale.h"
#include "platform/Platform.h"

#include <QBuffer>
#include <QGuiApplication>
#include <benchmark/benchmark.h>

using namespace ombrel;

namespace {

DisplayInfo firstDisplay() {
    return Platform::screens().displays().value(0);
}

void GrabAndScale(benchmark::State& state) {
    const DisplayInfo display = firstDisplay();
    for (auto _ : state) {
        auto shot = grabDisplayNow(display);
        if (!shot) {
            state.SkipWithError("grab failed");
            break;
        }
        benchmark::DoNotOptimize(shot.value().image.constBits());
    }
    state.SetLabel(QStringLiteral("%1x%2")
                       .arg(display.globalRectPx.width())
                       .arg(display.globalRectPx.height())
                       .toStdString());
}

void GrabScaleAndEncode(benchmark::State& state) {
    const DisplayInfo display = firstDisplay();
    qint64 bytes = 0;
    for (auto _ : state) {
        auto shot = grabDisplayNow(display);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        shot.value().image.save(&buffer, "PNG");
        bytes = png.size();
    }
    state.counters["png_kB"] = double(bytes) / 1024.0;
}

// The parts on their own: reading the display at full size, and scaling a 5K picture.
void GrabOnly(benchmark::State& state) {
    const DisplayInfo display = firstDisplay();
    for (auto _ : state)
        benchmark::DoNotOptimize(Platform::screens().grabDisplay(display.id, display.globalRectPx.size()));
}

void Scale5120x2880To2400(benchmark::State& state) {
    QImage big(5120, 2880, QImage::Format_RGB32);
    for (int y = 0; y < big.height(); ++y)
        for (int x = 0; x < big.width(); ++x)
            big.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
    for (auto _ : state)
        benchmark::DoNotOptimize(scaledSmoothly(big, QSize(2400, 1350)));
}

BENCHMARK(GrabOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(Scale5120x2880To2400)->Unit(benchmark::kMillisecond);
BENCHMARK(GrabAndScale)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(GrabScaleAndEncode)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    Platform::install(makeNativePlatform());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Platform::uninstall();
    return 0;
}
