#include "support/PrivateSessionBus.h"

#include <QtGlobal>
#include <cstdio>

PrivateSessionBus::PrivateSessionBus()
    : m_server({QStringLiteral("dbus-daemon"), QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--print-address={fd}")}) {}

bool PrivateSessionBus::startForProcess() {
    static PrivateSessionBus bus;
    if (bus.address().isEmpty()) {
        std::fprintf(stderr, "dbus-daemon could not be started\n");
        return false;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address());
    return true;
}
