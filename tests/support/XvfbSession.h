#pragma once

// A private X server for one desktop test binary (Xvfb -displayfd, so parallel runs never
// collide), started before main() builds the QApplication and ending with the process:
// static const bool underXvfb = XvfbSession::startForProcess();
// Points this process at it (DISPLAY, the xcb platform) without a session bus, so that the tray
// docks through XEmbed and nothing autolaunches a bus.
namespace XvfbSession {
bool startForProcess();
}
