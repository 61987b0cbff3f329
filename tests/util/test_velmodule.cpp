#include "platform/Platform.h"
#include "platform/linux/AutostartEntry.h"
#include "sound/WavePlayback.h"
#include "support/DesktopFakes.h"
#include "support/TestFiles.h"
#include "util/VELModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace VELModule;

namespace {

TEST(PathParts, SplitAtTheLastSeparatorAndDot) {
    const struct {
        const char *input, *pathPart, *extWithDot, *extWithoutDot, *withoutExtension;
    } cases[] = {{"/media/ding.wav", "/media/", ".wav", "wav", "/media/ding"},
                 {"/media/", "/media/", "", "", ""},
                 {"ding.wav", "ding.wav", ".wav", "wav", "ding"},
                 {"", "", ".", "", ""},
                 // The dot belongs to a folder, not to the file name.
                 {"/x.y/readme", "/x.y/", "", "", "/x"},
                 {"wav", "wav", ".wav", "wav", ""},
                 {"a.b.ini", "a.b.ini", ".ini", "ini", "a.b"}};
    for (const auto& c : cases) {
        EXPECT_EQ(GetPathPart(q(c.input)), q(c.pathPart)) << c.input;
        EXPECT_EQ(GetExtension(q(c.input), true), q(c.extWithDot)) << c.input;
        EXPECT_EQ(GetExtension(q(c.input), false), q(c.extWithoutDot)) << c.input;
        EXPECT_EQ(RemoveExtension(q(c.input)), q(c.withoutExtension)) << c.input;
    }
}

// FolderExists makes the folder current, as a directory change would; FileExists is true for
// files only.
TEST(FolderAndFileExists, TellFoldersFromFilesAndOnlyAFoundFolderBecomesCurrent) {
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    writeBytes(dir.filePath(q("plain.txt")), {});
    const struct {
        QString path;
        bool folder, file;
    } cases[] = {{dir.path(), true, false},
                 {dir.filePath(q("plain.txt")), false, true},
                 {dir.filePath(q("missing")), false, false},
                 {dir.filePath(q("*.txt")), false, false},
                 {QString(), false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.path));
        EXPECT_EQ(FolderExists(c.path), c.folder);
        EXPECT_EQ(QDir::currentPath(), c.folder ? QDir(dir.path()).canonicalPath() : before);
        QDir::setCurrent(before);
        EXPECT_EQ(FileExists(c.path), c.file);
        QDir::setCurrent(before);
    }
}

TEST(FileList, ListsOrdinaryFilesMatchingWithoutRegardToCaseSortedByName) {
    QTemporaryDir dir;
    for (const char* name : {"b.ini", "A.INI", "c.Ini", "notes.txt", "README", ".hidden.ini", "x.ini.bak"})
        writeBytes(dir.filePath(q(name)), {});
    QFile::link(dir.filePath(q("b.ini")), dir.filePath(q("link.ini")));
    ASSERT_EQ(mkfifo(qPrintable(dir.filePath(q("pipe.ini"))), 0600), 0);
    EXPECT_EQ(GetFileList(dir.path(), q("*.ini")),
              (QStringList{q("A.INI"), q("b.ini"), q("c.Ini"), q("link.ini")}));
    EXPECT_EQ(GetFileList(dir.path() + q("/"), q("?.INI")),
              (QStringList{q("A.INI"), q("b.ini"), q("c.Ini")}));
    EXPECT_EQ(GetFileList(dir.path(), QString()),
              (QStringList{q("A.INI"), q("b.ini"), q("c.Ini"), q("link.ini"), q("notes.txt"), q("README"),
                           q("x.ini.bak")}))
        << "an empty pattern lists every ordinary file";
}

const QByteArray Sample = "; a comment line\r\n"
                          "[Other]\r\n"
                          "mnuExit=Not this one\r\n"
                          "[ Strings ]\r\n"
                          "mnuExit = Quit  \r\n"
                          "Quoted=\"  spaced  \"\r\n"
                          "Single='single'\r\n"
                          "Unmatched=\"half\r\n"
                          "Equals=a=b=c\r\n"
                          "mnuexit=second copy\r\n"
                          ";Commented=hidden\r\n"
                          "no equals sign here\r\n"
                          "Empty=\n"
                          "tab_caption=\" Status\"\r"
                          "[strings]\r\n"
                          "Late=from a second section of the same name\r\n";

TEST(ProfileRead, FollowsThePrivateProfileRules) {
    auto read = [](const QString& path, const char* section, const char* key,
                   const char* fallback = "<default>") {
        return ReadIniString(path, q(section), q(key), q(fallback));
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(q("lang.ini"));
    writeBytes(path, Sample);
    const struct {
        const char *name, *section, *key, *expected;
    } cases[] = {{"case-insensitive section and key, value trimmed", "STRINGS", "MNUEXIT", "Quit"},
                 {"matching quotes removed, inner blanks kept", "strings", "Quoted", "  spaced  "},
                 {"single quotes removed too", "strings", "Single", "single"},
                 {"unmatched quote kept", "strings", "Unmatched", "\"half"},
                 {"value after the first '='", "strings", "Equals", "a=b=c"},
                 {"comment lines are not keys", "strings", ";Commented", "<default>"},
                 {"a line without '=' is ignored", "strings", "no equals sign here", "<default>"},
                 {"empty value is a value", "strings", "Empty", ""},
                 {"LF and CR line ends", "strings", "tab_caption", " Status"},
                 {"only the first section of a name counts", "strings", "Late", "<default>"},
                 {"missing key", "strings", "nothing", "<default>"},
                 {"missing section", "nowhere", "mnuExit", "<default>"},
                 {"other section", "other", "mnuExit", "Not this one"}};
    for (const auto& c : cases)
        EXPECT_EQ(read(path, c.section, c.key), q(c.expected)) << c.name;
    // Language files written by hand or damaged: what can be read is, the default elsewhere.
    const std::pair<QByteArray, QString> damaged[] = {
        {"mnuExit=Early\n[strings]\n", q("<default>")}, // keys before any section do not count
        {"[strings]\nmnuExit=" + QByteArray(10000, 'x') + "\n", QString(2047, u'x')}, // the buffer's size
        {QByteArray("[strings]\nmsg03=\0\0\0\nmnuExit=Quit\n", 33), q("Quit")}, // NUL bytes on a line before
        {"[strings\nmnuExit=Quit\n", q("Quit")}, // a header never closed still names its section
        {QStringEncoder(QStringEncoder::Utf16LE,
                        QStringEncoder::Flag::WriteBom)(u"[strings]\nmnuExit=Quitté\n"),
         q("Quitté")}}; // saved by a Windows editor as "Unicode"
    for (const auto& [bytes, expected] : damaged) {
        writeBytes(path, bytes);
        EXPECT_EQ(read(path, "strings", "mnuExit"), expected) << bytes.left(30).constData();
    }
    // No file, or a folder in its place: the default unchanged.
    EXPECT_EQ(read(dir.filePath(q("missing.ini")), "strings", "x", "  as given  "), q("  as given  "));
    EXPECT_EQ(read(QString(), "strings", "x", "d"), q("d"));
    EXPECT_EQ(read(dir.path(), "strings", "x", "d"), q("d"));
}

const QString RunKey = q("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString OtherKey = q("Software\\ZOR\\Test");

// Each test starts from an empty configuration folder.
class Registry : public testing::Test {
protected:
    void SetUp() override {
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).removeRecursively();
        QDir().mkpath(qEnvironmentVariable("XDG_CONFIG_HOME"));
    }
    // The calls on the current user's hive, which is all the program uses.
    static std::int32_t set(const QString& key, const char* name, std::int32_t type, const QVariant& value) {
        return SetRegValue(platform::HKEY_CURRENT_USER, key, q(name), type, value);
    }
    static QString get(const QString& key, const char* name) {
        return GetRegValue(platform::HKEY_CURRENT_USER, key, q(name));
    }
    static std::int32_t remove(const QString& key, const char* name) {
        return DeleteRegValue(platform::HKEY_CURRENT_USER, key, q(name));
    }
};

// The Run key is matched without regard to case; its value is the autostart entry, whose
// quoting of awkward folder names is the platform tests' part.
TEST_F(Registry, TheRunValueRoundTripsThroughAnAutostartEntryThatDeletingRemoves) {
    const QString program = q("/home/me/My Programs/ZOR Brakkon/ZORBrakkon");
    ASSERT_EQ(set(q("software\\microsoft\\windows\\currentversion\\run\\"), "ZORBrakkon", 1, program), 0);
    const QString entry = platform::AutostartEntry::pathFor(q("ZORBrakkon"));
    ASSERT_EQ(entry, qEnvironmentVariable("XDG_CONFIG_HOME") + q("/autostart/ZORBrakkon.desktop"));
    EXPECT_EQ(get(RunKey, "ZORBrakkon"), program);
    EXPECT_EQ(remove(RunKey, "ZORBrakkon"), 0);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_NE(remove(RunKey, "ZORBrakkon"), 0) << "nothing left to delete";
}

TEST_F(Registry, ValuesAreKeptApartByKeyAndAFailedWriteReportsFailure) {
    ASSERT_EQ(set(OtherKey, "t", 1, q("text")), 0);
    ASSERT_EQ(set(OtherKey + q("\\Sub"), "t", 1, q("other")), 0);
    EXPECT_EQ(remove(OtherKey, "t"), 0);
    EXPECT_EQ(get(OtherKey, "t"), QString());
    EXPECT_EQ(get(OtherKey + q("\\Sub"), "t"), q("other"));
    // The autostart folder cannot be made: a file stands in its place.
    writeBytes(qEnvironmentVariable("XDG_CONFIG_HOME") + q("/autostart"), {});
    EXPECT_NE(set(RunKey, "ZORBrakkon", 1, q("/x/ZORBrakkon")), 0);
    EXPECT_EQ(get(RunKey, "ZORBrakkon"), QString());
}

// The file dialog and opening a document, through the desktop's services.
TEST(DesktopServices, TheFileDialogGetsFiltersFolderTitleAndFlagsAndOpeningReportsAboveThirtyTwoOnSuccess) {
    ScopedScriptedDialogs dialogs;
    dialogs->fileAnswers.push_back({true, q("  /media/ding.wav  "), 2});
    std::int32_t filterIndex = -1;
    const QString chosen = ShowFileDialog(q("*.wav|*.wav|All files|*.*"), nullptr, q("/media"), QString(),
                                          0x1000, false, &filterIndex, q("ding.wav"));
    EXPECT_EQ(chosen, q("/media/ding.wav"));
    EXPECT_EQ(filterIndex, 2);
    ASSERT_EQ(dialogs->fileRequests.size(), 1);
    const auto& request = dialogs->fileRequests.first();
    using Filters = QList<std::pair<QString, QString>>;
    // An empty title becomes the program's.
    EXPECT_EQ(std::tuple(request.filters, request.initialDir, request.title, request.flags, request.save),
              std::tuple(Filters{{q("*.wav"), q("*.wav")}, {q("All files"), q("*.*")}}, q("/media"),
                         q("ZOR Brakkon"), 0x1000, false));

    dialogs->fileAnswers.push_back({false, q("/ignored.wav"), 0});
    EXPECT_EQ(
        ShowFileDialog(q("*.wav|*.wav"), nullptr, q("/"), q("Pick"), 0, true, nullptr, QString(400, u'n')),
        QString())
        << "cancelled";
    const auto& second = dialogs->fileRequests.last();
    EXPECT_EQ(std::tuple(second.title, second.save, second.fileName.size()), std::tuple(q("Pick"), true, 254))
        << "long file names are cut";
    EXPECT_GT(ShellOpen(q("https://example.invalid/"), QString(), nullptr, QString()), 32);
    dialogs->shellOpenSucceeds = false;
    EXPECT_LE(ShellOpen(q("nowhere"), QString(), nullptr, QString()), 32);
}

// Playing a wave file through the player the desktop provides.
const QString Ding = q("/sounds/ding.wav");

class WavePlaybackTest : public testing::Test {
protected:
    void play() { PlayWave({}, QString(), Ding, false, false, false, true); }
    ScopedFakeWavePlayer player;
    ScopedScriptedDialogs dialogs;
};

// The program carries no sounds of its own: without a file name nothing plays, and nothing is said.
TEST_F(WavePlaybackTest, EveryFlagReachesThePlayerAsGivenAndNoFileNamePlaysNothing) {
    for (int bits = 0; bits < 16; ++bits) {
        player->playing = false;
        PlayWave({}, QString(), Ding, bits & 1, bits & 2, bits & 4, bits & 8);
        ASSERT_EQ(player->played.size(), bits + 1);
        const auto& [fileName, options] = player->played.last();
        EXPECT_EQ(fileName, Ding);
        EXPECT_EQ(options.wait | options.loop << 1 | options.noStop << 2 | options.noDefault << 3, bits);
    }
    PlayWave({}, QString(), QString(), false, false, false, true);
    PlayWave(QVariant(101), q("WAVE"), QString(), false, false, false, true);
    EXPECT_EQ(player->played.size(), 16);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

// A box inside the call would hold the popup being decided; a storm of cancels shows one box at
// a time; a sound output that appears later is used.
TEST_F(WavePlaybackTest, WithoutSoundOutputTheUserIsToldOnceAfterTheCallerHasReturned) {
    player->device = false;
    for (int popup = 0; popup < 20; ++popup)
        play();
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_TRUE(player->played.isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(dialogs->messages.first().prompt, q("Unable to init SOUND-DECVICE"));
    play(); // that box is closed: the next attempt warns again
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs->messages.size(), 2);
    player->device = true;
    play();
    QCoreApplication::processEvents();
    EXPECT_EQ(player->played.size(), 1);
    EXPECT_EQ(dialogs->messages.size(), 2);
}

} // namespace
