#include "platform/common/SymbolFonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>

namespace platform {

namespace {

// The Webdings pictures that have a clear Unicode shape, chosen so that media-control captions
// keep their meaning.
const QHash<QChar, QChar>& webdingsShapes() {
    static const QHash<QChar, QChar> shapes{
        {QLatin1Char('3'), QChar(0x25C0)}, // pointing left
        {QLatin1Char('4'), QChar(0x25B6)}, // play: pointing right
        {QLatin1Char('5'), QChar(0x25B2)}, // pointing up
        {QLatin1Char('6'), QChar(0x25BC)}, // pointing down
        {QLatin1Char('g'), QChar(0x25A0)}, // stop: filled square
        {QLatin1Char('n'), QChar(0x25CF)}, // filled circle
        {QLatin1Char('c'), QChar(0x25A1)}, // empty square
        {QLatin1Char('a'), QChar(0x2714)}, // check mark
        {QLatin1Char('r'), QChar(0x2716)}, // cross
    };
    return shapes;
}

} // namespace

bool isFontInstalled(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

DrawableText drawableText(const QFont& font, const QString& text) {
    const QString family = font.family();
    if (family.compare(QStringLiteral("Webdings"), Qt::CaseInsensitive) != 0 || isFontInstalled(family))
        return {font, text};

    QString mapped = text;
    for (QChar& ch : mapped)
        ch = webdingsShapes().value(ch, ch);

    QFont replacement = QGuiApplication::font();
    if (font.pointSizeF() > 0)
        replacement.setPointSizeF(font.pointSizeF());
    else if (font.pixelSize() > 0)
        replacement.setPixelSize(font.pixelSize());
    replacement.setWeight(font.weight());
    replacement.setItalic(font.italic());
    replacement.setUnderline(font.underline());
    replacement.setStrikeOut(font.strikeOut());
    return {replacement, mapped};
}

} // namespace platform
