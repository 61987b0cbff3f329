#include "browser/clsIEWindow.h"

#include "browser/clsIEManager.h"
#include "platform/Failure.h"

#include <utility>

using platform::WebBrowser;

clsIEWindow::clsIEWindow() = default;

clsIEWindow::~clsIEWindow() {
    Detach();
}

void clsIEWindow::Init(clsIEManager* lngManager, WebBrowser& objBrowser) {
    mobjManager = lngManager;
    mobjIEWindow = &objBrowser;
    connect(&objBrowser, &WebBrowser::BeforeNavigate2, this, &clsIEWindow::mobjIEWindow_BeforeNavigate2,
            Qt::DirectConnection);
    connect(&objBrowser, &WebBrowser::CommandStateChange, this,
            &clsIEWindow::mobjIEWindow_CommandStateChange);
    connect(&objBrowser, &WebBrowser::DocumentComplete, this, &clsIEWindow::mobjIEWindow_DocumentComplete,
            Qt::DirectConnection);
    connect(&objBrowser, &WebBrowser::DownloadBegin, this, &clsIEWindow::mobjIEWindow_DownloadBegin);
    connect(&objBrowser, &WebBrowser::DownloadComplete, this, &clsIEWindow::mobjIEWindow_DownloadComplete);
    connect(&objBrowser, &WebBrowser::NavigateComplete2, this, &clsIEWindow::mobjIEWindow_NavigateComplete2,
            Qt::DirectConnection);
    connect(&objBrowser, &WebBrowser::NewWindow2, this, &clsIEWindow::mobjIEWindow_NewWindow2,
            Qt::DirectConnection);
    connect(&objBrowser, &WebBrowser::OnFullScreen, this, &clsIEWindow::mobjIEWindow_OnFullScreen);
    connect(&objBrowser, &WebBrowser::OnMenuBar, this, &clsIEWindow::mobjIEWindow_OnMenuBar);
    connect(&objBrowser, &WebBrowser::OnQuit, this, &clsIEWindow::mobjIEWindow_OnQuit);
    connect(&objBrowser, &WebBrowser::OnStatusBar, this, &clsIEWindow::mobjIEWindow_OnStatusBar);
    connect(&objBrowser, &WebBrowser::OnTheaterMode, this, &clsIEWindow::mobjIEWindow_OnTheaterMode);
    connect(&objBrowser, &WebBrowser::OnToolBar, this, &clsIEWindow::mobjIEWindow_OnToolBar);
    connect(&objBrowser, &WebBrowser::OnVisible, this, &clsIEWindow::mobjIEWindow_OnVisible);
    connect(&objBrowser, &WebBrowser::ProgressChange, this, &clsIEWindow::mobjIEWindow_ProgressChange);
    connect(&objBrowser, &WebBrowser::PropertyChange, this, &clsIEWindow::mobjIEWindow_PropertyChange);
    connect(&objBrowser, &WebBrowser::StatusTextChange, this, &clsIEWindow::mobjIEWindow_StatusTextChange);
    connect(&objBrowser, &WebBrowser::TitleChange, this, &clsIEWindow::mobjIEWindow_TitleChange);
    mblnInitialized = true;
}

void clsIEWindow::Detach() {
    mblnInitialized = false;
    mobjManager = nullptr;
    if (mobjIEWindow)
        mobjIEWindow->disconnect(this);
    mobjIEWindow = nullptr;
}

WebBrowser& clsIEWindow::IEWindow() const {
    if (!mobjIEWindow)
        throw zor::Failure(QStringLiteral("the browser window %1 is gone").arg(Key.toString()));
    return *mobjIEWindow;
}

std::int32_t clsIEWindow::hWnd() const {
    return IEWindow().HWND();
}
bool clsIEWindow::AddressBar() const {
    return IEWindow().AddressBar();
}
QObject* clsIEWindow::Application() const {
    return IEWindow().Application();
}
bool clsIEWindow::Busy() const {
    return IEWindow().Busy();
}
QObject* clsIEWindow::Container() const {
    return IEWindow().Container();
}
QString clsIEWindow::FullName() const {
    return IEWindow().FullName();
}
bool clsIEWindow::FullScreen() const {
    return IEWindow().FullScreen();
}
QVariant clsIEWindow::GetProperty(const QString& Property) const {
    return IEWindow().GetProperty(Property);
}
std::int32_t clsIEWindow::Height() const {
    return IEWindow().Height();
}
std::int32_t clsIEWindow::Width() const {
    return IEWindow().Width();
}
std::int32_t clsIEWindow::left() const {
    return IEWindow().Left();
}
std::int32_t clsIEWindow::Top() const {
    return IEWindow().Top();
}
QString clsIEWindow::LocationName() const {
    return IEWindow().LocationName();
}
QString clsIEWindow::LocationURL() const {
    return IEWindow().LocationURL();
}
bool clsIEWindow::MenuBar() const {
    return IEWindow().MenuBar();
}
QString clsIEWindow::Name() const {
    return IEWindow().Name();
}
bool clsIEWindow::Offline() const {
    return IEWindow().Offline();
}
WebBrowser* clsIEWindow::Parent() const {
    return IEWindow().Parent();
}
QString clsIEWindow::Path() const {
    return IEWindow().Path();
}
std::int32_t clsIEWindow::ReadyState() const {
    return IEWindow().ReadyState();
}
bool clsIEWindow::Resizable() const {
    return IEWindow().Resizable();
}
bool clsIEWindow::Silent() const {
    return IEWindow().Silent();
}
bool clsIEWindow::StatusBar() const {
    return IEWindow().StatusBar();
}
QString clsIEWindow::StatusText() const {
    return IEWindow().StatusText();
}
bool clsIEWindow::TheaterMode() const {
    return IEWindow().TheaterMode();
}
bool clsIEWindow::ToolBar() const {
    return IEWindow().ToolBar();
}
bool clsIEWindow::TopLevelContainer() const {
    return IEWindow().TopLevelContainer();
}
QString clsIEWindow::getType() const {
    return IEWindow().Type();
}
bool clsIEWindow::Visible() const {
    return IEWindow().Visible();
}

platform::HtmlDocument* clsIEWindow::Document() const {
    platform::HtmlDocument* objDocument = nullptr;
    zor::tryStep("reading a browser window's document", [&] { objDocument = IEWindow().Document(); });
    return objDocument;
}

template <typename Raise> void clsIEWindow::Forward(const char* strEvent, Raise&& raise) {
    if (!mblnInitialized || !mobjManager)
        return;
    zor::tryStep(strEvent, [&] { std::forward<Raise>(raise)(*mobjManager); });
}

void clsIEWindow::mobjIEWindow_BeforeNavigate2(QObject* pDisp, QVariant& URL, QVariant& flags,
                                               QVariant& TargetFrameName, QVariant& PostData,
                                               QVariant& Headers, bool& Cancel) {
    Forward("BeforeNavigate2", [&](clsIEManager& m) {
        m.RaiseBeforeNavigate2(pDisp, URL, flags, TargetFrameName, PostData, Headers, Cancel);
    });
}
void clsIEWindow::mobjIEWindow_CommandStateChange(std::int32_t Command, bool Enable) {
    Forward("CommandStateChange", [&](clsIEManager& m) { m.RaiseCommandStateChange(Command, Enable); });
}
void clsIEWindow::mobjIEWindow_DocumentComplete(QObject* pDisp, QVariant& URL) {
    Forward("DocumentComplete", [&](clsIEManager& m) { m.RaiseDocumentComplete(pDisp, URL); });
}
void clsIEWindow::mobjIEWindow_DownloadBegin() {
    Forward("DownloadBegin", [&](clsIEManager& m) { m.RaiseDownloadBegin(); });
}
void clsIEWindow::mobjIEWindow_DownloadComplete() {
    Forward("DownloadComplete", [&](clsIEManager& m) { m.RaiseDownloadComplete(); });
}
void clsIEWindow::mobjIEWindow_NavigateComplete2(QObject* pDisp, QVariant& URL) {
    Forward("NavigateComplete2", [&](clsIEManager& m) { m.RaiseNavigateComplete2(pDisp, URL); });
}
void clsIEWindow::mobjIEWindow_NewWindow2(QObject*& ppDisp, bool& Cancel) {
    Forward("NewWindow2", [&](clsIEManager& m) { m.RaiseNewWindow2(ppDisp, Cancel, Key); });
}
void clsIEWindow::mobjIEWindow_OnFullScreen(bool FullScreen) {
    Forward("OnFullScreen", [&](clsIEManager& m) { m.RaiseOnFullScreen(FullScreen); });
}
void clsIEWindow::mobjIEWindow_OnMenuBar(bool MenuBar) {
    Forward("OnMenuBar", [&](clsIEManager& m) { m.RaiseOnMenuBar(MenuBar); });
}
void clsIEWindow::mobjIEWindow_OnQuit() {
    Forward("OnQuit", [&](clsIEManager& m) { m.RaiseOnQuit(); });
}
void clsIEWindow::mobjIEWindow_OnStatusBar(bool StatusBar) {
    Forward("OnStatusBar", [&](clsIEManager& m) { m.RaiseOnStatusBar(StatusBar); });
}
void clsIEWindow::mobjIEWindow_OnTheaterMode(bool TheaterMode) {
    Forward("OnTheaterMode", [&](clsIEManager& m) { m.RaiseOnTheaterMode(TheaterMode); });
}
void clsIEWindow::mobjIEWindow_OnToolBar(bool ToolBar) {
    Forward("OnToolBar", [&](clsIEManager& m) { m.RaiseOnToolBar(ToolBar); });
}
void clsIEWindow::mobjIEWindow_OnVisible(bool Visible) {
    Forward("OnVisible", [&](clsIEManager& m) { m.RaiseOnVisible(Visible); });
}
void clsIEWindow::mobjIEWindow_ProgressChange(std::int32_t Progress, std::int32_t ProgressMax) {
    Forward("ProgressChange", [&](clsIEManager& m) { m.RaiseProgressChange(Progress, ProgressMax); });
}
void clsIEWindow::mobjIEWindow_PropertyChange(QString szProperty) {
    Forward("PropertyChange", [&](clsIEManager& m) { m.RaisePropertyChange(szProperty); });
}
void clsIEWindow::mobjIEWindow_StatusTextChange(QString Text) {
    Forward("StatusTextChange", [&](clsIEManager& m) { m.RaiseStatusTextChange(Text); });
}
void clsIEWindow::mobjIEWindow_TitleChange(QString Text) {
    Forward("TitleChange", [&](clsIEManager& m) { m.RaiseTitleChange(Text); });
}
