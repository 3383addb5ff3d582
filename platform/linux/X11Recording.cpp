#include "X11Recording.h"
#include "DesktopSettings.h"
#include "PulseMicrophone.h"
#include "X11Screens.h"
#include "X11TopLevels.h"
#include "XConnection.h"

#include <QPainter>
#include <QRegion>
#include <cstring>
#include <xcb/composite.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

namespace ombrel {

using namespace x11;

namespace {

// The mouse pointer as XFixes shows it, drawn into pictures of the screen. The picture of
// the pointer is kept until the server says it changed.
class PointerPainter {
  public:
    explicit PointerPainter(XConnection& x) : m_x(x) {
        auto version = reply(
            xcb_xfixes_query_version_reply(x.conn(), xcb_xfixes_query_version(x.conn(), 4, 0), nullptr));
        m_available = version != nullptr;
    }

    // Draws the pointer into `picture`, which shows the global rectangle `area` scaled to the
    // picture's size.
    void draw(QImage& picture, QRect area) {
        if (!m_available || area.isEmpty()) return;
        auto r = reply(
            xcb_xfixes_get_cursor_image_reply(m_x.conn(), xcb_xfixes_get_cursor_image(m_x.conn()), nullptr));
        if (!r || r->width == 0 || r->height == 0) return;
        if (r->cursor_serial != m_serial || m_image.isNull()) {
            const uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(r.get());
            QImage image(r->width, r->height, QImage::Format_ARGB32_Premultiplied);
            for (int y = 0; y < r->height; ++y)
                std::memcpy(image.scanLine(y), pixels + size_t(y) * r->width, size_t(r->width) * 4);
            m_image = std::move(image);
            m_serial = r->cursor_serial;
        }
        const QPoint topLeft(r->x - r->xhot - area.x(), r->y - r->yhot - area.y());
        if (!QRect(topLeft, m_image.size()).intersects(QRect(QPoint(0, 0), area.size()))) return;
        QPainter painter(&picture);
        if (picture.size() != area.size()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.scale(double(picture.width()) / area.width(), double(picture.height()) / area.height());
        }
        painter.drawImage(topLeft, m_image);
    }

  private:
    XConnection& m_x;
    bool m_available = false;
    uint32_t m_serial = 0;
    QImage m_image;
};

// A writable picture over pixels that the caller owns for the length of a call.
QImage writableView(const QImage& pixels) {
    return QImage(const_cast<uchar*>(pixels.constBits()), pixels.width(), pixels.height(),
                  pixels.bytesPerLine(), QImage::Format_RGB32);
}

class X11DisplayFrames : public FrameSource {
  public:
    X11DisplayFrames(QRect area, qint64 ownPid, QString ownClass)
        : m_area(area), m_ownPid(ownPid), m_ownClass(std::move(ownClass)), m_pointer(m_x) {
        if (m_x.isOpen()) m_x.ensureComposite();
    }

    bool isOpen() const { return m_x.isOpen(); }

    Outcome<bool> grab(const std::function<void(const QImage&)>& use) override {
        const auto windows = viewableTopLevels(m_x, m_ownPid, m_ownClass, &m_known);
        QRegion ownArea;
        QRegion allWindows;
        for (const TopLevel& w : windows) {
            if (w.ours) ownArea += w.rect & m_area;
            allWindows += w.rect;
        }
        bool read = false;
        m_x.imageShared(m_x.root(), m_area, 24, [&](const QImage& screen) -> QImage {
            if (screen.isNull()) return {};
            read = true;
            QImage picture = writableView(screen);
            if (!ownArea.isEmpty()) paintOut(picture, ownArea, windows, allWindows);
            m_pointer.draw(picture, m_area);
            use(picture);
            return {};
        });
        if (!read)
            return Outcome<bool>::fail(Failure::Temporary,
                                       QStringLiteral("The X server didn't hand over the screen."));
        return Outcome<bool>::ok(true);
    }

  private:
    // Paints what lies under our own windows: the root's background, then every other window
    // from bottom to top out of its offscreen copy. All pieces are asked for before any
    // answer is read, so the whole patch costs one round trip.
    void paintOut(QImage& picture, const QRegion& ownArea, const std::vector<TopLevel>& windows,
                  const QRegion& allWindows) {
        if (m_background.isNull()) {
            xcb_grab_server(m_x.conn());
            m_background = rootBackground(m_x, m_area, m_area, picture, allWindows - ownArea);
            xcb_ungrab_server(m_x.conn());
        }
        struct Piece {
            QRect global;
            uint8_t depth;
            xcb_get_image_cookie_t cookie;
        };
        std::vector<Piece> pieces;
        std::vector<xcb_pixmap_t> pixmaps;
        for (const TopLevel& w : windows) {
            if (w.ours) continue;
            xcb_pixmap_t pixmap = 0;
            for (const QRect& part : ownArea) {
                const QRect needed = w.rect & part;
                if (needed.isEmpty()) continue;
                if (!pixmap) {
                    pixmap = xcb_generate_id(m_x.conn());
                    xcb_composite_name_window_pixmap(m_x.conn(), w.frame, pixmap);
                    pixmaps.push_back(pixmap);
                }
                const QRect local = needed.translated(-w.rect.topLeft());
                pieces.push_back({needed, w.depth,
                                  xcb_get_image(m_x.conn(), XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap,
                                                int16_t(local.x()), int16_t(local.y()),
                                                uint16_t(local.width()), uint16_t(local.height()), ~0u)});
            }
        }
        QPainter painter(&picture);
        painter.translate(-m_area.topLeft());
        painter.setClipRegion(ownArea);
        for (const QRect& part : ownArea)
            painter.drawImage(part.topLeft(), m_background, part.translated(-m_area.topLeft()));
        for (const Piece& p : pieces) {
            xcb_generic_error_t* error = nullptr;
            auto r = reply(xcb_get_image_reply(m_x.conn(), p.cookie, &error));
            free(error);
            if (!r || xcb_get_image_data_length(r.get()) < p.global.width() * p.global.height() * 4) continue;
            const QImage part(xcb_get_image_data(r.get()), p.global.width(), p.global.height(),
                              p.global.width() * 4,
                              p.depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
            painter.drawImage(p.global.topLeft(), part);
        }
        painter.end();
        for (xcb_pixmap_t pixmap : pixmaps)
            xcb_free_pixmap(m_x.conn(), pixmap);
    }

    XConnection m_x; // a connection of the capture thread alone
    QRect m_area;
    qint64 m_ownPid;
    QString m_ownClass;
    OwnershipCache m_known;
    QImage m_background; // the root's own background over the display, read once
    PointerPainter m_pointer;
};

class X11WindowFrames : public FrameSource {
  public:
    explicit X11WindowFrames(xcb_window_t window) : m_window(window), m_pointer(m_x) {
        if (m_x.isOpen()) m_x.ensureComposite();
    }

    bool isOpen() const { return m_x.isOpen(); }

    Outcome<bool> grab(const std::function<void(const QImage&)>& use) override {
        const auto contents = m_x.windowContents(m_window);
        if (!contents) return Outcome<bool>::fail(contents.failure(), contents.message());
        const xcb_pixmap_t pixmap = contents.value().pixmap;
        const QRect clientRect = contents.value().clientRoot;
        bool read = false;
        m_x.imageShared(pixmap, contents.value().inFrame, contents.value().depth,
                        [&](const QImage& pixels) -> QImage {
                            if (pixels.isNull()) return {};
                            read = true;
                            QImage picture = writableView(pixels);
                            m_pointer.draw(picture, clientRect);
                            use(picture);
                            return {};
                        });
        xcb_free_pixmap(m_x.conn(), pixmap);
        xcb_flush(m_x.conn());
        if (!read)
            return Outcome<bool>::fail(Failure::Temporary,
                                       QStringLiteral("The X server didn't hand over the window."));
        return Outcome<bool>::ok(true);
    }

  private:
    XConnection m_x;
    xcb_window_t m_window;
    PointerPainter m_pointer;
};

} // namespace

X11InputMonitor::X11InputMonitor(qint64 ownPid, QObject* parent) : InputMonitor(parent), m_ownPid(ownPid) {}
X11InputMonitor::~X11InputMonitor() {
    stop();
}

bool X11InputMonitor::start() {
    if (m_notifier) return true;
    auto x = std::make_unique<XConnection>();
    if (!x->isOpen()) return false;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(x->conn(), &xcb_input_id);
    if (!extension || !extension->present) return false;
    // Raw events come only to clients that announced XInput 2.
    auto version = reply(
        xcb_input_xi_query_version_reply(x->conn(), xcb_input_xi_query_version(x->conn(), 2, 2), nullptr));
    if (!version || version->major_version < 2) return false;
    struct {
        xcb_input_event_mask_t head;
        uint32_t mask;
    } select{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
    xcb_input_xi_select_events(x->conn(), x->root(), 1, &select.head);
    xcb_flush(x->conn());
    m_inputOpcode = extension->major_opcode;
    m_x = std::move(x);
    m_notifier = std::make_unique<QSocketNotifier>(m_x->fd(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11InputMonitor::readEvents);
    readEvents(); // anything that arrived while the reply was awaited
    return true;
}

void X11InputMonitor::stop() {
    m_notifier.reset();
    m_x.reset();
}

std::optional<QPoint> X11InputMonitor::pointer() {
    XConnection* x = m_x ? m_x.get() : &connection();
    if (!x->isOpen()) return std::nullopt;
    auto r = reply(xcb_query_pointer_reply(x->conn(), xcb_query_pointer(x->conn(), x->root()), nullptr));
    if (!r || !r->same_screen) return std::nullopt;
    return QPoint(r->root_x, r->root_y);
}

bool X11InputMonitor::pointerOnOwnWindow() {
    // Follow the pointer down the window tree: the frame, the client in it, and so on.
    xcb_window_t w = m_x->root();
    for (int depth = 0; depth < 8; ++depth) {
        auto r = reply(xcb_query_pointer_reply(m_x->conn(), xcb_query_pointer(m_x->conn(), w), nullptr));
        if (!r || r->child == XCB_WINDOW_NONE) return false;
        w = r->child;
        if (m_x->pidOf(w) == m_ownPid) return true;
    }
    return false;
}

void X11InputMonitor::readEvents() {
    if (!m_x) return;
    bool pressedOnce = false;
    bool scrolledOnce = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_x->conn())) {
        if ((event->response_type & 0x7f) == XCB_GE_GENERIC) {
            const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
            if (generic->extension == m_inputOpcode && generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS) {
                const auto* raw = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event);
                if (raw->detail == 1)
                    pressedOnce = true;
                else if (raw->detail >= 4 && raw->detail <= 7) // wheel up, down, left, right
                    scrolledOnce = true;
            }
        }
        free(event);
    }
    if (scrolledOnce) Q_EMIT scrolled();
    if (pressedOnce && !pointerOnOwnWindow())
        if (const auto at = pointer()) Q_EMIT pressed(*at);
}

LinuxRecordingSources::LinuxRecordingSources(qint64 ownPid, QString ownClass)
    : m_ownPid(ownPid), m_ownClass(std::move(ownClass)) {}

Outcome<std::unique_ptr<FrameSource>> LinuxRecordingSources::display(quint32 displayId) {
    using Result = Outcome<std::unique_ptr<FrameSource>>;
    QRect area;
    for (const DisplayInfo& d : X11Screens(m_ownPid, m_ownClass).displays())
        if (d.id == displayId) area = d.globalRectPx;
    if (area.isEmpty())
        return Result::fail(Failure::Permanent, QStringLiteral("That display is no longer connected."));
    auto source = std::make_unique<X11DisplayFrames>(area, m_ownPid, m_ownClass);
    if (!source->isOpen())
        return Result::fail(Failure::Permanent, QStringLiteral("There is no X display to record."));
    return Result::ok(std::move(source));
}

Outcome<std::unique_ptr<FrameSource>> LinuxRecordingSources::window(WindowId window) {
    using Result = Outcome<std::unique_ptr<FrameSource>>;
    auto source = std::make_unique<X11WindowFrames>(xcb_window_t(window));
    if (!source->isOpen())
        return Result::fail(Failure::Permanent, QStringLiteral("There is no X display to record."));
    if (!connection().isViewable(xcb_window_t(window)))
        return Result::fail(Failure::Permanent, QStringLiteral("That window is closed or hidden."));
    return Result::ok(std::move(source));
}

MicrophoneAccess LinuxRecordingSources::microphoneAccess() {
    // Linux asks no permission for the microphone: it can be heard when the sound server
    // gives a recording stream.
    return PulseMicrophone::available() ? MicrophoneAccess::Authorized : MicrophoneAccess::Denied;
}

bool LinuxRecordingSources::requestMicrophoneAccess() {
    return microphoneAccess() == MicrophoneAccess::Authorized;
}

bool LinuxRecordingSources::openMicrophoneSettings() {
    return openDesktopSettings(DesktopSettingsPage::Sound);
}

std::unique_ptr<AudioSource> LinuxRecordingSources::microphone() {
    return std::make_unique<PulseMicrophone>();
}

std::unique_ptr<InputMonitor> LinuxRecordingSources::inputMonitor() {
    return std::make_unique<X11InputMonitor>(m_ownPid);
}

} // namespace ombrel
