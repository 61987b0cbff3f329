// What the hot-key, the tray icon, the tray menu and the about label do.
#include "app/frmMain.h"
#include "controls/button/Command.h"
#include "controls/hotkey/ZORHotkey.h"
#include "controls/tray/ZorTray.h"
#include "platform/Log.h"
#include "util/VELModule.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTimer>
#include <utility>

void frmMain::ZORHotkey1_KeyPressed(std::uint8_t) {
    chkKillPopup->setChecked(!chkKillPopup->isChecked());
    SetTrayIcon();
    qCInfo(lcApp, "hot-key: blocking %s", chkKillPopup->isChecked() ? "on" : "off");
}

// A desktop that asks the user may refuse the hot-key long after start-up; that is told once.
void frmMain::ZORHotkey1_KeyRefused(std::uint8_t) {
    qCWarning(lcApp, "Ctrl + keypad * was refused by the desktop; the toggle hot-key is off");
    if (std::exchange(mblnHotkeyRefusalShown, true))
        return;
    Warn(mstrMsg[3]);
}

void frmMain::Tray_MouseUp(std::int16_t Button, std::int32_t) {
    if (Button == 2)
        mnuPopup->popup(QCursor::pos());
}

void frmMain::Tray_MouseDblClick(std::int16_t, std::int32_t) {
    mnuConfigure_Click();
}

void frmMain::mnuConfigure_Click() {
    mblnShowing = true;
    show();
    // Let the events of showing (its resize among them) run while the window knows it is
    // being brought up, so it does not hide itself again.
    QCoreApplication::processEvents();
    if (isMinimized() || isMaximized())
        showNormal();
    raise();
    activateWindow();
    mblnShowing = false;
}

void frmMain::Label5_Click() {
    VELModule::ShellOpen(App::DocumentationUrl(), QString(), this, QString());
}

void frmMain::ConnectHandlers() {
    connect(checkCtrl, &QTimer::timeout, this, &frmMain::checkCtrl_Timer);
    connect(Flash, &QTimer::timeout, this, &frmMain::Flash_Timer);
    connect(ZORHotkey1, &ZORHotkey::KeyPressed, this, &frmMain::ZORHotkey1_KeyPressed);
    connect(ZORHotkey1, &ZORHotkey::KeyRefused, this, &frmMain::ZORHotkey1_KeyRefused);
    connect(Tray, &ZorTray::MouseUp, this, &frmMain::Tray_MouseUp);
    connect(Tray, &ZorTray::MouseDblClick, this, &frmMain::Tray_MouseDblClick);
    connect(mnuConfigure, &QAction::triggered, this, &frmMain::mnuConfigure_Click);
    // The menu closes first; the window then unloads outside the menu's own event loop.
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click, Qt::QueuedConnection);
    connect(chkAutoStart, &QCheckBox::toggled, this, &frmMain::chkAutoStart_Click);
    connect(chkSound, &QCheckBox::toggled, this, &frmMain::chkSound_Click);
    connect(chkKillPopup, &QCheckBox::toggled, this, &frmMain::SetTrayIcon);
    connect(cmdSoundFile, &Command::Click, this, &frmMain::cmdSoundFile_Click);
    connect(cmdPlaySound, &Command::Click, this, &frmMain::cmdPlaySound_Click);
    connect(cmdStopSound, &Command::Click, this, &frmMain::cmdStopSound_Click);
    Label5->installEventFilter(this);
    ConnectListHandlers();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label5 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label5_Click();
        return true;
    }
    return ListEventFilter(watched, event) || QMainWindow::eventFilter(watched, event);
}
