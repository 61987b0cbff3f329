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

constexpr std::int16_t KeyDown = std::int16_t(0x8000);
constexpr std::int32_t VirtualKeyShift = 16;
constexpr std::int32_t VirtualKeyControl = 17;
constexpr std::int16_t CtrlReported = 1;
constexpr std::int16_t ShiftReported = 2;
std::int16_t reportedKeys = 0;

// The keyboard as the installed reader sees it, plus what a browser reported.
class WithReportedKeys final : public KeyState {
public:
    std::int16_t GetKeyState(std::int32_t virtualKey) override {
        const std::int16_t read = service<KeyState>(makeKeyState).GetKeyState(virtualKey);
        const bool reported = (virtualKey == VirtualKeyControl && (reportedKeys & CtrlReported)) ||
                              (virtualKey == VirtualKeyShift && (reportedKeys & ShiftReported));
        return reported ? std::int16_t(read | KeyDown) : read;
    }
};
} // namespace

BrowserReportedKeys::BrowserReportedKeys(bool ctrl, bool shift)
    : m_previous(std::exchange(reportedKeys,
                               std::int16_t((ctrl ? CtrlReported : 0) | (shift ? ShiftReported : 0)))) {}

BrowserReportedKeys::~BrowserReportedKeys() {
    reportedKeys = m_previous;
}

KeyState& keyState() {
    static WithReportedKeys keys;
    return keys;
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
