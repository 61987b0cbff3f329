#include "support/DesktopXClient.h"

#include <cstdlib>
#include <memory>
#include <xcb/xcb_keysyms.h>

namespace {
struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;
} // namespace

DesktopXClient::DesktopXClient() {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; it.rem && index < screen; ++index)
        xcb_screen_next(&it);
    m_root = it.data->root;
}

DesktopXClient::~DesktopXClient() {
    if (m_connection)
        xcb_disconnect(m_connection);
}

xcb_window_t DesktopXClient::showFocusedWindow() {
    if (m_window == XCB_WINDOW_NONE) {
        m_window = xcb_generate_id(m_connection);
        const std::uint32_t events = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_FOCUS_CHANGE;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_root, 100, 100, 200, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
        xcb_map_window(m_connection, m_window);
    }
    Reply<xcb_generic_error_t> error(xcb_request_check(
        m_connection,
        xcb_set_input_focus_checked(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, m_window, XCB_CURRENT_TIME)));
    xcb_flush(m_connection);
    return m_window;
}

xcb_window_t DesktopXClient::focusedWindow() {
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return reply ? reply->focus : xcb_window_t(XCB_WINDOW_NONE);
}

bool DesktopXClient::grabKey(xcb_keycode_t keycode, std::uint16_t modifiers, std::uint16_t lockVariant) {
    Reply<xcb_generic_error_t> error(xcb_request_check(
        m_connection, xcb_grab_key_checked(m_connection, 1, m_root, modifiers | lockVariant, keycode,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    return !error;
}

xcb_keycode_t DesktopXClient::keycodeOf(xcb_keysym_t keysym) {
    std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> table(
        xcb_key_symbols_alloc(m_connection), &xcb_key_symbols_free);
    Reply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(table.get(), keysym));
    return codes ? codes.get()[0] : xcb_keycode_t(0);
}

xcb_window_t DesktopXClient::selectionOwner(const QByteArray& selection) {
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        m_connection,
        xcb_intern_atom(m_connection, 0, std::uint16_t(selection.size()), selection.constData()), nullptr));
    if (!atom)
        return XCB_WINDOW_NONE;
    Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, atom->atom), nullptr));
    return owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
}

QString DesktopXClient::wmClass(xcb_window_t window) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        nullptr));
    if (!reply)
        return {};
    QByteArray value(static_cast<const char*>(xcb_get_property_value(reply.get())),
                     xcb_get_property_value_length(reply.get()));
    value.replace('\0', ' ');
    return QString::fromLatin1(value).trimmed();
}

void DesktopXClient::collectDocked(xcb_window_t window, bool underTrayHost, const QString& wmClassPart,
                                   QList<xcb_window_t>& found) {
    const QString klass = wmClass(window);
    if (underTrayHost && klass.contains(wmClassPart, Qt::CaseInsensitive))
        found.append(window);
    underTrayHost = underTrayHost || klass.contains(QLatin1String("trayer"), Qt::CaseInsensitive);
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr));
    if (!tree)
        return;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int index = 0; index < xcb_query_tree_children_length(tree.get()); ++index)
        collectDocked(children[index], underTrayHost, wmClassPart, found);
}

QList<xcb_window_t> DesktopXClient::dockedWindows(const QString& wmClassPart) {
    QList<xcb_window_t> found;
    collectDocked(m_root, false, wmClassPart, found);
    return found;
}

QPoint DesktopXClient::centreOf(xcb_window_t window) {
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr));
    if (!geometry || !origin)
        return {};
    return {origin->dst_x + geometry->width / 2, origin->dst_y + geometry->height / 2};
}
