// How long the text readings of a full-HD screenshot take: the quick reading answers the
// find field first, the careful one feeds Auto-Blur. First the readings are timed beside the
// `tesseract` command on the same picture, in the same run: rounds alternate the command,
// the quick reading and the careful reading, and the medians are compared as ratios, since
// the load of a shared machine changes from minute to minute (OMBREL_BENCH_ROUNDS rounds,
// 5 by default; the command runs with one OpenMP thread, its fastest setting on a few
// cores). The process's peak memory follows. OMBREL_BENCH_PICTURE names a screenshot to
// read instead of the drawn one; OMBREL_BENCH_SAVE saves the drawn one.
#include "platform/Platform.h"
#include "platform/linux/OpenCvVision.h"
#include "understanding/PageReadings.h"
#include "understanding/TextFinder.h"

#include "ScreenshotFrame.h"
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

using ombrel::TextFinder::read;

namespace {

// A 1920 × 1080 application window: title bar, side bar, a page of paragraphs, a table
// and a button row, in the sizes a desktop uses.
const QImage& screenshot() {
    static const QImage shot = [] {
        if (const QImage given = givenScreenshot(); !given.isNull()) return given;
        QImage image = emptyApplicationWindow();
        QPainter p(&image);
        QFont ui(QStringLiteral("DejaVu Sans"));
        ui.setPixelSize(14);
        p.setFont(ui);
        p.setPen(QColor("#1f2328"));
        p.drawText(20, 30, QStringLiteral("Project settings — Ombrel Workspace"));
        const char* menu[] = {"Overview", "Issues",   "Pull requests", "Actions", "Projects", "Wiki",
                              "Security", "Insights", "Settings",      "Billing", "Members",  "Integrations"};
        for (int i = 0; i < 12; ++i)
            p.drawText(28, 92 + i * 36, QString::fromLatin1(menu[i]));
        QFont body(QStringLiteral("DejaVu Sans"));
        body.setPixelSize(15);
        p.setFont(body);
        const QString sentence = QStringLiteral(
            "The quick reading answers most searches, and the careful one finds what small text hides. ");
        int y = 100;
        for (int i = 0; i < 16; ++i, y += 30)
            p.drawText(300, y,
                       sentence +
                           QStringLiteral("Line %1 of the page, updated 2024-05-%2.").arg(i + 1).arg(i + 10));
        for (int r = 0; r < 8; ++r, y += 34) {
            p.drawRect(300, y - 22, 1500, 34);
            p.drawText(312, y, QStringLiteral("member%1@example.com").arg(r));
            p.drawText(700, y, r % 2 ? QStringLiteral("Editor") : QStringLiteral("Admin"));
            p.drawText(1000, y, QStringLiteral("Last seen %1 hours ago").arg(r + 2));
        }
        for (int b = 0; b < 4; ++b) {
            p.drawRoundedRect(300 + b * 180, y + 20, 160, 36, 6, 6);
            p.drawText(QRect(300 + b * 180, y + 20, 160, 36), Qt::AlignCenter,
                       QStringList{"Save changes", "Cancel", "Invite", "Export"}.at(b));
        }
        return image;
    }();
    return shot;
}

void quickReading(benchmark::State& state) {
    read(screenshot(), false); // loads the recogniser once, as a running program has
    for (auto _ : state)
        benchmark::DoNotOptimize(read(screenshot(), false));
}
BENCHMARK(quickReading)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void carefulReading(benchmark::State& state) {
    read(screenshot(), true);
    for (auto _ : state)
        benchmark::DoNotOptimize(read(screenshot(), true));
}
BENCHMARK(carefulReading)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// What the careful reading adds in the editor, where it takes the quick reading already made.
void carefulAfterQuick(benchmark::State& state) {
    const QList<ombrel::TextFinder::Line> quick = read(screenshot(), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(ombrel::TextFinder::readCarefully(screenshot(), quick));
}
BENCHMARK(carefulAfterQuick)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The editor's own flow: a page shown starts both readings at once, each on its own thread
// (the careful one waits for the quick one and reads only its small letters again). Reported: wall time from
// the start until the quick lines, and until the careful lines, are back on the GUI thread.
struct ShownPageTimes {
    double quick = 0, careful = 0;
};

ShownPageTimes showPage() {
    ombrel::PageReadings readings(screenshot(), std::nullopt);
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    readings.start(false);
    ShownPageTimes times;
    readings.whenQuick(&loop, [&](const auto&) { times.quick = clock.nsecsElapsed() / 1e9; });
    readings.whenCareful(&loop, [&](const auto&) {
        times.careful = clock.nsecsElapsed() / 1e9;
        loop.quit();
    });
    loop.exec();
    return times;
}

void readingsOfAShownPage(benchmark::State& state) {
    showPage(); // loads each lane's recogniser, as a running program has
    ShownPageTimes sum;
    for (auto _ : state) {
        const ShownPageTimes times = showPage();
        sum.quick += times.quick;
        sum.careful += times.careful;
    }
    state.counters["quick_s"] = sum.quick / double(state.iterations());
    state.counters["careful_s"] = sum.careful / double(state.iterations());
}
BENCHMARK(readingsOfAShownPage)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double secondsOf(const std::function<void()>& work) {
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e9;
}

double peakMegabytes(int who) {
    rusage usage{};
    getrusage(who, &usage); // kilobytes
    return double(usage.ru_maxrss) / 1024.0;
}

void versusTesseractCommand(int rounds) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.png"));
    if (!dir.isValid() || !screenshot().save(path)) {
        std::printf("cannot save the picture for the tesseract command\n");
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
    bool commandRan = true;
    const auto command = [&] {
        QProcess tesseract;
        tesseract.setProcessEnvironment(environment);
        tesseract.setStandardOutputFile(QProcess::nullDevice());
        tesseract.setStandardErrorFile(QProcess::nullDevice());
        tesseract.start(QStringLiteral("tesseract"), {path, QStringLiteral("stdout")});
        commandRan = tesseract.waitForFinished(-1) && tesseract.exitStatus() == QProcess::NormalExit &&
                     tesseract.exitCode() == 0 && commandRan;
    };
    const double before = peakMegabytes(RUSAGE_SELF);
    qsizetype quickLines =
        read(screenshot(), false).size(); // loads the recognisers, as a running program has
    qsizetype carefulLines = read(screenshot(), true).size();
    std::vector<double> tesseract, quick, careful;
    for (int i = 0; i < rounds; ++i) {
        tesseract.push_back(secondsOf(command));
        quick.push_back(secondsOf([&] { quickLines = read(screenshot(), false).size(); }));
        careful.push_back(secondsOf([&] { carefulLines = read(screenshot(), true).size(); }));
    }
    if (!commandRan) std::printf("the tesseract command failed: its times are not comparable\n");
    const double command_s = median(tesseract);
    std::printf("%dx%d picture, %d rounds, medians: tesseract command %.2f s; quick reading %.2f s "
                "(%.2fx the command, %lld lines); careful reading %.2f s (%.2fx, %lld lines)\n",
                screenshot().width(), screenshot().height(), rounds, command_s, median(quick),
                median(quick) / command_s, qlonglong(quickLines), median(careful),
                median(careful) / command_s, qlonglong(carefulLines));
    std::printf("peak memory of this process: %.0f MB before the first reading, %.0f MB after all readings\n",
                before, peakMegabytes(RUSAGE_SELF));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    // A shown page also looks for elements in its pixels once the careful reading is done.
    ombrel::PlatformServices services;
    services.vision = std::make_unique<ombrel::OpenCvVision>();
    ombrel::Platform::install(std::move(services));
    if (!qEnvironmentVariableIsEmpty("OMBREL_BENCH_SAVE"))
        screenshot().save(qEnvironmentVariable("OMBREL_BENCH_SAVE"));
    const int rounds = qEnvironmentVariableIsEmpty("OMBREL_BENCH_ROUNDS")
                           ? 5
                           : qEnvironmentVariableIntValue("OMBREL_BENCH_ROUNDS");
    if (rounds > 0) versusTesseractCommand(rounds);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
