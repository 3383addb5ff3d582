// ombrel-capture: the program, or one job of it run from the command line.
#include "app/AppConfig.h"
#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "markup/MarkupSetup.h"
#include "platform/Platform.h"
#include "platform/StopSignals.h"
#include "updates/CrashHandler.h"
#include "updates/Updater.h"
#include "updates/UpdatesConfig.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>
#include <QThreadPool>
#include <memory>

using namespace ombrel;

namespace {

// The identifier this build runs under: the real one, unless tests name another so
// the start-up work of the real build stays off.
QString bundleId() {
    const QString forced = qEnvironmentVariable("OMBREL_BUNDLE_ID");
    return forced.isEmpty() ? AppConfig::releaseBundleId : forced;
}

int runProgram(int argc, char** argv, const QStringList& handOver) {
    QApplication::setApplicationName(QStringLiteral("Ombrel Capture"));
    QApplication::setOrganizationName(QStringLiteral("Ombrel"));
    QApplication::setOrganizationDomain(QStringLiteral("ombrel.app"));
    QApplication::setApplicationVersion(QStringLiteral(OMBREL_VERSION));
    QApplication::setDesktopFileName(bundleId());
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication app(argc, argv);

    // Started by an update: the version it replaces quits first.
    Updater::waitForReplacedInstance();
    SingleInstance instance(bundleId());
    if (instance.sendToRunning(handOver)) return 0; // the running program took the request
    // A running program that is busy for a moment (closing an editor, starting up) answers
    // late: a request is handed over as soon as it answers, never dropped.
    for (int tries = 0; !instance.listen(); ++tries) {
        if (instance.sendToRunning(handOver, 5000)) return 0;
        if (tries == 5) {
            QTextStream(stderr) << "Ombrel Capture is starting elsewhere; try again in a moment.\n";
            return 1;
        }
    }

    CrashHandler::install(CrashHandler::reportsFolder(), Updater::currentVersion());
    Platform::install(makeNativePlatform());
    AppDelegate delegate(bundleId());
    QObject::connect(&instance, &SingleInstance::received, &delegate, [&delegate](const QStringList& args) {
        if (args.isEmpty())
            delegate.applicationShouldHandleReopen();
        else
            delegate.open(args);
    });
    delegate.applicationDidFinishLaunching();
    if (!handOver.isEmpty()) delegate.open(handOver);

    // A polite stop from the session or a terminal quits like the Quit item does (a running
    // recording is saved first).
    StopSignals stopSignals([&delegate](int) { delegate.terminate(); });
    const int status = QApplication::exec();
    QThreadPool::globalInstance()->waitForDone(2000); // readings still under way use the platform
    Platform::uninstall();
    CrashHandler::uninstall();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const QString first = args.value(0);
    installMarkupIntoLibrary(); // searches see the words written on pictures
    UpdatesConfig::use({AppConfig::website, AppConfig::updatesFeed, AppConfig::appleTeamID,
                        AppConfig::releaseBundleId, AppConfig::supportEmail});
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        QTextStream(stdout) << helpText();
        return 0;
    }
    if (first == QLatin1String("--version")) {
        QTextStream(stdout) << "ombrel-capture " << Updater::currentVersion() << '\n';
        return 0;
    }
    if (args.isEmpty()) return runProgram(argc, argv, {});
    if (first == QLatin1String("open")) {
        if (args.size() < 2) {
            QTextStream(stderr) << "Say what to open: ombrel-capture open URL-or-FILE…\n";
            return 2;
        }
        return runProgram(argc, argv, args.mid(1));
    }
    if (first == QLatin1String("send")) {
        if (args.size() < 2) {
            QTextStream(stderr) << "Say what to send: ombrel-capture send FILE…\n";
            return 2;
        }
        // The running program may work in another folder: hand it whole paths.
        QStringList handOver{AppDelegate::sendMarker};
        for (const QString& file : args.mid(1)) {
            const QFileInfo info(file);
            if (!info.isFile()) {
                QTextStream(stderr) << "There is no file " << file << ".\n";
                return 2;
            }
            handOver.append(info.absoluteFilePath());
        }
        return runProgram(argc, argv, handOver);
    }
    if (first.contains(QLatin1String("://")) || first.startsWith(QLatin1Char('/')))
        return runProgram(argc, argv, args); // a URL or files from the desktop's "Open with"
    if (const Verb* verb = findVerb(first); verb && verb->run) {
        std::unique_ptr<QCoreApplication> app;
        // Pictures can be drawn without a screen: with no display, jobs run off screen
        // (a grab then says plainly that there is no display).
        if (verb->needs == VerbNeeds::Gui && qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (verb->needs == VerbNeeds::Gui)
            app = std::make_unique<QApplication>(argc, argv);
        else
            app = std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Ombrel Capture"));
        QCoreApplication::setOrganizationName(QStringLiteral("Ombrel"));
        return verb->run(args.mid(1));
    }
    QTextStream(stderr) << "Unknown command \"" << first
                        << "\". Run ombrel-capture --help to see what it can do.\n";
    return 2;
}
