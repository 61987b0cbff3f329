#include "controls/tray/ZorTray.h"
#include "controls/tray/ZorTrayMod.h"
#include "support/DesktopFakes.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

QPixmap solid(QColor colour) {
    QPixmap picture(16, 16);
    picture.fill(colour);
    return picture;
}
using Ops = QList<QString>;

// The control, a desktop with a tray host it can be told to replace, and a record of what the
// icon was asked to do.
class TrayTest : public testing::Test {
protected:
    ScopedFakeTrayHost host;
    ScopedFakeNotifyIcons icons;
    ZorTray tray;
    FakeNotifyIcon::Log& log() { return icons.log(); }
};

TEST_F(TrayTest, ShowingAndHidingTouchTheIconOnlyOnAChange) {
    tray.setInTray(false);
    EXPECT_TRUE(log().operations.isEmpty()) << "hiding an icon never added";
    host->host = 0x400001;
    tray.setInTray(true);
    tray.setInTray(true);
    EXPECT_TRUE(tray.InTray());
    tray.setInTray(false);
    tray.setInTray(false);
    EXPECT_EQ(log().operations, (Ops{"add", "remove"}));
    EXPECT_FALSE(tray.InTray());
}

TEST_F(TrayTest, TheIconWaitsForAHostAndEachNewHostGetsItOnceWithTheSameTipAndPicture) {
    const QPixmap picture = solid(Qt::green);
    tray.setTrayIcon(picture);
    tray.setTrayTip(QStringLiteral("ZOR Brakkon:\r\n3 popups canceled"));
    tray.setInTray(true);
    EXPECT_TRUE(tray.InTray());
    EXPECT_EQ(tray.TrayHwnd(), 0U);
    for (std::uint32_t next : {0x600007U, 0x800003U}) {
        log().operations.clear();
        host->host = 0; // no host, or the host went away ...
        QTest::qWait(1100);
        host->host = next; // ... and a new one came
        EXPECT_TRUE(QTest::qWaitFor([&] { return log().operations.contains(QStringLiteral("add")); }, 1500));
        QTest::qWait(1100);
        EXPECT_EQ(log().operations.count(QStringLiteral("add")), 1)
            << "a host that stays is no reason to add again";
        EXPECT_EQ(log().tip, QStringLiteral("ZOR Brakkon:\r\n3 popups canceled"));
        EXPECT_EQ(log().icon.cacheKey(), picture.cacheKey());
    }
    EXPECT_EQ(log().operations, (Ops{"remove", "add"}));
}

TEST_F(TrayTest, TipAndPictureReachOnlyAnAddedIconAndWhatCannotShowIsNeverSent) {
    EXPECT_EQ(tray.TrayTip(), QString(QChar(u'\0'))) << "a new control's tip is a single NUL";
    host->host = 0x400001;
    tray.setInTray(true);
    EXPECT_TRUE(log().tip.isEmpty()) << "an empty tip on add sends no tip";
    tray.setInTray(false);
    tray.setTrayTip(QStringLiteral("before"));
    tray.setTrayIcon(solid(Qt::red));
    tray.setInTray(true);
    tray.setTrayTip(QStringLiteral("after"));
    const QPixmap blue = solid(Qt::blue);
    tray.setTrayIcon(blue);
    tray.setTrayIcon(QPixmap());
    EXPECT_EQ(log().operations, (Ops{"add", "remove", "add", "tip", "icon"}));
    EXPECT_EQ(log().tip, QStringLiteral("after"));
    EXPECT_EQ(log().icon.cacheKey(), blue.cacheKey());
    EXPECT_TRUE(tray.TrayIcon().isNull()) << "kept, though not shown";
}

TEST_F(TrayTest, DisablingShowsTheDisabledPictureWhenThereIsOne) {
    host->host = 0x400001;
    const QPixmap normal = solid(Qt::green), disabled = solid(Qt::gray);
    tray.setTrayIcon(normal);
    tray.setInTray(true);
    tray.setEnabled(false); // no disabled picture yet: the tray keeps its icon
    EXPECT_EQ(log().icon.cacheKey(), normal.cacheKey());
    tray.setDisabledIcon(disabled);
    tray.setEnabled(false);
    EXPECT_EQ(log().icon.cacheKey(), disabled.cacheKey());
    EXPECT_EQ(tray.TrayIcon().cacheKey(), disabled.cacheKey());
    tray.setTrayIcon(solid(Qt::blue)); // stored, but the disabled picture stays in the tray
    EXPECT_EQ(log().icon.cacheKey(), disabled.cacheKey());
    tray.setEnabled(true);
    EXPECT_EQ(log().icon.cacheKey(), tray.TrayIcon().cacheKey());
}

struct Gesture {
    const char* name;
    QList<platform::NotifyIcon::Press> presses;
    Ops events;
};
class TrayGestureTest : public TrayTest, public testing::WithParamInterface<Gesture> {};

TEST_P(TrayGestureTest, PressesBecomeTheEventsOfTheirGestureWhileEnabled) {
    host->host = 0x400001;
    tray.setInTray(true);
    Ops events;
    auto record = [&](const char* kind) {
        return [&events, kind](std::int16_t button, std::int32_t id) {
            events.append(QStringLiteral("%1 %2 id %3").arg(QLatin1String(kind)).arg(button).arg(id));
        };
    };
    QObject::connect(&tray, &ZorTray::MouseDown, record("down"));
    QObject::connect(&tray, &ZorTray::MouseUp, record("up"));
    QObject::connect(&tray, &ZorTray::MouseDblClick, record("dbl"));
    QObject::connect(&tray, &ZorTray::MouseMove,
                     [&](std::int32_t id) { events.append(QStringLiteral("move %1").arg(id)); });
    ASSERT_NE(log().current, nullptr);
    for (bool enabled : {true, false}) {
        tray.setEnabled(enabled);
        events.clear();
        for (auto press : GetParam().presses)
            log().current->press(press);
        EXPECT_EQ(events, enabled ? GetParam().events : Ops{}) << "enabled " << enabled;
    }
}

using P = platform::NotifyIcon::Press;
INSTANTIATE_TEST_SUITE_P(Gestures, TrayGestureTest,
                         testing::Values(Gesture{"LeftClick", {P::Left}, {"down 1 id 0", "up 1 id 0"}},
                                         Gesture{"RightClick", {P::Right}, {"down 2 id 0", "up 2 id 0"}},
                                         Gesture{"LeftDoubleClick",
                                                 {P::Left, P::LeftDouble},
                                                 {"down 1 id 0", "up 1 id 0", "dbl 1 id 0", "up 1 id 0"}},
                                         Gesture{"MiddleClickIsIgnored", {P::Middle}, {}}),
                         [](const testing::TestParamInfo<Gesture>& info) {
                             return std::string(info.param.name);
                         });

struct TipCase {
    const char* name;
    QString given, sent;
};
class ShellTipTest : public testing::TestWithParam<TipCase> {};

TEST_P(ShellTipTest, TheShellGetsATerminatedTipOfAtMost63Characters) {
    EXPECT_EQ(ZorTrayMod::ShellTip(GetParam().given), GetParam().sent);
}

const QString Smiley = QString::fromUtf8("\xF0\x9F\x98\x80"); // outside the BMP: two UTF-16 units
INSTANTIATE_TEST_SUITE_P(
    Tips, ShellTipTest,
    testing::Values(TipCase{"Short", QStringLiteral("ZOR Brakkon:\r\n0 "),
                            QStringLiteral("ZOR Brakkon:\r\n0 ")},
                    TipCase{"Exactly63", QString(63, u'x'), QString(63, u'x')},
                    TipCase{"Sixty4IsCut", QString(64, u'x'), QString(63, u'x')},
                    TipCase{"EndsAtNul", QStringLiteral("abc") + QChar(u'\0') + QStringLiteral("def"),
                            QStringLiteral("abc")},
                    TipCase{"SingleNulIsEmpty", QString(QChar(u'\0')), QString()},
                    TipCase{"NoHalfCharacterAtTheCut", QString(62, u'z') + Smiley, QString(62, u'z')}),
    [](const testing::TestParamInfo<TipCase>& info) { return std::string(info.param.name); });

TEST_F(TrayTest, WrittenPropertiesReadBackIntoANewControl) {
    host->host = 0x400001;
    const QPixmap picture = solid(Qt::yellow), disabled = solid(Qt::darkGray);
    PropertyBag bag, plain, bare;
    tray.setTrayIcon(picture);
    tray.setTrayTip(QStringLiteral("tip"));
    tray.setDisabledIcon(disabled);
    tray.setInTray(true);
    tray.setEnabled(false);
    tray.WriteProperties(bag);
    ZorTray().WriteProperties(plain);
    ZorTray withoutPicture;
    withoutPicture.setTrayIcon(QPixmap());
    withoutPicture.WriteProperties(bare);

    ZorTray restored, fresh, pictureless;
    restored.ReadProperties(bag);
    EXPECT_TRUE(restored.InTray());
    EXPECT_EQ(restored.TrayTip(), QStringLiteral("tip"));
    EXPECT_FALSE(restored.Enabled());
    EXPECT_EQ(restored.DisabledIcon().toImage(), disabled.toImage());
    restored.setEnabled(true);
    EXPECT_EQ(restored.TrayIcon().toImage(), picture.toImage());
    fresh.ReadProperties(plain);
    EXPECT_EQ(std::tuple(fresh.InTray(), fresh.Enabled(), fresh.TrayTip()),
              std::tuple(false, true, QString(QChar(u'\0'))));
    EXPECT_EQ(fresh.TrayIcon().toImage(), ZorTray::DefaultIcon().toImage());
    EXPECT_TRUE(fresh.DisabledIcon().isNull());
    pictureless.ReadProperties(bare);
    EXPECT_TRUE(pictureless.TrayIcon().isNull());
}

} // namespace
