#include "ButtonHost.h"

#include <QMouseEvent>
#include <QScreen>
#include <QTest>

namespace {

using namespace Qt::StringLiterals;

// One step of a script played against the button: a synthetic pointer event as the platform
// sends it to the widget holding the mouse grab, a key, the focus leaving (Blur), the host resetting
// the button, or a MouseDown handler joining in.
enum Do { Press, Release, DblPress, Move, KeyDown, KeyUp, RepeatUp, Blur, Reset, CancelDown, TurnIntoRight };
enum Look { Any, Rest, Sunken };
constexpr auto L = Qt::LeftButton;
constexpr auto R = Qt::RightButton;
struct Step {
    Do what;
    QPoint at{10, 10};
    Look look = Any;              // how the button must look after the step
    Qt::MouseButtons buttons = L; // the button pressed or released; those held on a move
    Qt::KeyboardModifiers mods{};
    int code = 0; // of a key
};
Step key(Do what, int code, Look look = Any, Qt::KeyboardModifiers mods = {}) {
    return {what, {}, look, L, mods, code};
}
struct Script {
    const char* what;
    std::vector<Step> steps;
    QStringList events; // coordinates in pixels, converted back from the reported twips
};

class ButtonInput : public ButtonTest, public testing::WithParamInterface<Script> {
protected:
    void SetUp() override {
        ButtonTest::SetUp();
        const QScreen* screen = button->screen();
        auto at = [screen](float x, float y) {
            return u"%1 %2"_s.arg(qRound(x * screen->logicalDotsPerInchX() / 1440))
                .arg(qRound(y * screen->logicalDotsPerInchY() / 1440));
        };
        auto log = [this](const QString& event) { events << event; };
        QObject::connect(button, &Command::MouseDown, [=](qint16& k, qint16& s, float& x, float& y, bool&) {
            log(u"MouseDown %1 %2 "_s.arg(k).arg(s) + at(x, y));
        });
        QObject::connect(button, &Command::MouseUp, [=](qint16& k, qint16& s, float& x, float& y) {
            log(u"MouseUp %1 %2 "_s.arg(k).arg(s) + at(x, y));
        });
        QObject::connect(button, &Command::MouseMove,
                         [=](qint16& k, qint16&, float&, float&) { log(u"MouseMove %1"_s.arg(k)); });
        QObject::connect(button, &Command::KeyDown,
                         [=](qint16& k, qint16& s) { log(u"KeyDown %1 %2"_s.arg(k).arg(s)); });
        QObject::connect(button, &Command::KeyUp,
                         [=](qint16& k, qint16& s) { log(u"KeyUp %1 %2"_s.arg(k).arg(s)); });
        QObject::connect(button, &Command::KeyPress, [=](qint16& a) { log(u"KeyPress %1"_s.arg(a)); });
        QObject::connect(button, &Command::Click, [=] { log(u"Click"_s); });
        QObject::connect(button, &Command::DblClick, [=] { log(u"DblClick"_s); });
    }

    void mouse(QEvent::Type type, const Step& s, Qt::MouseButton which, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(s.at), button->mapToGlobal(QPointF(s.at)), which, held, s.mods);
        QCoreApplication::sendEvent(button, &event);
    }
    void play(const Step& s) {
        const auto which = Qt::MouseButton(s.buttons.toInt());
        const auto code = Qt::Key(s.code);
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
            return QTest::keyPress(button, code, s.mods);
        case KeyUp:
            return QTest::keyRelease(button, code, s.mods);
        case RepeatUp: {
            QKeyEvent up(QEvent::KeyRelease, code, s.mods, u" "_s, true);
            QCoreApplication::sendEvent(button, &up);
            return;
        }
        case Blur: {
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            QCoreApplication::sendEvent(button, &out);
            return;
        }
        case Reset:
            return button->ResetButton();
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

    QStringList events;
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

const QPoint out(60, 10), border(0, 10), in(10, 5);
const int Space = Qt::Key_Space;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Scripts, ButtonInput, testing::Values(
    Script{"left click inside", {{Press, in, Sunken}, {Release, in, Rest}},
           {"MouseDown 1 0 10 5", "Click", "MouseUp 1 0 10 5"}},
    Script{"right click with shift: never sunken, no click",
           {{Press, in, Rest, R, Qt::ShiftModifier}, {Release, in, Any, R, Qt::ShiftModifier}},
           {"MouseDown 2 1 10 5", "MouseUp 2 1 10 5"}},
    Script{"released on the border column: outside, no click, no up; the next press inside clicks again",
           {{Press}, {Move, border, Rest}, {Release, border, Rest}, {Press}, {Release}},
           {"MouseDown 1 0 10 10", "MouseMove 1", "MouseDown 1 0 10 10", "Click", "MouseUp 1 0 10 10"}},
    Script{"out and back in before the release still clicks",
           {{Press}, {Move, out, Rest}, {Move, {20, 10}, Sunken}, {Release, {20, 10}}},
           {"MouseDown 1 0 10 10", "MouseMove 1", "MouseMove 1", "Click", "MouseUp 1 0 20 10"}},
    Script{"adding the right button while moving returns to rest",
           {{Press}, {Move, {12, 10}, Rest, L | R}}, {"MouseDown 1 0 10 10", "MouseMove 3"}},
    Script{"cancelled down effect: no sunken look, still clicks",
           {{CancelDown}, {Press, in, Rest}, {Release, in}}, {"MouseDown 1 0 10 5", "Click", "MouseUp 1 0 10 5"}},
    Script{"cancelled press after a press that ended outside raises nothing on release",
           {{Press}, {Move, out}, {Release, out}, {CancelDown}, {Press}, {Release}},
           {"MouseDown 1 0 10 10", "MouseMove 1", "MouseDown 1 0 10 10"}},
    Script{"a handler changing the button argument turns it into another button's press",
           {{TurnIntoRight}, {Press, {10, 10}, Rest}}, {"MouseDown 1 0 10 10"}},
    Script{"the press of a double click is not tracked by moves",
           {{Press}, {Release}, {DblPress, {10, 10}, Sunken}, {Move, out, Sunken}, {Release, out}},
           {"MouseDown 1 0 10 10", "Click", "MouseUp 1 0 10 10", "MouseMove 1", "Click", "MouseUp 1 0 60 10"}},
    Script{"after a left click, a right double click raises DblClick and never sinks",
           {{Press}, {Release}, {Press, in, Rest, R}, {Release, in, Rest, R}, {DblPress, in, Rest, R}, {Release, in, Rest, R}},
           {"MouseDown 1 0 10 10", "Click", "MouseUp 1 0 10 10", "MouseDown 2 0 10 5", "MouseUp 2 0 10 5", "DblClick",
            "MouseUp 2 0 10 5"}},
    Script{"space and enter only animate",
           {key(KeyDown, Space, Sunken), key(KeyUp, Space, Rest), key(KeyDown, Qt::Key_Return, Sunken),
            key(KeyUp, Qt::Key_Return, Rest)},
           {"KeyDown 32 0", "KeyPress 32", "KeyUp 32 0", "KeyDown 13 0", "KeyPress 13", "KeyUp 13 0"}},
    Script{"other keys report their codes without animating",
           {key(KeyDown, Qt::Key_A, Rest), key(KeyUp, Qt::Key_A), key(KeyDown, Qt::Key_F5, Rest, Qt::ControlModifier)},
           {"KeyDown 65 0", "KeyPress 97", "KeyUp 65 0", "KeyDown 17 2", "KeyDown 116 2"}},
    Script{"keys leave the look to a mouse press in progress",
           {{Press}, key(KeyDown, Space), key(KeyUp, Space, Sunken), {Move, out}, key(KeyDown, Space, Rest)},
           {"MouseDown 1 0 10 10", "KeyDown 32 0", "KeyPress 32", "KeyUp 32 0", "MouseMove 1", "KeyDown 32 0",
            "KeyPress 32"}},
    Script{"space repeated while held stays sunken",
           {key(KeyDown, Space), key(RepeatUp, Space), key(KeyDown, Space, Sunken)},
           {"KeyDown 32 0", "KeyPress 32", "KeyDown 32 0", "KeyPress 32"}},
    Script{"space held while the focus leaves stays sunken until a reset clicks once; at rest a reset raises nothing",
           {key(KeyDown, Space), {Blur, in, Sunken}, {Reset, in, Rest}, {Reset, in, Rest}},
           {"KeyDown 32 0", "KeyPress 32", "Click"}}),
    [](const testing::TestParamInfo<Script>& info) { return "Case" + std::to_string(info.index); });
// clang-format on

} // namespace
