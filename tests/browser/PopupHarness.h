#pragma once

#include "browser/clsIEManager.h"
#include "platform/cdp/CdpShellWindows.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProcess.h"
#include "support/ChromiumProxy.h"
#include "support/HttpTestServer.h"

#include <memory>
#include <optional>

// A real headless Chromium watched by a registry over the DevTools protocol, pages from a local server,
// and a listener that answers every new-window request as told and records what it saw.
class PopupHarness {
public:
    struct Seen {
        QString openerUrl;
        std::optional<bool> userGesture; // empty: the read failed
        QString domain;                  // of the opener's document
    };

    // throughProxy: the registry reaches the browser through a proxy the test can cut.
    explicit PopupHarness(bool headless = true, bool throughProxy = false);
    QString failure() const;

    HttpTestServer server;
    std::unique_ptr<ChromiumProcess> chromium;
    std::unique_ptr<ChromiumProxy> proxy;
    std::unique_ptr<BrowserTestClient> client;
    // Declared in this order so that they end the other way round: the registry before its windows.
    std::unique_ptr<platform::cdp::CdpShellWindows> windows;
    std::unique_ptr<clsIEManager> manager;

    bool cancel = true;
    // Runs inside the listener before it answers, as a modal box would.
    std::function<void()> whileDeciding;
    QList<Seen> seen;
    QList<platform::cdp::PopupOutcome> outcomes;
    int blockerNotices = 0;

    // Opens a tab at http://<host>:<port><path> and waits until the registry lists it; returns
    // its target id.
    QString openTab(const QString& host, const QString& path);
    // Whether the registry lists a window at the address.
    clsIEWindow* windowAt(const QString& url) const;

    // The pages, served from the start: a click and a timer popup, a cross-site iframe's popup, a
    // popup from a frame inside a cross-site frame, and a click popup after a sandboxed frame's
    // refused one.
    void servePopupPages();
};
