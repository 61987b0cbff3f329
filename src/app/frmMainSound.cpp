// The sound options: switch the sound on, choose a wave file, try it, stop it.
#include "app/frmMain.h"
#include "controls/button/Command.h"
#include "platform/Platform.h"
#include "sound/WavePlayback.h"
#include "util/VELModule.h"

#include <QCheckBox>
#include <QLineEdit>

void frmMain::chkSound_Click() {
    const bool on = chkSound->isChecked();
    for (Command* button : {cmdPlaySound, cmdSoundFile, cmdStopSound})
        button->setEnabled(on);
}

QString frmMain::SoundFile() const {
    return txtFile ? txtFile->text() : mstrSoundFile;
}

void frmMain::SetSoundFile(const QString& file) {
    mstrSoundFile = file;
    if (txtFile)
        txtFile->setText(file);
}

void frmMain::cmdSoundFile_Click() {
    for (;;) {
        const QString chosen = VELModule::ShowFileDialog(QStringLiteral("*.wav|*.wav"), this, mstrLastPath,
                                                         QStringLiteral("Open sound file"), 0, false);
        if (chosen.isEmpty())
            return;
        mstrLastPath = VELModule::GetPathPart(chosen);
        if (VELModule::GetExtension(chosen, true).toLower() != QLatin1String(".wav")) {
            Warn(mstrMsg[1]);
            continue;
        }
        if (VELModule::FileExists(chosen)) {
            SetSoundFile(chosen);
            return;
        }
        Warn(mstrMsg[2]);
    }
}

void frmMain::cmdPlaySound_Click() {
    if (VELModule::FileExists(SoundFile()))
        VELModule::PlayWave(QVariant(), QString(), SoundFile(), false, false, false, true);
    else
        Warn(mstrMsg[0]);
}

void frmMain::cmdStopSound_Click() {
    VELModule::StopWave();
}
