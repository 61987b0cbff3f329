#include "platform/common/IniSettingsStore.h"
#include "support/FileSizeLimit.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const QString App = QStringLiteral("ZOR Brakkon");

QString q(const char* text) {
    return QString::fromUtf8(text);
}

class SettingsFaults : public testing::Test {
protected:
    void SetUp() override { QDir(folder()).removeRecursively(); }
    static QString path() { return platform::IniSettingsStore::filePath(App); }
    static QString folder() { return QFileInfo(path()).absolutePath(); }
    QString get(const char* key) { return store.GetSetting(App, q("General"), q(key), q("<default>")); }
    platform::IniSettingsStore store;
};

// One bad line in a hand-edited file, between settings that are fine.
struct DamagedLine {
    const char* name;
    QByteArray line;
};

void PrintTo(const DamagedLine& c, std::ostream* out) {
    *out << c.name;
}

class DamagedSettings : public SettingsFaults, public testing::WithParamInterface<DamagedLine> {};

TEST_P(DamagedSettings, KeepEveryReadableSettingAndSetTheFileAsideBeforeARewrite) {
    const QByteArray original =
        "[General]\nKill=0\n" + GetParam().line + "\nKillMode=2\n[Other]\nFutureKey=kept\n";
    writeBytes(path(), original);
    EXPECT_EQ(get("Kill"), q("0"));
    EXPECT_EQ(get("KillMode"), q("2"));

    ASSERT_TRUE(store.SaveSetting(App, q("General"), q("Sound"), q("1")));
    EXPECT_EQ(readBytes(path() + q(".damaged")), original);
    EXPECT_EQ(get("Kill"), q("0"));
    EXPECT_EQ(get("KillMode"), q("2"));
    EXPECT_EQ(get("Sound"), q("1"));
    EXPECT_EQ(store.GetSetting(App, q("Other"), q("FutureKey"), QString()), q("kept"));

    // What was written is a sound file: the next save does not set it aside again.
    ASSERT_TRUE(store.SaveSetting(App, q("General"), q("Sound"), q("0")));
    EXPECT_EQ(readBytes(path() + q(".damaged")), original);
}

INSTANTIATE_TEST_SUITE_P(Table, DamagedSettings,
                         testing::Values(DamagedLine{"a line without '='", "just some words"},
                                         DamagedLine{"NUL bytes", QByteArray("Sound=\0\0", 8)},
                                         DamagedLine{"invalid UTF-8", "Sound=\xFF\xFE\xC0\xAF"},
                                         DamagedLine{"a key with no name", "=1"}));

TEST_F(SettingsFaults, KeysUnderABrokenSectionHeaderAreNotTakenForAnotherSection) {
    writeBytes(path(), "[General]\nKill=0\n[General\nKillMode=3\n");
    EXPECT_EQ(get("Kill"), q("0"));
    EXPECT_EQ(get("KillMode"), q("<default>"));
}

TEST_F(SettingsFaults, KeysBeforeAnySectionAreNotSettings) {
    writeBytes(path(), "Kill=0\n[General]\nSound=1\n");
    EXPECT_EQ(get("Kill"), q("<default>"));
    EXPECT_EQ(get("Sound"), q("1"));
}

TEST_F(SettingsFaults, LongValuesAndDuplicateKeysReadAsTheFirstWhole) {
    const QByteArray longValue(10000, 'v');
    writeBytes(path(), "[General]\nLanguageFile=" + longValue + "\nlanguagefile=second\n");
    EXPECT_EQ(get("LanguageFile"), QString::fromLatin1(longValue));
    ASSERT_TRUE(store.SaveSetting(App, q("General"), q("Kill"), q("1")));
    EXPECT_EQ(get("LanguageFile"), QString::fromLatin1(longValue));
}

TEST_F(SettingsFaults, AWriteThatDoesNotFitFailsAndKeepsTheOldFile) {
    const QByteArray original = "[General]\nKill=0\nTotalWindowsKilled=500\n";
    writeBytes(path(), original);
    {
        FileSizeLimit full(static_cast<rlim_t>(original.size()));
        EXPECT_FALSE(store.SaveSetting(App, q("General"), q("LanguageFile"), QString(4096, u'x')));
    }
    EXPECT_EQ(readBytes(path()), original);
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), QStringList{q("settings.ini")});
}

} // namespace
