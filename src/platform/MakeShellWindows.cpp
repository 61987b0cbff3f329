#include "platform/BrowserOptions.h"
#include "platform/MultiShellWindows.h"
#include "platform/Platform.h"
#include "platform/cdp/CdpShellWindows.h"
#include "platform/firefox/FirefoxShellWindows.h"
#include "platform/firefox/wire/ExtensionMessage.h"

#include <QCoreApplication>

namespace platform {

std::unique_ptr<ShellWindows> makeShellWindows() {
    // Endpoints may also be kept in the settings, separated by spaces or commas.
    QStringList endpoints = browserEndpoints();
    const QString stored =
        settings().GetSetting(QCoreApplication::applicationName(), QStringLiteral("General"),
                              QStringLiteral("Browsers"), QString());
    endpoints += QString(stored).replace(u',', u' ').simplified().split(u' ', Qt::SkipEmptyParts);
    auto windows = std::make_unique<MultiShellWindows>();
    auto chromium = std::make_unique<cdp::CdpShellWindows>(
        endpoints.isEmpty() ? cdp::CdpShellWindows::profileSources()
                            : cdp::CdpShellWindows::endpointSources(endpoints));
    // The browsers --launch-browser started, before this start and from now on.
    chromium->watchHolders();
    windows->add(std::move(chromium));
    // Firefox speaks no DevTools protocol: its companion extension reaches us through a relay.
    windows->add(std::make_unique<firefox::FirefoxShellWindows>(firefox::relaySocketFolder()));
    return windows;
}

} // namespace platform
