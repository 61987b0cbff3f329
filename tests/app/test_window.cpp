#include "app/frmMain.h"
#include "browser/clsIEManager.h"
#include "controls/button/Command.h"
#include "controls/tray/ZorTray.h"
#include "platform/KeyState.h"
#include "platform/Platform.h"
#include "platform/common/IniDocument.h"
#include "platform/linux/AutostartEntry.h"
#include "support/DesktopFakes.h"
#include "support/FakeWebBrowser.h"
#include "support/TestFiles.h"
#include "util/VELModule.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Keys held, as a test says.
class HeldKeys final : public platform::KeyState {
public:
    bool ctrl = false;
    bool shift = false;
    std::int16_t GetKeyState(std::int32_t virtualKey) override {
        const bool down = (virtualKey == 17 && ctrl) || (virtualKey == 16 && shift);
        return down ? std::int16_t(0x8000) : std::int16_t(0);
    }
};

// A main window over fake browsers, keys, sound and dialogs, with its files in a temporary
// folder. The key poll is stopped so tests set the key flags themselves. The window is declared
// last so that it is destroyed first, while the fakes it uses still exist.
class FormFixture : public testing::Test {
protected:
    FormFixture() {
        QDir(folder.path()).mkpath(q("languages"));
        // Each test starts without settings.
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).removeRecursively();
    }

    // Creates the window and runs its load.
    void Load() {
        frmMain::Services services;
        services.makeIEManager = [this] { return std::make_unique<clsIEManager>(shell); };
        services.listFolder = folder.path();
        services.languageFolder = folder.filePath(q("languages"));
        services.trayGrace = trayGrace;
        form = std::make_unique<frmMain>(services);
        form->checkCtrl->stop();
        form->Form_Load();
        form->checkCtrl->stop();
    }
    void WriteLanguage(const QString& fileName, const QByteArray& contents) {
        writeBytes(folder.filePath(q("languages/") + fileName), contents);
    }
    void WriteSetting(const char* key, const char* value, const char* section = "General") {
        ASSERT_TRUE(platform::settings().SaveSetting(q("ZOR Brakkon"), QString::fromUtf8(section),
                                                     QString::fromUtf8(key), QString::fromUtf8(value)));
    }
    QString ReadSetting(const char* key, const char* section = "General") {
        return platform::settings().GetSetting(q("ZOR Brakkon"), QString::fromUtf8(section),
                                               QString::fromUtf8(key), q("<absent>"));
    }

    QTemporaryDir folder;
    ScopedScriptedDialogs dialogs;
    FakeShellWindows shell;
    ScopedService<platform::KeyState, HeldKeys, &platform::setKeyState> keys;
    ScopedFakeWavePlayer player;
    std::chrono::milliseconds trayGrace{60000};
    std::unique_ptr<frmMain> form;
};

class Lifecycle : public FormFixture {};

// A hidden start with no notification area would leave the program out of reach: once the wait
// for a late panel is over the window stands in for the icon, and minimising does not hide it.
TEST_F(Lifecycle, WithoutANotificationAreaTheWindowStandsInForTheTrayIcon) {
    ScopedFakeTrayHost trayHost;
    WriteSetting("FirstRun", "0");
    trayGrace = std::chrono::milliseconds(0);
    for (const qulonglong host : {1ULL, 0ULL}) {
        trayHost->host = host;
        Load();
        QCoreApplication::processEvents();
        EXPECT_EQ(form->isVisible(), host == 0) << "host " << host;
        form->show();
        form->showMinimized();
        QCoreApplication::processEvents();
        EXPECT_EQ(form->isVisible(), host == 0) << "host " << host;
    }
}

TEST_F(Lifecycle, AFreshInstallationStartsWithTheDefaultsAndShowsTheWindowOnce) {
    QDir(folder.filePath(q("languages"))).removeRecursively();
    Load(); // the other defaults, and later starts staying in the tray: BadSettings
    EXPECT_FALSE(form->cmdPlaySound->isEnabled()) << "sound buttons follow the sound switch";
    EXPECT_FALSE(form->mnuSelectLanguage->isEnabled()) << "no language folder";
    form->Form_Unload();
    EXPECT_EQ(ReadSetting("FirstRun"), q("0"));
}

TEST_F(Lifecycle, StoredSettingsAndLanguageReachTheWindowShownLaterAndAreWrittenBackAtUnload) {
    const std::pair<const char*, const char*> stored[] = {
        {"Kill", "0"},       {"Sound", "1"},        {"SoundFile", "/s/ding.wav"},
        {"KillMode", "3"},   {"IgnoreErrors", "0"}, {"TotalWindowsKilled", "-4.6"},
        {"LastPath", "/s/"}, {"FirstRun", "0"}};
    for (const auto& [key, value] : stored)
        WriteSetting(key, value);
    WriteSetting("LanguageFile", "deutsch.ini", "general");
    WriteLanguage(q("deutsch.ini"), "[strings]\nfrmSoundOptions=Klang\n");
    Load();
    form->show(); // the window completes its controls only now, after the load
    EXPECT_EQ(form->findChild<QWidget*>(q("frmSoundOptions"))->property("title"), q("Klang"));
    EXPECT_FALSE(form->mnuSelectLanguage->menuAction()->associatedObjects().isEmpty()) << "on the menu bar";
    EXPECT_EQ(std::tuple(form->chkKillPopup->isChecked(), form->chkSound->isChecked(), form->txtFile->text(),
                         form->optMode[3]->isChecked(), form->chkIgnoreErrors->isChecked(),
                         form->lbTotalCount->text(), form->mstrLanguageFile),
              std::tuple(false, true, q("/s/ding.wav"), true, false, q("-05"), q("deutsch.ini")));
    form->optMode[2]->setChecked(true);
    form->mlngTotalKilled = 50;
    form->Form_Unload();
    EXPECT_EQ(std::tuple(ReadSetting("KillMode"), ReadSetting("TotalWindowsKilled"), ReadSetting("Kill"),
                         ReadSetting("languagefile", "GENERAL")),
              std::tuple(q("2"), q("50"), q("0"), q("deutsch.ini")));
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
    EXPECT_EQ(std::tuple(form->chkKillPopup->isChecked(), form->chkSound->isChecked(),
                         form->optMode[0]->isChecked(), form->chkIgnoreErrors->isChecked(),
                         form->mlngTotalKilled, form->isVisible()),
              std::tuple(true, false, true, true, 0, GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Table, BadSettings,
                         testing::Values(BadValue{"Kill", "yes"}, BadValue{"Kill", "2"},
                                         BadValue{"Sound", "-1"}, BadValue{"KillMode", "4"},
                                         BadValue{"KillMode", "-1"}, BadValue{"IgnoreErrors", ""},
                                         BadValue{"TotalWindowsKilled", "lots"},
                                         BadValue{"TotalWindowsKilled", "1e12"}, BadValue{"FirstRun", " 1"},
                                         BadValue{"FirstRun", "1abc"}, BadValue{"FirstRun", ".1e1"},
                                         BadValue{"FirstRun", "", false}, BadValue{"FirstRun", "1.5", false},
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
    EXPECT_EQ(dialogs->messages.size(), 1) << "the hot-key's warning only: a logout asks nothing";
    EXPECT_EQ(seen->written, (QStringList{q("KillMode"), q("LanguageFile"), q("FirstRun"), q("LastPath"),
                                          q("Kill"), q("Sound"), q("SoundFile"), q("TotalWindowsKilled")}));
    platform::setSettings(std::move(previous));
    EXPECT_EQ(player->stops, 1);
    EXPECT_EQ(form->mobjIEManager, nullptr) << "the browsers are released";
    form->Lists().List2().AddItem(q("after.test"));
    form->UnloadAndQuit();
    EXPECT_EQ(readBytes(folder.filePath(q("deny_domains.txt"))), QByteArray("denied.test\r\n"))
        << "an unload runs only once";
}

// Ending the program when its files cannot be written would lose every change since its start:
// the user who chose "Exit" is told what failed and can retry once they have made room.
TEST_F(Lifecycle, AnExitThatCannotSaveSaysWhatAndSavesOnRetry) {
    Load();
    form->Lists().List2().AddItem(q("denied.test"));
    const QString denied = folder.filePath(q("deny_domains.txt"));
    ASSERT_TRUE(QDir().mkpath(denied)) << "a folder in the file's place cannot be replaced";
    dialogs->messages.clear(); // the hot-key's warning
    dialogs->messageAnswers = {platform::MsgAnswer::Retry, platform::MsgAnswer::Retry};
    dialogs->whileAsked = [&] { // the user makes room before the second retry
        if (dialogs->messages.size() == 2)
            QDir(denied).removeRecursively();
    };
    form->mnuExit_Click();
    ASSERT_EQ(dialogs->messages.size(), 2) << "asked again while it still fails, then no more";
    EXPECT_EQ(dialogs->messages[0].buttons, platform::MsgButtons::RetryCancel);
    EXPECT_EQ(dialogs->messages[0].prompt.section(u'\n', 1, 2), denied + u'\n') << "only what failed";
    EXPECT_EQ(readBytes(denied), QByteArray("denied.test\r\n"));
}

TEST_F(Lifecycle, StartWithLoginFollowsTheCheckBoxButNotDuringLoad) {
    ASSERT_TRUE(platform::AutostartEntry::write(q("ZORBrakkon"), q("/elsewhere/ZORBrakkon")));
    Load();
    EXPECT_FALSE(form->chkAutoStart->isChecked()) << "an entry for another folder does not count";
    form->chkAutoStart->setChecked(true);
    EXPECT_EQ(platform::AutostartEntry::read(q("ZORBrakkon")), VELModule::AppPath() + q("ZORBrakkon"));
    Load();
    EXPECT_TRUE(form->chkAutoStart->isChecked());
    form->chkAutoStart->setChecked(false);
    EXPECT_FALSE(QFile::exists(platform::AutostartEntry::pathFor(q("ZORBrakkon"))));
    // An autostart folder that cannot be written: the box is put back, and the user told.
    const QString autostart = QFileInfo(platform::AutostartEntry::pathFor(q("ZORBrakkon"))).absolutePath();
    QDir(autostart).removeRecursively();
    writeBytes(autostart, "not a folder");
    form->chkAutoStart->setChecked(true);
    EXPECT_FALSE(form->chkAutoStart->isChecked());
    EXPECT_TRUE(dialogs->messages.last().prompt.contains(q("could not be switched on")));
}

TEST_F(Lifecycle, AFailedHotKeyIsToldThenTheCloseBoxAsksAndCancelKeepsEverything) {
    Load();
    dialogs->messageAnswers.push_back(platform::MsgAnswer::Cancel);
    int cancel = 0;
    form->Form_QueryUnload(cancel, 0);
    EXPECT_EQ(cancel, 1);
    ASSERT_EQ(dialogs->messages.size(), 2) << "the hot-key warning, then the question";
    // The built-in text: no language is read yet.
    EXPECT_EQ(dialogs->messages.first().prompt, q("Unable to asign hotkey CTRL + *"));
    EXPECT_EQ(dialogs->messages.last().prompt, q("Exit ?"));
    EXPECT_EQ(dialogs->messages.last().buttons, platform::MsgButtons::OkCancel);
    cancel = 0;
    form->Form_QueryUnload(cancel, 1);
    EXPECT_EQ(cancel, 0) << "the program or the system closing is not asked";
    EXPECT_EQ(dialogs->messages.size(), 2);
}

TEST_F(Lifecycle, TheHotKeyTogglesActiveAndARefusalAfterTheStartIsToldOnce) {
    ScopedFakeHotKeys keys;
    Load();
    form->ZORHotkey1_KeyPressed(0);
    EXPECT_FALSE(form->chkKillPopup->isChecked());
    form->ZORHotkey1_KeyPressed(0);
    EXPECT_TRUE(form->chkKillPopup->isChecked()) << "pressed twice, as before";
    ASSERT_TRUE(dialogs->messages.isEmpty());
    keys->refuse(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs->messages.isEmpty(); }));
    keys->refuse(0);
    QTest::qWait(150); // three ticks of the control's timer
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(dialogs->messages.first().prompt, q("Unable to asign hotkey CTRL + *"));
}

class Languages : public FormFixture {
protected:
    ScopedFakeTrayHost trayHost;
    ScopedFakeNotifyIcons icons;
    // What the tray shows when a browser turns out to block popups itself.
    QString BlockerNotice() {
        emit shell.BrowserBlocksPopups(q("Chromium"));
        return icons.log().operations.isEmpty() ? QString() : icons.log().operations.constLast();
    }
    QStringList MenuCaptions() const {
        QStringList captions;
        for (QAction* item : form->mnuLanguages)
            captions << item->text() + (item->isChecked() ? q("*") : QString());
        return captions;
    }
};

TEST_F(Languages, SwitchingKeepsCaptionsAFileLacksButResetsTheFixedTextsAndNeedsTheFile) {
    // Older Latin-1, and captions longer than any screen is wide.
    const QByteArray longer = "Only th\xEEs" + QByteArray(" and more").repeated(60);
    WriteLanguage(q("b_one.ini"), "[STRINGS]\nCHKSOUND=Only th\xEEs\nlbListCanceled=" + longer +
                                      "\noptMode(0)=" + longer + "\nfrmPopupMode=" + longer +
                                      "\nlbTotalPopupsCanceled=" + longer + "\n");
    WriteLanguage(q("notes.txt"), "not a language");
    WriteLanguage(q("a_full.ini"), "[strings]\n"
                                   "chkSound=Ton abspielen\n"
                                   "chkKillPopup=Aktiv\n"
                                   "optMode(2)=Modus zwei\n"
                                   "optMode=ohne Index\n"
                                   "mnuExit=\"Beenden\"\n"
                                   "tab_status=Zustand\n"
                                   "TrayTipString=blockiert\n"
                                   "msg06=Blockiert selbst\n"
                                   "cmdPlaySound=Changed\ncmdSoundFile=Changed\n"
                                   "cmdStopSound=Changed\nmnuLanguages(0)=Changed\n");
    WriteSetting("LanguageFile", "A_FULL.INI", "general");
    trayHost->host = 1;
    Load();
    EXPECT_TRUE(form->mnuSelectLanguage->isEnabled());
    EXPECT_EQ(MenuCaptions(), (QStringList{q("A_full*"), q("B_one")}));
    EXPECT_EQ(form->chkSound->text(), q("Ton abspielen"));
    EXPECT_EQ(form->optMode[2]->text(), q("Modus zwei"));
    EXPECT_EQ(form->optMode[1]->text(), q("ALL popups")) << "a key without index matches no member";
    EXPECT_EQ(form->SSTab1->tabText(0), q(" Zustand"));
    EXPECT_EQ(form->SSTab1->tabText(5), q("About"));
    EXPECT_EQ(form->Tray->TrayTip(), q("ZOR Brakkon:\r\n0 blockiert"));
    EXPECT_EQ(BlockerNotice(), q("message ZOR Brakkon:Chromium: Blockiert selbst"));
    for (Command* button : {form->cmdSoundFile, form->cmdPlaySound, form->cmdStopSound})
        EXPECT_NE(button->Caption(), q("Changed")) << "drawn with symbols, never translated";
    int cancel = 0;
    form->Form_QueryUnload(cancel, 0);
    EXPECT_EQ(dialogs->messages.last().prompt, q("Beenden ?")) << "the close question, quotes removed";

    form->mnuLanguages_Click(1);
    EXPECT_EQ(form->mstrLanguageFile, q("b_one.ini"));
    EXPECT_EQ(form->chkSound->text(), q("Only thîs"));
    EXPECT_EQ(form->chkKillPopup->text(), q("Aktiv")) << "missing keys keep the previous language";
    EXPECT_EQ(form->SSTab1->tabText(0), q("  Status")) << "tabs return to their defaults";
    EXPECT_EQ(form->Tray->TrayTip(), q("ZOR Brakkon:\r\n0 "));
    EXPECT_EQ(BlockerNotice(), q("message ZOR Brakkon:Chromium: ") + LanguageTexts::DefaultMessages()[6]);
    EXPECT_EQ(MenuCaptions(), (QStringList{q("A_full"), q("B_one*")}));
    form->show();
    EXPECT_LE(form->minimumSizeHint().width(), form->width()) << "the window fits its first size";
    EXPECT_LE(form->width(), 640);
    for (int page = 0; page < form->SSTab1->count(); ++page)
        if (form->SSTab1->widget(page)->isAncestorOf(form->optMode[0]))
            form->SSTab1->setCurrentIndex(page);
    const auto tipOf = [](QWidget* control) {
        QHelpEvent point(QEvent::ToolTip, QPoint(2, 2), control->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(control, &point);
        return point.isAccepted() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipOf(form->optMode[0]), QString::fromLatin1(longer)) << "a cut caption is told in full";
    EXPECT_EQ(tipOf(form->chkSound), QString()) << "a whole one is not";

    QFile::remove(folder.filePath(q("languages/a_full.ini")));
    form->mnuLanguages_Click(0);
    EXPECT_EQ(dialogs->messages.last().prompt, q("ERROR.\r\nLanguage file not found!"));
    EXPECT_EQ(form->chkSound->text(), q("Only thîs")) << "a vanished file changes nothing";
    EXPECT_EQ(form->mstrLanguageFile, q("b_one.ini"));
}

// Every language shipped with the program translates everything the English file does.
TEST(ShippedLanguages, DefineEveryKeyOfTheEnglishFile) {
    const QString folder = qEnvironmentVariable("ZOR_SOURCE_DIR") + q("/languages/");
    const auto keysOf = [](const QString& path) {
        platform::IniDocument file;
        EXPECT_EQ(file.load(path), platform::IniDocument::LoadResult::Loaded) << qPrintable(path);
        QSet<QString> keys;
        for (const QString& key : file.keys(LanguageTexts::Section))
            keys.insert(key.toLower());
        return keys;
    };
    const QSet<QString> english = keysOf(folder + q("english.ini"));
    ASSERT_GT(english.size(), 40);
    EXPECT_EQ(LanguageTexts::Messages(folder + q("english.ini")), LanguageTexts::DefaultMessages())
        << "English says what the program says without a language file";
    const QStringList files = QDir(folder).entryList({q("*.ini")}, QDir::Files);
    ASSERT_GE(files.size(), 3);
    for (const QString& file : files) {
        const QSet<QString> missing = english - keysOf(folder + file);
        EXPECT_TRUE(missing.isEmpty())
            << qPrintable(file) << " lacks " << qPrintable(QStringList(missing.values()).join(u' '));
    }
}

// A loaded window, with a wave file to choose.
class WindowCommands : public FormFixture {
protected:
    void SetUp() override {
        Load();
        wav = folder.filePath(q("sounds.d/Ding.WAV"));
        writeBytes(wav, {});
    }
    void Select(QListView* view, int row) {
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
    }
    QString wav;
};

TEST_F(WindowCommands, BringingTheWindowUpShowsItNormalAndDoesNotHideItAgain) {
    form->showMinimized();
    form->mnuConfigure_Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(std::tuple(form->isVisible(), form->isMinimized(), form->mblnShowing),
              std::tuple(true, false, false));
}

TEST_F(WindowCommands, TheAboutLabelAndTheTrayAboutBoxNameTheDocumentationBesideTheProgram) {
    QTest::mouseClick(form->Label5, Qt::LeftButton);
    ASSERT_EQ(dialogs->opened.size(), 1);
    const QString opened = dialogs->opened.first();
    EXPECT_EQ(form->Label5->text(), opened);
    EXPECT_TRUE(ZorTray::AboutText().endsWith(u'\n' + opened));
    // Tests run from their own folder: the file must be at the same place beside the program.
    ASSERT_TRUE(QUrl(opened).isLocalFile());
    const QString beside = QDir(VELModule::AppPath()).relativeFilePath(QUrl(opened).toLocalFile());
    EXPECT_TRUE(QFileInfo(qEnvironmentVariable("ZOR_RUNTIME_DIR") + u'/' + beside).isFile())
        << qPrintable(beside);
}

// Every list, every button: only the left one moves the selection; the right one opens a domain
// list's menu on the entry already selected, whose move item names the other list.
class ListPresses : public WindowCommands,
                    public testing::WithParamInterface<std::tuple<std::int32_t, Qt::MouseButton>> {};

TEST_P(ListPresses, OnlyTheLeftButtonSelects) {
    const auto [list, button] = GetParam();
    QListView* view = list == 1 ? form->List1 : list == 2 ? form->List2 : form->List3;
    const QStringList entries{q("a.test"), q("b.test")};
    if (list == 1)
        form->List1->addItems(entries);
    else
        (list == 2 ? form->Lists().List2() : form->Lists().List3()).setEntries(entries);
    const QPoint second = view->visualRect(view->model()->index(1, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, second);
    EXPECT_EQ(form->mlngCurrentList, 0) << "no menu without a selected entry";
    Select(view, 0);
    QTest::mouseClick(view->viewport(), button, {}, second);
    EXPECT_EQ(view->selectionModel()->selectedRows(),
              QModelIndexList{view->model()->index(button == Qt::LeftButton, 0)});
    EXPECT_EQ(form->mlngCurrentList, button == Qt::RightButton && list != 1 ? list : 0);
    if (form->mlngCurrentList != 0) {
        EXPECT_EQ(form->mnuMoveTo->text(),
                  list == 2 ? q("Move to accepted Domains") : q("Move to denied domains"));
    }
    form->mnuList->hide();
}

INSTANTIATE_TEST_SUITE_P(Table, ListPresses,
                         testing::Combine(testing::Values(1, 2, 3),
                                          testing::Values(Qt::LeftButton, Qt::MiddleButton,
                                                          Qt::RightButton)));

TEST_F(WindowCommands, AddRemoveMoveAndClearGoThroughTheListRules) {
    form->Lists().List2().setEntries({q("w.x.y"), q("dup.test"), q("dup.test")});
    form->mlngCurrentList = 3;
    dialogs->inputAnswers.push_back(q("http://w.x.y/p"));
    form->mnuAdd_Click();
    EXPECT_EQ(form->Lists().List3().entries(), QStringList{q("w.x.y")});

    dialogs->inputAnswers.push_back(std::nullopt);
    form->mnuAdd_Click();
    EXPECT_EQ(form->Lists().List3().ListCount(), 1) << "cancel adds nothing";

    form->mlngCurrentList = 2;
    Select(form->List2, 1);
    form->mnuRemove_Click();
    EXPECT_EQ(form->Lists().List2().entries(), QStringList{q("dup.test")}) << "only the selected one";

    form->Lists().List3().AddItem(q("DUP.TEST"));
    Select(form->List2, 0);
    form->mnuMoveTo_Click();
    EXPECT_EQ(std::tuple(form->Lists().List2().entries(), form->Lists().List3().entries()),
              std::tuple(QStringList(), QStringList{q("w.x.y"), q("DUP.TEST")}));

    // A move the other list refuses is told and leaves the entry where it was.
    form->Lists().List2().setEntries(QStringList(DomainListModel::Capacity, q("full.test")));
    form->mlngCurrentList = 3;
    Select(form->List3, 0);
    form->mnuMoveTo_Click();
    EXPECT_EQ(form->Lists().List3().entries(), (QStringList{q("w.x.y"), q("DUP.TEST")}));
    EXPECT_EQ(dialogs->messages.last().prompt, q("the list is full (32767 entries)"));

    for (const auto answer : {platform::MsgAnswer::Cancel, platform::MsgAnswer::Ok}) {
        dialogs->messageAnswers.push_back(answer);
        form->mnuClearList_Click();
        EXPECT_EQ(form->Lists().List3().ListCount(), answer == platform::MsgAnswer::Ok ? 0 : 2);
        EXPECT_EQ(dialogs->messages.last().prompt, q("Clear Accepted Domains list?"));
    }
}

TEST_F(WindowCommands, DroppedTextIsAddedWholeAndOtherDataIsIgnored) {
    QMimeData text;
    text.setText(q("http://w.x.y/p\nsecond line"));
    form->List_OLEDragDrop(2, &text);
    EXPECT_EQ(form->Lists().List2().entries(), QStringList{q("w.x.y")});
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(q("/tmp/x.txt"))});
    files.removeFormat(q("text/plain"));
    form->List_OLEDragDrop(3, &files);
    EXPECT_EQ(form->Lists().List3().ListCount(), 0);
}

TEST_F(WindowCommands, DoubleClickOnACancelledWindowShowsItOnlyWhenSelected) {
    const auto before = dialogs->messages.size();
    form->List_DblClick();
    EXPECT_EQ(dialogs->messages.size(), before);
    form->List1->addItem(q("http://a.test/ --> Terminated!"));
    form->List1->setCurrentRow(0);
    form->List_DblClick();
    ASSERT_EQ(dialogs->messages.size(), before + 1);
    EXPECT_EQ(dialogs->messages.last().prompt, q("http://a.test/ --> Terminated!"));
}

using SoundOptions = WindowCommands;

TEST_F(SoundOptions, TheSwitchEnablesTheButtonsWhichPlayAnExistingFileAndWarnOtherwise) {
    form->txtFile->setText(q("/keep.wav"));
    form->chkSound->setChecked(true);
    EXPECT_TRUE(form->cmdSoundFile->isEnabled() && form->cmdPlaySound->isEnabled() &&
                form->cmdStopSound->isEnabled());
    form->chkSound->setChecked(false);
    EXPECT_FALSE(form->cmdSoundFile->isEnabled() || form->cmdPlaySound->isEnabled() ||
                 form->cmdStopSound->isEnabled());
    EXPECT_EQ(form->txtFile->text(), q("/keep.wav"));
    EXPECT_EQ(player->stops, 0) << "switching off does not stop a playing sound";
    form->txtFile->setText(wav);
    form->cmdPlaySound_Click();
    form->cmdPlaySound_Click();
    EXPECT_EQ(player->files(), (QStringList{wav, wav}));
    form->txtFile->setText(q("/gone.wav"));
    form->cmdPlaySound_Click();
    EXPECT_EQ(dialogs->messages.last().prompt, q("The sound file could not be found!"));
    form->cmdStopSound_Click();
    EXPECT_EQ(player->stops, 1);
}

// The dialog opens again, where the user was, until a wave file is chosen, whatever the case of
// its extension, or the dialog is cancelled.
TEST_F(SoundOptions, WrongTypeAndMissingFileAreToldUntilAWaveFileIsChosen) {
    form->txtFile->setText(q("/before.wav"));
    dialogs->fileAnswers.push_back({true, folder.filePath(q("sounds.d/readme")), 1});
    dialogs->fileAnswers.push_back({true, q("/nowhere/gone.wav"), 1});
    dialogs->fileAnswers.push_back({}); // cancel
    const auto before = dialogs->messages.size();
    form->cmdSoundFile_Click();
    ASSERT_EQ(dialogs->messages.size(), before + 2);
    EXPECT_EQ(dialogs->messages[before].prompt, q("File type not supported!"));
    EXPECT_EQ(dialogs->messages[before + 1].prompt, q("File does not exist!"));
    ASSERT_EQ(dialogs->fileRequests.size(), 3);
    EXPECT_EQ(dialogs->fileRequests[1].initialDir, folder.filePath(q("sounds.d/")));
    EXPECT_EQ(dialogs->fileRequests[2].initialDir, q("/nowhere/"));
    EXPECT_EQ(form->txtFile->text(), q("/before.wav"));
    dialogs->fileAnswers.push_back({true, wav, 1});
    form->cmdSoundFile_Click();
    EXPECT_EQ(form->txtFile->text(), wav);
    EXPECT_EQ(form->mstrLastPath, folder.filePath(q("sounds.d/")));
}

// What becomes of a window a page asks for: the decision, and what a cancel shows and keeps.
enum class Outcome { Cancelled, AllowedFalse, Untouched };
enum class Failing { Nothing, ParentUrl, DocumentDomain, Gesture, NoDocument, NoOpener, NoWindows };

struct DecisionCase {
    const char* name;
    int mode;
    bool active;
    bool ctrl;
    bool shift;
    bool accepted; // the opener's address domain is on the accepted list
    bool denied;   // the opener's document domain is on the denied list
    bool gesture;  // a user event is being handled
    Failing failing;
    Outcome expected;
    int silenced; // script errors silenced, the opener's document and the window's own
};

std::ostream& operator<<(std::ostream& out, const DecisionCase& c) {
    return out << c.name;
}

class Decision : public FormFixture {
protected:
    void SetUp() override {
        opener = &shell.addWindow(100, q("http://site.test:8080/page"));
        opener->document.domainText = q("site.test");
        opener->document.userGesture = false;
        Load();
    }

    // Asks for a window from the opener with Cancel preset to true, so that "left untouched"
    // can be told from "set to false"; a cancel is told by the count.
    Outcome Decide(QVariant key = q("_100")) {
        QObject* ppDisp = nullptr;
        bool cancel = true;
        const auto before = form->mlngTotalKilled;
        form->mobjIEManager_NewWindow2(ppDisp, cancel, key);
        if (form->mlngTotalKilled != before)
            return cancel ? Outcome::Cancelled : Outcome::Untouched;
        return cancel ? Outcome::Untouched : Outcome::AllowedFalse;
    }
    int ShownIcon() const {
        for (int i = 0; i < 4; ++i)
            if (form->Tray->TrayIcon().cacheKey() == form->picIcons[i].cacheKey())
                return i;
        return -1;
    }

    FakeWebBrowser* opener = nullptr;
};

class DecisionTable : public Decision, public testing::WithParamInterface<DecisionCase> {};

TEST_P(DecisionTable, DecidesByModeSwitchKeysListsAndGesture) {
    const DecisionCase& c = GetParam();
    form->optMode[c.mode]->setChecked(true);
    form->chkKillPopup->setChecked(c.active);
    form->mblnCtrlDown = c.ctrl;
    form->mblnShiftDown = c.shift;
    if (c.accepted)
        form->Lists().List3().AddItem(q("site.test:8080"));
    if (c.denied)
        form->Lists().List2().AddItem(q("site.test"));
    opener->document.userGesture = c.gesture;
    opener->urlFails = c.failing == Failing::ParentUrl;
    opener->document.domainFails = c.failing == Failing::DocumentDomain;
    if (c.failing == Failing::Gesture)
        opener->document.userGesture.reset();
    opener->hasDocument = c.failing != Failing::NoDocument;
    if (c.failing == Failing::NoWindows) {
        shell.removeWindow(*opener);
        opener = nullptr; // freed with its window: nothing of it can be silenced
    }
    const Outcome outcome = c.failing == Failing::NoOpener ? Decide(q("_999")) : Decide();
    const int silenced = opener ? opener->document.onErrorWrites : 0;
    EXPECT_EQ(int(outcome), int(c.expected)) << c.name;
    EXPECT_EQ(silenced, c.silenced) << "with script errors to be ignored";
}

constexpr bool on = true;
constexpr bool off = false;
using F = Failing;
using O = Outcome;
// name, mode, active, ctrl, shift, accepted, denied, gesture, failing, expected, silenced
// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, DecisionTable, testing::Values(
    DecisionCase{"mode 0 script popup is cancelled", 0, on, off, off, off, off, off, F::Nothing, O::Cancelled, 2},
    DecisionCase{"mode 0 popup on a click opens", 0, on, off, off, off, off, on, F::Nothing, O::Untouched, 2},
    DecisionCase{"mode 2 decides like mode 0 (click)", 2, on, off, off, off, off, on, F::Nothing, O::Untouched, 2},
    DecisionCase{"mode 1 cancels a click too", 1, on, off, off, off, off, on, F::Nothing, O::Cancelled, 2},
    DecisionCase{"mode 3 lets a script popup open", 3, on, off, off, off, off, off, F::Nothing, O::AllowedFalse, 2},
    DecisionCase{"mode 3 cancels a denied domain", 3, on, off, off, off, on, on, F::Nothing, O::Cancelled, 2},
    DecisionCase{"accepted beats denied in every mode", 0, on, off, off, on, on, off, F::Nothing, O::AllowedFalse, 2},
    DecisionCase{"blocking off lets everything open", 1, off, off, off, off, on, off, F::Nothing, O::Untouched, 0},
    DecisionCase{"Ctrl held lets everything open", 1, on, on, off, off, on, off, F::Nothing, O::Untouched, 0},
    DecisionCase{"Shift alone changes nothing", 1, on, off, on, off, off, off, F::Nothing, O::Cancelled, 2},
    DecisionCase{"Ctrl+Shift allows even when off", 1, off, on, on, off, off, off, F::Nothing, O::AllowedFalse, 0},
    DecisionCase{"unreadable address fails the accepted test: allow", 1, on, off, off, off, off, off, F::ParentUrl, O::AllowedFalse, 2},
    DecisionCase{"unreadable domain in mode 0: cancel", 0, on, off, off, off, off, on, F::DocumentDomain, O::Cancelled, 2},
    DecisionCase{"no document in mode 0: cancel", 0, on, off, off, off, off, on, F::NoDocument, O::Cancelled, 0},
    DecisionCase{"unknown gesture in mode 0: open", 0, on, off, off, off, off, off, F::Gesture, O::Untouched, 2},
    DecisionCase{"nothing filed under the key: allow", 1, on, off, off, off, off, off, F::NoOpener, O::AllowedFalse, 0},
    DecisionCase{"no browser window tracked: allow", 1, on, off, off, off, off, off, F::NoWindows, O::AllowedFalse, 0}));
// clang-format on

// What a hostile page puts in its address and domain reaches the status list and the denied
// list as plain text: nothing is interpreted or escaped.
TEST_F(Decision, ACancelCountsListsDeniesSignalsAndSounds) {
    opener->url = q("http://site.test/<b>bold</b><script>alert(1)</script>");
    opener->document.domainText = q("<i>site</i>.test");
    form->optMode[1]->setChecked(true);
    form->chkSound->setChecked(true);
    form->txtFile->setText(q("/sounds/ding.wav"));
    ASSERT_EQ(Decide(), Outcome::Cancelled);
    EXPECT_EQ(std::tuple(form->mlngTotalKilled, form->mlngSessionKilled, form->lbTotalCount->text(),
                         form->Tray->TrayTip()),
              std::tuple(1, 1, q("01"), q("ZOR Brakkon:\r\n1 ")));
    ASSERT_EQ(form->List1->count(), 1);
    EXPECT_EQ(form->List1->item(0)->text(), opener->url + q(" --> Terminated!"));
    EXPECT_EQ(form->Lists().List2().entries(), QStringList{q("<i>site<")});
    EXPECT_TRUE(form->Flash->isActive());
    EXPECT_EQ(player->files(), QStringList{q("/sounds/ding.wav")});
    EXPECT_GE(player->stops, 1) << "a playing sound is stopped before the next one";
    // At its largest value the total stays, and the rest of the cancel still runs.
    form->mlngTotalKilled = std::numeric_limits<std::int32_t>::max();
    Decide();
    EXPECT_EQ(std::tuple(form->lbTotalCount->text(), form->mlngSessionKilled, form->List1->count()),
              std::tuple(q("2147483647"), 2, 2));
}

TEST_F(Decision, CtrlShiftPutsTheOpenersAddressDomainOnTheAcceptedList) {
    form->Lists().List2().AddItem(q("site.test:8080"));
    form->mblnCtrlDown = form->mblnShiftDown = true;
    ASSERT_EQ(Decide(), Outcome::AllowedFalse);
    EXPECT_EQ(form->Lists().List3().entries(), QStringList{q("site.test:8080")});
}

TEST_F(Decision, ScriptErrorsAreLeftAloneUnlessToBeIgnoredAndAFailedSilencingChangesNothing) {
    form->chkIgnoreErrors->setChecked(false);
    Decide();
    EXPECT_EQ(opener->document.onErrorWrites, 0);
    form->chkIgnoreErrors->setChecked(true);
    opener->document.onErrorFails = true;
    EXPECT_EQ(Decide(), Outcome::Cancelled) << "a failing write does not stop the decision";
}

// What the tray icon tells of blocking, the keys and the cancels.
using TrayStatus = Decision;

struct IconCase {
    bool active;
    bool ctrl;
    bool shift;
    int icon;
};

class StateIcons : public TrayStatus, public testing::WithParamInterface<IconCase> {};

TEST_P(StateIcons, TheKeyPollShowsBlockingAndCtrlInTheIconAndTheSwitchColour) {
    const IconCase& c = GetParam();
    form->chkKillPopup->setChecked(c.active);
    keys->ctrl = c.ctrl;
    keys->shift = c.shift;
    form->checkCtrl_Timer();
    EXPECT_EQ(std::tuple(form->mblnCtrlDown, form->mblnShiftDown, ShownIcon()),
              std::tuple(c.ctrl, c.shift, c.icon));
    EXPECT_TRUE(form->chkKillPopup->styleSheet().contains(c.active ? q("#ff0000") : q("#00ff00")));
}

INSTANTIATE_TEST_SUITE_P(Table, StateIcons,
                         testing::Values(IconCase{false, false, true, 0}, IconCase{false, true, false, 0},
                                         IconCase{true, true, true, 1}, IconCase{true, false, false, 2}));

// Eight ticks of alternating icons; Ctrl held meanwhile shows only in the state phases.
TEST_F(TrayStatus, OneFlashSequenceIsEightTicksOfAlternatingIcons) {
    form->Flash->start();
    std::vector<int> icons;
    for (int tick = 0; tick < 8; ++tick) {
        form->Flash_Timer();
        icons.push_back(ShownIcon());
        if (tick == 4) {
            keys->ctrl = true;
            form->checkCtrl_Timer();
            icons.push_back(ShownIcon());
        }
    }
    EXPECT_EQ(icons, (std::vector<int>{3, 2, 3, 2, 3, 3, 1, 3, 1}));
    EXPECT_EQ(std::tuple(form->Flash->isActive(), form->mblnFlashOn, form->mlngFlashCount),
              std::tuple(false, false, 0));
}

} // namespace
