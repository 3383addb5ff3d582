#pragma once
// What the system lets this program do.

namespace ombrel {

class Access {
  public:
    virtual ~Access() = default;

    // True when this program may read the screen. Always true on X11.
    virtual bool screenCaptureAllowed() = 0;

    // True when the accessibility bus answers, so other programs' elements can be read.
    virtual bool accessibilityTrusted() = 0;
};

} // namespace ombrel
