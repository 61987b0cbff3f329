#include "support/XvfbSession.h"

#include "support/DesktopProcess.h"

#include <cstdio>

bool XvfbSession::startForProcess() {
    static DesktopProcess server;
    static const QString display = [] {
        // -displayfd: Xvfb picks a free display and writes its number on our stdout.
        server.start(QStringLiteral("Xvfb"),
                     QStringLiteral("-displayfd 1 -nolisten tcp -screen 0 1024x768x24 -noreset").split(u' '));
        return server
            .awaitOutput(QRegularExpression(QStringLiteral("^(\\d+)\n"), QRegularExpression::MultilineOption),
                         10000)
            .captured(1);
    }();
    if (display.isEmpty()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return false;
    }
    qputenv("DISPLAY", (u':' + display).toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zor-no-bus");
    return true;
}
