#include "Scheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace ombrel {

namespace {

class EventLoopScheduler : public Scheduler {
  public:
    EventLoopScheduler() { m_clock.start(); }
    qint64 nowMs() override { return m_clock.elapsed(); }
    void after(int delayMs, QObject* guard, std::function<void()> work) override {
        QObject* context = guard ? guard : QCoreApplication::instance();
        QTimer::singleShot(delayMs, Qt::PreciseTimer, context, std::move(work));
    }

  private:
    QElapsedTimer m_clock;
};

Scheduler*& installed() {
    static Scheduler* scheduler = nullptr;
    return scheduler;
}

} // namespace

Scheduler& Scheduler::current() {
    static EventLoopScheduler eventLoop;
    return installed() ? *installed() : eventLoop;
}

void Scheduler::install(Scheduler* scheduler) {
    installed() = scheduler;
}

} // namespace ombrel
