#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace platform {

// A colour as controls persist it: 0x00BBGGRR for a plain colour, or 0x800000nn for "the
// system's colour number nn" that is looked up only when drawing, so a control follows the
// desktop's theme.
using OleColor = std::uint32_t;

constexpr OleColor systemColorFlag = 0x80000000u;

// The system colour numbers the controls use by name.
enum SystemColorIndex : int {
    ButtonFaceIndex = 15,
    ButtonShadowIndex = 16,
    GrayTextIndex = 17,
    ButtonTextIndex = 18,
    ButtonHighlightIndex = 20,
    DarkShadow3DIndex = 21,
    Light3DIndex = 22,
};

constexpr OleColor systemColorCode(int index) {
    return systemColorFlag | static_cast<OleColor>(index);
}

// The colour a system colour number stands for in this palette; an unknown number is black,
// as the platform answers for it.
QColor systemColor(int index, const QPalette& palette);

// Resolves either kind of code against the palette.
QColor resolveColor(OleColor code, const QPalette& palette);

// The plain-colour code of a colour (its alpha is dropped).
OleColor colorCode(const QColor& color);

} // namespace platform
