// The tray icon tells the truth: blocking on or off, Ctrl held, and a flash after every cancel.
#include "app/frmMain.h"
#include "controls/tray/ZorTray.h"
#include "platform/KeyState.h"
#include "platform/Log.h"
#include "util/VELModule.h"

#include <QCheckBox>
#include <QTimer>

namespace {
constexpr std::int32_t VK_SHIFT = 16;
constexpr std::int32_t VK_CONTROL = 17;
constexpr int KeyDownBit = 0x8000;
// Colour values with red in the low byte: pure red while blocking, pure green while not.
constexpr int ActiveColour = 255;
constexpr int InactiveColour = 65280;
} // namespace

void frmMain::SetTrayIcon() {
    if (mblnFlashOn)
        return;
    if (chkKillPopup->isChecked()) {
        const QPixmap& wanted = picIcons[mblnCtrlDown ? 1 : 2];
        if (Tray->TrayIconKey() != wanted.cacheKey())
            Tray->setTrayIcon(wanted);
        SetSwitchColour(ActiveColour);
    } else {
        SetSwitchColour(InactiveColour);
        if (Tray->TrayIconKey() != picIcons[0].cacheKey())
            Tray->setTrayIcon(picIcons[0]);
    }
}

// The check box shows the state in its background; only touched when it differs, since this
// runs twenty times a second. A style sheet brings its parser and style in for good, so while
// the window was never shown the colour is only noted, and its first show paints it.
void frmMain::SetSwitchColour(int colour) {
    if (mlngSwitchColour == colour)
        return;
    mlngSwitchColour = colour;
    chkKillPopup->setProperty("BackColor", colour);
    if (mobjFirstShowSteps.empty())
        PaintSwitch();
}

void frmMain::PaintSwitch() {
    if (mlngSwitchColour < 0)
        return;
    const QColor rgb(mlngSwitchColour & 0xFF, (mlngSwitchColour >> 8) & 0xFF,
                     (mlngSwitchColour >> 16) & 0xFF);
    chkKillPopup->setStyleSheet(
        QStringLiteral("QCheckBox#chkKillPopup { background-color: %1; padding: 2px 6px; }").arg(rgb.name()));
}

void frmMain::UpdateTrayTip() {
    Tray->setTrayTip(QStringLiteral("ZOR Brakkon:\r\n%1 %2").arg(mlngSessionKilled).arg(mstrTrayTipString));
}

void frmMain::checkCtrl_Timer() {
    platform::KeyState& keys = platform::keyState();
    const bool ctrl = (keys.GetKeyState(VK_CONTROL) & KeyDownBit) != 0;
    const bool shift = (keys.GetKeyState(VK_SHIFT) & KeyDownBit) != 0;
    if (ctrl != mblnCtrlDown || shift != mblnShiftDown)
        qCDebug(lcApp, "keys: Ctrl %s, Shift %s", ctrl ? "down" : "up", shift ? "down" : "up");
    mblnCtrlDown = ctrl;
    mblnShiftDown = shift;
    SetTrayIcon();
}

void frmMain::Flash_Timer() {
    if (mlngFlashCount > 3) {
        mlngFlashCount = 0;
        mblnFlashShown = false;
        mblnFlashOn = false;
        Flash->stop();
        SetTrayIcon();
        return;
    }
    if (!mblnFlashShown) {
        ++mlngFlashCount;
        mblnFlashOn = true;
        Tray->setTrayIcon(picIcons[3]);
    } else {
        mblnFlashOn = false;
        SetTrayIcon();
    }
    mblnFlashShown = !mblnFlashShown;
}

void frmMain::mobjIEManager_BrowserBlocksPopups(const QString& browser) {
    ShowBrowserNotice(browser, mstrMsg[6]);
}

void frmMain::mobjIEManager_BrowserAwaitsApproval(const QString& browser) {
    ShowBrowserNotice(browser, mstrMsg[7]);
}

void frmMain::mobjIEManager_BrowserRefusedApproval(const QString& browser) {
    ShowBrowserNotice(browser, mstrMsg[8]);
}

void frmMain::ShowBrowserNotice(const QString& browser, const QString& strMessage) {
    const QString text = browser + QStringLiteral(": ") + strMessage;
    qCWarning(lcApp, "%s", qUtf8Printable(text));
    ShowNotice(text);
}

void frmMain::ShowNotice(const QString& text) {
    if (!Tray->ShowMessage(App::Title, text))
        qCInfo(lcApp, "no tray icon to show this by");
}
