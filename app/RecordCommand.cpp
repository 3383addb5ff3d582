// `ombrel-capture record …`: records the screen or one window without the menu and
// outline, as the program would, and saves it (zoomed unless asked not to).
#include "AppDelegate.h"
#include "Commands.h"

#include "platform/Platform.h"
#include "platform/StopSignals.h"
#include "recording/ScreenRecorder.h"
#include "recording/ZoomPlanCommand.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTextStream>
#include <QTimer>
#include <cmath>
#include <unistd.h>

namespace ombrel {

int recordCommand(const QStringList& args) {
    std::optional<WindowId> windowId;
    std::optional<double> seconds;
    bool zoom = true;
    bool sound = true;
    QString output;
    QString eventsPath;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&]() -> QString { return i + 1 < args.size() ? args.at(++i) : QString(); };
        bool ok = true;
        if (a == QLatin1String("--window")) {
            const QString v = value();
            windowId = v.startsWith(QLatin1String("0x")) ? v.mid(2).toULongLong(&ok, 16) : v.toULongLong(&ok);
            if (!ok || !*windowId)
                return failCommand(QStringLiteral("--window takes a window id, such as 0x3a00007."));
        } else if (a == QLatin1String("--seconds")) {
            seconds = value().toDouble(&ok);
            if (!ok || !std::isfinite(*seconds) || *seconds <= 0)
                return failCommand(QStringLiteral("--seconds takes a number of seconds above 0, such as 5."));
        } else if (a == QLatin1String("--no-zoom")) {
            zoom = false;
        } else if (a == QLatin1String("--no-sound")) {
            sound = false;
        } else if (a == QLatin1String("--output") || a == QLatin1String("--events")) {
            (a == QLatin1String("--output") ? output : eventsPath) = value();
            if ((a == QLatin1String("--output") ? output : eventsPath).isEmpty())
                return failCommand(QStringLiteral("%1 takes a file name.").arg(a));
        } else {
            return failCommand(
                QStringLiteral("Unknown option \"%1\" for record. Run ombrel-capture --help.").arg(a));
        }
    }

    Platform::install(makeNativePlatform());
    ScreenRecorder::Target target;
    if (windowId) {
        std::optional<WindowInfo> found;
        for (const WindowInfo& w : Platform::windows().windows())
            if (w.id == *windowId) found = w;
        if (!found)
            return failCommand(
                QStringLiteral("There is no window 0x%1 on this desktop.").arg(*windowId, 0, 16));
        target = ScreenRecorder::Target::window(*found);
    } else {
        const QList<DisplayInfo> displays = Platform::screens().displays();
        if (displays.isEmpty())
            return failCommand(
                QStringLiteral("Couldn't record the screen: no display was found. Is DISPLAY set?"));
        target = ScreenRecorder::Target::screen(displays.first()); // the primary comes first
    }

    bool microphone = false;
    if (sound) {
        RecordingSources& sources = Platform::recording();
        const MicrophoneAccess access = sources.microphoneAccess();
        microphone = access == MicrophoneAccess::Authorized ||
                     (access == MicrophoneAccess::NotDetermined && sources.requestMicrophoneAccess());
        if (!microphone)
            QTextStream(stderr) << "Recording without your voice: no microphone could be opened.\n";
    }

    QTextStream out(stdout);
    const bool terminal = isatty(STDOUT_FILENO);
    ScreenRecorder recorder(zoom, QString(),
                            output.isEmpty() ? QString() : QFileInfo(output).absoluteFilePath());
    recorder.setSamplesInput(!eventsPath.isEmpty());
    int status = 0;
    double recordedSeconds = 0;
    QTimer ticker;
    recorder.onFinishing = [&] {
        if (terminal) out << "\rZooming…        " << Qt::flush;
    };
    recorder.onZoomProgress = [&](double fraction) {
        if (terminal) out << "\rZooming… " << int(std::floor(fraction * 100)) << " %  " << Qt::flush;
    };
    recorder.onFinish = [&](std::optional<QString> file, const QString& error) {
        if (terminal) out << '\r' << QString(20, QLatin1Char(' ')) << '\r' << Qt::flush;
        if (!file) {
            status = failCommand(QStringLiteral("The recording didn't save. ") + error);
        } else {
            out << *file << '\n' << Qt::flush;
        }
        if (!eventsPath.isEmpty()) {
            ZoomEvents events{recordedSeconds, recorder.clicks(), recorder.pointer(), recorder.scrolls()};
            QSaveFile file(eventsPath);
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(QJsonDocument(zoomEventsToJson(events)).toJson(QJsonDocument::Compact)) < 0 ||
                !file.commit())
                status =
                    failCommand(QStringLiteral("Couldn't write %1: %2").arg(eventsPath, file.errorString()));
        }
        QCoreApplication::exit(status);
    };
    const auto stop = [&] {
        if (!recorder.isRecording()) return;
        ticker.stop();
        recordedSeconds = recorder.elapsedSeconds();
        recorder.stop();
    };
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (terminal)
            out << "\rRecording " << AppDelegate::formatTime(recorder.elapsedSeconds()) << Qt::flush;
        if (seconds && recorder.elapsedSeconds() >= *seconds) stop();
    });
    recorder.start(target, microphone, [&](const QString& error) {
        if (!error.isEmpty()) {
            failCommand(QStringLiteral("Couldn't start recording: ") + error);
            QCoreApplication::exit(1);
            return;
        }
        ticker.start(seconds ? 20 : 500);
    });

    // Ctrl-C or a polite stop ends the recording and saves it.
    StopSignals stopSignals([&](int) { stop(); });
    const int result = QCoreApplication::exec();
    return result;
}

} // namespace ombrel
