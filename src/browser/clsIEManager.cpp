#include "browser/clsIEManager.h"

#include "browser/clsIEWindow.h"
#include "platform/BrowserOptions.h"
#include "platform/Failure.h"

#include <cmath>

// Counts a forwarding in progress for as long as it runs, so a rebuild inside it keeps the
// retired wrappers alive until the outermost forwarding has returned.
class clsIEManager::Forwarding {
public:
    explicit Forwarding(clsIEManager& objManager)
        : mobjManager(objManager) {
        ++mobjManager.mintForwarding;
    }
    ~Forwarding() {
        if (--mobjManager.mintForwarding == 0)
            mobjManager.mcolRetired.clear();
    }
    Forwarding(const Forwarding&) = delete;
    Forwarding& operator=(const Forwarding&) = delete;

private:
    clsIEManager& mobjManager;
};

clsIEManager::clsIEManager(QObject* parent)
    : QObject(parent)
    , mobjOwnedWindows(platform::makeShellWindows())
    , mobjIEWindows(mobjOwnedWindows.get()) {
    Watch();
}

clsIEManager::clsIEManager(platform::ShellWindows& source, QObject* parent)
    : QObject(parent)
    , mobjIEWindows(&source) {
    Watch();
}

void clsIEManager::Watch() {
    connect(mobjIEWindows, &platform::ShellWindows::WindowRegistered, this,
            &clsIEManager::mobjIEWindows_WindowRegistered);
    connect(mobjIEWindows, &platform::ShellWindows::WindowRevoked, this,
            &clsIEManager::mobjIEWindows_WindowRevoked);
    connect(mobjIEWindows, &platform::ShellWindows::BrowserBlocksPopups, this,
            &clsIEManager::BrowserBlocksPopups);
    connect(mobjIEWindows, &platform::ShellWindows::BrowserAwaitsApproval, this,
            &clsIEManager::BrowserAwaitsApproval);
    connect(mobjIEWindows, &platform::ShellWindows::BrowserRefusedApproval, this,
            &clsIEManager::BrowserRefusedApproval);
    connect(mobjIEWindows, &platform::ShellWindows::KeysReported, this, &clsIEManager::KeysReported);
    RefreshExplorers();
}

clsIEManager::~clsIEManager() {
    // Wrappers end before the browser objects they point at (owned windows go last).
    mcolKeys.clear();
    mcolIEWindows.clear();
    mcolRetired.clear();
}

std::int32_t clsIEManager::ExplorerCount() const {
    return static_cast<std::int32_t>(mcolIEWindows.size());
}

QList<clsIEWindow*> clsIEManager::NewEnum() const {
    QList<clsIEWindow*> colWindows;
    colWindows.reserve(static_cast<qsizetype>(mcolIEWindows.size()));
    for (const auto& objWindow : mcolIEWindows)
        colWindows.append(objWindow.get());
    return colWindows;
}

clsIEWindow* clsIEManager::Explorer(const QVariant& vntKey) const {
    switch (vntKey.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return mcolKeys.value(vntKey.toString(), nullptr);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double dblPosition = std::nearbyint(vntKey.toDouble());
        if (!(dblPosition >= 1 && dblPosition <= static_cast<double>(mcolIEWindows.size())))
            return nullptr;
        return mcolIEWindows[static_cast<std::size_t>(dblPosition) - 1].get();
    }
    default:
        return nullptr;
    }
}

void clsIEManager::mobjIEWindows_WindowRegistered(std::int32_t) {
    RefreshExplorers();
}

void clsIEManager::mobjIEWindows_WindowRevoked(std::int32_t) {
    RefreshExplorers();
}

void clsIEManager::ReleaseCollection() {
    mcolKeys.clear();
    for (auto& objWindow : mcolIEWindows) {
        objWindow->Detach();
        if (mintForwarding > 0)
            mcolRetired.push_back(std::move(objWindow));
    }
    mcolIEWindows.clear();
}

void clsIEManager::RefreshExplorers() {
    ReleaseCollection();
    QList<platform::WebBrowser*> colItems;
    if (!zor::tryStep("listing the browser windows", [&] { colItems = mobjIEWindows->items(); }))
        return;
    for (platform::WebBrowser* objBrowser : colItems) {
        zor::tryStep("tracking a browser window", [&] {
            const std::int32_t lngHandle = objBrowser->HWND();
            // Handles are window ids that each browser numbers on its own, and every tab of one
            // window shares its window's id: two items with one handle are normal. The second
            // and later get the handle plus the count of filed windows plus one, which never
            // repeats within one rebuild since the count only grows.
            QString strKey = QStringLiteral("_%1").arg(lngHandle);
            if (mcolKeys.contains(strKey))
                strKey = QStringLiteral("_%1_%2").arg(lngHandle).arg(mcolIEWindows.size() + 1);
            auto objWindow = std::make_unique<clsIEWindow>();
            objWindow->Key = strKey;
            objWindow->Init(this, *objBrowser);
            mcolKeys.insert(strKey, objWindow.get());
            mcolIEWindows.push_back(std::move(objWindow));
        });
    }
}

void clsIEManager::RaiseBeforeNavigate2(QObject* pDisp, QVariant& URL, QVariant& flags,
                                        QVariant& TargetFrameName, QVariant& PostData, QVariant& Headers,
                                        bool& Cancel) {
    Forwarding guard(*this);
    emit BeforeNavigate2(pDisp, URL, flags, TargetFrameName, PostData, Headers, Cancel);
}
void clsIEManager::RaiseCommandStateChange(std::int32_t Command, bool Enable) {
    Forwarding guard(*this);
    emit CommandStateChange(Command, Enable);
}
void clsIEManager::RaiseDocumentComplete(QObject* pDisp, QVariant& URL) {
    Forwarding guard(*this);
    emit DocumentComplete(pDisp, URL);
}
void clsIEManager::RaiseDownloadBegin() {
    Forwarding guard(*this);
    emit DownloadBegin();
}
void clsIEManager::RaiseDownloadComplete() {
    Forwarding guard(*this);
    emit DownloadComplete();
}
void clsIEManager::RaiseNavigateComplete2(QObject* pDisp, QVariant& URL) {
    Forwarding guard(*this);
    emit NavigateComplete2(pDisp, URL);
}
void clsIEManager::RaiseNewWindow2(QObject*& ppDisp, bool& Cancel, QVariant& key) {
    Forwarding guard(*this);
    emit NewWindow2(ppDisp, Cancel, key);
}
void clsIEManager::RaiseOnFullScreen(bool FullScreen) {
    Forwarding guard(*this);
    emit OnFullScreen(FullScreen);
}
void clsIEManager::RaiseOnMenuBar(bool MenuBar) {
    Forwarding guard(*this);
    emit OnMenuBar(MenuBar);
}
void clsIEManager::RaiseOnQuit() {
    Forwarding guard(*this);
    emit OnQuit();
}
void clsIEManager::RaiseOnStatusBar(bool StatusBar) {
    Forwarding guard(*this);
    emit OnStatusBar(StatusBar);
}
void clsIEManager::RaiseOnTheaterMode(bool TheaterMode) {
    Forwarding guard(*this);
    emit OnTheaterMode(TheaterMode);
}
void clsIEManager::RaiseOnToolBar(bool ToolBar) {
    Forwarding guard(*this);
    emit OnToolBar(ToolBar);
}
void clsIEManager::RaiseOnVisible(bool Visible) {
    Forwarding guard(*this);
    emit OnVisible(Visible);
}
void clsIEManager::RaiseProgressChange(std::int32_t Progress, std::int32_t ProgressMax) {
    Forwarding guard(*this);
    emit ProgressChange(Progress, ProgressMax);
}
void clsIEManager::RaisePropertyChange(QString szProperty) {
    Forwarding guard(*this);
    emit PropertyChange(szProperty);
}
void clsIEManager::RaiseStatusTextChange(QString Text) {
    Forwarding guard(*this);
    emit StatusTextChange(Text);
}
void clsIEManager::RaiseTitleChange(QString Text) {
    Forwarding guard(*this);
    emit TitleChange(Text);
}
