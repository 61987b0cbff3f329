#include "support/PrivateSessionBus.h"

#include "support/SpawnedServer.h"

#include <QtGlobal>
#include <cstdio>

bool PrivateSessionBus::startForProcess() {
    static const SpawnedServer bus(
        QStringLiteral("dbus-daemon --session --nofork --print-address={fd}").split(u' '));
    if (bus.line().isEmpty()) {
        std::fprintf(stderr, "dbus-daemon could not be started\n");
        return false;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.line());
    return true;
}
