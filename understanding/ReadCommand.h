#pragma once
// `ombrel-capture read PICTURE [--careful] [--find QUERY] [--private]`: the text on a
// picture, or what a find or the auto-blur would mark on it, as JSON.

#include <QStringList>

namespace ombrel {

// Prints {"lines": [{"text", "box"}…]} by default, {"query", "rects"} with --find and
// {"rects"} with --private (rectangles as [x, y, width, height] in picture pixels).
// Answers 0 on success, 1 when the picture cannot be read, 2 for wrong arguments.
int readCommand(const QStringList& args);

} // namespace ombrel
