#pragma once
// The clock and timers of the sending logic. The program uses the event loop's timers;
// tests install a clock they move forward themselves.

#include <QObject>
#include <QPointer>
#include <functional>

namespace ombrel {

class Scheduler {
  public:
    virtual ~Scheduler() = default;

    // Milliseconds on a clock that only moves forward.
    virtual qint64 nowMs() = 0;

    // Runs `work` on the GUI thread once `delayMs` have passed, unless `guard` is destroyed
    // first. A null guard means the work always runs.
    virtual void after(int delayMs, QObject* guard, std::function<void()> work) = 0;

    // Runs `work` off the GUI thread, then what it answers on the GUI thread, unless `guard`
    // is destroyed by then (a null guard: always). For readings that may take long, such as
    // a walk through a busy browser's elements, so the interface never waits for them.
    virtual void offThread(QObject* guard, std::function<std::function<void()>()> work) = 0;

    // The scheduler in use: the event loop's unless a test installed another.
    static Scheduler& current();
    // Installs `scheduler` (not owned); null returns to the event loop's.
    static void install(Scheduler* scheduler);
};

} // namespace ombrel
