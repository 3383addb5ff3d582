#include "X11Screens.h"
#include "X11TopLevels.h"
#include "XConnection.h"

#include "platform/ImageScale.h"

#include <QPainter>
#include <QRegion>
#include <xcb/composite.h>
#include <xcb/randr.h>

namespace ombrel {

using namespace x11;

namespace {

QImage scaledTo(QImage image, QSize size) {
    return scaledSmoothly(image, size);
}

} // namespace

X11Screens::X11Screens(qint64 ownPid, QString ownClass) : m_ownPid(ownPid), m_ownClass(std::move(ownClass)) {
    if (connection().isOpen()) connection().ensureComposite();
}

QList<DisplayInfo> X11Screens::displays() {
    XConnection& x = connection();
    QList<DisplayInfo> list;
    if (!x.isOpen()) return list;
    auto monitors =
        reply(xcb_randr_get_monitors_reply(x.conn(), xcb_randr_get_monitors(x.conn(), x.root(), 1), nullptr));
    if (monitors) {
        quint32 index = 0;
        for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem;
             xcb_randr_monitor_info_next(&it)) {
            const xcb_randr_monitor_info_t* m = it.data;
            ++index;
            auto name =
                reply(xcb_get_atom_name_reply(x.conn(), xcb_get_atom_name(x.conn(), m->name), nullptr));
            DisplayInfo d;
            d.id = index;
            d.globalRectPx = QRect(m->x, m->y, m->width, m->height);
            d.primary = m->primary;
            if (name)
                d.name = QString::fromLatin1(xcb_get_atom_name_name(name.get()),
                                             xcb_get_atom_name_name_length(name.get()));
            if (!d.globalRectPx.isEmpty()) list.append(d);
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
        if (d.id == id) area = d.globalRectPx;
    if (area.isEmpty())
        return Outcome<QImage>::fail(Failure::Permanent,
                                     QStringLiteral("That display is no longer connected."));

    xcb_grab_server(x.conn()); // one consistent picture: nothing moves while we read
    const auto windows = viewableTopLevels(x, m_ownPid, m_ownClass);
    QRegion ownArea;
    QRegion allWindows;
    for (const TopLevel& w : windows) {
        if (w.ours) ownArea += w.rect & area;
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
            if (w.ours || needed.isEmpty()) continue;
            const xcb_pixmap_t pixmap = xcb_generate_id(x.conn());
            xcb_composite_name_window_pixmap(x.conn(), w.frame, pixmap);
            const QImage part = x.image(pixmap, needed.translated(-w.rect.topLeft()), w.depth);
            xcb_free_pixmap(x.conn(), pixmap);
            if (!part.isNull()) painter.drawImage(needed.topLeft(), part);
        }
        painter.end();
        return scaledTo(std::move(whole), outputSize);
    });
    xcb_ungrab_server(x.conn());
    xcb_flush(x.conn());
    if (shot.isNull())
        return Outcome<QImage>::fail(Failure::Temporary,
                                     QStringLiteral("The X server didn't hand over the screen."));
    return Outcome<QImage>::ok(std::move(shot));
}

QSize X11Screens::windowSize(WindowId window) {
    XConnection& x = connection();
    if (!x.isOpen()) return {};
    auto geo =
        reply(xcb_get_geometry_reply(x.conn(), xcb_get_geometry(x.conn(), xcb_window_t(window)), nullptr));
    return geo ? QSize(geo->width, geo->height) : QSize();
}

Outcome<QImage> X11Screens::grabWindow(WindowId window, QSize outputSize) {
    XConnection& x = connection();
    const auto contents = x.windowContents(xcb_window_t(window));
    if (!contents) return Outcome<QImage>::fail(contents.failure(), contents.message());
    const xcb_pixmap_t pixmap = contents.value().pixmap;
    QImage image = x.image(pixmap, contents.value().inFrame, contents.value().depth);
    xcb_free_pixmap(x.conn(), pixmap);
    xcb_flush(x.conn());
    if (image.isNull())
        return Outcome<QImage>::fail(Failure::Temporary,
                                     QStringLiteral("The X server didn't hand over the window."));
    if (image.format() == QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_RGB32); // what a shadowless window shows on screen
    return Outcome<QImage>::ok(scaledTo(std::move(image), outputSize));
}

} // namespace ombrel
