#include "support/XvfbSession.h"

#include "support/SpawnedServer.h"

#include <QtGlobal>
#include <cstdio>

bool XvfbSession::startForProcess() {
    static const SpawnedServer server(
        QStringLiteral("Xvfb -displayfd {fd} -nolisten tcp -screen 0 1024x768x24 -noreset").split(u' '));
    if (server.line().isEmpty()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return false;
    }
    qputenv("DISPLAY", ":" + server.line());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zor-no-bus");
    return true;
}
