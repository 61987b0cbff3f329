#include "platform/HotKeySource.h"
#include "platform/KeyState.h"
#include "platform/Platform.h"
#include "platform/TrayHost.h"
#include "platform/WavePlayer.h"
#include "platform/common/BrowserKeyState.h"
#include "platform/common/QtNotifyIcon.h"
#include "platform/linux/CanberraWavePlayer.h"
#include "platform/linux/PortalHotKeySource.h"
#include "platform/linux/X11HotKeySource.h"
#include "platform/linux/X11KeyState.h"
#include "platform/linux/X11Keys.h"
#include "platform/linux/X11TrayHostWatch.h"

// Without an X server (offscreen, native Wayland) there is no global keyboard and no tray host:
// the services answer "nothing held", "refused" and "no host". On a Wayland desktop the hot-key
// goes through the desktop portal, even where XWayland would take an X grab that sees only
// XWayland's own windows.
namespace platform {

std::unique_ptr<KeyState> makeKeyState() {
    if (isWaylandSession())
        return std::make_unique<BrowserKeyState>();
    if (const auto x = x11::display())
        return std::make_unique<X11KeyState>(x->connection);
    return std::make_unique<NoKeysHeld>();
}

std::unique_ptr<HotKeySource> makeHotKeySource() {
    // Never both: one press would toggle twice.
    if (isWaylandSession())
        return std::make_unique<PortalHotKeySource>();
    if (const auto x = x11::display())
        return std::make_unique<X11HotKeySource>(x->connection, x->root);
    return std::make_unique<NoHotKeys>();
}

std::unique_ptr<TrayHostWatch> makeTrayHostWatch() {
    if (const auto x = x11::display())
        return std::make_unique<X11TrayHostWatch>(x->connection, x->root, x->screen);
    return std::make_unique<NoTrayHost>();
}

std::unique_ptr<NotifyIcon> makeDesktopNotifyIcon() {
    return std::make_unique<QtNotifyIcon>();
}

std::unique_ptr<WavePlayer> makeWavePlayer() {
    return std::make_unique<CanberraWavePlayer>();
}

} // namespace platform
