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

using namespace Qt::StringLiterals;

const bool underXvfb = XvfbSession::startForProcess();

constexpr std::int32_t KeypadMultiply = 106;
constexpr std::int32_t Ctrl = 2;
constexpr xcb_keysym_t KeypadMultiplySym = 0xffaa;

// "key ctrl+F5" and the like: xdotool's words, separated by spaces.
bool xdotool(const QString& words) {
    return runProgram(u"xdotool"_s, words.split(u' ')) == 0;
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
    void TearDown() override { xdotool(u"keyup ctrl shift"_s); }

    DesktopXClient other;
    xcb_window_t focus = 0;
};

// The left-hand Ctrl and Shift let popups through in the end-to-end runs; here the right-hand
// ones, and what reading them costs.
TEST_F(DesktopKeysTest, AKeyHeldWhileAnotherProgramHasFocusIsSeenAsDown) {
    auto& keys = platform::keyState();
    auto down = [&](std::int32_t key) { return (keys.GetKeyState(key) & 0x8000) != 0; };
    for (const auto& [name, key, other] : {std::tuple("Control_R", 17, 16), std::tuple("Shift_R", 16, 17)}) {
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
        EXPECT_EQ(pressed.first().at(0).value<std::uint8_t>(), 0);
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
    ASSERT_TRUE(holder.grabKey(code, XCB_MOD_MASK_CONTROL, {XCB_MOD_MASK_LOCK}));

    ZORHotkey hotkey;
    EXPECT_FALSE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
    EXPECT_FALSE(hotkey.AsignNewHotKey(0xE7, Ctrl)) << "a code with no X key symbol";
    DesktopXClient probe;
    EXPECT_TRUE(probe.grabKey(code, XCB_MOD_MASK_CONTROL, {0})) << "a refused registration kept a grab";

    // The identifier was not used up: the next combination gets 0.
    ASSERT_TRUE(hotkey.AsignNewHotKey(0x70 + 4, Ctrl)); // Ctrl+F5
    QSignalSpy pressed(&hotkey, &ZORHotkey::KeyPressed);
    ASSERT_TRUE(xdotool(u"key ctrl+F5"_s));
    ASSERT_TRUE(pressed.wait(2000));
    EXPECT_EQ(pressed.first().at(0).value<std::uint8_t>(), 0);
}

} // namespace
