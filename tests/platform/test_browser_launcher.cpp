// --launch-browser against stand-in browsers: small scripts that behave like the browsers do
// with DevTools on a pipe (answer on it, refuse it on the default profile, ignore it silently,
// start slowly, die at once), started through the real holder.
#include "platform/linux/BrowserLauncher.h"
#include "platform/pipe/HolderSockets.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using platform::BrowserLauncher;

namespace {

// Shell fragments: $PROFILE is the folder the stand-in writes to (its --user-data-dir, else
// its default profile), $LOG its record of arguments and process ids. "answer" reads the first
// request from the pipe (descriptor 3) and answers it (descriptor 4).
const char* const Answers = "answer; exec sleep 30";
const char* const RefusesDefault =
    R"(if [ -z "$DEDICATED" ]; then echo 'DevTools remote debugging requires a non-default data directory.' >&2; exec sleep 30; fi
answer; exec sleep 30)";
const char* const IgnoresDefault = R"(if [ -z "$DEDICATED" ]; then exec sleep 30; fi
answer; exec sleep 30)";
// Busy starting for about three seconds, then answering: slow, not refusing.
const char* const StartsSlowly =
    "end=$((SECONDS + 3)); while ((SECONDS < end)); do :; done; answer; exec sleep 30";
const char* const DiesAtOnce = "exit 1";

class BrowserLauncherTest : public testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(u"config"_s).toLocal8Bit());
        qputenv("XDG_DATA_HOME", m_dir.filePath(u"data"_s).toLocal8Bit());
        m_launcher.setHolderProgram(qEnvironmentVariable("ZOR_RUNTIME_DIR") + u"/ZORBrakkonHolder"_s);
    }
    void TearDown() override {
        for (qint64 pid : launchedPids())
            ::kill(static_cast<pid_t>(pid), SIGKILL);
    }

    QString defaultProfile() const { return m_dir.filePath(u"config/google-chrome"_s); }
    QString log() const { return m_dir.filePath(u"launches.log"_s); }

    // A stand-in "google-chrome" that runs the given behaviour.
    QString standIn(const char* behaviour) {
        const QString path = m_dir.filePath(u"bin/google-chrome"_s);
        writeBytes(
            path,
            QByteArray("#!/bin/bash\nLOG='") + log().toLocal8Bit() + "'\nPROFILE='" +
                defaultProfile().toLocal8Bit() +
                "'\nDEDICATED=\nfor a in \"$@\"; do case \"$a\" in --user-data-dir=*) "
                "PROFILE=\"${a#--user-data-dir=}\"; DEDICATED=1;; esac; done\n"
                "echo \"$$ $*\" >> \"$LOG\"\nmkdir -p \"$PROFILE\"\nln -s \"$HOSTNAME-$$\" "
                "\"$PROFILE/SingletonLock\"\n"
                "answer() { IFS= read -r -d '' request <&3; id=${request#*\\\"id\\\":}; id=${id%%[,\\}]*}; "
                "printf '{\"id\":%s,\"result\":{\"product\":\"StandIn/1\"}}\\0' \"$id\" >&4; }\n" +
                behaviour + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    QStringList launches() const {
        QFile file(log());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    QList<qint64> launchedPids() const {
        QList<qint64> pids;
        for (const QString& line : launches())
            pids << line.section(u' ', 0, 0).toLongLong();
        return pids;
    }

    QTemporaryDir m_dir;
    BrowserLauncher m_launcher;
};

struct StartCase {
    const char* name;
    const char* behaviour;
    int timeoutMs;
    bool dedicated; // the default profile refused the pipe: a profile of its own instead
};

class BrowserLauncherStart : public BrowserLauncherTest, public testing::WithParamInterface<StartCase> {};

// The user's own profile when it works; the pipe, never a port; the browser's own blocker off.
TEST_P(BrowserLauncherStart, TheDefaultProfileWhenItTakesThePipeElseOneOfItsOwn) {
    const StartCase& c = GetParam();
    m_launcher.setTimeoutMs(c.timeoutMs);
    const auto result = m_launcher.launch(standIn(c.behaviour));
    const QString profile =
        c.dedicated ? m_dir.filePath(u"data/ZOR Brakkon/browser-profiles/google-chrome"_s) : defaultProfile();
    EXPECT_EQ(std::tuple(result.usedDedicatedProfile, result.profileDir), std::tuple(c.dedicated, profile));
    ASSERT_EQ(launches().size(), c.dedicated ? 2 : 1);
    EXPECT_EQ(result.pid, launchedPids().last());
    EXPECT_EQ(result.holderSocket, platform::pipe::HolderSockets::socketPathFor(result.pid))
        << result.message.toStdString();
    const QString own = u" --user-data-dir="_s + profile + u" --no-first-run --no-default-browser-check"_s;
    EXPECT_EQ(launches().last().section(u' ', 1).remove(u" --no-sandbox"_s),
              u"--remote-debugging-pipe --disable-popup-blocking"_s + (c.dedicated ? own : QString()));
    if (c.dedicated) {
        EXPECT_TRUE(result.message.contains(profile))
            << "the user is told where the browser now keeps its data";
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return ::kill(static_cast<pid_t>(launchedPids()[0]), 0) != 0; }, 3000))
            << "the window started on the default profile is ended";
    }
    // Found again through its holder at the next start, whichever profile it took; the holder
    // ending with its browser is the end-to-end launch test's check with a real browser.
    EXPECT_EQ(m_launcher.launch(standIn(c.behaviour)).holderSocket, result.holderSocket);
    EXPECT_EQ(launches().size(), c.dedicated ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserLauncherStart,
                         testing::Values(StartCase{"DefaultProfileAnswers", Answers, 15000, false},
                                         StartCase{"RefusesAndSaysSo", RefusesDefault, 15000, true},
                                         StartCase{"RefusesSayingNothing", IgnoresDefault, 800, true},
                                         StartCase{"StillStartingPastTheWait", StartsSlowly, 1500, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The default profile's lock names a browser: this test process (alive) or an ended one.
struct HeldCase {
    const char* name;
    qint64 holder; // 0: this process
    QByteArray portFile;
    const char* endpoint;
    const char* message; // in the result's message
    int launches;
};

class BrowserLauncherHeld : public BrowserLauncherTest, public testing::WithParamInterface<HeldCase> {};

TEST_P(BrowserLauncherHeld, ARunningBrowserIsNeverStartedAgain) {
    const HeldCase& c = GetParam();
    QDir().mkpath(defaultProfile());
    QFile::link(u"%1-%2"_s.arg(QSysInfo::machineHostName()).arg(c.holder ? c.holder : ::getpid()),
                defaultProfile() + u"/SingletonLock"_s);
    if (!c.portFile.isEmpty())
        writeBytes(defaultProfile() + u"/DevToolsActivePort"_s, c.portFile);
    const auto result = m_launcher.launch(standIn(Answers));
    EXPECT_EQ(result.endpoint, QString::fromLatin1(c.endpoint));
    EXPECT_TRUE(result.message.contains(QString::fromLatin1(c.message))) << result.message.toStdString();
    EXPECT_EQ(result.watchable(), c.launches > 0 || *c.endpoint);
    EXPECT_EQ(launches().size(), c.launches);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Profiles, BrowserLauncherHeld, testing::Values(
    HeldCase{"RunningWithoutAPortLearnsTheFix", 0, {}, "", "--remote-debugging-port", 0},
    HeldCase{"RunningWithAPortIsWatchedAsItIs", 0, "9333\n/devtools/browser/running\n",
             "ws://127.0.0.1:9333/devtools/browser/running", "", 0},
    HeldCase{"LockOfAnEndedBrowserIsNoObstacle", 999999, {}, "", "", 1}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(BrowserLauncherTest, FailuresAreReportedWithNothingToWatch) {
    const auto dies = m_launcher.launch(standIn(DiesAtOnce));
    EXPECT_FALSE(dies.watchable());
    EXPECT_TRUE(dies.message.contains(u"ended before"_s)) << dies.message.toStdString();

    const auto missing = m_launcher.launch(u"no-such-browser-anywhere"_s);
    EXPECT_FALSE(missing.watchable());
    EXPECT_TRUE(missing.message.contains(u"not found"_s)) << missing.message.toStdString();
}

} // namespace
