#pragma once
// Brings the polite stop signals (SIGTERM, SIGINT, SIGHUP) into the event loop.
//
// A signal handler may only do async-signal-safe work, and Qt is none of that: the handler
// writes the signal's number into a socket pair and nothing else; a notifier on the other
// end calls `onStop` on the thread that made the watcher, from its event loop. The earlier
// handlers come back when the watcher goes. One watcher at a time per process.

#include <QObject>
#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace ombrel {

class StopSignals : public QObject {
    Q_OBJECT
  public:
    explicit StopSignals(std::function<void(int signal)> onStop, QObject* parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False when the socket pair could not be made; then the signals keep their old handlers.
    bool isWatching() const { return m_notifier != nullptr; }

    static constexpr int watched[] = {SIGTERM, SIGINT, SIGHUP};

  private:
    std::function<void(int)> m_onStop;
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previous[std::size(watched)] = {};
};

} // namespace ombrel
