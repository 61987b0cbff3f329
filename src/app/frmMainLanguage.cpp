// Language files: every caption of the window and the fixed texts come from the chosen file,
// each with its default (the caption shown at that moment, or the built-in text).
#include "app/frmMain.h"
#include "lang/LanguageTexts.h"
#include "util/VELModule.h"

#include <QAction>
#include <QMenu>
#include <QTabWidget>

QString frmMain::LanguageFolder() const {
    return mobjServices.languageFolder.isEmpty() ? VELModule::AppPath() + QStringLiteral("languages")
                                                 : mobjServices.languageFolder;
}

void frmMain::LoadLanguages() {
    const QStringList files = VELModule::GetFileList(LanguageFolder(), QStringLiteral("*.ini"));
    if (files.isEmpty()) {
        mnuSelectLanguage->setEnabled(false);
        return;
    }
    for (int n = 0; n < files.size(); ++n) {
        if (n >= mnuLanguages.size()) {
            QAction* item = mnuSelectLanguage->addAction(QString());
            item->setObjectName(QStringLiteral("mnuLanguages"));
            item->setProperty("Index", n);
            item->setCheckable(true);
            mnuLanguages.append(item);
        }
        QAction* item = mnuLanguages[n];
        disconnect(item, &QAction::triggered, this, nullptr);
        connect(item, &QAction::triggered, this, [this, n] { mnuLanguages_Click(n); });
        item->setText(LanguageTexts::MenuCaption(files[n]));
        item->setEnabled(true);
        item->setProperty("Tag", files[n]);
        const bool current = files[n].compare(mstrLanguageFile, Qt::CaseInsensitive) == 0;
        item->setChecked(current);
        if (current)
            SetLanguage(files[n]);
    }
}

void frmMain::SetLanguage(const QString& strFile) {
    const QString path = LanguageFolder() + QLatin1Char('/') + strFile;
    if (!VELModule::FileExists(path)) {
        Warn(QStringLiteral("ERROR.\r\nLanguage file not found!"));
        return;
    }
    mstrLanguageFile = strFile;
    LanguageTexts::ApplyCaptions(this, path);
    for (int tab = 0; tab < 5; ++tab) {
        mstrTabCaptions[tab] = LanguageTexts::TabCaption(path, tab);
        if (tab < SSTab1->count())
            SSTab1->setTabText(tab, mstrTabCaptions[tab]);
    }
    mstrTrayTipString = LanguageTexts::TrayTip(path);
    mstrMsg = LanguageTexts::Messages(path);
    // The count follows its label by the layout, whatever the label's length in this language.
    UpdateTrayTip();
}

void frmMain::mnuLanguages_Click(int Index) {
    for (QAction* item : std::as_const(mnuLanguages))
        item->setChecked(false);
    if (Index < 0 || Index >= mnuLanguages.size())
        return;
    mnuLanguages[Index]->setChecked(true);
    SetLanguage(mnuLanguages[Index]->property("Tag").toString());
}
