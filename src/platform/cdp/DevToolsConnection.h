#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>

namespace platform::cdp {

class DevToolsTransport;

// One connection to a browser's DevTools service (a WebSocket, or the pipe its holder offers),
// with flat sessions: every message names its session, replies are matched to their requests
// by id, events are handed on with their session.
class DevToolsConnection : public QObject {
    Q_OBJECT
public:
    // error is empty on success; result is empty on failure.
    using Reply = std::function<void(const QJsonObject& result, const QJsonObject& error)>;

    static constexpr qint64 MaxMessageBytes = 16 * 1024 * 1024;

    explicit DevToolsConnection(QObject* parent = nullptr);
    ~DevToolsConnection() override;

    // Refuses anything but a loopback ws:// address (returns false, nothing is opened).
    bool open(const QUrl& url);
    // The pipe of a browser offered by its holder's local socket.
    void openPipe(const QString& socketPath);
    void close();
    bool isOpen() const { return m_open; }
    // Whether a signal of this connection is being handled: a handler may run a nested event
    // loop, and the socket code below it needs this object when the loop returns.
    bool isDelivering() const { return m_delivering > 0; }
    QUrl url() const { return m_url; }

    // Sends at once; returns the request id, or -1 when the connection is not open. The reply
    // callback, if any, runs when the answer arrives; requests still unanswered when the
    // connection ends are answered with an error.
    int send(const QString& method, const QJsonObject& params = {}, const QString& sessionId = {},
             Reply onReply = {});
    // Pushes what has been sent to the socket now.
    void flush();

    // Monotonic clock of the connection, in nanoseconds: when the message now being handled
    // arrived, and when the last request was handed to the socket.
    qint64 now() const { return m_clock.nsecsElapsed(); }
    qint64 receivedAt() const { return m_receivedAt; }

    // Feeds one incoming message, as the transport does; open for tests of the parser.
    void handleMessage(const QString& text);

signals:
    void opened();
    void closed();
    void eventReceived(const QString& method, const QJsonObject& params, const QString& sessionId);

private:
    void use(std::unique_ptr<DevToolsTransport> transport);
    void onClosed();
    void failPending();

    std::unique_ptr<DevToolsTransport> m_transport;
    QUrl m_url;
    bool m_open = false;
    int m_delivering = 0;
    int m_nextId = 1;
    QHash<int, Reply> m_pending;
    QElapsedTimer m_clock;
    qint64 m_receivedAt = 0;
};

} // namespace platform::cdp
