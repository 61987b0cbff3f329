#pragma once

#include "platform/KeyState.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <array>
#include <xcb/xcb.h>

namespace platform {

// The global keyboard state of the X server: sees keys held while another program has the
// focus.
class X11KeyState final : public KeyState {
public:
    explicit X11KeyState(xcb_connection_t* connection);
    std::int16_t GetKeyState(std::int32_t virtualKey) override;

private:
    const QList<xcb_keycode_t>& keycodes(std::int32_t virtualKey);
    bool readKeymap();

    xcb_connection_t* m_connection;
    QHash<std::int32_t, QList<xcb_keycode_t>> m_keycodes;
    // Reads made together (Ctrl, then Shift) share one round trip to the server.
    std::array<std::uint8_t, 32> m_keymap{};
    QElapsedTimer m_keymapAge;
};

} // namespace platform
