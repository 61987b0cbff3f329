#include "PopupHarness.h"
#include "browser/clsIEWindow.h"
#include "support/ChromiumProxy.h"

#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

using platform::cdp::CdpShellWindows;

namespace {

TEST(ChromiumRegistry, tabsOfOneWindowShareAHandleAndOpeningOrClosingRebuilds) {
    PopupHarness h;
    ASSERT_EQ(h.failure(), QString());
    h.server.setPage(QStringLiteral("/a.html"), "a");
    h.server.setPage(QStringLiteral("/b.html"), "b");
    const int before = h.manager->ExplorerCount();
    h.openTab(QStringLiteral("site-a.test"), QStringLiteral("/a.html"));
    const QString second = h.openTab(QStringLiteral("site-b.test"), QStringLiteral("/b.html"));
    ASSERT_EQ(h.manager->ExplorerCount(), before + 2);

    clsIEWindow* a = h.windowAt(h.server.url(QStringLiteral("site-a.test"), QStringLiteral("/a.html")));
    clsIEWindow* b = h.windowAt(h.server.url(QStringLiteral("site-b.test"), QStringLiteral("/b.html")));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->hWnd(), b->hWnd()) << "tabs of one window share its handle";
    QStringList keys;
    for (clsIEWindow* w : h.manager->NewEnum())
        keys.append(w->Key.toString());
    EXPECT_EQ(keys.removeDuplicates(), 0) << "keys stay unique: " << qPrintable(keys.join(u' '));
    EXPECT_TRUE(keys.contains(QStringLiteral("_%1").arg(a->hWnd())));
    EXPECT_TRUE(
        waitUntil([&] { return b->Document() && b->Document()->domain() == QStringLiteral("site-b.test"); }));
    EXPECT_EQ(a->LocationName().isNull(), false);

    h.client->call(QStringLiteral("Target.closeTarget"), {{QStringLiteral("targetId"), second}});
    ASSERT_TRUE(waitUntil([&] { return h.manager->ExplorerCount() == before + 1; })) << "closing rebuilds";
    EXPECT_EQ(h.windowAt(h.server.url(QStringLiteral("site-b.test"), QStringLiteral("/b.html"))), nullptr);
}

TEST(ChromiumRegistry, aReconnectInTheMiddleOfAHeldPopupLeavesNoFrozenPageAndAsksOnce) {
    PopupHarness h;
    ASSERT_EQ(h.failure(), QString());
    h.servePopupPages();
    // The registry reaches the browser through a relay the test can cut.
    ChromiumProxy proxy(h.chromium->port());
    QUrl relayed = h.chromium->webSocketUrl();
    relayed.setPort(proxy.port());
    h.manager.reset();
    h.windows = std::make_unique<CdpShellWindows>(CdpShellWindows::endpointSources({relayed.toString()}));
    QObject::connect(h.windows.get(), &CdpShellWindows::popupResolved,
                     [&](const platform::cdp::PopupOutcome& outcome) { h.outcomes.append(outcome); });
    h.manager = std::make_unique<clsIEManager>(*h.windows);
    int asked = 0;
    QObject::connect(h.manager.get(), &clsIEManager::NewWindow2, [&](QObject*&, bool& Cancel, QVariant&) {
        ++asked;
        proxy.dropAll();
        // A modal box: events keep flowing while the user reads it, and the program reconnects.
        QEventLoop box;
        QObject::connect(h.windows.get(), &CdpShellWindows::browserConnected, &box, &QEventLoop::quit);
        QTimer::singleShot(5000, &box, &QEventLoop::quit);
        box.exec();
        Cancel = true;
    });
    ASSERT_TRUE(waitUntil([&] { return h.windows->connectedCount() == 1; }));

    h.openTab(QStringLiteral("site-a.test"), QStringLiteral("/timer.html"));
    ASSERT_TRUE(h.waitForOutcomes(1, 20000)) << "the popup is resolved after the reconnect";
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(h.outcomes[0].cancelled);
    EXPECT_GE(proxy.accepted(), 2);
    const qint64 resolvedAt = h.server.nowMs();
    EXPECT_TRUE(waitUntil([&] { return h.requestsSince(QStringLiteral("/tick"), resolvedAt) >= 3; }))
        << "the opener runs on";
    EXPECT_EQ(h.server.count(QStringLiteral("/popup/timer")), 0);
}

} // namespace
