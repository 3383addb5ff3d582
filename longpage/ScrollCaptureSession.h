#pragma once
// The small floating prompt of a long-page capture. While it is open it photographs one
// window every 0.3 s and feeds each frame to a ScrollStitcher; Done delivers the stitched
// picture, Cancel throws the frames away.
//
// At most one frame is in flight: a tick that comes while a frame is still being taken or
// stitched does nothing, so a slow grab only lowers the frame rate. Frames come from the
// window's own contents (`ScreenGrabber::grabWindow`), so the prompt lying over the window
// never shows in them. The timer runs through `Scheduler`, which tests replace by a clock
// they move themselves.

#include "ScrollStitcher.h"
#include "platform/Outcome.h"
#include "platform/Windows.h"
#include "ui/GlassPrompt.h"

#include <QImage>
#include <functional>

namespace ombrel {

class ScrollCaptureSession : public GlassPrompt {
    Q_OBJECT
  public:
    // Receives the stitched picture after Done; a null image when no frame was stitched.
    using OnDone = std::function<void(const QImage& picture)>;
    // Called once with the frame's outcome, at once or later.
    using FrameDelivery = std::function<void(Outcome<QImage>)>;
    // Takes one frame of `window` at `sizePx` and hands it to `deliver`.
    using FrameSource = std::function<void(WindowId window, QSize sizePx, FrameDelivery deliver)>;

    static constexpr int frameIntervalMs = 300;
    static constexpr int promptWidth = 420;
    // Distance of the prompt from the right and bottom edges of the screen's free area.
    static constexpr int cornerMargin = 20;

    // A capture of `window`; `appName` names its application in the message (empty: "the window").
    ScrollCaptureSession(const WindowInfo& window, const QString& appName, OnDone onDone);
    ~ScrollCaptureSession() override;

    // Replaces how frames are taken (tests simulate slow or failing grabs). The default
    // grabs synchronously through the platform's screen grabber.
    void setFrameSource(FrameSource source) { m_source = std::move(source); }

    // Shows the prompt in the bottom-right corner, takes a frame at once and then every 0.3 s.
    void begin();
    // Stops the frames, stitches, closes the prompt and calls `onDone` with the picture.
    void finish();
    // Stops the frames and closes the prompt without delivering anything (Cancel).
    void dismiss() override;

    bool isRunning() const { return m_running; }
    bool isBusy() const { return m_busy; }
    const ScrollStitcher& stitcher() const { return m_stitcher; }
    const WindowInfo& window() const { return m_window; }
    // The message shown under the heading for an application called `appName`.
    static QString message(const QString& appName);

  Q_SIGNALS:
    // The capture ended, by Done or by Cancel; the owner may let it go now.
    void ended();

  private:
    void takeFrame();
    void scheduleTick();
    void stop();

    WindowInfo m_window;
    OnDone m_onDone;
    FrameSource m_source;
    ScrollStitcher m_stitcher;
    bool m_running = false;
    bool m_busy = false;
    bool m_ended = false;
    // Counts runs, so a tick or a frame arriving from an earlier run is ignored.
    quint64 m_run = 0;
};

} // namespace ombrel
