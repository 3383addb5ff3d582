#pragma once
// `ombrel-capture stitch FRAME.png… --output OUT.png`: stitches frames of a scrolled page,
// given top to bottom, into one tall picture.

#include <QStringList>

namespace ombrel {

// Feeds the frames in order to a stitcher, prints the rows each one added, and writes the
// picture whole. Answers 0 on success, 1 when a frame cannot be read or the picture cannot be
// written (nothing is written then), 2 for wrong arguments.
int stitchCommand(const QStringList& args);

} // namespace ombrel
