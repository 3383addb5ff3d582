// How long the stitcher takes per frame of a full-HD window. Frames arrive every 0.3 s, so
// `add` must stay well below that on one core.
#include "longpage/ScrollStitcher.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

using ombrel::ScrollStitcher;

namespace {

constexpr int frameWidthPx = 1920;
constexpr int frameHeightPx = 1080;
constexpr int headerPx = 80;
constexpr int footerPx = 60;
constexpr int viewportPx = frameHeightPx - headerPx - footerPx;
constexpr int frameCount = 12;

// A page of text lines 24 px apart, as wide as the window.
QImage textPage(int heightPx, int widthPx = frameWidthPx) {
    static const char* words[] = {"stitch", "the",    "long", "page",  "window", "scroll", "frame",
                                  "header", "footer", "band", "shift", "quartz", "jumps",  "42"};
    std::mt19937 random(7);
    QImage page(widthPx, heightPx, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(16);
    painter.setFont(font);
    for (int topPx = 0; topPx + 24 <= heightPx; topPx += 24) {
        QString text;
        for (int i = 0, n = 4 + int(random() % 30); i < n; ++i)
            text += QLatin1String(words[random() % std::size(words)]) + QLatin1Char(' ');
        painter.drawText(12 + int(random() % 5) * 30, topPx + 18, text);
    }
    return page;
}

// What a `widthPx` × `heightPx` window shows at `count` scroll offsets `scrollPx` apart: a
// fixed header and footer around the scrolled page.
std::vector<QImage> windowFrames(int widthPx, int heightPx, int header, int footer, int count, int scrollPx) {
    const int viewport = heightPx - header - footer;
    const QImage page = textPage(viewport + scrollPx * count, widthPx);
    std::vector<QImage> shown;
    for (int i = 0; i < count; ++i) {
        QImage frame(widthPx, heightPx, QImage::Format_RGB32);
        frame.fill(QColor(0xdd, 0xe3, 0xea));
        QPainter painter(&frame);
        painter.drawImage(QPoint(0, header), page, QRect(0, i * scrollPx, widthPx, viewport));
        painter.fillRect(0, heightPx - footer, widthPx, footer, QColor(0x30, 0x34, 0x3a));
        shown.push_back(frame);
    }
    return shown;
}

std::vector<QImage> frames(int scrollPx) {
    return windowFrames(frameWidthPx, frameHeightPx, headerPx, footerPx, frameCount, scrollPx);
}

void BM_RowSignatures(benchmark::State& state) {
    const QImage frame = frames(0).front();
    for (auto _ : state)
        benchmark::DoNotOptimize(ScrollStitcher::rowSignatures(frame));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RowSignatures)->Unit(benchmark::kMillisecond);

// Adds frame after frame of a page scrolling down by `scrollPx` each time.
void BM_AddScrolledFrame(benchmark::State& state) {
    const int scrollPx = int(state.range(0));
    const std::vector<QImage> shown = frames(scrollPx);
    ScrollStitcher stitcher;
    std::size_t next = shown.size();
    for (auto _ : state) {
        if (next == shown.size()) {
            state.PauseTiming();
            stitcher = ScrollStitcher();
            stitcher.add(shown[0]);
            next = 1;
            state.ResumeTiming();
        }
        if (stitcher.add(shown[next++]) != scrollPx) state.SkipWithError("the scroll was not found");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddScrolledFrame)->Arg(40)->Arg(300)->Unit(benchmark::kMillisecond);

// The window did not move: the frame is compared and dropped.
void BM_AddStillFrame(benchmark::State& state) {
    const QImage frame = frames(0).front();
    ScrollStitcher stitcher;
    stitcher.add(frame);
    for (auto _ : state)
        benchmark::DoNotOptimize(stitcher.add(frame));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddStillFrame)->Unit(benchmark::kMillisecond);

// Assembling the final picture from a stitch of `frameCount` frames 300 rows apart.
void BM_Finished(benchmark::State& state) {
    ScrollStitcher stitcher;
    for (const QImage& frame : frames(300))
        stitcher.add(frame);
    for (auto _ : state)
        benchmark::DoNotOptimize(stitcher.finished());
    state.counters["rows"] = stitcher.height();
}
BENCHMARK(BM_Finished)->Unit(benchmark::kMillisecond);

// A whole long-page capture: 20 frames of a 1600 × 1000 window with a sticky header and
// footer, scrolled 600 rows each, stitched and assembled into the final picture.
void BM_WholeStitch20Frames(benchmark::State& state) {
    constexpr int count = 20;
    constexpr int scroll = 600;
    const std::vector<QImage> shown = windowFrames(1600, 1000, headerPx, footerPx, count, scroll);
    int rows = 0;
    for (auto _ : state) {
        ScrollStitcher stitcher;
        for (int i = 0; i < count; ++i) {
            const int added = stitcher.add(shown[std::size_t(i)]);
            if (i > 0 && added != scroll) {
                state.SkipWithError("a scroll was not found");
                break;
            }
        }
        const QImage picture = stitcher.finished();
        benchmark::DoNotOptimize(picture);
        rows = picture.height();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_WholeStitch20Frames)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for drawing the page
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
