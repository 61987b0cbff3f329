// Language files: every caption of the window and the fixed texts come from the chosen file,
// each with its default (the caption shown at that moment, or the built-in text).
#include "app/frmMain.h"
#include "lists/DomainLists.h"
#include "platform/Platform.h"
#include "util/VELModule.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

namespace {

struct TabText {
    const char* key;
    const char* text;
};
const TabText Tabs[] = {{"tab_status", " Status"},
                        {"tab_configuration", "Configuration"},
                        {"tab_hotkeys", "Hot-Keys"},
                        {"tab_denydomains", "Denied Domains"},
                        {"tab_acceptdomains", "Accepted Domains"}};
const char* const MessageDefaults[] = {
    "The sound file could not be found!", "File type not supported!",   "File does not exist!",
    "Unable to asign hotkey CTRL + *",    "Clear Denied Domains list?", "Clear Accepted Domains list?"};

QString ProperCase(const QString& text) {
    QString out = text.toLower();
    bool wordStart = true;
    for (QChar& c : out) {
        if (wordStart && c.isLetter())
            c = c.toUpper();
        wordStart = c.isSpace();
    }
    return out;
}

// The caption of a control that takes part in languages, through a getter and a setter.
struct Caption {
    std::function<QString()> get;
    std::function<void(const QString&)> set;
};

std::optional<Caption> captionOf(QObject* object) {
    if (auto* button = qobject_cast<QAbstractButton*>(object))
        return Caption{[=] { return button->text(); }, [=](const QString& t) { button->setText(t); }};
    if (auto* label = qobject_cast<QLabel*>(object))
        return Caption{[=] { return label->text(); }, [=](const QString& t) { label->setText(t); }};
    if (auto* frame = qobject_cast<QGroupBox*>(object))
        return Caption{[=] { return frame->title(); }, [=](const QString& t) { frame->setTitle(t); }};
    if (auto* menu = qobject_cast<QMenu*>(object))
        return Caption{[=] { return menu->title(); }, [=](const QString& t) { menu->setTitle(t); }};
    if (auto* item = qobject_cast<QAction*>(object); item && !item->isSeparator())
        return Caption{[=] { return item->text(); }, [=](const QString& t) { item->setText(t); }};
    return std::nullopt;
}

} // namespace

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
        item->setText(ProperCase(VELModule::RemoveExtension(files[n])));
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
    const QString section = QStringLiteral("strings");
    QList<QObject*> controls = findChildren<QObject*>();
    for (QObject* control : std::as_const(controls)) {
        if (control->objectName().isEmpty() || !control->property("Tag").toString().isEmpty())
            continue;
        const auto caption = captionOf(control);
        if (!caption || caption->get() == QLatin1String("-"))
            continue;
        const QString key =
            control->objectName().replace(QLatin1Char(' '), QLatin1Char('_')) + GetIndex(control);
        caption->set(VELModule::ReadIniString(path, section, key, caption->get()));
    }
    for (int tab = 0; tab < 5 && tab < SSTab1->count(); ++tab)
        SSTab1->setTabText(tab, QLatin1Char(' ') + VELModule::ReadIniString(
                                                       path, section, QString::fromLatin1(Tabs[tab].key),
                                                       QString::fromLatin1(Tabs[tab].text)));
    mstrTrayTipString = VELModule::ReadIniString(path, section, QStringLiteral("TrayTipString"), QString());
    for (int i = 0; i < 6; ++i)
        mstrMsg[i] = VELModule::ReadIniString(path, section, QStringLiteral("msg0%1").arg(i),
                                              QString::fromLatin1(MessageDefaults[i]));
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
