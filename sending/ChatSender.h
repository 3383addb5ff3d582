#pragma once
// Puts finished pictures (or recordings, or several pictures) into the user's AI chat:
// remembers which other application the user was working in (the target), brings it to
// the front, checks through the accessibility bus that the caret sits in a message box,
// pastes each file with Command-V (Ctrl-V) and finally presses Return. When it cannot tell
// where to paste it asks the user through the cursor prompt. Main thread only.

#include "platform/SyntheticKeys.h"
#include "platform/Windows.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QObject;

namespace ombrel {

enum class CursorSpot {
    chatBox,   // in a message box that accepts text
    elsewhere, // no usable text field has the focus
    unknown,   // the question could not be answered (no permission, accessibility error)
};

class ChatSender {
  public:
    // Applications that never become the target: the desktop's own pop-ups, agents, panels,
    // docks, launchers, notification bubbles and password prompts, which take the front for
    // a moment. Compared without regard to case, by desktop-file id or window class.
    static const QStringList systemPopUps;
    // File managers that also draw the desktop: like the desktop itself, never a chat.
    static const QStringList desktopShells;
    // Browsers that expose their page content to accessibility only on request.
    static const QStringList browsers;

    // How long one accessibility request may take.
    static constexpr int readingTimeoutMs = 250;

    // Remembers the front application and every application activated from now on.
    static void startTracking();
    // Offers an application as the new target; one that cannot be a target is ignored.
    static void remember(const std::optional<AppInfo>& app);
    static bool canBeTarget(const AppInfo& app);
    static bool canBeTarget(const QString& bundleId);

    static std::optional<AppInfo> target();
    static std::optional<QString> targetName();

    // Where the caret of `app` is. The reading may walk thousands of elements of a busy
    // browser: the program's own callers use `cursorSpotLater`.
    static CursorSpot cursorSpot(const AppInfo& app);
    // Reads where the caret of `app` is off the GUI thread and calls `then` with the answer
    // on the GUI thread, unless `guard` is destroyed first.
    static void cursorSpotLater(const AppInfo& app, QObject* guard, std::function<void(CursorSpot)> then);
    // Judges the focused element: text roles and editable content are a chat box, unless
    // it is a search field or its words say it is an address bar or a search box.
    static CursorSpot classify(const QString& role, const QString& subrole, const QString& words,
                               bool isEditable);
    // Calls `then` with the name to show when the caret is already in the target's chat box,
    // else none. Read off the GUI thread; `then` runs on the GUI thread unless `guard` is gone.
    static void chatWithCursorLater(QObject* guard, std::function<void(std::optional<QString>)> then);

    // Sends files to the chat. True when sending has started (or a prompt to finish it is
    // showing); false when there is nothing to send or the accessibility permission has to
    // be granted first.
    static bool send(const QStringList& files);

    // Whether Return is pressed after pasting (the setting "pasteWithoutEnter", inverted).
    static bool pressesEnter();
    static void setPressesEnter(bool presses);

    // The explanation of the accessibility permission; with files, they are sent by
    // themselves once the permission arrives within 300 s.
    static void explainAccessibility(const QStringList& files);
    static constexpr int permissionTicks = 300;

    // Forgets the target, the woken processes and any pending permission wait (tests).
    static void reset();

  private:
    friend class CursorPrompt;
    friend class FocusSteps;
    friend class DeliverySteps;
    static void wakeReading(const AppInfo& app);
    static void deliver(const QStringList& files, const AppInfo& app);
    static void askWithCursorPrompt(const QStringList& files);
    static void press(SyntheticKey key, bool command = false);
};

} // namespace ombrel
