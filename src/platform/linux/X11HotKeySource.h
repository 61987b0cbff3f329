#pragma once

#include "platform/HotKeySource.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QList>
#include <xcb/xcb.h>

namespace platform {

// Key grabs on the root window of Qt's X connection. Each combination is grabbed with every
// Caps Lock / Num Lock variant, so it works whatever the lock keys are; presses are matched with
// the lock bits masked off.
class X11HotKeySource final : public HotKeySource, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    X11HotKeySource(xcb_connection_t* connection, xcb_window_t root);
    ~X11HotKeySource() override;

    bool grab(std::int32_t id, std::int32_t virtualKey, std::int32_t modifiers) override;
    void release(std::int32_t id) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        QList<xcb_keycode_t> keycodes;
        std::uint16_t modifiers = 0;
    };
    QList<std::uint16_t> lockVariants() const;
    void ungrab(const Grab& grab);

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    std::uint16_t m_numLock = 0;
    QHash<std::int32_t, Grab> m_grabs;
};

} // namespace platform
