#pragma once
// The window list, the front application and activation (EWMH on X11).

#include "Outcome.h"
#include "Screens.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <optional>

namespace ombrel {

// An application as the window system knows it: its process and its identifier
// (desktop-file id when known, else the WM_CLASS class).
struct AppInfo {
    qint64 pid = 0;
    QString bundleId;
    QString name;
    bool hasNormalWindow = false; // has a normal, taskbar-listed window ("regular" activation policy)
    friend bool operator==(const AppInfo&, const AppInfo&) = default;
};

enum class WindowKind { Normal, Dialog, Dock, Desktop, Toolbar, Menu, Utility, Splash, Notification, Other };

// How a window's application shows itself to people: its name and its icon.
struct ApplicationLook {
    QString name; // empty when the application gives none
    QImage icon;  // null when it has none
};

struct WindowInfo {
    WindowId id = 0;
    qint64 pid = 0;
    QString bundleId;
    QString title;
    QRect frameGlobal; // the client area in global pixels, origin top left of the primary screen
    WindowKind kind = WindowKind::Normal;
    int layer = 0;        // 0 normal; above-all windows report a positive layer
    bool onScreen = true; // mapped and not minimised
    bool skipTaskbar = false;
    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

class WindowSystem : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // The managed top-level windows from bottom to top of the stacking order.
    // Empty when no window manager publishes a client list.
    virtual QList<WindowInfo> windows() = 0;

    // The application owning the active window, or none when nothing is active.
    virtual std::optional<AppInfo> frontApplication() = 0;

    // The process id of this program, so callers can tell our windows from others.
    virtual qint64 ownPid() const = 0;

    // Raises and focuses the topmost normal window of the process `pid`
    // (a _NET_ACTIVE_WINDOW request). False when the process has no such window.
    virtual bool activate(qint64 pid) = 0;

    // True while the process `pid` exists (an application that has quit answers false).
    virtual bool isRunning(qint64 pid) = 0;

    // True when a compositing manager draws translucent windows; without one, rounded
    // panels cut their corners with a shape mask instead.
    virtual bool isCompositing() = 0;

    // The name and icon of the application that owns `window`: from its desktop entry
    // (matched by its identifier) when one is installed, else the process name and the
    // icon the window carries itself.
    virtual ApplicationLook applicationLook(const WindowInfo& window) = 0;

    // Keeps our own window `window` (already shown) above ordinary windows, on every
    // desktop, and out of the taskbar and the pager, as floating controls are.
    virtual void keepFloating(WindowId window) = 0;

    // Starts reporting `frontApplicationChanged`; the Linux backend watches
    // _NET_ACTIVE_WINDOW on the root window.
    virtual void startWatching() = 0;

  Q_SIGNALS:
    // Emitted on the GUI thread whenever the active window changes owner.
    void frontApplicationChanged(const ombrel::AppInfo& app);
};

} // namespace ombrel
