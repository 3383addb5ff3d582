#pragma once
// A clock that moves only when the test says so; timers fire in time order as it passes them.

#include "sending/Scheduler.h"

#include <QPointer>
#include <algorithm>
#include <vector>

namespace ombrel::test {

class ManualScheduler : public Scheduler {
  public:
    ManualScheduler() { Scheduler::install(this); }
    ~ManualScheduler() override { Scheduler::install(nullptr); }

    qint64 nowMs() override { return m_now; }
    void after(int delayMs, QObject* guard, std::function<void()> work) override {
        m_jobs.push_back({m_now + delayMs, m_next++, guard, guard != nullptr, std::move(work)});
    }

    // Moves the clock forward by `ms`, running every timer that falls due on the way.
    void advance(qint64 ms) {
        const qint64 until = m_now + ms;
        for (;;) {
            auto due = std::min_element(m_jobs.begin(), m_jobs.end(), [](const Job& a, const Job& b) {
                return a.atMs != b.atMs ? a.atMs < b.atMs : a.order < b.order;
            });
            if (due == m_jobs.end() || due->atMs > until) break;
            Job job = std::move(*due);
            m_jobs.erase(due);
            m_now = job.atMs;
            if (!job.guarded || job.guard) job.work();
        }
        m_now = until;
    }
    // Readings run at once, on this thread, so tests see their answers without waiting.
    void offThread(QObject* guard, std::function<std::function<void()>()> work) override {
        const QPointer<QObject> context(guard);
        std::function<void()> then = work();
        if (then && (!guard || context)) then();
    }
    int pending() const { return int(m_jobs.size()); }

  private:
    struct Job {
        qint64 atMs;
        quint64 order;
        QPointer<QObject> guard;
        bool guarded;
        std::function<void()> work;
    };
    qint64 m_now = 0;
    quint64 m_next = 0;
    std::vector<Job> m_jobs;
};

} // namespace ombrel::test
