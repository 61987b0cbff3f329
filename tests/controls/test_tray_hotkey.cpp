#include "controls/hotkey/ZORHotkey.h"
#include "controls/tray/ZorTray.h"
#include "controls/tray/ZorTrayMod.h"
#include "support/DesktopFakes.h"
#include "support/Pictures.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

using Ops = QList<QString>;

// The control, a desktop with a tray host it can be told to replace, and a record of what the
// icon was asked to do.
class TrayTest : public testing::Test {
protected:
    ScopedFakeTrayHost host;
    ScopedFakeNotifyIcons icons;
    ZorTray tray;
};

TEST_F(TrayTest, TheIconWaitsForAHostAndEachNewHostGetsItOnceWithTheSameTipAndPicture) {
    const QPixmap picture = solidPicture(Qt::green);
    tray.setTrayIcon(picture);
    tray.setTrayTip(u"ZOR Brakkon:\r\n3 popups canceled"_s);
    tray.setInTray(true);
    for (std::uint32_t next : {0x600007U, 0x800003U}) {
        icons.log().operations.clear();
        host->host = 0; // no host, or the host went away ...
        QTest::qWait(1100);
        host->host = next; // ... and a new one came
        EXPECT_TRUE(QTest::qWaitFor([&] { return icons.log().operations.contains(u"add"_s); }, 1500));
        QTest::qWait(1100);
        EXPECT_EQ(icons.log().operations.count(u"add"_s), 1) << "a host that stays is no reason to add again";
        EXPECT_EQ(icons.log().tip, u"ZOR Brakkon:\r\n3 popups canceled"_s);
        EXPECT_EQ(icons.log().icon.cacheKey(), picture.cacheKey());
    }
    EXPECT_EQ(icons.log().operations, (Ops{"remove", "add"}));
}

// Showing and hiding touch the icon only on a change and with a host; a tip and a picture reach
// only an added icon, and what cannot show (an empty tip, no picture) is never sent.
TEST_F(TrayTest, TheIconIsTouchedOnlyForAChangeItCanShow) {
    tray.setInTray(false);
    EXPECT_TRUE(icons.log().operations.isEmpty()) << "hiding an icon never added";
    host->host = 0x400001;
    tray.setInTray(true);
    tray.setInTray(true);
    EXPECT_TRUE(icons.log().tip.isEmpty()) << "an empty tip on add sends no tip";
    tray.setInTray(false);
    tray.setInTray(false);
    tray.setTrayTip(u"before"_s);
    tray.setTrayIcon(solidPicture(Qt::red));
    tray.setInTray(true);
    tray.setTrayTip(QString(70, u'a'));
    const QPixmap blue = solidPicture(Qt::blue);
    tray.setTrayIcon(blue);
    tray.setTrayIcon(QPixmap());
    host->host = 0; // gone: nothing to add the icon to
    tray.setInTray(false);
    tray.setInTray(true);
    EXPECT_EQ(icons.log().operations, (Ops{"add", "remove", "add", "tip", "icon", "remove"}));
    EXPECT_EQ(icons.log().tip, QString(63, u'a')) << "as the shell takes it";
    EXPECT_EQ(icons.log().icon.cacheKey(), blue.cacheKey());
    EXPECT_TRUE(tray.TrayIcon().isNull()) << "kept, though not shown";
}

TEST(ShellTip, IsTheTipUpToItsFirstNulAndAtMost63CharactersWithNoHalfCharacterAtTheCut) {
    const QString smiley = QString::fromUtf8("\xF0\x9F\x98\x80"); // outside the BMP: two UTF-16 units
    const std::pair<QString, QString> givenAndSent[] = {{QString(63, u'x'), QString(63, u'x')},
                                                        {u"abc"_s + QChar(u'\0') + u"def"_s, u"abc"_s},
                                                        {QString(62, u'z') + smiley, QString(62, u'z')}};
    for (std::size_t row = 0; row < std::size(givenAndSent); ++row)
        EXPECT_EQ(ZorTrayMod::ShellTip(givenAndSent[row].first), givenAndSent[row].second) << "row " << row;
}

constexpr std::int32_t KeypadMultiply = 106;
constexpr std::int32_t Ctrl = 2;

TEST(Hotkey, IdentifiersRunFromZeroARefusalUsesNoneAndRemovingGivesEachBackOnce) {
    ScopedFakeHotKeys source;
    {
        ZORHotkey hotkey;
        source->heldElsewhere.append({'B', Ctrl});
        EXPECT_TRUE(hotkey.AsignNewHotKey('A', Ctrl));
        EXPECT_FALSE(hotkey.AsignNewHotKey('B', Ctrl));
        EXPECT_TRUE(hotkey.AsignNewHotKey(0x70)); // an omitted modifier registers the bare key
        EXPECT_EQ(source->grabbed,
                  (QHash<std::int32_t, FakeHotKeySource::Combination>{{0, {'A', Ctrl}}, {1, {0x70, 0}}}));
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
TEST(Hotkey, PressesAreReportedFromTheTimerOncePerTickWithTheLastIdentifier) {
    ScopedFakeHotKeys source;
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

} // namespace
