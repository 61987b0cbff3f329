#include "controls/tray/ZorTray.h"
#include "support/DesktopProcess.h"
#include "support/DesktopXClient.h"
#include "support/Pictures.h"
#include "support/TrayHost.h"
#include "support/XvfbSession.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

const bool underXvfb = XvfbSession::startForProcess();

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
    // The icon's centre on screen turns (or is) the colour within two seconds.
    bool iconShows(QColor colour) {
        return QTest::qWaitFor(
            [&] {
                const QPoint at = iconCentre();
                return QGuiApplication::primaryScreen()
                           ->grabWindow(0, at.x(), at.y(), 1, 1)
                           .toImage()
                           .pixelColor(0, 0) == colour;
            },
            2000);
    }
    // Asks Qt's tray widget for its tooltip, as a pointer resting on it would, and reads what
    // shows. (A real hover is not used: Qt wakes tooltips only once per widget and pointer path.)
    QString tipOnScreen() {
        QToolTip::hideText();
        const QPoint at = iconCentre();
        for (QWidget* icon : QApplication::topLevelWidgets())
            if (icon->isVisible() && QLatin1String(icon->metaObject()->className()) == "QSystemTrayIconSys") {
                QHelpEvent request(QEvent::ToolTip, icon->mapFromGlobal(at), at);
                QApplication::sendEvent(icon, &request);
            }
        QString text;
        (void)QTest::qWaitFor([&] { return !(text = QToolTip::text()).isEmpty(); }, 2000);
        QToolTip::hideText();
        return text;
    }
    // xdotool's click arguments, separated by spaces.
    bool click(const QString& how) {
        const QPoint at = iconCentre();
        const QString words = q("mousemove %1 %2 click ").arg(at.x()).arg(at.y()) + how;
        return runProgram(q("xdotool"), words.split(u' ')) == 0;
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
    EXPECT_EQ(tray.TrayHwnd() & 0xffffffffU, TrayHost::owner()) << "the host window is in the low bits";
    tray.setTrayTip(q("ZOR Brakkon:\r\n") + QString(80, u'w'));

    const qulonglong first = tray.TrayHwnd();
    host.stop();
    ASSERT_TRUE(host.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return tray.TrayHwnd() != first && tray.TrayHwnd() != 0; }, 1000))
        << "a restarted host may reuse the window id, but never the handle";
    QTest::qWait(1500); // the once-a-second check has seen the new host
    ASSERT_TRUE(dockedSettlesAt(1)) << "docked "
                                    << x.dockedWindows(QCoreApplication::applicationName()).size();
    EXPECT_TRUE(iconShows(QColor(0, 255, 0)));
    EXPECT_EQ(tipOnScreen(), q("ZOR Brakkon:\n") + QString(63 - 14, u'w'))
        << "cut to 63 characters, line end included";
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
    ASSERT_TRUE(click(QLatin1String(GetParam().how)));
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
