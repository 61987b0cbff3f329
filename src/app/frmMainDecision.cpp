// The decision on every new window a watched page asks for. Each step runs on its own: when a
// read fails the step is abandoned and the decision goes on with the outcome listed for that
// step, so a closed tab or a refused read never leaves a popup undecided.
#include "app/frmMain.h"
#include "browser/clsIEManager.h"
#include "browser/clsIEWindow.h"
#include "platform/Failure.h"
#include "platform/Log.h"
#include "platform/WebBrowser.h"
#include "policy/DomainFromUrl.h"
#include "sound/WavePlayback.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

namespace {

clsIEWindow* opener(const clsIEManager& manager, const QVariant& key) {
    clsIEWindow* window = manager.Explorer(key);
    if (!window)
        throw zor::Failure(QStringLiteral("no browser window is filed under %1").arg(key.toString()));
    return window;
}

platform::HtmlDocument& document(platform::HtmlDocument* doc) {
    if (!doc)
        throw zor::Failure(QStringLiteral("the page has no readable document"));
    return *doc;
}

} // namespace

QString frmMain::GetDomainFromURL(const QString& strUrl) const {
    return ::GetDomainFromURL(strUrl);
}

void frmMain::mobjIEManager_NewWindow2(QObject*&, bool& Cancel, QVariant& key) {
    std::int32_t count = 0;
    if (!mobjIEManager ||
        !zor::tryStep("counting browser windows", [&] { count = mobjIEManager->ExplorerCount(); }) ||
        count == 0) {
        Cancel = false;
        return;
    }
    const clsIEManager& manager = *mobjIEManager;

    if (mblnCtrlDown && mblnShiftDown) {
        zor::tryStep("accepting the opener's domain", [&] {
            AddDomain(GetDomainFromURL(opener(manager, key)->Parent()->LocationURL()), DomainLists::Accepted);
        });
        Cancel = false;
        return;
    }

    if (!chkKillPopup->isChecked() || mblnCtrlDown)
        return;

    if (chkIgnoreErrors->isChecked()) {
        zor::tryStep("silencing the opener's script errors",
                     [&] { document(opener(manager, key)->Parent()->Document()).setWindowOnErrorNull(); });
        zor::tryStep("silencing the opener's script errors",
                     [&] { document(opener(manager, key)->Document()).setWindowOnErrorNull(); });
    }

    bool accepted = false;
    if (!zor::tryStep("accepted test",
                      [&] {
                          accepted = IsInList(GetDomainFromURL(opener(manager, key)->Parent()->LocationURL()),
                                              DomainLists::Accepted);
                      }) ||
        accepted) {
        Cancel = false;
        return;
    }

    const int mode = KillMode();
    if (mode == 0 || mode == 2 || mode == 3) {
        bool denied = true;
        zor::tryStep("denied test", [&] {
            denied = IsInList(document(opener(manager, key)->Document()).domain(), DomainLists::Denied);
        });
        if (!denied && mode == 3) {
            Cancel = false;
            return;
        }
        if (!denied) {
            bool userEvent = true;
            zor::tryStep("user-event test", [&] {
                userEvent = document(opener(manager, key)->Document()).parentWindowEventIsObject();
            });
            if (userEvent)
                return;
        }
    }
    zor::tryStep("counting the cancel", [&] { zor::increment(mlngTotalKilled); });
    ShowTotal();
    zor::tryStep("listing the cancel", [&] {
        List1->addItem(opener(manager, key)->LocationURL() + QStringLiteral(" --> Terminated!"));
    });
    zor::tryStep("denying the opener's domain", [&] {
        AddDomain(QStringLiteral("http://") + document(opener(manager, key)->Document()).domain(),
                  DomainLists::Denied);
    });
    zor::tryStep("counting the cancel", [&] { zor::increment(mlngSessionKilled); });
    UpdateTrayTip();
    // One line per cancel, so a log shows whether the counters and the status list kept pace.
    qCInfo(lcApp, "popup cancelled: %d this session, %d in total, %d lines in the status list",
           mlngSessionKilled, mlngTotalKilled, List1->count());
    if (chkSound->isChecked()) {
        zor::tryStep("stopping the sound", [] { VELModule::StopWave(); });
        zor::tryStep("playing the sound", [&] {
            VELModule::PlayWave(QVariant(), QString(), SoundFile(), false, false, false, true);
        });
    }
    if (!Flash->isActive())
        Flash->start();
    Cancel = true;
}
