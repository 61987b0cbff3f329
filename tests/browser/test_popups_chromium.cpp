// A real headless Chromium watched by the registry alone: what the whole-program corpus cannot
// see from outside (frames of other sites that must run on after a popup is decided, the opener's
// key and gesture as the listener reads them, a page's data never sent back as script).
#include "PopupHarness.h"
#include "browser/clsIEWindow.h"
#include "platform/cdp/DevToolsBrowser.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
using platform::cdp::CdpShellWindows;
using platform::cdp::DevToolsBrowser;

struct PopupCase {
    const char* name;
    const char* page;
    const char* clickSelector; // empty: the page opens the popup by itself
    const char* popupHost;
    const char* popupPath;
    const char* tickPaths; // what the page's frames fetch while they run, blank-separated
    // Chromium holds a popup by pausing its opener's renderer, and any resume that renderer takes
    // in ends the pause: here another client's, standing for a new tab's resume that arrives late
    // or the opener's own release. The popup's navigation then starts before it is decided, and
    // must still wait for the answer.
    bool openerResumedEarly = false;
    // The opener's window.open is reported after its popup, as a busy browser may.
    bool openReportedLate = false;
    // No frame navigation is reported: the new tab's document committed in a renderer that had
    // no DevTools agent attached yet.
    bool navigationUnreported = false;
    // The browser answers late which window holds the opener, so the opener is listed seconds
    // after its popup arrived.
    bool openerListedLate = false;
};

// Popups from frames in another site's renderer, one without a session of its own; a sandboxed
// frame's refusal, which is no sign of the browser's own blocker; a held click popup whose opener
// is resumed before the decision; a popup that arrives before its window.open, one without a
// reported navigation, one whose opener is listed late.
const PopupCase popupCases[] = {
    {"cross_site_iframe", "/outer.html", "", "site-b.test", "/popup/iframe", "/tick /itick"},
    {"srcdoc_in_cross_site_frame", "/nest.html", "", "site-b.test", "/popup/frame", "/tick /mtick /ftick"},
    {"click_after_sandboxed_refusal", "/sandboxed.html", "#b", "site-a.test", "/popup/click", "/tick"},
    {"click_opener_resumed_early", "/click.html", "#b", "site-a.test", "/popup/click", "/tick", true},
    {"click_reported_late", "/click.html", "#b", "site-a.test", "/popup/click", "/tick", false, true},
    {"click_navigation_unreported", "/click.html", "#b", "site-a.test", "/popup/click", "/tick", false, false,
     true},
    {"timer_opener_listed_late", "/timer.html", "", "site-a.test", "/popup/timer", "/tick", false, false,
     false, true},
};

class RealChromiumPopups : public ::testing::TestWithParam<std::tuple<PopupCase, bool>> {};

TEST_P(RealChromiumPopups, listenerSeesOpenerKeyAndGestureAndItsAnswerIsObeyed) {
    const PopupCase& popup = std::get<0>(GetParam());
    const bool cancel = std::get<1>(GetParam());
    PopupHarness h(true, popup.openReportedLate || popup.navigationUnreported || popup.openerListedLate);
    ASSERT_EQ(h.failure(), QString());
    if (popup.openReportedLate)
        h.proxy->deliverLate({"Page.windowOpen"});
    if (popup.navigationUnreported)
        h.proxy->drop({"Page.frameNavigated"});
    h.cancel = cancel;
    const QStringList tickPaths = QString::fromLatin1(popup.tickPaths).split(u' ');
    const auto allTick = [&](qint64 sinceMs, int ticks) {
        return waitUntil([&] {
            return std::all_of(tickPaths.begin(), tickPaths.end(),
                               [&](const QString& path) { return h.server.count(path, sinceMs) >= ticks; });
        });
    };
    const auto ticksSince = [&](qint64 sinceMs) {
        QStringList counts;
        for (const QString& path : tickPaths)
            counts << u"%1: %2"_s.arg(path).arg(h.server.count(path, sinceMs));
        return counts.join(u", "_s).toStdString();
    };

    const QString openerUrl = h.server.url(u"site-a.test"_s, QString::fromLatin1(popup.page));
    if (popup.openerListedLate)
        h.proxy->holdAnswers("\"windowId\"");
    const QString target = h.client->openTab(openerUrl);
    if (popup.openerListedLate) {
        ASSERT_TRUE(waitUntil([&] { return h.proxy->popupsAttached() == 1; }));
        // Longer than a popup waits for an opener the browser has not reported at all.
        waitUntil([] { return false; }, 4000);
        EXPECT_TRUE(h.outcomes.isEmpty()) << "the popup waits for its opener to be listed";
        h.proxy->releaseAnswers();
    }
    ASSERT_TRUE(waitUntil([&] { return h.windowAt(openerUrl) != nullptr; })) << "the opener tab is listed";

    const QString popupPath = QString::fromLatin1(popup.popupPath);
    int requestedWhileHeld = 0;
    if (*popup.clickSelector) {
        ASSERT_TRUE(waitUntil([&] { return h.server.count(u"/tick"_s) > 0; })) << "the page runs";
        const QString session = h.client->attach(target);
        if (popup.openerResumedEarly)
            h.whileDeciding = [&, session] {
                h.client->call(u"Runtime.runIfWaitingForDebugger"_s, {}, session);
                // Time enough for the navigation to reach the server had nothing stopped it.
                waitUntil([] { return false; }, 500);
                requestedWhileHeld = h.server.count(popupPath);
            };
        h.client->click(session, QString::fromLatin1(popup.clickSelector));
    }
    ASSERT_TRUE(waitUntil([&] { return !h.outcomes.isEmpty(); }, 15000)) << "the popup was decided";
    EXPECT_EQ(requestedWhileHeld, 0) << "nothing is requested before the decision";
    ASSERT_EQ(h.seen.size(), 1);
    EXPECT_EQ(h.seen[0].openerUrl, openerUrl) << "the key names the opener";
    EXPECT_EQ(h.seen[0].domain, u"site-a.test"_s) << "the denied list is searched for the opener's site";
    EXPECT_EQ(h.seen[0].userGesture, std::optional<bool>(*popup.clickSelector != '\0'))
        << "a click's popup has one";
    EXPECT_TRUE(h.outcomes[0].asked);
    EXPECT_EQ(h.outcomes[0].cancelled, cancel);
    EXPECT_EQ(h.blockerNotices, 0);

    const qint64 decidedAt = h.server.nowMs();
    const QString popupUrl = h.server.url(QString::fromLatin1(popup.popupHost), popupPath);
    if (cancel) {
        EXPECT_TRUE(allTick(decidedAt, 3))
            << "every frame runs on after the cancel; " << ticksSince(decidedAt);
        EXPECT_EQ(h.server.count(popupPath), 0) << "a cancelled popup never loads";
        EXPECT_EQ(h.windowAt(popupUrl), nullptr) << "nor stays listed";
    } else {
        EXPECT_TRUE(waitUntil([&] { return h.server.count(popupPath) == 1; })) << "an allowed popup loads";
        EXPECT_TRUE(waitUntil([&] { return h.windowAt(popupUrl) != nullptr; }))
            << "an allowed popup is listed once it runs";
        // The opener is a background tab now, and Chromium slows its timers to one a second.
        EXPECT_TRUE(allTick(decidedAt, 1))
            << "every frame runs on after the popup was let through; " << ticksSince(decidedAt);
    }
}

INSTANTIATE_TEST_SUITE_P(Headless, RealChromiumPopups,
                         ::testing::Combine(::testing::ValuesIn(popupCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_cancelled" : "_allowed");
                         });

// What the program sends to the browser, as its protocol trace shows it.
QStringList sentMessages;
void recordSent(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (context.category && QByteArray(context.category) == "zor.browser.protocol" &&
        message.startsWith(u'>'))
        sentMessages.append(message);
}

TEST(HostilePage, titleAndAddressAreReadAsTheyAreAndNeverSentBackAsScript) {
    PopupHarness h;
    ASSERT_EQ(h.failure(), QString());
    const QString marker = u"zzMARKERzz"_s;
    const QString title = marker + u"\"'</title><script>alert(1)</script>\\ \u202Eevil\u200F\n2nd"_s;
    h.server.setPage(u"/hostile.html"_s,
                     "<title>" + title.toHtmlEscaped().toUtf8() +
                         "</title><body onload=\"window.open('/popup/hostile', '_blank')\">x</body>");
    const QString query = marker + u"%22%27%5C%E2%80%AE%0A"_s + QString(100 * 1024, u'q');
    const QString url = h.server.url(u"site-a.test"_s, u"/hostile.html?"_s + query);

    h.whileDeciding = [&] {
        clsIEWindow* opener = h.windowAt(url);
        ASSERT_NE(opener, nullptr);
        opener->Document()->setWindowOnErrorNull();
        opener->Parent()->Document()->setWindowOnErrorNull();
    };
    QLoggingCategory::setFilterRules(u"zor.browser.protocol.debug=true"_s);
    const QtMessageHandler previous = qInstallMessageHandler(recordSent);
    h.client->openTab(url);
    const bool decided = waitUntil([&] { return !h.outcomes.isEmpty(); }, 15000);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());

    ASSERT_TRUE(decided);
    EXPECT_EQ(h.seen.value(0).openerUrl, url);
    const QString shownTitle = QString(title).replace(u'\n', u' ');
    QString seenTitle;
    waitUntil([&] {
        clsIEWindow* opener = h.windowAt(url);
        seenTitle = opener ? opener->LocationName() : QString();
        return seenTitle == shownTitle;
    });
    EXPECT_EQ(seenTitle, shownTitle) << "the title as the page has it";
    int evaluations = 0;
    for (const QString& message : std::as_const(sentMessages)) {
        if (message.contains(u"Target.createTarget"_s))
            continue; // the test opening the page
        EXPECT_FALSE(message.contains(marker))
            << "page data went back to the browser: " << message.left(300).toStdString();
        if (message.contains(QLatin1StringView(DevToolsBrowser::RunningCheckScript)))
            continue; // a constant of ours, asked of pages found at connect
        if (message.contains(u"Runtime.evaluate"_s)) {
            ++evaluations;
            EXPECT_TRUE(message.contains(u"\"expression\":\"window.onerror = null\""_s))
                << message.left(300).toStdString();
        }
    }
    EXPECT_EQ(evaluations, 2) << "the two onerror writes, and nothing else evaluated";
}

// Tabs of one window share its handle, a window of its own has another (the keys made of them
// are the registry's unit test's), and closing a tab rebuilds the list without it.
TEST(ChromiumRegistry, tabsShareTheirWindowsHandleANewWindowHasItsOwnAndClosingRebuilds) {
    PopupHarness h;
    ASSERT_EQ(h.failure(), QString());
    h.server.setPage(u"/a.html"_s, "a");
    const int before = h.manager->ExplorerCount();
    const QString first = h.server.url(u"site-a.test"_s, u"/a.html?1"_s);
    const QString second = h.server.url(u"site-b.test"_s, u"/a.html?2"_s);
    const QString own = h.server.url(u"site-b.test"_s, u"/a.html?3"_s);
    h.client->openTab(first);
    const QString secondTab = h.client->openTab(second);
    h.client->call(u"Target.createTarget"_s, {{"url"_L1, own}, {"newWindow"_L1, true}});
    ASSERT_TRUE(waitUntil([&] { return h.windowAt(first) && h.windowAt(second) && h.windowAt(own); }));

    EXPECT_EQ(h.windowAt(first)->hWnd(), h.windowAt(second)->hWnd());
    EXPECT_NE(h.windowAt(first)->hWnd(), h.windowAt(own)->hWnd());

    h.client->call(u"Target.closeTarget"_s, {{"targetId"_L1, secondTab}});
    ASSERT_TRUE(waitUntil([&] { return h.manager->ExplorerCount() == before + 2; })) << "closing rebuilds";
    EXPECT_EQ(h.windowAt(second), nullptr);
}

// The connection cut while the listener decides (a modal box keeps events flowing meanwhile):
// the verdict is applied to the popup the browser reports again after the reconnect, unasked,
// also when that report already carries the address the popup waits to load. A popup that loaded
// is an ordinary tab at the next reconnect, not a popup to decide again.
struct ReconnectRow {
    bool addressReported;
    bool cancel;
};
class HeldAcrossReconnect : public testing::TestWithParam<ReconnectRow> {};

TEST_P(HeldAcrossReconnect, leavesNoFrozenPageAndAsksOnce) {
    PopupHarness h(true, true);
    ASSERT_EQ(h.failure(), QString());
    const QString popup = h.server.url(u"site-a.test"_s, u"/popup/timer"_s);
    if (GetParam().addressReported)
        h.proxy->addressReportedPopups(popup.toUtf8());
    h.cancel = GetParam().cancel;
    const auto reconnect = [&] {
        h.proxy->dropAll();
        QEventLoop box;
        QObject::connect(h.windows.get(), &CdpShellWindows::browserConnected, &box, &QEventLoop::quit);
        QTimer::singleShot(5000, &box, &QEventLoop::quit);
        box.exec();
    };
    h.whileDeciding = reconnect;

    h.openTab(u"site-a.test"_s, u"/timer.html"_s);
    ASSERT_TRUE(waitUntil([&] { return !h.outcomes.isEmpty(); }, 20000))
        << "the popup is resolved after the reconnect";
    EXPECT_EQ(h.seen.size(), 1);
    EXPECT_EQ(h.outcomes[0].cancelled, h.cancel);
    EXPECT_GE(h.proxy->accepted(), 2);
    const qint64 resolvedAt = h.server.nowMs();
    EXPECT_TRUE(waitUntil([&] { return h.server.count(u"/tick"_s, resolvedAt) >= 3; }))
        << "the opener runs on";
    EXPECT_EQ(h.server.count(u"/popup/timer"_s), h.cancel ? 0 : 1);
    if (h.cancel)
        return;
    ASSERT_TRUE(waitUntil([&] { return h.windowAt(popup) != nullptr; }));
    h.whileDeciding = nullptr;
    reconnect();
    EXPECT_TRUE(waitUntil([&] { return h.windowAt(popup) != nullptr || h.seen.size() > 1; }));
    EXPECT_EQ(h.seen.size(), 1) << "the loaded popup was taken for a held one";
}
INSTANTIATE_TEST_SUITE_P(ChromiumRegistry, HeldAcrossReconnect,
                         testing::Values(ReconnectRow{false, true}, ReconnectRow{true, true},
                                         ReconnectRow{true, false}));

} // namespace
