#include "PopupHarness.h"
#include "browser/clsIEWindow.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <gtest/gtest.h>

#ifdef ZOR_HEADFUL
#include "support/XvfbSession.h"
#endif

namespace {

#ifdef ZOR_HEADFUL
// A browser with real windows on a private X server: clicks and window handles as a user has them.
const bool underXvfb = XvfbSession::startForProcess();
constexpr bool headless = false;
#else
constexpr bool headless = true;
#endif

struct PopupCase {
    const char* name;
    const char* host;
    const char* page;
    const char* clickSelector; // empty: the page opens the popup by itself
    const char* popupHost;
    const char* popupPath;
    const char* tickPaths; // what the page's frames fetch while they run, blank-separated
    bool userGesture;
    bool ownBlocker = false; // the browser refuses script popups itself, and says so once
};

const PopupCase popupCases[] = {
    {"onload", "site-a.test", "/onload.html", "", "site-a.test", "/popup/onload", "/tick", false},
    {"timer", "site-a.test", "/timer.html", "", "site-a.test", "/popup/timer", "/tick", false},
    {"trusted_click", "site-a.test", "/click.html", "#b", "site-a.test", "/popup/click", "/tick", true},
    {"link_target_blank", "site-a.test", "/link.html", "#a", "site-a.test", "/popup/link", "/tick", true},
    {"cross_site_iframe", "site-a.test", "/outer.html", "", "site-b.test", "/popup/iframe", "/tick /itick",
     false},
    {"srcdoc_in_cross_site_frame", "site-a.test", "/nest-srcdoc.html", "", "site-b.test", "/popup/frame",
     "/tick /mtick /ftick", false},
    {"written_frame_in_cross_site_frame", "site-a.test", "/nest-written.html", "", "site-b.test",
     "/popup/frame", "/tick /mtick /ftick", false},
    {"same_site_child_of_cross_site_frame", "site-a.test", "/nest-child.html", "", "site-b.test",
     "/popup/frame", "/tick /mtick /ftick", false},
    {"click_after_refused_opens", "site-a.test", "/refused-click.html", "#b", "site-a.test", "/popup/click",
     "/tick", true, true},
    {"noopener_link_among_refused_opens", "site-a.test", "/refused-link.html", "#a", "site-a.test",
     "/popup/link", "/tick", true, true},
    {"form_among_refused_opens", "site-a.test", "/refused-form.html", "#s", "site-a.test", "/popup/form?",
     "/tick", true, true},
    {"click_after_sandboxed_refusal", "site-a.test", "/sandboxed.html", "#b", "site-a.test", "/popup/click",
     "/tick", true},
};

class RealChromiumPopups : public ::testing::TestWithParam<std::tuple<PopupCase, bool>> {};

TEST_P(RealChromiumPopups, listenerSeesOpenerKeyAndGestureAndItsAnswerIsObeyed) {
    const PopupCase& popup = std::get<0>(GetParam());
    const bool cancel = std::get<1>(GetParam());
#ifdef ZOR_HEADFUL
    ASSERT_TRUE(underXvfb);
#endif
    PopupHarness h(headless, popup.ownBlocker);
    ASSERT_EQ(h.failure(), QString());
    h.servePopupPages();
    h.cancel = cancel;
    const QStringList tickPaths = QString::fromLatin1(popup.tickPaths).split(u' ');
    const auto allTick = [&](qint64 sinceMs, int ticks) {
        return waitUntil([&] {
            return std::all_of(tickPaths.begin(), tickPaths.end(),
                               [&](const QString& path) { return h.requestsSince(path, sinceMs) >= ticks; });
        });
    };

    const QString openerUrl = h.server.url(QString::fromLatin1(popup.host), QString::fromLatin1(popup.page));
    const QString target = h.openTab(QString::fromLatin1(popup.host), QString::fromLatin1(popup.page));
    clsIEWindow* opener = h.windowAt(openerUrl);
    ASSERT_NE(opener, nullptr) << "the opener tab is listed";
    const QRegularExpression keyOfOpener(QStringLiteral("^_%1(_\\d+)?$").arg(opener->hWnd()));

    if (*popup.clickSelector) {
        ASSERT_TRUE(waitUntil([&] { return h.server.count(QStringLiteral("/tick")) > 0; }))
            << "the page runs";
        const QString session = h.client->attach(target);
        h.client->click(session, QString::fromLatin1(popup.clickSelector));
    }
    ASSERT_TRUE(h.waitForOutcomes(1)) << "the popup was decided";
    ASSERT_EQ(h.seen.size(), 1);
    EXPECT_TRUE(keyOfOpener.match(h.seen[0].key).hasMatch()) << qPrintable(h.seen[0].key);
    EXPECT_EQ(h.seen[0].openerUrl, openerUrl);
    EXPECT_EQ(h.seen[0].userGesture, std::optional<bool>(popup.userGesture));
    EXPECT_TRUE(h.outcomes[0].asked);
    EXPECT_EQ(h.outcomes[0].cancelled, cancel);
    EXPECT_EQ(h.blockerNotices, popup.ownBlocker ? 1 : 0);

    const qint64 decidedAt = h.server.nowMs();
    if (cancel) {
        EXPECT_TRUE(allTick(decidedAt, 3)) << "every frame runs on after the cancel";
        EXPECT_EQ(h.server.count(QString::fromLatin1(popup.popupPath)), 0) << "a cancelled popup never loads";
        EXPECT_EQ(h.windowAt(h.server.url(QString::fromLatin1(popup.popupHost),
                                          QString::fromLatin1(popup.popupPath))),
                  nullptr);
    } else {
        EXPECT_TRUE(waitUntil([&] { return h.server.count(QString::fromLatin1(popup.popupPath)) == 1; }))
            << "an allowed popup loads";
        EXPECT_TRUE(waitUntil([&] {
            return h.windowAt(h.server.url(QString::fromLatin1(popup.popupHost),
                                           QString::fromLatin1(popup.popupPath))) != nullptr;
        })) << "an allowed popup is listed once it runs";
        // The opener is a background tab now, and Chromium slows its timers to one a second.
        EXPECT_TRUE(allTick(decidedAt, 1)) << "every frame runs on after the popup was let through";
    }
    EXPECT_EQ(h.server.count(QStringLiteral("/popup/refused")), 0);
}

#ifndef ZOR_HEADFUL
// Chromium holds a popup by pausing its opener's renderer, and any resume that renderer takes in
// ends the pause: here another client's, standing for a new tab's resume that arrives late or
// the opener's own release. The popup's navigation then starts before it is decided, and must
// still wait for the answer.
class OpenerResumedEarly : public ::testing::TestWithParam<bool> {};

TEST_P(OpenerResumedEarly, aPopupWhosePauseEndsBeforeItsDecisionStillObeysIt) {
    const bool cancel = GetParam();
    PopupHarness h(headless);
    ASSERT_EQ(h.failure(), QString());
    h.servePopupPages();
    h.cancel = cancel;
    const QString target = h.openTab(QStringLiteral("site-a.test"), QStringLiteral("/click.html"));
    ASSERT_TRUE(waitUntil([&] { return h.server.count(QStringLiteral("/tick")) > 0; }));
    const QString session = h.client->attach(target);
    int requestedWhileHeld = -1;
    h.whileDeciding = [&] {
        h.client->call(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, session);
        // Time enough for the navigation to reach the server had nothing stopped it.
        waitUntil([] { return false; }, 500);
        requestedWhileHeld = h.server.count(QStringLiteral("/popup/click"));
    };
    h.client->click(session, QStringLiteral("#b"));
    ASSERT_TRUE(h.waitForOutcomes(1));
    EXPECT_EQ(requestedWhileHeld, 0) << "nothing is requested before the decision";
    const qint64 decidedAt = h.server.nowMs();
    if (cancel) {
        EXPECT_TRUE(waitUntil([&] { return h.requestsSince(QStringLiteral("/tick"), decidedAt) >= 3; }));
        waitUntil([] { return false; }, 300);
        EXPECT_EQ(h.server.count(QStringLiteral("/popup/click")), 0) << "a cancelled popup never loads";
        EXPECT_TRUE(waitUntil([&] { return h.client->pageTargets().size() == 2; }))
            << "the cancelled popup is closed";
    } else {
        EXPECT_TRUE(waitUntil([&] { return h.server.count(QStringLiteral("/popup/click")) == 1; }))
            << "an allowed popup loads";
        EXPECT_TRUE(waitUntil([&] {
            return h.windowAt(h.server.url(QStringLiteral("site-a.test"), QStringLiteral("/popup/click"))) !=
                   nullptr;
        }));
    }
}

INSTANTIATE_TEST_SUITE_P(Headless, OpenerResumedEarly, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "cancelled" : "allowed"; });

// What the program sends to the browser, as its protocol trace shows it.
QStringList sentMessages;
void recordSent(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (context.category && QByteArray(context.category) == "zor.browser.protocol" &&
        message.startsWith(u'>'))
        sentMessages.append(message);
}

TEST(HostilePage, titleAndAddressAreReadAsTheyAreAndNeverSentBackAsScript) {
    PopupHarness h(headless);
    ASSERT_EQ(h.failure(), QString());
    const QString marker = QStringLiteral("zzMARKERzz");
    const QString title =
        marker + QStringLiteral("\"'</title><script>alert(1)</script>\\ \u202Eevil\u200F\n2nd");
    QString title_html = title.toHtmlEscaped();
    h.server.setPage(QStringLiteral("/hostile.html"),
                     "<title>" + title_html.toUtf8() +
                         "</title><body onload=\"window.open('/popup/hostile', '_blank')\">x</body>");
    const QString query = marker + QStringLiteral("%22%27%5C%E2%80%AE%0A") + QString(100 * 1024, u'q');
    const QString url = h.server.url(QStringLiteral("site-a.test"), QStringLiteral("/hostile.html?") + query);

    QString seenUrl;
    h.whileDeciding = [&] {
        clsIEWindow* opener = h.manager->Explorer(h.seen.last().key);
        ASSERT_NE(opener, nullptr);
        seenUrl = opener->LocationURL();
        opener->Document()->setWindowOnErrorNull();
        opener->Parent()->Document()->setWindowOnErrorNull();
    };
    QLoggingCategory::setFilterRules(QStringLiteral("zor.browser.protocol.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(recordSent);
    h.client->openTab(url);
    const bool decided = h.waitForOutcomes(1);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());

    ASSERT_TRUE(decided);
    EXPECT_EQ(seenUrl, url);
    const QString shownTitle = QString(title).replace(u'\n', u' ');
    QString seenTitle;
    waitUntil([&] {
        clsIEWindow* opener = h.windowAt(url);
        seenTitle = opener ? opener->LocationName() : QString();
        return seenTitle == shownTitle;
    });
    EXPECT_EQ(seenTitle, shownTitle) << "the title as the page has it";
    EXPECT_EQ(h.server.count(QStringLiteral("/popup/hostile")), 0);
    int evaluations = 0;
    for (const QString& message : std::as_const(sentMessages)) {
        if (message.contains(QStringLiteral("Target.createTarget")))
            continue; // the test opening the page
        EXPECT_FALSE(message.contains(marker))
            << "page data went back to the browser: " << message.left(300).toStdString();
        if (message.contains(QStringLiteral("Runtime.evaluate"))) {
            ++evaluations;
            EXPECT_TRUE(message.contains(QStringLiteral("\"expression\":\"window.onerror = null\"")))
                << message.left(300).toStdString();
        }
    }
    EXPECT_EQ(evaluations, 2) << "the two onerror writes, and nothing else evaluated";
}
#endif

#ifdef ZOR_HEADFUL
// Real windows: tabs of one window share its handle, a window of its own has another, and every
// key stays unique.
TEST(HeadfulWindows, tabsShareTheirWindowsHandleAndANewWindowHasItsOwn) {
    ASSERT_TRUE(underXvfb);
    PopupHarness h(headless);
    ASSERT_EQ(h.failure(), QString());
    h.server.setPage(QStringLiteral("/a.html"), "a");
    const QString first = h.server.url(QStringLiteral("site-a.test"), QStringLiteral("/a.html?1"));
    const QString second = h.server.url(QStringLiteral("site-a.test"), QStringLiteral("/a.html?2"));
    const QString own = h.server.url(QStringLiteral("site-b.test"), QStringLiteral("/a.html?3"));
    h.client->openTab(first);
    h.client->openTab(second);
    h.client->call(QStringLiteral("Target.createTarget"),
                   {{QStringLiteral("url"), own}, {QStringLiteral("newWindow"), true}});
    ASSERT_TRUE(waitUntil([&] { return h.windowAt(first) && h.windowAt(second) && h.windowAt(own); }));

    EXPECT_EQ(h.windowAt(first)->hWnd(), h.windowAt(second)->hWnd());
    EXPECT_NE(h.windowAt(first)->hWnd(), h.windowAt(own)->hWnd());
    QStringList keys;
    for (clsIEWindow* window : h.manager->NewEnum())
        keys.append(window->Key.toString());
    EXPECT_EQ(keys.removeDuplicates(), 0) << qPrintable(keys.join(u' '));
    EXPECT_TRUE(keys.contains(QStringLiteral("_%1").arg(h.windowAt(own)->hWnd())));
}

// The gestures that depend on real input and windows; the rest behave the same either way.
const PopupCase headfulCases[] = {popupCases[0], popupCases[2], popupCases[3], popupCases[5], popupCases[9]};
INSTANTIATE_TEST_SUITE_P(Headful, RealChromiumPopups,
                         ::testing::Combine(::testing::ValuesIn(headfulCases), ::testing::Bool()),
#else
INSTANTIATE_TEST_SUITE_P(Headless, RealChromiumPopups,
                         ::testing::Combine(::testing::ValuesIn(popupCases), ::testing::Bool()),
#endif
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_cancelled" : "_allowed");
                         });

} // namespace
