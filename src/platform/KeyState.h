#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// Reads of the global keyboard state by virtual-key code, as the key poll needs them.
class KeyState {
public:
    virtual ~KeyState() = default;
    // Bit 15 (0x8000) is set while the key is held down, whichever program has the focus.
    virtual std::int16_t GetKeyState(std::int32_t virtualKey) = 0;
};

// Answers "nothing held" for every key; used where the display system has no global key state.
class NoKeysHeld final : public KeyState {
public:
    std::int16_t GetKeyState(std::int32_t) override { return 0; }
};

// What a browser reported of Ctrl and Shift with the new-window request being decided. While
// an object lives, keyState() counts those keys as held on top of what the keyboard says: on
// desktops where the keyboard cannot be read globally (Wayland) this is all the program has.
class BrowserReportedKeys {
public:
    BrowserReportedKeys(bool ctrl, bool shift);
    ~BrowserReportedKeys();
    BrowserReportedKeys(const BrowserReportedKeys&) = delete;
    BrowserReportedKeys& operator=(const BrowserReportedKeys&) = delete;

private:
    std::int16_t m_previous;
};

// The X11 reader when the program talks to an X server, otherwise NoKeysHeld; either with the
// keys a browser reports added in.
KeyState& keyState();
// Puts a replacement in place and returns the previous one (null if none was made yet).
std::unique_ptr<KeyState> setKeyState(std::unique_ptr<KeyState> replacement);

} // namespace platform
