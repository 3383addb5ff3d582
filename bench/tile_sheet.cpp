// How long "Crop into Tiles" takes on a 2400 × 1350 screenshot with 12 marks and a blur
// box: cutting the pieces out of the flattened picture and laying out the sheet, and the
// whole command as the editor runs it (pieces, sheet and the sheet page's mark-up with its
// heavy blur). Target: 150 ms.
#include "ScreenshotFrame.h"
#include "editor/TileSheet.h"
#include "markup/MarkupRender.h"

#include <QApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

using namespace ombrel;

namespace {

Markup marked() {
    const QImage image = textRowsScreenshot();
    static const std::optional<QImage> blurred = MarkupRender::heavyBlur(image);
    Markup markup(image, blurred, QColor(255, 59, 48));
    // Marks of many sizes, one wider than a card and one taller than the height limit.
    for (int i = 0; i < 10; ++i)
        markup.boxes.append(
            Markup::Box(QRectF(60 + (i % 5) * 470, 140 + (i / 5) * 480, 180 + i * 25, 90 + i * 15),
                        QStringLiteral("Comment %1 on this part").arg(i + 1)));
    markup.boxes.append(Markup::Box(QRectF(100, 1000, 1600, 300), QStringLiteral("The whole footer")));
    markup.boxes.append(Markup::Box(QRectF(2000, 100, 350, 1200), QStringLiteral("The side bar")));
    markup.boxes.append(Markup::Box(QRectF(900, 600, 500, 80), {}, true));
    return markup;
}

void BM_TilesAndSheet(benchmark::State& state) {
    const Markup markup = marked();
    for (auto _ : state) {
        const auto sheet = TileSheet::render(TileSheet::tiles(markup));
        benchmark::DoNotOptimize(sheet);
    }
}

void BM_CropIntoTiles(benchmark::State& state) {
    const Markup markup = marked();
    QSize size;
    for (auto _ : state) {
        const QList<TileSheet::Tile> pieces = TileSheet::tiles(markup);
        const auto sheet = TileSheet::render(pieces);
        const Markup page = TileSheet::sheetMarkup(*sheet, pieces, markup);
        size = page.imageSize();
        benchmark::DoNotOptimize(page);
    }
    state.counters["sheet_w"] = size.width();
    state.counters["sheet_h"] = size.height();
}

} // namespace

BENCHMARK(BM_TilesAndSheet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CropIntoTiles)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
