#include "platform/cdp/WebSocketTransport.h"

#include "platform/cdp/CdpLog.h"

namespace platform::cdp {

WebSocketTransport::WebSocketTransport(const QUrl& url, qint64 maxMessageBytes, QObject* parent)
    : DevToolsTransport(parent)
    , m_url(url) {
    m_socket.setMaxAllowedIncomingMessageSize(maxMessageBytes);
    m_socket.setMaxAllowedIncomingFrameSize(maxMessageBytes);
    connect(&m_socket, &QWebSocket::connected, this, [this] {
        m_open = true;
        emit opened();
    });
    connect(&m_socket, &QWebSocket::disconnected, this, [this] {
        if (std::exchange(m_open, false))
            emit closed();
    });
    connect(&m_socket, &QWebSocket::textMessageReceived, this, &DevToolsTransport::messageReceived);
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
    m_socket.open(url);
}

WebSocketTransport::~WebSocketTransport() {
    abort();
}

void WebSocketTransport::send(const QByteArray& message) {
    m_socket.sendTextMessage(QString::fromUtf8(message));
}

void WebSocketTransport::flush() {
    m_socket.flush();
}

void WebSocketTransport::close() {
    m_socket.close();
}

void WebSocketTransport::abort() {
    m_socket.disconnect(this);
    m_socket.abort();
}

} // namespace platform::cdp
