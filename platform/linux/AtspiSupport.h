#pragma once
// Shared pieces of the accessibility-bus backends: owning handles for what libatspi hands
// out, error checks, and the one lock that keeps libatspi to one thread at a time (the
// chat sender reads the focus on the GUI thread while screen understanding walks element
// trees in the background, and libatspi's caches are not safe for both at once).

#include <QHash>
#include <QString>
#include <memory>
#include <mutex>

#include <atspi/atspi.h>

namespace ombrel::atspi {

// Held around every use of libatspi, releasing its objects included.
std::recursive_mutex& lock();

struct Unref {
    void operator()(gpointer p) const {
        if (p) {
            std::lock_guard guard(lock());
            g_object_unref(p);
        }
    }
};
using Element = std::unique_ptr<AtspiAccessible, Unref>;
using StateSet = std::unique_ptr<AtspiStateSet, Unref>;

// Takes a string libatspi allocated, freeing it.
QString take(gchar* text);
// True when no error was raised; clears the error otherwise.
bool ok(GError*& error);
bool hasState(AtspiAccessible* element, AtspiStateType state);
QHash<QString, QString> attributesOf(AtspiAccessible* element);
// Connects to the accessibility bus once per process; false when that failed.
bool initialised();
// The application on the bus that runs in process `pid`.
Element applicationOf(qint64 pid);

} // namespace ombrel::atspi
