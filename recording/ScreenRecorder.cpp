#include "recording/ScreenRecorder.h"

#include "library/CaptureStore.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/PrivateFiles.h"
#include "recording/ContentMap.h"
#include "recording/DemoZoom.h"
#include "recording/RecordingWriter.h"
#include "recording/VideoThumbnails.h"
#include "recording/VoiceLevel.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace ombrel {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Saved {
    std::optional<QString> file;
    QString error;
};

} // namespace

// The capture machinery of one recording: pictures read and encoded on a thread of its
// own, sound delivered by the microphone's thread, both into one writer.
struct ScreenRecorder::Engine {
    std::unique_ptr<FrameSource> frames;
    std::unique_ptr<AudioSource> microphone;
    std::unique_ptr<RecordingWriter> writer;
    Clock::time_point startedAt;
    std::atomic<bool> started{false};
    std::atomic<bool> stopping{false};
    std::thread capture;
    std::mutex closeMutex;
    bool closed = false;
    QString closeResult;

    // Reads a picture every 1/30 s; when reading falls behind, moments are skipped rather
    // than crowded, so the video never has more than 30 pictures a second.
    void run(const std::function<void(const QString&)>& onFailure) {
        qint64 next = 0;
        while (!stopping) {
            const qint64 index = qint64(std::floor(secondsSince(startedAt) * framesPerSecond));
            if (index < next) {
                std::this_thread::sleep_until(startedAt +
                                              std::chrono::microseconds(next * 1000000 / framesPerSecond));
                continue;
            }
            const Outcome<bool> grabbed =
                frames->grab([&](const QImage& picture) { writer->addPicture(picture, index); });
            if (!writer->failure().isEmpty()) {
                onFailure(writer->failure());
                return;
            }
            if (!grabbed && grabbed.failure() == Failure::Permanent) {
                // The window went away: the video keeps its last picture until the user stops.
                std::this_thread::sleep_for(std::chrono::milliseconds(1000 / framesPerSecond));
            }
            next = index + 1;
        }
    }

    // Stops both threads and completes the file; safe to call from any thread, more than once.
    QString close() {
        std::lock_guard lock(closeMutex);
        if (closed) return closeResult;
        closed = true;
        stopping = true;
        if (capture.joinable()) capture.join();
        if (microphone) microphone->stop();
        if (writer) {
            const Outcome<bool> finished = writer->finish();
            if (!finished) closeResult = finished.message();
        }
        return closeResult;
    }

    ~Engine() { close(); }
};

QSize ScreenRecorder::videoSize(QSizeF sizePoints, double pixelsPerPoint) {
    const double longest = std::max(sizePoints.width(), sizePoints.height());
    if (longest <= 0 || pixelsPerPoint <= 0) return {};
    const double scale = std::min(pixelsPerPoint, maxEdge / longest);
    const auto even = [](double v) { return int(std::trunc(v)) & ~1; };
    return QSize(even(sizePoints.width() * scale), even(sizePoints.height() * scale));
}

std::optional<QPointF> ScreenRecorder::normalised(QPointF globalTopLeft, QRectF recordedFrame) {
    if (recordedFrame.isEmpty()) return std::nullopt;
    const double x = globalTopLeft.x();
    const double y = globalTopLeft.y();
    // Inside means left and top edges included, right and bottom excluded, as a pixel grid has it.
    if (x < recordedFrame.left() || y < recordedFrame.top() ||
        x >= recordedFrame.left() + recordedFrame.width() ||
        y >= recordedFrame.top() + recordedFrame.height())
        return std::nullopt;
    return QPointF((x - recordedFrame.left()) / recordedFrame.width(),
                   (y - recordedFrame.top()) / recordedFrame.height());
}

ScreenRecorder::ScreenRecorder(bool zoomsOnClicks, QString temporaryFile, QString destination,
                               QObject* parent)
    : QObject(parent), m_zoomsOnClicks(zoomsOnClicks),
      m_temporaryFile(temporaryFile.isEmpty() ? RecordingFiles::newTemporaryFile()
                                              : std::move(temporaryFile)),
      m_destination(std::move(destination)) {
    // Held until the file has left its temporary place, so that a recovery started meanwhile
    // (the program starting beside the `record` command) leaves it alone.
    if (!m_temporaryFile.isEmpty()) m_lease = std::make_unique<RecordingFiles::Lease>(m_temporaryFile);
    av_log_set_level(AV_LOG_QUIET); // the program keeps no log; FFmpeg need not talk either
    m_pointerTimer.setTimerType(Qt::PreciseTimer);
    m_pointerTimer.setInterval(int(pointerInterval * 1000));
    connect(&m_pointerTimer, &QTimer::timeout, this, &ScreenRecorder::samplePointer);
    m_stopTimer.setSingleShot(true);
    m_stopTimer.setInterval(stopWaitMs);
    connect(&m_stopTimer, &QTimer::timeout, this, [this] {
        // The file is never moved while the encoder may still be writing its tail: when
        // closing is under way, its end finishes the recording instead.
        if (m_closing.isRunning()) {
            qCWarning(logRecording) << "The recording is still being closed after" << stopWaitMs << "ms";
            return;
        }
        finish(QString());
    });
}

ScreenRecorder::~ScreenRecorder() {
    stopWatchingClicks();
    if (m_engine) m_engine->close(); // a recorder dropped while recording still leaves a whole file
}

double ScreenRecorder::elapsedSeconds() const {
    return m_engine && m_engine->started ? secondsSince(m_engine->startedAt) : 0;
}

void ScreenRecorder::start(const Target& target, bool microphone, std::function<void(const QString&)> done) {
    m_recordedFrame = target.frameGlobal();
    // X11 counts in pixels: one pixel per point.
    m_outputSize = videoSize(QSizeF(m_recordedFrame.size()), 1.0);
    const QSize size = m_outputSize;
    const QString file = m_temporaryFile;
    const QPointer<ScreenRecorder> self(this);
    RecordingSources* sources = &Platform::recording();

    struct Started {
        std::shared_ptr<Engine> engine;
        QString error;
    };
    auto* watcher = new QFutureWatcher<Started>(this);
    connect(watcher, &QFutureWatcher<Started>::finished, this, [this, watcher, done = std::move(done)] {
        Started result = watcher->result();
        watcher->deleteLater();
        if (!result.error.isEmpty()) {
            done(result.error);
            return;
        }
        m_engine = std::move(result.engine);
        if (m_stopping) {
            // Stopped while setting up: nothing was captured yet.
            closeEngine([this](const QString&) { finish(QString()); });
            done(QString());
            return;
        }
        m_engine->capture = std::thread([engine = m_engine.get(), this] {
            engine->run([this](const QString& failure) {
                QMetaObject::invokeMethod(
                    this, [this, failure] { engineEnded(failure); }, Qt::QueuedConnection);
            });
        });
        if (m_zoomsOnClicks || m_samplesInput) watchClicks();
        done(QString());
    });
    watcher->setFuture(QtConcurrent::run([=]() -> Started {
        if (file.isEmpty())
            return {nullptr, QStringLiteral("Couldn't make a private file for the recording.")};
        if (size.isEmpty()) return {nullptr, QStringLiteral("There is nothing to record in that area.")};
        auto engine = std::make_shared<Engine>();
        auto frames =
            target.isWindow ? sources->window(target.windowInfo.id) : sources->display(target.display.id);
        if (!frames) return {nullptr, frames.message()};
        engine->frames = frames.take();

        // The microphone first: when it can't be opened, the recording goes on without sound.
        bool withSound = false;
        if (microphone) {
            engine->microphone = sources->microphone();
            Engine* e = engine.get();
            const Outcome<bool> heard = engine->microphone->start([e, self](const AudioChunk& chunk) {
                if (!e->started) return;
                const double level = VoiceLevel::of(chunk);
                QMetaObject::invokeMethod(
                    self.data(),
                    [self, level] {
                        if (self && self->onVoiceLevel && self->isRecording()) self->onVoiceLevel(level);
                    },
                    Qt::QueuedConnection);
                if (chunk.format == AudioChunk::SampleFormat::Float32 && chunk.channels == 1 &&
                    chunk.sampleRate == RecordingWriter::soundRate) {
                    const double heardAt =
                        secondsSince(e->startedAt) - double(chunk.frames) / chunk.sampleRate;
                    e->writer->addSound(static_cast<const float*>(chunk.data), chunk.frames, heardAt);
                }
            });
            withSound = heard.isOk();
            if (!withSound) engine->microphone.reset();
        }

        RecordingWriter::Settings settings;
        settings.videoSize = size;
        settings.framesPerSecond = framesPerSecond;
        settings.withSound = withSound;
        auto writer = RecordingWriter::open(file, settings);
        if (!writer) {
            engine->close();
            QFile::remove(file);
            return {nullptr, writer.message()};
        }
        engine->writer = writer.take();
        engine->startedAt = Clock::now();
        engine->started = true;
        return {engine, QString()};
    }));
}

void ScreenRecorder::watchClicks() {
    m_monitor = Platform::recording().inputMonitor();
    connect(m_monitor.get(), &InputMonitor::scrolled, this, [this] {
        if (m_engine) m_scrolls.push_back(elapsedSeconds());
    });
    connect(m_monitor.get(), &InputMonitor::pressed, this, [this](QPoint global) {
        if (!m_engine) return;
        if (const auto at = normalised(QPointF(global), QRectF(m_recordedFrame)))
            m_clicks.push_back({elapsedSeconds(), at->x(), at->y()});
    });
    m_monitor->start(); // without desktop events the zoom follows the pointer alone
    m_pointerTimer.start();
}

void ScreenRecorder::stopWatchingClicks() {
    m_pointerTimer.stop();
    if (m_monitor) {
        m_monitor->stop();
        m_monitor.reset();
    }
}

std::optional<QPointF> ScreenRecorder::pointerPosition() {
    if (!m_monitor) return std::nullopt;
    const std::optional<QPoint> at = m_monitor->pointer();
    if (!at) return std::nullopt;
    return normalised(QPointF(*at), QRectF(m_recordedFrame));
}

void ScreenRecorder::samplePointer() {
    if (!m_engine) return;
    if (const auto at = pointerPosition()) m_pointer.push_back({elapsedSeconds(), at->x(), at->y()});
}

void ScreenRecorder::stop() {
    if (m_stopping || m_hasFinished) return;
    m_stopping = true;
    stopWatchingClicks();
    m_stopTimer.start(); // finish anyway if the capture never says it ended
    if (!m_engine) return;
    closeEngine([this](const QString& failure) { engineEnded(failure); });
}

void ScreenRecorder::closeEngine(std::function<void(const QString& failure)> then) {
    std::shared_ptr<Engine> engine = m_engine;
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [watcher, then = std::move(then)] {
        const QString failure = watcher->result();
        watcher->deleteLater();
        then(failure);
    });
    m_closing = QtConcurrent::run([engine] { return engine->close(); });
    watcher->setFuture(m_closing);
}

void ScreenRecorder::engineEnded(const QString& failure) {
    if (m_hasFinished) return;
    if (!failure.isEmpty() && m_engine && !m_stopping) {
        // Writing failed while recording: close what there is, then finish with the reason.
        m_stopping = true;
        stopWatchingClicks();
        closeEngine([this, failure](const QString&) { finish(failure); });
        return;
    }
    finish(failure);
}

void ScreenRecorder::finish(const QString& failure) {
    if (m_hasFinished) return;
    m_hasFinished = true;
    stopWatchingClicks();
    m_stopTimer.stop();

    const QFileInfo raw(m_temporaryFile);
    if (!raw.exists() || raw.size() == 0) {
        QFile::remove(m_temporaryFile);
        saved(std::nullopt, failure.isEmpty() ? QString::fromLocal8Bit(std::strerror(ENOENT)) : failure);
        return;
    }
    QString destination = m_destination;
    if (destination.isEmpty()) {
        try {
            destination = CaptureStore::newRecordingURL();
        } catch (const StoreError& e) {
            saved(std::nullopt, QString::fromStdString(e.what()));
            return;
        }
    }

    const bool zooms = m_zoomsOnClicks && (!m_clicks.empty() || !m_pointer.empty());
    if (zooms && onFinishing) onFinishing();
    const QPointer<ScreenRecorder> self(this);
    DemoZoom::Progress progress;
    if (zooms && onZoomProgress)
        progress = [self](double fraction) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, fraction] {
                    if (self && self->onZoomProgress) self->onZoomProgress(fraction);
                },
                Qt::QueuedConnection);
        };
    auto* watcher = new QFutureWatcher<Saved>(this);
    connect(watcher, &QFutureWatcher<Saved>::finished, this, [this, watcher] {
        const Saved result = watcher->result();
        watcher->deleteLater();
        if (result.file) CaptureStore::noteChange();
        saved(result.file, result.error);
    });
    watcher->setFuture(QtConcurrent::run([raw = m_temporaryFile, destination, zooms, clicks = m_clicks,
                                          pointer = m_pointer, scrolls = m_scrolls, progress]() -> Saved {
        if (zooms) {
            const std::optional<double> duration = VideoThumbnails(raw, 16, 9).durationSeconds();
            const std::optional<ContentMap> content = ContentMap::readNow(raw, pointer, duration);
            const ZoomPlan plan(clicks, pointer, scrolls, duration, content ? &*content : nullptr);
            if (DemoZoom::render(plan, raw, destination, progress)) {
                QFile::remove(raw);
                return {destination, QString()};
            }
            QFile::remove(destination); // the zoom failed: keep the plain recording instead
            qCWarning(logRecording) << "The zoom could not be rendered; the plain recording is kept";
        }
        const QString error = PrivateFiles::moveFile(raw, destination);
        if (!error.isEmpty()) {
            qCWarning(logRecording) << "Couldn't move the recording into the library:" << error;
            return {std::nullopt, error};
        }
        return {destination, QString()};
    }));
}

void ScreenRecorder::saved(std::optional<QString> file, const QString& error) {
    m_engine.reset();
    m_lease.reset();
    if (onFinish) onFinish(std::move(file), error);
}

} // namespace ombrel
