// The keyboard and the tray icon under an X server of the test's own, with a second X client
// standing for the other programs: it has the focus, holds key grabs and finds docked icons.
#include "controls/hotkey/ZORHotkey.h"
#include "controls/tray/ZorTray.h"
#include "platform/KeyState.h"
#include "support/DesktopProcess.h"
#include "support/DesktopXClient.h"
#include "support/Pictures.h"
#include "support/TrayHost.h"
#include "support/XvfbSession.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

const bool underXvfb = XvfbSession::startForProcess();

// "key ctrl+F5" and the like: xdotool's words, separated by spaces.
bool xdotool(const QString& words) {
    return runProgram(u"xdotool"_s, words.split(u' ')) == 0;
}

constexpr std::int32_t KeypadMultiply = 106;
constexpr std::int32_t Ctrl = 2;
constexpr xcb_keysym_t KeypadMultiplySym = 0xffaa;

class DesktopKeysTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(underXvfb);
        ASSERT_TRUE(other.ok());
        // Another program has the keyboard focus throughout.
        focus = other.showFocusedWindow();
        ASSERT_EQ(other.focusedWindow(), focus);
    }
    void TearDown() override { xdotool(u"keyup ctrl shift"_s); }

    DesktopXClient other;
    xcb_window_t focus = 0;
};

// The left-hand Ctrl and Shift let popups through in the end-to-end runs; here the right-hand
// ones, and what reading them costs.
TEST_F(DesktopKeysTest, AKeyHeldWhileAnotherProgramHasFocusIsSeenAsDown) {
    auto& keys = platform::keyState();
    auto down = [&](std::int32_t key) { return (keys.GetKeyState(key) & 0x8000) != 0; };
    for (const auto& [name, held, other] : {std::tuple("Control_R", 17, 16), std::tuple("Shift_R", 16, 17)}) {
        const std::int32_t key = held; // clang 14 lets no lambda capture a structured binding
        EXPECT_FALSE(down(key)) << name;
        ASSERT_TRUE(xdotool(u"keydown "_s + QLatin1String(name)));
        EXPECT_TRUE(QTest::qWaitFor([&] { return down(key); }, 1000)) << name;
        EXPECT_FALSE(down(other)) << name;
        // Twenty reads a second all day: they must cost no request to the server (reads more than a
        // millisecond apart, so none shares another's).
        xcb_connection_t* connection =
            qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        const unsigned before = xcb_no_operation(connection).sequence;
        for (int i = 0; i < 3; ++i) {
            QTest::qSleep(2);
            keys.GetKeyState(key);
        }
        EXPECT_EQ(xcb_no_operation(connection).sequence, before + 1) << name;
        ASSERT_TRUE(xdotool(u"keyup "_s + QLatin1String(name)));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !down(key); }, 1000)) << name;
    }
}

// With each lock key on: the grab must cover every lock variant of the combination.
TEST_F(DesktopKeysTest, TheHotKeyAloneFiresWhileAnotherWindowHasFocus) {
    for (const QString& toggle : {u""_s, u"Num_Lock"_s, u"Caps_Lock"_s}) {
        ZORHotkey hotkey;
        ASSERT_TRUE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
        QSignalSpy pressed(&hotkey, &ZORHotkey::KeyPressed);
        ASSERT_TRUE(toggle.isEmpty() || xdotool(u"key "_s + toggle));
        ASSERT_TRUE(xdotool(u"key ctrl+KP_Multiply"_s));
        const bool fired = pressed.wait(2000);
        if (!toggle.isEmpty())
            xdotool(u"key "_s + toggle);
        ASSERT_TRUE(fired) << qPrintable(toggle);
        EXPECT_EQ(other.focusedWindow(), focus) << "the grab must not take the focus";

        // The bare key and other modifiers are not the hot-key; a removed one never fires.
        pressed.clear();
        ASSERT_TRUE(xdotool(u"key KP_Multiply"_s));
        ASSERT_TRUE(xdotool(u"key ctrl+shift+KP_Multiply"_s));
        QTest::qWait(300);
        EXPECT_EQ(pressed.count(), 0) << qPrintable(toggle);
        hotkey.RemoveHotKeys();
        ASSERT_TRUE(xdotool(u"key ctrl+KP_Multiply"_s));
        QTest::qWait(300);
        EXPECT_EQ(pressed.count(), 0) << "a removed hot-key still fired " << qPrintable(toggle);
    }
}

TEST_F(DesktopKeysTest, ACombinationHeldElsewhereOrWithoutAKeyIsRefusedAndLeavesNothingGrabbed) {
    DesktopXClient holder;
    const xcb_keycode_t code = holder.keycodeOf(KeypadMultiplySym);
    ASSERT_NE(code, 0);
    // The other program holds only the Caps Lock variant: the refusal must also undo the variants
    // this program did get.
    ASSERT_TRUE(holder.grabKey(code, XCB_MOD_MASK_CONTROL, XCB_MOD_MASK_LOCK));

    ZORHotkey hotkey;
    EXPECT_FALSE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
    EXPECT_FALSE(hotkey.AsignNewHotKey(0xE7, Ctrl)) << "a code with no X key symbol";
    DesktopXClient probe;
    EXPECT_TRUE(probe.grabKey(code, XCB_MOD_MASK_CONTROL, 0)) << "a refused registration kept a grab";
    // That a refusal uses up no identifier is the unit test's.
}

class DesktopTrayTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(underXvfb);
        ASSERT_TRUE(x.ok());
        tray.setTrayIcon(picture);
        auto record = [this](const char* kind) {
            return [this, kind](std::int16_t button, std::int32_t) {
                events.append(q("%1 %2").arg(QLatin1String(kind)).arg(button));
            };
        };
        QObject::connect(&tray, &ZorTray::MouseDown, record("down"));
        QObject::connect(&tray, &ZorTray::MouseUp, record("up"));
        QObject::connect(&tray, &ZorTray::MouseDblClick, record("dbl"));
    }

    // Our icon windows docked in the tray host, once the count has settled on `count`.
    bool dockedSettlesAt(int count, int withinMs = 3000) {
        const QString name = QCoreApplication::applicationName();
        if (!QTest::qWaitFor([&] { return x.dockedWindows(name).size() == count; }, withinMs))
            return false;
        QTest::qWait(300);
        return x.dockedWindows(name).size() == count;
    }
    QPoint iconCentre() {
        const auto docked = x.dockedWindows(QCoreApplication::applicationName());
        return docked.isEmpty() ? QPoint() : x.centreOf(docked.first());
    }

    DesktopXClient x;
    TrayHost host;
    const QPixmap picture = solidPicture(QColor(0, 255, 0));
    ZorTray tray;
    QList<QString> events;
};

// The icon waits for a host; a host restarted between two of the once-a-second checks (the
// control never sees it gone) gets the icon once, with the same picture and tip.
TEST_F(DesktopTrayTest, TheIconWaitsForAHostAndDocksAgainAfterAQuickRestart) {
    ASSERT_EQ(TrayHost::owner(), 0U);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.TrayHwnd() == 0; }, 1000));
    tray.setInTray(true);
    QTest::qWait(1200);
    ASSERT_TRUE(host.start());
    ASSERT_TRUE(dockedSettlesAt(1, 2500));
    tray.setTrayTip(q("ZOR Brakkon:\r\n") + QString(80, u'w'));

    const qulonglong first = tray.TrayHwnd();
    host.stop();
    ASSERT_TRUE(host.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return tray.TrayHwnd() != first && tray.TrayHwnd() != 0; }, 1000))
        << "a restarted host may reuse the window id, but never the handle";
    QTest::qWait(1500); // the once-a-second check has seen the new host
    ASSERT_TRUE(dockedSettlesAt(1)) << "docked "
                                    << x.dockedWindows(QCoreApplication::applicationName()).size();
    const QPoint at = iconCentre();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return QGuiApplication::primaryScreen()
                       ->grabWindow(0, at.x(), at.y(), 1, 1)
                       .toImage()
                       .pixelColor(0, 0) == QColor(0, 255, 0);
        },
        2000));
    // Qt's tray widget is asked for its tooltip, as a pointer resting on it would. (A real hover is
    // not used: Qt wakes tooltips only once per widget and pointer path.)
    for (QWidget* icon : QApplication::topLevelWidgets())
        if (icon->isVisible() && QLatin1String(icon->metaObject()->className()) == "QSystemTrayIconSys") {
            QHelpEvent request(QEvent::ToolTip, icon->mapFromGlobal(at), at);
            QApplication::sendEvent(icon, &request);
        }
    const QString tip = q("ZOR Brakkon:\n") + QString(63 - 14, u'w');
    EXPECT_TRUE(QTest::qWaitFor([&] { return QToolTip::text() == tip; }, 2000))
        << "cut to 63 characters, line end included: " << qPrintable(QToolTip::text());
    QToolTip::hideText();
    tray.setInTray(false);
    EXPECT_TRUE(dockedSettlesAt(0));
}

struct ClickCase {
    const char* name;
    const char* how;
    QList<QString> events;
};
class DesktopClickTest : public DesktopTrayTest, public testing::WithParamInterface<ClickCase> {};

TEST_P(DesktopClickTest, AClickOnTheIconRaisesTheEventsOfItsGesture) {
    ASSERT_TRUE(host.start());
    tray.setInTray(true);
    ASSERT_TRUE(dockedSettlesAt(1));
    const QPoint at = iconCentre();
    ASSERT_TRUE(
        xdotool(q("mousemove %1 %2 click %3").arg(at.x()).arg(at.y()).arg(QLatin1String(GetParam().how))));
    (void)QTest::qWaitFor([&] { return events.size() >= GetParam().events.size(); }, 2000);
    QTest::qWait(300);
    EXPECT_EQ(events, GetParam().events);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "Qt opened a menu of its own";
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, DesktopClickTest,
    testing::Values(ClickCase{"Left", "1", {"down 1", "up 1"}}, ClickCase{"Right", "3", {"down 2", "up 2"}},
                    ClickCase{"Middle", "2", {}},
                    ClickCase{"LeftDouble", "--repeat 2 --delay 80 1", {"down 1", "up 1", "dbl 1", "up 1"}}),
    [](const testing::TestParamInfo<ClickCase>& info) { return std::string(info.param.name); });

} // namespace
