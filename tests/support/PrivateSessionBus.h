#pragma once

// A session bus of the test's own (dbus-daemon --session), so stand-ins for desktop services
// can take their well-known names. Start it before anything in the process uses the session
// bus: static const bool onBus = PrivateSessionBus::startForProcess();
namespace PrivateSessionBus {
bool startForProcess();
}
