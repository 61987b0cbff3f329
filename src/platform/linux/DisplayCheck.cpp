#include "platform/Platform.h"

#include <QByteArray>
#include <xcb/xcb.h>

namespace platform {

QString displayProblem(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]).startsWith("-platform") || QByteArray(argv[i]).startsWith("--platform"))
            return {};
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("no desktop session to show the tray icon in: DISPLAY is not set");
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (failed)
        return QStringLiteral("the X display \"%1\" cannot be opened").arg(display);
    return {};
}

} // namespace platform
