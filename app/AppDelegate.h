#pragma once
// The application's delegate: owns the long-lived objects, runs start-up, builds the
// tray menu and its Settings submenu, answers open-URL and reopen requests, and routes
// every capture request. Everything here runs on the GUI thread.

#include "ScreenGrab.h"
#include "editor/EditorWindow.h"
#include "longpage/ScrollCaptureSession.h"
#include "platform/Screens.h"
#include "platform/Windows.h"
#include "recording/RecordingFrame.h"
#include "recording/ScreenRecorder.h"

#include <QElapsedTimer>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <optional>

namespace ombrel {

class ButtonPanel;
class CapturePicker;
struct CaptureChoice;
class PhoneUploadWindow;
class RecentPanel;

class AppDelegate : public QObject {
    Q_OBJECT
  public:
    explicit AppDelegate(QString bundleId, QObject* parent = nullptr);
    ~AppDelegate() override;

    const QString& bundleId() const { return m_bundleId; }
    bool isReleaseBuild() const;

    void applicationDidFinishLaunching();
    // The user started the program again while it runs: shows the Recent panel and answers false.
    bool applicationShouldHandleReopen();
    // The tray menu's "Recent": hides the panel when shown, else shows it.
    void toggleRecent();
    // The Recent panel, made on first use.
    RecentPanel& recentPanel();
    bool hasRecentPanel() const { return m_recentPanel != nullptr; }
    // URLs and files handed to the program (command line, desktop file, another instance).
    // A list that starts with `sendMarker` names files to send to the chat instead.
    void open(const QStringList& urlsOrFiles);
    static inline const QString sendMarker = QStringLiteral("--send-to-chat");
    void openUrls(const QList<QUrl>& urls);
    void openFile(const QString& path);

    // Capture.
    void capture(std::optional<DisplayInfo> screen = std::nullopt);
    void captureWindow(const WindowInfo& window);
    // Photographs the target application's main window while the user scrolls it, then
    // opens the stitched long picture in the editor.
    void startScrollCapture();
    // The window a long-page capture of the process `pid` photographs: its largest
    // normal-layer window at least 200 pixels wide, or none.
    static std::optional<WindowInfo> longPageWindow(const QList<WindowInfo>& windows, qint64 pid);
    ScrollCaptureSession* scrollSession() const { return m_scrollSession; }
    // Gives a picture to the open editor, or opens one on `screen` (by default the current one).
    void openEditor(const QImage& image, const QRect& areaGlobal = {}, qint64 sourcePid = 0,
                    std::optional<DisplayInfo> screen = std::nullopt);
    // The process whose elements a screen capture shows: the last application the user
    // worked in, when known.
    static qint64 screenSourcePid();
    // Captures the current screen into the open editor (its request for another screen).
    void captureAnother();
    EditorWindowController* editor() const { return m_editor; }
    void openPicture(const QString& path);
    // Opens a video in the video editor (the one already showing it, if any).
    void openVideo(const QString& path);
    void openImage();
    void bringIn(const QString& path, bool keepOriginal);
    void pasteImage();
    // Opens the phone-upload window, or brings the open one to the front.
    void addFromPhone();
    bool isCapturing() const { return m_isCapturing; }
    bool handBackNext() const { return m_handBackNext; }
    // The screen captures go to: the one under the pointer, else the floating buttons',
    // else the primary display, else the first one.
    std::optional<DisplayInfo> currentScreen() const;

    // The floating buttons and the capture picker (AppDelegateButtons.cpp).
    void buildButtons();
    // Lays the buttons out in the stored layout.
    void layOutButtons();
    ButtonPanel* buttonPanel() const { return m_buttonPanel.get(); }
    // "Hide Floating Buttons" / "Show Floating Buttons".
    void toggleFloatingButtons();
    // "Stacked Up and Down" (false) / "Side by Side" (true).
    void chooseButtonLayout(bool sideBySide);
    // A "Capture Shortcut" choice: stores and registers it, and says how to use it.
    void chooseShortcut(const QString& name);
    // The pointer entered or left the camera button, or the picker.
    void cameraHovered(bool inside);
    void pickerHovered(bool inside);
    // Shows or hides the picker by where the pointer is.
    void updatePicker();
    void showPicker();
    void hidePicker();
    CapturePicker* picker() const { return m_picker.get(); }
    const QTimer& pickerTimer() const { return m_pickerTimer; }
    // The picker's rows: the screens, "A Long Page", then the windows.
    QList<CaptureChoice> captureChoices();
    // The camera's tool tip, with the shortcut unless it is "Off".
    static QString cameraToolTip(const QString& shortcutName);

    QMenu* appMenu() { return m_appMenu.get(); }
    QMenu* settingsMenu() { return m_settingsMenu.get(); }
    void refreshAppMenu();
    void refreshSettingsMenu();

    // Recording (the workflow lives in AppDelegateRecording.cpp).
    // Stops a running recording, else opens the menu that chooses what to record.
    void toggleRecording();
    void showRecordingMenu();
    void startRecording(const ScreenRecorder::Target& target, const QString& name, QRect around,
                        std::optional<WindowId> windowId = std::nullopt);
    // Whether the recording may use the microphone ("With Sound" on and the system lets it).
    bool microphoneAllowed();
    void recordingEnded(std::optional<QString> file, const QString& error);
    void startTimer();
    // "mm:ss" under an hour, else "h:mm:ss"; negative times are "00:00".
    static QString formatTime(double seconds);
    void setTimeLabel(const QString& text);
    void showTimeLabel(bool show);
    void showSaving();
    bool recordsMicrophone() const;
    bool zoomsOnClicks() const;
    ScreenRecorder* recorder() const { return m_recorder; }
    bool isStartingRecording() const { return m_isStartingRecording; }
    QMenu* recordingMenu() const { return m_recordingMenu.get(); }
    RecordingFrame* recordingFrame() const { return m_recordingFrame; }
    // The time label's text beside the record button.
    QString timeLabelText() const;
    bool isTimeShowing() const { return m_timeShowing; }
    // The windows the recording menu offers: browsers first, then the rest, front to back.
    static QList<WindowInfo> recordableWindows(const QList<WindowInfo>& bottomToTop, qint64 ownPid,
                                               const QString& ownBundleId);

    // Quitting: false while a recording is being saved first (the program quits after it).
    bool applicationShouldTerminate();
    // Quits now, or once the running recording has been saved.
    void terminate();

    bool opensAtLogin() const;
    void setUpOpenAtLogin();
    void toggleOpenAtLogin();

  Q_SIGNALS:
    // An editor opened (tests and scripts wait for it).
    void editorPresented();
    // A recording was saved to `path` (the Recent panel shows it when it exists).
    void recordingSaved(const QString& path);

  private:
    void buildMenu();
    void buildStatusItem();
    void showRecent(bool toggle);
    void registerHotKey(bool saying);
    void giveButtonsTheMenu();
    bool mayStartCapture() const;
    void finishCapture(Outcome<Capture> result, bool windowGrab, const std::optional<DisplayInfo>& screen);
    void present(EditorWindowController* editor);
    QAction* addItem(QMenu* menu, const QString& title, std::function<void()> action, bool enabled = true);

    QString m_bundleId;
    bool m_isCapturing = false;
    bool m_handBackNext = false;
    std::unique_ptr<QMenu> m_appMenu;
    std::unique_ptr<QMenu> m_settingsMenu;
    std::unique_ptr<QMenu> m_applicationMenu; // "Ombrel Capture" with Quit, for windows' menu bars
    std::unique_ptr<QMenu> m_editMenu;        // Undo, Redo, Cut, Copy, Paste, Select All, Close Window
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    QPointer<PhoneUploadWindow> m_phoneWindow;
    std::unique_ptr<RecentPanel> m_recentPanel;
    QPointer<EditorWindowController> m_editor;
    QPointer<ScrollCaptureSession> m_scrollSession; // the long-page capture while it runs

    // Recording.
    QPointer<ScreenRecorder> m_recorder;
    bool m_isStartingRecording = false;
    bool m_quitAfterRecording = false;
    bool m_timeShowing = false;
    std::unique_ptr<QMenu> m_recordingMenu;
    QTimer* m_recordingTimer = nullptr;
    QElapsedTimer m_recordingClock;
    QPointer<RecordingFrame> m_recordingFrame;

    // Floating buttons and the picker.
    std::unique_ptr<ButtonPanel> m_buttonPanel;
    std::unique_ptr<CapturePicker> m_picker;
    bool m_pointerOnCamera = false;
    bool m_pointerOnPicker = false;
    QTimer m_pickerTimer;
};

} // namespace ombrel
