#include "X11Screens.h"
#include "XConnection.h"

#include "platform/ImageScale.h"

#include <QPainter>
#include <QRegion>
#include <xcb/composite.h>
#include <xcb/randr.h>

namespace ombrel {

using namespace x11;

namespace {

QImage scaledTo(QImage image, QSize size) { return scaledSmoothly(image, size); }

struct TopLevel {
    xcb_window_t frame;
    QRect rect; // root coordinates, border included
    uint8_t depth;
    bool ours;
};

// The viewable top-level windows, bottom to top, each marked when it is one of ours.
// Requests go out in batches, one round trip per level of the window tree, so the
// grab stays quick on desktops with many windows.
std::vector<TopLevel> viewableTopLevels(const XConnection& x, qint64 ownPid, const QString& ownClass) {
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
    for (size_t i = 0; i < result.size(); ++i)
        level[i] = {result[i].frame};
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
        if (asks.empty())
            break;
        std::vector<bool> decided(result.size(), false);
        std::vector<std::vector<xcb_window_t>> next(result.size());
        for (const Ask& a : asks) {
            auto pid = reply(xcb_get_property_reply(c, a.pid, nullptr));
            auto cls = reply(xcb_get_property_reply(c, a.cls, nullptr));
            auto tree = reply(xcb_query_tree_reply(c, a.tree, nullptr));
            if (decided[a.owner])
                continue;
            qint64 windowPid = 0;
            if (pid && pid->format == 32 && xcb_get_property_value_length(pid.get()) >= 4)
                windowPid = *static_cast<const uint32_t*>(xcb_get_property_value(pid.get()));
            QString windowClass;
            if (cls && cls->format == 8) {
                const QList<QByteArray> parts =
                    QByteArray(static_cast<const char*>(xcb_get_property_value(cls.get())),
                               xcb_get_property_value_length(cls.get()))
                        .split('\0');
                if (parts.size() >= 2)
                    windowClass = QString::fromLocal8Bit(parts.at(1));
            }
            if (windowPid || !windowClass.isEmpty()) {
                decided[a.owner] = true;
                result[a.owner].ours = windowPid == ownPid || (!ownClass.isEmpty() && windowClass == ownClass);
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
            if (!wallpaper.isNull())
                return wallpaper;
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
                          uint16_t(wanted.width()), uint16_t(wanted.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(c, probe);
        QImage background = x.image(probe, QRect(QPoint(0, 0), wanted.size()), 24);
        xcb_destroy_window(c, probe);
        if (!background.isNull())
            return background;
    }
    QImage plain(wanted.size(), QImage::Format_RGB32);
    plain.fill(Qt::black);
    const QRegion open = QRegion(displayArea) - allWindows;
    if (!open.isEmpty())
        plain.fill(displayShot.pixel(open.begin()->topLeft() - displayArea.topLeft()));
    return plain;
}

} // namespace

X11Screens::X11Screens(qint64 ownPid, QString ownClass) : m_ownPid(ownPid), m_ownClass(std::move(ownClass)) {
    if (connection().isOpen())
        connection().ensureComposite();
}

QList<DisplayInfo> X11Screens::displays() {
    XConnection& x = connection();
    QList<DisplayInfo> list;
    if (!x.isOpen())
        return list;
    auto monitors = reply(xcb_randr_get_monitors_reply(x.conn(), xcb_randr_get_monitors(x.conn(), x.root(), 1), nullptr));
    if (monitors) {
        quint32 index = 0;
        for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem;
             xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t* m = it.data;
            ++index;
            auto name = reply(xcb_get_atom_name_reply(x.conn(), xcb_get_atom_name(x.conn(), m->name), nullptr));
            DisplayInfo d;
            d.id = index;
            d.globalRectPx = QRect(m->x, m->y, m->width, m->height);
            d.primary = m->primary;
            if (name)
                d.name = QString::fromLatin1(xcb_get_atom_name_name(name.get()), xcb_get_atom_name_name_length(name.get()));
            if (!d.globalRectPx.isEmpty())
                list.append(d);
        }
    }
    if (list.isEmpty()) {
        list.append({1, QRect(0, 0, x.screen()->width_in_pixels, x.screen()->height_in_pixels), true,
                     QStringLiteral("screen")});
    }
    std::stable_partition(list.begin(), list.end(), [](const DisplayInfo& d) { return d.primary; });
    if (!std::any_of(list.begin(), list.end(), [](const DisplayInfo& d) { return d.primary; }))
        list.first().primary = true;
    return list;
}

Outcome<QImage> X11Screens::grabDisplay(quint32 id, QSize outputSize) {
    XConnection& x = connection();
    if (!x.isOpen())
        return Outcome<QImage>::fail(Failure::Permanent, QStringLiteral("There is no X display to capture."));
    QRect area;
    for (const DisplayInfo& d : displays())
        if (d.id == id)
            area = d.globalRectPx;
    if (area.isEmpty())
        return Outcome<QImage>::fail(Failure::Permanent, QStringLiteral("That display is no longer connected."));

    xcb_grab_server(x.conn()); // one consistent picture: nothing moves while we read
    const auto windows = viewableTopLevels(x, m_ownPid, m_ownClass);
    QRegion ownArea;
    QRegion allWindows;
    for (const TopLevel& w : windows) {
        if (w.ours)
            ownArea += w.rect & area;
        allWindows += w.rect;
    }
    QImage shot = x.imageShared(x.root(), area, 24, [&](const QImage& screen) -> QImage {
        if (ownArea.isEmpty())
            return scaledTo(screen.copy(), outputSize); // the usual case: none of ours on this display
        QImage whole = screen.copy();
        // Paint what lies under our own windows again: the background, then every other
        // window from bottom to top out of its offscreen copy, clipped to our windows' area.
        QPainter painter(&whole);
        painter.translate(-area.topLeft());
        painter.setClipRegion(ownArea);
        const QRect ownBounds = ownArea.boundingRect();
        painter.drawImage(ownBounds.topLeft(), rootBackground(x, ownBounds, area, screen, allWindows));
        for (const TopLevel& w : windows) {
            const QRect needed = w.rect & ownBounds;
            if (w.ours || needed.isEmpty())
                continue;
            const xcb_pixmap_t pixmap = xcb_generate_id(x.conn());
            xcb_composite_name_window_pixmap(x.conn(), w.frame, pixmap);
            const QImage part = x.image(pixmap, needed.translated(-w.rect.topLeft()), w.depth);
            xcb_free_pixmap(x.conn(), pixmap);
            if (!part.isNull())
                painter.drawImage(needed.topLeft(), part);
        }
        painter.end();
        return scaledTo(std::move(whole), outputSize);
    });
    xcb_ungrab_server(x.conn());
    xcb_flush(x.conn());
    if (shot.isNull())
        return Outcome<QImage>::fail(Failure::Temporary, QStringLiteral("The X server didn't hand over the screen."));
    return Outcome<QImage>::ok(std::move(shot));
}

QSize X11Screens::windowSize(WindowId window) {
    XConnection& x = connection();
    if (!x.isOpen())
        return {};
    auto geo = reply(xcb_get_geometry_reply(x.conn(), xcb_get_geometry(x.conn(), xcb_window_t(window)), nullptr));
    return geo ? QSize(geo->width, geo->height) : QSize();
}

Outcome<QImage> X11Screens::grabWindow(WindowId window, QSize outputSize) {
    XConnection& x = connection();
    const auto w = xcb_window_t(window);
    if (!x.isOpen() || !x.isViewable(w))
        return Outcome<QImage>::fail(Failure::Permanent, QStringLiteral("That window is closed or hidden."));
    // The frame (a root child) is what the server keeps offscreen; the window's own
    // area inside it leaves out the title bar, borders and any shadow.
    const xcb_window_t frame = x.frameOf(w);
    auto frameGeo = reply(xcb_get_geometry_reply(x.conn(), xcb_get_geometry(x.conn(), frame), nullptr));
    const auto frameRect = x.rootGeometry(frame);
    const auto clientRect = x.rootGeometry(w);
    if (!frameGeo || !frameRect || !clientRect)
        return Outcome<QImage>::fail(Failure::Permanent, QStringLiteral("That window is closed or hidden."));
    const int border = frameGeo->border_width;
    const QRect inFrame = clientRect->translated(-frameRect->topLeft() + QPoint(border, border));

    const xcb_pixmap_t pixmap = xcb_generate_id(x.conn());
    auto cookie = xcb_composite_name_window_pixmap_checked(x.conn(), frame, pixmap);
    if (xcb_generic_error_t* error = xcb_request_check(x.conn(), cookie)) {
        free(error);
        return Outcome<QImage>::fail(Failure::Temporary, QStringLiteral("The window's picture isn't available yet."));
    }
    QImage image = x.image(pixmap, inFrame, frameGeo->depth);
    xcb_free_pixmap(x.conn(), pixmap);
    xcb_flush(x.conn());
    if (image.isNull())
        return Outcome<QImage>::fail(Failure::Temporary, QStringLiteral("The X server didn't hand over the window."));
    if (image.format() == QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_RGB32); // what a shadowless window shows on screen
    return Outcome<QImage>::ok(scaledTo(std::move(image), outputSize));
}

} // namespace ombrel
