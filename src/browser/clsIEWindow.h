#pragma once

#include "platform/WebBrowser.h"

#include <QObject>
#include <QPointer>
#include <QVariant>
#include <cstdint>

class clsIEManager;

// One watched browser window: passes its properties through and hands its events to the
// registry. Created, keyed and owned only by clsIEManager.
class clsIEWindow : public QObject {
    Q_OBJECT
public:
    clsIEWindow();
    ~clsIEWindow() override;

    QVariant Key;

    // Each read asks the browser object at the moment of the call and throws zor::Failure when
    // it cannot answer (a closed window, a property this browser does not have).
    std::int32_t hWnd() const;
    bool AddressBar() const;
    QObject* Application() const;
    bool Busy() const;
    QObject* Container() const;
    platform::HtmlDocument* Document() const; // nullptr when there is none or it cannot be read
    QString FullName() const;
    bool FullScreen() const;
    QVariant GetProperty(const QString& Property) const;
    std::int32_t Height() const;
    std::int32_t Width() const;
    std::int32_t left() const;
    std::int32_t Top() const;
    QString LocationName() const;
    QString LocationURL() const;
    bool MenuBar() const;
    QString Name() const;
    bool Offline() const;
    platform::WebBrowser* Parent() const;
    QString Path() const;
    std::int32_t ReadyState() const;
    bool Resizable() const;
    bool Silent() const;
    bool StatusBar() const;
    QString StatusText() const;
    bool TheaterMode() const;
    bool ToolBar() const;
    bool TopLevelContainer() const;
    QString getType() const;
    bool Visible() const;

private:
    friend class clsIEManager;
    void Init(clsIEManager* lngManager, platform::WebBrowser& objBrowser);
    // Stops forwarding for good: the registry has dropped this wrapper.
    void Detach();
    platform::WebBrowser& IEWindow() const;

    void mobjIEWindow_BeforeNavigate2(QObject* pDisp, QVariant& URL, QVariant& flags,
                                      QVariant& TargetFrameName, QVariant& PostData, QVariant& Headers,
                                      bool& Cancel);
    void mobjIEWindow_CommandStateChange(std::int32_t Command, bool Enable);
    void mobjIEWindow_DocumentComplete(QObject* pDisp, QVariant& URL);
    void mobjIEWindow_DownloadBegin();
    void mobjIEWindow_DownloadComplete();
    void mobjIEWindow_NavigateComplete2(QObject* pDisp, QVariant& URL);
    void mobjIEWindow_NewWindow2(QObject*& ppDisp, bool& Cancel);
    void mobjIEWindow_OnFullScreen(bool FullScreen);
    void mobjIEWindow_OnMenuBar(bool MenuBar);
    void mobjIEWindow_OnQuit();
    void mobjIEWindow_OnStatusBar(bool StatusBar);
    void mobjIEWindow_OnTheaterMode(bool TheaterMode);
    void mobjIEWindow_OnToolBar(bool ToolBar);
    void mobjIEWindow_OnVisible(bool Visible);
    void mobjIEWindow_ProgressChange(std::int32_t Progress, std::int32_t ProgressMax);
    void mobjIEWindow_PropertyChange(QString szProperty);
    void mobjIEWindow_StatusTextChange(QString Text);
    void mobjIEWindow_TitleChange(QString Text);

    // Runs one forwarding under continue-on-error, only while attached.
    template <typename Raise> void Forward(const char* strEvent, Raise&& raise);

    QPointer<platform::WebBrowser> mobjIEWindow;
    clsIEManager* mobjManager = nullptr; // not owned: the registry owns this wrapper
    bool mblnInitialized = false;
};
