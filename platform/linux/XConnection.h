#pragma once
// A connection of our own to the X server, with the atoms and property readers the
// Linux backends share. Kept apart from Qt's connection so grabs and event watching
// never disturb Qt's event handling.

#include "platform/Outcome.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>
#include <xcb/xcb.h>

namespace ombrel::x11 {

// An xcb reply, freed when it goes out of scope.
template <class T> using Reply = std::unique_ptr<T, decltype(&free)>;
template <class T> Reply<T> reply(T* r) {
    return Reply<T>(r, &free);
}

struct Atoms {
    xcb_atom_t netClientList, netClientListStacking, netActiveWindow, netWmPid, netWmName, netWmWindowType,
        netWmState, netWmStateHidden, netWmStateSkipTaskbar, netWmStateAbove, wmState, wmClass, utf8String,
        gtkApplicationId, netWmDesktop;
    xcb_atom_t typeNormal, typeDialog, typeDock, typeDesktop, typeToolbar, typeMenu, typeUtility, typeSplash,
        typeNotification, typeDropdown, typePopup, typeTooltip;
    xcb_atom_t rootPixmap, esetrootPixmap;
};

class XConnection {
  public:
    // Opens a connection to $DISPLAY; `isOpen` is false when there is no X server.
    XConnection();
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool isOpen() const { return m_conn != nullptr; }
    xcb_connection_t* conn() const { return m_conn; }
    xcb_window_t root() const { return m_screen->root; }
    xcb_screen_t* screen() const { return m_screen; }
    const Atoms& atoms() const { return m_atoms; }
    int fd() const { return xcb_get_file_descriptor(m_conn); }

    xcb_atom_t atom(const char* name, bool onlyIfExists = false) const;

    std::vector<uint32_t> cardinals(xcb_window_t w, xcb_atom_t property, xcb_atom_t type) const;
    std::optional<uint32_t> cardinal(xcb_window_t w, xcb_atom_t property, xcb_atom_t type) const;
    QByteArray bytes(xcb_window_t w, xcb_atom_t property, xcb_atom_t type) const;
    QString utf8(xcb_window_t w, xcb_atom_t property) const;

    // The process id a window announces (_NET_WM_PID), 0 when it says none.
    qint64 pidOf(xcb_window_t w) const;
    // The WM_CLASS class of a window, e.g. "Chromium".
    QString wmClass(xcb_window_t w) const;
    // The children of the root window, bottom to top.
    std::vector<xcb_window_t> topLevels() const;
    // The client window inside a window-manager frame (the one carrying WM_STATE), or
    // the frame itself when it is a client.
    xcb_window_t clientOf(xcb_window_t frame) const;
    // The root child that contains `w` (its frame), or `w` when it is a root child.
    xcb_window_t frameOf(xcb_window_t w) const;
    // The window's position and size relative to the root; none when it is gone.
    std::optional<QRect> rootGeometry(xcb_window_t w) const;
    bool isViewable(xcb_window_t w) const;

    // The offscreen copy the server keeps of a window's frame (it needs `ensureComposite`),
    // named as a pixmap, with the window's own area inside it: title bar, borders and any
    // shadow left out. The caller frees `pixmap` with xcb_free_pixmap.
    struct WindowContents {
        xcb_pixmap_t pixmap = 0;
        QRect inFrame;    // the window's area within the pixmap
        QRect clientRoot; // the window's area on the root
        uint8_t depth = 0;
    };
    Outcome<WindowContents> windowContents(xcb_window_t w) const;

    // Reads pixels of a drawable (window or pixmap) of the given depth as a QImage:
    // RGB32 for depth 24, ARGB32_Premultiplied for depth 32. Null on failure.
    QImage image(xcb_drawable_t d, QRect rect, uint8_t depth) const;

    // The same through a shared-memory segment (MIT-SHM), which spares the copy through
    // the socket; falls back to `image` where shared memory is not available.
    // `use` sees the pixels in place (valid only during the call) and answers the picture
    // to keep, so a scaled copy is made straight from the shared memory.
    QImage imageShared(xcb_drawable_t d, QRect rect, uint8_t depth,
                       const std::function<QImage(const QImage&)>& use);

    // Sets up automatic redirection of the root's children once, so that every
    // top-level window keeps an offscreen copy that can be read even when covered.
    bool ensureComposite();

  private:
    xcb_connection_t* m_conn = nullptr;
    xcb_screen_t* m_screen = nullptr;
    Atoms m_atoms{};
    bool m_composited = false;
    // One reusable shared segment for full-screen reads.
    std::mutex m_shmMutex;
    int m_shmId = -1;
    void* m_shmAddress = nullptr;
    size_t m_shmSize = 0;
    uint32_t m_shmSeg = 0;
    bool m_shmBroken = false;
    bool attachShared(size_t size);
    void detachShared();
};

// The process-wide connection the backends share, opened on first use.
XConnection& connection();

} // namespace ombrel::x11
