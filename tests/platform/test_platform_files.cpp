// The files the program keeps in the desktop's places or reads from a browser's profile: its
// settings, its autostart entry, and a browser's DevToolsActivePort.
#include "platform/cdp/DevToolsBrowser.h"
#include "platform/cdp/Endpoint.h"
#include "platform/common/IniSettingsStore.h"
#include "platform/linux/AutostartEntry.h"
#include "support/DesktopProcess.h"
#include "support/FileSizeLimit.h"
#include "support/TestFiles.h"
#include "support/Unprivileged.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using platform::cdp::BrowserSource;
using platform::cdp::DevToolsBrowser;
using platform::cdp::Endpoint;

namespace {

// Every table's rows are named in a failure by their name.
template <typename Row>
requires requires(Row row) {
    row.name;
}
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

const QString App = q("ZOR Brakkon");

QString path() {
    return platform::IniSettingsStore::filePath(App);
}

class SettingsStore : public testing::Test {
protected:
    void SetUp() override { QDir(QFileInfo(path()).absolutePath()).removeRecursively(); }
    QString get(const QString& key, const char* section = "General") {
        return store.GetSetting(App, q(section), key, q("<default>"));
    }
    bool save(const char* key, const QString& value, const char* section = "General") {
        return store.SaveSetting(App, q(section), q(key), value);
    }
    platform::IniSettingsStore store;
};

// A hand-edited file: what each line means for Kill and KillMode, and whether the file counts as
// damaged (set aside as .damaged before the first rewrite).
struct HandEdited {
    const char* name;
    QByteArray bytes;
    const char* kill;
    const char* killMode;
    bool damaged;
};

class HandEditedSettings : public SettingsStore, public testing::WithParamInterface<HandEdited> {};

TEST_P(HandEditedSettings, KeepEveryReadableSettingThroughARewrite) {
    const HandEdited& c = GetParam();
    const QByteArray original = c.bytes + "\n[Other]\nFutureKey=kept\n";
    writeBytes(path(), original);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(get(q("Kill")), q(c.kill)) << "round " << round;
        EXPECT_EQ(get(q("KillMode")), q(c.killMode)) << "round " << round;
        EXPECT_EQ(get(q("FutureKey"), "Other"), q("kept"));
        ASSERT_TRUE(save("Sound", QString::number(round)));
        EXPECT_EQ(readBytes(path() + q(".damaged")), c.damaged ? original : QByteArray("<unreadable>"))
            << "a sound rewrite is never set aside again";
        EXPECT_EQ(get(q("Sound")), QString::number(round));
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, HandEditedSettings, testing::Values(
    HandEdited{"a line without '='", "[General]\nKill=0\njust some words\nKillMode=2", "0", "2", true},
    HandEdited{"NUL bytes", QByteArray("[General]\nKill=0\nSound=\0\0\nKillMode=2", 36), "0", "2", true},
    HandEdited{"invalid UTF-8", "[General]\nKill=0\nSound=\xFF\xFE\xC0\xAF\nKillMode=2", "0", "2", true},
    HandEdited{"a key with no name", "[General]\nKill=0\n=1\nKillMode=2", "0", "2", true},
    HandEdited{"a broken section header", "[General]\nKill=0\n[General\nKillMode=3", "0", "<default>", true},
    HandEdited{"keys before any section", "Kill=0\n[General]\nKillMode=2", "<default>", "2", true},
    HandEdited{"duplicate keys in any case: the first", "[General]\nkillmode=1\nKill=0\nKILLMODE=2", "0", "1", false}));
// clang-format on

TEST_F(SettingsStore, AnyTextSurvivesARoundTripAndSectionsAndKeysIgnoreCase) {
    const QString texts[] = {q("  blanks at both ends  "), q("line\nbreak\rand\ttab"), q("back\\slash \\n"),
                             q("\"quoted\""), q("ünïcödé ✓"), q("a=b;c#d[e]"), QString(10000, u'v'),
                             // White space other than blanks at the ends: trimmed away once.
                             q("\vvertical tabs\v"), q("\u00A0no-break spaces\u00A0"),
                             q("line separator\u2028"), QString()};
    EXPECT_EQ(get(q("k0")), q("<default>"));
    EXPECT_FALSE(QFile::exists(path())) << "reading must not create the file";
    for (int i = 0; i < int(std::size(texts)); ++i)
        ASSERT_TRUE(store.SaveSetting(App, i % 2 ? q("general") : q("GENERAL"), q("k%1").arg(i), texts[i]));
    platform::IniSettingsStore fresh;
    for (int i = 0; i < int(std::size(texts)); ++i)
        EXPECT_EQ(fresh.GetSetting(App, q("General"), q("K%1").arg(i), q("<none>")), texts[i]);
    EXPECT_EQ(QString::fromUtf8(readBytes(path())).count(q("[general]"), Qt::CaseInsensitive), 1)
        << readBytes(path()).constData();
}

TEST_F(SettingsStore, AFullDiskAnUnreadableFileOrAReadOnlyFolderFailsTheWriteAndKeepsTheFile) {
    const QByteArray original = "[General]\nKill=0\nTotalWindowsKilled=500\n";
    const QString folder = QFileInfo(path()).absolutePath();
    writeBytes(path(), original);
    {
        FileSizeLimit full(static_cast<rlim_t>(original.size()));
        EXPECT_FALSE(save("LanguageFile", QString(4096, u'x')));
    }
    EXPECT_EQ(readBytes(path()), original);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{q("settings.ini")});
    if (!Unprivileged::runHere()) // as root: the whole test has just run again as nobody
        return;
    QFile::setPermissions(path(), QFileDevice::WriteOwner);
    EXPECT_EQ(get(q("Kill")), q("<default>"));
    EXPECT_FALSE(save("Sound", q("1")));
    QFile::setPermissions(path(), QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    EXPECT_EQ(readBytes(path()), original);

    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(save("Kill", q("1")));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(get(q("Kill")), q("0"));
}

// A folder name that a shell or a careless launcher would take apart, and whether GLib's
// launcher can load such an entry at all (it looks for the program before it turns "%%" back
// into "%", so it refuses those: a refusal, never another program run).
struct Folder {
    const char* name;
    bool glibLoads;
};

class AutostartLaunch : public testing::TestWithParam<Folder> {};

// The entry is valid and reads back as the path alone; run, the program is a script that writes
// down how it was called.
TEST_P(AutostartLaunch, RunsExactlyTheProgramInThatFolderWithNoArguments) {
    QTemporaryDir root;
    const QString folder = root.filePath(QString::fromUtf8(GetParam().name));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + q("/ZORBrakkon");
    const QString record = root.filePath(q("called"));
    writeBytes(program, "#!/bin/sh\nprintf '%s\\n%s\\n' \"$0\" \"$#\" > '" + record.toUtf8() + "'\n");
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(platform::AutostartEntry::write(q("ZORBrakkon"), program));
    EXPECT_EQ(platform::AutostartEntry::read(q("ZORBrakkon")), program);
    QString said;
    EXPECT_EQ(
        runProgram(q("desktop-file-validate"), {platform::AutostartEntry::pathFor(q("ZORBrakkon"))}, &said),
        0)
        << qPrintable(said);
    const QString gio = QStandardPaths::findExecutable(q("gio"));
    if (gio.isEmpty())
        GTEST_SKIP() << "gio (libglib2.0-bin) is not installed";

    QProcess launch;
    launch.setProcessChannelMode(QProcess::MergedChannels);
    launch.setWorkingDirectory(root.path()); // where a command slipped out of the name would leave "ran"
    launch.start(gio, {q("launch"), platform::AutostartEntry::pathFor(q("ZORBrakkon"))});
    ASSERT_TRUE(launch.waitForFinished(30000));
    said = QString::fromUtf8(launch.readAll());
    if (!GetParam().glibLoads) {
        EXPECT_NE(launch.exitCode(), 0) << qPrintable(said);
        QThread::msleep(300);
        EXPECT_FALSE(QFile::exists(record)) << "something ran";
        return;
    }
    ASSERT_EQ(launch.exitCode(), 0) << qPrintable(said);
    const QByteArray expected = (program + q("\n0\n")).toUtf8();
    EXPECT_TRUE(waitUntil([&] { return readBytes(record) == expected; }, 5000))
        << readBytes(record).constData();
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2)
        << "nothing but the folder and the record was made";
}

TEST(AutostartEntry, AnEntryThatDoesNotFitOnTheDiskKeepsTheOldOne) {
    ASSERT_TRUE(platform::AutostartEntry::write(q("ZORBrakkon"), q("/old/ZORBrakkon")));
    {
        FileSizeLimit full(64);
        EXPECT_FALSE(platform::AutostartEntry::write(q("ZORBrakkon"), q("/new/ZORBrakkon")));
    }
    EXPECT_EQ(platform::AutostartEntry::read(q("ZORBrakkon")), q("/old/ZORBrakkon"));
    EXPECT_EQ(QDir(platform::AutostartEntry::folder()).entryList(QDir::Files),
              QStringList{q("ZORBrakkon.desktop")});
}

INSTANTIATE_TEST_SUITE_P(Table, AutostartLaunch,
                         testing::Values(Folder{"My Programs/ZOR Brakkon", true},
                                         Folder{"say \"hi\" and 'bye'", true},
                                         Folder{"$HOME and ${HOME} and $(touch ran)", true},
                                         Folder{"`touch ran` and back\\slash", true},
                                         Folder{"a;b&c|d>e<f*?#~=()\ttab", true}, Folder{"ünïcödé ✓", true},
                                         Folder{"100% sure %f %u %%", false}));

struct PortFile {
    const char* name;
    QByteArray bytes;
    const char* url; // nullptr: refused
};

class ActivePortText : public testing::TestWithParam<PortFile> {};

TEST_P(ActivePortText, NamesOnlyALoopbackBrowserSocket) {
    const auto endpoint = Endpoint::fromActivePort(GetParam().bytes);
    if (!GetParam().url) {
        EXPECT_FALSE(endpoint.has_value()) << qPrintable(endpoint->webSocketUrl.toString());
        return;
    }
    ASSERT_TRUE(endpoint.has_value());
    EXPECT_EQ(endpoint->webSocketUrl.toString(), QString::fromLatin1(GetParam().url));
    EXPECT_EQ(endpoint->port, endpoint->webSocketUrl.port());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ActivePortText,
    testing::Values(
        PortFile{"as a browser writes it", "9222\n/devtools/browser/4b0c-9e1f",
                 "ws://127.0.0.1:9222/devtools/browser/4b0c-9e1f"},
        PortFile{"line ends of any kind", "9222\r\n/devtools/browser/ab\r\n",
                 "ws://127.0.0.1:9222/devtools/browser/ab"},
        PortFile{"a host before the port", "10.0.0.1:9222\n/devtools/browser/ab", nullptr},
        PortFile{"port 0", "0\n/devtools/browser/ab", nullptr},
        PortFile{"port above 65535", "65536\n/devtools/browser/ab", nullptr},
        PortFile{"a huge port that wraps to a small one", "4294976518\n/devtools/browser/ab", nullptr},
        PortFile{"a signed port", "+9222\n/devtools/browser/ab", nullptr},
        PortFile{"user info smuggled into the path", "9222\n/devtools/browser/x@evil.example:80", nullptr},
        PortFile{"a page, not the browser", "9222\n/devtools/page/ab", nullptr},
        PortFile{"no id", "9222\n/devtools/browser/", nullptr},
        PortFile{"a third line", "9222\n/devtools/browser/ab\nws://10.0.0.1:1/", nullptr},
        PortFile{"empty", "", nullptr},
        PortFile{"far larger than such a file", "9222\n/devtools/browser/" + QByteArray(4096, 'a'),
                 nullptr}));

QStringList g_warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg)
        g_warnings << text;
}

// A listening socket stands for the browser: what matters is whether anything connects to it.
TEST(ActivePortFile, AFileNamingAnythingElseIsToldOnceAndNeverConnected) {
    QTcpServer browser;
    ASSERT_TRUE(browser.listen(QHostAddress::LocalHost));
    const QByteArray port = QByteArray::number(browser.serverPort());
    QTemporaryDir profile;
    BrowserSource source;
    source.kind = BrowserSource::Kind::ActivePortFile;
    source.file = profile.filePath(q("DevToolsActivePort"));
    ASSERT_TRUE(QFile::link(q("/dev/zero"), source.file));
    EXPECT_FALSE(Endpoint::fromActivePortFile(source.file).has_value())
        << "an endless file is read only so far";
    QFile::remove(source.file);
    writeBytes(source.file, port + "\n");

    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    DevToolsBrowser client(source, {});
    client.start();
    // A file of one line may be one the browser is still writing: no warning for that.
    EXPECT_FALSE(waitUntil([&] { return browser.hasPendingConnections(); }, 1500));
    EXPECT_TRUE(g_warnings.isEmpty()) << qPrintable(g_warnings.join(u'\n'));
    writeBytes(source.file, port + "\n/devtools/browser/x@127.0.0.2:" + port);
    // Long enough for two more attempts at one a second.
    EXPECT_FALSE(waitUntil([&] { return browser.hasPendingConnections(); }, 2500));
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_warnings.filter(q("does not name a loopback DevTools endpoint")).size(), 1)
        << qPrintable(g_warnings.join(u'\n'));

    // The same reader takes a sound file at the next attempt: the refusal was the file's doing.
    writeBytes(source.file, port + "\n/devtools/browser/ab-12");
    EXPECT_TRUE(waitUntil([&] { return browser.hasPendingConnections(); }, 5000));
    client.shutdown();
}

} // namespace
