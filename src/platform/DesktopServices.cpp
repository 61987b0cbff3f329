// Accessors for the desktop services: key state, hot-key source, tray host, notification icon
// and wave player. Each is made on first use by the operating system's maker.
#include "platform/HotKeySource.h"
#include "platform/KeyState.h"
#include "platform/TrayHost.h"
#include "platform/WavePlayer.h"

#include <utility>

namespace platform {

// One of each per operating system (src/platform/<os>/).
std::unique_ptr<KeyState> makeKeyState();
std::unique_ptr<HotKeySource> makeHotKeySource();
std::unique_ptr<TrayHostWatch> makeTrayHostWatch();
std::unique_ptr<NotifyIcon> makeDesktopNotifyIcon();
std::unique_ptr<WavePlayer> makeWavePlayer();

namespace {
template <typename Service> std::unique_ptr<Service>& slot() {
    static std::unique_ptr<Service> instance;
    return instance;
}
template <typename Service, typename Maker> Service& service(Maker make) {
    auto& instance = slot<Service>();
    if (!instance)
        instance = make();
    return *instance;
}
NotifyIconFactory& notifyIconFactory() {
    static NotifyIconFactory factory;
    return factory;
}
} // namespace

KeyState& keyState() {
    return service<KeyState>(makeKeyState);
}
std::unique_ptr<KeyState> setKeyState(std::unique_ptr<KeyState> replacement) {
    return std::exchange(slot<KeyState>(), std::move(replacement));
}

HotKeySource& hotKeySource() {
    return service<HotKeySource>(makeHotKeySource);
}
std::unique_ptr<HotKeySource> setHotKeySource(std::unique_ptr<HotKeySource> replacement) {
    return std::exchange(slot<HotKeySource>(), std::move(replacement));
}

TrayHostWatch& trayHostWatch() {
    return service<TrayHostWatch>(makeTrayHostWatch);
}
std::unique_ptr<TrayHostWatch> setTrayHostWatch(std::unique_ptr<TrayHostWatch> replacement) {
    return std::exchange(slot<TrayHostWatch>(), std::move(replacement));
}

std::unique_ptr<NotifyIcon> makeNotifyIcon() {
    const auto& factory = notifyIconFactory();
    return factory ? factory() : makeDesktopNotifyIcon();
}
NotifyIconFactory setNotifyIconFactory(NotifyIconFactory factory) {
    return std::exchange(notifyIconFactory(), std::move(factory));
}

WavePlayer& wavePlayer() {
    return service<WavePlayer>(makeWavePlayer);
}
std::unique_ptr<WavePlayer> setWavePlayer(std::unique_ptr<WavePlayer> replacement) {
    return std::exchange(slot<WavePlayer>(), std::move(replacement));
}

} // namespace platform
