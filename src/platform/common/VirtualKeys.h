#pragma once

#include <QKeyEvent>

namespace platform {

// The classic virtual-key number of a key event (13 Enter, 32 Space, 65..90 letters, 112..
// function keys ...), which the program's controls report; 0 for a key that has none.
int virtualKeyCode(const QKeyEvent& event);

// The classic modifier bits: 1 Shift, 2 Ctrl, 4 Alt.
int modifierBits(Qt::KeyboardModifiers modifiers);

// The classic mouse-button bits: 1 left, 2 right, 4 middle.
int mouseButtonBits(Qt::MouseButtons buttons);

} // namespace platform
