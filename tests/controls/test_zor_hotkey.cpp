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

TEST_F(HotkeyTest, IdentifiersRunFromZeroARefusalUsesNoneAndRemovingGivesEachBackOnce) {
    {
        ZORHotkey hotkey;
        hotkey.RemoveHotKeys(); // nothing registered: nothing to give back
        source->heldElsewhere.append({'B', Ctrl});
        EXPECT_TRUE(hotkey.AsignNewHotKey('A', Ctrl));
        EXPECT_FALSE(hotkey.AsignNewHotKey('B', Ctrl));
        EXPECT_TRUE(hotkey.AsignNewHotKey(0x70)); // an omitted modifier registers the bare key
        EXPECT_EQ(source->grabbed,
                  (QHash<std::int32_t, FakeHotKeySource::Combination>{{0, {'A', Ctrl}}, {1, {0x70, 0}}}));
        EXPECT_EQ(ZORHotKeyModule::LastID(), 1);
        hotkey.RemoveHotKeys();
        hotkey.RemoveHotKeys();
        EXPECT_EQ(source->released, (QList<std::int32_t>{0, 1}));
        ASSERT_TRUE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
        EXPECT_EQ(source->grabbed.keys(), QList<std::int32_t>{0}) << "numbering starts again at 0";
    }
    EXPECT_TRUE(source->grabbed.isEmpty()) << "destroying the control releases its keys";
}

// The event is raised later from the timer, never inside the native event handling, and
// presses within one tick are reported once with the last identifier.
TEST_F(HotkeyTest, PressesAreReportedFromTheTimerOncePerTickWithTheLastIdentifier) {
    ZORHotkey hotkey;
    ASSERT_TRUE(hotkey.AsignNewHotKey('A', Ctrl));
    ASSERT_TRUE(hotkey.AsignNewHotKey('C', Ctrl));
    QSignalSpy pressed(&hotkey, &ZORHotkey::KeyPressed);
    for (const QList<std::int32_t>& presses : {QList<std::int32_t>{0}, QList<std::int32_t>{0, 1}}) {
        pressed.clear();
        for (std::int32_t id : presses)
            source->press(id);
        EXPECT_EQ(pressed.count(), 0) << "raised inside the source";
        ASSERT_TRUE(pressed.wait(200));
        QTest::qWait(120);
        ASSERT_EQ(pressed.count(), 1);
        EXPECT_EQ(pressed.first().at(0).value<std::uint8_t>(), presses.last());
    }
}

TEST(HotkeyOffscreen, WithoutAGlobalKeyboardRegistrationFails) {
    ZORHotkey hotkey;
    EXPECT_FALSE(hotkey.AsignNewHotKey(KeypadMultiply, Ctrl));
    EXPECT_EQ(ZORHotKeyModule::LastID(), -1);
    hotkey.RemoveHotKeys();
}

} // namespace
