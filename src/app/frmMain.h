#pragma once

#include "lang/LanguageTexts.h"
#include "lists/DomainLists.h"
#include "platform/common/ExitGuard.h"

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QMimeData;
class QRadioButton;
class QTabWidget;
class QTimer;
class QWidget;
class Command;
class ZorTray;
class ZORHotkey;
class clsIEManager;

// The program's one window. It lives hidden while the program sits in the tray; its members
// hold the settings between load and unload. Its handlers are spread over one source file per
// concern (lifecycle, tray status, commands, decision, lists, languages, sound options).
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // What the window creates for itself, replaceable for tests.
    struct Services {
        std::function<std::unique_ptr<clsIEManager>()> makeIEManager;
        QString listFolder;     // empty: DomainLists::DefaultFolder()
        QString languageFolder; // empty: the "languages" folder beside the program
        // How long a hidden start waits for a notification area before it shows the window
        // (a panel started with the same login may come up a little later).
        std::chrono::milliseconds trayGrace{10000};
    };

    frmMain();
    explicit frmMain(Services services, QWidget* parent = nullptr);
    ~frmMain() override;

    // Lifecycle
    void Form_Load();
    void Form_Unload();
    // UnloadMode 0 is the user closing the window; anything else is the program or the system.
    void Form_QueryUnload(int& Cancel, int UnloadMode);
    void mnuExit_Click();
    void chkAutoStart_Click();
    // Ends the program the orderly way (session end, signals): unload without asking.
    void UnloadAndQuit();
    bool IsUnloaded() const { return mblnUnloaded; }
    // The process is ending without an unload (its display went away): keep the settings and
    // the lists, touching nothing on the display.
    void SaveBeforeAbruptEnd();

    // Tray status
    void SetTrayIcon();
    void UpdateTrayTip();
    void checkCtrl_Timer();
    void Flash_Timer();

    // Commands
    void ZORHotkey1_KeyPressed(std::uint8_t ValKeyID);
    void ZORHotkey1_KeyRefused(std::uint8_t ValKeyID);
    void Tray_MouseUp(std::int16_t Button, std::int32_t Id);
    void Tray_MouseDblClick(std::int16_t Button, std::int32_t Id);
    void mnuConfigure_Click();
    void Label5_Click();

    // Decision
    void mobjIEManager_NewWindow2(QObject*& ppDisp, bool& Cancel, QVariant& key);
    // Popups a browser refuses by itself are beyond the lists and the Ctrl key: say how to
    // hand them to the program.
    void mobjIEManager_BrowserBlocksPopups(const QString& browser);
    // A browser that asks its user before it lets the program in: say where to answer, and,
    // when the answer was no, how to let the program in after all.
    void mobjIEManager_BrowserAwaitsApproval(const QString& browser);
    void mobjIEManager_BrowserRefusedApproval(const QString& browser);
    // A tray notification and a log line, both in the current language.
    void ShowBrowserNotice(const QString& browser, const QString& strMessage);
    // A tray notification, when there is an icon to show it by.
    void ShowNotice(const QString& text);
    QString GetDomainFromURL(const QString& strUrl) const;

    // Lists
    void AddDomain(const QString& strUrl, std::int32_t LstIndex);
    bool IsInList(const QString& StrDomain, std::int32_t LstIndex) const;
    void RemoveFromList(const QString& StrDomain, std::int32_t LstIndex);
    void LoadList();
    // The list files that could not be written.
    QStringList SaveList();
    DomainLists& Lists() { return mobjLists; }
    // The editing commands; list is 2 (List2) or 3 (List3), Button 1 left, 2 right, 4 middle.
    void List_MouseUp(std::int32_t list, int Button);
    void mnuAdd_Click();
    void mnuRemove_Click();
    void mnuClearList_Click();
    void mnuMoveTo_Click();
    void List_OLEDragDrop(std::int32_t list, const QMimeData* Data);
    void List_DblClick();

    // Languages
    void LoadLanguages();
    void SetLanguage(const QString& strFile);
    void mnuLanguages_Click(int Index);
    QString LanguageFolder() const;

    // Sound options
    void chkSound_Click();
    void cmdSoundFile_Click();
    void cmdPlaySound_Click();
    void cmdStopSound_Click();

    // State read by tests and by the other handlers.
    bool mblnLoading = false;
    bool mblnShowing = false;
    bool mblnCtrlDown = false;
    bool mblnShiftDown = false;
    bool mblnFlashOn = false;
    int mlngSwitchColour = -1; // the colour chkKillPopup shows, kept to spare the tick a property lookup
    bool mblnFlashShown = false;
    std::int32_t mlngFlashCount = 0;
    std::int32_t mlngSessionKilled = 0;
    std::int32_t mlngTotalKilled = 0;
    QString mstrLastPath;
    QString mstrLanguageFile;
    QString mstrTrayTipString;
    LanguageTexts::MessageTexts mstrMsg;
    std::unique_ptr<clsIEManager> mobjIEManager;

    // Controls, named as the user's language files and the tests know them.
    QTabWidget* SSTab1 = nullptr;
    QListWidget* List1 = nullptr;
    QListView* List2 = nullptr;
    QListView* List3 = nullptr;
    QCheckBox* chkKillPopup = nullptr;
    QCheckBox* chkSound = nullptr;
    QCheckBox* chkIgnoreErrors = nullptr;
    QCheckBox* chkAutoStart = nullptr;
    QLineEdit* txtFile = nullptr; // from the window's first show on; SoundFile() before that
    Command* cmdSoundFile = nullptr;
    Command* cmdPlaySound = nullptr;
    Command* cmdStopSound = nullptr;
    std::array<QRadioButton*, 4> optMode{};
    QLabel* lbTotalCount = nullptr;
    QLabel* lbTotalPopupsCanceled = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* lbMoveToDeniedDomains = nullptr;
    QLabel* lbMoveToAcceptedDomains = nullptr;
    std::array<QPixmap, 4> picIcons;
    QTimer* checkCtrl = nullptr;
    QTimer* Flash = nullptr;
    ZorTray* Tray = nullptr;
    ZORHotkey* ZORHotkey1 = nullptr;
    QMenu* mnuPopup = nullptr;
    QMenu* mnuList = nullptr;
    QMenu* mnuSelectLanguage = nullptr;
    QList<QAction*> mnuLanguages;
    QAction* mnuConfigure = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuAdd = nullptr;
    QAction* mnuRemove = nullptr;
    QAction* mnuClearList = nullptr;
    QAction* mnuMoveTo = nullptr;
    std::int32_t mlngCurrentList = 0;

    // Index of the selected popup mode, 0 to 3.
    int KillMode() const;
    // The chosen wave file: the text box's once the window was shown (the box exists from then).
    QString SoundFile() const;
    void SetSoundFile(const QString& file);
    // Without any notification area the tray icon cannot be shown: the window stands in for it.
    void ShowWithoutTray();
    // Shows a warning the way every warning of the program looks.
    void Warn(const QString& text);
    // The first show completes the controls (see BuildControls).
    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildStatusTab();
    QWidget* BuildConfigurationTab();
    QWidget* BuildHotkeysTab();
    QWidget* BuildListTab(QListView*& view, DomainListModel& model, const char* labelName,
                          const QString& caption);
    QWidget* BuildAboutTab();
    void BuildMenus();
    QGroupBox* MakeFrame(QWidget* page, const char* name, const QString& caption);
    void LetCaptionsNarrow();
    Command* MakeSoundButton(Command* button, const char* name);
    void ConnectHandlers();
    void ConnectListHandlers();
    bool ListEventFilter(QObject* watched, QEvent* event);
    void ReadSettings();
    // False when a setting could not be written.
    bool WriteSettings();
    // Settings and lists, as the program ends; blnAsk: the user ended it and can be asked to
    // retry what failed.
    void SaveWhatItKeeps(bool blnAsk);
    void ShowTotal();
    void SetSwitchColour(int colour);
    void PaintSwitch();

    // What waits for the window's first show (see BuildControls), the tabs' captions in the
    // current language, and the sound file while its text box does not exist yet.
    std::vector<std::function<void()>> mobjFirstShowSteps;
    std::array<QString, 6> mstrTabCaptions;
    QString mstrSoundFile;
    Services mobjServices;
    DomainLists mobjLists;
    bool mblnUnloaded = false;
    // The user chose to end the program ("Exit", or the close box answered), so a save that
    // fails can be put to them.
    bool mblnEndedByUser = false;
    // Saves the settings and lists if the process ends without an unload.
    std::optional<platform::ExitGuard> mobjAbruptEnd;
    bool mblnHotkeyRefusalShown = false;
};

// "00": at least two digits.
QString FormatCount(std::int32_t value);
