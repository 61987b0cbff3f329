// Ctrl and Shift taken from the browser where the keyboard cannot be read globally (a Wayland
// desktop): the program hears of the browser's trusted key and mouse events, and of nothing a
// page makes up. A browser lost while a popup is held is the browser tests' reconnect case; a
// browser that ends and one started again, the launched browser's and the approval tests'.
#include "e2e/ProgramTest.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProcess.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

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

using WaylandKeys = ProgramTest;

TEST_F(WaylandKeys, CtrlComesFromTheBrowsersTrustedEventsAndNeverFromThePage) {
    server.setPage(u"/opener.html"_s, OpenerPage);
    ChromiumProcess chromium(false);
    ASSERT_TRUE(chromium.failure().isEmpty()) << chromium.failure().toStdString();
    ProgramUnderTest::Options options;
    options.killMode = 1; // every popup cancelled unless Ctrl is down
    options.arguments = {u"--browser"_s, QString::number(chromium.port())};
    options.environment = {u"ZOR_SESSION_TYPE=wayland"_s};
    ASSERT_TRUE(program.start(options)) << program.failure().toStdString();
    BrowserTestClient client(chromium.webSocketUrl());
    const QString tab = client.openTab(server.url(u"site-a.test"_s, u"/opener.html"_s));
    // Listed, its next popup is the program's to decide. The tab starts on about:blank, which is
    // complete as well.
    ASSERT_TRUE(waitUntil([&] { return program.output().contains(u"page %1 listed"_s.arg(tab)); }))
        << output();
    const QString session = client.attach(tab);
    ASSERT_TRUE(waitUntil([&] {
        return client.evaluate(session, u"typeof openNow == 'function' && document.readyState"_s) ==
               "complete"_L1;
    })) << output();
    const auto key = [&](const char* type, int modifiers) {
        client.call(u"Input.dispatchKeyEvent"_s,
                    {{"type"_L1, QLatin1String(type)},
                     {"modifiers"_L1, modifiers},
                     {"key"_L1, "Control"_L1},
                     {"code"_L1, "ControlLeft"_L1},
                     {"windowsVirtualKeyCode"_L1, 17}},
                    session);
    };
    // The program's key poll logs each change it sees.
    const auto ctrlIs = [&](const QString& state) {
        return waitUntil([&] {
            const QString log = program.output();
            const QString other = state == u"down"_s ? u"up"_s : u"down"_s;
            return log.lastIndexOf(u"keys: Ctrl "_s + state) > log.lastIndexOf(u"keys: Ctrl "_s + other);
        });
    };
    const auto popupGone = [&] {
        return waitUntil([&] { return client.evaluate(session, u"popupGone()"_s).toBool(); }, 5000);
    };

    // Without a key, the program answers this tab's popups.
    ASSERT_TRUE(client.evaluate(session, u"openNow('/popup/first')"_s).toBool());
    ASSERT_TRUE(popupGone()) << output();

    key("rawKeyDown", 2);
    ASSERT_TRUE(ctrlIs(u"down"_s)) << output();
    client.click(session, u"#b"_s, 2);
    EXPECT_TRUE(waitUntil([&] { return server.count(u"/popup/clicked"_s) == 1; })) << "Ctrl lets it through";
    key("keyUp", 0);
    ASSERT_TRUE(ctrlIs(u"up"_s)) << output();
    // What the page makes up itself counts for nothing.
    client.evaluate(
        session, u"dispatchEvent(new KeyboardEvent('keydown', {key: 'Control', ctrlKey: true}));"
                 u"dispatchEvent(new MouseEvent('mousedown', {ctrlKey: true})); openNow('/popup/made-up')"_s);
    EXPECT_TRUE(popupGone()) << "a made-up Ctrl let the popup through";
    EXPECT_EQ(program.output().count(u"keys: Ctrl down"_s), 1);

    ASSERT_TRUE(program.running()) << output();
    EXPECT_EQ(server.count(u"/popup/"_s), 1) << "only the popup with Ctrl down may load\n" << output();
    const auto record = ProgramLog::cancels(program.output());
    EXPECT_EQ(record.session, 2) << output();
    EXPECT_EQ(record.listed, record.session);
    expectNoCrashSigns();
    EXPECT_TRUE(program.terminate()) << "the program did not end cleanly afterwards";
}

} // namespace
