#include "controls/tray/ZorTray.h"
#include "controls/tray/ZorTrayMod.h"
#include "support/DesktopFakes.h"
#include "support/ScriptedDialogs.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QPixmap solid(QColor colour) {
    QPixmap picture(16, 16);
    picture.fill(colour);
    return picture;
}

// The control, a desktop with a tray host it can be told to replace, and a record of what the
// icon was asked to do.
class TrayTest : public testing::Test {
protected:
    ScopedFakeTrayHost host;
    ScopedFakeNotifyIcons icons;
    ZorTray tray;
    FakeNotifyIcon::Log& log() { return icons.log(); }
};

TEST_F(TrayTest, ShowingTwiceAddsTheIconOnce) {
    host->host = 0x400001;
    tray.setInTray(true);
    tray.setInTray(true);
    EXPECT_EQ(log().adds, 1);
    EXPECT_TRUE(log().shown);
    EXPECT_TRUE(tray.InTray());
}

TEST_F(TrayTest, HidingAnIconNeverAddedTouchesNothing) {
    tray.setInTray(false);
    EXPECT_TRUE(log().operations.isEmpty());
    host->host = 0x400001;
    tray.setInTray(true);
    tray.setInTray(false);
    EXPECT_EQ(log().operations, (QList<QString>{QStringLiteral("add"), QStringLiteral("remove")}));
    EXPECT_FALSE(tray.InTray());
}

TEST_F(TrayTest, WithoutHostTheIconWaitsAndIsAddedWithinASecondOfOneAppearing) {
    tray.setTrayTip(QStringLiteral("waiting"));
    tray.setInTray(true);
    EXPECT_TRUE(tray.InTray());
    EXPECT_EQ(tray.TrayHwnd(), 0U);
    EXPECT_EQ(log().adds, 0);
    host->host = 0x600007;
    EXPECT_TRUE(QTest::qWaitFor([&] { return log().adds == 1; }, 1500));
    EXPECT_EQ(log().tip, QStringLiteral("waiting"));
    QTest::qWait(1100);
    EXPECT_EQ(log().adds, 1) << "a host that stays is not a reason to add again";
}

TEST_F(TrayTest, ANewHostGetsTheIconOnceWithTheSameTipAndPicture) {
    host->host = 0x400001;
    tray.setInTray(true);
    const QPixmap picture = solid(Qt::green);
    tray.setTrayIcon(picture);
    tray.setTrayTip(QStringLiteral("ZOR Brakkon:\r\n3 popups canceled"));
    log().operations.clear();

    host->host = 0; // the host went away ...
    QTest::qWait(1100);
    host->host = 0x800003; // ... and a new one came
    EXPECT_TRUE(QTest::qWaitFor([&] { return !log().operations.isEmpty(); }, 1500));
    QTest::qWait(1100);
    EXPECT_EQ(log().operations, (QList<QString>{QStringLiteral("remove"), QStringLiteral("add")}));
    EXPECT_EQ(log().tip, QStringLiteral("ZOR Brakkon:\r\n3 popups canceled"));
    EXPECT_EQ(log().icon.cacheKey(), picture.cacheKey());
    EXPECT_TRUE(tray.InTray());
}

TEST_F(TrayTest, TipAndPictureChangesReachAnAddedIconOnly) {
    tray.setTrayTip(QStringLiteral("before"));
    tray.setTrayIcon(solid(Qt::red));
    EXPECT_TRUE(log().operations.isEmpty()) << "nothing to modify before the icon is added";
    EXPECT_EQ(tray.TrayTip(), QStringLiteral("before"));

    host->host = 0x400001;
    tray.setInTray(true);
    tray.setTrayTip(QStringLiteral("after"));
    const QPixmap blue = solid(Qt::blue);
    tray.setTrayIcon(blue);
    EXPECT_EQ(log().operations,
              (QList<QString>{QStringLiteral("add"), QStringLiteral("tip"), QStringLiteral("icon")}));
    EXPECT_EQ(log().tip, QStringLiteral("after"));
    EXPECT_EQ(log().icon.cacheKey(), blue.cacheKey());
    EXPECT_EQ(tray.TrayIcon().cacheKey(), blue.cacheKey()) << "the host compares what it set by cacheKey";
}

TEST_F(TrayTest, WhatTheTrayCannotShowIsKeptButNeverSent) {
    host->host = 0x400001;
    EXPECT_EQ(tray.TrayTip(), QString(QChar(u'\0'))) << "a new control's tip is a single NUL";
    tray.setInTray(true);
    EXPECT_TRUE(log().tip.isEmpty()) << "an empty tip on add sends no tip";
    log().operations.clear();
    tray.setTrayIcon(QPixmap());
    EXPECT_TRUE(log().operations.isEmpty());
    EXPECT_TRUE(tray.TrayIcon().isNull());
}

TEST_F(TrayTest, DisablingShowsTheDisabledPictureWhenThereIsOne) {
    host->host = 0x400001;
    const QPixmap normal = solid(Qt::green);
    const QPixmap disabled = solid(Qt::gray);
    tray.setTrayIcon(normal);
    tray.setInTray(true);

    tray.setEnabled(false); // no disabled picture yet: the tray keeps its icon
    EXPECT_EQ(log().icon.cacheKey(), normal.cacheKey());
    EXPECT_EQ(tray.TrayIcon().cacheKey(), normal.cacheKey());

    tray.setDisabledIcon(disabled);
    tray.setEnabled(false);
    EXPECT_EQ(log().icon.cacheKey(), disabled.cacheKey());
    EXPECT_EQ(tray.TrayIcon().cacheKey(), disabled.cacheKey());

    tray.setTrayIcon(solid(Qt::blue)); // stored, but the disabled picture stays in the tray
    EXPECT_EQ(log().icon.cacheKey(), disabled.cacheKey());

    tray.setEnabled(true);
    EXPECT_EQ(log().icon.cacheKey(), tray.TrayIcon().cacheKey());
    EXPECT_TRUE(tray.Enabled());
}

struct Gesture {
    const char* name;
    QList<platform::NotifyIcon::Press> presses;
    QList<QString> events; // "down 1", "up 1", "dbl 1", ...
};

class TrayGestureTest : public TrayTest, public testing::WithParamInterface<Gesture> {};

TEST_P(TrayGestureTest, PressesBecomeTheEventsOfTheirGesture) {
    host->host = 0x400001;
    tray.setInTray(true);
    QList<QString> events;
    QObject::connect(&tray, &ZorTray::MouseDown, [&](std::int16_t button, std::int32_t id) {
        events.append(QStringLiteral("down %1 id %2").arg(button).arg(id));
    });
    QObject::connect(&tray, &ZorTray::MouseUp, [&](std::int16_t button, std::int32_t id) {
        events.append(QStringLiteral("up %1 id %2").arg(button).arg(id));
    });
    QObject::connect(&tray, &ZorTray::MouseDblClick, [&](std::int16_t button, std::int32_t id) {
        events.append(QStringLiteral("dbl %1 id %2").arg(button).arg(id));
    });
    QObject::connect(&tray, &ZorTray::MouseMove,
                     [&](std::int32_t id) { events.append(QStringLiteral("move %1").arg(id)); });
    ASSERT_NE(log().current, nullptr);
    for (auto press : GetParam().presses)
        log().current->press(press);
    QList<QString> expected;
    for (const QString& event : GetParam().events)
        expected.append(event + QStringLiteral(" id 0"));
    EXPECT_EQ(events, expected);

    events.clear();
    tray.setEnabled(false);
    for (auto press : GetParam().presses)
        log().current->press(press);
    EXPECT_TRUE(events.isEmpty()) << "a disabled control raises no mouse events";
}

using P = platform::NotifyIcon::Press;
INSTANTIATE_TEST_SUITE_P(
    Gestures, TrayGestureTest,
    testing::Values(Gesture{"LeftClick", {P::Left}, {QStringLiteral("down 1"), QStringLiteral("up 1")}},
                    Gesture{"RightClick", {P::Right}, {QStringLiteral("down 2"), QStringLiteral("up 2")}},
                    Gesture{"LeftDoubleClick",
                            {P::Left, P::LeftDouble},
                            {QStringLiteral("down 1"), QStringLiteral("up 1"), QStringLiteral("dbl 1"),
                             QStringLiteral("up 1")}},
                    Gesture{"MiddleClickIsIgnored", {P::Middle}, {}}),
    [](const testing::TestParamInfo<Gesture>& info) { return std::string(info.param.name); });

struct TipCase {
    const char* name;
    QString given;
    QString sent;
};
class ShellTipTest : public testing::TestWithParam<TipCase> {};

TEST_P(ShellTipTest, TheShellGetsATerminatedTipOfAtMost63Characters) {
    const QString sent = ZorTrayMod::ShellTip(GetParam().given);
    EXPECT_EQ(sent, GetParam().sent);
    EXPECT_LE(sent.size(), 63);
}

const QString Smiley = QString::fromUtf8("\xF0\x9F\x98\x80"); // outside the BMP: two UTF-16 units
INSTANTIATE_TEST_SUITE_P(
    Tips, ShellTipTest,
    testing::Values(TipCase{"Short", QStringLiteral("ZOR Brakkon:\r\n0 "),
                            QStringLiteral("ZOR Brakkon:\r\n0 ")},
                    TipCase{"Exactly63", QString(63, u'x'), QString(63, u'x')},
                    TipCase{"Sixty4IsCut", QString(64, u'x'), QString(63, u'x')},
                    TipCase{"LongIsCut", QString(300, u'y'), QString(63, u'y')},
                    TipCase{"EndsAtNul", QStringLiteral("abc") + QChar(u'\0') + QStringLiteral("def"),
                            QStringLiteral("abc")},
                    TipCase{"SingleNulIsEmpty", QString(QChar(u'\0')), QString()},
                    TipCase{"NoHalfCharacterAtTheCut", QString(62, u'z') + Smiley, QString(62, u'z')}),
    [](const testing::TestParamInfo<TipCase>& info) { return std::string(info.param.name); });

TEST(TrayProperties, WrittenPropertiesReadBackIntoANewControl) {
    ScopedFakeTrayHost host;
    ScopedFakeNotifyIcons icons;
    host->host = 0x400001;
    PropertyBag bag;
    const QPixmap picture = solid(Qt::yellow);
    const QPixmap disabled = solid(Qt::darkGray);
    {
        ZorTray tray;
        tray.setTrayIcon(picture);
        tray.setTrayTip(QStringLiteral("tip"));
        tray.setDisabledIcon(disabled);
        tray.setInTray(true);
        tray.setEnabled(false);
        tray.WriteProperties(bag);
    }
    ZorTray restored;
    restored.ReadProperties(bag);
    EXPECT_TRUE(restored.InTray());
    EXPECT_EQ(restored.TrayTip(), QStringLiteral("tip"));
    EXPECT_FALSE(restored.Enabled());
    EXPECT_EQ(restored.DisabledIcon().toImage(), disabled.toImage());
    restored.setEnabled(true);
    EXPECT_EQ(restored.TrayIcon().toImage(), picture.toImage());
}

TEST(TrayProperties, AnEmptyBagGivesANewControlsDefaults) {
    ScopedFakeTrayHost host;
    ScopedFakeNotifyIcons icons;
    PropertyBag bag;
    ZorTray().WriteProperties(bag);
    ZorTray restored;
    restored.ReadProperties(bag);
    EXPECT_FALSE(restored.InTray());
    EXPECT_TRUE(restored.Enabled());
    EXPECT_EQ(restored.TrayTip(), QString(QChar(u'\0')));
    EXPECT_EQ(restored.TrayIcon().toImage(), ZorTray::DefaultIcon().toImage());
    EXPECT_TRUE(restored.DisabledIcon().isNull());
}

TEST(TrayProperties, AControlWithoutPictureStaysWithoutOne) {
    ScopedFakeTrayHost host;
    ScopedFakeNotifyIcons icons;
    PropertyBag bag;
    {
        ZorTray tray;
        tray.setTrayIcon(QPixmap());
        tray.WriteProperties(bag);
    }
    ZorTray restored;
    restored.ReadProperties(bag);
    EXPECT_TRUE(restored.TrayIcon().isNull());
}

TEST(TrayOffscreen, WithoutADesktopTheControlKeepsItsValuesAndShowsNothing) {
    ScopedFakeNotifyIcons icons; // the real tray-host watch: offscreen has no host
    ZorTray tray;
    tray.setTrayTip(QStringLiteral("kept"));
    tray.setInTray(true);
    EXPECT_TRUE(tray.InTray());
    EXPECT_EQ(tray.TrayHwnd(), 0U);
    EXPECT_EQ(tray.TrayTip(), QStringLiteral("kept"));
    EXPECT_EQ(icons.log().adds, 0);
}

TEST(TrayAbout, TheAboutBoxNamesTheControlAndTheVersion) {
    ScopedScriptedDialogs dialogs;
    QCoreApplication::setApplicationVersion(QStringLiteral("2.7.13"));
    ZorTray tray;
    tray.AboutBox();
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages.first().prompt.startsWith(QStringLiteral("ZORTray v2.7.13")))
        << qPrintable(dialogs->messages.first().prompt);
    EXPECT_EQ(dialogs->messages.first().icon, platform::MsgIcon::Information);
}

} // namespace
