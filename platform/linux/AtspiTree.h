#pragma once
// Element trees of other applications on the accessibility bus (AT-SPI 2).

#include "platform/AccessibleTree.h"

namespace ombrel {

class AtspiTree : public AccessibleTree {
  public:
    AccessibleNodePtr application(qint64 pid, int timeoutMs) override;

    // Characters of an element's shown text read at most (a name, not a document).
    static constexpr int maxValueCharacters = 400;
};

} // namespace ombrel
