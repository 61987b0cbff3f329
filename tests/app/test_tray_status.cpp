#include "FormFixture.h"
#include "controls/tray/ZorTray.h"

#include <QCheckBox>
#include <QTimer>

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
    int icon;
    int colour;
};

class StateIcons : public TrayStatus, public testing::WithParamInterface<IconCase> {};

TEST_P(StateIcons, ShowBlockingAndCtrlInTheIconAndTheSwitchColour) {
    form->chkKillPopup->setChecked(GetParam().active);
    keys->ctrl = GetParam().ctrl;
    form->checkCtrl_Timer();
    EXPECT_EQ(ShownIcon(), GetParam().icon);
    EXPECT_EQ(form->chkKillPopup->property("BackColor").toInt(), GetParam().colour);
}

INSTANTIATE_TEST_SUITE_P(Table, StateIcons,
                         testing::Values(IconCase{false, false, 0, 65280}, IconCase{false, true, 0, 65280},
                                         IconCase{true, true, 1, 255}, IconCase{true, false, 2, 255}));

TEST_F(TrayStatus, TheKeyPollReadsCtrlAndShift) {
    keys->ctrl = true;
    keys->shift = true;
    form->checkCtrl_Timer();
    EXPECT_TRUE(form->mblnCtrlDown);
    EXPECT_TRUE(form->mblnShiftDown);
    keys->ctrl = false;
    form->checkCtrl_Timer();
    EXPECT_FALSE(form->mblnCtrlDown);
    EXPECT_TRUE(form->mblnShiftDown);
}

TEST_F(TrayStatus, OneFlashSequenceIsEightTicksOfAlternatingIcons) {
    form->Flash->start();
    std::vector<int> icons;
    for (int tick = 0; tick < 8; ++tick) {
        form->Flash_Timer();
        icons.push_back(ShownIcon());
    }
    EXPECT_EQ(icons, (std::vector<int>{3, 2, 3, 2, 3, 2, 3, 2}));
    EXPECT_FALSE(form->Flash->isActive());
    EXPECT_FALSE(form->mblnFlashOn);
    EXPECT_EQ(form->mlngFlashCount, 0);
}

TEST_F(TrayStatus, CtrlShowsOnlyInTheStatePhasesOfAFlash) {
    form->Flash->start();
    form->Flash_Timer();
    keys->ctrl = true;
    form->checkCtrl_Timer();
    EXPECT_EQ(ShownIcon(), 3) << "the flash icon stays while it is on";
    form->Flash_Timer();
    EXPECT_EQ(ShownIcon(), 1);
}

TEST_F(TrayStatus, ACancelDuringASequenceDoesNotRestartIt) {
    form->Flash->start();
    int flashes = 0;
    int ticks = 0;
    for (; ticks < 3; ++ticks) {
        form->Flash_Timer();
        flashes += ShownIcon() == 3 ? 1 : 0;
    }
    // A second cancel 300 ms in only enables the timer again.
    if (!form->Flash->isActive())
        form->Flash->start();
    while (form->Flash->isActive() && ticks < 20) {
        form->Flash_Timer();
        ++ticks;
        flashes += ShownIcon() == 3 ? 1 : 0;
    }
    EXPECT_EQ(flashes, 4);
    EXPECT_EQ(ticks, 8);
}

TEST_F(TrayStatus, TheTipShowsTheSessionCountAndTheLanguageText) {
    EXPECT_EQ(form->Tray->TrayTip(), QStringLiteral("ZOR Brakkon:\r\n0 "));
    form->mlngSessionKilled = 3;
    form->mstrTrayTipString = QStringLiteral("popups canceled");
    form->UpdateTrayTip();
    EXPECT_EQ(form->Tray->TrayTip(), QStringLiteral("ZOR Brakkon:\r\n3 popups canceled"));
}

TEST_F(TrayStatus, AnUnchangedStateDoesNotTouchTheTray) {
    form->checkCtrl_Timer();
    const QPixmap before = form->Tray->TrayIcon();
    form->checkCtrl_Timer();
    EXPECT_EQ(form->Tray->TrayIcon().cacheKey(), before.cacheKey());
}

} // namespace
