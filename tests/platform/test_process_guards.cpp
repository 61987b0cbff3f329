#include "platform/common/SingleInstanceGuard.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// A lock left by an instance killed with SIGKILL names a process that has ended.
TEST(SingleInstanceGuard, OnlyOneHolderAtATimeAndALockOfAnEndedProcessIsTakenOver) {
    auto first = std::make_unique<platform::SingleInstanceGuard>(q("guard-test"));
    ASSERT_TRUE(first->tryAcquire());
    platform::SingleInstanceGuard second(q("guard-test"));
    EXPECT_FALSE(second.tryAcquire());
    QFile file(first->path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray contents = file.readAll();
    file.close();
    first.reset();

    QProcess gone;
    gone.start(q("true"));
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 ended = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    writeBytes(file.fileName(), QByteArray::number(ended) + contents.mid(contents.indexOf('\n')));
    EXPECT_TRUE(second.tryAcquire());
}

} // namespace
