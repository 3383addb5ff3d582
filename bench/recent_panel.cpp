// Opening the Recent panel over a library of 1,000 screenshots (1920 × 1080 PNG files):
//   shown_ms      from the request to the panel laid out and painted, thumbnails still
//                 placeholders (target: under 300 ms);
//   thumbs_ms     from the request to every tile in view showing its thumbnail (target: 1 s);
//   thumbs_cpu_ms the processor time all threads spent on that (what it costs on an idle machine);
//   *_MiB         thumbnail memory after scrolling through the whole list: the 60 newest,
//                 then a search that shows all 1,000 (bounded by the cache's limit);
// and the time a search takes to show its tiles, for a few and for all 1,000.
// Each round starts with no thumbnail in memory, and none on disk unless "kept_on_disk" (as
// after a restart of the program). Runs off screen unless QT_QPA_PLATFORM says otherwise;
// RECENT_BENCH_SIZE=0…3 picks the tile size (default 3, the most tiles in view).
#include "library/CaptureStore.h"
#include "library/RecentPanel.h"
#include "library/ThumbnailCache.h"
#include "platform/Defaults.h"
#include "platform/fake/FakePlatform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

using namespace ombrel;

namespace {

constexpr int libraryItems = 1000;

QImage screenLikePicture() {
    QImage image(1920, 1080, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(image.rect(), QColor(0x5a, 0x7f, 0xa8));
    for (int i = 0; i < 12; ++i) {
        const QRect window(60 + i * 110, 40 + i * 60, 700, 420);
        p.fillRect(window, QColor(240 - i * 8, 240, 245));
        for (int line = 0; line < 18; ++line)
            p.drawText(window.adjusted(12, 20 + line * 22, -12, 0),
                       QStringLiteral("Line %1 of some text in a window").arg(line));
    }
    return image;
}

// A library of screenshots, one every 20 minutes going back from now.
void makeLibrary(const QString& root) {
    const QString source = root + QStringLiteral("/source.png");
    screenLikePicture().save(source);
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < libraryItems; ++i) {
        const QDateTime when = now.addSecs(-1200 * (i + 1));
        const QString folder = CaptureStore::folder() + QLatin1Char('/') + CaptureStore::dateFolderName(when);
        QDir().mkpath(folder);
        const QString path = folder + QLatin1Char('/') + CaptureStore::baseName(FileKind::Image, when) +
                             QStringLiteral("_V%1.png").arg(i + 1);
        QFile::copy(source, path);
        QFile f(path);
        f.open(QIODevice::Append);
        f.setFileTime(when, QFileDevice::FileModificationTime);
    }
}

// CPU time of the whole process, every thread (the thumbnail workers too), in ms: unlike the
// wall clock it does not grow when other programs share the machine.
double processCpuMs() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return (use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1e3 +
           (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e3;
}

template <typename Done> bool waitUntil(Done done, int limitMs = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        // Sleeps until something happens (at most 2 ms): a busy loop here would take a core
        // from the thumbnail workers.
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Scrolls the list from top to bottom a screenful at a time, letting thumbnails arrive.
void scrollThrough(RecentPanel& panel) {
    QScrollBar* bar = panel.findChild<QScrollArea*>()->verticalScrollBar();
    for (int v = 0;; v += bar->pageStep()) {
        bar->setValue(v);
        QCoreApplication::processEvents();
        waitUntil([&] { return panel.visibleTilesWaiting() == 0; });
        if (v >= bar->maximum()) break;
    }
}

// state.range(0): 0 = nothing made before (no thumbnails in memory or on disk), 1 = after a
// restart of the program (the desktop's shared thumbnails kept on disk, none in memory).
void OpenRecentOverAThousandPictures(benchmark::State& state) {
    const bool keptOnDisk = state.range(0) == 1;
    double shownMs = 0, thumbsMs = 0, cpuMs = 0, visible = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ThumbnailCache::instance().clear();
        if (!keptOnDisk) QDir(ThumbnailCache::sharedFolder()).removeRecursively();
        auto panel = std::make_unique<RecentPanel>();
        QCoreApplication::processEvents();
        state.ResumeTiming();

        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = processCpuMs();
        panel->showBeside();
        panel->repaint(); // laid out and painted, placeholders in the tiles
        shownMs += clock.nsecsElapsed() / 1e6;
        if (!waitUntil([&] { return panel->visibleTiles() > 0 && panel->visibleTilesWaiting() == 0; }))
            state.SkipWithError("thumbnails did not arrive");
        thumbsMs += clock.nsecsElapsed() / 1e6;
        cpuMs += processCpuMs() - cpuBefore;
        visible += panel->visibleTiles();

        state.PauseTiming();
        panel.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    const double n = double(state.iterations());
    state.counters["shown_ms"] = shownMs / n;
    state.counters["thumbs_ms"] = thumbsMs / n;
    state.counters["thumbs_cpu_ms"] = cpuMs / n;
    state.counters["tiles_in_view"] = visible / n;
}
BENCHMARK(OpenRecentOverAThousandPictures)
    ->ArgName("kept_on_disk")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void ThumbnailMemoryAfterScrollingEverything(benchmark::State& state) {
    for (auto _ : state) {
        ThumbnailCache::instance().clear();
        QDir(ThumbnailCache::sharedFolder()).removeRecursively();
        RecentPanel panel;
        panel.showBeside();
        scrollThrough(panel);
        state.counters["newest60_MiB"] = ThumbnailCache::instance().costBytes() / 1048576.0;
        panel.searchField()->setText(QStringLiteral("image"));
        waitUntil([&] { return !panel.isBuilding(); });
        state.counters["search_tiles"] = double(panel.cells().size());
        scrollThrough(panel);
        state.counters["all1000_MiB"] = ThumbnailCache::instance().costBytes() / 1048576.0;
        state.counters["limit_MiB"] = ThumbnailCache::instance().limitBytes() / 1048576.0;
    }
}
BENCHMARK(ThumbnailMemoryAfterScrollingEverything)->Unit(benchmark::kMillisecond)->Iterations(1);

void SearchAThousandPicturesForAWord(benchmark::State& state) {
    RecentPanel panel;
    panel.showBeside();
    QCoreApplication::processEvents();
    bool flip = false;
    for (auto _ : state) {
        // Alternate between two words so every round really rebuilds the list.
        panel.searchField()->setText(flip ? QStringLiteral("monday") : QStringLiteral("tuesday"));
        QCoreApplication::processEvents();
        flip = !flip;
    }
    state.counters["found"] = double(panel.cells().size());
}
BENCHMARK(SearchAThousandPicturesForAWord)->Unit(benchmark::kMillisecond)->Iterations(10);

// A word that every picture matches: the list grows to 1,000 tiles.
void SearchThatFindsAllThousand(benchmark::State& state) {
    RecentPanel panel;
    panel.showBeside();
    QCoreApplication::processEvents();
    double allMs = 0;
    int tiles = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        panel.searchField()->setText(QStringLiteral("image"));
        panel.repaint(); // the first tiles shown
        state.PauseTiming();
        waitUntil([&] { return !panel.isBuilding(); });
        allMs += clock.nsecsElapsed() / 1e6;
        tiles = int(panel.cells().size());
        panel.searchField()->clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["all_tiles_ms"] = allMs / double(state.iterations());
    state.counters["tiles"] = tiles;
}
BENCHMARK(SearchThatFindsAllThousand)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    installFakePlatform(dir.filePath(QStringLiteral("trash")));
    Defaults::useFile(dir.filePath(QStringLiteral("settings.ini")));
    const int size = qEnvironmentVariableIsSet("RECENT_BENCH_SIZE")
                         ? qEnvironmentVariableIntValue("RECENT_BENCH_SIZE")
                         : 3;
    RecentTiles::setCurrent(RecentTileSize(std::clamp(size, 0, 3)));
    CaptureStore::setFolder(dir.filePath(QStringLiteral("Pictures/Ombrel Capture")));
    ThumbnailCache::setSharedFolder(dir.filePath(QStringLiteral("thumbnails")));
    makeLibrary(dir.path());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
