#include "e2e/ProgramTest.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// The whole-program fixture's copy of the program in a folder of its own, its lists beside it,
// started here hidden in the tray with this process's own folders, so that its exit status can be
// read; run directly or under a wrapper (strace) given as the first words of the command.
class ProgramFiles : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_TRUE(program.failure().isEmpty()) << qPrintable(program.failure());
        settings = qEnvironmentVariable("XDG_CONFIG_HOME") + u"/ZOR Brakkon/settings.ini"_s;
        writeBytes(settings, "[General]\nFirstRun=0\nKill=1\n");
    }
    QString file(const char* name) const { return program.appDir() + QString::fromUtf8(name); }

    bool startResident(const QStringList& wrapper = {}, const QStringList& arguments = {},
                       const QStringList& environment = {}) {
        wrapped = !wrapper.isEmpty();
        QStringList command = wrapper;
        command << file("ZORBrakkon") << u"--verbose"_s << arguments;
        process.start(command.takeFirst(), command, environment);
        return waitUntil([&] { return process.output().contains(u"icon added to the tray host"_s); }, 30000);
    }
    bool endsNormally(int milliseconds) {
        return process.waitForExit(milliseconds) && process.exitCode() == 0;
    }
    // The program itself, also when it runs under a wrapper.
    void signal(int number) {
        pid_t pid = pid_t(process.pid());
        if (wrapped) {
            const QByteArray children = readBytes(u"/proc/%1/task/%1/children"_s.arg(pid)).trimmed();
            pid = pid_t(children.split(' ').value(0).toLongLong());
        }
        if (pid > 0)
            ::kill(pid, number);
    }

    QString settings;
    DesktopProcess process;
    bool wrapped = false;
};

QByteArray listOf(int count, const char* stem) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += QByteArray(180, 'w') + stem + QByteArray::number(i) + ".q\r";
    return bytes;
}

TEST_F(ProgramFiles, MoreSignalsDuringTheSaveLeaveCompleteFilesAndOneOrderlyEnd) {
    // Full lists take a while to write; CR-only line ends show that they were written anew.
    const QByteArray denied = listOf(32767, "deny");
    const QByteArray accepted = listOf(32767, "accept");
    writeBytes(file("deny_domains.txt"), denied);
    writeBytes(file("accept_domains.txt"), accepted);
    writeBytes(settings, "[General]\nFirstRun=0\nTotalWindowsKilled=7\n");
    ASSERT_TRUE(startResident()) << qPrintable(process.output());
    // One watcher takes all three signals: each of them reaches it once here.
    signal(SIGINT);
    signal(SIGHUP);
    for (int i = 0; i < 10; ++i) {
        QThread::msleep(10);
        signal(i % 2 ? SIGHUP : SIGTERM);
    }
    EXPECT_TRUE(endsNormally(30000)) << qPrintable(process.output());
    for (const auto& [name, list] :
         {std::pair{"deny_domains.txt", denied}, std::pair{"accept_domains.txt", accepted}})
        EXPECT_TRUE(readBytes(file(name)) == QByteArray(list).replace("\r", "\r\n"))
            << name << " not saved whole";
    const QString saved = QString::fromUtf8(readBytes(settings));
    EXPECT_TRUE(saved.contains(u"TotalWindowsKilled=7"_s)) << qPrintable(saved);
    EXPECT_TRUE(saved.contains(u"KillMode=0"_s)) << qPrintable(saved);
    // The program, its holder's link and the two lists: no half-written files left.
    EXPECT_EQ(QDir(program.appDir()).entryList(QDir::Files).size(), 4);
    EXPECT_EQ(QDir(QFileInfo(settings).absolutePath()).entryList(QDir::Files),
              QStringList{u"settings.ini"_s});
}

// Without a logout asking it first (startx, an X server that crashed) the program learns of the
// end only as its display goes away; what it keeps is saved all the same.
TEST_F(ProgramFiles, ADisplayThatGoesAwayStillLeavesTheSettingsAndListsSaved) {
    writeBytes(file("deny_domains.txt"), "a.q\rb.q\r");
    DesktopProcess display, trayHost;
    ASSERT_TRUE(display.start(u"Xvfb"_s, u"-displayfd 1 -nolisten tcp"_s.split(u' ')));
    const QString number = display.awaitOutput(QRegularExpression(u"(?m)^(\\d+)$"_s), 15000).captured(1);
    ASSERT_FALSE(number.isEmpty()) << qPrintable(display.output());
    const QStringList environment{u"DISPLAY=:"_s + number};
    ASSERT_TRUE(trayHost.start(u"trayer"_s, {}, environment));
    ASSERT_TRUE(startResident({}, {}, environment)) << qPrintable(process.output());
    display.stop();
    EXPECT_TRUE(process.waitForExit(30000));
    EXPECT_EQ(readBytes(file("deny_domains.txt")), QByteArray("a.q\r\nb.q\r\n"))
        << qPrintable(process.output());
    EXPECT_TRUE(readBytes(settings).contains("KillMode=0"));
}

// Installed into a prefix of its own rather than the package's /usr: nothing lands outside it,
// everything is on the install manifest (so it can be removed again), and Firefox support is
// set up from there.
TEST(PrivatePrefix, KeepsEveryFileInsideAndOnTheManifestAndSetsUpFirefoxFromThere) {
    QTemporaryDir root;
    const QString prefix = root.filePath(u"prefix"_s);
    const QString build = qEnvironmentVariable("ZOR_RUNTIME_DIR") + u"/.."_s;
    QString output;
    ASSERT_EQ(runProgram(u"cmake"_s, {u"--install"_s, build, u"--prefix"_s, prefix}, &output, 60000), 0)
        << qPrintable(output);
    QStringList listed = QString::fromUtf8(readBytes(build + u"/install_manifest.txt"_s)).split(u'\n');
    listed.removeAll(QString());
    QStringList found;
    for (QDirIterator it(prefix, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        found << it.next();
    listed.sort();
    found.sort();
    EXPECT_EQ(listed, found);
    ASSERT_EQ(runProgram(u"env"_s,
                         {u"HOME="_s + root.filePath(u"home"_s), prefix + u"/bin/zorbrakkon"_s,
                          u"--install-firefox-support"_s},
                         &output),
              0)
        << qPrintable(output);
    EXPECT_TRUE(output.contains(prefix + u"/share/mozilla/extensions/"_s)) << qPrintable(output);
}

// Started where there is no display to show in (a terminal, ssh): a sentence, not an abort.
TEST(NoDisplay, AStartSaysWhyItCannotRunAndEndsWithoutACrash) {
    for (const QString& display : {QString(), u":99999"_s}) {
        QString output;
        EXPECT_EQ(
            runProgram(u"env"_s,
                       {u"-u"_s, u"WAYLAND_DISPLAY"_s, u"-u"_s, u"QT_QPA_PLATFORM"_s, u"DISPLAY="_s + display,
                        qEnvironmentVariable("ZOR_RUNTIME_DIR") + u"/ZORBrakkon"_s},
                       &output),
            1)
            << qPrintable(output);
        EXPECT_TRUE(output.startsWith(u"ZOR Brakkon cannot start: "_s)) << qPrintable(output);
    }
}

// What a damaged file keeps and how the settings fall back are the list and settings tests'; here:
// the whole program starts with such files, says why it ignored part of them and leaves them be.
// A browser asked for that cannot be started is told in a message box titled with the program's
// name, at the start and from a second start, which is otherwise refused with such a box.
TEST_F(ProgramFiles, DamagedListsAreReportedAndKeptAndASecondStartIsRefused) {
    const QByteArray tooMany = listOf(32768, "d");
    QByteArray hugeLine(100 * 1024 * 1024, 'x');
    hugeLine.prepend("a.q\r\n");
    writeBytes(file("deny_domains.txt"), tooMany);
    writeBytes(file("accept_domains.txt"), hugeLine);
    const QStringList noBrowser{u"--launch-browser"_s, u"no-such-browser"_s};
    // Presses Return in every box of the program's until `answered`, told how many were open,
    // holds: a key that comes before a box is ready is lost.
    const auto answerBoxes = [](const std::function<bool(qsizetype)>& answered) {
        return waitUntil(
            [&] {
                QString found;
                runProgram(u"xdotool"_s, u"search --onlyvisible --name ^ZOR.Brakkon$"_s.split(u' '), &found);
                const QStringList boxes = found.split(u'\n', Qt::SkipEmptyParts);
                for (const QString& box : boxes)
                    runProgram(u"xdotool"_s, {u"key"_s, u"--window"_s, box, u"Return"_s});
                // A box that closes on the press leaves the release nowhere to go: the key would
                // stay down and close the next box as it opens.
                runProgram(u"xdotool"_s, {u"keyup"_s, u"Return"_s});
                return answered(boxes.size());
            },
            15000);
    };
    // Within the start-up wait: these files do not stall the start (the figure is in bench/).
    ASSERT_TRUE(startResident({}, noBrowser)) << qPrintable(process.output());
    bool seen = false; // the box, then its end
    ASSERT_TRUE(answerBoxes([&](qsizetype open) {
        const bool gone = seen && open == 0;
        seen = seen || open > 0;
        return gone;
    })) << qPrintable(process.output());

    for (const QStringList& arguments : {QStringList(), noBrowser}) {
        DesktopProcess second;
        ASSERT_TRUE(second.start(file("ZORBrakkon"), arguments));
        ASSERT_TRUE(answerBoxes([&](qsizetype) { return !second.running(); })) << qPrintable(second.output());
        EXPECT_EQ(second.exitCode(), 1);
        EXPECT_TRUE(second.output().contains(arguments.isEmpty() ? u"another instance is running"_s
                                                                 : u"\"no-such-browser\" not found"_s))
            << qPrintable(second.output());
    }
    EXPECT_TRUE(process.running());

    signal(SIGTERM);
    EXPECT_TRUE(endsNormally(30000)) << qPrintable(process.output());
    EXPECT_TRUE(process.output().contains(u"holds more than 32767 entries"_s))
        << qPrintable(process.output());
    EXPECT_TRUE(process.output().contains(u"over-long lines"_s)) << qPrintable(process.output());
    EXPECT_TRUE(readBytes(file("deny_domains.txt")) == tooMany) << "the unchanged list file was rewritten";
    EXPECT_TRUE(readBytes(file("accept_domains.txt")) == hugeLine) << "the unchanged list file was rewritten";
}

// Every path the program opened for writing, created, renamed, removed or connected to, as
// strace reports it.
struct Traced {
    QStringList written;
    QStringList connected;
};

// Lines as "strace -y" writes them: an open shows the file it gave ("= 3</dir/file>"), other
// calls name their paths in quotes, each after its folder's descriptor ("AT_FDCWD</dir>, ").
Traced readTrace(const QString& path, const QString& cwd) {
    static const QRegularExpression open(uR"re(\b(?:open|openat|creat)\(.*= \d+<([^>]*)>)re"_s);
    static const QRegularExpression forWriting(u"O_WRONLY|O_RDWR|O_CREAT|\\bcreat\\("_s);
    static const QRegularExpression change(
        uR"(\b(?:mkdir|mkdirat|unlink|unlinkat|rename|renameat|renameat2|link|linkat|symlink|symlinkat|truncate)\(.*= 0$)"_s);
    static const QRegularExpression named(uR"re((?:\w+<([^>]*)>, )?"([^"]*)")re"_s);
    Traced traced;
    for (const QString& line : QString::fromUtf8(readBytes(path)).split(u'\n')) {
        if (const auto m = open.match(line); m.hasMatch()) {
            if (forWriting.match(line).hasMatch())
                traced.written << m.captured(1);
        } else if (change.match(line).hasMatch()) {
            QStringList paths;
            for (auto it = named.globalMatch(line); it.hasNext();) {
                const auto n = it.next();
                const QString name = n.captured(2);
                const QString dir = n.captured(1).isEmpty() ? cwd : n.captured(1);
                paths << (name.startsWith(u'/') ? name : dir + u'/' + name);
            }
            // A link's first path is what it points to, not something written.
            if (line.contains(u"link"_s) && !line.contains(u"unlink"_s))
                paths = paths.mid(paths.size() - 1);
            traced.written << paths;
        } else if (line.contains(u"connect("_s) && line.contains(u"AF_INET"_s)) {
            for (auto it = named.globalMatch(line); it.hasNext();)
                traced.connected << it.next().captured(2);
        }
    }
    return traced;
}

// The hot-key and the save at the end are the end-to-end runs' checks; here, what a run touches.
TEST_F(ProgramFiles, AWholeRunWritesOnlyItsOwnFoldersAndConnectsOnlyToLoopback) {
    const QString strace = QStandardPaths::findExecutable(u"strace"_s);
    if (strace.isEmpty() || QProcess::execute(strace, {u"-o"_s, u"/dev/null"_s, u"/bin/true"_s}) != 0)
        GTEST_SKIP() << "strace is missing or may not trace here";
    writeBytes(file("deny_domains.txt"), "ads.q\r\n");
    const QString trace = QDir(qEnvironmentVariable("HOME")).filePath(u"trace.txt"_s);
    ASSERT_TRUE(startResident(QStringList{strace, u"-f"_s, u"-qq"_s, u"-y"_s, u"-s"_s, u"4096"_s, u"-o"_s,
                                          trace, u"-e"_s, u"trace=%file,connect"_s},
                              {u"--browser"_s, u"9"_s}))
        << qPrintable(process.output());
    signal(SIGTERM);
    ASSERT_TRUE(endsNormally(30000)) << qPrintable(process.output());

    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME") + u"/ZOR Brakkon/"_s;
    const QString data = qEnvironmentVariable("XDG_DATA_HOME") + u"/ZOR Brakkon/"_s;
    const QStringList allowed = {program.appDir(), config, data,
                                 // The single-instance lock.
                                 qEnvironmentVariable("XDG_RUNTIME_DIR") + u"/ZOR Brakkon"_s,
                                 // The socket the Firefox relay reaches the program through.
                                 qEnvironmentVariable("XDG_RUNTIME_DIR") + u"/zor-brakkon/"_s,
                                 // Fontconfig may refresh its own cache for the user; never our data.
                                 qEnvironmentVariable("XDG_CACHE_HOME") + u"/fontconfig/"_s};
    const Traced traced = readTrace(trace, QDir::currentPath());
    // The trace is read right: it shows the settings and the lists being written, and the
    // attempts on the browser port given.
    EXPECT_FALSE(traced.written.filter(u"settings.ini"_s).isEmpty())
        << qPrintable(traced.written.join(u'\n'));
    EXPECT_FALSE(traced.written.filter(u"deny_domains.txt"_s).isEmpty());
    EXPECT_FALSE(traced.connected.isEmpty()) << "no connection to the browser port was seen";
    QStringList outside;
    for (const QString& path : traced.written) {
        const QString clean = QDir::cleanPath(path) + (QFileInfo(path).isDir() ? u"/"_s : QString());
        if (std::none_of(allowed.begin(), allowed.end(),
                         [&](const QString& root) { return clean.startsWith(root); }))
            outside << path;
    }
    EXPECT_TRUE(outside.isEmpty()) << qPrintable(outside.join(u'\n'));
    for (const QString& address : traced.connected)
        EXPECT_TRUE(address.contains(u"127.0.0.1"_s) || address.contains(u"::1"_s)) << qPrintable(address);
}

} // namespace
