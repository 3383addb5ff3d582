#pragma once
// Opening the program when the user logs in (an XDG autostart entry on Linux).

#include <QString>

namespace ombrel {

class LoginItem {
  public:
    virtual ~LoginItem() = default;

    // True when the program is registered to start at login.
    virtual bool isEnabled() = 0;

    // Registers the program. Answers an empty string on success, else a sentence
    // saying what went wrong.
    virtual QString enable() = 0;

    // Unregisters the program. Same answer as `enable`.
    virtual QString disable() = 0;
};

} // namespace ombrel
