#include "controls/tray/ZorTray.h"
#include "support/DesktopProcess.h"
#include "support/DesktopXClient.h"
#include "support/TrayHost.h"
#include "support/XvfbSession.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

const bool underXvfb = XvfbSession::startForProcess();

bool xdotool(const QStringList& arguments) {
    return runProgram(QStringLiteral("xdotool"), arguments) == 0;
}

QPixmap solid(QColor colour) {
    QPixmap picture(16, 16);
    picture.fill(colour);
    return picture;
}

class DesktopTrayTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(underXvfb);
        ASSERT_TRUE(x.ok());
        tray.setTrayIcon(picture);
        tray.setTrayTip(QStringLiteral("ZOR Brakkon:\r\n0 popups canceled"));
        QObject::connect(&tray, &ZorTray::MouseDown, [this](std::int16_t button, std::int32_t) {
            events.append(QStringLiteral("down %1").arg(button));
        });
        QObject::connect(&tray, &ZorTray::MouseUp, [this](std::int16_t button, std::int32_t) {
            events.append(QStringLiteral("up %1").arg(button));
        });
        QObject::connect(&tray, &ZorTray::MouseDblClick, [this](std::int16_t button, std::int32_t) {
            events.append(QStringLiteral("dbl %1").arg(button));
        });
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
    QColor colourOnScreen(QPoint at) {
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, at.x(), at.y(), 1, 1)
            .toImage()
            .pixelColor(0, 0);
    }
    // Asks Qt's tray widget for its tooltip, as a pointer resting on it would, and reads what
    // shows. (A real hover is not used: Qt wakes tooltips only once per widget and pointer path.)
    QString tipOnScreen() {
        QToolTip::hideText();
        QWidget* icon = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible() &&
                QLatin1String(widget->metaObject()->className()) == "QSystemTrayIconSys")
                icon = widget;
        if (!icon)
            return QStringLiteral("<no tray widget>");
        const QPoint at = iconCentre();
        QHelpEvent request(QEvent::ToolTip, icon->mapFromGlobal(at), at);
        QApplication::sendEvent(icon, &request);
        QString text;
        (void)QTest::qWaitFor(
            [&] {
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (auto* label = qobject_cast<QLabel*>(widget);
                        label && label->isVisible() &&
                        widget->objectName() == QLatin1String("qtooltip_label"))
                        text = label->text();
                return !text.isEmpty();
            },
            2000);
        QToolTip::hideText();
        return text;
    }
    bool click(const QStringList& how) {
        const QPoint at = iconCentre();
        return xdotool(QStringList{QStringLiteral("mousemove"), QString::number(at.x()),
                                   QString::number(at.y()), QStringLiteral("click")} +
                       how);
    }

    DesktopXClient x;
    TrayHost host;
    const QPixmap picture = solid(QColor(0, 255, 0));
    ZorTray tray;
    QList<QString> events;
};

TEST_F(DesktopTrayTest, TheIconDocksInTheTrayHostAndShowsItsPicture) {
    ASSERT_TRUE(host.start());
    tray.setInTray(true);
    EXPECT_EQ(tray.TrayHwnd() & 0xffffffffU, TrayHost::owner()) << "the host window is in the low bits";
    ASSERT_TRUE(dockedSettlesAt(1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return colourOnScreen(iconCentre()) == QColor(0, 255, 0); }, 2000))
        << qPrintable(colourOnScreen(iconCentre()).name());

    tray.setTrayIcon(solid(QColor(0, 0, 255)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return colourOnScreen(iconCentre()) == QColor(0, 0, 255); }, 2000));

    tray.setInTray(false);
    EXPECT_TRUE(dockedSettlesAt(0));
}

TEST_F(DesktopTrayTest, TheTipShowsCutTo63Characters) {
    ASSERT_TRUE(host.start());
    tray.setInTray(true);
    ASSERT_TRUE(dockedSettlesAt(1));
    tray.setTrayTip(QString(80, u'w'));
    EXPECT_EQ(tipOnScreen(), QString(63, u'w'));
}

struct ClickCase {
    const char* name;
    QStringList how;
    QList<QString> events;
};
class DesktopClickTest : public DesktopTrayTest, public testing::WithParamInterface<ClickCase> {};

TEST_P(DesktopClickTest, AClickOnTheIconRaisesTheEventsOfItsGesture) {
    ASSERT_TRUE(host.start());
    tray.setInTray(true);
    ASSERT_TRUE(dockedSettlesAt(1));
    ASSERT_TRUE(click(GetParam().how));
    (void)QTest::qWaitFor([&] { return events.size() >= GetParam().events.size(); }, 2000);
    QTest::qWait(300);
    EXPECT_EQ(events, GetParam().events);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "Qt opened a menu of its own";
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, DesktopClickTest,
    testing::Values(
        ClickCase{"Left", {QStringLiteral("1")}, {QStringLiteral("down 1"), QStringLiteral("up 1")}},
        ClickCase{"Right", {QStringLiteral("3")}, {QStringLiteral("down 2"), QStringLiteral("up 2")}},
        ClickCase{"Middle", {QStringLiteral("2")}, {}},
        ClickCase{"LeftDouble",
                  {QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
                   QStringLiteral("80"), QStringLiteral("1")},
                  {QStringLiteral("down 1"), QStringLiteral("up 1"), QStringLiteral("dbl 1"),
                   QStringLiteral("up 1")}}),
    [](const testing::TestParamInfo<ClickCase>& info) { return std::string(info.param.name); });

TEST_F(DesktopTrayTest, ATrayHostRestartedBetweenTwoChecksIsStillANewHost) {
    ASSERT_TRUE(host.start());
    const qulonglong first = tray.TrayHwnd();
    host.stop();
    ASSERT_TRUE(host.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return tray.TrayHwnd() != first && tray.TrayHwnd() != 0; }, 1000));
}

TEST_F(DesktopTrayTest, ARestartedTrayHostGetsTheIconOnceWithTheSameTipAndPicture) {
    ASSERT_TRUE(host.start());
    tray.setInTray(true);
    ASSERT_TRUE(dockedSettlesAt(1));
    const qulonglong first = tray.TrayHwnd();

    host.stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return tray.TrayHwnd() == 0; }, 1000));
    QTest::qWait(1200);
    ASSERT_TRUE(host.start());
    EXPECT_TRUE(QTest::qWaitFor([&] { return tray.TrayHwnd() != first && tray.TrayHwnd() != 0; }, 1000))
        << "a restarted host may reuse the window id, but never the handle";
    QTest::qWait(1500); // the once-a-second check has seen the new host
    ASSERT_TRUE(dockedSettlesAt(1)) << "docked "
                                    << x.dockedWindows(QCoreApplication::applicationName()).size();
    EXPECT_TRUE(QTest::qWaitFor([&] { return colourOnScreen(iconCentre()) == QColor(0, 255, 0); }, 2000));
    EXPECT_EQ(tipOnScreen(), QStringLiteral("ZOR Brakkon:\n0 popups canceled"));
}

TEST_F(DesktopTrayTest, WithoutAHostTheIconWaitsAndDocksWithinASecondOfOneStarting) {
    ASSERT_EQ(TrayHost::owner(), 0U);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.TrayHwnd() == 0; }, 1000));
    tray.setInTray(true);
    QTest::qWait(1200);
    ASSERT_TRUE(host.start());
    EXPECT_TRUE(dockedSettlesAt(1, 2500));
}

} // namespace
