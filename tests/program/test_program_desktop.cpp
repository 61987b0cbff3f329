#include "support/DesktopProcess.h"
#include "support/TrayHost.h"
#include "support/WaitUntil.h"
#include "support/XvfbSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const bool underXvfb = XvfbSession::startForProcess();

QString xdotoolOutput(const QStringList& arguments) {
    QString output;
    runProgram(QStringLiteral("xdotool"), arguments, &output);
    return output.trimmed();
}

// The program copied into a folder of its own (its lists live beside it), with its language
// and sound folders, and settings that start it hidden in the tray.
class Program : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(underXvfb);
        ASSERT_TRUE(tray.start());
        const QString built = qEnvironmentVariable("ZOR_RUNTIME_DIR");
        program = folder.filePath(QStringLiteral("ZORBrakkon"));
        ASSERT_TRUE(QFile::copy(built + QStringLiteral("/ZORBrakkon"), program));
        QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
        const QString source = qEnvironmentVariable("ZOR_SOURCE_DIR");
        QFile::link(source + QStringLiteral("/languages"), folder.filePath(QStringLiteral("languages")));
        QFile::link(source + QStringLiteral("/media"), folder.filePath(QStringLiteral("media")));
        settings = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/ZOR Brakkon/settings.ini");
        QDir().mkpath(QFileInfo(settings).absolutePath());
        WriteSettings("[General]\nFirstRun=0\nKill=1\n");
    }

    void WriteSettings(const QByteArray& text) {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    QString Settings() const {
        QFile file(settings);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // Started and sitting in the tray: the tray host has a client window for it.
    bool StartResident(DesktopProcess& process) {
        if (!process.start(program, {QStringLiteral("--verbose")}))
            return false;
        return waitUntil(
            [&] { return process.output().contains(QStringLiteral("icon added to the tray host")); }, 15000);
    }

    QTemporaryDir folder;
    TrayHost tray;
    QString program;
    QString settings;
};

TEST_F(Program, ASecondStartIsRefusedWithAMessageAndTheFirstRunsOn) {
    DesktopProcess first;
    ASSERT_TRUE(StartResident(first)) << qPrintable(first.output());
    DesktopProcess second;
    ASSERT_TRUE(second.start(program, {}));
    // The refusal is a message box titled with the program's name; answering it ends the second.
    QString box;
    ASSERT_TRUE(waitUntil(
        [&] {
            box = xdotoolOutput({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--name"), QStringLiteral("^ZOR Brakkon$")});
            return !box.isEmpty();
        },
        15000))
        << qPrintable(second.output());
    runProgram(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--window"),
                                           box.split(u'\n').first(), QStringLiteral("Return")});
    EXPECT_TRUE(second.waitForExit(10000));
    EXPECT_TRUE(second.output().contains(QStringLiteral("another instance is running")));
    EXPECT_TRUE(first.running());
}

TEST_F(Program, TerminationSignalsSaveEverythingLikeExit) {
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        WriteSettings("[General]\nFirstRun=0\nTotalWindowsKilled=7\nFutureKey=kept\n");
        QFile::remove(folder.filePath(QStringLiteral("deny_domains.txt")));
        DesktopProcess process;
        ASSERT_TRUE(StartResident(process)) << qPrintable(process.output());
        ASSERT_EQ(::kill(pid_t(process.pid()), signalNumber), 0);
        ASSERT_TRUE(process.waitForExit(10000)) << "signal " << signalNumber;
        const QString saved = Settings();
        EXPECT_TRUE(saved.contains(QStringLiteral("TotalWindowsKilled=7"))) << qPrintable(saved);
        EXPECT_TRUE(saved.contains(QStringLiteral("KillMode=0"))) << qPrintable(saved);
        EXPECT_TRUE(saved.contains(QStringLiteral("FutureKey=kept"))) << qPrintable(saved);
        EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("deny_domains.txt")))) << "lists saved";
    }
}

TEST_F(Program, TheHotKeyTogglesActiveWhileAnotherWindowHasTheFocus) {
    DesktopProcess process;
    ASSERT_TRUE(StartResident(process)) << qPrintable(process.output());
    ASSERT_TRUE(waitUntil(
        [&] { return process.output().contains(QStringLiteral("Ctrl + keypad * toggles")); }, 10000))
        << qPrintable(process.output());
    runProgram(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+KP_Multiply")});
    ASSERT_TRUE(
        waitUntil([&] { return process.output().contains(QStringLiteral("hot-key: blocking off")); }, 10000))
        << qPrintable(process.output());
    process.stop();
    ASSERT_TRUE(process.waitForExit(10000));
    EXPECT_TRUE(Settings().contains(QStringLiteral("Kill=0"))) << qPrintable(Settings());
}

} // namespace
