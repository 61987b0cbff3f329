#include "platform/linux/X11KeyState.h"

#include "platform/Log.h"
#include "platform/linux/X11Keys.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
// The header names a field "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace platform {

namespace {
constexpr std::int16_t Down = std::int16_t(0x8000);

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// Shift, Ctrl and Alt without a side, as their modifier bits.
std::optional<std::uint8_t> modifierOf(std::int32_t virtualKey) {
    switch (virtualKey) {
    case 16:
        return XCB_MOD_MASK_SHIFT;
    case 17:
        return XCB_MOD_MASK_CONTROL;
    case 18:
        return XCB_MOD_MASK_1;
    default:
        return std::nullopt;
    }
}
} // namespace

X11KeyState::X11KeyState(xcb_connection_t* connection)
    : m_connection(connection) {
    if (!followModifiers())
        qCInfo(lcPlatform, "no keyboard extension: Ctrl and Shift are read from the server's key map");
}

X11KeyState::~X11KeyState() {
    if (m_heldModifiers && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11KeyState::followModifiers() {
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(m_connection, &xcb_xkb_id);
    if (!xkb || !xkb->present)
        return false;
    Reply<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
        m_connection, xcb_xkb_use_extension(m_connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
        nullptr));
    if (!use || !use->supported)
        return false;
    // Only the state notices are touched: the toolkit's own choice of the other keyboard
    // notices on this connection stays as it is.
    const xcb_void_cookie_t select =
        xcb_xkb_select_events_checked(m_connection, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_STATE_NOTIFY,
                                      0, XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0, 0, nullptr);
    if (Reply<xcb_generic_error_t> error(xcb_request_check(m_connection, select)); error)
        return false;
    Reply<xcb_xkb_get_state_reply_t> state(xcb_xkb_get_state_reply(
        m_connection, xcb_xkb_get_state(m_connection, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    if (!state)
        return false;
    m_xkbEvent = xkb->first_event;
    m_heldModifiers = state->baseMods;
    QCoreApplication::instance()->installNativeEventFilter(this);
    return true;
}

bool X11KeyState::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != m_xkbEvent)
        return false;
    const auto* any = static_cast<const xcb_xkb_state_notify_event_t*>(message);
    if (any->xkbType == XCB_XKB_STATE_NOTIFY)
        m_heldModifiers = any->baseMods;
    return false; // the toolkit keeps its own keyboard state from the same notices
}

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
    Reply<xcb_query_keymap_reply_t> reply(
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
    if (const auto modifier = modifierOf(virtualKey); modifier && m_heldModifiers)
        return (*m_heldModifiers & *modifier) ? Down : 0;
    const QList<xcb_keycode_t>& codes = keycodes(virtualKey);
    if (codes.isEmpty() || !readKeymap())
        return 0;
    for (xcb_keycode_t code : codes)
        if (m_keymap[code / 8] & (1U << (code % 8)))
            return Down;
    return 0;
}

} // namespace platform
