#pragma once

#include "support/DesktopProcess.h"

#include <cstdint>

// An XEmbed tray host (trayer) on the test's X server, docked at the top right.
class TrayHost {
public:
    ~TrayHost();

    // Starts trayer and waits until it owns the tray selection; false when it did not.
    bool start();
    // Ends trayer and waits until the selection has no owner.
    void stop();
    // The window owning _NET_SYSTEM_TRAY_S0 (0 when none).
    static std::uint32_t owner();

private:
    DesktopProcess m_process;
};
