// The recording workflow of the application delegate: the menu that chooses what to record,
// the microphone question, the outline, the time label and voice bars, saving and the
// messages at the end.
#include "AppDelegate.h"
#include "ButtonPanel.h"
#include "CaptureEffect.h"
#include "CapturePicker.h"

#include "platform/Defaults.h"
#include "platform/Platform.h"
#include "platform/ScreenSpace.h"
#include "ui/Permissions.h"
#include "ui/Symbols.h"
#include "ui/TimeText.h"

#include <QApplication>
#include <QCursor>
#include <cmath>

namespace ombrel {

namespace {

constexpr int titleCharacters = 44;

// The name people know an application by: the last part of its identifier
// ("org.gnome.Nautilus" → "Nautilus"), or "Window" when it has none.
QString applicationName(const WindowInfo& w) {
    QString id = w.bundleId;
    if (id.endsWith(QLatin1String(".desktop"))) id.chop(8);
    id = id.section(QLatin1Char('.'), -1);
    if (id.isEmpty()) return QStringLiteral("Window");
    return id.at(0).toUpper() + id.mid(1);
}

bool isBrowser(const WindowInfo& w) {
    return isBrowserName(applicationName(w) + QLatin1Char(' ') + w.bundleId);
}

} // namespace

QString AppDelegate::formatTime(double seconds) {
    return ombrel::formatTime(seconds);
}

bool AppDelegate::recordsMicrophone() const {
    return !Defaults::get(Keys::recordWithoutSound);
}
bool AppDelegate::zoomsOnClicks() const {
    return !Defaults::get(Keys::recordWithoutZoom);
}

QList<WindowInfo> AppDelegate::recordableWindows(const QList<WindowInfo>& bottomToTop, qint64 ownPid,
                                                 const QString& ownBundleId) {
    QList<WindowInfo> browsers;
    QList<WindowInfo> rest;
    for (auto it = bottomToTop.crbegin(); it != bottomToTop.crend(); ++it) {
        const WindowInfo& w = *it;
        if (w.layer != 0 || !w.onScreen || w.frameGlobal.width() <= 200 || w.frameGlobal.height() <= 150 ||
            w.title.trimmed().isEmpty() || w.pid == ownPid ||
            (!ownBundleId.isEmpty() && w.bundleId == ownBundleId) || w.kind == WindowKind::Desktop ||
            w.kind == WindowKind::Dock)
            continue;
        (isBrowser(w) ? browsers : rest).append(w);
    }
    return browsers + rest;
}

void AppDelegate::toggleRecording() {
    if (m_recorder) {
        Chime::stop();
        showSaving();
        m_recorder->stop();
        return;
    }
    if (m_isStartingRecording) return;
    if (!Platform::access().screenCaptureAllowed()) {
        Permissions::explainScreenRecording();
        return;
    }
    showRecordingMenu();
}

void AppDelegate::showRecordingMenu() {
    m_recordingMenu = std::make_unique<QMenu>();
    QMenu* menu = m_recordingMenu.get();
    menu->setObjectName(QStringLiteral("recordingMenu"));
    const auto item = [this, menu](const QString& title, std::function<void()> action) {
        QAction* a = menu->addAction(title);
        connect(a, &QAction::triggered, this, [action = std::move(action)] { action(); });
        return a;
    };

    item(QStringLiteral("Record Whole Screen"), [this] {
        const std::optional<DisplayInfo> screen = currentScreen();
        if (!screen) {
            Permissions::explainFailure(QStringLiteral("Couldn't start recording"),
                                        QStringLiteral("No display was found."));
            return;
        }
        startRecording(ScreenRecorder::Target::screen(*screen), QStringLiteral("whole screen"),
                       screen->globalRectPx);
    });

    const QList<WindowInfo> windows =
        recordableWindows(Platform::windows().windows(), Platform::windows().ownPid(), m_bundleId);
    if (!windows.isEmpty()) {
        menu->addSeparator();
        menu->addAction(QStringLiteral("Record One Window"))->setEnabled(false);
        for (const WindowInfo& w : windows) {
            const QString app = applicationName(w);
            item(app + QStringLiteral(": ") + w.title.left(titleCharacters), [this, w, app] {
                startRecording(ScreenRecorder::Target::window(w), app, w.frameGlobal, w.id);
            });
        }
    }

    menu->addSeparator();
    QAction* sound = item(QStringLiteral("With Sound"), [this] {
        Defaults::set(Keys::recordWithoutSound, recordsMicrophone());
        QMetaObject::invokeMethod(
            this, [this] { showRecordingMenu(); }, Qt::QueuedConnection);
    });
    sound->setCheckable(true);
    sound->setChecked(recordsMicrophone());
    QAction* zoom = item(QStringLiteral("Zoom and Follow My Pointer"), [this] {
        Defaults::set(Keys::recordWithoutZoom, zoomsOnClicks());
        QMetaObject::invokeMethod(
            this, [this] { showRecordingMenu(); }, Qt::QueuedConnection);
    });
    zoom->setCheckable(true);
    zoom->setChecked(zoomsOnClicks());
    menu->popup(QCursor::pos());
}

bool AppDelegate::microphoneAllowed() {
    if (!recordsMicrophone()) return false;
    RecordingSources& sources = Platform::recording();
    switch (sources.microphoneAccess()) {
    case MicrophoneAccess::NotDetermined:
        return sources.requestMicrophoneAccess();
    case MicrophoneAccess::Authorized:
        return true;
    case MicrophoneAccess::Denied:
        break;
    }
    Permissions::show(
        QStringLiteral("Recording without your voice"),
        QStringLiteral("Ombrel Capture isn't allowed to use the microphone. You can turn it on in "
                       "System Settings > Privacy & Security > Microphone."));
    return false;
}

void AppDelegate::startRecording(const ScreenRecorder::Target& target, const QString& name, QRect around,
                                 std::optional<WindowId> windowId) {
    if (m_isStartingRecording || m_recorder) return;
    m_isStartingRecording = true;
    const bool zooms = zoomsOnClicks();
    const bool microphone = microphoneAllowed();
    auto* recorder = new ScreenRecorder(zooms, QString(), QString(), this);
    recorder->onFinish = [this, recorder](std::optional<QString> file, const QString& error) {
        if (m_recorder == recorder) recordingEnded(std::move(file), error);
        recorder->deleteLater();
    };
    recorder->onFinishing = [this] {
        if (m_buttonPanel)
            m_buttonPanel->record()->setToolTipText(QStringLiteral("Adding the zooming to your video…"));
        setTimeLabel(QStringLiteral("Zooming…"));
    };
    recorder->start(target, microphone, [=, this](const QString& error) {
        if (!error.isEmpty()) {
            m_isStartingRecording = false;
            recorder->deleteLater();
            Permissions::explainFailure(QStringLiteral("Couldn't start recording"), error);
            return;
        }
        Chime::start();
        m_recorder = recorder;
        FloatingButton* button = m_buttonPanel->record();
        button->clicksEnabled = true;
        button->setSymbol(QStringLiteral("stop.fill"));
        button->setAlert(true);
        button->setToolTipText(QStringLiteral("Stop recording ") + name);
        button->startPulsing();
        refreshAppMenu();
        if (m_recordingFrame) m_recordingFrame->deleteLater();
        m_recordingFrame = new RecordingFrame(name);
        m_recordingFrame->show(around, windowId);
        RecordingStrip* strip = m_buttonPanel->strip();
        strip->setBarsShown(microphone);
        if (microphone)
            recorder->onVoiceLevel = [this](double level) {
                if (m_buttonPanel) m_buttonPanel->strip()->voiceBars()->update(level);
            };
        startTimer();
        m_isStartingRecording = false;
    });
}

void AppDelegate::startTimer() {
    m_recordingClock.start();
    showTimeLabel(true);
    setTimeLabel(formatTime(0));
    RecordingStrip* strip = m_buttonPanel->strip();
    if (strip->voiceBars()->isVisibleTo(strip)) strip->voiceBars()->start();
    if (!m_recordingTimer) {
        m_recordingTimer = new QTimer(this);
        m_recordingTimer->setInterval(500);
        connect(m_recordingTimer, &QTimer::timeout, this,
                [this] { setTimeLabel(formatTime(m_recordingClock.elapsed() / 1000.0)); });
    }
    m_recordingTimer->start();
}

QString AppDelegate::timeLabelText() const {
    return m_buttonPanel ? m_buttonPanel->strip()->timeLabel()->text() : QString();
}

void AppDelegate::setTimeLabel(const QString& text) {
    if (m_buttonPanel) {
        m_buttonPanel->strip()->setText(text);
        m_buttonPanel->layOutStrip();
    }
    // A tray icon has no title beside it: its tool tip carries the time instead.
    if (m_statusItem) m_statusItem->setToolTip(QStringLiteral("Ombrel Capture ") + text);
}

void AppDelegate::showTimeLabel(bool show) {
    m_timeShowing = show;
    if (!m_buttonPanel) return;
    RecordingStrip* strip = m_buttonPanel->strip();
    // Beside the record button, so it shows only where the buttons do.
    if (show && m_buttonPanel->isVisible()) {
        m_buttonPanel->layOutStrip();
        strip->show();
        strip->raise();
    } else {
        strip->hide();
    }
}

void AppDelegate::showSaving() {
    if (m_recordingTimer) m_recordingTimer->stop();
    if (m_recordingFrame) m_recordingFrame->dismiss();
    if (m_buttonPanel) {
        FloatingButton* button = m_buttonPanel->record();
        button->clicksEnabled = false; // no second stop while saving
        button->stopPulsing();
        button->setAlert(false);
        button->setSymbol(QStringLiteral("hourglass"));
        button->setToolTipText(QStringLiteral("Saving your recording…"));
        RecordingStrip* strip = m_buttonPanel->strip();
        strip->voiceBars()->stop();
        strip->setCentred(true);
    }
    setTimeLabel(QStringLiteral("Saving…"));
}

void AppDelegate::recordingEnded(std::optional<QString> file, const QString& error) {
    m_recorder = nullptr;
    if (m_recordingTimer) m_recordingTimer->stop();
    if (m_recordingFrame) {
        m_recordingFrame->dismiss();
        m_recordingFrame->deleteLater();
        m_recordingFrame = nullptr;
    }
    if (m_buttonPanel) {
        RecordingStrip* strip = m_buttonPanel->strip();
        strip->voiceBars()->stop();
        strip->setCentred(true);
        FloatingButton* button = m_buttonPanel->record();
        button->setSymbol(QStringLiteral("record.circle"));
        button->setAlert(false);
        button->setToolTipText(QStringLiteral("Record your screen"));
        button->stopPulsing();
        button->clicksEnabled = true;
    }
    showTimeLabel(false);
    if (m_statusItem) m_statusItem->setToolTip(QStringLiteral("Ombrel Capture"));
    refreshAppMenu();
    if (m_quitAfterRecording) {
        QApplication::quit();
        return;
    }
    if (!file) {
        Permissions::explainFailure(QStringLiteral("The recording didn't save"), error);
        return;
    }
    Q_EMIT recordingSaved(*file);
}

bool AppDelegate::applicationShouldTerminate() {
    if (!m_recorder) return true;
    m_quitAfterRecording = true;
    if (m_recorder->isRecording()) {
        Chime::stop();
        showSaving();
        m_recorder->stop();
    }
    return false;
}

void AppDelegate::terminate() {
    if (applicationShouldTerminate()) QApplication::quit();
}

} // namespace ombrel
