#include "support/XvfbSession.h"

#include <QtGlobal>
#include <cstdio>

XvfbSession::XvfbSession()
    : m_server({QStringLiteral("Xvfb"), QStringLiteral("-displayfd"), QStringLiteral("{fd}"),
                QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-noreset")}) {
    if (!m_server.line().isEmpty())
        m_display = QStringLiteral(":") + QString::fromLatin1(m_server.line());
}

bool XvfbSession::startForProcess() {
    static XvfbSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return false;
    }
    qputenv("DISPLAY", session.display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("WAYLAND_DISPLAY");
    // No session bus: Qt then docks tray icons through XEmbed, and nothing autolaunches a bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zor-no-bus");
    return true;
}
