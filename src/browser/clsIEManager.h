#pragma once

#include "platform/WebBrowser.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <vector>

class clsIEWindow;

// Tracks every browser window the program watches, files a wrapper per window under its key
// and raises the windows' events as its own, so one listener hears them all.
class clsIEManager : public QObject {
    Q_OBJECT
public:
    explicit clsIEManager(QObject* parent = nullptr); // watches the program's browsers
    explicit clsIEManager(platform::ShellWindows& source, QObject* parent = nullptr);
    ~clsIEManager() override;

    std::int32_t ExplorerCount() const;
    QList<clsIEWindow*> NewEnum() const;
    // A text is a key, a number a 1-based position; nullptr when nothing is filed there.
    clsIEWindow* Explorer(const QVariant& vntKey) const;

signals:
    // Raised synchronously; by-reference arguments are the browser's own answer, so a listener
    // must be connected directly. A listener that sets Cancel cancels.
    void BeforeNavigate2(QObject* pDisp, QVariant& URL, QVariant& flags, QVariant& TargetFrameName,
                         QVariant& PostData, QVariant& Headers, bool& Cancel);
    void CommandStateChange(std::int32_t Command, bool Enable);
    void DocumentComplete(QObject* pDisp, QVariant& URL);
    void DownloadBegin();
    void DownloadComplete();
    void NavigateComplete2(QObject* pDisp, QVariant& URL);
    void NewWindow2(QObject*& ppDisp, bool& Cancel, QVariant& key);
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
    // A watched browser refuses popups by itself, before they can be decided here.
    void BrowserBlocksPopups(QString browser);
    // A watched browser asks its user to allow the program in, or the user did not.
    void BrowserAwaitsApproval(QString browser);
    void BrowserRefusedApproval(QString browser);
    // A browser reported Ctrl and Shift for the request about to be decided (see keyState()).
    void KeysReported();

private:
    friend class clsIEWindow;
    void RaiseBeforeNavigate2(QObject* pDisp, QVariant& URL, QVariant& flags, QVariant& TargetFrameName,
                              QVariant& PostData, QVariant& Headers, bool& Cancel);
    void RaiseCommandStateChange(std::int32_t Command, bool Enable);
    void RaiseDocumentComplete(QObject* pDisp, QVariant& URL);
    void RaiseDownloadBegin();
    void RaiseDownloadComplete();
    void RaiseNavigateComplete2(QObject* pDisp, QVariant& URL);
    void RaiseNewWindow2(QObject*& ppDisp, bool& Cancel, QVariant& key);
    void RaiseOnFullScreen(bool FullScreen);
    void RaiseOnMenuBar(bool MenuBar);
    void RaiseOnQuit();
    void RaiseOnStatusBar(bool StatusBar);
    void RaiseOnTheaterMode(bool TheaterMode);
    void RaiseOnToolBar(bool ToolBar);
    void RaiseOnVisible(bool Visible);
    void RaiseProgressChange(std::int32_t Progress, std::int32_t ProgressMax);
    void RaisePropertyChange(QString szProperty);
    void RaiseStatusTextChange(QString Text);
    void RaiseTitleChange(QString Text);

    void mobjIEWindows_WindowRegistered(std::int32_t lCookie);
    void mobjIEWindows_WindowRevoked(std::int32_t lCookie);
    void Watch();
    void RefreshExplorers();
    void ReleaseCollection();

    // While a wrapper is forwarding an event its listener may run a nested event loop in which
    // the registry rebuilds; the wrappers retired then are kept here until the last forwarding
    // call has returned, so no wrapper is freed under its own feet.
    class Forwarding;
    int mintForwarding = 0;
    std::vector<std::unique_ptr<clsIEWindow>> mcolRetired;

    std::unique_ptr<platform::ShellWindows> mobjOwnedWindows;
    platform::ShellWindows* mobjIEWindows = nullptr;
    std::vector<std::unique_ptr<clsIEWindow>> mcolIEWindows;
    QHash<QString, clsIEWindow*> mcolKeys;
};
