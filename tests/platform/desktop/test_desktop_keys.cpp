#include "controls/hotkey/ZORHotkey.h"
#include "platform/KeyState.h"
#include "support/DesktopProcess.h"
#include "support/DesktopXClient.h"
#include "support/XvfbSession.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const bool underXvfb = XvfbSession::startForProcess();

constexpr std::int32_t KeypadMultiply = 106;
constexpr std::int32_t Ctrl = 2;
constexpr xcb_keysym_t KeypadMultiplySym = 0xffaa;

// "key ctrl+F5" and the like: xdotool's words, separated by spaces.
bool xdotool(const QString& words) {
    return runProgram(QStringLiteral("xdotool"), words.split(u' ')) == 0;
}

class DesktopKeysTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(underXvfb);
        ASSERT_TRUE(other.ok());
        // Another program has the keyboard focus throughout.
        focus = other.showFocusedWindow();
        ASSERT_EQ(other.focusedWindow(), focus);
    }
    void TearDown() override { xdotool(QStringLiteral("keyup ctrl shift")); }

    DesktopXClient other;
    xcb_window_t focus = 0;
};

struct HeldKey {
    const char* name;
    const char* xdotoolKey;
    std::int32_t virtualKey;
    std::int32_t otherVirtualKey; // must stay up meanwhile
};
class KeyStateTest : public DesktopKeysTest, public testing::WithParamInterface<HeldKey> {};

TEST_P(KeyStateTest, AKeyHeldWhileAnotherProgramHasFocusIsSeenAsDown) {
    auto& keys = platform::keyState();
    const auto& key = GetParam();
    EXPECT_EQ(keys.GetKeyState(key.virtualKey) & 0x8000, 0);
    ASSERT_TRUE(xdotool(QStringLiteral("keydown ") + QLatin1String(key.xdotoolKey)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return (keys.GetKeyState(key.virtualKey) & 0x8000) != 0; }, 1000));
    EXPECT_EQ(keys.GetKeyState(key.otherVirtualKey) & 0x8000, 0);
    // Twenty reads a second all day: they must cost no request to the server (reads more than a
    // millisecond apart, so none shares another's).
    xcb_connection_t* connection = qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const unsigned before = xcb_no_operation(connection).sequence;
    for (int i = 0; i < 3; ++i) {
        QTest::qSleep(2);
        keys.GetKeyState(key.virtualKey);
    }
    EXPECT_EQ(xcb_no_operation(connection).sequence, before + 1);
    ASSERT_TRUE(xdotool(QStringLiteral("keyup ") + QLatin1String(key.xdotoolKey)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return (keys.GetKeyState(key.virtualKey) & 0x8000) == 0; }, 1000));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyStateTest,
    testing::Values(HeldKey{"LeftCtrl", "Control_L", 17, 16}, HeldKey{"RightCtrl", "Control_R", 17, 16},
                    HeldKey{"LeftShift", "Shift_L", 16, 17}, HeldKey{"RightShift", "Shift_R", 16, 17}),
    [](const testing::TestParamInfo<HeldKey>& info) { return std::string(info.param.name); });

struct LockState {
    const char* name;
    const char* toggle; // lock key pressed before and after, or ""
};
class HotkeyPressTest : public DesktopKeysTest, public testing::WithParamInterface<LockState> {};

TEST_P(HotkeyPressTest, TheHotKeyFiresWhileAnotherWindowHasFocus) {
    ZORHotkey hotkey;
    ASSERT_TRUE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
    QSignalSpy pressed(&hotkey, &ZORHotkey::KeyPressed);
    const QString toggle = QString::fromLatin1(GetParam().toggle);
    ASSERT_TRUE(toggle.isEmpty() || xdotool(QStringLiteral("key ") + toggle));
    ASSERT_TRUE(xdotool(QStringLiteral("key ctrl+KP_Multiply")));
    const bool fired = pressed.wait(2000);
    if (!toggle.isEmpty())
        xdotool(QStringLiteral("key ") + toggle);
    ASSERT_TRUE(fired);
    EXPECT_EQ(pressed.first().at(0).value<std::uint8_t>(), 0);
    EXPECT_EQ(other.focusedWindow(), focus) << "the grab must not take the focus";

    // The bare key and other modifiers are not the hot-key.
    pressed.clear();
    ASSERT_TRUE(xdotool(QStringLiteral("key KP_Multiply")));
    ASSERT_TRUE(xdotool(QStringLiteral("key ctrl+shift+KP_Multiply")));
    QTest::qWait(300);
    EXPECT_EQ(pressed.count(), 0);

    hotkey.RemoveHotKeys();
    ASSERT_TRUE(xdotool(QStringLiteral("key ctrl+KP_Multiply")));
    QTest::qWait(300);
    EXPECT_EQ(pressed.count(), 0) << "a removed hot-key still fired";
}

INSTANTIATE_TEST_SUITE_P(Locks, HotkeyPressTest,
                         testing::Values(LockState{"NoLock", ""}, LockState{"NumLockOn", "Num_Lock"},
                                         LockState{"CapsLockOn", "Caps_Lock"}),
                         [](const testing::TestParamInfo<LockState>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(DesktopKeysTest, ACombinationHeldElsewhereOrWithoutAKeyIsRefusedAndLeavesNothingGrabbed) {
    DesktopXClient holder;
    const xcb_keycode_t code = holder.keycodeOf(KeypadMultiplySym);
    ASSERT_NE(code, 0);
    // The other program holds only the Caps Lock variant: the refusal must also undo the variants
    // this program did get.
    ASSERT_TRUE(holder.grabKey(code, XCB_MOD_MASK_CONTROL, {XCB_MOD_MASK_LOCK}));

    ZORHotkey hotkey;
    EXPECT_FALSE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
    EXPECT_FALSE(hotkey.AsignNewHotKey(0xE7, Ctrl)) << "a code with no X key symbol";
    DesktopXClient probe;
    EXPECT_TRUE(probe.grabKey(code, XCB_MOD_MASK_CONTROL, {0})) << "a refused registration kept a grab";

    // The identifier was not used up: the next combination gets 0.
    ASSERT_TRUE(hotkey.AsignNewHotKey(0x70 + 4, Ctrl)); // Ctrl+F5
    QSignalSpy pressed(&hotkey, &ZORHotkey::KeyPressed);
    ASSERT_TRUE(xdotool(QStringLiteral("key ctrl+F5")));
    ASSERT_TRUE(pressed.wait(2000));
    EXPECT_EQ(pressed.first().at(0).value<std::uint8_t>(), 0);
}

} // namespace
