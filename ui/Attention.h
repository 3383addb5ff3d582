#pragma once
// Drawing the user's eye to a place on the screen: rings that pulse out from it a few
// times and fade. It never takes focus or clicks.

#include <QRect>

class QWidget;

namespace ombrel {

class Attention {
  public:
    static constexpr int pulses = 3;
    static constexpr int pulseMs = 900;

    // Pulses around `globalRect` (logical pixels of the desktop). A new call replaces a
    // showing one.
    static void pointAt(const QRect& globalRect);
    // The rings now showing, or null.
    static QWidget* current();
};

} // namespace ombrel
