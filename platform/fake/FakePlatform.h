#pragma once
// In-process fakes of every platform service. Tests reach them through
// `fakes()` after installing them with `installFakePlatform()`.

#include "platform/Platform.h"
#include "platform/SoundFile.h"

#include <QHash>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace ombrel {

class FakeScreens : public ScreenGrabber {
  public:
    QList<DisplayInfo> displayList{{1, QRect(0, 0, 1920, 1080), true, QStringLiteral("screen")}};
    // The picture each display shows; a display without one shows a plain grey picture.
    QHash<quint32, QImage> content;
    QHash<WindowId, QImage> windowContent;
    int grabs = 0;
    // When set, the next grab fails with this message.
    QString failNext;

    QList<DisplayInfo> displays() override { return displayList; }
    Outcome<QImage> grabDisplay(quint32 id, QSize outputSize) override;
    Outcome<QImage> grabWindow(WindowId window, QSize outputSize) override;
    QSize windowSize(WindowId window) override;
};

class FakeWindows : public WindowSystem {
  public:
    QList<WindowInfo> windowList;
    std::optional<AppInfo> front;
    qint64 myPid = 4242;
    QList<qint64> activations;
    // When set, activation requests are recorded but the front application stays as it is
    // (a pop-up holds the front, or the window manager refuses).
    bool ignoreActivation = false;
    QSet<qint64> quit; // processes that have ended

    QList<WindowInfo> windows() override { return windowList; }
    std::optional<AppInfo> frontApplication() override { return front; }
    qint64 ownPid() const override { return myPid; }
    bool activate(qint64 pid) override;
    void startWatching() override {}
    bool isRunning(qint64 pid) override { return !quit.contains(pid); }
    bool compositing = true;
    bool isCompositing() override { return compositing; }
    // Makes `app` the front application and reports it, as the window system would.
    void bringToFront(const AppInfo& app);
    // The look of each application by identifier; others are named by their identifier.
    QHash<QString, ApplicationLook> looks;
    ApplicationLook applicationLook(const WindowInfo& window) override {
        return looks.value(window.bundleId, ApplicationLook{window.bundleId, {}});
    }
    QList<WindowId> floating; // the windows asked to float
    void keepFloating(WindowId window) override { floating.append(window); }
};

class FakePasteboard : public Pasteboard {
  public:
    QByteArray pngData;
    QImage imageData;
    QList<QUrl> fileList;
    int changes = 0;

    void putPng(const QByteArray& png) override;
    bool putFiles(const QList<QUrl>& files) override;
    QImage image() override;
    QByteArray png() override { return pngData; }
    QList<QUrl> files() override { return fileList; }
};

class FakeSounds : public Sounds {
  public:
    QStringList events;
    QList<QByteArray> wavs;
    QList<double> volumes;
    void playEvent(const QString& eventId) override { events.append(eventId); }
    void playWav(const QByteArray& wav, double volume) override {
        wavs.append(wav);
        volumes.append(volume);
    }
};

// Moves trashed files into a folder of its own, so put-back is real file work.
class FakeTrash : public Trash {
  public:
    explicit FakeTrash(QString folder) : trashFolder(std::move(folder)) {}
    QString trashFolder;
    std::optional<QString> moveToTrash(const QString& path) override;
    bool putBack(const QString& trashedPath, const QString& originalPath) override;
};

class FakeLoginItem : public LoginItem {
  public:
    bool enabled = false;
    QString failWith; // when set, enable and disable fail with this sentence
    int registrations = 0;
    bool isEnabled() override { return enabled; }
    QString enable() override;
    QString disable() override;
};

class FakeWorkspace : public Workspace {
  public:
    QList<QUrl> opened;
    QStringList revealed;
    bool open(const QUrl& url) override {
        opened.append(url);
        return true;
    }
    bool reveal(const QString& path) override {
        revealed.append(path);
        return true;
    }
    QStringList applications;
    bool openApplication(const QString& desktopId) override {
        applications.append(desktopId);
        return true;
    }
    bool fewerAnimations = false;
    bool reducesMotion() override { return fewerAnimations; }
    struct Mail {
        QStringList to;
        QString subject;
        QString attachment;
    };
    QList<Mail> mails;
    bool hasMail = true; // false: no e-mail program
    bool composeMail(const QStringList& to, const QString& subject, const QString& attachment) override {
        if (hasMail) mails.append({to, subject, attachment});
        return hasMail;
    }
};

class FakeAccess : public Access {
  public:
    bool screen = true;
    bool accessibility = true;
    bool screenCaptureAllowed() override { return screen; }
    bool accessibilityTrusted() override { return accessibility; }
};

class FakeAccessibility : public Accessibility {
  public:
    // What reading the focus of a process answers; a process not listed answers Failed.
    QHash<qint64, FocusReading> focus;
    // Answers used first, one per reading, before `focus` (to change the answer over time).
    QList<FocusReading> nextReadings;
    std::atomic<int> readings{0};
    // While set, a reading waits (up to ten seconds), as a walk through a busy browser
    // does; `waiting` counts the readings held so.
    std::atomic<bool> holdAnswers{false};
    std::atomic<int> answerDelayMs{0}; // every reading takes this long
    std::atomic<int> waiting{0};
    QList<qint64> switchedOn;
    QList<bool> switchedOnAsBrowser;
    int trustRequests = 0;
    int settingsOpened = 0;

    FocusReading focusedElement(qint64 pid, int timeoutMs) override;
    void switchOnReading(qint64 pid, bool isBrowser) override {
        switchedOn.append(pid);
        switchedOnAsBrowser.append(isBrowser);
    }
    // What asking for trust answers, and whether a yes makes `access` trusted at once.
    bool trustGranted = true;
    bool trustTurnsAccessOn = false;
    bool settingsPage = true;
    bool requestTrust() override;
    bool openSettings() override {
        ++settingsOpened;
        return settingsPage;
    }
};

// An element of a made-up application; tests build trees of these.
class FakeNode : public AccessibleNode {
  public:
    QString roleName;
    bool editable = false;
    bool active = false;
    bool visible = true;
    bool showing = true;
    std::optional<QRectF> frame;
    QMap<NodeText, QString> texts;
    QString docURL;
    QList<std::shared_ptr<FakeNode>> kids;
    // Counts the element's questions answered, so tests see what a walk visited.
    int* questions = nullptr;

    QString role() override { return ask(), roleName; }
    bool isEditable() override { return ask(), editable; }
    bool isActive() override { return ask(), active; }
    bool isVisible() override { return ask(), visible; }
    bool isShowing() override { return ask(), showing; }
    std::optional<QRectF> frameGlobal() override { return ask(), frame; }
    QString text(NodeText which) override { return ask(), texts.value(which); }
    QString documentAddress() override { return ask(), docURL; }
    int childCount() override { return ask(), int(kids.size()); }
    QList<AccessibleNodePtr> children() override;
    // A made-up application that searches itself when `searches` is set on the node asked.
    bool searches = true;
    std::optional<QList<AccessibleNodePtr>> descendants(const QStringList& roles, int max) override;

    // Appends a child and answers it, for building trees in a few lines.
    std::shared_ptr<FakeNode> add(const QString& role, std::optional<QRectF> frame = {},
                                  const QString& name = {});

  private:
    void ask() const {
        if (questions) ++*questions;
    }
};

class FakeAccessibleTree : public AccessibleTree {
  public:
    // The application element of each process on the made-up bus; its children are windows.
    QHash<qint64, std::shared_ptr<FakeNode>> apps;
    QList<int> timeouts;
    AccessibleNodePtr application(qint64 pid, int timeoutMs) override {
        timeouts.append(timeoutMs);
        return apps.value(pid);
    }
};

class FakeKeys : public SyntheticKeys {
  public:
    struct Press {
        SyntheticKey key;
        bool command;
        friend bool operator==(const Press&, const Press&) = default;
    };
    QList<Press> presses;
    // Called at every press, so a test can note the time or the clipboard at that moment.
    std::function<void(const Press&)> onPress;
    bool press(SyntheticKey key, bool command) override {
        presses.append({key, command});
        if (onPress) onPress(presses.last());
        return true;
    }
    std::atomic<bool> available{true};
    bool canPress() override { return available; }
};

// Pictures drawn on the spot: a light page with dark lines of "text" and a block that moves
// with each picture, so that recordings of it have content and motion.
class FakeFrameSource : public FrameSource {
  public:
    explicit FakeFrameSource(QSize size, std::atomic<int>* grabs) : m_size(size), m_grabs(grabs) {}
    Outcome<bool> grab(const std::function<void(const QImage&)>& use) override;

  private:
    QSize m_size;
    std::atomic<int>* m_grabs;
    int m_index = 0;
};

// A steady tone of the given loudness, delivered in real time on a thread of its own.
class FakeAudioSource : public AudioSource {
  public:
    // `failStart`: when set, starting fails with this message. `stopDelayMs`: how long
    // stopping takes, as a device that is slow to close.
    explicit FakeAudioSource(double amplitude, QString failStart = {}, int stopDelayMs = 0)
        : m_amplitude(amplitude), m_failStart(std::move(failStart)), m_stopDelayMs(stopDelayMs) {}
    ~FakeAudioSource() override { stop(); }
    Outcome<bool> start(std::function<void(const AudioChunk&)> onChunk) override;
    void stop() override;

  private:
    double m_amplitude;
    QString m_failStart;
    int m_stopDelayMs;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
};

class FakeInputMonitor : public InputMonitor {
  public:
    explicit FakeInputMonitor(std::optional<QPoint>* pointerAt) : m_pointerAt(pointerAt) {}
    bool start() override {
        running = true;
        return true;
    }
    void stop() override { running = false; }
    std::optional<QPoint> pointer() override { return *m_pointerAt; }
    // Reports a press or a scroll as the desktop would, while started.
    void press(QPoint global) {
        if (running) Q_EMIT pressed(global);
    }
    void scroll() {
        if (running) Q_EMIT scrolled();
    }
    bool running = false;

  private:
    std::optional<QPoint>* m_pointerAt;
};

class FakeRecording : public RecordingSources {
  public:
    // The size of every display's and window's pictures.
    QSize frameSize{320, 180};
    // When set, opening a display or window fails with this message.
    QString failOpen;
    MicrophoneAccess access = MicrophoneAccess::Authorized;
    bool answerWhenAsked = true;
    int accessRequests = 0;
    double toneAmplitude = 0.25;
    int microphoneStopDelayMs = 0; // how long the microphone takes to stop
    // When set, the microphone fails to start with this message.
    QString microphoneFails;
    std::optional<QPoint> pointerAt;
    std::atomic<int> grabs{0};
    // The monitor handed out last, to press and scroll through.
    QPointer<FakeInputMonitor> monitor;

    Outcome<std::unique_ptr<FrameSource>> display(quint32 displayId) override;
    Outcome<std::unique_ptr<FrameSource>> window(WindowId window) override;
    MicrophoneAccess microphoneAccess() override { return access; }
    bool requestMicrophoneAccess() override;
    int settingsOpened = 0;
    bool openMicrophoneSettings() override {
        ++settingsOpened;
        return true;
    }
    std::unique_ptr<AudioSource> microphone() override;
    std::unique_ptr<InputMonitor> inputMonitor() override;
};

// Answers the boxes it is given (normalised, origin bottom-left), or fails when told to.
class FakeVision : public Vision {
  public:
    QList<VisionBox> rectangleBoxes;
    QList<VisionBox> objectBoxes;
    bool failRectangles = false;
    bool failObjects = false;
    // The requests asked, so tests see the parameters passed on.
    QList<RectangleRequest> rectangleRequests;
    int objectRequests = 0;

    Outcome<QList<VisionBox>> rectangles(const QImage& picture, const RectangleRequest& request) override;
    Outcome<QList<VisionBox>> salientObjects(const QImage& picture) override;
};

// Records what was shared; the desktop's answers are set by the test.
class FakeSharing : public Sharing {
  public:
    bool mailInstalled = true;
    bool bluetoothInstalled = true;
    QList<ShareApplication> applications; // the applications that open any files asked about
    std::optional<QString> folderAnswer;  // the folder the user picks; none cancels
    QList<QStringList> mailed, sentByBluetooth, askedAbout;
    QList<std::pair<QString, QStringList>> openedWith;
    QStringList folderQuestions; // the title and the button label of each folder panel

    bool canMail() override { return mailInstalled; }
    bool mail(const QStringList& files) override {
        mailed.append(files);
        return mailInstalled;
    }
    bool canSendByBluetooth() override { return bluetoothInstalled; }
    bool sendByBluetooth(const QStringList& files) override {
        sentByBluetooth.append(files);
        return bluetoothInstalled;
    }
    QList<ShareApplication> applicationsFor(const QStringList& files) override {
        askedAbout.append(files);
        return applications;
    }
    bool openWith(const QString& applicationId, const QStringList& files) override {
        openedWith.append({applicationId, files});
        return true;
    }
    void chooseFolder(const QString& title, const QString& acceptLabel,
                      std::function<void(std::optional<QString>)> done) override {
        folderQuestions << title << acceptLabel;
        done(folderAnswer);
    }
};

// Records what is registered; combinations in `heldElsewhere` are refused as another
// program's. `press` acts as the user pressing the registered combination.
class FakeHotKeys : public HotKeys {
  public:
    QList<QKeyCombination> heldElsewhere;
    QList<std::optional<QKeyCombination>> registrations; // every change, none for a release
    std::optional<QKeyCombination> key;

    Outcome<bool> registerKey(QKeyCombination combination) override;
    void unregisterKey() override;
    std::optional<QKeyCombination> registeredKey() const override { return key; }
    // True when a combination is registered and so the press reached the program.
    bool press();
};

// Words are runs of letters; a word listed in `misspelled` is wrong in every language.
class FakeSpelling : public Spelling {
  public:
    QStringList languageList{QStringLiteral("en_GB"), QStringLiteral("de_DE")};
    QString language = QStringLiteral("en");
    QSet<QString> misspelled;
    QHash<QString, QStringList> better;
    QStringList languagesAsked; // the language of every check, in order

    QStringList languages() override { return languageList; }
    QString dominantLanguage(const QString&) override { return language; }
    std::optional<WordRange> nextMisspelled(const QString& text, qsizetype from,
                                            const QString& lang) override;
    QStringList suggestions(const QString& word, const QString&) override { return better.value(word); }
};

// Answers every prompt with `answer` (or what `answerFor` makes of it) unless told to fail.
class FakeLanguageModel : public LanguageModel {
  public:
    std::atomic<bool> available{false};
    QString answer;
    std::function<QString(const QString&)> answerFor;
    QString failWith; // when set, respond fails with this message
    std::atomic<int> requests{0};

    bool isAvailable() override { return available; }
    Outcome<QString> respond(const QString& instructions, const QString& prompt, double temperature) override;
};

// A live pass driven by the test: `say` delivers a result as the engine would.
class FakeSpeechTask : public SpeechTask {
  public:
    FakeSpeechTask(Handler handler, QList<FakeSpeechTask*>* alive)
        : m_handler(std::move(handler)), m_alive(alive) {
        m_alive->append(this);
    }
    ~FakeSpeechTask() override { m_alive->removeAll(this); }
    void append(const AudioChunk&) override { ++chunks; }
    void endAudio() override { ended = true; }
    void cancel() override { cancelled = true; }
    // Hands (text, done) to the pass's handler, unless the pass was cancelled.
    void say(std::optional<QString> text, bool done) {
        if (!cancelled) m_handler(std::move(text), done);
    }
    std::atomic<int> chunks{0};
    bool ended = false;
    bool cancelled = false;

  private:
    Handler m_handler;
    QList<FakeSpeechTask*>* m_alive;
};

// Hears a "word" in every run of loud samples of a sound file (runs closer than 50 ms are
// one word), named "word"; silence gives no speech. Languages in `unavailable` have no model.
class FakeSpeech : public Speech {
  public:
    bool authorized = true;
    bool grantWhenAsked = true;
    int authorizationRequests = 0;
    QSet<QString> unavailable;
    // The files asked about, with their length in seconds, in the order they were asked
    // (parts heard side by side arrive in any order).
    QList<std::pair<QString, double>> filesHeard;
    QList<QString> languagesAsked;
    // Sounds for which the engine breaks down (files may be heard from several threads).
    std::function<bool(const SoundFile::Mono&)> failFor;
    // The passes alive now, oldest first; owned by whoever started them.
    QList<FakeSpeechTask*> tasks;
    int tasksStarted = 0;

    bool isAuthorized() override { return authorized; }
    bool requestAuthorization() override;
    bool isAvailable(const QString& language) override { return !unavailable.contains(language); }
    Recognition recognizeFile(const QString& soundFile, const QString& language) override;
    std::unique_ptr<SpeechTask> startTask(const QString& language, SpeechTask::Handler handler) override;

  private:
    std::mutex m_mutex;
};

struct FakePlatformHandles {
    FakeScreens* screens = nullptr;
    FakeWindows* windows = nullptr;
    FakePasteboard* pasteboard = nullptr;
    FakeSounds* sounds = nullptr;
    FakeTrash* trash = nullptr;
    FakeLoginItem* loginItem = nullptr;
    FakeWorkspace* workspace = nullptr;
    FakeAccess* access = nullptr;
    FakeAccessibility* accessibility = nullptr;
    FakeKeys* keys = nullptr;
    FakeRecording* recording = nullptr;
    FakeAccessibleTree* accessibleTree = nullptr;
    FakeVision* vision = nullptr;
    FakeSharing* sharing = nullptr;
    FakeHotKeys* hotKeys = nullptr;
    FakeSpelling* spelling = nullptr;
    FakeLanguageModel* languageModel = nullptr;
    FakeSpeech* speech = nullptr;
};

// Installs a fresh set of fakes (the trash in `trashFolder`) and answers handles to them.
FakePlatformHandles installFakePlatform(const QString& trashFolder);
// The handles of the fakes installed last.
FakePlatformHandles& fakes();

} // namespace ombrel
