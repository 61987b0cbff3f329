#pragma once

#include "platform/WebBrowser.h"
#include "platform/firefox/FirefoxConnection.h"
#include "platform/firefox/PrivateLocalServer.h"

#include <deque>
#include <memory>
#include <vector>

namespace platform::firefox {

// How one Firefox popup was answered, for tests and benchmarks.
struct FirefoxPopupOutcome {
    std::int32_t id = 0;
    QString openerUrl;
    QString url;
    bool cancelled = false;
    bool asked = false; // false: answered without a listener (the opener was not known)
    qint64 receivedNs = 0;
    qint64 answeredNs = 0;
};

// The tabs of every Firefox whose companion extension reached us through the relay, and the
// one queue in which their popups are decided, one at a time and each exactly once.
class FirefoxShellWindows : public ShellWindows {
    Q_OBJECT
public:
    // The extension lets a popup load after 3 s without an answer; a question that has waited
    // this long is answered too late for its verdict to count.
    static constexpr qint64 LateQuestionMs = 2500;

    // Listens in the given folder (made private to the user) for relays.
    explicit FirefoxShellWindows(const QString& socketFolder, QObject* parent = nullptr);
    ~FirefoxShellWindows() override;

    QList<WebBrowser*> items() const override;
    bool isListening() const { return m_listening; }
    int connectionCount() const;

signals:
    void popupResolved(const platform::firefox::FirefoxPopupOutcome& outcome);

private:
    struct Asked {
        QPointer<FirefoxConnection> connection;
        PopupQuestion question;
        qint64 receivedNs = 0;
    };

    void adopt(StreamSocket* socket);
    void retire(FirefoxConnection* connection);
    void pump();
    void decide(const Asked& asked);

    PrivateLocalServer m_server;
    bool m_listening = false;
    std::vector<std::unique_ptr<FirefoxConnection>> m_connections;
    std::deque<Asked> m_queue;
    bool m_deciding = false;
    std::int32_t m_cookie = 0;
};

} // namespace platform::firefox
