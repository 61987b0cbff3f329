#include "FormFixture.h"
#include "controls/button/Command.h"
#include "platform/Platform.h"
#include "platform/linux/AutostartEntry.h"
#include "support/DesktopFakes.h"
#include "util/VELModule.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

namespace {

class Lifecycle : public FormFixture {};

TEST_F(Lifecycle, AFreshInstallationStartsWithTheDefaultsAndShowsTheWindowOnce) {
    Load(); // the other defaults: BadSettings
    EXPECT_TRUE(form->txtFile->text().isEmpty());
    EXPECT_EQ(form->lbTotalCount->text(), q("00"));
    EXPECT_EQ(form->mstrLanguageFile, q("english.ini"));
    EXPECT_EQ(form->mstrLastPath, VELModule::AppPath() + q("media"));
    EXPECT_FALSE(form->cmdPlaySound->isEnabled()) << "sound buttons follow the sound switch";
    EXPECT_TRUE(form->isVisible()) << "the first run shows the window";
    EXPECT_EQ(form->windowTitle(), q("ZOR Brakkon Version 1.0.0"));
    form->Form_Unload();
    EXPECT_EQ(ReadSetting("FirstRun"), q("0"));
    Load();
    EXPECT_FALSE(form->isVisible()) << "later starts stay in the tray";
}

TEST_F(Lifecycle, StoredSettingsAreRestoredAndWrittenBackAtUnload) {
    const std::pair<const char*, const char*> stored[] = {
        {"Kill", "0"},       {"Sound", "1"},        {"SoundFile", "/s/ding.wav"},
        {"KillMode", "3"},   {"IgnoreErrors", "0"}, {"TotalWindowsKilled", "41.6"},
        {"LastPath", "/s/"}, {"FirstRun", "0"}};
    for (const auto& [key, value] : stored)
        WriteSetting(key, value);
    WriteSetting("LanguageFile", "deutsch.ini", "general");
    Load();
    EXPECT_FALSE(form->chkKillPopup->isChecked());
    EXPECT_TRUE(form->chkSound->isChecked());
    EXPECT_TRUE(form->cmdPlaySound->isEnabled());
    EXPECT_EQ(form->txtFile->text(), q("/s/ding.wav"));
    EXPECT_TRUE(form->optMode[3]->isChecked());
    EXPECT_FALSE(form->chkIgnoreErrors->isChecked());
    EXPECT_EQ(form->lbTotalCount->text(), q("42"));
    EXPECT_EQ(form->mstrLanguageFile, q("deutsch.ini"));
    form->optMode[2]->setChecked(true);
    form->mlngTotalKilled = 50;
    form->Form_Unload();
    EXPECT_EQ(ReadSetting("KillMode"), q("2"));
    EXPECT_EQ(ReadSetting("TotalWindowsKilled"), q("50"));
    EXPECT_EQ(ReadSetting("Kill"), q("0"));
    EXPECT_EQ(ReadSetting("languagefile", "GENERAL"), q("deutsch.ini"));
}

struct BadValue {
    const char* key;
    const char* value;
    bool shown = true;
};

class BadSettings : public Lifecycle, public testing::WithParamInterface<BadValue> {};

// FirstRun alone reads the number its text starts with, and shows the window when that is 1.
TEST_P(BadSettings, FallBackToTheDefault) {
    WriteSetting(GetParam().key, GetParam().value);
    Load();
    EXPECT_TRUE(form->chkKillPopup->isChecked());
    EXPECT_FALSE(form->chkSound->isChecked());
    EXPECT_TRUE(form->optMode[0]->isChecked());
    EXPECT_TRUE(form->chkIgnoreErrors->isChecked());
    EXPECT_EQ(form->mlngTotalKilled, 0);
    EXPECT_EQ(form->isVisible(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Table, BadSettings,
                         testing::Values(BadValue{"Kill", "yes"}, BadValue{"Kill", "2"},
                                         BadValue{"Sound", "-1"}, BadValue{"KillMode", "4"},
                                         BadValue{"KillMode", "-1"}, BadValue{"KillMode", "two"},
                                         BadValue{"IgnoreErrors", ""}, BadValue{"TotalWindowsKilled", "lots"},
                                         BadValue{"TotalWindowsKilled", "1e12"}, BadValue{"FirstRun", " 1"},
                                         BadValue{"FirstRun", "1.0"}, BadValue{"FirstRun", "1abc"},
                                         BadValue{"FirstRun", ".1e1"}, BadValue{"FirstRun", "", false},
                                         BadValue{"FirstRun", "abc", false}, BadValue{"FirstRun", "0", false},
                                         BadValue{"FirstRun", "1.5", false},
                                         BadValue{"FirstRun", "- 1", false}));

// A settings store whose writes of one key fail; every other write goes through.
class FailingStore final : public platform::SettingsStore {
public:
    QString failingKey;
    QStringList written;
    QString GetSetting(const QString&, const QString&, const QString&, const QString& defaultValue) override {
        return defaultValue;
    }
    bool SaveSetting(const QString&, const QString&, const QString& key, const QString&) override {
        if (key == failingKey)
            return false;
        written << key;
        return true;
    }
};

TEST_F(Lifecycle, UnloadWritesEverySettingAndTheListsEvenWhenOneWriteFails) {
    Load();
    form->Lists().List2().AddItem(q("denied.test"));
    auto store = std::make_unique<FailingStore>();
    store->failingKey = q("IgnoreErrors");
    FailingStore* seen = store.get();
    auto previous = platform::setSettings(std::move(store));
    form->Form_Unload();
    EXPECT_EQ(seen->written, (QStringList{q("KillMode"), q("LanguageFile"), q("FirstRun"), q("LastPath"),
                                          q("Kill"), q("Sound"), q("SoundFile"), q("TotalWindowsKilled")}));
    platform::setSettings(std::move(previous));
    EXPECT_EQ(player->stops, 1);
    EXPECT_EQ(form->mobjIEManager, nullptr) << "the browsers are released";
    form->Lists().List2().AddItem(q("after.test"));
    form->UnloadAndQuit();
    QFile denied(folder.filePath(q("deny_domains.txt")));
    ASSERT_TRUE(denied.open(QIODevice::ReadOnly));
    EXPECT_EQ(denied.readAll(), QByteArray("denied.test\r\n")) << "an unload runs only once";
}

TEST_F(Lifecycle, StartWithLoginFollowsTheCheckBoxButNotDuringLoad) {
    const QString command = VELModule::AppPath() + q("ZORBrakkon");
    ASSERT_TRUE(platform::AutostartEntry::write(q("ZORBrakkon"), q("/elsewhere/ZORBrakkon")));
    Load();
    EXPECT_FALSE(form->chkAutoStart->isChecked()) << "an entry for another folder does not count";
    form->chkAutoStart->setChecked(true);
    EXPECT_EQ(platform::AutostartEntry::read(q("ZORBrakkon")), command);
    Load();
    EXPECT_TRUE(form->chkAutoStart->isChecked());
    form->chkAutoStart->setChecked(false);
    EXPECT_FALSE(QFile::exists(platform::AutostartEntry::pathFor(q("ZORBrakkon"))));
}

TEST_F(Lifecycle, AFailedHotKeyIsToldThenTheCloseBoxAsksAndCancelKeepsEverything) {
    Load();
    dialogs->messageAnswers.push_back(platform::MsgAnswer::Cancel);
    int cancel = 0;
    form->Form_QueryUnload(cancel, 0);
    EXPECT_EQ(cancel, 1);
    ASSERT_EQ(dialogs->messages.size(), 2) << "the hot-key warning, then the question";
    EXPECT_EQ(dialogs->messages.first().prompt, q("Unable to asign hotkey CTRL + *"))
        << "the built-in text: no language is read yet";
    EXPECT_EQ(dialogs->messages.first().icon, platform::MsgIcon::Exclamation);
    EXPECT_EQ(dialogs->messages.first().title, q("ZOR Brakkon"));
    EXPECT_EQ(dialogs->messages.last().prompt, q("Exit ?"));
    EXPECT_EQ(dialogs->messages.last().buttons, platform::MsgButtons::OkCancel);
    cancel = 0;
    form->Form_QueryUnload(cancel, 1);
    EXPECT_EQ(cancel, 0) << "the program or the system closing is not asked";
    EXPECT_EQ(dialogs->messages.size(), 2);
}

TEST_F(Lifecycle, AHotKeyTheDesktopRefusesAfterTheStartIsToldOnce) {
    ScopedFakeHotKeys keys;
    Load();
    ASSERT_TRUE(dialogs->messages.isEmpty());
    keys->refuse(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs->messages.isEmpty(); }));
    keys->refuse(0);
    QTest::qWait(150); // three ticks of the control's timer
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(dialogs->messages.first().prompt, q("Unable to asign hotkey CTRL + *"));
}

} // namespace
