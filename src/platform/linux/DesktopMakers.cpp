#include "platform/HotKeySource.h"
#include "platform/KeyState.h"
#include "platform/Platform.h"
#include "platform/TrayHost.h"
#include "platform/WavePlayer.h"
#include "platform/common/QtNotifyIcon.h"

namespace platform {

namespace {
// Until the sound server is wired up: no output, so callers warn and play nothing.
class NoWavePlayer final : public WavePlayer {
public:
    bool hasOutputDevice() override { return false; }
    bool play(const QString&, const Options&) override { return false; }
    void stop() override {}
    bool isPlaying() const override { return false; }
};
} // namespace

std::unique_ptr<KeyState> makeKeyState() {
    return std::make_unique<NoKeysHeld>();
}

std::unique_ptr<HotKeySource> makeHotKeySource() {
    return std::make_unique<NoHotKeys>();
}

std::unique_ptr<TrayHostWatch> makeTrayHostWatch() {
    return std::make_unique<NoTrayHost>();
}

std::unique_ptr<NotifyIcon> makeDesktopNotifyIcon() {
    return std::make_unique<QtNotifyIcon>();
}

std::unique_ptr<WavePlayer> makeWavePlayer() {
    return std::make_unique<NoWavePlayer>();
}

} // namespace platform
