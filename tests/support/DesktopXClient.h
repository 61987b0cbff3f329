#pragma once

#include <QList>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <xcb/xcb.h>

// A second X client inside the test process, with its own connection: to the server it is
// another program. It can own a focused window and hold key grabs, and it inspects the window
// tree (to find icons docked in a tray host).
class DesktopXClient {
public:
    DesktopXClient(); // connects to $DISPLAY
    ~DesktopXClient();
    DesktopXClient(const DesktopXClient&) = delete;
    DesktopXClient& operator=(const DesktopXClient&) = delete;

    bool ok() const { return m_connection != nullptr; }

    // Maps a plain window of its own and gives it the input focus.
    xcb_window_t showFocusedWindow();
    xcb_window_t focusedWindow();

    // Grabs keycode + modifiers + a lock variant on the root window; true when the server granted it.
    bool grabKey(xcb_keycode_t keycode, std::uint16_t modifiers, std::uint16_t lockVariant = 0);
    xcb_keycode_t keycodeOf(xcb_keysym_t keysym);

    xcb_window_t selectionOwner(const QByteArray& selection);
    // Windows below a window of class "trayer" whose WM_CLASS contains the text.
    QList<xcb_window_t> dockedWindows(const QString& wmClassPart);
    // Centre of a window in root coordinates.
    QPoint centreOf(xcb_window_t window);
    QString wmClass(xcb_window_t window);

private:
    void collectDocked(xcb_window_t window, bool underTrayHost, const QString& wmClassPart,
                       QList<xcb_window_t>& found);

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_window_t m_window = XCB_WINDOW_NONE;
};
