#pragma once

#include "platform/KeyState.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <array>
#include <optional>
#include <xcb/xcb.h>

namespace platform {

// The global keyboard state of the X server: sees keys held while another program has the
// focus. Shift, Ctrl and Alt, which the program reads twenty times a second, come from the
// keyboard extension's state notices, which the server sends whatever window has the focus, so
// reading them makes no request; other keys, and servers without that extension, are read
// from the server's key map.
class X11KeyState final : public KeyState, public QAbstractNativeEventFilter {
public:
    explicit X11KeyState(xcb_connection_t* connection);
    ~X11KeyState() override;
    std::int16_t GetKeyState(std::int32_t virtualKey) override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    const QList<xcb_keycode_t>& keycodes(std::int32_t virtualKey);
    bool readKeymap();
    bool followModifiers();

    xcb_connection_t* m_connection;
    QHash<std::int32_t, QList<xcb_keycode_t>> m_keycodes;
    // Reads made together share one round trip to the server.
    std::array<std::uint8_t, 32> m_keymap{};
    QElapsedTimer m_keymapAge;
    // The modifiers held down (not latched or locked), kept current from the server's notices;
    // empty where the keyboard extension is missing.
    std::optional<std::uint8_t> m_heldModifiers;
    std::uint8_t m_xkbEvent = 0;
};

} // namespace platform
