#pragma once

#include "platform/KeyState.h"

namespace platform {

// Ctrl and Shift as the watched browsers last saw them, for desktops where no program may read
// the keyboard globally (Wayland): the modifiers of the last trusted key or mouse event a page
// received, which is the page the user is working in.
class BrowserKeyState final : public KeyState {
public:
    std::int16_t GetKeyState(std::int32_t virtualKey) override;

    // From a browser's report; a page can neither see nor fake these.
    static void report(bool ctrl, bool shift);
};

} // namespace platform
