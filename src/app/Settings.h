#pragma once

#include <QString>
#include <cstdint>

// The program's settings: names, sections and the rules for values that are not what they
// should be (a hand-edited or damaged file must not leave the window in a state it cannot show).
namespace Settings {

inline const QString General = QStringLiteral("General");
// The language file is kept under its own spelling of the section; both are one section.
inline const QString LanguageSection = QStringLiteral("general");

QString Get(const QString& section, const QString& key, const QString& defaultValue);
// Fails (zor::Failure) when the value could not be stored.
void Save(const QString& section, const QString& key, const QString& value);

// A whole number from minValue to maxValue; anything else gives defaultValue.
int GetInt(const QString& key, int defaultValue, int minValue, int maxValue);
// A number rounded to a whole one that fits 32 bits; anything else gives defaultValue.
std::int32_t GetRounded(const QString& key, std::int32_t defaultValue);
// The number the text starts with: blanks skipped, an optional sign, digits, an optional
// fraction and exponent; a text that starts otherwise reads 0, not defaultValue, so that a damaged
// value cannot bring the window up at every start. Only an absent key gives defaultValue.
double GetLeadingNumber(const QString& key, double defaultValue);

} // namespace Settings
