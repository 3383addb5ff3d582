#pragma once
// Turns a recording and its edit into a new MPEG-4 video: the text notes and the caption
// shown at each moment are drawn over the picture, the picture is cropped, and the sound is
// kept (every sound track) unless the edit mutes it. Decoding and encoding are FFmpeg's. Each
// note and caption picture is made once per export (notes before the first frame, a caption
// when it is first shown, let go when it is past), so each frame only blends the ones shown
// at its time and the memory used does not grow with the video's length.

#include "platform/Outcome.h"
#include "video/VideoEdit.h"

#include <QFuture>
#include <QImage>
#include <QRect>
#include <QSize>
#include <functional>
#include <optional>

namespace ombrel::VideoRenderer {

// Told how far the rendering has come, 0 to 1, from the rendering thread.
using Progress = std::function<void(double fraction)>;

// A note as a picture for a video `videoWidth` pixels wide: base size max(18, width / 48),
// text at most 0.6 of the width wide, a padding of 0.6 of the face's size on every side,
// on its background as a rounded rectangle. Nothing for a note without text.
std::optional<QImage> noteImage(const VideoEdit::TextNote& note, double videoWidth);

// The crop in whole pixels of a picture of `size`, origin at the top left: even width and
// height (at least 2) not above the crop's, kept inside the picture. No crop: the whole picture.
QRect cropPixels(const std::optional<QRectF>& crop, QSize size);

// Writes the edited video to `to` and answers when it is complete, or why it failed. The
// file is written under a hidden name beside `to` and takes its name only when whole; a
// failure removes what was written.
Outcome<bool> render(const VideoEdit& edit, const QString& from, const QString& to,
                     const Progress& progress = {});

// The same work on a worker thread.
QFuture<Outcome<bool>> exportVideo(VideoEdit edit, QString from, QString to, Progress progress = {});

} // namespace ombrel::VideoRenderer
