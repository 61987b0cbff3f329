#include "support/PrivateSessionBus.h"

#include "support/DesktopProcess.h"

#include <cstdio>

bool PrivateSessionBus::startForProcess() {
    static DesktopProcess bus;
    static const QString address = [] {
        bus.start(QStringLiteral("dbus-daemon"),
                  QStringLiteral("--session --nofork --print-address").split(u' '));
        return bus
            .awaitOutput(
                QRegularExpression(QStringLiteral("^(unix:\\S+)\n"), QRegularExpression::MultilineOption),
                10000)
            .captured(1);
    }();
    if (address.isEmpty()) {
        std::fprintf(stderr, "dbus-daemon could not be started\n");
        return false;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLocal8Bit());
    return true;
}
