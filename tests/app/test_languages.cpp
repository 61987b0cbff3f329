#include "FormFixture.h"
#include "controls/button/Command.h"
#include "support/DesktopFakes.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>

namespace {

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

TEST_F(Languages, SwitchingKeepsCaptionsAFileLacksButResetsTheFixedTexts) {
    WriteLanguage(q("b_one.ini"), "[STRINGS]\nCHKSOUND=Only th\xEEs\n"); // older Latin-1
    WriteLanguage(q("notes.txt"), "not a language");
    WriteLanguage(q("a_full.ini"), "[strings]\n"
                                   "chkSound=Ton abspielen\n"
                                   "chkKillPopup=Aktiv\n"
                                   "optMode(2)=Modus zwei\n"
                                   "optMode=ohne Index\n"
                                   "mnuExit=\"Beenden\"\n"
                                   "tab_status=Zustand\n"
                                   "TrayTipString=blockiert\n"
                                   "msg03=Kein Tastenkürzel\n"
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
    EXPECT_EQ(form->mnuExit->text(), q("Beenden")) << "quotes removed";
    EXPECT_EQ(form->SSTab1->tabText(0), q(" Zustand"));
    EXPECT_EQ(form->SSTab1->tabText(5), q("About"));
    EXPECT_EQ(form->mstrTrayTipString, q("blockiert"));
    EXPECT_EQ(form->mstrMsg[3], q("Kein Tastenkürzel"));
    EXPECT_EQ(BlockerNotice(), q("message ZOR Brakkon:Chromium: Blockiert selbst"));
    for (Command* button : {form->cmdSoundFile, form->cmdPlaySound, form->cmdStopSound})
        EXPECT_NE(button->Caption(), q("Changed")) << "drawn with symbols, never translated";
    int cancel = 0;
    form->Form_QueryUnload(cancel, 0);
    EXPECT_EQ(dialogs->messages.last().prompt, q("Beenden ?")) << "the close question";

    form->mnuLanguages_Click(1);
    EXPECT_EQ(form->mstrLanguageFile, q("b_one.ini"));
    EXPECT_EQ(form->chkSound->text(), q("Only thîs"));
    EXPECT_EQ(form->chkKillPopup->text(), q("Aktiv")) << "missing keys keep the previous language";
    EXPECT_EQ(form->SSTab1->tabText(0), q("  Status")) << "tabs return to their defaults";
    EXPECT_EQ(form->mstrTrayTipString, QString());
    EXPECT_EQ(form->mstrMsg[3], q("Unable to asign hotkey CTRL + *"));
    EXPECT_EQ(BlockerNotice(), q("message ZOR Brakkon:Chromium: ") + LanguageTexts::DefaultMessages()[6]);
    EXPECT_EQ(MenuCaptions(), (QStringList{q("A_full"), q("B_one*")}));
}

TEST_F(Languages, AVanishedFileIsReportedAndChangesNothing) {
    WriteLanguage(q("english.ini"), "[strings]\nchkSound=Play a sound\n");
    WriteLanguage(q("gone.ini"), "[strings]\nchkSound=Gone\n");
    Load();
    QFile::remove(folder.filePath(q("languages/gone.ini")));
    form->mnuLanguages_Click(1);
    EXPECT_EQ(dialogs->messages.last().prompt, q("ERROR.\r\nLanguage file not found!"));
    EXPECT_EQ(form->chkSound->text(), q("Play a sound"));
    EXPECT_EQ(form->mstrLanguageFile, q("english.ini"));
}

TEST_F(Languages, NoLanguageFolderDisablesTheMenuAndKeepsTheBuiltInTexts) {
    QDir(folder.filePath(q("languages"))).removeRecursively();
    Load();
    EXPECT_FALSE(form->mnuSelectLanguage->isEnabled());
    EXPECT_EQ(form->mnuLanguages.first()->text(), q("mnuLanguage"));
    EXPECT_EQ(form->chkSound->text(), q("Enable sound"));
    EXPECT_EQ(form->mstrMsg[1], q("File type not supported!"));
}

// Every language shipped with the program translates everything the English file does.
TEST(ShippedLanguages, DefineEveryKeyOfTheEnglishFile) {
    const QString folder = qEnvironmentVariable("ZOR_SOURCE_DIR") + q("/languages/");
    const auto keysOf = [](const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
        QSet<QString> keys;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QString text = QString::fromUtf8(line).trimmed();
            if (!text.isEmpty() && !text.startsWith(u';') && !text.startsWith(u'[') && text.contains(u'='))
                keys.insert(text.left(text.indexOf(u'=')).trimmed().toLower());
        }
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

} // namespace
