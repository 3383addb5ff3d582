#pragma once
// Fast, good-quality resampling of screen pictures.

#include <QImage>
#include <QSize>

namespace ombrel {

// `image` resampled to exactly `size`: pixel-area averaging when shrinking (sharp text,
// no moiré), bilinear when enlarging. 32-bit formats are kept; others become RGB32/ARGB32.
QImage scaledSmoothly(const QImage& image, QSize size);

} // namespace ombrel
