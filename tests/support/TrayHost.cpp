#include "support/TrayHost.h"

#include "support/DesktopXClient.h"

#include <QDeadlineTimer>
#include <QThread>

TrayHost::~TrayHost() {
    stop();
}

std::uint32_t TrayHost::owner() {
    DesktopXClient client;
    return client.ok() ? client.selectionOwner("_NET_SYSTEM_TRAY_S0") : 0;
}

bool TrayHost::start() {
    if (!m_process.start(
            QStringLiteral("trayer"),
            QStringLiteral("--edge top --align right --widthtype request --height 32 --SetDockType true")
                .split(u' ')))
        return false;
    for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(20))
        if (owner() != 0)
            return true;
    return false;
}

void TrayHost::stop() {
    m_process.stop();
    for (QDeadlineTimer deadline(3000); !deadline.hasExpired() && owner() != 0;)
        QThread::msleep(20);
}
