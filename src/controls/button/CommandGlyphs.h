#pragma once

#include <QColor>
#include <QImage>

// The two built-in pictures, drawn here rather than shipped as files: a red cross and a green
// check mark, each 32 and 16 pixels, on a background of the given colour, which the transfer
// into the button then leaves out.
enum class CommandGlyph {
    Cross32 = 0,
    Cross16 = 1,
    Check32 = 2,
    Check16 = 3,
};

QImage DrawGlyph(CommandGlyph glyph, const QColor& background);
