// Speed of planning the zoom camera of a ten-minute recording, and of reading the content map
// of a recorded video.
#include "recording/ContentMap.h"
#include "recording/ZoomPlan.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <random>

using namespace ombrel;

namespace {

constexpr double sessionSeconds = 600;

// Ten minutes of pointer samples at 60 per second: a random walk with pauses, about one click
// every 4 s and bursts of scrolling.
struct Session {
    std::vector<ZoomPlan::PointerSample> pointer;
    std::vector<ZoomPlan::Click> clicks;
    std::vector<double> scrolls;
};

const Session& session() {
    static const Session s = [] {
        Session out;
        std::mt19937 rng(42);
        std::uniform_real_distribution<double> unit(0, 1);
        double x = 0.5, y = 0.5, vx = 0, vy = 0;
        for (double t = 0; t < sessionSeconds; t += 1.0 / 60) {
            if (unit(rng) < 0.02) {
                const double speed = unit(rng) < 0.3 ? 0 : 1.5 * unit(rng);
                const double angle = 6.2832 * unit(rng);
                vx = speed * std::cos(angle);
                vy = speed * std::sin(angle);
            }
            x = std::clamp(x + vx / 60, 0.0, 1.0);
            y = std::clamp(y + vy / 60, 0.0, 1.0);
            out.pointer.push_back({t, x, y});
            if (unit(rng) < 1.0 / 240) out.clicks.push_back({t, x, y});
            if (unit(rng) < 1.0 / 120) out.scrolls.push_back(t);
        }
        return out;
    }();
    return s;
}

// 240 grids, one every 2.5 s, with a few blocks of content each.
const ContentMap& contentMap() {
    static const ContentMap map = [] {
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> unit(0, 1);
        std::vector<std::pair<double, ContentMap::Cells>> grids;
        for (int i = 0; i < 240; ++i) {
            ContentMap::Cells cells{};
            for (int block = 0; block < 5; ++block) {
                const int r0 = int(unit(rng) * ContentMap::rows), c0 = int(unit(rng) * ContentMap::columns);
                for (int r = r0; r < std::min(ContentMap::rows, r0 + 2 + int(8 * unit(rng))); ++r)
                    for (int c = c0; c < std::min(ContentMap::columns, c0 + 3 + int(14 * unit(rng))); ++c)
                        cells[r * ContentMap::columns + c] = true;
            }
            grids.emplace_back(i * 2.5, cells);
        }
        return ContentMap(std::move(grids));
    }();
    return map;
}

void planTenMinutes(benchmark::State& state, bool withContent) {
    const Session& s = session();
    const ContentMap* content = withContent ? &contentMap() : nullptr;
    size_t frames = 0;
    for (auto _ : state) {
        ZoomPlan plan(s.clicks, s.pointer, s.scrolls, sessionSeconds, content);
        frames = plan.frames().size();
        benchmark::DoNotOptimize(plan.frames().data());
    }
    state.counters["frames"] = double(frames);
    state.counters["pointer_samples"] = double(s.pointer.size());
    state.counters["frames_per_s"] =
        benchmark::Counter(double(frames), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PlanTenMinutes(benchmark::State& state) {
    planTenMinutes(state, false);
}
void BM_PlanTenMinutesWithContentMap(benchmark::State& state) {
    planTenMinutes(state, true);
}
BENCHMARK(BM_PlanTenMinutes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanTenMinutesWithContentMap)->Unit(benchmark::kMillisecond);

void BM_CameraQueries(benchmark::State& state) {
    const Session& s = session();
    const ZoomPlan plan(s.clicks, s.pointer, s.scrolls, sessionSeconds, &contentMap());
    double t = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(plan.visibleRect(t, {1920, 1080}));
        t = t > sessionSeconds ? 0 : t + 0.0167;
    }
}
BENCHMARK(BM_CameraQueries);

QString runFfmpeg(const QStringList& arguments, const QString& path) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) return QString();
    const QString partial = path + QStringLiteral(".part.mp4");
    QProcess p;
    p.start(ffmpeg, QStringList{"-v", "error", "-y"} + arguments + QStringList{partial});
    if (!p.waitForFinished(1800000) || p.exitCode() != 0 || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        return QString();
    }
    return path;
}

// A recording made with the ffmpeg program, 1920 × 1080 at 30 frames per second, H.264 with a
// key frame every 250 frames: either a test pattern moving all over the picture (the worst case
// for decoding) or a still white screen with one small moving window (closer to a screen
// recording; one minute of it repeated). Made once and kept in the temporary folder for later runs.
QString recording(int seconds, bool screenLike) {
    const QString dir = QDir::tempPath() + QStringLiteral("/ombrel-bench-recordings");
    QDir().mkpath(dir);
    const QString path =
        dir + QStringLiteral("/%1-1080p30-%2s.mp4").arg(screenLike ? "screen" : "testsrc2").arg(seconds);
    if (QFile::exists(path)) return path;
    const QStringList encoding{"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p"};
    if (!screenLike)
        return runFfmpeg(
            QStringList{"-f", "lavfi", "-i", QStringLiteral("testsrc2=s=1920x1080:r=30:d=%1").arg(seconds)} +
                encoding,
            path);
    const QString minute = dir + QStringLiteral("/screen-1080p30-minute.mp4");
    if (!QFile::exists(minute) &&
        runFfmpeg(QStringList{"-f", "lavfi", "-i",
                              "color=c=white:s=1920x1080:r=30:d=60[bg];testsrc2=s=480x270:r=30:d=60[fg];"
                              "[bg][fg]overlay=x=300:y=200"} +
                      encoding,
                  minute)
            .isEmpty())
        return QString();
    return runFfmpeg({"-stream_loop", QString::number(seconds / 60 - 1), "-i", minute, "-c", "copy"}, path);
}

void readContentMap(benchmark::State& state, bool screenLike) {
    const int seconds = int(state.range(0));
    const QString path = recording(seconds, screenLike);
    if (path.isEmpty()) {
        state.SkipWithError("the ffmpeg program could not make a test recording");
        return;
    }
    int thumbnails = 0;
    double wallMs = 0;
    for (auto _ : state) {
        // Decoding runs on FFmpeg's own threads: measure by the wall clock.
        const auto start = std::chrono::steady_clock::now();
        const auto map = ContentMap::readNow(path, {}, double(seconds));
        wallMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        thumbnails = map ? map->sampleCount() : 0;
    }
    state.counters["thumbnails"] = thumbnails;
    state.counters["video_s"] = seconds;
    state.counters["ms_per_thumbnail"] = thumbnails ? wallMs / double(state.iterations()) / thumbnails : 0;
}

void BM_ReadContentMap(benchmark::State& state) {
    readContentMap(state, false);
}
void BM_ReadContentMapScreenLike(benchmark::State& state) {
    readContentMap(state, true);
}
BENCHMARK(BM_ReadContentMap)->Arg(60)->Arg(300)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_ReadContentMapScreenLike)->Arg(600)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
