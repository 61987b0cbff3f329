// A popup storm against the whole program: ten tabs, each calling window.open in a tight loop for
// ten seconds, in popup mode "ALL popups", the program's window shown. Every popup must be
// decided and none may load, its memory must come back to where it was apart from the status
// list's own lines, and its counters and status list must agree with the number of popups the
// pages asked for. How quickly the window answers meanwhile is a figure of bench/.
#include "e2e/PopupStorm.h"
#include "e2e/ProgramTest.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProcess.h"

#include <gtest/gtest.h>
#include <iostream>

using namespace Qt::StringLiterals;

namespace {

constexpr int Tabs = 10;
constexpr int StormMs = 10000;
// What one line of the status list may cost the program: the opener's address as text, the
// list item and the view's record of it. Generous; the lines stay by design.
constexpr qint64 BytesPerStatusLine = 1024;
// Heap that a storm may leave behind without it being a leak (allocator pools, caches).
constexpr qint64 SlackBytes = 6 * 1024 * 1024;

using PopupStormLoad = ProgramTest;

TEST_F(PopupStormLoad, TenTabsOpeningPopupsForTenSecondsAreAllCancelledAndCounted) {
    server.setPage(u"/storm.html"_s, PopupStorm::Page);
    ChromiumProcess chromium(false);
    ASSERT_TRUE(chromium.failure().isEmpty()) << chromium.failure().toStdString();

    ProgramUnderTest::Options options;
    options.killMode = 1; // every popup is cancelled
    options.showWindow = true;
    options.arguments = {u"--browser"_s, chromium.webSocketUrl().toString()};
    ASSERT_TRUE(program.start(options)) << program.failure().toStdString();
    BrowserTestClient client(chromium.webSocketUrl());
    client.call(u"Target.setDiscoverTargets"_s, {{"discover"_L1, true}});
    // A short storm first, so that what a first storm allocates once is in the baseline.
    QStringList warmTabs;
    const PopupStorm::Result warm = PopupStorm::run(client, server, {u"warm.test"_s}, 1000, &warmTabs);
    ASSERT_EQ(warm.finished, 1) << program.output().right(3000).toStdString();
    ASSERT_GT(warm.calls, 0);
    ASSERT_EQ(warm.closed, warm.calls) << program.output().right(3000).toStdString();
    waitUntil([] { return false; }, 1500);
    const auto before = ProgramLog::cancels(program.output());
    ASSERT_EQ(before.session, warm.calls);
    const qint64 residentBefore = PopupStorm::residentBytes(program.pid());

    QStringList tabs;
    const PopupStorm::Result result =
        PopupStorm::run(client, server, PopupStorm::hosts(Tabs), StormMs, &tabs);
    waitUntil([] { return false; }, 2000); // the last cancels settle
    const qint64 residentAfter = PopupStorm::residentBytes(program.pid());
    const auto after = ProgramLog::cancels(program.output());
    const int stormCancels = after.session - before.session;
    std::cerr << "storm: " << result.calls << " window.open calls from " << result.finished << " tabs, "
              << stormCancels << " cancels counted; resident " << residentBefore / 1024 << " -> "
              << residentAfter / 1024 << " KiB\n";

    ASSERT_EQ(result.finished, Tabs) << "not every storm tab finished its loop";
    EXPECT_GT(result.calls, Tabs) << "the storm hardly stormed";
    EXPECT_EQ(result.closed, result.calls) << "a popup was left open";
    EXPECT_EQ(server.count(u"/popup/"_s), 0) << "a cancelled popup asked for its address\n"
                                             << program.output().right(3000).toStdString();
    EXPECT_EQ(stormCancels, result.calls) << "the program counted another number of cancels";
    EXPECT_EQ(after.listed, after.session) << "the status list and the counter disagree";
    EXPECT_EQ(after.total, after.session);
    EXPECT_EQ(client.pageTargets().size(), 1 + warmTabs.size() + tabs.size()) << "popup tabs remain";
    for (const QString& tab : tabs)
        EXPECT_TRUE(PopupStorm::timersRun(client, tab)) << "a storm page stays frozen";

        // A sanitizer build (the program comes from the same build) holds freed memory back on
        // purpose, so its resident size says nothing about leaks.
#if !defined(__SANITIZE_ADDRESS__)
    const qint64 allowed = SlackBytes + BytesPerStatusLine * stormCancels;
    EXPECT_LE(residentAfter - residentBefore, allowed)
        << "memory grew beyond the status list's lines: " << residentBefore << " -> " << residentAfter;
#endif

    expectNoCrashSigns();
    ASSERT_TRUE(program.terminate());
    EXPECT_EQ(program.setting(u"TotalWindowsKilled"_s), QString::number(after.total));
}

} // namespace
