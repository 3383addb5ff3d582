#pragma once
// Writes a recording as it is made: H.264 video at up to 30 pictures per second and,
// optionally, AAC sound, into a fragmented MPEG-4 file. Each fragment starts at a key frame
// and is written out when complete, so a recording cut off by a crash or a kill still plays
// up to its last fragment.
//
// Pictures may come from one thread and sound from another.

#include "platform/Outcome.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

namespace ombrel {

class RecordingWriter {
  public:
    struct Settings {
        QSize videoSize; // even width and height
        int framesPerSecond = 30;
        bool withSound = false; // 48 kHz mono
        const char* preset = "veryfast";
        int quality = 23;        // x264 constant rate factor: lower is better and bigger
        int keyFrameSeconds = 2; // the length of a fragment
    };
    static constexpr int soundRate = 48000;

    static Outcome<std::unique_ptr<RecordingWriter>> open(const QString& path, const Settings& settings);
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Encodes the picture (RGB32, any size: it is scaled to fit the video, keeping its
    // shape, with black bars where the shapes differ) as frame number `frameIndex`, which
    // must grow from call to call. False once writing failed.
    bool addPicture(const QImage& picture, qint64 frameIndex);

    // Adds mono samples heard at `atSeconds` after the first frame (only the first call's
    // time counts: later samples follow on without gaps). False once writing failed.
    bool addSound(const float* samples, qsizetype count, double atSeconds);

    // Writes what the encoders still hold and closes the file. The reason when it failed.
    Outcome<bool> finish();

    // The first failure while writing, or empty.
    QString failure() const;

  private:
    RecordingWriter();
    struct Parts;
    std::unique_ptr<Parts> d;
};

} // namespace ombrel
