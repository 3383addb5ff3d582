#include "Scheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QThreadPool>
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

    void offThread(QObject* guard, std::function<std::function<void()>()> work) override {
        const QPointer<QObject> context(guard);
        const bool guarded = guard != nullptr;
        QThreadPool::globalInstance()->start([work = std::move(work), context, guarded] {
            std::function<void()> then = work();
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [then = std::move(then), context, guarded] {
                    if (then && (!guarded || context)) then();
                },
                Qt::QueuedConnection);
        });
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
