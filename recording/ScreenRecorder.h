#pragma once
// Records the whole screen or one window into an MPEG-4 file, optionally with the
// microphone, and, with the automatic zoom on, samples the pointer, clicks and scrolling
// meanwhile. When stopped it turns the raw file into the saved recording: moved into the
// library as it is, or rendered again through the zoom camera.
//
// One recorder makes one recording. It lives on the GUI thread; pictures are read and
// encoded on a capture thread, sound on the microphone's thread.

#include "library/CaptureStore.h"
#include "platform/Recording.h"
#include "platform/Windows.h"
#include "recording/ZoomPlan.h"

#include <QElapsedTimer>
#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ombrel {

class ScreenRecorder : public QObject {
    Q_OBJECT
  public:
    // What to record: a display, or one window of another program.
    struct Target {
        static Target screen(const DisplayInfo& display) {
            Target t;
            t.display = display;
            return t;
        }
        static Target window(const WindowInfo& window) {
            Target t;
            t.isWindow = true;
            t.windowInfo = window;
            return t;
        }
        bool isWindow = false;
        DisplayInfo display;
        WindowInfo windowInfo;
        // The recorded area in global pixels, top-left origin: the window's frame at the start.
        QRect frameGlobal() const { return isWindow ? windowInfo.frameGlobal : display.globalRectPx; }
    };

    static constexpr int maxEdge = 2560;            // the longest edge of the video, in pixels
    static constexpr int framesPerSecond = 30;      // at most
    static constexpr double pointerInterval = 0.05; // seconds between pointer samples
    static constexpr int stopWaitMs = 3000;         // finish anyway when the capture never reports its end

    // The video size for an area of `sizePoints` at `pixelsPerPoint`: scaled down so that the
    // longer edge is at most `maxEdge`, each side truncated and made even.
    static QSize videoSize(QSizeF sizePoints, double pixelsPerPoint);

    // A pointer position in global top-left pixels as a fraction of the recorded area (x and
    // y from 0 to 1, y downward); none outside it.
    static std::optional<QPointF> normalised(QPointF globalTopLeft, QRectF recordedFrame);

    // `destination`: where the finished recording goes; empty means a new library file.
    explicit ScreenRecorder(bool zoomsOnClicks, QString temporaryFile = QString(),
                            QString destination = QString(), QObject* parent = nullptr);
    ~ScreenRecorder() override;

    // Sets up and starts capture; `done` gets an empty text on success, else the reason.
    void start(const Target& target, bool microphone, std::function<void(const QString& error)> done);
    // Stops capture and finishes: `onFinish` is called once at the very end.
    void stop();

    bool zoomsOnClicks() const { return m_zoomsOnClicks; }
    // Samples the pointer, clicks and scrolling even without the zoom, so that the events can
    // be kept (and a zoom rendered later). Call before `start`.
    void setSamplesInput(bool on) { m_samplesInput = on; }
    const QString& temporaryFile() const { return m_temporaryFile; }
    QRect recordedFrame() const { return m_recordedFrame; }
    QSize outputSize() const { return m_outputSize; }
    bool isRecording() const { return m_engine != nullptr && !m_hasFinished; }
    const std::vector<ZoomPlan::Click>& clicks() const { return m_clicks; }
    const std::vector<ZoomPlan::PointerSample>& pointer() const { return m_pointer; }
    const std::vector<double>& scrolls() const { return m_scrolls; }
    // Seconds since capture began (0 before).
    double elapsedSeconds() const;

    // The saved file (or none) and, when something went wrong, why.
    std::function<void(std::optional<QString> file, const QString& error)> onFinish;
    // The zoom rendering begins.
    std::function<void()> onFinishing;
    // How far the zoom rendering has come, 0…1.
    std::function<void(double)> onZoomProgress;
    // The microphone level, 0…1.
    std::function<void(double)> onVoiceLevel;

  private:
    friend struct ScreenRecorderInspector;
    struct Engine;

    void watchClicks();
    void stopWatchingClicks();
    std::optional<QPointF> pointerPosition();
    void samplePointer();
    void engineEnded(const QString& failure);
    void finish(const QString& failure);
    // Closes the engine off the GUI thread (kept in `m_closing`), then calls `then` here.
    void closeEngine(std::function<void(const QString& failure)> then);
    void saved(std::optional<QString> file, const QString& error);

    bool m_zoomsOnClicks;
    QString m_temporaryFile;
    QString m_destination;
    QRect m_recordedFrame;
    QSize m_outputSize;
    std::shared_ptr<Engine> m_engine;
    QFuture<QString> m_closing;
    std::unique_ptr<RecordingFiles::Lease> m_lease;
    std::unique_ptr<InputMonitor> m_monitor;
    QTimer m_pointerTimer;
    QTimer m_stopTimer;
    std::vector<ZoomPlan::Click> m_clicks;
    std::vector<ZoomPlan::PointerSample> m_pointer;
    std::vector<double> m_scrolls;
    bool m_samplesInput = false;
    bool m_hasFinished = false;
    bool m_stopping = false;
};

} // namespace ombrel
