#include "platform/common/SingleInstanceGuard.h"
#include "platform/linux/UnixSignalWatcher.h"

#include <QProcess>
#include <QSignalSpy>
#include <csignal>
#include <gtest/gtest.h>

namespace {

TEST(SingleInstanceGuard, OnlyOneHolderAtATimeAndADeadHoldersLockIsTakenOver) {
    auto first = std::make_unique<platform::SingleInstanceGuard>(QStringLiteral("guard-test"));
    ASSERT_TRUE(first->tryAcquire());
    platform::SingleInstanceGuard second(QStringLiteral("guard-test"));
    EXPECT_FALSE(second.tryAcquire());
    first.reset();
    EXPECT_TRUE(second.tryAcquire());
}

TEST(SingleInstanceGuard, ALockLeftByAKilledProcessDoesNotBlock) {
    // The lock file as a live holder writes it, then made to name a process that has ended,
    // as an instance killed with SIGKILL leaves it behind.
    QByteArray contents;
    QString path;
    {
        platform::SingleInstanceGuard holder(QStringLiteral("killed-holder"));
        ASSERT_TRUE(holder.tryAcquire());
        path = holder.path();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        contents = file.readAll();
    }
    QProcess gone;
    gone.start(QStringLiteral("true"));
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    contents = QByteArray::number(deadPid) + contents.mid(contents.indexOf('\n'));
    QFile stale(path);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(contents);
    stale.close();
    platform::SingleInstanceGuard guard(QStringLiteral("killed-holder"));
    EXPECT_TRUE(guard.tryAcquire());
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
