#include "platform/cdp/DevToolsConnection.h"

#include "platform/cdp/CdpLog.h"
#include "platform/cdp/DevToolsMessage.h"
#include "platform/cdp/Endpoint.h"
#include "platform/cdp/PipeTransport.h"
#include "platform/cdp/WebSocketTransport.h"

#include <QJsonDocument>
#include <QScopedValueRollback>

namespace platform::cdp {

DevToolsConnection::DevToolsConnection(QObject* parent)
    : QObject(parent) {
    m_clock.start();
}

DevToolsConnection::~DevToolsConnection() {
    if (m_transport)
        m_transport->abort();
}

bool DevToolsConnection::open(const QUrl& url) {
    if (!Endpoint::isLoopbackWebSocket(url)) {
        qCWarning(lcCdp, "%s: not a loopback DevTools address; refused", qUtf8Printable(url.toString()));
        return false;
    }
    m_url = url;
    use(std::make_unique<WebSocketTransport>(url, MaxMessageBytes));
    return true;
}

void DevToolsConnection::openPipe(const QString& socketPath) {
    m_url = QUrl::fromLocalFile(socketPath);
    use(std::make_unique<PipeTransport>(socketPath, MaxMessageBytes));
}

void DevToolsConnection::use(std::unique_ptr<DevToolsTransport> transport) {
    if (m_transport)
        m_transport->abort();
    m_transport = std::move(transport);
    connect(m_transport.get(), &DevToolsTransport::opened, this, [this] {
        const QScopedValueRollback delivering(m_delivering, m_delivering + 1);
        m_open = true;
        emit opened();
    });
    connect(m_transport.get(), &DevToolsTransport::messageReceived, this, &DevToolsConnection::handleMessage);
    connect(m_transport.get(), &DevToolsTransport::closed, this, &DevToolsConnection::onClosed);
}

void DevToolsConnection::close() {
    if (m_transport)
        m_transport->close();
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
    const QByteArray text = QJsonDocument(message).toJson(QJsonDocument::Compact);
    qCDebug(lcCdpWire, "> %s", text.constData());
    m_transport->send(text);
    return id;
}

void DevToolsConnection::flush() {
    if (m_transport)
        m_transport->flush();
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

// Also when the connection never opened: whoever waits for it learns that it will not.
void DevToolsConnection::onClosed() {
    const QScopedValueRollback delivering(m_delivering, m_delivering + 1);
    m_open = false;
    failPending();
    emit closed();
}

void DevToolsConnection::failPending() {
    const auto pending = std::exchange(m_pending, {});
    const QJsonObject gone{{QStringLiteral("message"), QStringLiteral("connection closed")}};
    for (const Reply& reply : pending)
        reply({}, gone);
}

} // namespace platform::cdp
