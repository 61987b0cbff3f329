#pragma once

#include "platform/WebBrowser.h"
#include "platform/cdp/DevToolsBrowser.h"
#include "platform/cdp/PopupRequest.h"

#include <QFileSystemWatcher>
#include <deque>
#include <memory>
#include <vector>

namespace platform::cdp {

// The browser windows of every connected browser, and the one queue in which their popups
// are decided: one at a time, in the order they were held, each exactly once.
class CdpShellWindows : public ShellWindows {
    Q_OBJECT
public:
    explicit CdpShellWindows(const QList<BrowserSource>& sources, QObject* parent = nullptr);
    // Allows what is still held and releases every opener before the connections close.
    ~CdpShellWindows() override;

    // The DevToolsActivePort files of the usual Chromium-family profiles, also of their Flatpak
    // and snap packages.
    static QList<BrowserSource> profileSources();
    // Sources for endpoint texts ("9222", "ws://127.0.0.1:..."); invalid ones are skipped.
    static QList<BrowserSource> endpointSources(const QStringList& endpoints);

    // Watches the browsers that --launch-browser started, also those it starts while this
    // program runs (another start of the program leaves them to this one); says in the log
    // when only those there now can be.
    void watchHolders();

    QList<WebBrowser*> items() const override;
    int connectedCount() const;

signals:
    void browserConnected();
    void browserDisconnected();
    void popupResolved(const platform::cdp::PopupOutcome& outcome);

private:
    // The holders of browsers this program started, in this run or an earlier one.
    static QList<BrowserSource> holderSources();
    DevToolsBrowser* addBrowser(const BrowserSource& source);
    void addNewHolders();
    void enqueue(std::shared_ptr<PopupRequest> request);
    void pump();
    void decide(PopupRequest& request, CdpPage& opener);
    bool endpointInUse(const QUrl& url, const DevToolsBrowser* asking) const;

    RetryClock m_retryClock; // before the browsers: it outlives them
    std::vector<std::unique_ptr<DevToolsBrowser>> m_browsers;
    std::deque<std::shared_ptr<PopupRequest>> m_queue;
    bool m_deciding = false;
    QTimer m_wait; // the front popup's opener is not listed yet
    std::int32_t m_cookie = 0;
    QFileSystemWatcher m_holders;
};

} // namespace platform::cdp
