#include "ButtonHost.h"
#include "util/PropertyBag.h"

#include <QSignalSpy>
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

} // namespace
