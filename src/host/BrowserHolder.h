#pragma once

#include "host/DevToolsRelay.h"
#include "platform/pipe/MessageFraming.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace host {

// Owns one browser's DevTools pipe for the browser's whole life and offers it on a private
// local socket to one program of this user at a time. The browser ends soon after its pipe
// closes, so the pipe must outlive any program that uses it.
class BrowserHolder : public QObject {
    Q_OBJECT
public:
    enum class Start { Answered, Refused, Exited, Silent };

    static constexpr qint64 MaxMessageBytes = 16 * 1024 * 1024;

    // pipeFd: this side of the socket pair the browser has as its descriptors 3 and 4.
    BrowserHolder(int pipeFd, qint64 browserPid, QString browserLog, QObject* parent = nullptr);
    ~BrowserHolder() override;

    // Asks the browser for its version and waits for the answer. Branded browsers refuse the
    // pipe on their default profile: they say so in their log, or just never answer.
    void waitForAnswer(int timeoutMs, std::function<void(Start)> done);
    bool offer(const QString& socketPath, QString* problem);
    // SIGTERM, then SIGKILL if the browser is still there after a few seconds; waits for it.
    void endBrowser();

signals:
    void browserEnded();

private:
    void onPipeData();
    void onNewClient();
    void onClientData();
    void dropClient(const char* why);
    void checkBrowser();
    void finishWait(Start start);
    void sampleBusy();
    // Past the wait: true while the browser still works at starting up, within a limit.
    bool stillStarting();

    QLocalSocket m_pipe;
    platform::pipe::MessageFraming m_fromBrowser{MaxMessageBytes};
    DevToolsRelay m_relay;
    QLocalServer m_server;
    QPointer<QLocalSocket> m_client;
    std::unique_ptr<platform::pipe::MessageFraming> m_fromClient;
    QTimer m_watch;
    qint64 m_browserPid;
    QString m_browserLog;
    bool m_ended = false;
    std::function<void(Start)> m_waiting;
    QElapsedTimer m_waited;
    // Since the browser closed its pipe, while it has not ended yet.
    QElapsedTimer m_shuttingDown;
    int m_waitMs = 0;
    qint64 m_busySince = 0;
    qint64 m_busyTicks = -1;
    bool m_busy = false;
    bool m_toldBusy = false;
};

} // namespace host
