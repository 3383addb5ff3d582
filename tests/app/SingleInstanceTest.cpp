#include "app/SingleInstance.h"

#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <QtConcurrent>
#include <gtest/gtest.h>

using namespace ombrel;

TEST(SingleInstance, ALaterStartHandsItsRequestToTheRunningOne) {
    const QString id = "ombrel-test-" + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance running(id);
    SingleInstance later(id);
    EXPECT_FALSE(later.sendToRunning({"x"}, 300)) << "nobody runs yet";
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::received);
    // The later start blocks while it waits for the answer, so it runs on another thread.
    auto sent = QtConcurrent::run([&] {
        return SingleInstance(id).sendToRunning({"ombrel-capture://capture?send=0", "/tmp/a b.png"});
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.count() == 1; }, 5000));
    EXPECT_EQ(received.first().first().toStringList(),
              (QStringList{"ombrel-capture://capture?send=0", "/tmp/a b.png"}));
    sent.waitForFinished();
    EXPECT_TRUE(sent.result());
    SingleInstance second(id);
    EXPECT_FALSE(second.listen()) << "only one program listens";
}
