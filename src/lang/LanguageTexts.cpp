#include "lang/LanguageTexts.h"

#include "lists/DomainLists.h"
#include "util/VELModule.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <functional>
#include <optional>

namespace LanguageTexts {

namespace {

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

const MessageTexts& DefaultMessages() {
    static const MessageTexts messages = {
        QStringLiteral("The sound file could not be found!"),
        QStringLiteral("File type not supported!"),
        QStringLiteral("File does not exist!"),
        QStringLiteral("Unable to asign hotkey CTRL + *"),
        QStringLiteral("Clear Denied Domains list?"),
        QStringLiteral("Clear Accepted Domains list?"),
        QStringLiteral("A browser blocks popups by itself, so the accepted "
                       "domains and the Ctrl key cannot let them through. "
                       "Start it with --disable-popup-blocking, or let "
                       "ZOR Brakkon start it (--launch-browser)."),
        QStringLiteral("This browser asks whether ZOR Brakkon may watch it: "
                       "answer Allow in its \"Allow remote debugging?\" "
                       "prompt. Until then its popups are not blocked."),
        QStringLiteral("This browser did not let ZOR Brakkon watch it: its "
                       "\"Allow remote debugging?\" prompt was cancelled or "
                       "closed, and its popups are not blocked. ZOR Brakkon "
                       "asks again later, and at once when the browser is "
                       "started again: answer Allow then.")};
    return messages;
}

const std::array<TabText, 5>& Tabs() {
    static const std::array<TabText, 5> tabs = {
        {{QStringLiteral("tab_status"), QStringLiteral(" Status")},
         {QStringLiteral("tab_configuration"), QStringLiteral("Configuration")},
         {QStringLiteral("tab_hotkeys"), QStringLiteral("Hot-Keys")},
         {QStringLiteral("tab_denydomains"), QStringLiteral("Denied Domains")},
         {QStringLiteral("tab_acceptdomains"), QStringLiteral("Accepted Domains")}}};
    return tabs;
}

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

QString MenuCaption(const QString& fileName) {
    return ProperCase(VELModule::RemoveExtension(fileName));
}

void ApplyCaptions(QObject* root, const QString& path) {
    const QList<QObject*> controls = root->findChildren<QObject*>();
    for (QObject* control : controls) {
        if (control->objectName().isEmpty() || !control->property("Tag").toString().isEmpty())
            continue;
        const auto caption = captionOf(control);
        if (!caption || caption->get() == QLatin1String("-"))
            continue;
        const QString key =
            control->objectName().replace(QLatin1Char(' '), QLatin1Char('_')) + GetIndex(control);
        caption->set(VELModule::ReadIniString(path, Section, key, caption->get()));
    }
}

QString TabCaption(const QString& path, int tab) {
    return QLatin1Char(' ') + VELModule::ReadIniString(path, Section, Tabs()[tab].key, Tabs()[tab].text);
}

QString TrayTip(const QString& path) {
    return VELModule::ReadIniString(path, Section, QStringLiteral("TrayTipString"), QString());
}

MessageTexts Messages(const QString& path) {
    MessageTexts messages;
    for (std::size_t i = 0; i < messages.size(); ++i)
        messages[i] =
            VELModule::ReadIniString(path, Section, QStringLiteral("msg0%1").arg(i), DefaultMessages()[i]);
    return messages;
}

} // namespace LanguageTexts
