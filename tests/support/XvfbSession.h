#pragma once

#include "support/SpawnedServer.h"

#include <QString>

// A private X server for one test process (Xvfb -displayfd, so parallel runs never collide).
// The server ends with the object, or with the test process if that is killed.
class XvfbSession {
public:
    XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    bool ok() const { return !m_display.isEmpty(); }
    QString display() const { return m_display; } // ":N"

    // For a desktop test binary: starts one server before main() builds the QApplication and
    // points this process at it (DISPLAY, the xcb platform, no session bus so that the tray
    // docks through XEmbed). Use as: static const bool underXvfb = XvfbSession::startForProcess();
    static bool startForProcess();

private:
    SpawnedServer m_server;
    QString m_display;
};
