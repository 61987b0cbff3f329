#pragma once

#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"

#include <QString>
#include <memory>

namespace platform {

// The services the program reaches through this layer. Each starts as the real
// implementation on first use; tests put their own in place (the previous one is returned,
// so a test can put it back).
Dialogs& dialogs();
Registry& registry();
SettingsStore& settings();

std::unique_ptr<Dialogs> setDialogs(std::unique_ptr<Dialogs> replacement);
std::unique_ptr<Registry> setRegistry(std::unique_ptr<Registry> replacement);
std::unique_ptr<SettingsStore> setSettings(std::unique_ptr<SettingsStore> replacement);

// The running executable, links resolved.
QString executablePath();

// True only when the program talks to a real X server (not offscreen, not Wayland-native):
// key grabs, key state and the tray-host watch need one.
bool isX11();

// True on a Wayland desktop, even when the program itself talks to XWayland: the X server then
// sees neither the keyboard nor other programs' windows. ZOR_SESSION_TYPE=wayland or x11 decides
// instead of the session's own variables.
bool isWaylandSession();

// Why the desktop's display cannot be used, or nothing when it can: asked before the graphical
// application starts, which otherwise ends the process with an abort. Only the X display the
// program would draw through is tried, not a platform chosen on purpose (-platform,
// QT_QPA_PLATFORM) or a Wayland one.
QString displayProblem(int argc, char* argv[]);

// The name the program goes by with the desktop (portals, the desktop file it installs).
inline constexpr char AppId[] = "zor.brakkon.ZORBrakkon";

} // namespace platform
