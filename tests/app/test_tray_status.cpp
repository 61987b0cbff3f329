#include "FormFixture.h"
#include "controls/tray/ZorTray.h"

#include <QCheckBox>

namespace {

class TrayStatus : public FormFixture {
protected:
    void SetUp() override { Load(); }
    int ShownIcon() const {
        for (int i = 0; i < 4; ++i)
            if (form->Tray->TrayIcon().cacheKey() == form->picIcons[i].cacheKey())
                return i;
        return -1;
    }
};

struct IconCase {
    bool active;
    bool ctrl;
    bool shift;
    int icon;
    int colour;
};

class StateIcons : public TrayStatus, public testing::WithParamInterface<IconCase> {};

TEST_P(StateIcons, TheKeyPollShowsBlockingAndCtrlInTheIconAndTheSwitchColour) {
    const IconCase& c = GetParam();
    form->chkKillPopup->setChecked(c.active);
    keys->ctrl = c.ctrl;
    keys->shift = c.shift;
    form->checkCtrl_Timer();
    EXPECT_EQ(form->mblnCtrlDown, c.ctrl);
    EXPECT_EQ(form->mblnShiftDown, c.shift);
    EXPECT_EQ(ShownIcon(), c.icon);
    EXPECT_EQ(form->chkKillPopup->property("BackColor").toInt(), c.colour);
}

INSTANTIATE_TEST_SUITE_P(Table, StateIcons,
                         testing::Values(IconCase{false, false, true, 0, 65280},
                                         IconCase{false, true, false, 0, 65280},
                                         IconCase{true, true, true, 1, 255},
                                         IconCase{true, false, false, 2, 255}));

// Eight ticks of alternating icons; Ctrl held meanwhile shows only in the state phases.
TEST_F(TrayStatus, OneFlashSequenceIsEightTicksOfAlternatingIcons) {
    form->Flash->start();
    std::vector<int> icons;
    for (int tick = 0; tick < 8; ++tick) {
        form->Flash_Timer();
        icons.push_back(ShownIcon());
        if (tick == 4) {
            keys->ctrl = true;
            form->checkCtrl_Timer();
            icons.push_back(ShownIcon());
        }
    }
    EXPECT_EQ(icons, (std::vector<int>{3, 2, 3, 2, 3, 3, 1, 3, 1}));
    EXPECT_FALSE(form->Flash->isActive());
    EXPECT_FALSE(form->mblnFlashOn);
    EXPECT_EQ(form->mlngFlashCount, 0);
}

TEST_F(TrayStatus, TheTipShowsTheSessionCountAndTheLanguageText) {
    EXPECT_EQ(form->Tray->TrayTip(), q("ZOR Brakkon:\r\n0 "));
    form->mlngSessionKilled = 3;
    form->mstrTrayTipString = q("popups canceled");
    form->UpdateTrayTip();
    EXPECT_EQ(form->Tray->TrayTip(), q("ZOR Brakkon:\r\n3 popups canceled"));
}

} // namespace
