#include "platform/StopSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace ombrel;

namespace {
volatile sig_atomic_t earlierHandlerRan = 0;
void earlierHandler(int) {
    earlierHandlerRan = 1;
}
} // namespace

// A stop signal reaches the event loop as a call with its number, not by running code in the
// handler; afterwards the handler that was there before is back.
TEST(StopSignals, ASignalArrivesInTheEventLoopAndTheOldHandlerComesBack) {
    std::signal(SIGTERM, earlierHandler);
    std::vector<int> seen;
    {
        StopSignals watcher([&](int signal) { seen.push_back(signal); });
        ASSERT_TRUE(watcher.isWatching());
        std::raise(SIGTERM); // would end the test program if the handler were missing
        std::raise(SIGINT);
        EXPECT_TRUE(seen.empty()) << "the handler itself must not call back";
        QElapsedTimer waited;
        waited.start();
        while (seen.size() < 2 && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_EQ(seen, (std::vector<int>{SIGTERM, SIGINT}));
        EXPECT_EQ(earlierHandlerRan, 0);
    }
    std::raise(SIGTERM);
    EXPECT_EQ(earlierHandlerRan, 1);
    std::signal(SIGTERM, SIG_DFL);
}
