// How long a cancelled popup's window stays, per way of opening it: from the popup target's
// creation to its destruction as a separate DevTools client sees them, on a headful Chromium
// under Xvfb with the program's browser layer cancelling every popup. Printed as Markdown table
// rows; the last row says whether any popup address reached the server and whether every opener
// ran on. With --floor no program watches: the observing client closes each popup the moment the
// browser reports it, which is the least time any client can give a window.
#include "../BenchTiming.h"
#include "browser/PopupHarness.h"
#include "support/XvfbSession.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int PerKind = 40;

struct Kind {
    const char* name;
    const char* path;
    const char* click; // empty: the page opens its popups by itself
};

const Kind Kinds[] = {
    {"script (timer)", "/k-script.html", ""},
    {"click, then a timer", "/k-delay.html", "#b"},
    {"link, target=_blank", "/k-link.html", "#b"},
    {"noopener", "/k-noopener.html", "#b"},
    {"form posted to a new window", "/k-form.html", "#b"},
    {"about:blank written by script", "/k-blank.html", ""},
    {"from a cross-site frame", "/k-frame.html", ""},
    {"from a frame inside a cross-site frame", "/k-nested.html", ""},
};

void servePages(HttpTestServer& server) {
    const QByteArray ticker =
        "<script>let ticks = 0; setInterval(() => fetch('/tick?' + (++ticks)), 100);</script>";
    const QByteArray button = "<button id=b style='width:200px;height:80px'";
    const QByteArray repeat = "<script>let n = 0; const t = setInterval(() => { if (++n > " +
                              QByteArray::number(PerKind) + ") return clearInterval(t); ";
    server.setPage(u"/k-script.html"_s,
                   ticker + repeat + "window.open('/popup/script' + n); }, 300);</script>");
    server.setPage(u"/k-delay.html"_s,
                   ticker + button +
                       " onclick=\"setTimeout(() => window.open('/popup/delay'), 100)\">b</button>");
    server.setPage(u"/k-link.html"_s, ticker +
                                          "<a id=b href='/popup/link' target=_blank style='display:block;"
                                          "width:200px;height:80px'>link</a>");
    server.setPage(u"/k-noopener.html"_s,
                   ticker + button +
                       " onclick=\"window.open('/popup/noopener', '_blank', 'noopener')\">b</button>");
    server.setPage(u"/k-form.html"_s, ticker + "<form action='/popup/form' method=post target=_blank>" +
                                          button + ">b</button></form>");
    server.setPage(u"/k-blank.html"_s, ticker + repeat +
                                           "const w = window.open(''); if (w) { w.document.write('ad'); "
                                           "w.document.close(); } }, 300);</script>");
    const QByteArray frame =
        "<iframe src='" + server.url(u"frames.test"_s, u"/k-script.html"_s).toUtf8() + "'>";
    server.setPage(u"/k-frame.html"_s, ticker + frame + "</iframe>");
    server.setPage(u"/k-inner.html"_s, "<iframe srcdoc=\"" + repeat +
                                           "window.open('/popup/nested' + n); }, 300);" +
                                           "</script>\"></iframe>");
    const QByteArray nested =
        "<iframe src='" + server.url(u"frames.test"_s, u"/k-inner.html"_s).toUtf8() + "'>";
    server.setPage(u"/k-nested.html"_s, ticker + nested + "</iframe>");
}

} // namespace

int main(int argc, char** argv) {
    if (!XvfbSession::startForProcess())
        return 1;
    QApplication app(argc, argv);
    PopupHarness h(false);
    if (!h.failure().isEmpty()) {
        std::fprintf(stderr, "popup_lifetimes: %s\n", qUtf8Printable(h.failure()));
        return 1;
    }
    servePages(h.server);
    h.cancel = true;
    const bool floor = app.arguments().contains(u"--floor"_s);
    if (floor) {
        h.manager.reset();
        h.windows.reset();
    }

    // A client of its own that only watches targets come and go.
    platform::cdp::DevToolsConnection observer;
    QHash<QString, qint64> created;
    std::vector<double> lifetimes;
    QObject::connect(&observer, &platform::cdp::DevToolsConnection::eventReceived,
                     [&](const QString& method, const QJsonObject& params, const QString&) {
                         const QJsonObject info = params.value("targetInfo"_L1).toObject();
                         if (method == "Target.targetCreated"_L1 &&
                             !info.value("openerId"_L1).toString().isEmpty()) {
                             const QString target = info.value("targetId"_L1).toString();
                             created.insert(target, observer.receivedAt());
                             if (floor)
                                 observer.send(u"Target.closeTarget"_s, {{"targetId"_L1, target}});
                         } else if (method == "Target.targetDestroyed"_L1)
                             if (const qint64 at = created.take(params.value("targetId"_L1).toString()))
                                 lifetimes.push_back(static_cast<double>(observer.receivedAt() - at) / 1e6);
                     });
    observer.open(h.chromium->webSocketUrl());
    waitUntil([&] { return observer.isOpen(); });
    observer.send(u"Target.setDiscoverTargets"_s, {{"discover"_L1, true}});

    bool allRan = true;
    for (const Kind& kind : Kinds) {
        lifetimes.clear();
        const QString path = QString::fromLatin1(kind.path);
        const qint64 openedAt = h.server.nowMs();
        const QString tab = floor ? h.client->openTab(h.server.url(u"site-a.test"_s, path))
                                  : h.openTab(u"site-a.test"_s, path);
        waitUntil([&] { return h.server.count(u"/tick"_s, openedAt) > 0; });
        const QString session = h.client->attach(tab);
        for (int i = 0; *kind.click && i < PerKind; ++i) {
            const auto before = lifetimes.size();
            h.client->click(session, QString::fromLatin1(kind.click));
            waitUntil([&] { return lifetimes.size() > before; });
        }
        waitUntil([&] { return lifetimes.size() >= PerKind; }, 30000);
        const qint64 now = h.server.nowMs();
        allRan = allRan && waitUntil([&] { return h.server.count(u"/tick"_s, now) >= 3; });
        std::printf("| %s | %.0f ms | %.0f ms | %.0f ms | %zu |\n", kind.name, percentile(lifetimes, 0.5),
                    percentile(lifetimes, 0.95), percentile(lifetimes, 1.0), lifetimes.size());
        std::fflush(stdout);
        h.client->call(u"Target.closeTarget"_s, {{"targetId"_L1, tab}});
    }
    if (!floor)
        std::printf("| popup addresses that reached the server | %d | every opener ran on: %s | | |\n",
                    h.server.count(u"/popup"_s), allRan ? "yes" : "no");
    return 0;
}
