#include "platform/common/SingleInstanceGuard.h"
#include "platform/linux/UnixSignalWatcher.h"

#include <QProcess>
#include <QSignalSpy>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// A lock left by an instance killed with SIGKILL names a process that has ended.
TEST(SingleInstanceGuard, OnlyOneHolderAtATimeAndALockOfAnEndedProcessIsTakenOver) {
    auto first = std::make_unique<platform::SingleInstanceGuard>(QStringLiteral("guard-test"));
    ASSERT_TRUE(first->tryAcquire());
    platform::SingleInstanceGuard second(QStringLiteral("guard-test"));
    EXPECT_FALSE(second.tryAcquire());
    QFile file(first->path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray contents = file.readAll();
    file.close();
    first.reset();

    QProcess gone;
    gone.start(QStringLiteral("true"));
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 ended = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(ended) + contents.mid(contents.indexOf('\n')));
    file.close();
    EXPECT_TRUE(second.tryAcquire());
}

TEST(UnixSignalWatcher, TurnsTerminationSignalsIntoEventsOnTheMainThread) {
    platform::UnixSignalWatcher watcher({SIGTERM, SIGINT, SIGHUP});
    QSignalSpy spy(&watcher, &platform::UnixSignalWatcher::received);
    ASSERT_EQ(::raise(SIGHUP), 0);
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(spy.wait(2000) || spy.count() > 0);
    while (spy.count() < 2 && spy.wait(500)) {
    }
    ASSERT_EQ(spy.count(), 2) << "both signals, and the process is still alive to see them";
    EXPECT_EQ(spy[0][0].toInt(), SIGHUP);
    EXPECT_EQ(spy[1][0].toInt(), SIGTERM);
}

} // namespace
