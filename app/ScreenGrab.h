#pragma once
// Grabs run on a worker thread and report back on the GUI thread.

#include "platform/Outcome.h"
#include "platform/Screens.h"
#include "platform/Windows.h"

#include <QImage>
#include <QObject>
#include <functional>

namespace ombrel {

// A picture with the screen area it shows (global pixels, origin at the top left of
// the primary screen) and the process whose elements it shows, when known.
struct Capture {
    QImage image;
    QRect areaGlobal;
    qint64 sourcePid = 0;
};

using CaptureDone = std::function<void(Outcome<Capture>)>;

// Grabs the display at the capped size. `done` runs on the GUI thread with `context` alive.
void grabDisplay(const DisplayInfo& display, QObject* context, CaptureDone done);
// Grabs one window without its frame or shadow at the capped size.
void grabWindow(const WindowInfo& window, QObject* context, CaptureDone done);

// The same, waiting for the result (command line and benchmarks).
Outcome<Capture> grabDisplayNow(const DisplayInfo& display);
Outcome<Capture> grabWindowNow(const WindowInfo& window);

} // namespace ombrel
