#pragma once
// Synthetic key presses through the XTEST extension.

#include "platform/SyntheticKeys.h"

struct _XDisplay;

namespace ombrel {

class XTestKeys : public SyntheticKeys {
  public:
    XTestKeys() = default;
    ~XTestKeys() override;
    XTestKeys(const XTestKeys&) = delete;
    XTestKeys& operator=(const XTestKeys&) = delete;

    bool press(SyntheticKey key, bool command) override;
    bool canPress() override;

  private:
    _XDisplay* m_display = nullptr; // a connection of our own, opened at the first press
    bool m_hasXTest = false;
};

} // namespace ombrel
