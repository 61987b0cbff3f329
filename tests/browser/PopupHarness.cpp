#include "PopupHarness.h"

#include "browser/clsIEWindow.h"

using platform::cdp::CdpShellWindows;
using namespace Qt::StringLiterals;

PopupHarness::PopupHarness(bool headless, bool throughProxy)
    : chromium(std::make_unique<ChromiumProcess>(headless)) {
    servePopupPages();
    if (chromium->webSocketUrl().isEmpty())
        return;
    QUrl endpoint = chromium->webSocketUrl();
    if (throughProxy) {
        proxy = std::make_unique<ChromiumProxy>(chromium->port());
        endpoint.setPort(proxy->port());
    }
    windows = std::make_unique<CdpShellWindows>(CdpShellWindows::endpointSources({endpoint.toString()}));
    QObject::connect(windows.get(), &CdpShellWindows::popupResolved,
                     [this](const platform::cdp::PopupOutcome& outcome) { outcomes.append(outcome); });
    QObject::connect(windows.get(), &CdpShellWindows::BrowserBlocksPopups, [this] { ++blockerNotices; });
    manager = std::make_unique<clsIEManager>(*windows);
    QObject::connect(manager.get(), &clsIEManager::NewWindow2,
                     [this](QObject*&, bool& Cancel, QVariant& key) {
                         Seen s;
                         if (clsIEWindow* opener = manager->Explorer(key)) {
                             s.openerUrl = opener->LocationURL();
                             try {
                                 s.domain = opener->Document()->domain();
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

QString PopupHarness::failure() const {
    if (!chromium->failure().isEmpty())
        return chromium->failure();
    if (!windows || windows->connectedCount() != 1)
        return u"the registry did not connect to chromium"_s;
    if (!client || !client->isOpen())
        return u"the test client did not connect to chromium"_s;
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

void PopupHarness::servePopupPages() {
    // Every frame ticks on its own address: a frozen frame stops asking for it.
    const auto tickerOn = [](const QByteArray& path) {
        return "<script>let ticks = 0; setInterval(() => fetch('" + path + "?' + (++ticks)), 40);</script>";
    };
    const QByteArray ticker = tickerOn("/tick");
    const QByteArray box =
        " style='position:absolute;left:10px;top:10px;width:200px;height:80px;display:block'";
    server.setPage(u"/click.html"_s,
                   ticker + "<button id=b" + box + " onclick=\"window.open('/popup/click')\">open</button>");
    server.setPage(u"/timer.html"_s,
                   ticker + "<script>setTimeout(() => window.open('/popup/timer'), 150);</script>");
    const auto crossSiteFrame = [&](const QString& path) {
        return ticker + "<iframe src='" + server.url(u"site-b.test"_s, path).toUtf8() + "'></iframe>";
    };
    server.setPage(u"/outer.html"_s, crossSiteFrame(u"/inner.html"_s));
    server.setPage(u"/inner.html"_s,
                   tickerOn("/itick") +
                       "<body onload=\"window.open('/popup/iframe', '_blank')\">inner</body>");
    // A frame that runs in the cross-site frame's renderer without a session of its own.
    server.setPage(u"/nest.html"_s, crossSiteFrame(u"/mid.html"_s));
    server.setPage(u"/mid.html"_s, tickerOn("/mtick") + "<iframe srcdoc=\"" + tickerOn("/ftick") +
                                       "<script>setTimeout(() => window.open('/popup/frame', '_blank'), 150);"
                                       "</script>\"></iframe>");
    // A sandboxed frame's refusal is no sign of the browser's blocker.
    server.setPage(
        u"/sandboxed.html"_s,
        ticker +
            "<iframe sandbox=allow-scripts srcdoc=\"<script>window.open('/popup/refused')</script>\">"
            "</iframe><button id=b" +
            box + " onclick=\"window.open('/popup/click')\">open</button>");
}
