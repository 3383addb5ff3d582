#include "XConnection.h"

#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/composite.h>
#include <xcb/shm.h>

namespace ombrel::x11 {

XConnection::XConnection() {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        return;
    }
    m_conn = c;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    m_screen = it.data;

    auto& a = m_atoms;
    a.netClientList = atom("_NET_CLIENT_LIST");
    a.netClientListStacking = atom("_NET_CLIENT_LIST_STACKING");
    a.netActiveWindow = atom("_NET_ACTIVE_WINDOW");
    a.netWmPid = atom("_NET_WM_PID");
    a.netWmName = atom("_NET_WM_NAME");
    a.netWmWindowType = atom("_NET_WM_WINDOW_TYPE");
    a.netWmState = atom("_NET_WM_STATE");
    a.netWmStateHidden = atom("_NET_WM_STATE_HIDDEN");
    a.netWmStateSkipTaskbar = atom("_NET_WM_STATE_SKIP_TASKBAR");
    a.netWmStateAbove = atom("_NET_WM_STATE_ABOVE");
    a.netWmDesktop = atom("_NET_WM_DESKTOP");
    a.wmState = atom("WM_STATE");
    a.wmClass = XCB_ATOM_WM_CLASS;
    a.utf8String = atom("UTF8_STRING");
    a.gtkApplicationId = atom("_GTK_APPLICATION_ID");
    a.typeNormal = atom("_NET_WM_WINDOW_TYPE_NORMAL");
    a.typeDialog = atom("_NET_WM_WINDOW_TYPE_DIALOG");
    a.typeDock = atom("_NET_WM_WINDOW_TYPE_DOCK");
    a.typeDesktop = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    a.typeToolbar = atom("_NET_WM_WINDOW_TYPE_TOOLBAR");
    a.typeMenu = atom("_NET_WM_WINDOW_TYPE_MENU");
    a.typeUtility = atom("_NET_WM_WINDOW_TYPE_UTILITY");
    a.typeSplash = atom("_NET_WM_WINDOW_TYPE_SPLASH");
    a.typeNotification = atom("_NET_WM_WINDOW_TYPE_NOTIFICATION");
    a.typeDropdown = atom("_NET_WM_WINDOW_TYPE_DROPDOWN_MENU");
    a.typePopup = atom("_NET_WM_WINDOW_TYPE_POPUP_MENU");
    a.typeTooltip = atom("_NET_WM_WINDOW_TYPE_TOOLTIP");
    a.rootPixmap = atom("_XROOTPMAP_ID");
    a.esetrootPixmap = atom("ESETROOT_PMAP_ID");
}

XConnection::~XConnection() {
    if (m_conn) {
        detachShared();
        xcb_disconnect(m_conn);
    }
}

bool XConnection::attachShared(size_t size) {
    if (m_shmBroken) return false;
    if (m_shmAddress && m_shmSize >= size) return true;
    detachShared();
    auto version = reply(xcb_shm_query_version_reply(m_conn, xcb_shm_query_version(m_conn), nullptr));
    if (!version) {
        m_shmBroken = true;
        return false;
    }
    m_shmId = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (m_shmId < 0) {
        m_shmBroken = true;
        return false;
    }
    m_shmAddress = shmat(m_shmId, nullptr, 0);
    // Marked for removal now: the segment goes away by itself once both sides detach,
    // even if this process dies.
    shmctl(m_shmId, IPC_RMID, nullptr);
    if (m_shmAddress == reinterpret_cast<void*>(-1)) {
        m_shmAddress = nullptr;
        m_shmBroken = true;
        return false;
    }
    m_shmSeg = xcb_generate_id(m_conn);
    if (xcb_generic_error_t* error =
            xcb_request_check(m_conn, xcb_shm_attach_checked(m_conn, m_shmSeg, m_shmId, 0))) {
        free(error);
        shmdt(m_shmAddress);
        m_shmAddress = nullptr;
        m_shmBroken = true; // a server on another machine cannot share our memory
        return false;
    }
    m_shmSize = size;
    return true;
}

void XConnection::detachShared() {
    if (!m_shmAddress) return;
    xcb_shm_detach(m_conn, m_shmSeg);
    xcb_flush(m_conn);
    shmdt(m_shmAddress);
    m_shmAddress = nullptr;
    m_shmSize = 0;
}

QImage XConnection::imageShared(xcb_drawable_t d, QRect rect, uint8_t depth,
                                const std::function<QImage(const QImage&)>& use) {
    if (rect.isEmpty()) return {};
    const size_t stride = size_t(rect.width()) * 4;
    const size_t size = stride * size_t(rect.height());
    std::lock_guard lock(m_shmMutex);
    if (!attachShared(size)) return use(image(d, rect, depth));
    xcb_generic_error_t* error = nullptr;
    auto r = reply(xcb_shm_get_image_reply(m_conn,
                                           xcb_shm_get_image(m_conn, d, int16_t(rect.x()), int16_t(rect.y()),
                                                             uint16_t(rect.width()), uint16_t(rect.height()),
                                                             ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, m_shmSeg, 0),
                                           &error));
    if (error || !r) {
        free(error);
        return use(image(d, rect, depth));
    }
    const QImage::Format format = depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const QImage view(static_cast<const uchar*>(m_shmAddress), rect.width(), rect.height(), qsizetype(stride),
                      format);
    return use(view);
}

xcb_atom_t XConnection::atom(const char* name, bool onlyIfExists) const {
    auto r = reply(xcb_intern_atom_reply(
        m_conn, xcb_intern_atom(m_conn, onlyIfExists, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<uint32_t> XConnection::cardinals(xcb_window_t w, xcb_atom_t property, xcb_atom_t type) const {
    auto r = reply(
        xcb_get_property_reply(m_conn, xcb_get_property(m_conn, 0, w, property, type, 0, 1 << 16), nullptr));
    if (!r || r->format != 32 || r->type != type) return {};
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
    return std::vector<uint32_t>(data, data + xcb_get_property_value_length(r.get()) / 4);
}

std::optional<uint32_t> XConnection::cardinal(xcb_window_t w, xcb_atom_t property, xcb_atom_t type) const {
    auto values = cardinals(w, property, type);
    if (values.empty()) return std::nullopt;
    return values.front();
}

QByteArray XConnection::bytes(xcb_window_t w, xcb_atom_t property, xcb_atom_t type) const {
    auto r = reply(
        xcb_get_property_reply(m_conn, xcb_get_property(m_conn, 0, w, property, type, 0, 1 << 14), nullptr));
    if (!r || r->format != 8) return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(r.get())),
                      xcb_get_property_value_length(r.get()));
}

QString XConnection::utf8(xcb_window_t w, xcb_atom_t property) const {
    return QString::fromUtf8(bytes(w, property, m_atoms.utf8String));
}

qint64 XConnection::pidOf(xcb_window_t w) const {
    return cardinal(w, m_atoms.netWmPid, XCB_ATOM_CARDINAL).value_or(0);
}

QString XConnection::wmClass(xcb_window_t w) const {
    // WM_CLASS holds "instance\0class\0".
    const QList<QByteArray> parts = bytes(w, m_atoms.wmClass, XCB_ATOM_STRING).split('\0');
    return parts.size() >= 2 ? QString::fromLocal8Bit(parts.at(1)) : QString();
}

std::vector<xcb_window_t> XConnection::topLevels() const {
    auto r = reply(xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, root()), nullptr));
    if (!r) return {};
    const xcb_window_t* children = xcb_query_tree_children(r.get());
    return std::vector<xcb_window_t>(children, children + xcb_query_tree_children_length(r.get()));
}

xcb_window_t XConnection::clientOf(xcb_window_t frame) const {
    // Breadth-first search for the window with WM_STATE, a few levels deep at most.
    std::vector<xcb_window_t> level{frame};
    for (int depth = 0; depth < 4 && !level.empty(); ++depth) {
        std::vector<xcb_window_t> next;
        for (xcb_window_t w : level) {
            auto prop = reply(xcb_get_property_reply(
                m_conn, xcb_get_property(m_conn, 0, w, m_atoms.wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
                nullptr));
            if (prop && prop->type != XCB_ATOM_NONE) return w;
            auto tree = reply(xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, w), nullptr));
            if (!tree) continue;
            const xcb_window_t* c = xcb_query_tree_children(tree.get());
            next.insert(next.end(), c, c + xcb_query_tree_children_length(tree.get()));
        }
        level = std::move(next);
    }
    return frame;
}

xcb_window_t XConnection::frameOf(xcb_window_t w) const {
    xcb_window_t current = w;
    for (int i = 0; i < 16; ++i) {
        auto tree = reply(xcb_query_tree_reply(m_conn, xcb_query_tree(m_conn, current), nullptr));
        if (!tree) return w;
        if (tree->parent == root() || tree->parent == XCB_WINDOW_NONE) return current;
        current = tree->parent;
    }
    return w;
}

std::optional<QRect> XConnection::rootGeometry(xcb_window_t w) const {
    auto geo = reply(xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, w), nullptr));
    if (!geo) return std::nullopt;
    auto pos = reply(
        xcb_translate_coordinates_reply(m_conn, xcb_translate_coordinates(m_conn, w, root(), 0, 0), nullptr));
    if (!pos) return std::nullopt;
    return QRect(pos->dst_x, pos->dst_y, geo->width, geo->height);
}

Outcome<XConnection::WindowContents> XConnection::windowContents(xcb_window_t w) const {
    using Result = Outcome<WindowContents>;
    const QString gone = QStringLiteral("That window is closed or hidden.");
    if (!isOpen() || !isViewable(w)) return Result::fail(Failure::Permanent, gone);
    // The frame (a root child) is what the server keeps offscreen.
    const xcb_window_t frame = frameOf(w);
    auto frameGeo = reply(xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, frame), nullptr));
    const auto frameRect = rootGeometry(frame);
    const auto clientRect = rootGeometry(w);
    if (!frameGeo || !frameRect || !clientRect) return Result::fail(Failure::Permanent, gone);
    const int border = frameGeo->border_width;
    WindowContents contents;
    contents.inFrame = clientRect->translated(-frameRect->topLeft() + QPoint(border, border));
    contents.clientRoot = *clientRect;
    contents.depth = frameGeo->depth;
    contents.pixmap = xcb_generate_id(m_conn);
    auto cookie = xcb_composite_name_window_pixmap_checked(m_conn, frame, contents.pixmap);
    if (xcb_generic_error_t* error = xcb_request_check(m_conn, cookie)) {
        free(error);
        return Result::fail(Failure::Temporary, QStringLiteral("The window's picture isn't available yet."));
    }
    return Result::ok(contents);
}

bool XConnection::isViewable(xcb_window_t w) const {
    auto attrs =
        reply(xcb_get_window_attributes_reply(m_conn, xcb_get_window_attributes(m_conn, w), nullptr));
    return attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
}

QImage XConnection::image(xcb_drawable_t d, QRect rect, uint8_t depth) const {
    if (rect.isEmpty()) return {};
    xcb_generic_error_t* error = nullptr;
    auto r = reply(xcb_get_image_reply(
        m_conn,
        xcb_get_image(m_conn, XCB_IMAGE_FORMAT_Z_PIXMAP, d, static_cast<int16_t>(rect.x()),
                      static_cast<int16_t>(rect.y()), static_cast<uint16_t>(rect.width()),
                      static_cast<uint16_t>(rect.height()), ~0u),
        &error));
    if (error) {
        free(error);
        return {};
    }
    if (!r) return {};
    const int length = xcb_get_image_data_length(r.get());
    const qsizetype stride = qsizetype(rect.width()) * 4;
    if (length < stride * rect.height()) return {}; // not a 32-bits-per-pixel layout
    const QImage::Format format = depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage out(rect.size(), format);
    const uint8_t* src = xcb_get_image_data(r.get());
    for (int y = 0; y < rect.height(); ++y)
        std::memcpy(out.scanLine(y), src + y * stride, size_t(stride));
    return out;
}

bool XConnection::ensureComposite() {
    if (m_composited) return true;
    auto version =
        reply(xcb_composite_query_version_reply(m_conn, xcb_composite_query_version(m_conn, 0, 4), nullptr));
    if (!version) return false;
    // Automatic redirection keeps the screen painted by the server as before, while each
    // top-level window gains a pixmap we can read. Several clients may ask for it.
    xcb_composite_redirect_subwindows(m_conn, root(), XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    xcb_flush(m_conn);
    m_composited = true;
    return true;
}

XConnection& connection() {
    static XConnection c;
    return c;
}

} // namespace ombrel::x11
