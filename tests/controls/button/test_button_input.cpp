#include "ButtonHost.h"

#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Writes down every event the button raises, in order, with its arguments, and tells whether
// the button looks pressed (sunken edge) at each step.
class ButtonInput : public testing::Test {
protected:
    ButtonHost host;
    Command* button = host.add(60, 20, 40, 30);
    QStringList events;

    void SetUp() override {
        button->setCaption(QString());
        QObject::connect(button, &Command::MouseDown,
                         [this](qint16& b, qint16& s, float& x, float& y, bool&) {
                             events << QStringLiteral("MouseDown %1 %2 %3 %4").arg(b).arg(s).arg(x).arg(y);
                         });
        QObject::connect(button, &Command::MouseUp, [this](qint16& b, qint16& s, float& x, float& y) {
            events << QStringLiteral("MouseUp %1 %2 %3 %4").arg(b).arg(s).arg(x).arg(y);
        });
        QObject::connect(button, &Command::MouseMove, [this](qint16& b, qint16&, float&, float&) {
            events << QStringLiteral("MouseMove %1").arg(b);
        });
        QObject::connect(button, &Command::KeyDown, [this](qint16& k, qint16& s) {
            events << QStringLiteral("KeyDown %1 %2").arg(k).arg(s);
        });
        QObject::connect(button, &Command::KeyUp, [this](qint16& k, qint16& s) {
            events << QStringLiteral("KeyUp %1 %2").arg(k).arg(s);
        });
        QObject::connect(button, &Command::KeyPress,
                         [this](qint16& a) { events << QStringLiteral("KeyPress %1").arg(a); });
        QObject::connect(button, &Command::Click, [this] { events << QStringLiteral("Click"); });
        QObject::connect(button, &Command::DblClick, [this] { events << QStringLiteral("DblClick"); });
    }

    bool looksPressed() { return Pixel(*button, 0, 0) == ButtonHost::Shadow; }

    // Reported coordinates: pixels times the screen's twips per pixel.
    QString twips(int x, int y) const {
        const QScreen* screen = button->screen();
        return QStringLiteral("%1 %2")
            .arg(static_cast<float>(x * 1440.0 / screen->logicalDotsPerInchX()))
            .arg(static_cast<float>(y * 1440.0 / screen->logicalDotsPerInchY()));
    }

    // Synthetic pointer events with full control over the buttons held, as the platform sends
    // them to the widget that has the mouse grab.
    void send(QEvent::Type type, QPoint at, Qt::MouseButton which, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), button->mapToGlobal(QPointF(at)), which, held, Qt::NoModifier);
        QCoreApplication::sendEvent(button, &event);
    }
    void moveTo(QPoint at, Qt::MouseButtons held) { send(QEvent::MouseMove, at, Qt::NoButton, held); }

    QStringList withoutMoves() const {
        QStringList kept;
        for (const QString& e : events)
            if (!e.startsWith(QLatin1String("MouseMove")))
                kept << e;
        return kept;
    }
};

TEST_F(ButtonInput, LeftClickInsideLooksPressedThenRaisesDownClickUpInOrder) {
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_TRUE(looksPressed());
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_FALSE(looksPressed());
    EXPECT_EQ(withoutMoves(),
              (QStringList{"MouseDown 1 0 " + twips(10, 5), "Click", "MouseUp 1 0 " + twips(10, 5)}));
}

TEST_F(ButtonInput, CoordinatesAreTwipsAtFifteenPerPixelOnA96DpiScreen) {
    if (button->screen()->logicalDotsPerInchX() != 96 || button->screen()->logicalDotsPerInchY() != 96)
        GTEST_SKIP() << "the screen is not 96 dpi";
    QTest::mousePress(button, Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 5));
    EXPECT_EQ(events.value(0), QStringLiteral("MouseDown 1 1 150 75"));
}

TEST_F(ButtonInput, ReleasingOnTheBorderColumnAfterMovingThereGivesNoClickAndNoMouseUp) {
    send(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    moveTo({0, 10}, Qt::LeftButton);
    EXPECT_FALSE(looksPressed()) << "the border column counts as outside";
    send(QEvent::MouseButtonRelease, {0, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(looksPressed());
    EXPECT_EQ(withoutMoves(), QStringList{"MouseDown 1 0 " + twips(10, 10)});
}

TEST_F(ButtonInput, MovingOutAndBackInBeforeReleasingStillClicks) {
    send(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    moveTo({60, 10}, Qt::LeftButton);
    EXPECT_FALSE(looksPressed());
    moveTo({20, 10}, Qt::LeftButton);
    EXPECT_TRUE(looksPressed());
    send(QEvent::MouseButtonRelease, {20, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(withoutMoves().contains(QStringLiteral("Click")));
    EXPECT_EQ(events.count(QStringLiteral("MouseMove 1")), 2) << "every move is reported";
}

TEST_F(ButtonInput, AddingTheRightButtonWhileMovingReturnsTheLookToRest) {
    send(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    moveTo({12, 10}, Qt::LeftButton | Qt::RightButton);
    EXPECT_FALSE(looksPressed());
    EXPECT_EQ(events.last(), QStringLiteral("MouseMove 3"));
}

TEST_F(ButtonInput, RightClickNeverLooksPressedAndRaisesNoClick) {
    QTest::mousePress(button, Qt::RightButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_FALSE(looksPressed());
    QTest::mouseRelease(button, Qt::RightButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_EQ(withoutMoves(), (QStringList{"MouseDown 2 0 " + twips(10, 5), "MouseUp 2 0 " + twips(10, 5)}));
}

TEST_F(ButtonInput, CancellingTheDownEffectSuppressesOnlyThePressedLook) {
    QObject::connect(
        button, &Command::MouseDown,
        [](qint16&, qint16&, float&, float&, bool& CancelDownEffect) { CancelDownEffect = true; });
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_FALSE(looksPressed());
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_EQ(withoutMoves().mid(1), (QStringList{"Click", "MouseUp 1 0 " + twips(10, 5)}));
}

TEST_F(ButtonInput, CancelledPressAfterAPressThatEndedOutsideRaisesNothingOnRelease) {
    send(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    moveTo({60, 10}, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {60, 10}, Qt::LeftButton, Qt::NoButton);
    QObject::connect(
        button, &Command::MouseDown,
        [](qint16&, qint16&, float&, float&, bool& CancelDownEffect) { CancelDownEffect = true; });
    events.clear();
    send(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(withoutMoves(), QStringList{"MouseDown 1 0 " + twips(10, 10)});
}

TEST_F(ButtonInput, HandlerThatChangesTheButtonArgumentChangesWhatThePressDoes) {
    QObject::connect(button, &Command::MouseDown,
                     [](qint16& Button, qint16&, float&, float&, bool&) { Button = 2; });
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_FALSE(looksPressed()) << "treated as another button's press";
}

TEST_F(ButtonInput, LeftDoubleClickGivesClickTwiceAndNoDblClick) {
    // Through the window, so that Qt itself detects the double click as the platform would.
    QTest::mouseDClick(host.windowHandle(), Qt::LeftButton, Qt::NoModifier, button->pos() + QPoint(10, 5));
    EXPECT_EQ(events.count(QStringLiteral("Click")), 2) << qPrintable(events.join(QStringLiteral(" | ")));
    EXPECT_EQ(events.count(QStringLiteral("DblClick")), 0);
    EXPECT_EQ(events.filter(QStringLiteral("MouseDown")).size(), 1) << "the second press is the double click";
    EXPECT_FALSE(looksPressed());
}

TEST_F(ButtonInput, PressOfADoubleClickIsNotTrackedByMovesSoReleasingOutsideStillClicks) {
    send(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(looksPressed());
    moveTo({60, 10}, Qt::LeftButton);
    EXPECT_TRUE(looksPressed());
    send(QEvent::MouseButtonRelease, {60, 10}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(events.count(QStringLiteral("Click")), 2);
}

TEST_F(ButtonInput, DoubleClickAfterARightPressRaisesDblClick) {
    QTest::mouseDClick(host.windowHandle(), Qt::RightButton, Qt::NoModifier, button->pos() + QPoint(10, 5));
    EXPECT_EQ(events.count(QStringLiteral("DblClick")), 1) << qPrintable(events.join(QStringLiteral(" | ")));
    EXPECT_EQ(events.count(QStringLiteral("Click")), 0);
}

TEST_F(ButtonInput, SpaceAndEnterOnlyAnimate) {
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
        events.clear();
        QTest::keyPress(button, key);
        EXPECT_TRUE(looksPressed()) << key;
        QTest::keyRelease(button, key);
        EXPECT_FALSE(looksPressed()) << key;
        EXPECT_EQ(events.count(QStringLiteral("Click")), 0);
        const int code = key == Qt::Key_Space ? 32 : 13;
        EXPECT_EQ(events.first(), QStringLiteral("KeyDown %1 0").arg(code));
        EXPECT_EQ(events.last(), QStringLiteral("KeyUp %1 0").arg(code));
        EXPECT_EQ(events.count(QStringLiteral("KeyPress %1").arg(code)), 1);
    }
}

TEST_F(ButtonInput, OtherKeysReportTheirCodesWithoutAnimating) {
    QTest::keyClick(button, Qt::Key_A);
    QKeyEvent ctrlF5(QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier);
    QCoreApplication::sendEvent(button, &ctrlF5);
    EXPECT_FALSE(looksPressed());
    EXPECT_EQ(events, (QStringList{"KeyDown 65 0", "KeyPress 97", "KeyUp 65 0", "KeyDown 116 2"}));
}

TEST_F(ButtonInput, KeysLeaveTheLookToAMousePressInProgress) {
    send(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_TRUE(looksPressed()) << "the key's release does not lift the mouse's press";
    moveTo({60, 10}, Qt::LeftButton);
    QTest::keyPress(button, Qt::Key_Space);
    EXPECT_FALSE(looksPressed()) << "nor does its press push a button the pointer has left";
}

TEST_F(ButtonInput, RepeatedSpaceWhileHeldKeepsThePressedLook) {
    QTest::keyPress(button, Qt::Key_Space);
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QCoreApplication::sendEvent(button, &repeatUp);
    QTest::keyPress(button, Qt::Key_Space);
    EXPECT_TRUE(looksPressed());
    EXPECT_EQ(events.filter(QStringLiteral("KeyUp")).size(), 0);
}

TEST_F(ButtonInput, SpaceHeldWhileTheFocusLeavesStaysPressedUntilResetButtonClicksOnce) {
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    auto* other = host.add(0, 0, 30, 30);
    button->setFocus();
    QTest::keyPress(button, Qt::Key_Space);
    other->setFocus();
    ASSERT_FALSE(button->hasFocus());
    EXPECT_TRUE(looksPressed());
    events.clear();
    button->ResetButton();
    EXPECT_FALSE(looksPressed());
    EXPECT_EQ(events, QStringList{"Click"});
    button->ResetButton();
    EXPECT_EQ(events, QStringList{"Click"}) << "at rest, ResetButton raises nothing";
}

} // namespace
