#pragma once

#include <QFont>
#include <QString>

namespace platform {

// A caption ready to draw: the font to use and the text in it.
struct DrawableText {
    QFont font;
    QString text;
};

// Symbol fonts from other desktops (Webdings) are rarely installed here, and fontconfig would
// silently substitute a text font and draw the letters themselves ("4" instead of a play
// triangle). When such a font is missing, the characters whose pictures have a Unicode
// equivalent are mapped to it and drawn in a text font of the same size and weight. Any other
// missing family is left to fontconfig's own substitution, which picks a similar font.
DrawableText drawableText(const QFont& font, const QString& text);

// Whether the family is installed (fontconfig aliases do not count).
bool isFontInstalled(const QString& family);

} // namespace platform
