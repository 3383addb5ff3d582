#pragma once
// The accessibility bus (AT-SPI 2): the focused element of another application.

#include "platform/Accessibility.h"

namespace ombrel {

class AtspiAccessibility : public Accessibility {
  public:
    FocusReading focusedElement(qint64 pid, int timeoutMs) override;
    void switchOnReading(qint64 pid, bool isBrowser) override;
    bool requestTrust() override;
    bool openSettings() override;

    // The most elements searched for the focus in an application that cannot search itself.
    static constexpr int maxElementsWalked = 4000;
    // Ancestors looked at for an editable one.
    static constexpr int maxAncestors = 40;
};

} // namespace ombrel
