// Load, close and unload of the main window, and start with login.
#include "app/AppInfo.h"
#include "app/Settings.h"
#include "app/frmMain.h"
#include "browser/clsIEManager.h"
#include "controls/hotkey/ZORHotkey.h"
#include "controls/tray/ZorTray.h"
#include "lang/LanguageTexts.h"
#include "platform/Failure.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "sound/WavePlayback.h"
#include "util/VELModule.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>

namespace {

const QString RunKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString RunValue = QStringLiteral("ZORBrakkon");

QString AutoStartCommand() {
    return VELModule::AppPath() + QStringLiteral("ZORBrakkon");
}

} // namespace

frmMain::frmMain()
    : frmMain(Services{}) {}

frmMain::frmMain(Services services, QWidget* parent)
    : QMainWindow(parent)
    // Warnings shown before (or without) a language file are never an empty box.
    , mstrMsg(LanguageTexts::DefaultMessages())
    , mobjServices(std::move(services))
    , mobjLists(mobjServices.listFolder.isEmpty() ? DomainLists::DefaultFolder() : mobjServices.listFolder) {
    setObjectName(QStringLiteral("frmMain"));
    BuildControls();
    ConnectHandlers();
    checkCtrl->start();
}

frmMain::~frmMain() = default;

QString FormatCount(std::int32_t value) {
    const QString digits =
        QStringLiteral("%1").arg(std::abs(static_cast<qint64>(value)), 2, 10, QLatin1Char('0'));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

int frmMain::KillMode() const {
    for (int i = 0; i < 4; ++i)
        if (optMode[i]->isChecked())
            return i;
    return 0;
}

void frmMain::Warn(const QString& text) {
    platform::dialogs().messageBox(this, text, platform::MsgIcon::Exclamation, platform::MsgButtons::Ok,
                                   App::Title);
}

void frmMain::ShowTotal() {
    lbTotalCount->setText(FormatCount(mlngTotalKilled));
}

void frmMain::Form_Load() {
    mblnLoading = true;
    zor::tryStep("reading start with login", [&] {
        const QString command = VELModule::GetRegValue(platform::HKEY_CURRENT_USER, RunKey, RunValue);
        chkAutoStart->setChecked(command.toLower() == AutoStartCommand().toLower());
    });
    setWindowTitle(App::VersionCaption());
    zor::tryStep("watching the browsers", [&] {
        mobjIEManager =
            mobjServices.makeIEManager ? mobjServices.makeIEManager() : std::make_unique<clsIEManager>();
        connect(mobjIEManager.get(), &clsIEManager::NewWindow2, this, &frmMain::mobjIEManager_NewWindow2,
                Qt::DirectConnection);
        connect(mobjIEManager.get(), &clsIEManager::BrowserBlocksPopups, this,
                &frmMain::mobjIEManager_BrowserBlocksPopups);
        connect(mobjIEManager.get(), &clsIEManager::BrowserAwaitsApproval, this,
                &frmMain::mobjIEManager_BrowserAwaitsApproval);
        connect(mobjIEManager.get(), &clsIEManager::BrowserRefusedApproval, this,
                &frmMain::mobjIEManager_BrowserRefusedApproval);
        // The key poll runs again at once, so the decision that follows sees those keys.
        connect(mobjIEManager.get(), &clsIEManager::KeysReported, this, &frmMain::checkCtrl_Timer,
                Qt::DirectConnection);
    });
    zor::tryStep("loading the domain lists", [&] { LoadList(); });
    ReadSettings();
    ShowTotal();
    chkSound_Click();
    Tray->setInTray(true);
    mstrLanguageFile = Settings::Get(Settings::LanguageSection, QStringLiteral("LanguageFile"),
                                     QStringLiteral("english.ini"));
    // From here on a save keeps what the user has, also while the load waits on a message box.
    // Armed only now, after what saving uses was made, since that is what goes before it at exit.
    mobjAbruptEnd.emplace([this] { SaveBeforeAbruptEnd(); });
    LoadLanguages();
    if (!ZORHotkey1->AsignNewHotKey(106, 2)) {
        qCWarning(lcApp, "Ctrl + keypad * could not be registered; the toggle hot-key is off");
        mblnHotkeyRefusalShown = true;
        Warn(mstrMsg[3]);
        // The program may have been told to end while the message was up.
        if (mblnUnloaded)
            return;
    } else {
        qCInfo(lcApp, "Ctrl + keypad * toggles blocking");
    }
    SetTrayIcon();
    UpdateTrayTip();
    if (Settings::GetLeadingNumber(QStringLiteral("FirstRun"), 1) == 1)
        show();
    else
        QTimer::singleShot(mobjServices.trayGrace, this, &frmMain::ShowWithoutTray);
    mblnLoading = false;
}

void frmMain::ShowWithoutTray() {
    if (mblnUnloaded || isVisible() || Tray->TrayHwnd() != 0)
        return;
    qCWarning(lcApp, "this desktop has no notification area for the tray icon: the window is shown instead");
    mnuConfigure_Click();
}

void frmMain::ReadSettings() {
    mstrLastPath = Settings::Get(Settings::General, QStringLiteral("LastPath"),
                                 VELModule::AppPath() + QStringLiteral("media"));
    chkKillPopup->setChecked(Settings::GetInt(QStringLiteral("Kill"), 1, 0, 1) == 1);
    chkSound->setChecked(Settings::GetInt(QStringLiteral("Sound"), 0, 0, 1) == 1);
    SetSoundFile(Settings::Get(Settings::General, QStringLiteral("SoundFile"), QString()));
    optMode[Settings::GetInt(QStringLiteral("KillMode"), 0, 0, 3)]->setChecked(true);
    chkIgnoreErrors->setChecked(Settings::GetInt(QStringLiteral("IgnoreErrors"), 1, 0, 1) == 1);
    mlngTotalKilled = Settings::GetRounded(QStringLiteral("TotalWindowsKilled"), 0);
}

bool frmMain::WriteSettings() {
    const auto flag = [](const QCheckBox* box) {
        return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    };
    const std::pair<QString, std::function<void()>> steps[] = {
        {QStringLiteral("KillMode"),
         [&] { Settings::Save(Settings::General, QStringLiteral("KillMode"), QString::number(KillMode())); }},
        {QStringLiteral("LanguageFile"),
         [&] {
             Settings::Save(Settings::LanguageSection, QStringLiteral("LanguageFile"), mstrLanguageFile);
         }},
        {QStringLiteral("IgnoreErrors"),
         [&] { Settings::Save(Settings::General, QStringLiteral("IgnoreErrors"), flag(chkIgnoreErrors)); }},
        {QStringLiteral("FirstRun"),
         [&] { Settings::Save(Settings::General, QStringLiteral("FirstRun"), QStringLiteral("0")); }},
        {QStringLiteral("LastPath"),
         [&] { Settings::Save(Settings::General, QStringLiteral("LastPath"), mstrLastPath); }},
        {QStringLiteral("Kill"),
         [&] { Settings::Save(Settings::General, QStringLiteral("Kill"), flag(chkKillPopup)); }},
        {QStringLiteral("Sound"),
         [&] { Settings::Save(Settings::General, QStringLiteral("Sound"), flag(chkSound)); }},
        {QStringLiteral("SoundFile"),
         [&] { Settings::Save(Settings::General, QStringLiteral("SoundFile"), SoundFile()); }},
        {QStringLiteral("TotalWindowsKilled"),
         [&] {
             Settings::Save(Settings::General, QStringLiteral("TotalWindowsKilled"),
                            QString::number(mlngTotalKilled));
         }},
    };
    bool saved = true;
    for (const auto& [name, step] : steps)
        saved = zor::tryStep(qPrintable(QStringLiteral("saving ") + name), step) && saved;
    return saved;
}

// At a logout or a signal nobody is there to answer, and the log has each failure. A user who
// chose to end the program would otherwise lose what changed since its start without a word: they
// are told, and may free room or fix the folder and try again.
void frmMain::SaveWhatItKeeps(bool blnAsk) {
    for (;;) {
        QStringList unsaved;
        if (!WriteSettings())
            unsaved << QStringLiteral("the settings");
        unsaved += SaveList();
        if (unsaved.isEmpty() || !blnAsk)
            return;
        const QString prompt =
            QStringLiteral("ZOR Brakkon could not save:\n%1\n\nMake room on the disk or make the folder "
                           "writable, then choose Retry. Cancel ends the program without them.")
                .arg(unsaved.join(QLatin1Char('\n')));
        if (platform::dialogs().messageBox(this, prompt, platform::MsgIcon::Exclamation,
                                           platform::MsgButtons::RetryCancel,
                                           App::Title) != platform::MsgAnswer::Retry)
            return;
    }
}

void frmMain::Form_Unload() {
    if (mblnUnloaded)
        return;
    mblnUnloaded = true;
    SaveWhatItKeeps(mblnEndedByUser);
    zor::tryStep("stopping the sound", [] { VELModule::StopWave(); });
    zor::tryStep("leaving the tray", [&] { Tray->setInTray(false); });
    // Resolves every popup still held and releases the browsers' frozen pages.
    zor::tryStep("releasing the browsers", [&] { mobjIEManager.reset(); });
    zor::tryStep("removing the hot-keys", [&] { ZORHotkey1->RemoveHotKeys(); });
    checkCtrl->stop();
    Flash->stop();
    hide();
    // Not quit(): that is ignored until the main loop runs, and the load may still be waiting on
    // a message box (no hot-key, say) when a logout ends the program. exit() ends that box's loop
    // too.
    QCoreApplication::exit(0);
}

void frmMain::SaveBeforeAbruptEnd() {
    if (mblnUnloaded)
        return;
    mblnUnloaded = true;
    qCWarning(lcApp,
              "the program is ending without an unload (its display went away?); saving what it keeps");
    SaveWhatItKeeps(false);
}

void frmMain::UnloadAndQuit() {
    // A logout while the user is asked about a failed save must not wait for their answer: the
    // box's loop ends with the others, and the unload then goes on.
    if (mblnUnloaded)
        QCoreApplication::exit(0);
    Form_Unload();
}

void frmMain::Form_QueryUnload(int& Cancel, int UnloadMode) {
    if (UnloadMode != 0)
        return;
    const auto answer = platform::dialogs().messageBox(this, mnuExit->text() + QStringLiteral(" ?"),
                                                       platform::MsgIcon::Exclamation,
                                                       platform::MsgButtons::OkCancel, App::Title);
    if (answer != platform::MsgAnswer::Ok)
        Cancel = 1;
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (mblnUnloaded) {
        event->accept();
        return;
    }
    int cancel = 0;
    Form_QueryUnload(cancel, event->spontaneous() ? 0 : 1);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    mblnEndedByUser = event->spontaneous();
    Form_Unload();
}

void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    // Form_Resize: a minimised window goes to the tray, unless it is being brought up from there
    // or there is no notification area to bring it up from again.
    if (!mblnShowing && isMinimized() && Tray->TrayHwnd() != 0)
        QTimer::singleShot(0, this, [this] {
            if (!mblnShowing && isMinimized())
                hide();
        });
}

void frmMain::mnuExit_Click() {
    mblnEndedByUser = true;
    Form_Unload();
}

void frmMain::chkAutoStart_Click() {
    if (mblnLoading)
        return;
    const bool wanted = chkAutoStart->isChecked();
    if (wanted)
        VELModule::SetRegValue(platform::HKEY_CURRENT_USER, RunKey, RunValue, platform::REG_SZ,
                               AutoStartCommand());
    else
        VELModule::DeleteRegValue(platform::HKEY_CURRENT_USER, RunKey, RunValue);
    // The box shows what the next login will do, not what was asked for.
    const bool on = VELModule::GetRegValue(platform::HKEY_CURRENT_USER, RunKey, RunValue).toLower() ==
                    AutoStartCommand().toLower();
    if (on == wanted)
        return;
    const char* change = wanted ? "on" : "off";
    qCWarning(lcApp, "start with login could not be switched %s", change);
    {
        const QSignalBlocker unchanged(chkAutoStart);
        chkAutoStart->setChecked(on);
    }
    Warn(QStringLiteral("Starting with login could not be switched %1: the desktop's autostart folder "
                        "could not be changed.")
             .arg(QLatin1String(change)));
}
