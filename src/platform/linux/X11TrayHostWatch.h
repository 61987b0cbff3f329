#pragma once

#include "platform/TrayHost.h"

#include <QAbstractNativeEventFilter>
#include <xcb/xcb.h>

namespace platform {

// Follows the owner of _NET_SYSTEM_TRAY_S<screen> (an XEmbed tray host) through XFixes
// selection events, so asking costs no round trip. Where no XEmbed host exists but a
// StatusNotifierWatcher hosts icons, that counts as a host with a fixed stand-in handle.
class X11TrayHostWatch final : public TrayHostWatch, public QAbstractNativeEventFilter {
public:
    // The stand-in handle for a StatusNotifierWatcher host.
    static constexpr qulonglong StatusNotifierHost = 1;

    X11TrayHostWatch(xcb_connection_t* connection, xcb_window_t root, int screen);
    ~X11TrayHostWatch() override;

    qulonglong trayHost() override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    xcb_window_t queryOwner() const;

    xcb_connection_t* m_connection;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
    std::uint8_t m_xfixesEvent = 0;
    bool m_watching = false;
    xcb_window_t m_owner = XCB_WINDOW_NONE;
};

} // namespace platform
