#include "platform/HotKeySource.h"
#include "platform/KeyState.h"
#include "platform/TrayHost.h"
#include "platform/WavePlayer.h"
#include "platform/common/QtNotifyIcon.h"
#include "platform/linux/CanberraWavePlayer.h"
#include "platform/linux/X11HotKeySource.h"
#include "platform/linux/X11KeyState.h"
#include "platform/linux/X11Keys.h"
#include "platform/linux/X11TrayHostWatch.h"

// Without an X server (offscreen, native Wayland) there is no global keyboard and no tray host:
// the services answer "nothing held", "refused" and "no host".
namespace platform {

std::unique_ptr<KeyState> makeKeyState() {
    if (const auto x = x11::display())
        return std::make_unique<X11KeyState>(x->connection);
    return std::make_unique<NoKeysHeld>();
}

std::unique_ptr<HotKeySource> makeHotKeySource() {
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
