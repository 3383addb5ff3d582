// The longest time the interface stops answering while the cursor prompt watches a chat whose
// caret takes long to find (a walk through thousands of elements of a busy browser), with the
// readings on the GUI thread as they once were and off it as they are now.
//
//   bench_caret_reading [reading milliseconds, default 250] [seconds watched, default 4]
#include "platform/Platform.h"
#include "platform/fake/FakePlatform.h"
#include "sending/ChatSender.h"
#include "sending/CursorPrompt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThreadPool>
#include <QTimer>

using namespace ombrel;

namespace {

// Runs the event loop for `seconds` with a 5 ms ticker and answers the longest gap between
// two ticks, the time the interface could not answer.
qint64 longestStall(double seconds) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    ticker.start(5);
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    return longest;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int readingMs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 250;
    const double seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toDouble() : 4;
    QTemporaryDir trash;
    FakePlatformHandles fakes = installFakePlatform(trash.filePath(QStringLiteral("trash")));
    const AppInfo chat{501, QStringLiteral("chromium"), QStringLiteral("Chromium"), true};
    fakes.windows->front = chat;
    FocusedElement button;
    button.role = QStringLiteral("AXButton");
    fakes.accessibility->focus[chat.pid] = FocusReading{FocusReading::Result::Found, button};
    fakes.accessibility->answerDelayMs = readingMs;
    QTextStream out(stdout);

    // As it was: the prompt's timer read the caret on the GUI thread every 0.4 s.
    QTimer onGuiThread;
    QObject::connect(&onGuiThread, &QTimer::timeout, [&] { ChatSender::cursorSpot(chat); });
    onGuiThread.start(CursorPrompt::refreshMs);
    const qint64 before = longestStall(seconds);
    onGuiThread.stop();
    const int readingsBefore = fakes.accessibility->readings.exchange(0);

    // As it is: the prompt itself, reading off the GUI thread.
    CursorPrompt* prompt = CursorPrompt::ask({}, [](const AppInfo&) {});
    const qint64 after = longestStall(seconds);
    prompt->dismiss();
    QThreadPool::globalInstance()->waitForDone();

    out << "caret reading of " << readingMs << " ms, watched " << seconds << " s\n"
        << "  on the GUI thread:  longest stall " << before << " ms (" << readingsBefore << " readings)\n"
        << "  off the GUI thread: longest stall " << after << " ms (" << fakes.accessibility->readings
        << " readings)\n";
    Platform::uninstall();
    return 0;
}
