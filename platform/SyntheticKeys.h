#pragma once
// Key presses made up by this program and delivered to whatever window has the focus.

namespace ombrel {

enum class SyntheticKey { V, Return };

class SyntheticKeys {
  public:
    virtual ~SyntheticKeys() = default;

    // Presses and releases `key` in the focused window, holding Command (Ctrl on Linux)
    // around it when `command` is true. False when no key could be sent (no display, or
    // the display cannot synthesise keys).
    virtual bool press(SyntheticKey key, bool command) = 0;

    // True when the display can synthesise keys at all. Safe from any thread.
    virtual bool canPress() = 0;
};

} // namespace ombrel
