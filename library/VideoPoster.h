#pragma once
// The first picture of a video in colour, for the tiles of the Recent panel: decoded with
// FFmpeg's libraries, turned as the video asks to be shown, and fitted within a box.
// Safe to call from any thread.

#include <QImage>
#include <QSize>
#include <QString>

namespace ombrel {

namespace VideoPoster {
// The frame shown at time zero, scaled (aspect kept) to fit `box`; null when the file
// has no readable video.
QImage firstFrame(const QString& path, QSize box = QSize(480, 480));
} // namespace VideoPoster

} // namespace ombrel
