// Building the window's controls. Every control carries its program name as objectName, and
// members of a control array carry their position in the property "Index", so that language
// files and tests find them by name.
#include "app/AppInfo.h"
#include "app/CanceledList.h"
#include "app/ClippedCaptionTip.h"
#include "app/TrayIcons.h"
#include "app/frmMain.h"
#include "controls/button/Command.h"
#include "controls/hotkey/ZORHotkey.h"
#include "controls/tray/ZorTray.h"
#include "util/VELModule.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* label(const char* name, const QString& caption, QWidget* parent) {
    return named(new QLabel(caption, parent), name);
}

} // namespace

void frmMain::BuildControls() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    SSTab1 = named(new QTabWidget(central), "SSTab1");
    // The window mostly stays hidden for the whole session, and a tab widget measures its
    // pages' texts as they are inserted, which loads a font and text shaping for good. So the
    // pages, which hold the settings, wait hidden under it until the window is first shown.
    const QList<QWidget*> pages = {
        BuildStatusTab(),
        BuildConfigurationTab(),
        BuildHotkeysTab(),
        BuildListTab(List2, mobjLists.List2(), "lbDeniedDomains", QStringLiteral("Denied domains:")),
        BuildListTab(List3, mobjLists.List3(), "lbAcceptedDomains", QStringLiteral("Accepted domains:")),
        BuildAboutTab()};
    List2->setObjectName(QStringLiteral("List2"));
    List3->setObjectName(QStringLiteral("List3"));
    mstrTabCaptions = {QStringLiteral(" Status"),           QStringLiteral("Configuration"),
                       QStringLiteral(" Hot-keys"),         QStringLiteral(" Denied Domains"),
                       QStringLiteral(" Accepted Domains"), QStringLiteral("About")};
    for (QWidget* page : pages) {
        page->setParent(SSTab1);
        page->hide();
    }
    mobjFirstShowSteps.emplace_back([this, pages] {
        for (int tab = 0; tab < pages.size(); ++tab)
            SSTab1->addTab(pages[tab], mstrTabCaptions[tab]);
    });
    layout->addWidget(SSTab1);

    auto* bottom = new QHBoxLayout;
    chkKillPopup = named(new QCheckBox(QStringLiteral("Active"), central), "chkKillPopup");
    lbTotalPopupsCanceled =
        label("lbTotalPopupsCanceled", QStringLiteral("Total popup-windows canceled:"), central);
    lbTotalCount = label("lbTotalCount", QStringLiteral("0"), central);
    bottom->addWidget(chkKillPopup);
    bottom->addStretch();
    bottom->addWidget(lbTotalPopupsCanceled);
    bottom->addWidget(lbTotalCount);
    layout->addLayout(bottom);
    setCentralWidget(central);
    mobjFirstShowSteps.emplace_back([this] { PaintSwitch(); });

    // Not visible: the move command's two captions, icons, timers, tray and hot-key controls.
    lbMoveToDeniedDomains = label("lbMoveToDeniedDomains", QStringLiteral("Move to denied domains"), central);
    lbMoveToAcceptedDomains =
        label("lbMoveToAcceptedDomains", QStringLiteral("Move to accepted Domains"), central);
    lbMoveToDeniedDomains->hide();
    lbMoveToAcceptedDomains->hide();
    picIcons = TrayIcons::draw();
    checkCtrl = named(new QTimer(this), "checkCtrl");
    checkCtrl->setInterval(50);
    Flash = named(new QTimer(this), "Flash");
    Flash->setInterval(100);
    Tray = named(new ZorTray(central), "Tray");
    Tray->hide();
    ZORHotkey1 = named(new ZORHotkey(central), "ZORHotkey1");
    ZORHotkey1->hide();

    BuildMenus();
    // After the frames have their titles (the steps run in order).
    mobjFirstShowSteps.emplace_back([this] { LetCaptionsNarrow(); });
    resize(640, 440);
}

// A language may give a caption hundreds of characters; the window must still fit the screen.
// Labels wrap; check boxes, options and frames, which cannot, may be drawn narrower than their
// caption, which the user can widen the window or point at it to read.
void frmMain::LetCaptionsNarrow() {
    auto* tip = new ClippedCaptionTip(this);
    for (QWidget* control : findChildren<QWidget*>()) {
        auto* text = qobject_cast<QLabel*>(control);
        // The total's caption shares its line with the switch: it is cut like the switch's
        // caption rather than wrapped into a column of single words.
        if (text && text != lbTotalPopupsCanceled)
            text->setWordWrap(true);
        else if (text || qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control) ||
                 qobject_cast<QGroupBox*>(control)) {
            control->setMinimumWidth(1);
            tip->watch(control);
        }
    }
}

QGroupBox* frmMain::MakeFrame(QWidget* page, const char* name, const QString& caption) {
    // A frame measures its title the moment it gets one, which loads a font. Until the first
    // show a hidden label carries the frame's name and caption, so languages reach it as before.
    auto* holder = label(name, caption, page);
    holder->hide();
    auto* frame = new QGroupBox(page);
    mobjFirstShowSteps.emplace_back([frame, holder] {
        frame->setObjectName(holder->objectName());
        frame->setTitle(holder->text());
        delete holder;
    });
    return frame;
}

void frmMain::setVisible(bool visible) {
    // The frames get their titles before their tab is inserted, which measures them.
    if (visible)
        for (const auto& step : std::exchange(mobjFirstShowSteps, {}))
            step();
    QMainWindow::setVisible(visible);
}

QWidget* frmMain::BuildStatusTab() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(
        label("lbListCanceled", QStringLiteral("Popup windows canceled in this session:"), page));
    List1 = named(new CanceledList(page), "List1");
    layout->addWidget(List1);
    return page;
}

Command* frmMain::MakeSoundButton(Command* button, const char* name) {
    named(button, name);
    button->setFixedSize(24, 24); // 360 x 360 twips
    // Drawn with symbols, not words: languages leave these alone.
    button->setProperty("Tag", QStringLiteral("owner-drawn"));
    return button;
}

QWidget* frmMain::BuildConfigurationTab() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto* sound = MakeFrame(page, "frmSoundOptions", QStringLiteral("Sound options"));
    auto* soundLayout = new QVBoxLayout(sound);
    chkSound = named(new QCheckBox(QStringLiteral("Enable sound"), sound), "chkSound");
    soundLayout->addWidget(chkSound);
    soundLayout->addWidget(label("lbSoundFile", QStringLiteral("Sound file (.wav)"), sound));
    auto* fileRow = new QHBoxLayout;
    // A text box lays out its text as it is made, which loads a font: it waits for the first show.
    mobjFirstShowSteps.emplace_back([this, sound, fileRow] {
        txtFile = named(new QLineEdit(mstrSoundFile, sound), "txtFile");
        fileRow->insertWidget(0, txtFile);
    });
    cmdSoundFile = MakeSoundButton(Command::createSoundFileButton(sound), "cmdSoundFile");
    cmdPlaySound = MakeSoundButton(Command::createPlaySoundButton(sound), "cmdPlaySound");
    cmdStopSound = MakeSoundButton(Command::createStopSoundButton(sound), "cmdStopSound");
    fileRow->addWidget(cmdSoundFile);
    fileRow->addWidget(cmdPlaySound);
    fileRow->addWidget(cmdStopSound);
    soundLayout->addLayout(fileRow);
    layout->addWidget(sound);

    auto* mode = MakeFrame(page, "frmPopupMode", QStringLiteral("Cancel Popup-mode"));
    auto* modeLayout = new QVBoxLayout(mode);
    const QString captions[] = {
        QStringLiteral("Script-popups (doesn't always work) (default)"), QStringLiteral("ALL popups"),
        QStringLiteral("Script-popups (and all denied domains)"), QStringLiteral("Only denied domains")};
    for (int i = 0; i < 4; ++i) {
        optMode[i] = named(new QRadioButton(captions[i], mode), "optMode");
        optMode[i]->setProperty("Index", i);
        modeLayout->addWidget(optMode[i]);
    }
    optMode[0]->setChecked(true);
    layout->addWidget(mode);

    auto* other = MakeFrame(page, "frmScriptOptions", QStringLiteral("Other options"));
    auto* otherLayout = new QVBoxLayout(other);
    chkIgnoreErrors =
        named(new QCheckBox(QStringLiteral("Ignore script errors, caused by this application"), other),
              "chkIgnoreErrors");
    chkAutoStart = named(new QCheckBox(QStringLiteral("Start this application when Windows starts"), other),
                         "chkAutoStart");
    otherLayout->addWidget(chkIgnoreErrors);
    otherLayout->addWidget(chkAutoStart);
    layout->addWidget(other);
    layout->addStretch();
    return page;
}

QWidget* frmMain::BuildHotkeysTab() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(label("lbHotkey1", QStringLiteral("[CTRL + *] -> toggle \"Active\""), page));
    layout->addWidget(label("lbHotkey2", QStringLiteral("[CTRL] allow any popup (while pressed)"), page));
    layout->addWidget(
        label("lbHotkey3", QStringLiteral("[CTRL + SHIFT] Add domain to Accepted Domains list"), page));
    layout->addStretch();
    return page;
}

QWidget* frmMain::BuildListTab(QListView*& view, DomainListModel& model, const char* labelName,
                               const QString& caption) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(label(labelName, caption, page));
    view = new QListView(page);
    view->setModel(&model);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setContextMenuPolicy(Qt::PreventContextMenu);
    layout->addWidget(view);
    return page;
}

QWidget* frmMain::BuildAboutTab() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    Label5 = label("Label5", App::DocumentationUrl(), page);
    Label5->setCursor(Qt::PointingHandCursor);
    // A style sheet, like the switch's colour (see SetSwitchColour), waits for the first show.
    mobjFirstShowSteps.emplace_back([this] {
        Label5->setStyleSheet(QStringLiteral("color: palette(link); text-decoration: underline;"));
    });
    layout->addWidget(Label5);
    auto* notice = label("Label4", App::MakerNotice, page);
    notice->setWordWrap(true);
    layout->addWidget(notice);
    layout->addStretch();
    return page;
}

void frmMain::BuildMenus() {
    mnuSelectLanguage = named(new QMenu(QStringLiteral("Language"), this), "mnuSelectLanguage");
    // A menu bar loads the image readers for its icons as it is made: it waits for the first show.
    mobjFirstShowSteps.emplace_back([this] { menuBar()->addMenu(mnuSelectLanguage); });
    QAction* first = named(mnuSelectLanguage->addAction(QStringLiteral("mnuLanguage")), "mnuLanguages");
    first->setProperty("Index", 0);
    first->setCheckable(true);
    mnuLanguages = {first};

    // Shown only as pop-ups, never on the menu bar.
    mnuPopup = named(new QMenu(QStringLiteral("File"), this), "mnuPopup");
    mnuConfigure = named(mnuPopup->addAction(QStringLiteral("Configure...")), "mnuConfigure");
    mnuPopup->addSeparator();
    mnuExit = named(mnuPopup->addAction(QStringLiteral("Exit")), "mnuExit");

    mnuList = named(new QMenu(QStringLiteral("mnuList"), this), "mnuList");
    mnuAdd = named(mnuList->addAction(QStringLiteral("Add...")), "mnuAdd");
    mnuList->addSeparator();
    mnuRemove = named(mnuList->addAction(QStringLiteral("Remove")), "mnuRemove");
    mnuList->addSeparator();
    mnuClearList = named(mnuList->addAction(QStringLiteral("Clear list...")), "mnuClearList");
    mnuList->addSeparator();
    mnuMoveTo = named(mnuList->addAction(QStringLiteral("Move to accepted domains")), "mnuMoveTo");
}
