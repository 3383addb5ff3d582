#include "AppDelegate.h"
#include "AppConfig.h"
#include "ButtonPanel.h"
#include "CaptureEffect.h"
#include "CaptureHotKey.h"
#include "CapturePicker.h"
#include "ImageImport.h"
#include "library/CaptureStyle.h"
#include "ui/PlatformWords.h"

#include "editor/EditorWindow.h"
#include "editor/ShortcutsWindow.h"
#include "library/CaptureStore.h"
#include "library/RecentPanel.h"
#include "longpage/ScrollCaptureSession.h"
#include "markup/MarkStore.h"
#include "onboarding/HelpWindow.h"
#include "onboarding/WelcomeWindow.h"
#include "onboarding/WhatsNew.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/ScreenSpace.h"
#include "sending/ChatSender.h"
#include "sending/ShareMenu.h"
#include "ui/Permissions.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"
#include "updates/CrashCheck.h"
#include "updates/Updater.h"
#include "upload/PhoneUploadWindow.h"
#include "video/VideoEditorWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QUrlQuery>
#include <QUuid>
#include <QtConcurrent>

namespace ombrel {

AppDelegate::AppDelegate(QString bundleId, QObject* parent)
    : QObject(parent), m_bundleId(std::move(bundleId)) {
    // A finished recording is shown in the Recent panel, where it is listed first.
    connect(this, &AppDelegate::recordingSaved, this, [this] { showRecent(false); });
}
AppDelegate::~AppDelegate() {
    RecentPanel::onOpenPicture = nullptr;
    Updater::setQuit(nullptr);
    RecentPanel::onOpenVideo = nullptr;
    VideoEditorWindow::onShare = nullptr;
    RecentPanel::onShowHelp = nullptr;
    WelcomeWindow::cameraButtonFrame = nullptr;
    delete WelcomeWindow::current(); // it checks permissions in the background until it goes
}

bool AppDelegate::isReleaseBuild() const {
    return m_bundleId == AppConfig::releaseBundleId;
}

void AppDelegate::applicationDidFinishLaunching() {
    // 1. The application and Edit menus, for the windows that show a menu bar.
    buildMenu();
    // 2. The floating buttons (their context menu is the tray menu, made in step 5).
    buildButtons();
    // 3. The Recent panel opens pictures in the editor (it receives the Settings submenu when made).
    RecentPanel::onOpenPicture = [this](const QString& path) { openPicture(path); };
    RecentPanel::onOpenVideo = [this](const QString& path) { openVideo(path); };
    // The video editor's Share offers the same menu as the picture editor's.
    VideoEditorWindow::onShare = [](const QString& file, QWidget* anchor) {
        ShareMenu::popUpBelow(QStringList{file}, anchor);
    };
    RecentPanel::onShowHelp = [] { HelpWindow::present(); };
    // 4. Window motion: windows appear without animation.
    // 5. The tray item.
    buildStatusItem();
    giveButtonsTheMenu();
    // 6. The chat sender remembers the last ordinary application the user worked in.
    ChatSender::startTracking();
    // 7. The global hot key captures the screen the user is on.
    registerHotKey(false);
    // 8. Library upkeep, only in the real build.
    if (isReleaseBuild()) {
        RecordingFiles::recoverStranded();
        CaptureStore::sortIntoDateFolders();
    }
    // 9.
    setUpOpenAtLogin();
    refreshSettingsMenu();
    refreshAppMenu();
    // 10. The crash check, and a silent update check now and every 6 hours (real build only).
    Updater::setQuit([this] { terminate(); });
    if (isReleaseBuild()) {
        CrashCheck::run();
        Updater::check(false);
        auto* updateTimer = new QTimer(this);
        connect(updateTimer, &QTimer::timeout, this, [] { Updater::check(false); });
        updateTimer->start(Updater::repeatSeconds * 1000);
    }
    // 11. The welcome window on the first run (the help page follows it), else the help page
    // once. Its rings point at the floating camera button, else at the tray item.
    WelcomeWindow::cameraButtonFrame = [this]() -> std::optional<QRect> {
        if (m_buttonPanel && m_buttonPanel->isVisible()) {
            const QWidget* camera = m_buttonPanel->camera();
            return QRect(camera->mapToGlobal(QPoint(0, 0)), camera->size());
        }
        if (!m_statusItem || !m_statusItem->isVisible()) return std::nullopt;
        return m_statusItem->geometry();
    };
    const bool newInstall = !WelcomeWindow::hasBeenShown();
    if (newInstall)
        WelcomeWindow::present([] { HelpWindow::presentOnFirstLaunch(); });
    else
        HelpWindow::presentOnFirstLaunch();
    // 12. The release notes of an update, a moment later.
    QTimer::singleShot(1200, this, [newInstall] { WhatsNew::showIfUpdated(newInstall); });
}

bool AppDelegate::applicationShouldHandleReopen() {
    // Without a tray the floating buttons are the only way in: a second start brings them
    // back even when the user hid them.
    if (m_buttonPanel && !m_buttonPanel->isVisible() && !QSystemTrayIcon::isSystemTrayAvailable())
        toggleFloatingButtons();
    showRecent(false);
    return false;
}

void AppDelegate::showRecent(bool toggle) {
    // Beside the floating buttons when they show; else dropped from the tray icon.
    const bool besideButtons = m_buttonPanel && m_buttonPanel->isVisible();
    const QRect anchor = besideButtons                               ? m_buttonPanel->frameGeometry()
                         : m_statusItem && m_statusItem->isVisible() ? m_statusItem->geometry()
                                                                     : QRect();
    const RecentAnchor kind = besideButtons ? RecentAnchor::Buttons : RecentAnchor::TrayItem;
    if (toggle)
        recentPanel().toggleBeside(anchor, kind);
    else
        recentPanel().showBeside(anchor, kind);
}

RecentPanel& AppDelegate::recentPanel() {
    if (!m_recentPanel) {
        m_recentPanel = std::make_unique<RecentPanel>();
        m_recentPanel->setSettingsMenu(m_settingsMenu.get());
    }
    return *m_recentPanel;
}

void AppDelegate::toggleRecent() {
    showRecent(true);
}

void AppDelegate::buildMenu() {
    m_applicationMenu = std::make_unique<QMenu>(QStringLiteral("Ombrel Capture"));
    QAction* quit =
        m_applicationMenu->addAction(QStringLiteral("Quit Ombrel Capture"), this, [this] { terminate(); });
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    m_editMenu = std::make_unique<QMenu>(QStringLiteral("Edit"));
    const std::pair<const char*, const char*> edits[] = {
        {"Undo", "Ctrl+Z"},  {"Redo", "Ctrl+Shift+Z"}, {"Cut", "Ctrl+X"},         {"Copy", "Ctrl+C"},
        {"Paste", "Ctrl+V"}, {"Select All", "Ctrl+A"}, {"Close Window", "Ctrl+W"}};
    for (const auto& [title, keys] : edits) {
        QAction* a = m_editMenu->addAction(QString::fromLatin1(title));
        a->setShortcut(QKeySequence(QString::fromLatin1(keys)));
        // Each window answers these for its focused widget; with no window they do nothing.
        a->setEnabled(false);
    }
}

void AppDelegate::buildStatusItem() {
    m_appMenu = std::make_unique<QMenu>();
    m_appMenu->setObjectName(QStringLiteral("appMenu"));
    m_settingsMenu = std::make_unique<QMenu>(QStringLiteral("Settings"));
    m_settingsMenu->setObjectName(QStringLiteral("settingsMenu"));
    m_settingsMenu->setToolTipsVisible(true);
    // Settings can change elsewhere too (the editor's note look): the ticks are read afresh.
    connect(m_settingsMenu.get(), &QMenu::aboutToShow, this, &AppDelegate::refreshSettingsMenu);
    m_statusItem = std::make_unique<QSystemTrayIcon>();
    m_statusItem->setIcon(Symbols::icon(QStringLiteral("camera.viewfinder"), QColor(40, 40, 40)));
    m_statusItem->setToolTip(QStringLiteral("Ombrel Capture"));
    m_statusItem->setContextMenu(m_appMenu.get());
    // A left click opens the same menu, as a menu-bar item would.
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) {
                if (r == QSystemTrayIcon::Trigger) m_appMenu->popup(QCursor::pos());
            });
    m_statusItem->show();
}

QAction* AppDelegate::addItem(QMenu* menu, const QString& title, std::function<void()> action, bool enabled) {
    QAction* item = menu->addAction(title);
    item->setEnabled(enabled && action != nullptr);
    if (action) connect(item, &QAction::triggered, this, [action = std::move(action)] { action(); });
    return item;
}

void AppDelegate::refreshAppMenu() {
    QMenu* m = m_appMenu.get();
    m->clear();
    // Items whose feature has not been built yet stay visible but disabled.
    addItem(m, QStringLiteral("Capture Screen"), [this] { capture(); });
    addItem(m, QStringLiteral("Capture a Long Page…"), [this] { startScrollCapture(); });
    addItem(m, m_recorder ? QStringLiteral("Stop Recording") : QStringLiteral("Record…"),
            [this] { toggleRecording(); });
    m->addSeparator();
    addItem(m, QStringLiteral("Paste Image"), [this] { pasteImage(); });
    addItem(m, QStringLiteral("Open Files…"), [this] { openImage(); });
    addItem(m, QStringLiteral("Add from Phone…"), [this] { addFromPhone(); });
    addItem(m, QStringLiteral("Recent"), [this] { toggleRecent(); });
    m->addSeparator();
    m->addMenu(m_settingsMenu.get());
    addItem(m,
            Defaults::get(Keys::hideFloatingButtons) ? QStringLiteral("Show Floating Buttons")
                                                     : QStringLiteral("Hide Floating Buttons"),
            [this] { toggleFloatingButtons(); });
    m->addSeparator();
    addItem(m, QStringLiteral("Help and What This Can Do"), [] { HelpWindow::present(); });
    addItem(m, QStringLiteral("What's New"), [] { WhatsNew::showLatest(); });
    addItem(m, QStringLiteral("Check for Updates…"), [] { Updater::check(true); });
    addItem(m, QStringLiteral("Contact Us…"),
            [] { Platform::workspace().open(QUrl(AppConfig::website + QStringLiteral("/contact"))); });
    m->addSeparator();
    addItem(m, QStringLiteral("Quit Ombrel Capture"), [this] { terminate(); });
    if (m_statusItem)
        m_statusItem->setIcon(
            m_recorder ? Symbols::icon(QStringLiteral("record.circle.fill"), RecordingBorderView::red)
                       : Symbols::icon(QStringLiteral("camera.viewfinder"), QColor(40, 40, 40)));
}

void AppDelegate::refreshSettingsMenu() {
    QMenu* m = m_settingsMenu.get();
    m->clear();
    auto heading = [m](const QString& title) { m->addAction(title)->setEnabled(false); };
    auto check = [](QAction* a, bool on) {
        a->setCheckable(true);
        a->setChecked(on);
        return a;
    };

    heading(QStringLiteral("When you click the camera"));
    const CaptureStyle style = currentCaptureStyle();
    for (const CaptureStyleInfo& s : captureStyles()) {
        QAction* a = addItem(m, QString::fromLatin1(s.title), [this, st = s.style] {
            setCurrentCaptureStyle(st);
            refreshSettingsMenu();
        });
        a->setData(QString::fromLatin1(s.raw));
        check(a, s.style == style);
    }
    m->addSeparator();
    check(addItem(m, QStringLiteral("Press Enter After Pasting into Chat"),
                  [this] {
                      ChatSender::setPressesEnter(!ChatSender::pressesEnter());
                      refreshSettingsMenu();
                  }),
          ChatSender::pressesEnter());
    check(addItem(m, QStringLiteral("Shutter Sound and Flash"),
                  [this] {
                      CaptureEffect::setOn(!CaptureEffect::isOn());
                      refreshSettingsMenu();
                  }),
          CaptureEffect::isOn());
    QAction* address = check(addItem(m, QStringLiteral("Add Web Address from Browsers"),
                                     [this] {
                                         PageAddress::setOn(!PageAddress::isOn());
                                         refreshSettingsMenu();
                                     }),
                             PageAddress::isOn());
    address->setToolTip(QStringLiteral(
        "When you capture a web page, its address goes in the picture, so your AI knows where it is"));
    m->addSeparator();
    // Each choice is shown as this desktop writes it ("Shift+Ctrl+2") and keeps its own name.
    QMenu* shortcuts = m->addMenu(QStringLiteral("Capture Shortcut"));
    const QString currentShortcut = CaptureHotKey::currentName();
    for (const HotKeyChoice& c : hotKeyChoices()) {
        const QString name = QString::fromLatin1(c.name);
        QAction* a = addItem(shortcuts, CaptureHotKey::title(name), [this, name] { chooseShortcut(name); });
        a->setData(name);
        check(a, currentShortcut == name);
    }
    addItem(m, QStringLiteral("Editor Keyboard Shortcuts…"), [this] { ShortcutsWindow::open(m_editor); })
        ->setToolTip(
            QStringLiteral("One key for each thing in the editor, such as S to send. Change any of them."));
    m->addSeparator();
    heading(QStringLiteral("Comments Look Like"));
    QString look = Defaults::get(Keys::noteLookChoiceV2);
    if (look != QLatin1String("sticky") && look != QLatin1String("glass")) look = QStringLiteral("list");
    for (const NoteLookChoice& c : noteLookChoices()) {
        QAction* a = addItem(m, QString::fromLatin1(c.title), [this, raw = QString::fromLatin1(c.raw)] {
            Defaults::set(Keys::noteLookChoiceV2, raw);
            refreshSettingsMenu();
            if (m_editor) m_editor->noteLookChanged();
        });
        a->setData(QString::fromLatin1(c.raw));
        check(a, look == QLatin1String(c.raw));
    }
    m->addSeparator();
    heading(QStringLiteral("Floating Buttons"));
    const bool sideBySide = Defaults::get(Keys::floatingButtonsSideBySide);
    check(addItem(m, QStringLiteral("Stacked Up and Down"), [this] { chooseButtonLayout(false); }),
          !sideBySide)
        ->setData(0);
    check(addItem(m, QStringLiteral("Side by Side"), [this] { chooseButtonLayout(true); }), sideBySide)
        ->setData(1);
    m->addSeparator();
    check(addItem(m, QStringLiteral("Open at Startup"), [this] { toggleOpenAtLogin(); }), opensAtLogin());
    QAction* crash = check(addItem(m, QStringLiteral("Send Crash Reports Automatically"),
                                   [this] {
                                       CrashCheck::setSendsAutomatically(!CrashCheck::sendsAutomatically());
                                       refreshSettingsMenu();
                                   }),
                           CrashCheck::sendsAutomatically());
    crash->setToolTip(
        QStringLiteral("If the app ever closes unexpectedly, it sends us what went wrong: versions and "
                       "the error, never your screen or files"));
    m->addSeparator();
    heading(AppConfig::designerCredit);
}

bool AppDelegate::opensAtLogin() const {
    return Platform::loginItem().isEnabled();
}

void AppDelegate::setUpOpenAtLogin() {
    if (!isReleaseBuild() || Defaults::get(Keys::openAtLoginSetUp)) return;
    Defaults::set(Keys::openAtLoginSetUp, true);
    Platform::loginItem().enable(); // a failure here is not worth a word at start-up
}

void AppDelegate::toggleOpenAtLogin() {
    const QString error = opensAtLogin() ? Platform::loginItem().disable() : Platform::loginItem().enable();
    if (!error.isEmpty())
        Permissions::show(
            QStringLiteral("Couldn't change Open at Startup"),
            error + QStringLiteral(" You can also change it in System Settings > General > Login Items."));
    refreshSettingsMenu();
}

void AppDelegate::open(const QStringList& urlsOrFiles) {
    if (urlsOrFiles.value(0) == sendMarker) {
        QStringList files;
        for (const QString& item : urlsOrFiles.mid(1))
            files.append(QFileInfo(item).absoluteFilePath());
        ChatSender::send(files);
        return;
    }
    QList<QUrl> urls;
    for (const QString& item : urlsOrFiles) {
        const QUrl url(item);
        if (url.scheme() == QLatin1String("ombrel-capture"))
            urls.append(url);
        else
            openFile(url.isLocalFile() ? url.toLocalFile() : QFileInfo(item).absoluteFilePath());
    }
    if (!urls.isEmpty()) openUrls(urls);
}

void AppDelegate::openFile(const QString& path) {
    // A picture of the library opens with its marks and a video of the library in the video
    // editor; anything else is brought in as a copy.
    const QString library = QDir(CaptureStore::folder()).absolutePath() + QLatin1Char('/');
    if (path.startsWith(library) && CaptureStore::isVideo(path))
        openVideo(path);
    else if (path.startsWith(library) && CaptureStore::isOurs(path))
        openPicture(path);
    else
        bringIn(path, true);
}

void AppDelegate::openVideo(const QString& path) {
    VideoEditorWindow::open(path);
}

void AppDelegate::openUrls(const QList<QUrl>& urls) {
    for (const QUrl& url : urls) {
        if (url.scheme() != QLatin1String("ombrel-capture") || url.host() != QLatin1String("capture"))
            continue;
        const bool handBack = QUrlQuery(url).queryItemValue(QStringLiteral("send")) == QLatin1String("0");
        if (m_editor && handBack)
            m_editor->handBackToPrompts();
        else if (!m_editor)
            m_handBackNext = handBack; // the next editor hands its result back to Ombrel Prompts

        capture();
    }
}

std::optional<DisplayInfo> AppDelegate::currentScreen() const {
    // The user is where the pointer is (on the camera when it was clicked; wherever they
    // work when they press the hot key).
    if (QGuiApplication::screenAt(QCursor::pos())) return ScreenSpace::displayUnderPointer();
    const QList<DisplayInfo> displays = Platform::screens().displays();
    if (m_buttonPanel && m_buttonPanel->isVisible())
        return ScreenSpace::displayAt(displays, ScreenSpace::toDevice(m_buttonPanel->geometry().center()));
    return ScreenSpace::displayAt(displays, QPoint(-1, -1));
}

bool AppDelegate::mayStartCapture() const {
    if (m_isCapturing) return false; // one grab at a time; further requests are ignored
    if (!Platform::access().screenCaptureAllowed()) {
        Permissions::explainScreenRecording();
        return false;
    }
    return true;
}

void AppDelegate::capture(std::optional<DisplayInfo> screen) {
    if (!mayStartCapture()) return;
    hidePicker();
    // An open editor may step aside so the user can move to the next screen first; the
    // camera pulses until the next press captures it.
    if (m_editor && m_editor->stepOutForNextScreen()) {
        if (m_buttonPanel) m_buttonPanel->camera()->startPulsing();
        return;
    }
    if (m_buttonPanel) m_buttonPanel->camera()->stopPulsing();
    if (!screen) screen = currentScreen();
    if (!screen) {
        Permissions::explainFailure(QStringLiteral("Couldn't capture the screen"),
                                    QStringLiteral("No display was found."));
        return;
    }
    m_isCapturing = true;
    grabDisplay(*screen, this,
                [this, screen](Outcome<Capture> result) { finishCapture(std::move(result), false, screen); });
}

void AppDelegate::captureWindow(const WindowInfo& window) {
    if (!mayStartCapture()) return;
    hidePicker();
    m_isCapturing = true;
    // The flash and the editor go to the screen that shows the window.
    const auto screen = ScreenSpace::displayAt(Platform::screens().displays(), window.frameGlobal.center());
    grabWindow(window, this,
               [this, screen](Outcome<Capture> result) { finishCapture(std::move(result), true, screen); });
}

std::optional<WindowInfo> AppDelegate::longPageWindow(const QList<WindowInfo>& windows, qint64 pid) {
    constexpr int minWidthPx = 200;
    std::optional<WindowInfo> best;
    qint64 bestArea = -1;
    for (const WindowInfo& w : windows) {
        if (w.pid != pid || w.layer != 0 || w.kind != WindowKind::Normal || !w.onScreen ||
            w.frameGlobal.width() < minWidthPx)
            continue;
        const qint64 area = qint64(w.frameGlobal.width()) * w.frameGlobal.height();
        if (area > bestArea) {
            best = w;
            bestArea = area;
        }
    }
    return best;
}

void AppDelegate::startScrollCapture() {
    const QString clickFirst = QStringLiteral("Click on the window you want first, then choose this again.");
    const std::optional<AppInfo> target = ChatSender::target();
    if (!target) {
        Permissions::show(QStringLiteral("Which page?"), clickFirst);
        return;
    }
    if (!Platform::access().screenCaptureAllowed()) {
        Permissions::explainScreenRecording();
        return;
    }
    const std::optional<WindowInfo> window = longPageWindow(Platform::windows().windows(), target->pid);
    if (!window) {
        Permissions::show(QStringLiteral("No window to capture"), clickFirst);
        return;
    }
    // One long-page capture at a time: a new request replaces a running one.
    if (m_scrollSession) m_scrollSession->dismiss();
    Platform::windows().activate(target->pid);
    auto* session = new ScrollCaptureSession(*window, target->name, [this](const QImage& picture) {
        if (!picture.isNull()) openEditor(picture);
    });
    m_scrollSession = session;
    connect(session, &ScrollCaptureSession::ended, this, [this, session] {
        if (m_scrollSession == session) m_scrollSession = nullptr;
        session->deleteLater();
    });
    session->begin();
}

qint64 AppDelegate::screenSourcePid() {
    const std::optional<AppInfo> target = ChatSender::target();
    return target ? target->pid : 0;
}

void AppDelegate::finishCapture(Outcome<Capture> result, bool windowGrab,
                                const std::optional<DisplayInfo>& screen) {
    if (result) {
        CaptureEffect::play(screen ? screen->globalRectPx : result.value().areaGlobal);
        // A screen's elements are read from the application the user worked in last.
        const qint64 sourcePid = windowGrab ? result.value().sourcePid : screenSourcePid();
        openEditor(result.value().image, result.value().areaGlobal, sourcePid, screen);
    } else if (windowGrab) {
        Permissions::show(QStringLiteral("Couldn't capture that window"), result.message());
    } else {
        Permissions::explainFailure(QStringLiteral("Couldn't capture the screen"), result.message());
    }
    m_isCapturing = false;
}

void AppDelegate::openEditor(const QImage& image, const QRect& areaGlobal, qint64 sourcePid,
                             std::optional<DisplayInfo> screen) {
    if (m_editor && !m_editor->isClosing()) {
        m_editor->receiveCapture(image, areaGlobal, sourcePid);
        return;
    }
    if (m_recentPanel) m_recentPanel->hide();
    if (!screen) screen = currentScreen();
    // The editor is a window: it is placed in logical pixels (the picture's area stays in
    // device pixels, as the accessibility readings are).
    auto* editor = new EditorWindowController(image, currentCaptureStyle(),
                                              screen ? ScreenSpace::toLogical(screen->globalRectPx) : QRect(),
                                              areaGlobal, sourcePid);
    editor->anchor = [this] {
        return m_buttonPanel && m_buttonPanel->isVisible() ? m_buttonPanel->frameGeometry() : QRect();
    };
    present(editor);
}

void AppDelegate::present(EditorWindowController* editor) {
    if (m_handBackNext) {
        editor->handBackToPrompts();
        m_handBackNext = false;
    }
    editor->onClose = [this, editor] {
        if (m_editor == editor) m_editor = nullptr;
        if (m_buttonPanel) m_buttonPanel->camera()->stopPulsing();
        editor->deleteWhenSaved(); // a save that fails still reaches the user
    };
    editor->onReopen = [this, editor] {
        if (!m_editor) m_editor = editor;
    };
    editor->onWantsAnotherCapture = [this] { captureAnother(); };
    editor->onPaste = [this] { pasteImage(); };
    editor->onChooseFiles = [this] { openImage(); };
    editor->onAddFromPhone = [this] { addFromPhone(); };
    m_editor = editor;
    editor->present();
    Q_EMIT editorPresented();
}

void AppDelegate::captureAnother() {
    if (m_isCapturing || !m_editor) return;
    const std::optional<DisplayInfo> screen = currentScreen();
    if (!screen) return;
    m_isCapturing = true;
    grabDisplay(*screen, this, [this, screen](Outcome<Capture> result) {
        if (result) {
            CaptureEffect::play(screen->globalRectPx);
            if (m_buttonPanel) m_buttonPanel->camera()->stopPulsing();
            if (m_editor)
                m_editor->receiveCapture(result.value().image, result.value().areaGlobal, screenSourcePid());
        } else {
            Permissions::explainFailure(QStringLiteral("Couldn't capture the screen"), result.message());
        }
        m_isCapturing = false;
    });
}

void AppDelegate::openPicture(const QString& path) {
    if (const auto loaded = MarkStore::load(path)) {
        openEditor(loaded->unmarked);
        if (m_editor) m_editor->restoreMarks(loaded->saved, path);
        return;
    }
    const QImage image = ImageImport::fromFile(path);
    if (image.isNull()) {
        Permissions::show(
            QStringLiteral("Couldn't open that picture"),
            QStringLiteral("The file may have been moved or damaged. Show the folder in Finder to "
                           "check on it."));
        return;
    }
    openEditor(image);
}

void AppDelegate::pasteImage() {
    const QImage image = ImageImport::fromClipboard();
    if (image.isNull()) {
        Permissions::show(
            QStringLiteral("No picture on the clipboard"),
            QStringLiteral("Copy a picture first. From your iPhone, copy it and wait a few seconds. That "
                           "needs the same Apple Account on both, with Wi-Fi, Bluetooth and Handoff on."));
        return;
    }
    openEditor(image);
}

void AppDelegate::addFromPhone() {
    if (m_phoneWindow) {
        m_phoneWindow->show();
        m_phoneWindow->raise();
        m_phoneWindow->activateWindow();
        return;
    }
    auto* window = new PhoneUploadWindow;
    m_phoneWindow = window;
    // Each file from the phone is brought in, and its copy in the inbox removed.
    connect(window, &PhoneUploadWindow::received, this,
            [this](const QString& path) { bringIn(path, false); });
    connect(window, &PhoneUploadWindow::closed, this, [this, window] {
        if (m_phoneWindow == window) m_phoneWindow = nullptr;
        window->deleteLater();
    });
    window->begin();
}

void AppDelegate::openImage() {
    const QStringList files = QFileDialog::getOpenFileNames(
        nullptr,
        words(QStringLiteral(
            "Choose one or more pictures or videos. iCloud Drive and Photos are in the sidebar.")),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
        QStringLiteral(
            "Pictures and videos (*.png *.jpg *.jpeg *.gif *.bmp *.tif *.tiff *.webp *.heic *.mp4 *.mov "
            "*.m4v *.webm *.mkv);;All files (*)"));
    for (const QString& f : files)
        bringIn(f, true);
}

void AppDelegate::bringIn(const QString& path, bool keepOriginal) {
    const QImage image = ImageImport::fromFile(path);
    if (!image.isNull()) {
        openEditor(image);
        if (!keepOriginal) QFile::remove(path);
        return;
    }
    try {
        // Kept originals are copied straight into the library (whole, under a passing name
        // first), never through the shared temporary folder.
        const QString adopted = CaptureStore::adopt(path, keepOriginal);
        if (CaptureStore::isVideo(adopted)) openVideo(adopted);
    } catch (const StoreError& e) {
        qCWarning(logApp) << "Couldn't bring" << path << "in:" << e.what();
        Toast::show(QString::fromStdString(e.what()));
    }
}

} // namespace ombrel
