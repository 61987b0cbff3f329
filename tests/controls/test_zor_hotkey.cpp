#include "controls/hotkey/ZORHotKeyModule.h"
#include "controls/hotkey/ZORHotkey.h"
#include "support/DesktopFakes.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr std::int32_t KeypadMultiply = 106;
constexpr std::int32_t Ctrl = 2;

class HotkeyTest : public testing::Test {
protected:
    ScopedFakeHotKeys source;
};

TEST_F(HotkeyTest, IdentifiersRunFromZeroAndARefusalDoesNotUseOneUp) {
    ZORHotkey hotkey;
    source->heldElsewhere.append({'B', Ctrl});
    EXPECT_TRUE(hotkey.AsignNewHotKey('A', Ctrl));
    EXPECT_FALSE(hotkey.AsignNewHotKey('B', Ctrl));
    EXPECT_TRUE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
    EXPECT_EQ(source->grabbed.value(0), (FakeHotKeySource::Combination{'A', Ctrl}));
    EXPECT_EQ(source->grabbed.value(1), (FakeHotKeySource::Combination{KeypadMultiply, Ctrl}));
    EXPECT_EQ(ZORHotKeyModule::LastID(), 1);
}

TEST_F(HotkeyTest, OmittedModifierRegistersTheBareKey) {
    ZORHotkey hotkey;
    EXPECT_TRUE(hotkey.AsignNewHotKey(0x70));
    EXPECT_EQ(source->grabbed.value(0), (FakeHotKeySource::Combination{0x70, 0}));
}

TEST_F(HotkeyTest, RemovingGivesBackEveryIdentifierAndStartsAgainAtZero) {
    ZORHotkey hotkey;
    hotkey.RemoveHotKeys(); // nothing was ever registered: nothing to give back
    EXPECT_TRUE(source->released.isEmpty());
    ASSERT_TRUE(hotkey.AsignNewHotKey('A', Ctrl));
    ASSERT_TRUE(hotkey.AsignNewHotKey('C', Ctrl));
    hotkey.RemoveHotKeys();
    EXPECT_EQ(source->released, (QList<std::int32_t>{0, 1}));
    EXPECT_TRUE(source->grabbed.isEmpty());
    hotkey.RemoveHotKeys(); // twice is harmless
    EXPECT_EQ(source->released.size(), 2);
    ASSERT_TRUE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
    EXPECT_TRUE(source->grabbed.contains(0));
}

TEST_F(HotkeyTest, DestroyingTheControlReleasesItsKeys) {
    {
        ZORHotkey hotkey;
        ASSERT_TRUE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
    }
    EXPECT_TRUE(source->grabbed.isEmpty());
}

TEST_F(HotkeyTest, APressIsReportedLaterFromTheTimerNeverFromInsideTheSource) {
    ZORHotkey hotkey;
    ASSERT_TRUE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
    QSignalSpy pressed(&hotkey, &ZORHotkey::KeyPressed);
    source->press(0);
    EXPECT_EQ(pressed.count(), 0) << "raised inside the native event handling";
    ASSERT_TRUE(pressed.wait(200));
    EXPECT_EQ(pressed.takeFirst().at(0).value<std::uint8_t>(), 0);
    QTest::qWait(120);
    EXPECT_EQ(pressed.count(), 0) << "one press, one event";
}

TEST_F(HotkeyTest, PressesWithinOneTickAreReportedOnceWithTheLastIdentifier) {
    ZORHotkey hotkey;
    ASSERT_TRUE(hotkey.AsignNewHotKey('A', Ctrl));
    ASSERT_TRUE(hotkey.AsignNewHotKey('C', Ctrl));
    QSignalSpy pressed(&hotkey, &ZORHotkey::KeyPressed);
    source->press(0);
    source->press(1);
    ASSERT_TRUE(pressed.wait(200));
    QTest::qWait(120);
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed.first().at(0).value<std::uint8_t>(), 1);
}

TEST(HotkeyOffscreen, WithoutAGlobalKeyboardRegistrationFails) {
    ZORHotkey hotkey;
    EXPECT_FALSE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
    EXPECT_EQ(ZORHotKeyModule::LastID(), -1);
    hotkey.RemoveHotKeys();
}

} // namespace
