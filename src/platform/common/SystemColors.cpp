#include "platform/common/SystemColors.h"

#include <array>
#include <utility>

namespace platform {

namespace {

// The palette role that plays each system colour's part on this desktop. The three-dimensional
// edge needs four distinct shades around the button face: Qt's Light (highlight), Midlight
// (light), Dark (shadow) and Shadow (dark shadow) are exactly those.
struct SystemRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

constexpr std::array<std::pair<int, SystemRole>, 30> systemRoles{{
    {0, {QPalette::Active, QPalette::Button}},           // scroll bar
    {1, {QPalette::Active, QPalette::Dark}},             // desktop
    {2, {QPalette::Active, QPalette::Highlight}},        // active caption
    {3, {QPalette::Inactive, QPalette::Mid}},            // inactive caption
    {4, {QPalette::Active, QPalette::Window}},           // menu
    {5, {QPalette::Active, QPalette::Base}},             // window
    {6, {QPalette::Active, QPalette::Shadow}},           // window frame
    {7, {QPalette::Active, QPalette::WindowText}},       // menu text
    {8, {QPalette::Active, QPalette::Text}},             // window text
    {9, {QPalette::Active, QPalette::HighlightedText}},  // caption text
    {10, {QPalette::Active, QPalette::Button}},          // active border
    {11, {QPalette::Inactive, QPalette::Button}},        // inactive border
    {12, {QPalette::Active, QPalette::Mid}},             // application workspace
    {13, {QPalette::Active, QPalette::Highlight}},       // highlight
    {14, {QPalette::Active, QPalette::HighlightedText}}, // highlighted text
    {ButtonFaceIndex, {QPalette::Active, QPalette::Button}},
    {ButtonShadowIndex, {QPalette::Active, QPalette::Dark}},
    {GrayTextIndex, {QPalette::Disabled, QPalette::Text}},
    {ButtonTextIndex, {QPalette::Active, QPalette::ButtonText}},
    {19, {QPalette::Disabled, QPalette::WindowText}}, // inactive caption text
    {ButtonHighlightIndex, {QPalette::Active, QPalette::Light}},
    {DarkShadow3DIndex, {QPalette::Active, QPalette::Shadow}},
    {Light3DIndex, {QPalette::Active, QPalette::Midlight}},
    {23, {QPalette::Active, QPalette::ToolTipText}},
    {24, {QPalette::Active, QPalette::ToolTipBase}},
    {26, {QPalette::Active, QPalette::Link}},      // hot-tracked item
    {27, {QPalette::Active, QPalette::Highlight}}, // gradient of the active caption
    {28, {QPalette::Inactive, QPalette::Mid}},     // gradient of the inactive caption
    {29, {QPalette::Active, QPalette::Highlight}}, // highlighted menu item
    {30, {QPalette::Active, QPalette::Window}},    // menu bar
}};

} // namespace

QColor systemColor(int index, const QPalette& palette) {
    for (const auto& [number, where] : systemRoles) {
        if (number == index)
            return palette.color(where.group, where.role);
    }
    return QColor(Qt::black);
}

QColor resolveColor(OleColor code, const QPalette& palette) {
    if (code & systemColorFlag)
        return systemColor(static_cast<int>(code & 0xFFFFu), palette);
    return QColor(static_cast<int>(code & 0xFFu), static_cast<int>((code >> 8) & 0xFFu),
                  static_cast<int>((code >> 16) & 0xFFu));
}

OleColor colorCode(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<OleColor>(rgb.red()) | (static_cast<OleColor>(rgb.green()) << 8) |
           (static_cast<OleColor>(rgb.blue()) << 16);
}

} // namespace platform
