#include "platform/StopSignals.h"

#include "platform/Log.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace ombrel {

namespace {

// [0] is written by the handler, [1] read by the notifier.
int pipeEnds[2] = {-1, -1};

void onSignal(int signal) {
    const int saved = errno; // the interrupted code may be about to read errno
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[0], &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals(std::function<void(int)> onStop, QObject* parent)
    : QObject(parent), m_onStop(std::move(onStop)) {
    if (pipeEnds[0] >= 0) {
        qCWarning(logPlatform) << "A second stop-signal watcher was made; the first keeps the signals.";
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0) {
        qCWarning(logPlatform) << "No socket pair for the stop signals:" << std::strerror(errno);
        pipeEnds[0] = pipeEnds[1] = -1;
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(pipeEnds[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(pipeEnds[1], &byte, 1) == 1)
            if (m_onStop) m_onStop(int(byte));
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(watched); ++i)
        ::sigaction(watched[i], &action, &m_previous[i]);
}

StopSignals::~StopSignals() {
    if (!m_notifier) return;
    for (size_t i = 0; i < std::size(watched); ++i)
        ::sigaction(watched[i], &m_previous[i], nullptr);
    m_notifier.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

} // namespace ombrel
