#include "ChatSender.h"
#include "CursorPrompt.h"
#include "Scheduler.h"

#include "library/Clipboard.h"
#include "platform/Defaults.h"
#include "platform/Notifier.h"
#include "platform/Platform.h"
#include "ui/Permissions.h"
#include "ui/Toast.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSet>
#include <algorithm>
#include <memory>

// Each reading of the caret and how long it took: QT_LOGGING_RULES="ombrel.sending.debug=true".
Q_LOGGING_CATEGORY(sendingLog, "ombrel.sending", QtWarningMsg)

namespace ombrel {

const QStringList ChatSender::systemPopUps{
    // password and permission prompts
    QStringLiteral("polkit-gnome-authentication-agent-1"),
    QStringLiteral("org.kde.polkit-kde-authentication-agent-1"),
    QStringLiteral("polkit-kde-authentication-agent-1"),
    QStringLiteral("polkit-mate-authentication-agent-1"),
    QStringLiteral("lxpolkit"),
    QStringLiteral("gcr-prompter"),
    QStringLiteral("org.gnome.keyring.SystemPrompter"),
    QStringLiteral("pinentry"),
    QStringLiteral("pinentry-gtk-2"),
    QStringLiteral("pinentry-qt"),
    QStringLiteral("ssh-askpass"),
    QStringLiteral("ksshaskpass"),
    QStringLiteral("zenity"),
    // login and lock screens
    QStringLiteral("lightdm-gtk-greeter"),
    QStringLiteral("gdm"),
    QStringLiteral("xscreensaver"),
    QStringLiteral("light-locker"),
    QStringLiteral("xfce4-screensaver"),
    QStringLiteral("kscreenlocker_greet"),
    // the shell, panels, docks and trays
    QStringLiteral("gnome-shell"),
    QStringLiteral("org.gnome.Shell"),
    QStringLiteral("plasmashell"),
    QStringLiteral("org.kde.plasmashell"),
    QStringLiteral("xfce4-panel"),
    QStringLiteral("lxpanel"),
    QStringLiteral("mate-panel"),
    QStringLiteral("gnome-panel"),
    QStringLiteral("budgie-panel"),
    QStringLiteral("tint2"),
    QStringLiteral("polybar"),
    QStringLiteral("trayer"),
    QStringLiteral("stalonetray"),
    QStringLiteral("plank"),
    QStringLiteral("cairo-dock"),
    QStringLiteral("docky"),
    QStringLiteral("latte-dock"),
    QStringLiteral("nm-applet"),
    QStringLiteral("blueman-applet"),
    // notifications
    QStringLiteral("notify-osd"),
    QStringLiteral("dunst"),
    QStringLiteral("xfce4-notifyd"),
    QStringLiteral("mate-notification-daemon"),
    QStringLiteral("notification-daemon"),
    // launchers and quick search
    QStringLiteral("krunner"),
    QStringLiteral("org.kde.krunner"),
    QStringLiteral("rofi"),
    QStringLiteral("dmenu"),
    QStringLiteral("ulauncher"),
    QStringLiteral("albert"),
    QStringLiteral("synapse"),
    // input-method and on-screen keyboard windows
    QStringLiteral("ibus-ui-gtk3"),
    QStringLiteral("fcitx"),
    QStringLiteral("onboard"),
};

const QStringList ChatSender::desktopShells{
    QStringLiteral("org.gnome.Nautilus"),
    QStringLiteral("nautilus"),
    QStringLiteral("nautilus-desktop"),
    QStringLiteral("desktop_window"),
    QStringLiteral("xfdesktop"),
    QStringLiteral("thunar"),
    QStringLiteral("pcmanfm"),
    QStringLiteral("pcmanfm-qt"),
    QStringLiteral("caja"),
    QStringLiteral("nemo"),
    QStringLiteral("nemo-desktop"),
    QStringLiteral("org.kde.dolphin"),
    QStringLiteral("dolphin"),
    QStringLiteral("io.elementary.files"),
};

const QStringList ChatSender::browsers{
    QStringLiteral("chromium"),       QStringLiteral("chromium-browser"), QStringLiteral("google-chrome"),
    QStringLiteral("brave-browser"),  QStringLiteral("microsoft-edge"),   QStringLiteral("opera"),
    QStringLiteral("vivaldi-stable"), QStringLiteral("vivaldi"),
};

namespace {

struct State {
    std::optional<AppInfo> target;
    QSet<qint64> woken;
    int permissionWait = 0; // the wait for the permission now running; a new wait replaces it
    QMetaObject::Connection tracking;
};

State& state() {
    static State s;
    return s;
}

bool isFront(const AppInfo& app) {
    const auto front = Platform::windows().frontApplication();
    return front && front->pid == app.pid;
}

bool isRunningTarget() {
    const auto& target = state().target;
    return target && Platform::windows().isRunning(target->pid);
}

void after(int delayMs, std::function<void()> work) {
    Scheduler::current().after(delayMs, nullptr, std::move(work));
}

bool listed(const QStringList& list, const QString& id) {
    return list.contains(id, Qt::CaseInsensitive);
}

} // namespace

// ---- the target ----

void ChatSender::startTracking() {
    WindowSystem& windows = Platform::windows();
    remember(windows.frontApplication());
    QObject::disconnect(state().tracking);
    state().tracking = QObject::connect(&windows, &WindowSystem::frontApplicationChanged, &windows,
                                        [](const AppInfo& app) { remember(app); });
    windows.startWatching();
}

void ChatSender::remember(const std::optional<AppInfo>& app) {
    if (!app || !canBeTarget(*app)) return;
    const bool changed = !state().target || state().target->pid != app->pid;
    state().target = *app;
    if (changed) Q_EMIT Notifier::instance().ChatSenderDidChangeTarget();
    wakeReading(*app);
}

bool ChatSender::canBeTarget(const AppInfo& app) {
    return app.pid != Platform::windows().ownPid() && app.hasNormalWindow && canBeTarget(app.bundleId);
}

bool ChatSender::canBeTarget(const QString& bundleId) {
    if (bundleId.isEmpty()) return false;
    return !listed(desktopShells, bundleId) && !listed(systemPopUps, bundleId);
}

std::optional<AppInfo> ChatSender::target() {
    return state().target;
}

std::optional<QString> ChatSender::targetName() {
    if (!state().target || state().target->name.isEmpty()) return std::nullopt;
    return state().target->name;
}

void ChatSender::wakeReading(const AppInfo& app) {
    if (!Platform::access().accessibilityTrusted() || state().woken.contains(app.pid)) return;
    state().woken.insert(app.pid);
    Platform::accessibility().switchOnReading(app.pid, listed(browsers, app.bundleId));
}

// ---- the caret ----

namespace {

// Reads the focused element of `app` and judges it; any thread.
CursorSpot readSpot(Accessibility& accessibility, const AppInfo& app) {
    QElapsedTimer took;
    took.start();
    const FocusReading reading = accessibility.focusedElement(app.pid, ChatSender::readingTimeoutMs);
    qCDebug(sendingLog) << "caret reading of" << app.bundleId << "pid" << app.pid << "result"
                        << int(reading.result) << reading.element.role << reading.element.subrole
                        << reading.element.words << "editable" << reading.element.hasEditableAncestor << "in"
                        << took.elapsed() << "ms";
    switch (reading.result) {
    case FocusReading::Result::NoValue:
    case FocusReading::Result::Unsupported:
        return CursorSpot::elsewhere;
    case FocusReading::Result::Failed:
        return CursorSpot::unknown;
    case FocusReading::Result::Found:
        break;
    }
    const FocusedElement& e = reading.element;
    return ChatSender::classify(e.role, e.subrole, e.words.join(QLatin1Char(' ')), e.hasEditableAncestor);
}

} // namespace

CursorSpot ChatSender::cursorSpot(const AppInfo& app) {
    if (!Platform::access().accessibilityTrusted()) return CursorSpot::unknown;
    wakeReading(app);
    return readSpot(Platform::accessibility(), app);
}

void ChatSender::cursorSpotLater(const AppInfo& app, QObject* guard, std::function<void(CursorSpot)> then) {
    if (!Platform::access().accessibilityTrusted()) {
        then(CursorSpot::unknown);
        return;
    }
    wakeReading(app); // on this thread: it keeps the sender's state
    Accessibility* accessibility = &Platform::accessibility();
    Scheduler::current().offThread(guard, [accessibility, app, then = std::move(then)] {
        const CursorSpot spot = readSpot(*accessibility, app);
        return std::function<void()>([then, spot] { then(spot); });
    });
}

CursorSpot ChatSender::classify(const QString& role, const QString& subrole, const QString& words,
                                bool isEditable) {
    static const QStringList textRoles{QStringLiteral("AXTextArea"), QStringLiteral("AXTextField"),
                                       QStringLiteral("AXComboBox")};
    if (!textRoles.contains(role) && !isEditable) return CursorSpot::elsewhere;
    if (subrole == QLatin1String("AXSearchField")) return CursorSpot::elsewhere;
    const QString lower = words.toLower();
    for (const char* word : {"search", "address", "url", "find"})
        if (lower.contains(QLatin1String(word)))
            return CursorSpot::elsewhere; // a browser's address bar or a search box
    return CursorSpot::chatBox;
}

void ChatSender::chatWithCursorLater(QObject* guard, std::function<void(std::optional<QString>)> then) {
    if (!isRunningTarget()) {
        then(std::nullopt);
        return;
    }
    const AppInfo target = *state().target;
    cursorSpotLater(target, guard, [target, then = std::move(then)](CursorSpot spot) {
        if (spot != CursorSpot::chatBox) return then(std::nullopt);
        then(target.name.isEmpty() ? QStringLiteral("your chat") : target.name);
    });
}

// ---- sending ----

void ChatSender::askWithCursorPrompt(const QStringList& files) {
    CursorPrompt::ask(files, [files](const AppInfo& app) {
        remember(app);
        deliver(files, app);
    });
}

namespace {

// Brings the target forward and looks for its caret before pasting.
struct FocusTask {
    QStringList files;
    AppInfo target;
    int t = 0;        // 10 for each activation, 1 for each look at a system pop-up in front
    int readings = 0; // readings of the caret after the first
};

constexpr int focusBudget = 300;
constexpr int focusRoundMs = 100;
constexpr int settleMs = 400;
constexpr int rereadMs = 200;
constexpr int maxRereads = 3;

} // namespace

// Whether `app` still shows a normal window. Without a window list (no window manager
// publishes one) nothing can be told, and the answer is yes.
bool hasWindow(const AppInfo& app) {
    const QList<WindowInfo> list = Platform::windows().windows();
    return list.isEmpty() || std::any_of(list.begin(), list.end(), [&](const WindowInfo& w) {
               return w.pid == app.pid && w.kind == WindowKind::Normal;
           });
}

class FocusSteps {
  public:
    static void bringForward(const std::shared_ptr<FocusTask>& task) {
        if (!isFront(task->target) && !hasWindow(task->target)) {
            // Its chat was closed (the program may linger without a window): nothing can come
            // forward, so the prompt asks at once instead of waiting out the budget.
            ChatSender::askWithCursorPrompt(task->files);
            return;
        }
        if (!isFront(task->target) && task->t < focusBudget) {
            WindowSystem& windows = Platform::windows();
            const auto front = windows.frontApplication();
            if (front && !ChatSender::canBeTarget(*front) && front->pid != windows.ownPid()) {
                task->t += 1; // a password prompt or another pop-up: leave it alone and wait
            } else {
                windows.activate(task->target.pid);
                task->t += 10;
            }
            after(focusRoundMs, [task] { bringForward(task); });
            return;
        }
        if (!isFront(task->target)) {
            ChatSender::askWithCursorPrompt(task->files);
            return;
        }
        after(settleMs, [task] { readCaret(task); });
    }

    static void readCaret(const std::shared_ptr<FocusTask>& task) {
        ChatSender::cursorSpotLater(task->target, nullptr,
                                    [task](CursorSpot spot) { caretRead(task, spot); });
    }

    static void caretRead(const std::shared_ptr<FocusTask>& task, CursorSpot spot) {
        if (spot != CursorSpot::chatBox && task->readings < maxRereads) {
            ++task->readings;
            after(rereadMs, [task] { readCaret(task); });
            return;
        }
        if (spot == CursorSpot::elsewhere)
            ChatSender::askWithCursorPrompt(task->files);
        else
            ChatSender::deliver(task->files, task->target);
    }
};

bool ChatSender::send(const QStringList& files) {
    if (files.isEmpty()) return false;
    // Whatever happens next, the user can paste the first file by hand.
    Clipboard::put(QStringList{files.first()});
    if (!Platform::access().accessibilityTrusted()) {
        explainAccessibility(files);
        return false;
    }
    if (isRunningTarget()) {
        Platform::windows().activate(state().target->pid);
        FocusSteps::bringForward(std::make_shared<FocusTask>(FocusTask{files, *state().target}));
        return true;
    }
    askWithCursorPrompt(files);
    return true;
}

namespace {

struct Delivery {
    QStringList files;
    AppInfo app;
    int rounds = 0;
    int checks = 0;
    bool broughtBack = false; // the target lost the front before the first paste once already
};

constexpr int clearRounds = 150;
constexpr int clearRoundMs = 200;
constexpr int frontChecks = 35;
constexpr int frontCheckMs = 100;
constexpr int frontSettleMs = 350;
constexpr int afterPasteMs = 1200;
constexpr int afterLastPasteMs = 1800;

} // namespace

class DeliverySteps {
  public:
    // Waits while this program's own window (such as the closing cursor prompt) or a system
    // pop-up is in front.
    static void waitForClearWay(const std::shared_ptr<Delivery>& d) {
        const auto front = Platform::windows().frontApplication();
        const bool clear = !front || front->pid == d->app.pid || ChatSender::canBeTarget(*front);
        if (!clear && d->rounds < clearRounds) {
            ++d->rounds;
            after(clearRoundMs, [d] { waitForClearWay(d); });
            return;
        }
        if (isFront(d->app)) {
            paste(d, 0);
            return;
        }
        Platform::windows().activate(d->app.pid);
        after(frontCheckMs, [d] { checkFront(d); });
    }

    static void checkFront(const std::shared_ptr<Delivery>& d) {
        ++d->checks;
        if (isFront(d->app)) {
            after(frontSettleMs, [d] { paste(d, 0); });
            return;
        }
        if (d->checks < frontChecks) {
            after(frontCheckMs, [d] { checkFront(d); });
            return;
        }
        ChatSender::askWithCursorPrompt(d->files);
    }

    static void paste(const std::shared_ptr<Delivery>& d, int index) {
        if (index >= d->files.size()) {
            if (ChatSender::pressesEnter() && isFront(d->app)) ChatSender::press(SyntheticKey::Return);
            return;
        }
        if (!isFront(d->app)) {
            // Nothing pasted yet: the target lost the front in the moment before the first
            // paste (a window of this program going away can take it). Ending here would
            // leave the user with nothing in the chat and no word: bring the target forward
            // once more, and ask with the cursor prompt when it will not stay.
            if (index == 0 && !d->broughtBack) {
                d->broughtBack = true;
                d->checks = 0;
                Platform::windows().activate(d->app.pid);
                after(frontCheckMs, [d] { checkFront(d); });
            } else if (index == 0) {
                ChatSender::askWithCursorPrompt(d->files);
            }
            return; // the user went elsewhere: paste nothing more and do not press Return
        }
        Clipboard::put(QStringList{d->files.at(index)});
        ChatSender::press(SyntheticKey::V, true);
        const bool last = index == d->files.size() - 1;
        after(last ? afterLastPasteMs : afterPasteMs, [d, index] { paste(d, index + 1); });
    }
};

void ChatSender::deliver(const QStringList& files, const AppInfo& app) {
    DeliverySteps::waitForClearWay(std::make_shared<Delivery>(Delivery{files, app}));
}

void ChatSender::press(SyntheticKey key, bool command) {
    Platform::keys().press(key, command);
}

bool ChatSender::pressesEnter() {
    return !Defaults::get(Keys::pasteWithoutEnter);
}
void ChatSender::setPressesEnter(bool presses) {
    Defaults::set(Keys::pasteWithoutEnter, !presses);
}

// ---- the accessibility permission ----

namespace {

constexpr int permissionTickMs = 1000;

void waitForPermission(int wait, int ticks, QStringList files) {
    if (wait != state().permissionWait) return; // a newer wait replaced this one
    ++ticks;
    if (Platform::access().accessibilityTrusted()) {
        state().permissionWait = 0;
        Toast::show(QStringLiteral("All set. Sending your picture now."));
        ChatSender::send(files);
        return;
    }
    if (ticks > ChatSender::permissionTicks) {
        state().permissionWait = 0;
        return;
    }
    after(permissionTickMs, [wait, ticks, files] { waitForPermission(wait, ticks, files); });
}

} // namespace

void ChatSender::explainAccessibility(const QStringList& files) {
    const QString hint =
        files.isEmpty()
            ? QStringLiteral("Turn on Ombrel Capture in the list that opens. Then open Recent from the small "
                             "button above "
                             "the camera and click the send icon on your picture.")
            : QStringLiteral(
                  "Turn on Ombrel Capture in the list that opens. Your picture then sends by itself, so you "
                  "don't need to do anything else. It's also on the clipboard and in Recent.");
    const bool open = Permissions::askToOpenSettings(
        QStringLiteral("Let Ombrel Capture paste into your chat"),
        QStringLiteral(
            "Your Mac asks before any app can press keys for you. Ombrel Capture uses this to press "
            "Command-V and Enter in your chat when you click Send, and to name the buttons and images you "
            "point at. You only do this once.\n\n") +
            hint);
    if (!open) return;
    Platform::accessibility().requestTrust();
    Platform::accessibility().openSettings();
    if (files.isEmpty()) return;
    static int waits = 0;
    const int wait = ++waits;
    state().permissionWait = wait;
    after(permissionTickMs, [wait, files] { waitForPermission(wait, 0, files); });
}

void ChatSender::reset() {
    QObject::disconnect(state().tracking);
    state() = State{};
}

} // namespace ombrel
