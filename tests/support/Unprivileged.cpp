#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), QStringLiteral("/tmp"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(QStringLiteral("/tmp"));
    process.start(QStringLiteral("setpriv"),
                  {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                   QStringLiteral("--clear-groups"), QStringLiteral("--"), copy,
                   QStringLiteral("--gtest_filter=") + filter});
    const bool finished = process.waitForFinished(120000);
    const QByteArray output = process.readAll();
    EXPECT_TRUE(finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        << "the run as nobody failed:\n"
        << output.constData();
    return false;
}

} // namespace Unprivileged
