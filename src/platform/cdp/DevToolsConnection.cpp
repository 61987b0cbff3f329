#include "platform/cdp/DevToolsConnection.h"

#include "platform/cdp/CdpLog.h"
#include "platform/cdp/DevToolsMessage.h"
#include "platform/cdp/Endpoint.h"

#include <QJsonDocument>
#include <QScopedValueRollback>

namespace platform::cdp {

DevToolsConnection::DevToolsConnection(QObject* parent)
    : QObject(parent) {
    m_clock.start();
    m_socket.setMaxAllowedIncomingMessageSize(MaxMessageBytes);
    m_socket.setMaxAllowedIncomingFrameSize(MaxMessageBytes);
    connect(&m_socket, &QWebSocket::connected, this, [this] {
        const QScopedValueRollback delivering(m_delivering, m_delivering + 1);
        m_open = true;
        emit opened();
    });
    connect(&m_socket, &QWebSocket::disconnected, this, &DevToolsConnection::onDisconnected);
    connect(&m_socket, &QWebSocket::textMessageReceived, this, &DevToolsConnection::handleMessage);
    connect(&m_socket, &QWebSocket::binaryMessageReceived, this, [](const QByteArray& data) {
        qCInfo(lcCdp, "binary message of %lld bytes dropped", static_cast<long long>(data.size()));
    });
    connect(&m_socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError) {
                qCDebug(lcCdp, "%s: %s", qUtf8Printable(m_url.toString()),
                        qUtf8Printable(m_socket.errorString()));
                // A refused connection never reaches "connected", so it never reports "disconnected".
                const QScopedValueRollback delivering(m_delivering, m_delivering + 1);
                if (!m_open)
                    emit closed();
            });
}

DevToolsConnection::~DevToolsConnection() {
    m_socket.disconnect(this);
    m_socket.abort();
}

bool DevToolsConnection::open(const QUrl& url) {
    if (!Endpoint::isLoopbackWebSocket(url)) {
        qCWarning(lcCdp, "%s: not a loopback DevTools address; refused", qUtf8Printable(url.toString()));
        return false;
    }
    m_url = url;
    m_socket.open(url);
    return true;
}

void DevToolsConnection::close() {
    m_socket.close();
}

int DevToolsConnection::send(const QString& method, const QJsonObject& params, const QString& sessionId,
                             Reply onReply) {
    if (!m_open)
        return -1;
    const int id = m_nextId++;
    QJsonObject message{{QStringLiteral("id"), id}, {QStringLiteral("method"), method}};
    if (!params.isEmpty())
        message.insert(QStringLiteral("params"), params);
    if (!sessionId.isEmpty())
        message.insert(QStringLiteral("sessionId"), sessionId);
    if (onReply)
        m_pending.insert(id, std::move(onReply));
    const QString text = QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
    qCDebug(lcCdpWire, "> %s", qUtf8Printable(text));
    m_socket.sendTextMessage(text);
    return id;
}

void DevToolsConnection::flush() {
    m_socket.flush();
}

void DevToolsConnection::handleMessage(const QString& text) {
    const QScopedValueRollback delivering(m_delivering, m_delivering + 1);
    m_receivedAt = now();
    qCDebug(lcCdpWire, "< %s", qUtf8Printable(text));
    const DevToolsMessage message = DevToolsMessage::parse(text, MaxMessageBytes);
    switch (message.kind) {
    case DevToolsMessage::Kind::Oversized:
        qCWarning(lcCdp, "message of %lld characters dropped", static_cast<long long>(text.size()));
        return;
    case DevToolsMessage::Kind::Malformed:
        qCWarning(lcCdp, "malformed message dropped: %s", qUtf8Printable(message.problem));
        return;
    case DevToolsMessage::Kind::Unrouted:
        qCInfo(lcCdp, "message with neither id nor method dropped");
        return;
    case DevToolsMessage::Kind::Event:
        emit eventReceived(message.method, message.params, message.sessionId);
        return;
    case DevToolsMessage::Kind::Reply:
        break;
    }
    const int id = message.id;
    const Reply reply = m_pending.take(id);
    if (!reply) {
        if (id < 1 || id >= m_nextId)
            qCInfo(lcCdp, "reply to unknown request %d dropped", id);
        else if (message.hasError)
            qCDebug(lcCdp, "request %d failed: %s", id,
                    qUtf8Printable(message.error.value(QStringLiteral("message")).toString()));
        return;
    }
    reply(message.result, message.error);
}

void DevToolsConnection::onDisconnected() {
    const QScopedValueRollback delivering(m_delivering, m_delivering + 1);
    const bool wasOpen = m_open;
    m_open = false;
    failPending();
    if (wasOpen)
        emit closed();
}

void DevToolsConnection::failPending() {
    const auto pending = std::exchange(m_pending, {});
    const QJsonObject gone{{QStringLiteral("message"), QStringLiteral("connection closed")}};
    for (const Reply& reply : pending)
        reply({}, gone);
}

} // namespace platform::cdp
