#include "FormFixture.h"
#include "controls/button/Command.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>

namespace {

class SoundOptions : public FormFixture {
protected:
    void SetUp() override {
        Load();
        QDir(folder.path()).mkpath(q("sounds.d"));
        wav = folder.filePath(q("sounds.d/Ding.WAV"));
        QFile(wav).open(QIODevice::WriteOnly);
    }
    platform::FileDialogResult Chosen(const QString& path) { return {true, path, 1}; }
    QString wav;
};

TEST_F(SoundOptions, TheSwitchEnablesTheThreeButtonsAndKeepsTheFile) {
    form->txtFile->setText(q("/keep.wav"));
    form->chkSound->setChecked(true);
    EXPECT_TRUE(form->cmdSoundFile->isEnabled() && form->cmdPlaySound->isEnabled() &&
                form->cmdStopSound->isEnabled());
    form->chkSound->setChecked(false);
    EXPECT_FALSE(form->cmdSoundFile->isEnabled() || form->cmdPlaySound->isEnabled() ||
                 form->cmdStopSound->isEnabled());
    EXPECT_EQ(form->txtFile->text(), q("/keep.wav"));
    EXPECT_EQ(player->stops, 0) << "switching off does not stop a playing sound";
}

// The dialog opens again, where the user was, until a wave file is chosen, whatever the case of
// its extension, or the dialog is cancelled.
TEST_F(SoundOptions, WrongTypeAndMissingFileAreToldUntilAWaveFileIsChosen) {
    form->txtFile->setText(q("/before.wav"));
    dialogs->fileAnswers.push_back(Chosen(folder.filePath(q("sounds.d/readme"))));
    dialogs->fileAnswers.push_back(Chosen(q("/nowhere/gone.wav")));
    dialogs->fileAnswers.push_back({}); // cancel
    const auto before = dialogs->messages.size();
    form->cmdSoundFile_Click();
    ASSERT_EQ(dialogs->messages.size(), before + 2);
    EXPECT_EQ(dialogs->messages[before].prompt, q("File type not supported!"));
    EXPECT_EQ(dialogs->messages[before + 1].prompt, q("File does not exist!"));
    ASSERT_EQ(dialogs->fileRequests.size(), 3);
    EXPECT_EQ(dialogs->fileRequests[0].title, q("Open sound file"));
    EXPECT_EQ(dialogs->fileRequests[0].filters.first(), std::make_pair(q("*.wav"), q("*.wav")));
    EXPECT_EQ(dialogs->fileRequests[1].initialDir, folder.filePath(q("sounds.d/")));
    EXPECT_EQ(dialogs->fileRequests[2].initialDir, q("/nowhere/"));
    EXPECT_EQ(form->txtFile->text(), q("/before.wav"));
    dialogs->fileAnswers.push_back(Chosen(wav));
    form->cmdSoundFile_Click();
    EXPECT_EQ(form->txtFile->text(), wav);
    EXPECT_EQ(form->mstrLastPath, folder.filePath(q("sounds.d/")));
}

TEST_F(SoundOptions, PlayPlaysAnExistingFileAndWarnsOtherwise) {
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

} // namespace
