#include "support/Unprivileged.h"

#include "support/DesktopProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace Unprivileged {

bool runHere() {
    if (geteuid() != 0)
        return true;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const QString filter =
        QString::fromUtf8(test->test_suite_name()) + QLatin1Char('.') + QString::fromUtf8(test->name());

    // The build folder may sit where nobody cannot reach it (under /root, say).
    QTemporaryDir place(QDir::tempPath() + QLatin1String("/zor-nobody-XXXXXX"));
    const QString copy = place.filePath(QStringLiteral("test"));
    QFile::setPermissions(place.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther);
    if (!QFile::copy(QStringLiteral("/proc/self/exe"), copy)) {
        ADD_FAILURE() << "cannot copy the test binary for the unprivileged run";
        return false;
    }
    QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                    QFileDevice::ExeOther);

    // From /tmp, with its temporary files there, where nobody may write.
    QString output;
    const QStringList command =
        QStringLiteral("-C /tmp TMPDIR=/tmp setpriv --reuid=nobody --regid=nogroup --clear-groups --")
            .split(u' ');
    const int code =
        runProgram(QStringLiteral("env"),
                   command + QStringList{copy, QStringLiteral("--gtest_filter=") + filter}, &output, 120000);
    EXPECT_EQ(code, 0) << "the run as nobody failed:\n" << qPrintable(output);
    return false;
}

} // namespace Unprivileged
