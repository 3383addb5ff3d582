#pragma once
// What a screen recording reads from the system: pictures of a display or one window with
// the mouse pointer drawn in, the microphone, and the pointer, presses and scrolling of the
// whole desktop.

#include "Outcome.h"
#include "Screens.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>
#include <optional>

namespace ombrel {

// Pictures of one display or one window, read again and again while a recording runs.
// Used from one thread at a time (the recorder's capture thread), not necessarily the one
// that created it.
class FrameSource {
  public:
    virtual ~FrameSource() = default;

    // Reads the current picture and hands it to `use`, valid only during the call. The
    // picture is RGB32 at the source's own size (a display's size, or a window's current
    // size, which may change while recording) with the mouse pointer drawn where it is.
    // Windows of this program never appear in a display's picture.
    // Fails Temporary when this moment could not be read (try the next one), Permanent
    // when the display or window is gone.
    virtual Outcome<bool> grab(const std::function<void(const QImage& picture)>& use) = 0;
};

enum class MicrophoneAccess { NotDetermined, Authorized, Denied };

// A run of microphone samples, interleaved.
struct AudioChunk {
    enum class SampleFormat { Float32, Int16, Other };
    SampleFormat format = SampleFormat::Float32;
    int channels = 1;
    int sampleRate = 48000;
    const void* data = nullptr;
    qsizetype frames = 0; // samples per channel
};

// The microphone, delivering samples on a thread of its own.
class AudioSource {
  public:
    virtual ~AudioSource() = default;
    // Starts delivering chunks to `onChunk` (on the source's own thread) until `stop`.
    // Fails with the system's words when the microphone cannot be opened.
    virtual Outcome<bool> start(std::function<void(const AudioChunk&)> onChunk) = 0;
    // Stops and waits until no chunk is being delivered any more.
    virtual void stop() = 0;
};

// Primary presses and scroll-wheel moves anywhere on the desktop, and the pointer position.
// Lives on the GUI thread and reports there.
class InputMonitor : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Starts reporting; false when the system offers no such events.
    virtual bool start() = 0;
    virtual void stop() = 0;
    // The pointer in global pixels with the origin at the top left of the primary screen;
    // none when it cannot be read.
    virtual std::optional<QPoint> pointer() = 0;

  Q_SIGNALS:
    // A primary button press at `global`, outside this program's own windows.
    void pressed(QPoint global);
    // A scroll-wheel move anywhere.
    void scrolled();
};

class RecordingSources {
  public:
    virtual ~RecordingSources() = default;

    // Pictures of the display `displayId` (as `ScreenGrabber::displays` names it).
    virtual Outcome<std::unique_ptr<FrameSource>> display(quint32 displayId) = 0;
    // Pictures of the contents of the top-level window `window`, even while covered.
    virtual Outcome<std::unique_ptr<FrameSource>> window(WindowId window) = 0;

    // Whether the program may hear the microphone, and asking for it once.
    virtual MicrophoneAccess microphoneAccess() = 0;
    virtual bool requestMicrophoneAccess() = 0;
    // Opens the desktop's sound settings, where an input can be chosen or switched on; false
    // when the desktop has no such page.
    virtual bool openMicrophoneSettings() = 0;
    virtual std::unique_ptr<AudioSource> microphone() = 0;

    virtual std::unique_ptr<InputMonitor> inputMonitor() = 0;
};

} // namespace ombrel
