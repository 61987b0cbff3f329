#include "platform/common/IniSettingsStore.h"
#include "support/IsolatedEnvironment.h"
#include "support/TestFiles.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const QString App = QStringLiteral("ZOR Brakkon");

QString q(const char* text) {
    return QString::fromUtf8(text);
}

class SettingsStore : public testing::Test {
protected:
    void SetUp() override { QDir(QFileInfo(path()).absolutePath()).removeRecursively(); }
    static QString path() { return platform::IniSettingsStore::filePath(App); }
    platform::IniSettingsStore store;
};

TEST_F(SettingsStore, LivesInTheUsersConfigFolderAndNeverWrittenValuesReadAsTheDefault) {
    EXPECT_EQ(path(), IsolatedEnvironment::configHome() + q("/ZOR Brakkon/settings.ini"));
    EXPECT_EQ(store.GetSetting(App, q("General"), q("Kill"), q("1")), q("1"));
    EXPECT_FALSE(QFile::exists(path())) << "reading must not create the file";
}

TEST_F(SettingsStore, SectionsDifferingOnlyInCaseAreOneSection) {
    ASSERT_TRUE(store.SaveSetting(App, q("General"), q("Kill"), q("0")));
    ASSERT_TRUE(store.SaveSetting(App, q("general"), q("LanguageFile"), q("deutsch.ini")));
    ASSERT_TRUE(store.SaveSetting(App, q("GENERAL"), q("kill"), q("1")));
    platform::IniSettingsStore fresh;
    EXPECT_EQ(fresh.GetSetting(App, q("general"), q("KILL"), q("x")), q("1"));
    EXPECT_EQ(fresh.GetSetting(App, q("General"), q("LanguageFile"), q("x")), q("deutsch.ini"));
    EXPECT_EQ(QString::fromUtf8(readBytes(path())).count(q("[")), 1) << readBytes(path()).constData();
}

TEST_F(SettingsStore, AnyTextSurvivesARoundTrip) {
    const QString texts[] = {q("  blanks at both ends  "), q("line\nbreak\rand\ttab"), q("back\\slash \\n"),
                             q("\"quoted\""), q("ünïcödé ✓"), q("a=b;c#d[e]"),
                             // White space other than blanks at the ends: trimmed away once.
                             q("\vvertical tabs\v"), q("\u00A0no-break spaces\u00A0"),
                             q("line separator\u2028"), QString()};
    int i = 0;
    for (const QString& text : texts)
        ASSERT_TRUE(store.SaveSetting(App, q("General"), QStringLiteral("k%1").arg(i++), text));
    i = 0;
    for (const QString& text : texts)
        EXPECT_EQ(store.GetSetting(App, q("General"), QStringLiteral("k%1").arg(i++), q("<none>")), text);
}

TEST_F(SettingsStore, NoTemporaryFilesAreLeftBehind) {
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(store.SaveSetting(App, q("General"), q("Kill"), QString::number(i)));
    EXPECT_EQ(QDir(QFileInfo(path()).absolutePath()).entryList(QDir::Files), QStringList{q("settings.ini")});
}

TEST(SettingsStoreUnprivileged, AnUnreadableFileIsNotOverwritten) {
    if (!Unprivileged::runHere())
        return;
    platform::IniSettingsStore store;
    const QString path = platform::IniSettingsStore::filePath(App);
    writeBytes(path, "[General]\nKill=0\nTotalWindowsKilled=500\n");
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    EXPECT_EQ(store.GetSetting(App, q("General"), q("Kill"), q("1")), q("1"));
    EXPECT_FALSE(store.SaveSetting(App, q("General"), q("Sound"), q("1")));
    QFile::setPermissions(path, QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    EXPECT_EQ(readBytes(path), QByteArray("[General]\nKill=0\nTotalWindowsKilled=500\n"));
}

TEST(SettingsStoreUnprivileged, AReadOnlyFolderFailsTheWriteAndKeepsTheFile) {
    if (!Unprivileged::runHere())
        return;
    platform::IniSettingsStore store;
    const QString path = platform::IniSettingsStore::filePath(App);
    writeBytes(path, "[General]\nKill=0\n");
    const QString folder = QFileInfo(path).absolutePath();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(store.SaveSetting(App, q("General"), q("Kill"), q("1")));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(store.GetSetting(App, q("General"), q("Kill"), q("x")), q("0"));
}

} // namespace
