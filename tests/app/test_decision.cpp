#include "FormFixture.h"
#include "controls/tray/ZorTray.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

namespace {

enum class Outcome { Cancelled, AllowedFalse, Untouched };
enum class Failing { Nothing, ParentUrl, DocumentDomain, Gesture, NoDocument, NoOpener, NoWindows };

struct DecisionCase {
    const char* name;
    int mode;
    bool active;
    bool ctrl;
    bool shift;
    bool accepted; // the opener's address domain is on the accepted list
    bool denied;   // the opener's document domain is on the denied list
    bool gesture;  // a user event is being handled
    Failing failing;
    Outcome expected;
    int silenced; // script errors silenced, the opener's document and the window's own
};

std::ostream& operator<<(std::ostream& out, const DecisionCase& c) {
    return out << c.name;
}

const QString OpenerUrl = q("http://site.test:8080/page");

class Decision : public FormFixture {
protected:
    void SetUp() override {
        opener = &shell.addWindow(100, OpenerUrl);
        opener->document.domainText = q("site.test");
        opener->document.userGesture = false;
        Load();
    }

    // Asks for a window from the opener with Cancel preset to true, so that "left untouched"
    // can be told from "set to false"; a cancel is told by the count.
    Outcome Decide(QVariant key = q("_100")) {
        QObject* ppDisp = nullptr;
        bool cancel = true;
        const auto before = form->mlngTotalKilled;
        form->mobjIEManager_NewWindow2(ppDisp, cancel, key);
        if (form->mlngTotalKilled != before)
            return cancel ? Outcome::Cancelled : Outcome::Untouched;
        return cancel ? Outcome::Untouched : Outcome::AllowedFalse;
    }
    int ShownIcon() const {
        for (int i = 0; i < 4; ++i)
            if (form->Tray->TrayIcon().cacheKey() == form->picIcons[i].cacheKey())
                return i;
        return -1;
    }

    FakeWebBrowser* opener = nullptr;
};

class DecisionTable : public Decision, public testing::WithParamInterface<DecisionCase> {};

TEST_P(DecisionTable, DecidesByModeSwitchKeysListsAndGesture) {
    const DecisionCase& c = GetParam();
    form->optMode[c.mode]->setChecked(true);
    form->chkKillPopup->setChecked(c.active);
    form->chkIgnoreErrors->setChecked(true);
    form->mblnCtrlDown = c.ctrl;
    form->mblnShiftDown = c.shift;
    if (c.accepted)
        form->Lists().List3().AddItem(q("site.test:8080"));
    if (c.denied)
        form->Lists().List2().AddItem(q("site.test"));
    opener->document.userGesture = c.gesture;
    opener->urlFails = c.failing == Failing::ParentUrl;
    opener->document.domainFails = c.failing == Failing::DocumentDomain;
    if (c.failing == Failing::Gesture)
        opener->document.userGesture.reset();
    opener->hasDocument = c.failing != Failing::NoDocument;
    int silenced = 0;
    if (c.failing == Failing::NoWindows) {
        shell.removeWindow(*opener);
        opener = nullptr; // freed with its window: nothing of it can be silenced
    }
    const Outcome outcome = c.failing == Failing::NoOpener ? Decide(q("_999")) : Decide();
    if (opener)
        silenced = opener->document.onErrorWrites;
    EXPECT_EQ(int(outcome), int(c.expected)) << c.name;
    EXPECT_EQ(silenced, c.silenced) << "with script errors to be ignored";
}

constexpr bool on = true;
constexpr bool off = false;
using F = Failing;
using O = Outcome;
// name, mode, active, ctrl, shift, accepted, denied, gesture, failing, expected, silenced
// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, DecisionTable, testing::Values(
    DecisionCase{"mode 0 script popup is cancelled", 0, on, off, off, off, off, off, F::Nothing, O::Cancelled, 2},
    DecisionCase{"mode 0 popup on a click opens", 0, on, off, off, off, off, on, F::Nothing, O::Untouched, 2},
    DecisionCase{"mode 0 click from a denied domain is cancelled", 0, on, off, off, off, on, on, F::Nothing, O::Cancelled, 2},
    DecisionCase{"mode 2 decides like mode 0 (script)", 2, on, off, off, off, off, off, F::Nothing, O::Cancelled, 2},
    DecisionCase{"mode 2 decides like mode 0 (click)", 2, on, off, off, off, off, on, F::Nothing, O::Untouched, 2},
    DecisionCase{"mode 1 cancels a click too", 1, on, off, off, off, off, on, F::Nothing, O::Cancelled, 2},
    DecisionCase{"mode 3 lets a script popup open", 3, on, off, off, off, off, off, F::Nothing, O::AllowedFalse, 2},
    DecisionCase{"mode 3 cancels a denied domain", 3, on, off, off, off, on, on, F::Nothing, O::Cancelled, 2},
    DecisionCase{"accepted beats denied in every mode", 0, on, off, off, on, on, off, F::Nothing, O::AllowedFalse, 2},
    DecisionCase{"accepted opens in mode 1", 1, on, off, off, on, off, off, F::Nothing, O::AllowedFalse, 2},
    DecisionCase{"blocking off lets everything open", 1, off, off, off, off, on, off, F::Nothing, O::Untouched, 0},
    DecisionCase{"Ctrl held lets everything open", 1, on, on, off, off, on, off, F::Nothing, O::Untouched, 0},
    DecisionCase{"Shift alone changes nothing", 1, on, off, on, off, off, off, F::Nothing, O::Cancelled, 2},
    DecisionCase{"Ctrl+Shift allows even when off", 1, off, on, on, off, off, off, F::Nothing, O::AllowedFalse, 0},
    DecisionCase{"Ctrl+Shift allows a denied domain", 3, on, on, on, off, on, off, F::Nothing, O::AllowedFalse, 0},
    DecisionCase{"unreadable address fails the accepted test: allow", 1, on, off, off, off, off, off, F::ParentUrl, O::AllowedFalse, 2},
    DecisionCase{"unreadable domain in mode 0: cancel", 0, on, off, off, off, off, on, F::DocumentDomain, O::Cancelled, 2},
    DecisionCase{"unreadable domain in mode 3: cancel", 3, on, off, off, off, off, on, F::DocumentDomain, O::Cancelled, 2},
    DecisionCase{"no document in mode 0: cancel", 0, on, off, off, off, off, on, F::NoDocument, O::Cancelled, 0},
    DecisionCase{"unknown gesture in mode 0: open", 0, on, off, off, off, off, off, F::Gesture, O::Untouched, 2},
    DecisionCase{"nothing filed under the key: allow", 1, on, off, off, off, off, off, F::NoOpener, O::AllowedFalse, 0},
    DecisionCase{"no browser window tracked: allow", 1, on, off, off, off, off, off, F::NoWindows, O::AllowedFalse, 0}));
// clang-format on

// What a hostile page puts in its address and domain reaches the status list and the denied
// list as plain text: nothing is interpreted or escaped.
TEST_F(Decision, ACancelCountsListsDeniesSignalsAndSounds) {
    opener->url = q("http://site.test/<b>bold</b><script>alert(1)</script>");
    opener->document.domainText = q("<i>site</i>.test");
    form->optMode[1]->setChecked(true);
    form->chkSound->setChecked(true);
    form->txtFile->setText(q("/sounds/ding.wav"));
    ASSERT_EQ(Decide(), Outcome::Cancelled);
    EXPECT_EQ(form->mlngTotalKilled, 1);
    EXPECT_EQ(form->mlngSessionKilled, 1);
    EXPECT_EQ(form->lbTotalCount->text(), q("01"));
    ASSERT_EQ(form->List1->count(), 1);
    EXPECT_EQ(form->List1->item(0)->text(), opener->url + q(" --> Terminated!"));
    EXPECT_EQ(form->Lists().List2().entries(), QStringList{q("<i>site<")});
    EXPECT_TRUE(form->Flash->isActive());
    EXPECT_EQ(player->files(), QStringList{q("/sounds/ding.wav")});
    EXPECT_GE(player->stops, 1) << "a playing sound is stopped before the next one";
}

TEST_F(Decision, CtrlShiftPutsTheOpenersAddressDomainOnTheAcceptedList) {
    form->Lists().List2().AddItem(q("site.test:8080"));
    form->mblnCtrlDown = form->mblnShiftDown = true;
    ASSERT_EQ(Decide(), Outcome::AllowedFalse);
    EXPECT_EQ(form->Lists().List3().entries(), QStringList{q("site.test:8080")});
    EXPECT_EQ(form->Lists().List2().ListCount(), 0) << "taken off the denied list";
    form->mblnCtrlDown = form->mblnShiftDown = false;
    form->optMode[1]->setChecked(true);
    EXPECT_EQ(Decide(), Outcome::AllowedFalse) << "later requests pass the accepted test";
}

TEST_F(Decision, ScriptErrorsAreLeftAloneUnlessToBeIgnoredAndAFailedSilencingChangesNothing) {
    form->chkIgnoreErrors->setChecked(false);
    Decide();
    EXPECT_EQ(opener->document.onErrorWrites, 0);
    form->chkIgnoreErrors->setChecked(true);
    opener->document.onErrorFails = true;
    EXPECT_EQ(Decide(), Outcome::Cancelled) << "a failing write does not stop the decision";
}

TEST_F(Decision, TheTotalStaysAtItsLargestValueAndTheRestOfTheCancelRuns) {
    form->mlngTotalKilled = std::numeric_limits<std::int32_t>::max();
    QObject* ppDisp = nullptr;
    bool cancel = false;
    QVariant key = q("_100");
    form->mobjIEManager_NewWindow2(ppDisp, cancel, key);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(form->mlngTotalKilled, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(form->mlngSessionKilled, 1);
    EXPECT_EQ(form->List1->count(), 1);
}

TEST_F(Decision, ARealBrowserRequestIsCancelledThroughTheRegistry) {
    EXPECT_TRUE(opener->fireNewWindow2());
    opener->document.userGesture = true;
    form->Lists().List2().Clear();
    EXPECT_FALSE(opener->fireNewWindow2());
}

// The padding to two digits is the cancel test's "01".
TEST(FormatCount, LongerAndNegativeCountsKeepEveryDigit) {
    EXPECT_EQ(FormatCount(123), q("123"));
    EXPECT_EQ(FormatCount(-5), q("-05"));
}

// What the tray icon and tip tell of blocking, the keys and the cancels.
using TrayStatus = Decision;

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
    EXPECT_TRUE(form->chkKillPopup->styleSheet().contains(c.colour == 255 ? q("#ff0000") : q("#00ff00")));
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
