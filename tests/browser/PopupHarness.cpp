#include "PopupHarness.h"

#include "browser/clsIEWindow.h"

using platform::cdp::CdpShellWindows;

PopupHarness::PopupHarness(bool headless, bool ownPopupBlocker)
    : chromium(std::make_unique<ChromiumProcess>(headless, 0, ownPopupBlocker)) {
    if (chromium->webSocketUrl().isEmpty())
        return;
    windows = std::make_unique<CdpShellWindows>(
        CdpShellWindows::endpointSources({chromium->webSocketUrl().toString()}));
    QObject::connect(windows.get(), &CdpShellWindows::popupResolved,
                     [this](const platform::cdp::PopupOutcome& outcome) { outcomes.append(outcome); });
    QObject::connect(windows.get(), &CdpShellWindows::BrowserBlocksPopups, [this] { ++blockerNotices; });
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
    // Every frame ticks on its own address: a frozen frame stops asking for it.
    const auto tickerOn = [](const QByteArray& path) {
        return "<script>let ticks = 0; setInterval(() => fetch('" + path + "?' + (++ticks)), 40);</script>";
    };
    const QByteArray ticker = tickerOn("/tick");
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

    // Frames that run in a cross-site frame's renderer without a session of their own.
    const QByteArray frameScript = "<script>let n = 0; setInterval(() => fetch('/ftick?' + (++n)), 40);"
                                   "setTimeout(() => window.open('/popup/frame', '_blank'), 150);";
    const QList<std::pair<QString, QByteArray>> nested{
        {QStringLiteral("srcdoc"), "<iframe srcdoc=\"" + frameScript + "</script>\"></iframe>"},
        {QStringLiteral("written"),
         "<iframe id=w></iframe><script>const d = document.getElementById('w').contentDocument;"
         "d.write(\"" +
             frameScript + "<\\/script>\"); d.close();</script>"},
        {QStringLiteral("child"), "<iframe src='/child.html'></iframe>"}};
    for (const auto& [name, frame] : nested) {
        server.setPage(
            QStringLiteral("/nest-%1.html").arg(name),
            ticker + "<iframe src='" +
                server.url(QStringLiteral("site-b.test"), QStringLiteral("/mid-%1.html").arg(name)).toUtf8() +
                "'></iframe>");
        server.setPage(QStringLiteral("/mid-%1.html").arg(name), tickerOn("/mtick") + frame);
    }
    server.setPage(QStringLiteral("/child.html"), frameScript + "</script>");

    // Opens the browser's own blocker refuses, before and after the user's popup.
    const QByteArray refused = "<script>onload = () => { window.open('/popup/refused'); "
                               "window.open('/popup/refused'); };</script>";
    const QByteArray refuseLater = " onclick=\"setTimeout(() => window.open('/popup/refused'), 0)\"";
    const QByteArray box =
        " style='position:absolute;left:10px;top:10px;width:200px;height:80px;display:block'";
    server.setPage(QStringLiteral("/refused-click.html"),
                   ticker + refused + "<button id=b" + box +
                       " onclick=\"window.open('/popup/click')\">open</button>");
    server.setPage(QStringLiteral("/refused-link.html"), ticker + refused +
                                                             "<a id=a href='/popup/link' target=_blank" +
                                                             box + refuseLater + ">link</a>");
    server.setPage(QStringLiteral("/refused-form.html"),
                   ticker + refused + "<form action='/popup/form' target=_blank><button id=s" + box +
                       refuseLater + ">send</button></form>");
    // A sandboxed frame's refusal is no sign of the browser's blocker.
    server.setPage(
        QStringLiteral("/sandboxed.html"),
        ticker +
            "<iframe sandbox=allow-scripts srcdoc=\"<script>window.open('/popup/refused')</script>\">"
            "</iframe><button id=b" +
            box + " onclick=\"window.open('/popup/click')\">open</button>");
}
