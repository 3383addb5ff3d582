#pragma once
// One global key combination that reaches this program from any application.

#include "Outcome.h"

#include <QKeyCombination>
#include <QObject>
#include <optional>

namespace ombrel {

class HotKeys : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Takes `combination` for the whole desktop, giving up the one taken before (if any).
    // Caps Lock and Num Lock make no difference to it. Fails Permanent when another program
    // already holds the combination (then nothing is registered), Temporary when the
    // desktop cannot be reached.
    virtual Outcome<bool> registerKey(QKeyCombination combination) = 0;

    // Gives the registered combination back; nothing happens when none is registered.
    virtual void unregisterKey() = 0;

    // The combination now registered, if any.
    virtual std::optional<QKeyCombination> registeredKey() const = 0;

  Q_SIGNALS:
    // The registered combination was pressed (on the GUI thread).
    void pressed();
};

} // namespace ombrel
