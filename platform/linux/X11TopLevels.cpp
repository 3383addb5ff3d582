#include "X11TopLevels.h"

namespace ombrel::x11 {

// The viewable top-level windows, bottom to top, each marked when it is one of ours.
// Requests go out in batches, one round trip per level of the window tree, so the
// grab stays quick on desktops with many windows.
std::vector<TopLevel> viewableTopLevels(const XConnection& x, qint64 ownPid, const QString& ownClass,
                                        OwnershipCache* known) {
    xcb_connection_t* c = x.conn();
    const std::vector<xcb_window_t> frames = x.topLevels();
    std::vector<xcb_get_window_attributes_cookie_t> attrCookies;
    std::vector<xcb_get_geometry_cookie_t> geoCookies;
    for (xcb_window_t f : frames) {
        attrCookies.push_back(xcb_get_window_attributes(c, f));
        geoCookies.push_back(xcb_get_geometry(c, f));
    }
    std::vector<TopLevel> result;
    for (size_t i = 0; i < frames.size(); ++i) {
        auto attrs = reply(xcb_get_window_attributes_reply(c, attrCookies[i], nullptr));
        auto geo = reply(xcb_get_geometry_reply(c, geoCookies[i], nullptr));
        if (!attrs || !geo || attrs->map_state != XCB_MAP_STATE_VIEWABLE ||
            attrs->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        const int border = geo->border_width;
        result.push_back({frames[i], QRect(geo->x, geo->y, geo->width + 2 * border, geo->height + 2 * border),
                          geo->depth, false});
    }

    // Whose is each window? The first window down its tree that names a process or a
    // class decides (the frame itself for unmanaged windows, the client inside a frame).
    std::vector<std::vector<xcb_window_t>> level(result.size());
    for (size_t i = 0; i < result.size(); ++i) {
        const auto k = known ? known->find(result[i].frame) : OwnershipCache::iterator{};
        if (known && k != known->end())
            result[i].ours = k->second; // a window never changes hands
        else
            level[i] = {result[i].frame};
    }
    for (int depth = 0; depth < 4; ++depth) {
        struct Ask {
            size_t owner;
            xcb_get_property_cookie_t pid, cls;
            xcb_query_tree_cookie_t tree;
        };
        std::vector<Ask> asks;
        for (size_t i = 0; i < result.size(); ++i)
            for (xcb_window_t w : level[i])
                asks.push_back({i, xcb_get_property(c, 0, w, x.atoms().netWmPid, XCB_ATOM_CARDINAL, 0, 1),
                                xcb_get_property(c, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
                                xcb_query_tree(c, w)});
        if (asks.empty()) break;
        std::vector<bool> decided(result.size(), false);
        std::vector<std::vector<xcb_window_t>> next(result.size());
        for (const Ask& a : asks) {
            auto pid = reply(xcb_get_property_reply(c, a.pid, nullptr));
            auto cls = reply(xcb_get_property_reply(c, a.cls, nullptr));
            auto tree = reply(xcb_query_tree_reply(c, a.tree, nullptr));
            if (decided[a.owner]) continue;
            qint64 windowPid = 0;
            if (pid && pid->format == 32 && xcb_get_property_value_length(pid.get()) >= 4)
                windowPid = *static_cast<const uint32_t*>(xcb_get_property_value(pid.get()));
            QString windowClass;
            if (cls && cls->format == 8) {
                const QList<QByteArray> parts =
                    QByteArray(static_cast<const char*>(xcb_get_property_value(cls.get())),
                               xcb_get_property_value_length(cls.get()))
                        .split('\0');
                if (parts.size() >= 2) windowClass = QString::fromLocal8Bit(parts.at(1));
            }
            if (windowPid || !windowClass.isEmpty()) {
                decided[a.owner] = true;
                result[a.owner].ours =
                    windowPid == ownPid || (!ownClass.isEmpty() && windowClass == ownClass);
                if (known) (*known)[result[a.owner].frame] = result[a.owner].ours;
                continue;
            }
            if (tree) {
                const xcb_window_t* children = xcb_query_tree_children(tree.get());
                next[a.owner].insert(next[a.owner].end(), children,
                                     children + xcb_query_tree_children_length(tree.get()));
            }
        }
        for (size_t i = 0; i < result.size(); ++i)
            level[i] = decided[i] ? std::vector<xcb_window_t>{} : std::move(next[i]);
    }
    return result;
}

// The root window's own background over `wanted` (global): the wallpaper pixmap when a
// setter published one, else the colour the root shows on the display `displayArea`
// (pictured in `displayShot`) where no window at all covers it.
QImage rootBackground(const XConnection& x, QRect wanted, QRect displayArea, const QImage& displayShot,
                      const QRegion& allWindows) {
    for (xcb_atom_t property : {x.atoms().rootPixmap, x.atoms().esetrootPixmap}) {
        if (auto pixmap = x.cardinal(x.root(), property, XCB_ATOM_PIXMAP)) {
            QImage wallpaper = x.image(*pixmap, wanted, 24);
            if (!wallpaper.isNull()) return wallpaper;
        }
    }
    // A plain background colour: a window with a "parent relative" background shows exactly
    // the root's own background. It is mapped and removed again while we hold the server,
    // so nobody sees it.
    {
        xcb_connection_t* c = x.conn();
        const xcb_window_t probe = xcb_generate_id(c);
        const uint32_t values[] = {XCB_BACK_PIXMAP_PARENT_RELATIVE, 1};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, x.root(), int16_t(wanted.x()), int16_t(wanted.y()),
                          uint16_t(wanted.width()), uint16_t(wanted.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(c, probe);
        QImage background = x.image(probe, QRect(QPoint(0, 0), wanted.size()), 24);
        xcb_destroy_window(c, probe);
        if (!background.isNull()) return background;
    }
    QImage plain(wanted.size(), QImage::Format_RGB32);
    plain.fill(Qt::black);
    const QRegion open = QRegion(displayArea) - allWindows;
    if (!open.isEmpty()) plain.fill(displayShot.pixel(open.begin()->topLeft() - displayArea.topLeft()));
    return plain;
}

} // namespace ombrel::x11
