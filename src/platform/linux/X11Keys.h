#pragma once

#include <QList>
#include <cstdint>
#include <optional>
#include <xcb/xcb.h>

namespace platform::x11 {

// Qt's own X connection and the root window of the default screen; none under offscreen,
// Wayland or without a QGuiApplication.
struct Display {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    int screen = 0;
};
std::optional<Display> display();

// The X key symbols a Windows-style virtual-key code stands for (both sides for Shift, Ctrl and
// Alt); empty for a code this program does not know.
QList<xcb_keysym_t> keysymsForVirtualKey(std::int32_t virtualKey);

// The key codes that produce any of the given symbols in the current keyboard map.
QList<xcb_keycode_t> keycodesFor(xcb_connection_t* connection, const QList<xcb_keysym_t>& keysyms);

// The modifier mask that carries Num Lock (0 when no key produces it).
std::uint16_t numLockMask(xcb_connection_t* connection);

} // namespace platform::x11
