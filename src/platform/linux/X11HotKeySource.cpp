#include "platform/linux/X11HotKeySource.h"

#include "platform/Log.h"
#include "platform/linux/X11Keys.h"

#include <QCoreApplication>
#include <cstdlib>

namespace platform {

namespace {
constexpr std::uint16_t ModifierBits = 0xff;

// 1 Alt, 2 Ctrl, 4 Shift, 8 Super, as the program's callers give them.
std::uint16_t xModifiers(std::int32_t modifiers) {
    std::uint16_t mask = 0;
    if (modifiers & 1)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & 2)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & 4)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & 8)
        mask |= XCB_MOD_MASK_4;
    return mask;
}
} // namespace

X11HotKeySource::X11HotKeySource(xcb_connection_t* connection, xcb_window_t root)
    : m_connection(connection)
    , m_root(root)
    , m_numLock(x11::numLockMask(connection)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeySource::~X11HotKeySource() {
    // Without the application the connection is gone, and the server dropped the grabs with it.
    if (QCoreApplication::instance() && x11::display())
        for (const Grab& grab : std::as_const(m_grabs))
            ungrab(grab);
}

QList<std::uint16_t> X11HotKeySource::lockVariants() const {
    QList<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
    if (m_numLock) {
        variants.append(m_numLock);
        variants.append(std::uint16_t(m_numLock | XCB_MOD_MASK_LOCK));
    }
    return variants;
}

bool X11HotKeySource::grab(std::int32_t id, std::int32_t virtualKey, std::int32_t modifiers) {
    release(id);
    Grab wanted;
    wanted.keycodes = x11::keycodesFor(m_connection, x11::keysymsForVirtualKey(virtualKey));
    if (wanted.keycodes.isEmpty()) {
        qCInfo(lcPlatform, "virtual key %d has no key on this keyboard", virtualKey);
        return false;
    }
    wanted.modifiers = xModifiers(modifiers);

    QList<xcb_void_cookie_t> cookies;
    for (xcb_keycode_t code : std::as_const(wanted.keycodes))
        for (std::uint16_t variant : lockVariants())
            cookies.append(xcb_grab_key_checked(m_connection, 1, m_root, wanted.modifiers | variant, code,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool refused = false;
    for (const xcb_void_cookie_t& cookie : std::as_const(cookies)) {
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
            qCInfo(lcPlatform, "key grab refused with X error %d", int(error->error_code));
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        // Only this client's own grabs are undone: variants another client holds stay its own.
        ungrab(wanted);
        return false;
    }
    m_grabs.insert(id, wanted);
    return true;
}

void X11HotKeySource::release(std::int32_t id) {
    const auto found = m_grabs.constFind(id);
    if (found == m_grabs.cend())
        return;
    ungrab(*found);
    m_grabs.erase(found);
}

void X11HotKeySource::ungrab(const Grab& grab) {
    for (xcb_keycode_t code : grab.keycodes)
        for (std::uint16_t variant : lockVariants())
            xcb_ungrab_key(m_connection, code, m_root, grab.modifiers | variant);
    xcb_flush(m_connection);
}

bool X11HotKeySource::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || m_grabs.isEmpty())
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    const std::uint16_t held = press->state & ModifierBits & ~std::uint16_t(XCB_MOD_MASK_LOCK | m_numLock);
    for (auto it = m_grabs.cbegin(); it != m_grabs.cend(); ++it) {
        if (it->modifiers == held && it->keycodes.contains(press->detail)) {
            emit activated(it.key());
            return true;
        }
    }
    return false;
}

} // namespace platform
