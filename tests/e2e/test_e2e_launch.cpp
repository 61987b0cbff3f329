// A browser the program starts itself (--launch-browser): it runs with DevTools on a pipe held
// by the program's holder, it outlives the program, and a program started again watches it
// again. The page is driven through the test's own server (the browser has no port a test
// client could use): it asks for a command every 50 ms, opens the popup it is told to, and
// reports when that popup has closed: the program closes a cancelled popup once its first
// request has been stopped, and waits up to 10 s for a navigation that a busy browser starts late.
#include "e2e/ProgramTest.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <csignal>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray OpenerPage = R"(<!DOCTYPE html><title>opener</title><script>
let done = '';
async function poll() {
  const command = await (await fetch('/command')).text();
  if (command.startsWith('open ') && command !== done) {
    done = command;
    const path = command.slice(5);
    // Told before the call, synchronously: a page that then stops polling is inside window.open.
    const entering = new XMLHttpRequest();
    entering.open('GET', '/opening?' + encodeURIComponent(path), false);
    entering.send();
    const popup = window.open(path);
    const check = () => {
      if (popup === null || popup.closed)
        fetch('/closed?' + encodeURIComponent(path));
      else
        setTimeout(check, 50);
    };
    check();
  }
  setTimeout(poll, 50);
}
poll();
</script>)";

// An ended process whose parent has not collected it yet counts as ended.
bool alive(qint64 pid) {
    const QByteArray state = processStat(pid).value(0);
    return !state.isEmpty() && state != "Z";
}

// The process that holds a browser's pipe (its name, as the kernel shortens it).
qint64 holderOf(qint64 browser) {
    const qint64 parent = processStat(browser).value(1).toLongLong();
    QFile name(u"/proc/%1/comm"_s.arg(parent));
    return parent > 1 && name.open(QIODevice::ReadOnly) && name.readAll().startsWith("ZORBrakkonHold")
               ? parent
               : 0;
}

class LaunchedBrowser : public ProgramTest {
protected:
    void TearDown() override {
        // Browsers outlive the program by design: end every one a holder of this test still
        // offers (also one started by mistake), and the holders with them.
        QList<qint64> pids{holderOf(m_browser), m_browser};
        const QDir holders(program.environmentRoot() + u"/runtime/ZOR Brakkon browsers"_s);
        for (const QString& name : holders.entryList(QDir::System)) {
            const qint64 browser = name.section(u'-', 1).toLongLong();
            pids << holderOf(browser) << browser;
        }
        for (qint64 pid : pids)
            if (alive(pid))
                ::kill(static_cast<pid_t>(pid), SIGKILL);
        // The holder's side of a failure: which clients it took, refused or lost.
        if (HasFailure())
            for (QDirIterator it(program.environmentRoot(), {u"*-launch.log"_s}, QDir::Files,
                                 QDirIterator::Subdirectories);
                 it.hasNext();) {
                QFile log(it.next());
                if (log.open(QIODevice::ReadOnly))
                    std::fprintf(stderr, "%s:\n%s\n", qPrintable(log.fileName()), log.readAll().constData());
            }
    }

    qint64 m_browser = 0;
};

TEST_F(LaunchedBrowser, OpensNoPortOutlivesTheProgramAndIsWatchedAgainAfterARestart) {
    server.setPage(u"/opener.html"_s, OpenerPage);
    ProgramUnderTest::Options options;
    options.killMode = 1; // every popup is cancelled
    // Headful: a headless browser takes a throwaway profile of its own, and a second start would
    // not find the first on the default one.
    options.arguments = {u"--launch-browser"_s,
                         program.chromiumScript(server.url(u"127.0.0.1"_s, u"/opener.html"_s))};
    ASSERT_TRUE(program.start(options, 40000)) << program.failure().toStdString();
    static const QRegularExpression held(u"the browser's pipe is held at (.+) \\(profile "_s);
    ASSERT_TRUE(waitUntil([&] { return program.output().contains(held); }, 20000)) << output();
    const QString socket = held.match(program.output()).captured(1);
    m_browser = QFileInfo(socket).fileName().section(u'-', 1).toLongLong();
    const qint64 holder = holderOf(m_browser);
    ASSERT_NE(holder, 0) << "the browser's parent is not its holder";
    // Watched once the program has set up the opener: "watching" comes before it asks for that. A
    // browser that starts with the program may take as long as the program to start on a busy machine.
    static const QRegularExpression listed(u"page [0-9A-F]+ listed"_s);
    ASSERT_TRUE(waitUntil([&] { return program.output().contains(listed); }, 40000)) << output();

    // Decided as before, over the pipe.
    server.setPage(u"/command"_s, "open /popup/first");
    EXPECT_TRUE(waitUntil([&] { return server.count(u"/closed?%2Fpopup%2Ffirst"_s) > 0; }, 25000))
        << output();

    // Only this user may reach the pipe through its holder. That the browser is started on the
    // pipe and never on a port is the launcher test's check of its whole command line.
    EXPECT_EQ(QFileInfo(socket).permissions() &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions());

    // A popup held while the program cannot answer, then the program killed: the browser stays,
    // and the program started again decides the popup, once.
    ASSERT_TRUE(signalProcess(program.pid(), SIGSTOP));
    server.setPage(u"/command"_s, "open /popup/held");
    ASSERT_TRUE(waitUntil([&] { return server.count(u"/opening?%2Fpopup%2Fheld"_s) > 0; }))
        << "the page did not ask for the popup";
    const auto frozen = [&] {
        const int polls = server.count(u"/command"_s);
        waitUntil([] { return false; }, 500);
        return server.count(u"/command"_s) == polls;
    };
    ASSERT_TRUE(waitUntil(frozen, 10000)) << "the page never froze: the popup was not held";
    ASSERT_TRUE(program.kill());
    waitUntil([] { return false; }, 1500); // the browser would be gone by now without its holder
    ASSERT_TRUE(alive(m_browser)) << "the browser ended with the program";
    ASSERT_EQ(server.count(u"/closed?%2Fpopup%2Fheld"_s), 0);
    const qsizetype before = program.output().size();
    ASSERT_TRUE(program.start(options, 40000)) << program.failure().toStdString();
    EXPECT_TRUE(waitUntil([&] { return server.count(u"/closed?%2Fpopup%2Fheld"_s) > 0; }, 30000)) << output();
    EXPECT_EQ(server.count(u"/popup/"_s), 0) << "a cancelled popup asked for its address";
    const QString afterRestart = program.output().mid(before);
    EXPECT_EQ(ProgramLog::cancels(afterRestart).session, 1) << afterRestart.toStdString();

    // The browser ending is a lost browser; the program goes on.
    const qsizetype beforeEnd = program.output().size();
    ::kill(static_cast<pid_t>(m_browser), SIGTERM);
    EXPECT_TRUE(
        waitUntil([&] { return program.output().mid(beforeEnd).contains(u"lost the browser"_s); }, 15000))
        << output();
    EXPECT_TRUE(waitUntil([&] { return !alive(holder) && !QFileInfo::exists(socket); }, 10000))
        << "the holder outlived its browser";
    EXPECT_TRUE(program.running());

    // Asked for again while the program runs: another start of the program starts the browser
    // and leaves it to the running one, which watches it as soon as its holder is there.
    server.setPage(u"/command"_s, "wait");
    const qsizetype beforeAgain = program.output().size();
    QString again;
    // The same browser on the same profile, at once: its end was told only once it had let go of it.
    ASSERT_EQ(program.startAgain({u"--launch-browser"_s, options.arguments.last()}, &again), 0)
        << again.toStdString();
    ASSERT_TRUE(waitUntil([&] { return program.output().mid(beforeAgain).contains(listed); }, 40000))
        << output();
    server.setPage(u"/command"_s, "open /popup/again");
    EXPECT_TRUE(waitUntil([&] { return server.count(u"/closed?%2Fpopup%2Fagain"_s) > 0; }, 25000))
        << output();
    EXPECT_EQ(server.count(u"/popup/"_s), 0) << "a cancelled popup asked for its address";
    EXPECT_EQ(ProgramLog::crashSigns(program.output()), QStringList());
    EXPECT_TRUE(program.terminate());
}

} // namespace
