#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <cstdint>

namespace platform {

// The page's document as the popup decision reads it. Every read answers from state the
// browser layer already holds, so a decision never waits on the browser.
class HtmlDocument {
public:
    virtual ~HtmlDocument() = default;
    // Host of the page's origin; empty for about:blank, data: and file: pages. Throws
    // zor::Failure when unreadable.
    virtual QString domain() const = 0;
    // Whether the new-window request now being decided came from a user gesture (the page's
    // window.event is an object). Throws zor::Failure when that is unknown, or when no request
    // of this page is being decided.
    virtual bool parentWindowEventIsObject() const = 0;
    // window.onerror = null on the page, sent without waiting for the answer. Throws
    // zor::Failure when it cannot be sent.
    virtual void setWindowOnErrorNull() = 0;
};

// One browser window (a tab) with the automation properties and the classic browser events.
// Reads that this browser cannot answer throw zor::Failure; the defaults below do exactly that.
class WebBrowser : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual std::int32_t HWND() const = 0;      // throws when unknown
    virtual QString LocationURL() const = 0;    // throws when unknown
    virtual HtmlDocument* Document() const = 0; // nullptr when there is none
    virtual WebBrowser* Parent();               // a tab is its own parent

    virtual QString LocationName() const;
    virtual bool Busy() const;
    virtual std::int32_t ReadyState() const;
    virtual QString Name() const;
    virtual QString FullName() const;
    virtual QString Path() const;
    virtual QString Type() const;
    virtual bool Visible() const;
    virtual bool AddressBar() const;
    virtual bool MenuBar() const;
    virtual bool StatusBar() const;
    virtual bool ToolBar() const;
    virtual bool FullScreen() const;
    virtual bool TheaterMode() const;
    virtual bool Offline() const;
    virtual bool Silent() const;
    virtual bool Resizable() const;
    virtual bool TopLevelContainer() const;
    virtual QString StatusText() const;
    virtual std::int32_t Left() const;
    virtual std::int32_t Top() const;
    virtual std::int32_t Width() const;
    virtual std::int32_t Height() const;
    virtual QObject* Application() const;
    virtual QObject* Container() const;
    virtual QVariant GetProperty(const QString& property) const;

signals:
    // The classic browser events. By-reference arguments are the browser's own answer: listeners
    // must be connected directly, and what they leave there is what the browser acts on.
    void BeforeNavigate2(QObject* pDisp, QVariant& URL, QVariant& flags, QVariant& TargetFrameName,
                         QVariant& PostData, QVariant& Headers, bool& Cancel);
    void CommandStateChange(std::int32_t Command, bool Enable);
    void DocumentComplete(QObject* pDisp, QVariant& URL);
    void DownloadBegin();
    void DownloadComplete();
    void NavigateComplete2(QObject* pDisp, QVariant& URL);
    void NewWindow2(QObject*& ppDisp, bool& Cancel);
    void OnFullScreen(bool FullScreen);
    void OnMenuBar(bool MenuBar);
    void OnQuit();
    void OnStatusBar(bool StatusBar);
    void OnTheaterMode(bool TheaterMode);
    void OnToolBar(bool ToolBar);
    void OnVisible(bool Visible);
    void ProgressChange(std::int32_t Progress, std::int32_t ProgressMax);
    void PropertyChange(QString szProperty);
    void StatusTextChange(QString Text);
    void TitleChange(QString Text);

protected:
    // For the reads above that this browser has no answer to.
    [[noreturn]] static void unavailable(const char* property);
};

// Every browser window the program watches. The items stay owned by this object and may be
// deleted once revoked: hold them through QPointer.
class ShellWindows : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // In a stable order; throws zor::Failure when the windows cannot be listed.
    virtual QList<WebBrowser*> items() const = 0;

signals:
    void WindowRegistered(std::int32_t lCookie);
    void WindowRevoked(std::int32_t lCookie);
    // Popups the browser refuses by itself never reach the program (told once per connection).
    void BrowserBlocksPopups(QString browser);
    // A browser asks its user to allow the program's connection ("Allow remote debugging?"),
    // and the user refused or closed that prompt: each told once per series of attempts.
    void BrowserAwaitsApproval(QString browser);
    void BrowserRefusedApproval(QString browser);
    // The Ctrl and Shift a browser reported for the request about to be decided are in
    // keyState() now (and again when they are gone): whoever keeps a copy should read again.
    void KeysReported();
};

} // namespace platform
