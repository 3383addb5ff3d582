#pragma once
// Re-encodes a video file picture by picture: FFmpeg decodes the first video stream, each
// picture is handed over in 4:2:0 at the source's size made even, the caller changes it in
// place or answers another picture to encode, and H.264 pictures go into an MPEG-4 file
// with the chosen sound tracks copied as they are. The file is written under a hidden
// private name beside the destination and takes its name only when whole; a failure
// removes what was written. The zoom camera and the video editor's renderer both work this
// way.

#include "platform/Outcome.h"

#include <QSize>
#include <QString>
#include <functional>

extern "C" {
struct AVFrame;
}

namespace ombrel {

struct Reencoding {
    enum class Sound { none, first, all };
    Sound sound = Sound::first;
    // What the result is called in messages ("the zoomed video").
    QString noun = QStringLiteral("the video");

    // Told the size of the pictures that will be handed over (the source's, made even);
    // answers the size of the pictures to encode, or an empty size with `failure` set.
    std::function<QSize(QSize pictureSize, QString& failure)> prepare;
    // Told each picture (4:2:0, which the decoder may still refer to: make it writable before
    // drawing on it) and its time in seconds from the start; answers the picture to encode,
    // of the prepared size, or null with `failure` set to stop.
    std::function<AVFrame*(AVFrame* picture, double seconds, QString& failure)> eachPicture;
    // How far the work has come, 0 to 1, from the working thread.
    std::function<void(double fraction)> progress;
};

Outcome<bool> reencode(const QString& from, const QString& to, const Reencoding& how);

} // namespace ombrel
