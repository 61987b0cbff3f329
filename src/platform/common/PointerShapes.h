#pragma once

#include <QCursor>
#include <QPixmap>
#include <optional>

namespace platform {

// The classic mouse-pointer numbers a control's design may name: 0 the default, 1 arrow,
// 2 cross, 3 I-beam, 4 icon, 5 size, 6 size NE-SW, 7 size N-S, 8 size NW-SE, 9 size W-E,
// 10 up arrow, 11 hourglass, 12 no drop, 13 arrow and hourglass, 14 arrow and question mark,
// 15 size all, 99 the custom icon.
constexpr int customPointer = 99;

bool isPointerCode(int code);

// The cursor to set for a pointer number; nullopt means "the default" (unset the cursor).
// A custom pointer without an icon is the default too.
std::optional<QCursor> cursorForPointer(int code, const QPixmap& customIcon);

} // namespace platform
