#include "platform/common/BrowserKeyState.h"

namespace platform {

namespace {
// Reports and reads both come on the GUI thread.
bool g_ctrl = false;
bool g_shift = false;
constexpr std::int16_t Down = static_cast<std::int16_t>(0x8000);
// Virtual-key codes: either Shift, either Ctrl, then each of them.
constexpr std::int32_t VkShift = 0x10, VkCtrl = 0x11, VkLShift = 0xa0, VkRShift = 0xa1, VkLCtrl = 0xa2,
                       VkRCtrl = 0xa3;
} // namespace

void BrowserKeyState::report(bool ctrl, bool shift) {
    g_ctrl = ctrl;
    g_shift = shift;
}

std::int16_t BrowserKeyState::GetKeyState(std::int32_t virtualKey) {
    switch (virtualKey) {
    case VkCtrl:
    case VkLCtrl:
    case VkRCtrl:
        return g_ctrl ? Down : 0;
    case VkShift:
    case VkLShift:
    case VkRShift:
        return g_shift ? Down : 0;
    default:
        return 0;
    }
}

} // namespace platform
