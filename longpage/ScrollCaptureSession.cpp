#include "ScrollCaptureSession.h"
#include "platform/ScreenSpace.h"

#include "platform/Platform.h"
#include "sending/Scheduler.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

namespace ombrel {

namespace {

// Grabs the window's own contents at once; the grab leaves out every window above it.
void grabThroughPlatform(WindowId window, QSize sizePx, ScrollCaptureSession::FrameDelivery deliver) {
    deliver(Platform::screens().grabWindow(window, sizePx));
}

} // namespace

ScrollCaptureSession::ScrollCaptureSession(const WindowInfo& window, const QString& appName, OnDone onDone)
    : GlassPrompt(QStringLiteral("Cancel"), promptWidth), m_window(window), m_onDone(std::move(onDone)),
      m_source(grabThroughPlatform) {
    say(QStringLiteral("Scroll down slowly"), message(appName), QStringLiteral("Done"));
    setPrimaryHighlighted(true);
    onPrimary = [this] { finish(); };
    onSecondary = [this] { dismiss(); };
}

ScrollCaptureSession::~ScrollCaptureSession() = default;

QString ScrollCaptureSession::message(const QString& appName) {
    const QString who = appName.isEmpty() ? QStringLiteral("the window") : appName;
    return QStringLiteral("Scroll ") + who +
           QStringLiteral(" from top to bottom. Press Done when you reach the end.");
}

void ScrollCaptureSession::begin() {
    if (m_ended || m_running) return;
    open();
    if (QScreen* screen = ScreenSpace::mainScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.right() + 1 - cornerMargin - width(), area.bottom() + 1 - cornerMargin - height());
    }
    m_running = true;
    ++m_run;
    takeFrame();
    scheduleTick();
}

void ScrollCaptureSession::scheduleTick() {
    const quint64 run = m_run;
    // Guarded by the prompt: a capture that has gone away stops ticking.
    Scheduler::current().after(frameIntervalMs, this, [this, run] {
        if (!m_running || run != m_run) return;
        takeFrame();
        scheduleTick();
    });
}

void ScrollCaptureSession::takeFrame() {
    if (m_busy || !m_running) return;
    QSize sizePx = Platform::screens().windowSize(m_window.id);
    if (sizePx.isEmpty()) sizePx = m_window.frameGlobal.size();
    if (sizePx.isEmpty()) return; // the window is gone; a later tick tries again
    m_busy = true;
    QPointer<ScrollCaptureSession> self(this);
    const quint64 run = m_run;
    m_source(m_window.id, sizePx, [self, run](Outcome<QImage> frame) {
        if (!self) return;
        // Whatever happened, the next tick may take a frame again.
        self->m_busy = false;
        if (!self->m_running || run != self->m_run) return;
        // A failed grab adds nothing; the next tick tries again.
        if (frame.isOk() && !frame.value().isNull()) self->m_stitcher.add(frame.value());
    });
}

void ScrollCaptureSession::stop() {
    m_running = false;
    ++m_run;
}

void ScrollCaptureSession::finish() {
    if (m_ended) return;
    stop();
    const QImage picture = m_stitcher.finished();
    OnDone onDone = std::move(m_onDone);
    m_onDone = nullptr;
    dismiss();
    if (onDone) onDone(picture);
}

void ScrollCaptureSession::dismiss() {
    stop();
    m_onDone = nullptr;
    GlassPrompt::dismiss();
    if (!m_ended) {
        m_ended = true;
        Q_EMIT ended();
    }
}

} // namespace ombrel
