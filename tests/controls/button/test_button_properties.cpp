#include "ButtonHost.h"
#include "platform/Failure.h"
#include "util/PropertyBag.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A new button takes its name as caption, its host's font and a 50 ms period; a loaded one the
// defaults of whatever the bag lacks and a 10 ms period. Only values off their default are saved.
TEST(ButtonDefaults, NewAndLoadedButtonsSaveOnlyWhatDiffersFromTheDefaults) {
    ButtonHost host;
    const QFont hostFont(q("DejaVu Serif"), 13);
    host.setFont(hostFont);
    Command button(&host);
    button.setObjectName(q("cmdOk"));
    button.InitProperties();
    EXPECT_EQ(std::tuple(button.Caption(), button.Font(), button.AutoUpdTspInterval()),
              std::tuple(q("cmdOk"), hostFont, 50));
    PropertyBag saved;
    button.WriteProperties(saved);
    EXPECT_EQ(saved.keys(), (QStringList{q("autoupdtspinterval"), q("caption")}));
    button.setButtonType(2);
    button.ReadProperties(PropertyBag{});
    EXPECT_EQ(std::tuple(button.Caption(), button.ButtonType(), button.BackColor(), button.ForeColor(),
                         button.Font(), button.AutoUpdTspInterval()),
              std::tuple(QString(), 0, 0x8000000Fu, 0x80000012u, host.font(), 10));
    button.WriteProperties(saved);
    EXPECT_EQ(saved.size(), 0) << "values back at their defaults remove the entries";
    // Keys match without case; colours may come as QColor.
    button.ReadProperties(PropertyBag{{q("CAPTION"), q("x")}, {q("BackColor"), QColor(0x12, 0x34, 0x56)}});
    EXPECT_EQ(button.Caption(), q("x"));
    EXPECT_EQ(button.BackColor(), 0x00563412u);
    button.setMouseIcon(solidPicture(0xFF000000));
    button.setMousePointer(99);
    EXPECT_EQ(button.cursor().pixmap().size(), QSize(16, 16)) << "the custom pointer uses the icon";
}

struct OverflowCase {
    const char* what;
    std::function<void(Command&)> change;
    std::function<qint32(const Command&)> read;
};
class ButtonOverflow : public ButtonTest, public testing::WithParamInterface<OverflowCase> {};

TEST_P(ButtonOverflow, FailsAndKeepsTheOldValue) {
    const OverflowCase& c = GetParam();
    const qint32 before = c.read(*button);
    EXPECT_THROW(c.change(*button), zor::Failure) << c.what;
    EXPECT_EQ(c.read(*button), before) << c.what;
}

void load(Command& b, const char* key, int value) {
    b.ReadProperties(PropertyBag{{q(key), value}});
}
auto type = [](const Command& b) { return qint32(b.ButtonType()); };
auto effect = [](const Command& b) { return qint32(b.ClickEffect()); };
auto pointer = [](const Command& b) { return qint32(b.MousePointer()); };
auto period = [](const Command& b) { return qint32(b.AutoUpdTspInterval()); };
// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, ButtonOverflow, testing::Values(
    OverflowCase{"ButtonType above 16 bits", [](Command& b) { b.setButtonType(32768); }, type},
    OverflowCase{"ClickEffect below 16 bits", [](Command& b) { b.setClickEffect(-32769); }, effect},
    OverflowCase{"stored ButtonType", [](Command& b) { load(b, "buttontype", 70000); }, type},
    OverflowCase{"stored ClickEffect", [](Command& b) { load(b, "clickeffect", 40000); }, effect},
    OverflowCase{"stored Gab", [](Command& b) { load(b, "gab", -40000); }, [](const Command& b) { return qint32(b.Gab()); }},
    OverflowCase{"stored MousePointer", [](Command& b) { load(b, "mousepointer", 1 << 20); }, pointer},
    OverflowCase{"unknown pointer number", [](Command& b) { b.setMousePointer(42); }, pointer},
    OverflowCase{"negative timer period", [](Command& b) { b.setAutoUpdTspInterval(-1); }, period},
    OverflowCase{"timer period above 65535", [](Command& b) { b.setAutoUpdTspInterval(65536); }, period}));
// clang-format on

struct SetterCase {
    const char* key;
    std::function<void(Command&)> set;
    bool redraws;
};
class ButtonSetters : public ButtonTest, public testing::WithParamInterface<SetterCase> {};

// A see-through button draws its parent's background on every redraw, so the parent's draw
// count tells whether a setter redrew.
TEST_P(ButtonSetters, NotifyByTheirKeyRedrawOnlyWhenTheLookDependsOnThemAndSaveTheirValue) {
    const SetterCase& c = GetParam();
    button->setButtonType(3);
    QSignalSpy changes(button, &Command::PropertyChanged);
    host.backgroundDraws = 0;
    c.set(*button);
    ASSERT_EQ(changes.size(), 1) << c.key;
    EXPECT_EQ(changes.at(0).at(0).toString(), q(c.key));
    EXPECT_EQ(host.backgroundDraws > 0, c.redraws) << c.key;
    // What was set is saved, and a new button loads it and saves it unchanged.
    PropertyBag saved, again;
    button->WriteProperties(saved);
    EXPECT_TRUE(saved.keys().contains(q(c.key).toLower())) << c.key;
    Command copy(&host);
    copy.ReadProperties(saved);
    copy.WriteProperties(again);
    EXPECT_EQ(again.keys(), saved.keys()) << c.key;
    for (const QString& key : saved.keys())
        EXPECT_EQ(again.ReadProperty(key).toString(), saved.ReadProperty(key).toString()) << qPrintable(key);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Properties, ButtonSetters, testing::Values(
    SetterCase{"TextAlignment", [](Command& b) { b.setTextAlignment(0); }, true},
    SetterCase{"PictureAlignment", [](Command& b) { b.setPictureAlignment(2); }, true},
    SetterCase{"Caption", [](Command& b) { b.setCaption(q("a")); }, true},
    SetterCase{"Picture", [](Command& b) { b.setPicture(solidPicture(0xFF000000, {2, 2})); }, true},
    SetterCase{"BackColor", [](Command& b) { b.setBackColor(0x00123456); }, true},
    SetterCase{"ForeColor", [](Command& b) { b.setForeColor(platform::systemColorCode(8)); }, true},
    SetterCase{"Font", [](Command& b) { b.setFont(QFont(q("DejaVu Sans Mono"), 11, -1, true)); }, true},
    SetterCase{"FocusRect", [](Command& b) { b.setFocusRect(false); }, false},
    SetterCase{"Gab", [](Command& b) { b.setGab(-2); }, true},
    SetterCase{"Enabled", [](Command& b) { b.setEnabled(false); }, true},
    SetterCase{"ClickEffect", [](Command& b) { b.setClickEffect(1); }, true},
    SetterCase{"ButtonType", [](Command& b) { b.setButtonType(3); }, true},
    SetterCase{"DrawAsDisabled", [](Command& b) { b.setDrawAsDisabled(true); }, true},
    SetterCase{"ExtraData", [](Command& b) { b.setExtraData(-7); }, false},
    SetterCase{"ExtraData2", [](Command& b) { b.setExtraData2(1 << 30); }, false},
    SetterCase{"Selected", [](Command& b) { b.setSelected(true); }, true},
    SetterCase{"MousePointer", [](Command& b) { b.setMousePointer(99); }, false},
    SetterCase{"Bevel", [](Command& b) { b.setBevel(false); }, true},
    SetterCase{"AutoUpdTsp", [](Command& b) { b.setAutoUpdTsp(true); }, false},
    SetterCase{"AutoUpdTspInterval", [](Command& b) { b.setAutoUpdTspInterval(65535); }, false},
    SetterCase{"VisEnabledState", [](Command& b) { b.setVisEnabledState(false); }, true},
    SetterCase{"MouseIcon", [](Command& b) { b.setMouseIcon(solidPicture(0xFF000000, {8, 8})); }, false}));
// clang-format on

using ButtonTimer = ButtonTest;

TEST_F(ButtonTimer, SeeThroughButtonRedrawsOnceAfterEachMoveAndOtherwiseNever) {
    // The window's activation gives the button the focus, which redraws it: let that pass first.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    // The draws of the ticks to come: the one due is waited for (a busy machine delays ticks),
    // then a few ticks' time in which no other may come.
    auto draws = [&](int due) {
        host.backgroundDraws = 0;
        (void)QTest::qWaitFor([&] { return host.backgroundDraws >= due; }, 2000);
        QTest::qWait(60);
        return host.backgroundDraws;
    };
    button->setButtonType(3);
    button->setAutoUpdTspInterval(5);
    button->setAutoUpdTsp(true);
    EXPECT_EQ(draws(1), 1) << "the first tick: the remembered place starts at (0, 0)";
    EXPECT_EQ(draws(0), 0) << "not moved";
    button->move(70, 20);
    EXPECT_EQ(draws(1), 1) << "moved once";
    // A normal button draws no background: that it ignores the ticks shows once it is see-through.
    button->setButtonType(0);
    button->move(50, 20);
    QTest::qWait(60);
    button->setButtonType(3);
    EXPECT_EQ(draws(1), 1) << "a move made while normal is still to be drawn";
    button->setAutoUpdTsp(false);
    button->move(60, 20);
    EXPECT_EQ(draws(0), 0) << "ticks switched off";
    button->setAutoUpdTspInterval(0);
    button->setAutoUpdTsp(true);
    button->move(40, 20);
    EXPECT_EQ(draws(0), 0) << "a period of 0 never ticks";
}

} // namespace
