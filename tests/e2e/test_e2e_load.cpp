// A popup storm against the whole program: ten tabs, each calling window.open in a tight loop for
// ten seconds, in popup mode "ALL popups". Every popup must be decided and none may load, the
// program's window must keep answering (pinged from outside throughout), its memory must come
// back to where it was apart from the status list's own lines, and its counters and status list
// must agree with the number of popups the pages asked for.
#include "e2e/ProgramLog.h"
#include "e2e/ProgramUnderTest.h"
#include "platform/Failure.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProcess.h"
#include "support/HttpTestServer.h"
#include "support/TrayHost.h"
#include "support/WindowPinger.h"
#include "support/XvfbSession.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <gtest/gtest.h>
#include <iostream>

using namespace Qt::StringLiterals;

static const bool underXvfb = XvfbSession::startForProcess();

namespace {

constexpr int Tabs = 10;
constexpr int StormMs = 10000;
constexpr double StallLimitMs = 100;
// What one line of the status list may cost the program: the opener's address as text, the
// list item and the view's record of it. Generous; the lines stay by design.
constexpr qint64 BytesPerStatusLine = 1024;
// Heap that a storm may leave behind without it being a leak (allocator pools, caches).
constexpr qint64 SlackBytes = 6 * 1024 * 1024;

// Waits for the start time in its address, then opens popups as fast as they are answered until
// the time is up. A cancelled popup comes back as a window that is closed moments later; the
// test counts them. No timer after the loop: a tab in the background that kept its thread busy
// for seconds has its timers held back by the browser for a long while.
const QByteArray StormPage = R"(<!DOCTYPE html><title>storm</title><script>
const query = new URLSearchParams(location.search);
const at = Number(query.get('at')), duration = Number(query.get('ms'));
window.popups = [];
setTimeout(() => {
  const end = Date.now() + duration;
  while (Date.now() < end)
    popups.push(window.open('/popup/' + location.hostname + '/' + popups.length));
  window.loopDone = true;
}, Math.max(0, at - Date.now()));
</script>)";

qint64 residentBytes(qint64 pid) {
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

struct StormResult {
    int calls = 0;
    int closed = 0;
    int finished = 0; // tabs whose loop ended and were counted
};

// Opens one storm tab per host, all starting at the same moment, and waits for their counts.
StormResult storm(BrowserTestClient& client, const HttpTestServer& server, const QStringList& hosts,
                  int milliseconds, QStringList* tabs) {
    const qint64 at = QDateTime::currentMSecsSinceEpoch() + 1500;
    QStringList sessions;
    for (const QString& host : hosts) {
        *tabs << client.openTab(server.url(host, u"/storm.html?at=%1&ms=%2"_s.arg(at).arg(milliseconds)));
        sessions << client.attach(tabs->constLast());
    }
    const auto count = [&](const QString& expression) {
        int sum = 0;
        for (const QString& session : sessions)
            sum += client.evaluate(session, expression).toInt();
        return sum;
    };
    StormResult result;
    waitUntil([&] { return count(u"window.loopDone ? 1 : 0"_s) == sessions.size(); }, milliseconds + 60000);
    result.finished = count(u"window.loopDone ? 1 : 0"_s);
    result.calls = count(u"popups.length"_s);
    // The last popups are closed moments after their window.open() returned.
    waitUntil([&] { return count(u"popups.filter(p => p === null || p.closed).length"_s) == result.calls; },
              3000);
    result.closed = count(u"popups.filter(p => p === null || p.closed).length"_s);
    return result;
}

// Timers run only in a page that is not frozen inside window.open(). The tab is brought to the
// front first, as a user looking at it would, so that background throttling does not count.
bool timersRun(BrowserTestClient& client, const QString& tab) {
    try {
        const QString session = client.attach(tab);
        client.call(u"Page.bringToFront"_s, {}, session);
        const QJsonObject answer =
            client.call(u"Runtime.evaluate"_s,
                        {{"expression"_L1, u"new Promise(done => setTimeout(() => done(7), 10))"_s},
                         {"awaitPromise"_L1, true},
                         {"returnByValue"_L1, true}},
                        session, 5000);
        return answer.value("result"_L1).toObject().value("value"_L1).toInt() == 7;
    } catch (const zor::Failure&) {
        return false;
    }
}

TEST(PopupStorm, TenTabsOpeningPopupsForTenSecondsAreAllCancelledWhileTheWindowKeepsAnswering) {
    ASSERT_TRUE(underXvfb);
    TrayHost trayHost;
    ASSERT_TRUE(trayHost.start()) << "trayer did not take the tray";
    HttpTestServer server;
    server.setPage(u"/storm.html"_s, StormPage);
    ChromiumProcess chromium(false);
    ASSERT_TRUE(chromium.failure().isEmpty()) << chromium.failure().toStdString();

    ProgramUnderTest::Options options;
    options.killMode = 1; // every popup is cancelled
    options.showWindow = true;
    options.arguments = {u"--browser"_s, chromium.webSocketUrl().toString()};
    ProgramUnderTest program;
    ASSERT_TRUE(program.start(options)) << program.failure().toStdString();
    std::uint32_t window = 0;
    ASSERT_TRUE(waitUntil([&] {
        return (window = WindowPinger::topLevelOf(program.pid(), u"ZOR Brakkon"_s));
    })) << "the program's window did not come up";
    ASSERT_TRUE(WindowPinger::supportsPing(window));

    BrowserTestClient client(chromium.webSocketUrl());
    client.call(u"Target.setDiscoverTargets"_s, {{"discover"_L1, true}});
    // A short storm first, so that what a first storm allocates once is in the baseline.
    QStringList warmTabs;
    const StormResult warm = storm(client, server, {u"warm.test"_s}, 1000, &warmTabs);
    ASSERT_EQ(warm.finished, 1) << program.output().toStdString();
    ASSERT_GT(warm.calls, 0);
    ASSERT_EQ(warm.closed, warm.calls) << program.output().toStdString();
    waitUntil([] { return false; }, 1500);
    const auto before = ProgramLog::cancels(program.output());
    ASSERT_EQ(before.session, warm.calls);
    const qint64 residentBefore = residentBytes(program.pid());

    const qint64 xServer = WindowPinger::ownXServerPid();
    ASSERT_NE(xServer, 0);
    WindowPinger pinger(window, {program.pid(), xServer});
    pinger.start();
    QStringList hosts;
    for (int i = 0; i < Tabs; ++i)
        hosts << u"storm%1.test"_s.arg(i);
    QStringList tabs;
    const StormResult result = storm(client, server, hosts, StormMs, &tabs);
    const WindowPinger::Figures pings = pinger.stop();

    // Let the last cancels settle, as an idle program would.
    waitUntil([] { return false; }, 2000);
    const qint64 residentAfter = residentBytes(program.pid());
    const auto after = ProgramLog::cancels(program.output());
    const int stormCancels = after.session - before.session;
    std::cerr << "storm: " << result.calls << " window.open calls from " << result.finished << " tabs, "
              << stormCancels << " cancels counted; window answered " << pings.answered << " pings, median "
              << pings.medianMs << " ms, max " << pings.maxMs << " ms (" << pings.maxOwnMs
              << " ms without the program's and the X server's waits for a processor); resident "
              << residentBefore / 1024 << " -> " << residentAfter / 1024 << " KiB\n";

    ASSERT_EQ(result.finished, Tabs) << "not every storm tab finished its loop";
    EXPECT_GT(result.calls, Tabs) << "the storm hardly stormed";
    EXPECT_EQ(result.closed, result.calls) << "a popup was left open";
    EXPECT_EQ(server.count(u"/popup/"_s), 0) << "a cancelled popup asked for its address";
    EXPECT_EQ(stormCancels, result.calls) << "the program counted another number of cancels";
    EXPECT_EQ(after.listed, after.session) << "the status list and the counter disagree";
    EXPECT_EQ(after.total, after.session);
    EXPECT_EQ(client.pageTargets().size(), 1 + warmTabs.size() + tabs.size()) << "popup tabs remain";
    for (const QString& tab : tabs)
        EXPECT_TRUE(timersRun(client, tab)) << "a storm page stays frozen";

    EXPECT_EQ(pings.unanswered, 0) << "the window stopped answering";
    EXPECT_GT(pings.answered, StormMs / 20 / 2) << "too few pings went through to judge";
    // The machine may be shared and busy: what counts is the time the program took itself.
    EXPECT_LT(pings.maxOwnMs, StallLimitMs) << "the window stalled";

    const qint64 allowed = SlackBytes + BytesPerStatusLine * stormCancels;
    EXPECT_LE(residentAfter - residentBefore, allowed)
        << "memory grew beyond the status list's lines: " << residentBefore << " -> " << residentAfter;

    EXPECT_TRUE(ProgramLog::crashSigns(program.output()).isEmpty())
        << ProgramLog::crashSigns(program.output()).join(u'\n').toStdString();
    ASSERT_TRUE(program.terminate());
    EXPECT_EQ(program.setting(u"TotalWindowsKilled"_s), QString::number(after.total));
}

} // namespace
