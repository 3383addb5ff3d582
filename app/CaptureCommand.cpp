#include "Commands.h"
#include "ImageImport.h"
#include "ScreenGrab.h"

#include "library/CaptureStore.h"
#include "platform/Platform.h"

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QSaveFile>
#include <QTextStream>
#include <QThread>
#include <QTimer>

namespace ombrel {

int captureCommand(const QStringList& args) {
    std::optional<int> screenNumber;
    std::optional<WindowId> windowId;
    QString output;
    bool toClipboard = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&]() -> QString { return i + 1 < args.size() ? args.at(++i) : QString(); };
        bool ok = true;
        if (a == QLatin1String("--screen")) {
            screenNumber = value().toInt(&ok);
            if (!ok) return failCommand(QStringLiteral("--screen takes a display number, such as 1."));
        } else if (a == QLatin1String("--window")) {
            const QString v = value();
            windowId = v.startsWith(QLatin1String("0x")) ? v.mid(2).toULongLong(&ok, 16) : v.toULongLong(&ok);
            if (!ok || !*windowId)
                return failCommand(QStringLiteral("--window takes a window id, such as 0x3a00007."));
        } else if (a == QLatin1String("--output")) {
            output = value();
            if (output.isEmpty()) return failCommand(QStringLiteral("--output takes a file name."));
        } else if (a == QLatin1String("--clipboard")) {
            toClipboard = true;
        } else {
            return failCommand(
                QStringLiteral("Unknown option \"%1\" for capture. Run ombrel-capture --help.").arg(a));
        }
    }
    if (screenNumber && windowId)
        return failCommand(QStringLiteral("Choose either --screen or --window, not both."));

    Platform::install(makeNativePlatform());
    Outcome<Capture> result = Outcome<Capture>::fail(Failure::Permanent, QString());
    if (windowId) {
        WindowInfo window;
        window.id = *windowId;
        result = grabWindowNow(window);
        if (!result && result.failure() == Failure::Temporary) {
            QThread::msleep(200); // a window redirected just now has not painted its copy yet
            result = grabWindowNow(window);
        }
        if (!result) return failCommand(QStringLiteral("Couldn't capture that window. ") + result.message());
    } else {
        const QList<DisplayInfo> displays = Platform::screens().displays();
        if (displays.isEmpty())
            return failCommand(
                QStringLiteral("Couldn't capture the screen: no display was found. Is DISPLAY set?"));
        const int index = screenNumber.value_or(1);
        if (index < 1 || index > displays.size())
            return failCommand(QStringLiteral("There is no display %1; this desktop has %2.")
                                   .arg(index)
                                   .arg(displays.size()));
        result = grabDisplayNow(displays.at(index - 1));
        if (!result) return failCommand(QStringLiteral("Couldn't capture the screen. ") + result.message());
    }

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    result.value().image.save(&buffer, "PNG");
    QString path = output;
    if (path.isEmpty()) {
        try {
            path = CaptureStore::newFileURL();
        } catch (const StoreError& e) {
            return failCommand(QString::fromStdString(e.what()));
        }
        if (!CaptureStore::save(png, path))
            return failCommand(QStringLiteral("Couldn't write %1.").arg(path));
    } else {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit())
            return failCommand(QStringLiteral("Couldn't write %1: %2").arg(path, file.errorString()));
    }
    if (toClipboard) {
        // X has no clipboard keeper: a small process of ours holds the picture until
        // something else is copied.
        if (!QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                     {QStringLiteral("hold-clipboard"), QFileInfo(path).absoluteFilePath()}))
            return failCommand(QStringLiteral("Couldn't put the picture on the clipboard."));
    }
    QTextStream(stdout) << QFileInfo(path).absoluteFilePath() << '\n';
    return 0;
}

int holdClipboardCommand(const QStringList& args) {
    QFile file(args.value(0));
    if (args.size() != 1 || !file.open(QIODevice::ReadOnly))
        return failCommand(QStringLiteral("hold-clipboard takes one readable PNG file."));
    const QByteArray png = file.readAll();
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(data);
    // Serve until another program takes the clipboard, or a day has passed.
    QObject::connect(clipboard, &QClipboard::dataChanged, qApp, [clipboard] {
        if (!clipboard->ownsClipboard()) QCoreApplication::quit();
    });
    QTimer::singleShot(24 * 3600 * 1000, qApp, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

} // namespace ombrel
