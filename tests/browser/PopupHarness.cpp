#include "PopupHarness.h"

#include "browser/clsIEWindow.h"

using platform::cdp::CdpShellWindows;

PopupHarness::PopupHarness(bool headless)
    : chromium(std::make_unique<ChromiumProcess>(headless)) {
    if (chromium->webSocketUrl().isEmpty())
        return;
    windows = std::make_unique<CdpShellWindows>(
        CdpShellWindows::endpointSources({chromium->webSocketUrl().toString()}));
    QObject::connect(windows.get(), &CdpShellWindows::popupResolved,
                     [this](const platform::cdp::PopupOutcome& outcome) { outcomes.append(outcome); });
    manager = std::make_unique<clsIEManager>(*windows);
    QObject::connect(manager.get(), &clsIEManager::NewWindow2,
                     [this](QObject*&, bool& Cancel, QVariant& key) {
                         Seen s;
                         s.key = key.toString();
                         if (clsIEWindow* opener = manager->Explorer(key)) {
                             s.openerUrl = opener->LocationURL();
                             try {
                                 s.userGesture = opener->Document()->parentWindowEventIsObject();
                             } catch (const std::exception&) {
                             }
                         }
                         seen.append(s);
                         if (whileDeciding)
                             whileDeciding();
                         Cancel = cancel;
                     });
    client = std::make_unique<BrowserTestClient>(chromium->webSocketUrl());
    waitUntil([this] { return windows->connectedCount() == 1 && manager->ExplorerCount() >= 1; });
}

PopupHarness::~PopupHarness() {
    manager.reset();
    windows.reset();
    client.reset();
}

QString PopupHarness::failure() const {
    if (!chromium->failure().isEmpty())
        return chromium->failure();
    if (!windows || windows->connectedCount() != 1)
        return QStringLiteral("the registry did not connect to chromium");
    if (!client || !client->isOpen())
        return QStringLiteral("the test client did not connect to chromium");
    return {};
}

QString PopupHarness::openTab(const QString& host, const QString& path) {
    const QString url = server.url(host, path);
    const QString target = client->openTab(url);
    waitUntil([&] { return windowAt(url) != nullptr; });
    return target;
}

clsIEWindow* PopupHarness::windowAt(const QString& url) const {
    for (clsIEWindow* window : manager->NewEnum()) {
        try {
            if (window->LocationURL() == url)
                return window;
        } catch (const std::exception&) {
        }
    }
    return nullptr;
}

bool PopupHarness::waitForOutcomes(int count, int timeoutMs) {
    return waitUntil([&] { return outcomes.size() >= count; }, timeoutMs);
}

int PopupHarness::requestsSince(const QString& pathPrefix, qint64 sinceMs) const {
    int n = 0;
    for (const auto& request : server.requests())
        if (request.path.startsWith(pathPrefix) && request.atMs >= sinceMs)
            ++n;
    return n;
}

void PopupHarness::servePopupPages() {
    // Every page ticks: a frozen page stops asking for /tick.
    const QByteArray ticker =
        "<script>let ticks = 0; setInterval(() => fetch('/tick?' + (++ticks)), 40);</script>";
    server.setPage(QStringLiteral("/onload.html"),
                   ticker + "<body onload=\"window.open('/popup/onload', '_blank')\">onload</body>");
    server.setPage(QStringLiteral("/timer.html"),
                   ticker +
                       "<script>setTimeout(() => window.open('/popup/timer', '_blank'), 150);</script>timer");
    server.setPage(QStringLiteral("/click.html"),
                   ticker +
                       "<button id=b style='position:absolute;left:10px;top:10px;width:200px;height:80px'"
                       " onclick=\"window.open('/popup/click', '_blank')\">open</button>");
    server.setPage(QStringLiteral("/link.html"),
                   ticker +
                       "<a id=a href='/popup/link' target=_blank style='position:absolute;left:10px;top:10px;"
                       "width:200px;height:80px;display:block'>link</a>");
    server.setPage(QStringLiteral("/outer.html"),
                   ticker + "<iframe src='" +
                       server.url(QStringLiteral("site-b.test"), QStringLiteral("/inner.html")).toUtf8() +
                       "'></iframe>");
    server.setPage(QStringLiteral("/inner.html"),
                   "<script>let t = 0; setInterval(() => fetch('/itick?' + (++t)), 40);</script>"
                   "<body onload=\"window.open('/popup/iframe', '_blank')\">inner</body>");
}
