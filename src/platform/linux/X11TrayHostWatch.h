#pragma once

#include "platform/TrayHost.h"

#include <QAbstractNativeEventFilter>
#include <xcb/xcb.h>

namespace platform {

// The owner of _NET_SYSTEM_TRAY_S<screen> is the XEmbed tray host. It is asked for once, then
// kept current from XFixes selection events, so the tray control's check every second costs
// no round trip (without XFixes it is asked for at every check). A restarted host often gets
// the very window id of the one before (the server hands the new client the same id range), so
// the events also count the changes of owner and the count goes into the high 32 bits of the
// handle: the low bits are the host window, and a new host always gives a new handle. Where no XEmbed host
// exists but a StatusNotifierWatcher hosts icons, that counts as a host with a fixed stand-in handle.
class X11TrayHostWatch final : public TrayHostWatch, public QAbstractNativeEventFilter {
public:
    // The stand-in handle for a StatusNotifierWatcher host.
    static constexpr qulonglong StatusNotifierHost = 1;

    X11TrayHostWatch(xcb_connection_t* connection, xcb_window_t root, int screen);

    qulonglong trayHost() override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    xcb_window_t queryOwner() const;

    xcb_connection_t* m_connection;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
    std::uint8_t m_xfixesEvent = 0;
    quint32 m_ownerChanges = 0;
    xcb_window_t m_owner = XCB_WINDOW_NONE; // kept from the events where XFixes exists
};

} // namespace platform
