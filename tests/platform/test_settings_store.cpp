#include "platform/common/IniSettingsStore.h"
#include "support/FileSizeLimit.h"
#include "support/TestFiles.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

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

void PrintTo(const HandEdited& c, std::ostream* out) {
    *out << c.name;
}

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

} // namespace
