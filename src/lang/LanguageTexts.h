#pragma once

#include <QString>
#include <array>

class QObject;

// What a language file holds for the window: a caption for every captioned control (keyed by
// the control's name, blanks as "_", and its "(index)" in a control array), the five tab
// captions, the tray-tip text and nine messages ("msg00" to "msg08"), each with a default.
namespace LanguageTexts {

inline const QString Section = QStringLiteral("strings");

struct TabText {
    QString key;
    QString text;
};

using MessageTexts = std::array<QString, 9>;
const MessageTexts& DefaultMessages();
const std::array<TabText, 5>& Tabs();

// "english.ini" shows as "English" in the menu.
QString MenuCaption(const QString& fileName);
QString ProperCase(const QString& text);

// Sets the caption of every control below root from the file; a control's own caption is the
// default. Controls with a Tag, separators and controls without a caption are left alone.
void ApplyCaptions(QObject* root, const QString& path);
// The tab caption as shown: one blank, then the file's text or the built-in one.
QString TabCaption(const QString& path, int tab);
QString TrayTip(const QString& path);
MessageTexts Messages(const QString& path);

} // namespace LanguageTexts
