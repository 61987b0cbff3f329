#include "ButtonHost.h"
#include "platform/Failure.h"
#include "util/PropertyBag.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

TEST(ButtonCreation, NewInstanceShowsItsNameCentredWithTheHostFontAndFiftyMsTimer) {
    ButtonHost host;
    QFont hostFont(q("DejaVu Serif"), 13);
    host.setFont(hostFont);
    Command button(&host);
    button.setObjectName(q("cmdOk"));
    button.InitProperties();
    EXPECT_EQ(button.Caption(), q("cmdOk"));
    EXPECT_EQ(button.TextAlignment(), 1);
    EXPECT_EQ(button.Gab(), 5);
    EXPECT_TRUE(button.Bevel());
    EXPECT_TRUE(button.FocusRect());
    EXPECT_EQ(button.Font(), hostFont);
    EXPECT_FALSE(button.AutoUpdTsp());
    EXPECT_EQ(button.AutoUpdTspInterval(), 50);
}

TEST(ButtonLoading, EmptyBagGivesTheLoadDefaults) {
    ButtonHost host;
    Command button(&host);
    button.setButtonType(2);
    button.ReadProperties(PropertyBag{});
    EXPECT_EQ(button.Caption(), QString());
    EXPECT_EQ(button.TextAlignment(), 1);
    EXPECT_EQ(button.PictureAlignment(), 0);
    EXPECT_EQ(button.BackColor(), 0x8000000Fu);
    EXPECT_EQ(button.ForeColor(), 0x80000012u);
    EXPECT_EQ(button.Font(), host.font());
    EXPECT_TRUE(button.FocusRect());
    EXPECT_EQ(button.Gab(), 5);
    EXPECT_TRUE(button.Enabled());
    EXPECT_EQ(button.ButtonType(), 0);
    EXPECT_TRUE(button.Bevel());
    EXPECT_TRUE(button.VisEnabledState());
    EXPECT_FALSE(button.AutoUpdTsp());
    EXPECT_EQ(button.AutoUpdTspInterval(), 10) << "a loaded button without a stored period gets 10 ms";
    EXPECT_TRUE(button.Picture().isNull());
}

TEST(ButtonSaving, DefaultsAreLeftOutAndAPeriodOfTenRemovesTheEntry) {
    ButtonHost host;
    Command loaded(&host);
    loaded.ReadProperties(PropertyBag{});
    PropertyBag saved;
    loaded.WriteProperties(saved);
    EXPECT_EQ(saved.keys(), QStringList{});

    Command fresh(&host);
    fresh.setCaption(QString());
    PropertyBag freshBag;
    fresh.WriteProperties(freshBag);
    EXPECT_EQ(freshBag.keys(), QStringList{q("autoupdtspinterval")});
    fresh.setAutoUpdTspInterval(10);
    fresh.WriteProperties(freshBag);
    EXPECT_EQ(freshBag.size(), 0);
}

TEST(ButtonSaving, EveryPropertySurvivesASaveAndLoad) {
    ButtonHost host;
    Command original(&host);
    QFont font(q("DejaVu Sans Mono"), 11);
    font.setItalic(true);
    original.setTextAlignment(2);
    original.setPictureAlignment(1);
    original.setCaption(q("&Play"));
    original.setPicture(SolidPicture(8, 6, 0xFF336699));
    original.setBackColor(0x00123456);
    original.setForeColor(platform::systemColorCode(8));
    original.setFont(font);
    original.setFocusRect(false);
    original.setGab(-2);
    original.setEnabled(false);
    original.setClickEffect(1);
    original.setButtonType(3);
    original.setDrawAsDisabled(true);
    original.setExtraData(-7);
    original.setExtraData2(1 << 30);
    original.setSelected(true);
    original.setMousePointer(99);
    original.setBevel(false);
    original.setAutoUpdTsp(true);
    original.setAutoUpdTspInterval(65535);
    original.setVisEnabledState(false);
    original.setMouseIcon(SolidPicture(16, 16, 0xFF000000));

    PropertyBag bag;
    original.WriteProperties(bag);
    EXPECT_EQ(bag.size(), 22) << "every stored property differs from its default";

    Command copy(&host);
    copy.ReadProperties(bag);
    PropertyBag again;
    copy.WriteProperties(again);
    EXPECT_EQ(again.keys(), bag.keys());
    EXPECT_EQ(copy.Caption(), q("&Play"));
    EXPECT_EQ(copy.Font(), font);
    EXPECT_EQ(copy.Picture().size(), QSize(8, 6));
    EXPECT_EQ(copy.BackColor(), 0x00123456u);
    EXPECT_EQ(copy.ForeColor(), platform::systemColorCode(8));
    EXPECT_FALSE(copy.Enabled());
    EXPECT_EQ(copy.Gab(), -2);
    EXPECT_EQ(copy.ExtraData2(), 1 << 30);
    EXPECT_EQ(copy.MousePointer(), 99);
    EXPECT_EQ(copy.cursor().pixmap().size(), QSize(16, 16)) << "the custom pointer uses the icon";
    EXPECT_TRUE(copy.AutoUpdTsp());
    EXPECT_EQ(copy.AutoUpdTspInterval(), 65535);
}

TEST(ButtonLoading, KeysAreMatchedWithoutCaseAndColoursMayComeAsQColor) {
    ButtonHost host;
    Command button(&host);
    button.ReadProperties(PropertyBag{{q("CAPTION"), q("x")}, {q("BackColor"), QColor(0x12, 0x34, 0x56)}});
    EXPECT_EQ(button.Caption(), q("x"));
    EXPECT_EQ(button.BackColor(), 0x00563412u);
}

// ---- Values that do not fit ----------------------------------------------------------------

struct OverflowCase {
    const char* what;
    std::function<void(Command&)> change;
    std::function<qint32(const Command&)> read;
};

class ButtonOverflow : public testing::TestWithParam<OverflowCase> {};

TEST_P(ButtonOverflow, FailsAndKeepsTheOldValue) {
    const OverflowCase& c = GetParam();
    ButtonHost host;
    Command button(&host);
    const qint32 before = c.read(button);
    EXPECT_THROW(c.change(button), zor::Failure) << c.what;
    EXPECT_EQ(c.read(button), before) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ButtonOverflow,
    testing::Values(OverflowCase{"ButtonType above 16 bits", [](Command& b) { b.setButtonType(32768); },
                                 [](const Command& b) { return b.ButtonType(); }},
                    OverflowCase{"ClickEffect below 16 bits", [](Command& b) { b.setClickEffect(-32769); },
                                 [](const Command& b) { return b.ClickEffect(); }},
                    OverflowCase{"stored ButtonType",
                                 [](Command& b) {
                                     b.ReadProperties(PropertyBag{{q("buttontype"), 70000}});
                                 },
                                 [](const Command& b) { return b.ButtonType(); }},
                    OverflowCase{"stored ClickEffect",
                                 [](Command& b) {
                                     b.ReadProperties(PropertyBag{{q("clickeffect"), 40000}});
                                 },
                                 [](const Command& b) { return b.ClickEffect(); }},
                    OverflowCase{"stored Gab",
                                 [](Command& b) {
                                     b.ReadProperties(PropertyBag{{q("gab"), -40000}});
                                 },
                                 [](const Command& b) { return b.Gab(); }},
                    OverflowCase{"stored MousePointer",
                                 [](Command& b) {
                                     b.ReadProperties(PropertyBag{{q("mousepointer"), 1 << 20}});
                                 },
                                 [](const Command& b) { return b.MousePointer(); }},
                    OverflowCase{"unknown pointer number", [](Command& b) { b.setMousePointer(42); },
                                 [](const Command& b) { return b.MousePointer(); }},
                    OverflowCase{"negative timer period", [](Command& b) { b.setAutoUpdTspInterval(-1); },
                                 [](const Command& b) { return b.AutoUpdTspInterval(); }},
                    OverflowCase{"timer period above 65535",
                                 [](Command& b) { b.setAutoUpdTspInterval(65536); },
                                 [](const Command& b) { return b.AutoUpdTspInterval(); }}));

// ---- Notification and redraw ---------------------------------------------------------------

struct SetterCase {
    const char* key;
    std::function<void(Command&)> set;
    bool redraws;
};

class ButtonSetters : public testing::TestWithParam<SetterCase> {};

// A see-through button draws its parent's background on every redraw, so the parent's draw
// count tells whether a setter redrew.
TEST_P(ButtonSetters, NotifyByTheirKeyAndRedrawOnlyWhenTheLookDependsOnThem) {
    const SetterCase& c = GetParam();
    ButtonHost host;
    Command* button = host.add(10, 10, 40, 30);
    button->setButtonType(3);
    QSignalSpy changes(button, &Command::PropertyChanged);
    host.backgroundDraws = 0;
    c.set(*button);
    ASSERT_EQ(changes.size(), 1) << c.key;
    EXPECT_EQ(changes.at(0).at(0).toString(), q(c.key));
    EXPECT_EQ(host.backgroundDraws > 0, c.redraws) << c.key;
}

INSTANTIATE_TEST_SUITE_P(
    Properties, ButtonSetters,
    testing::Values(
        SetterCase{"TextAlignment", [](Command& b) { b.setTextAlignment(0); }, true},
        SetterCase{"PictureAlignment", [](Command& b) { b.setPictureAlignment(2); }, true},
        SetterCase{"Caption", [](Command& b) { b.setCaption(q("a")); }, true},
        SetterCase{"Picture", [](Command& b) { b.setPicture(SolidPicture(2, 2, 0xFF000000)); }, true},
        SetterCase{"BackColor", [](Command& b) { b.setBackColor(0xFF); }, true},
        SetterCase{"ForeColor", [](Command& b) { b.setForeColor(0xFF); }, true},
        SetterCase{"Font", [](Command& b) { b.setFont(QFont(q("DejaVu Serif"))); }, true},
        SetterCase{"FocusRect", [](Command& b) { b.setFocusRect(false); }, false},
        SetterCase{"Gab", [](Command& b) { b.setGab(3); }, true},
        SetterCase{"Enabled", [](Command& b) { b.setEnabled(false); }, true},
        SetterCase{"ClickEffect", [](Command& b) { b.setClickEffect(1); }, true},
        SetterCase{"ButtonType", [](Command& b) { b.setButtonType(3); }, true},
        SetterCase{"DrawAsDisabled", [](Command& b) { b.setDrawAsDisabled(true); }, true},
        SetterCase{"ExtraData", [](Command& b) { b.setExtraData(1); }, false},
        SetterCase{"ExtraData2", [](Command& b) { b.setExtraData2(1); }, false},
        SetterCase{"Selected", [](Command& b) { b.setSelected(true); }, true},
        SetterCase{"MousePointer", [](Command& b) { b.setMousePointer(11); }, false},
        SetterCase{"Bevel", [](Command& b) { b.setBevel(false); }, true},
        SetterCase{"AutoUpdTsp", [](Command& b) { b.setAutoUpdTsp(true); }, false},
        SetterCase{"AutoUpdTspInterval", [](Command& b) { b.setAutoUpdTspInterval(20); }, false},
        SetterCase{"VisEnabledState", [](Command& b) { b.setVisEnabledState(false); }, true},
        SetterCase{"MouseIcon", [](Command& b) { b.setMouseIcon(SolidPicture(8, 8, 0xFF000000)); }, false}));

// ---- The see-through timer -----------------------------------------------------------------

class ButtonTimer : public testing::Test {
protected:
    ButtonHost host;
    Command* button = host.add(40, 20, 30, 20);

    // The window's activation gives the button the focus, which redraws it: let that pass first.
    void SetUp() override { ASSERT_TRUE(QTest::qWaitForWindowActive(&host)); }

    int drawsWhile(int ms) {
        host.backgroundDraws = 0;
        QTest::qWait(ms);
        return host.backgroundDraws;
    }
};

TEST_F(ButtonTimer, SeeThroughButtonRedrawsOnceAfterEachMove) {
    button->setButtonType(3);
    button->setAutoUpdTspInterval(5);
    button->setAutoUpdTsp(true);
    EXPECT_EQ(drawsWhile(60), 1) << "the first tick: the remembered place starts at (0, 0)";
    EXPECT_EQ(drawsWhile(60), 0) << "not moved";
    button->move(60, 20);
    EXPECT_EQ(drawsWhile(60), 1) << "moved once";
    EXPECT_EQ(drawsWhile(60), 0);
}

TEST_F(ButtonTimer, TicksDoNothingForOtherTypesOrWithAZeroPeriod) {
    button->setAutoUpdTspInterval(5);
    button->setAutoUpdTsp(true);
    button->move(60, 20);
    EXPECT_EQ(drawsWhile(60), 0) << "normal button";
    button->setAutoUpdTsp(false);
    button->setButtonType(3);
    button->setAutoUpdTspInterval(0);
    button->setAutoUpdTsp(true);
    button->move(70, 20);
    EXPECT_EQ(drawsWhile(60), 0) << "a period of 0 never ticks";
}

// ---- The main window's sound buttons -------------------------------------------------------

struct SoundButtonCase {
    const char* name;
    std::function<Command*(QWidget*)> create;
    std::function<PropertyBag()> design;
    const char* caption;
    const char* family;
    double points;
    bool bold;
};

class SoundButtons : public testing::TestWithParam<SoundButtonCase> {};

TEST_P(SoundButtons, StoreOnlyTheirDesignValuesAndLoadAsDesigned) {
    const SoundButtonCase& c = GetParam();
    EXPECT_EQ(c.design().keys(),
              (QStringList{q("autoupdtspinterval"), q("caption"), q("focusrect"), q("font")}));
    ButtonHost host;
    Command* button = c.create(&host);
    EXPECT_EQ(button->objectName(), q(c.name));
    EXPECT_EQ(button->parentWidget(), &host);
    EXPECT_EQ(button->Caption(), q(c.caption));
    EXPECT_EQ(button->Font().family(), q(c.family));
    EXPECT_DOUBLE_EQ(button->Font().pointSizeF(), c.points);
    EXPECT_EQ(button->Font().bold(), c.bold);
    EXPECT_FALSE(button->FocusRect());
    EXPECT_EQ(button->AutoUpdTspInterval(), 50);
    EXPECT_FALSE(button->AutoUpdTsp());
    EXPECT_EQ(button->TextAlignment(), 1);
    EXPECT_EQ(button->ButtonType(), 0);
    const QPointF twips = button->TwipsPerPixel();
    EXPECT_EQ(button->size(), QSize(qRound(360 / twips.x()), qRound(360 / twips.y())));
    PropertyBag saved;
    button->WriteProperties(saved);
    EXPECT_EQ(saved.keys(), c.design().keys()) << "saving gives back exactly the design";
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, SoundButtons,
    testing::Values(SoundButtonCase{"cmdSoundFile", &Command::createSoundFileButton,
                                    &Command::SoundFileButtonDesign, "...", "Tahoma", 8.25, false},
                    SoundButtonCase{"cmdPlaySound", &Command::createPlaySoundButton,
                                    &Command::PlaySoundButtonDesign, "4", "Webdings", 9.75, true},
                    SoundButtonCase{"cmdStopSound", &Command::createStopSoundButton,
                                    &Command::StopSoundButtonDesign, "g", "Webdings", 8.25, true}));

} // namespace
