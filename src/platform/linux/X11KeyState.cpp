#include "platform/linux/X11KeyState.h"

#include "platform/linux/X11Keys.h"

#include <cstdlib>
#include <memory>

namespace platform {

namespace {
constexpr std::int16_t Down = std::int16_t(0x8000);
}

X11KeyState::X11KeyState(xcb_connection_t* connection)
    : m_connection(connection) {}

const QList<xcb_keycode_t>& X11KeyState::keycodes(std::int32_t virtualKey) {
    auto found = m_keycodes.find(virtualKey);
    if (found == m_keycodes.end())
        found = m_keycodes.insert(virtualKey,
                                  x11::keycodesFor(m_connection, x11::keysymsForVirtualKey(virtualKey)));
    return *found;
}

std::int16_t X11KeyState::GetKeyState(std::int32_t virtualKey) {
    const QList<xcb_keycode_t>& codes = keycodes(virtualKey);
    if (codes.isEmpty())
        return 0;
    struct FreeDeleter {
        void operator()(void* pointer) const { std::free(pointer); }
    };
    std::unique_ptr<xcb_query_keymap_reply_t, FreeDeleter> reply(
        xcb_query_keymap_reply(m_connection, xcb_query_keymap(m_connection), nullptr));
    if (!reply)
        return 0;
    for (xcb_keycode_t code : codes)
        if (reply->keys[code / 8] & (1U << (code % 8)))
            return Down;
    return 0;
}

} // namespace platform
