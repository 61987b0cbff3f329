#include "platform/linux/X11TrayHostWatch.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <cstdlib>
#include <memory>
#include <xcb/xfixes.h>

namespace platform {

namespace {
struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
} // namespace

X11TrayHostWatch::X11TrayHostWatch(xcb_connection_t* connection, xcb_window_t root, int screen)
    : m_connection(connection) {
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
    std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> atom(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::uint16_t(name.size()), name.constData()), nullptr));
    if (!atom)
        return;
    m_selection = atom->atom;

    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_xfixes_id);
    std::unique_ptr<xcb_xfixes_query_version_reply_t, FreeDeleter> version;
    if (extension && extension->present)
        version.reset(xcb_xfixes_query_version_reply(
            connection,
            xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
            nullptr));
    if (!version) {
        qCInfo(lcPlatform, "no XFixes: a tray host restarted between two checks may go unnoticed");
        return;
    }
    m_xfixesEvent = extension->first_event;
    xcb_xfixes_select_selection_input(connection, root, m_selection,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    // Asked after the selection of events, so no change falls between the two.
    m_owner = queryOwner();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

xcb_window_t X11TrayHostWatch::queryOwner() const {
    if (m_selection == XCB_ATOM_NONE)
        return XCB_WINDOW_NONE;
    std::unique_ptr<xcb_get_selection_owner_reply_t, FreeDeleter> reply(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr));
    return reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
}

qulonglong X11TrayHostWatch::trayHost() {
    if (const xcb_window_t owner = m_xfixesEvent ? m_owner : queryOwner(); owner != XCB_WINDOW_NONE)
        return (qulonglong(m_ownerChanges) << 32) | owner;
    // No XEmbed host; Qt reports a tray only when a StatusNotifierWatcher has a host then (or,
    // for a moment, while it has not yet seen an XEmbed host go).
    return QSystemTrayIcon::isSystemTrayAvailable() ? StatusNotifierHost : 0;
}

bool X11TrayHostWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || m_xfixesEvent == 0)
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != m_xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY)
        return false;
    auto* notify = reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event);
    if (notify->selection != m_selection)
        return false;
    m_owner = notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER
                  ? notify->owner
                  : xcb_window_t(XCB_WINDOW_NONE);
    if (m_owner != XCB_WINDOW_NONE) {
        ++m_ownerChanges;
        qCInfo(lcPlatform, "tray host is now window %x", m_owner);
    }
    // Qt's clipboard looks at selection events too and ignores this selection.
    return false;
}

} // namespace platform
