#include "X11Windows.h"
#include "DesktopEntries.h"
#include "XConnection.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QIcon>
#include <cerrno>
#include <csignal>

namespace ombrel {

using namespace x11;

X11Windows::X11Windows(QObject* parent) : WindowSystem(parent) {}
X11Windows::~X11Windows() = default;

qint64 X11Windows::ownPid() const {
    return QCoreApplication::applicationPid();
}

namespace {

WindowKind kindOf(const XConnection& x, xcb_window_t w) {
    const Atoms& a = x.atoms();
    const auto types = x.cardinals(w, a.netWmWindowType, XCB_ATOM_ATOM);
    if (types.empty()) return WindowKind::Normal; // no type: a normal window, as the EWMH says
    const xcb_atom_t t = types.front();
    if (t == a.typeNormal) return WindowKind::Normal;
    if (t == a.typeDialog) return WindowKind::Dialog;
    if (t == a.typeDock) return WindowKind::Dock;
    if (t == a.typeDesktop) return WindowKind::Desktop;
    if (t == a.typeToolbar) return WindowKind::Toolbar;
    if (t == a.typeMenu || t == a.typeDropdown || t == a.typePopup) return WindowKind::Menu;
    if (t == a.typeUtility) return WindowKind::Utility;
    if (t == a.typeSplash) return WindowKind::Splash;
    if (t == a.typeNotification || t == a.typeTooltip) return WindowKind::Notification;
    return WindowKind::Other;
}

// The name a person knows the program by: the executable's name from /proc, else the class.
QString processName(qint64 pid, const QString& fallback) {
    if (pid > 0) {
        const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
        if (!exe.isEmpty()) return QFileInfo(exe).fileName();
    }
    return fallback;
}

} // namespace

WindowInfo X11Windows::describe(quint32 window) const {
    const XConnection& x = connection();
    WindowInfo info;
    info.id = window;
    info.pid = x.pidOf(window);
    const QString gtkId =
        QString::fromUtf8(x.bytes(window, x.atoms().gtkApplicationId, x.atoms().utf8String));
    info.bundleId = gtkId.isEmpty() ? x.wmClass(window) : gtkId;
    info.title = x.utf8(window, x.atoms().netWmName);
    if (info.title.isEmpty())
        info.title = QString::fromLocal8Bit(x.bytes(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING));
    info.frameGlobal = x.rootGeometry(window).value_or(QRect());
    info.kind = kindOf(x, window);
    const auto states = x.cardinals(window, x.atoms().netWmState, XCB_ATOM_ATOM);
    auto has = [&](xcb_atom_t s) { return std::find(states.begin(), states.end(), s) != states.end(); };
    info.skipTaskbar = has(x.atoms().netWmStateSkipTaskbar);
    info.layer = has(x.atoms().netWmStateAbove) ? 3 : 0;
    info.onScreen = x.isViewable(window) && !has(x.atoms().netWmStateHidden);
    return info;
}

namespace {
// The managed client windows, bottom to top.
std::vector<uint32_t> clientIds(const XConnection& x) {
    auto ids = x.cardinals(x.root(), x.atoms().netClientListStacking, XCB_ATOM_WINDOW);
    if (ids.empty()) ids = x.cardinals(x.root(), x.atoms().netClientList, XCB_ATOM_WINDOW);
    return ids;
}
} // namespace

QList<WindowInfo> X11Windows::windows() {
    XConnection& x = connection();
    QList<WindowInfo> list;
    if (!x.isOpen()) return list;
    for (uint32_t id : clientIds(x))
        list.append(describe(id));
    return list;
}

AppInfo X11Windows::appOf(quint32 window) const {
    const WindowInfo w = describe(window);
    AppInfo app;
    app.pid = w.pid;
    app.bundleId = w.bundleId;
    app.name = processName(w.pid, w.bundleId);
    app.hasNormalWindow = false;
    // "Regular" applications have a normal window listed in the taskbar. The front
    // application is asked for often (the prompts poll it), so only the windows of this
    // process are looked at closely.
    const XConnection& x = connection();
    for (uint32_t id : clientIds(x)) {
        if (x.pidOf(id) != w.pid) continue;
        const auto states = x.cardinals(id, x.atoms().netWmState, XCB_ATOM_ATOM);
        const bool skipsTaskbar =
            std::find(states.begin(), states.end(), x.atoms().netWmStateSkipTaskbar) != states.end();
        if (kindOf(x, id) == WindowKind::Normal && !skipsTaskbar) {
            app.hasNormalWindow = true;
            break;
        }
    }
    return app;
}

std::optional<AppInfo> X11Windows::frontApplication() {
    XConnection& x = connection();
    if (!x.isOpen()) return std::nullopt;
    const auto active = x.cardinal(x.root(), x.atoms().netActiveWindow, XCB_ATOM_WINDOW);
    if (!active || *active == XCB_WINDOW_NONE) return std::nullopt;
    return appOf(*active);
}

bool X11Windows::activate(qint64 pid) {
    XConnection& x = connection();
    if (!x.isOpen() || pid <= 0) return false;
    const QList<WindowInfo> all = windows();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (it->pid != pid || (it->kind != WindowKind::Normal && it->kind != WindowKind::Dialog)) continue;
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = xcb_window_t(it->id);
        event.type = x.atoms().netActiveWindow;
        event.data.data32[0] =
            2; // source: a pager, so the window manager obeys without focus-stealing checks
        event.data.data32[1] = XCB_CURRENT_TIME;
        event.data.data32[2] = XCB_WINDOW_NONE;
        xcb_send_event(x.conn(), 0, x.root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(x.conn());
        return true;
    }
    return false;
}

bool X11Windows::isRunning(qint64 pid) {
    // Signal 0 only asks whether the process exists; EPERM means it does, under another user.
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

namespace {

constexpr int iconPx = 32;

// The icon a window carries in _NET_WM_ICON (width, height, then ARGB pixels, for each
// size), the size nearest to `iconPx`.
QImage windowIcon(const XConnection& x, xcb_window_t w) {
    const std::vector<uint32_t> data = x.cardinals(w, x.atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL);
    QImage best;
    for (size_t at = 0; at + 2 <= data.size();) {
        const uint32_t width = data[at], height = data[at + 1];
        const size_t count = size_t(width) * height;
        if (width == 0 || height == 0 || width > 1024 || height > 1024 || at + 2 + count > data.size()) break;
        if (best.isNull() || std::abs(int(width) - iconPx) < std::abs(best.width() - iconPx)) {
            QImage image(int(width), int(height), QImage::Format_ARGB32);
            for (uint32_t y = 0; y < height; ++y)
                std::copy_n(data.begin() + long(at + 2 + size_t(y) * width), width,
                            reinterpret_cast<uint32_t*>(image.scanLine(int(y))));
            best = image;
        }
        at += 2 + count;
    }
    return best;
}

} // namespace

ApplicationLook X11Windows::applicationLook(const WindowInfo& window) {
    ApplicationLook look;
    if (const DesktopEntry* entry = DesktopEntries::installed().find(window.bundleId)) {
        look.name = entry->name;
        const QIcon icon =
            QFileInfo(entry->icon).isAbsolute() ? QIcon(entry->icon) : QIcon::fromTheme(entry->icon);
        if (!icon.isNull()) look.icon = icon.pixmap(iconPx, iconPx).toImage();
    }
    if (look.name.isEmpty()) look.name = processName(window.pid, window.bundleId);
    if (look.icon.isNull() && connection().isOpen())
        look.icon = windowIcon(connection(), xcb_window_t(window.id));
    return look;
}

void X11Windows::keepFloating(WindowId window) {
    XConnection& x = connection();
    if (!x.isOpen() || !window) return;
    // A mapped window asks the window manager with client messages (EWMH).
    auto ask = [&](xcb_atom_t type, std::initializer_list<uint32_t> data) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = xcb_window_t(window);
        event.type = type;
        int i = 0;
        for (uint32_t d : data)
            event.data.data32[i++] = d;
        xcb_send_event(x.conn(), 0, x.root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    };
    constexpr uint32_t add = 1, fromApplication = 1;
    ask(x.atoms().netWmDesktop, {0xFFFFFFFFu, fromApplication});
    ask(x.atoms().netWmState,
        {add, x.atom("_NET_WM_STATE_STICKY"), x.atoms().netWmStateAbove, fromApplication});
    ask(x.atoms().netWmState,
        {add, x.atoms().netWmStateSkipTaskbar, x.atom("_NET_WM_STATE_SKIP_PAGER"), fromApplication});
    xcb_flush(x.conn());
}

bool X11Windows::isCompositing() {
    XConnection& x = connection();
    if (!x.isOpen()) return false;
    // A compositing manager owns the selection _NET_WM_CM_S<screen number>.
    const QByteArray display = qgetenv("DISPLAY");
    const int dot = display.lastIndexOf('.');
    const QByteArray screen = dot > display.lastIndexOf(':') ? display.mid(dot + 1) : QByteArray("0");
    const xcb_atom_t selection = x.atom(("_NET_WM_CM_S" + screen).constData());
    auto owner =
        reply(xcb_get_selection_owner_reply(x.conn(), xcb_get_selection_owner(x.conn(), selection), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

void X11Windows::startWatching() {
    if (m_notifier) return;
    m_watch = std::make_unique<XConnection>();
    XConnection& x = *m_watch;
    if (!x.isOpen()) return;
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(x.conn(), x.root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x.conn());
    m_lastFront = frontApplication();
    m_notifier = std::make_unique<QSocketNotifier>(x.fd(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11Windows::readEvents);
}

void X11Windows::readEvents() {
    XConnection& x = *m_watch;
    bool activeChanged = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(x.conn())) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            auto* p = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if (p->window == x.root() && p->atom == x.atoms().netActiveWindow) activeChanged = true;
        }
        free(event);
    }
    if (!activeChanged) return;
    const auto front = frontApplication();
    if (!front || front == m_lastFront) return;
    m_lastFront = front;
    Q_EMIT frontApplicationChanged(*front);
}

} // namespace ombrel
