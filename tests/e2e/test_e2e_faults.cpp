// The whole program watching a browser on a DevTools port, as on a Wayland desktop, through a
// popup storm, the loss of the browser and the keys such a desktop takes from the browser.
// The storm: ten tabs, each calling window.open in a tight loop for ten seconds, in popup mode
// "ALL popups", the program's window shown. Every popup must be decided and none may load, its
// memory must come back to where it was apart from the status list's own lines, and its counters
// and status list must agree with the number of popups the pages asked for. How quickly the
// window answers meanwhile is a figure of bench/.
// Then the browser is killed and started again on its port: the program notices, keeps running
// and watches it once it is back. A popup held when its connection is lost is the browser tests'
// and one held when the program dies the launched browser's test. On the browser that came back:
// Ctrl and Shift taken from the browser where the keyboard cannot be read globally.
#include "e2e/PopupStorm.h"
#include "e2e/ProgramTest.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProcess.h"

#include <csignal>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int Tabs = 10;
constexpr int StormMs = 10000;
// What one line of the status list may cost the program: the opener's address as text, the
// list item and the view's record of it. Generous; the lines stay by design.
constexpr qint64 BytesPerStatusLine = 1024;
// Heap that a storm may leave behind without it being a leak (allocator pools, caches).
constexpr qint64 SlackBytes = 6 * 1024 * 1024;

const QByteArray OpenerPage = R"html(<!DOCTYPE html><title>opener</title><script>
// A cancelled popup comes back from window.open() as a window that is closed moments later.
function openNow(path) {
  window.popup = window.open(path);
  return true;
}
function popupGone() {
  return window.popup === null || window.popup.closed;
}
</script><button id=b style='width:200px;height:80px' onclick="openNow('/popup/clicked')">b</button>)html";

using StormAndFaults = ProgramTest;

TEST_F(StormAndFaults, AStormIsAllCancelledAndCountedThenABrowserKilledIsWatchedAgain) {
    server.setPage(u"/storm.html"_s, PopupStorm::Page);
    server.setPage(u"/opener.html"_s, OpenerPage);
    auto chromium = std::make_unique<ChromiumProcess>(false);
    ASSERT_TRUE(chromium->failure().isEmpty()) << chromium->failure().toStdString();
    // The browser started again is found where the one before it was.
    const quint16 port = chromium->port();
    ProgramUnderTest::Options options;
    options.killMode = 1; // every popup cancelled unless Ctrl is down
    options.showWindow = true;
    options.arguments = {u"--browser"_s, QString::number(port)};
    options.environment = {u"ZOR_SESSION_TYPE=wayland"_s};
    ASSERT_TRUE(program.start(options)) << program.failure().toStdString();
    auto client = std::make_unique<BrowserTestClient>(chromium->webSocketUrl());

    // A short storm first, so that what a first storm allocates once is in the baseline.
    PopupStorm::run(*client, server, {u"warm.test"_s}, 1000);
    waitUntil([] { return false; }, 1500);
    const auto before = ProgramLog::cancels(program.output());
    [[maybe_unused]] const qint64 residentBefore = PopupStorm::residentBytes(program.pid());

    const PopupStorm::Result result = PopupStorm::run(*client, server, PopupStorm::hosts(Tabs), StormMs);
    waitUntil([] { return false; }, 2000); // the last cancels settle
    [[maybe_unused]] const qint64 residentAfter = PopupStorm::residentBytes(program.pid());
    const auto after = ProgramLog::cancels(program.output());
    const int stormCancels = after.session - before.session;

    ASSERT_EQ(result.finished, Tabs) << "not every storm tab finished its loop";
    EXPECT_GT(result.calls, Tabs) << "the storm hardly stormed";
    EXPECT_EQ(result.closed, result.calls) << "a popup was left open";
    EXPECT_EQ(server.count(u"/popup/"_s), 0) << "a cancelled popup asked for its address";
    EXPECT_EQ(stormCancels, result.calls) << "the program counted another number of cancels";
    EXPECT_EQ(after.listed, after.session) << "the status list and the counter disagree";

    // A sanitizer build (the program comes from the same build) holds freed memory back on
    // purpose, so its resident size says nothing about leaks.
#if !defined(__SANITIZE_ADDRESS__)
    const qint64 allowed = SlackBytes + BytesPerStatusLine * stormCancels;
    EXPECT_LE(residentAfter - residentBefore, allowed)
        << "memory grew beyond the status list's lines: " << residentBefore << " -> " << residentAfter;
#endif

    const qsizetype outputBefore = program.output().size();
    ::kill(static_cast<pid_t>(chromium->pid()), SIGKILL);
    chromium.reset();
    client.reset();
    EXPECT_TRUE(waitUntil([&] { return program.output().mid(outputBefore).contains(u"lost the browser"_s); }))
        << output();
    chromium = std::make_unique<ChromiumProcess>(false, port);
    ASSERT_TRUE(chromium->failure().isEmpty()) << chromium->failure().toStdString();
    client = std::make_unique<BrowserTestClient>(chromium->webSocketUrl());
    const QString tab = client->openTab(server.url(u"site-a.test"_s, u"/opener.html"_s));
    // Listed, its next popup is the program's to decide. The tab starts on about:blank, which is
    // complete as well.
    ASSERT_TRUE(waitUntil([&] { return program.output().contains(u"page %1 listed"_s.arg(tab)); }))
        << output();
    const QString opener = client->attach(tab);
    ASSERT_TRUE(waitUntil([&] {
        return client->evaluate(opener, u"typeof openNow == 'function' && document.readyState"_s) ==
               "complete"_L1;
    })) << output();
    const auto key = [&](const char* type, int modifiers) {
        client->call(u"Input.dispatchKeyEvent"_s,
                     {{"type"_L1, QLatin1String(type)},
                      {"modifiers"_L1, modifiers},
                      {"key"_L1, "Control"_L1},
                      {"code"_L1, "ControlLeft"_L1},
                      {"windowsVirtualKeyCode"_L1, 17}},
                     opener);
    };
    // The program's key poll logs each change it sees.
    const auto ctrlIs = [&](const QString& state) {
        return waitUntil([&] {
            const QString log = program.output();
            const QString other = state == u"down"_s ? u"up"_s : u"down"_s;
            return log.lastIndexOf(u"keys: Ctrl "_s + state) > log.lastIndexOf(u"keys: Ctrl "_s + other);
        });
    };

    // The browser back, its keys as a Wayland desktop has them.
    key("rawKeyDown", 2);
    ASSERT_TRUE(ctrlIs(u"down"_s)) << output();
    client->click(opener, u"#b"_s, 2);
    EXPECT_TRUE(waitUntil([&] { return server.count(u"/popup/clicked"_s) == 1; })) << "Ctrl lets it through";
    key("keyUp", 0);
    ASSERT_TRUE(ctrlIs(u"up"_s)) << output();
    // What the page makes up itself counts for nothing.
    client->evaluate(
        opener, u"dispatchEvent(new KeyboardEvent('keydown', {key: 'Control', ctrlKey: true}));"
                u"dispatchEvent(new MouseEvent('mousedown', {ctrlKey: true})); openNow('/popup/made-up')"_s);
    EXPECT_TRUE(waitUntil([&] { return client->evaluate(opener, u"popupGone()"_s).toBool(); }, 5000))
        << "the program no longer decides the browser's popups";
    EXPECT_EQ(program.output().count(u"keys: Ctrl down"_s), 1);

    ASSERT_TRUE(program.running()) << output();
    EXPECT_EQ(ProgramLog::cancels(program.output()).session, after.session + 1) << output();
    EXPECT_EQ(ProgramLog::crashSigns(program.output()), QStringList());
    ASSERT_TRUE(program.terminate()) << "the program did not end cleanly afterwards";
}

} // namespace
