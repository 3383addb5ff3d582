#pragma once
// Pictures from the clipboard and from files, made into the program's bitmaps: at most
// `maxImageEdge` on the long edge, never enlarged, opaque with white behind transparency.

#include "library/Clipboard.h"

#include <QImage>
#include <QSize>
#include <optional>

namespace ombrel {

inline constexpr int maxImageEdge = 2400;

class ImageImport {
  public:
    static QImage fromClipboard();
    static QImage fromFile(const QString& path);
    static QImage normalized(const QImage& image, int maxEdge = maxImageEdge);

    // The size a picture is drawn at: its pixel size when both sides are positive, else its
    // point size; scaled down to `maxEdge` with halves rounded away from zero. None when a
    // side is below one.
    static std::optional<QSize> targetSize(QSize pixels, QSizeF points, int maxEdge = maxImageEdge);
};

// The size a grab of `pixels` is taken at: scaled by min(1, maxEdge / long edge), each
// side cut to a whole number.
QSize captureSize(QSizeF pixels, int maxEdge = maxImageEdge);

} // namespace ombrel
