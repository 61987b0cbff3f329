#include "ButtonHost.h"

#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// One step of a script played against the button: a synthetic pointer event as the platform
// sends it to the widget holding the mouse grab, a key, or a MouseDown handler joining in.
enum Do { Press, Release, DblPress, Move, KeyDown, KeyUp, RepeatUp, CancelDown, TurnIntoRight };
enum Look { Any, Rest, Sunken };
struct Step {
    Do what;
    QPoint at{10, 10};
    Qt::MouseButtons buttons = Qt::LeftButton; // the button pressed or released; those held on a move
    Qt::KeyboardModifiers mods{};
    int key = 0;
    Look look = Any; // how the button must look after the step
};
struct Script {
    const char* what;
    std::vector<Step> steps;
    QStringList events; // coordinates in pixels, converted back from the reported twips
};

class ButtonInput : public testing::TestWithParam<Script> {
protected:
    ButtonHost host;
    Command* button = host.add(60, 20, 40, 30);
    QStringList events;

    void SetUp() override {
        button->setCaption(QString());
        const QScreen* screen = button->screen();
        auto at = [screen](float x, float y) {
            return QStringLiteral("%1 %2")
                .arg(qRound(x * screen->logicalDotsPerInchX() / 1440))
                .arg(qRound(y * screen->logicalDotsPerInchY() / 1440));
        };
        auto* b = button;
        QObject::connect(b, &Command::MouseDown, [=, this](qint16& k, qint16& s, float& x, float& y, bool&) {
            events << QStringLiteral("MouseDown %1 %2 ").arg(k).arg(s) + at(x, y);
        });
        QObject::connect(b, &Command::MouseUp, [=, this](qint16& k, qint16& s, float& x, float& y) {
            events << QStringLiteral("MouseUp %1 %2 ").arg(k).arg(s) + at(x, y);
        });
        QObject::connect(b, &Command::MouseMove, [this](qint16& k, qint16&, float&, float&) {
            events << QStringLiteral("MouseMove %1").arg(k);
        });
        QObject::connect(b, &Command::KeyDown, [this](qint16& k, qint16& s) {
            events << QStringLiteral("KeyDown %1 %2").arg(k).arg(s);
        });
        QObject::connect(b, &Command::KeyUp, [this](qint16& k, qint16& s) {
            events << QStringLiteral("KeyUp %1 %2").arg(k).arg(s);
        });
        QObject::connect(b, &Command::KeyPress,
                         [this](qint16& a) { events << QStringLiteral("KeyPress %1").arg(a); });
        QObject::connect(b, &Command::Click, [this] { events << QStringLiteral("Click"); });
        QObject::connect(b, &Command::DblClick, [this] { events << QStringLiteral("DblClick"); });
    }

    bool looksPressed() { return Pixel(*button, 0, 0) == ButtonHost::Shadow; }

    void mouse(QEvent::Type type, const Step& s, Qt::MouseButton which, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(s.at), button->mapToGlobal(QPointF(s.at)), which, held, s.mods);
        QCoreApplication::sendEvent(button, &event);
    }
    void play(const Step& s) {
        const auto which = Qt::MouseButton(s.buttons.toInt());
        const auto key = Qt::Key(s.key);
        switch (s.what) {
        case Press:
            return mouse(QEvent::MouseButtonPress, s, which, s.buttons);
        case DblPress:
            return mouse(QEvent::MouseButtonDblClick, s, which, s.buttons);
        case Release:
            return mouse(QEvent::MouseButtonRelease, s, which, Qt::NoButton);
        case Move:
            return mouse(QEvent::MouseMove, s, Qt::NoButton, s.buttons);
        case KeyDown:
            return QTest::keyPress(button, key, s.mods);
        case KeyUp:
            return QTest::keyRelease(button, key, s.mods);
        case RepeatUp: {
            QKeyEvent up(QEvent::KeyRelease, key, s.mods, QStringLiteral(" "), true);
            QCoreApplication::sendEvent(button, &up);
            return;
        }
        case CancelDown:
            QObject::connect(button, &Command::MouseDown,
                             [](qint16&, qint16&, float&, float&, bool& cancel) { cancel = true; });
            return;
        case TurnIntoRight:
            QObject::connect(button, &Command::MouseDown,
                             [](qint16& which, qint16&, float&, float&, bool&) { which = 2; });
            return;
        }
    }
};

TEST_P(ButtonInput, ScriptRaisesItsEventsAndLooksAsExpectedAtEachStep) {
    const Script& c = GetParam();
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        play(c.steps[i]);
        const Look look = c.steps[i].look;
        EXPECT_TRUE(look == Any || looksPressed() == (look == Sunken)) << c.what << ", step " << i;
    }
    EXPECT_EQ(events, c.events) << c.what;
}

constexpr auto L = Qt::LeftButton;
constexpr auto R = Qt::RightButton;
const QPoint out(60, 10), border(0, 10);
INSTANTIATE_TEST_SUITE_P(
    Scripts, ButtonInput,
    testing::Values(
        Script{"left click inside",
               {{Press, {10, 5}, L, {}, 0, Sunken}, {Release, {10, 5}, L, {}, 0, Rest}},
               {"MouseDown 1 0 10 5", "Click", "MouseUp 1 0 10 5"}},
        Script{"right click with shift: never sunken, no click",
               {{Press, {10, 5}, R, Qt::ShiftModifier, 0, Rest}, {Release, {10, 5}, R, Qt::ShiftModifier}},
               {"MouseDown 2 1 10 5", "MouseUp 2 1 10 5"}},
        Script{"released on the border column: outside, no click, no up",
               {{Press}, {Move, border, L, {}, 0, Rest}, {Release, border, L, {}, 0, Rest}},
               {"MouseDown 1 0 10 10", "MouseMove 1"}},
        Script{
            "out and back in before the release still clicks",
            {{Press}, {Move, out, L, {}, 0, Rest}, {Move, {20, 10}, L, {}, 0, Sunken}, {Release, {20, 10}}},
            {"MouseDown 1 0 10 10", "MouseMove 1", "MouseMove 1", "Click", "MouseUp 1 0 20 10"}},
        Script{"adding the right button while moving returns to rest",
               {{Press}, {Move, {12, 10}, L | R, {}, 0, Rest}},
               {"MouseDown 1 0 10 10", "MouseMove 3"}},
        Script{"cancelled down effect: no sunken look, still clicks",
               {{CancelDown}, {Press, {10, 5}, L, {}, 0, Rest}, {Release, {10, 5}}},
               {"MouseDown 1 0 10 5", "Click", "MouseUp 1 0 10 5"}},
        Script{"cancelled press after a press that ended outside raises nothing on release",
               {{Press}, {Move, out}, {Release, out}, {CancelDown}, {Press}, {Release}},
               {"MouseDown 1 0 10 10", "MouseMove 1", "MouseDown 1 0 10 10"}},
        Script{"a handler changing the button argument turns it into another button's press",
               {{TurnIntoRight}, {Press, {10, 10}, L, {}, 0, Rest}},
               {"MouseDown 1 0 10 10"}},
        Script{"the press of a double click is not tracked by moves",
               {{Press},
                {Release},
                {DblPress, {10, 10}, L, {}, 0, Sunken},
                {Move, out, L, {}, 0, Sunken},
                {Release, out}},
               {"MouseDown 1 0 10 10", "Click", "MouseUp 1 0 10 10", "MouseMove 1", "Click",
                "MouseUp 1 0 60 10"}},
        Script{"space only animates",
               {{KeyDown, {}, L, {}, Qt::Key_Space, Sunken}, {KeyUp, {}, L, {}, Qt::Key_Space, Rest}},
               {"KeyDown 32 0", "KeyPress 32", "KeyUp 32 0"}},
        Script{"enter only animates",
               {{KeyDown, {}, L, {}, Qt::Key_Return, Sunken}, {KeyUp, {}, L, {}, Qt::Key_Return, Rest}},
               {"KeyDown 13 0", "KeyPress 13", "KeyUp 13 0"}},
        Script{"other keys report their codes without animating",
               {{KeyDown, {}, L, {}, Qt::Key_A, Rest},
                {KeyUp, {}, L, {}, Qt::Key_A},
                {KeyDown, {}, L, Qt::ControlModifier, Qt::Key_F5, Rest}},
               {"KeyDown 65 0", "KeyPress 97", "KeyUp 65 0", "KeyDown 17 2", "KeyDown 116 2"}},
        Script{"keys leave the look to a mouse press in progress",
               {{Press},
                {KeyDown, {}, L, {}, Qt::Key_Space},
                {KeyUp, {}, L, {}, Qt::Key_Space, Sunken},
                {Move, out},
                {KeyDown, {}, L, {}, Qt::Key_Space, Rest}},
               {"MouseDown 1 0 10 10", "KeyDown 32 0", "KeyPress 32", "KeyUp 32 0", "MouseMove 1",
                "KeyDown 32 0", "KeyPress 32"}},
        Script{"space repeated while held stays sunken",
               {{KeyDown, {}, L, {}, Qt::Key_Space},
                {RepeatUp, {}, L, {}, Qt::Key_Space},
                {KeyDown, {}, L, {}, Qt::Key_Space, Sunken}},
               {"KeyDown 32 0", "KeyPress 32", "KeyDown 32 0", "KeyPress 32"}}),
    [](const testing::TestParamInfo<Script>& info) { return "Case" + std::to_string(info.index); });

// Through the window, so that Qt itself detects the double click as the platform would.
TEST(ButtonDoubleClick, LeftGivesClickTwiceWithoutDblClickAndRightGivesDblClick) {
    for (Qt::MouseButton which : {Qt::LeftButton, Qt::RightButton}) {
        ButtonHost host;
        Command* button = host.add(60, 20, 40, 30);
        int clicks = 0, doubles = 0;
        QObject::connect(button, &Command::Click, [&] { ++clicks; });
        QObject::connect(button, &Command::DblClick, [&] { ++doubles; });
        QTest::mouseDClick(host.windowHandle(), which, Qt::NoModifier, button->pos() + QPoint(10, 5));
        EXPECT_EQ(std::pair(clicks, doubles), which == Qt::LeftButton ? std::pair(2, 0) : std::pair(0, 1));
        EXPECT_NE(Pixel(*button, 0, 0), ButtonHost::Shadow) << "back at rest";
    }
}

TEST(ButtonFocus, SpaceHeldWhileTheFocusLeavesStaysSunkenUntilResetButtonClicksOnce) {
    ButtonHost host;
    Command* button = host.add(60, 20, 40, 30);
    Command* other = host.add(0, 0, 30, 30);
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    int clicks = 0;
    QObject::connect(button, &Command::Click, [&] { ++clicks; });
    button->setFocus();
    QTest::keyPress(button, Qt::Key_Space);
    other->setFocus();
    ASSERT_FALSE(button->hasFocus());
    EXPECT_EQ(Pixel(*button, 0, 0), ButtonHost::Shadow);
    button->ResetButton();
    button->ResetButton(); // at rest it raises nothing
    EXPECT_NE(Pixel(*button, 0, 0), ButtonHost::Shadow);
    EXPECT_EQ(clicks, 1);
}

} // namespace
