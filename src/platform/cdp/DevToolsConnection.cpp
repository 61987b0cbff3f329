#include "platform/cdp/DevToolsConnection.h"

#include "platform/cdp/CdpLog.h"
#include "platform/cdp/Endpoint.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace platform::cdp {

DevToolsConnection::DevToolsConnection(QObject* parent)
    : QObject(parent) {
    m_clock.start();
    m_socket.setMaxAllowedIncomingMessageSize(MaxMessageBytes);
    m_socket.setMaxAllowedIncomingFrameSize(MaxMessageBytes);
    connect(&m_socket, &QWebSocket::connected, this, [this] {
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
    m_receivedAt = now();
    qCDebug(lcCdpWire, "< %s", qUtf8Printable(text));
    if (text.size() > MaxMessageBytes) {
        qCWarning(lcCdp, "message of %lld characters dropped", static_cast<long long>(text.size()));
        return;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qCWarning(lcCdp, "malformed message dropped: %s", qUtf8Printable(error.errorString()));
        return;
    }
    const QJsonObject message = document.object();
    const QString sessionId = message.value(QStringLiteral("sessionId")).toString();
    if (message.contains(QStringLiteral("id"))) {
        const int id = message.value(QStringLiteral("id")).toInt(-1);
        const Reply reply = m_pending.take(id);
        if (!reply) {
            if (id < 1 || id >= m_nextId)
                qCInfo(lcCdp, "reply to unknown request %d dropped", id);
            else if (message.contains(QStringLiteral("error")))
                qCDebug(lcCdp, "request %d failed: %s", id,
                        qUtf8Printable(message.value(QStringLiteral("error"))
                                           .toObject()
                                           .value(QStringLiteral("message"))
                                           .toString()));
            return;
        }
        reply(message.value(QStringLiteral("result")).toObject(),
              message.value(QStringLiteral("error")).toObject());
        return;
    }
    const QString method = message.value(QStringLiteral("method")).toString();
    if (method.isEmpty()) {
        qCInfo(lcCdp, "message with neither id nor method dropped");
        return;
    }
    emit eventReceived(method, message.value(QStringLiteral("params")).toObject(), sessionId);
}

void DevToolsConnection::onDisconnected() {
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
