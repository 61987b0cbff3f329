#include "platform/linux/X11KeyState.h"

#include "platform/linux/X11Keys.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
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

bool X11KeyState::readKeymap() {
    constexpr qint64 SharedForNs = 1'000'000;
    if (m_keymapAge.isValid() && m_keymapAge.nsecsElapsed() < SharedForNs)
        return true;
    struct FreeDeleter {
        void operator()(void* pointer) const { std::free(pointer); }
    };
    std::unique_ptr<xcb_query_keymap_reply_t, FreeDeleter> reply(
        xcb_query_keymap_reply(m_connection, xcb_query_keymap(m_connection), nullptr));
    if (!reply) {
        m_keymapAge.invalidate();
        return false;
    }
    std::copy(std::begin(reply->keys), std::end(reply->keys), m_keymap.begin());
    m_keymapAge.start();
    return true;
}

std::int16_t X11KeyState::GetKeyState(std::int32_t virtualKey) {
    const QList<xcb_keycode_t>& codes = keycodes(virtualKey);
    if (codes.isEmpty() || !readKeymap())
        return 0;
    for (xcb_keycode_t code : codes)
        if (m_keymap[code / 8] & (1U << (code % 8)))
            return Down;
    return 0;
}

} // namespace platform
