#include "platform/cdp/WebSocketTransport.h"

#include "platform/cdp/CdpLog.h"

#include <QRandomGenerator>
#include <QtEndian>

namespace platform::cdp {

using Opcode = WebSocketFrames::Opcode;
using Kind = WebSocketFrames::Event::Kind;

WebSocketTransport::WebSocketTransport(const QUrl& url, qint64 maxMessageBytes, QObject* parent)
    : DevToolsTransport(parent)
    , m_url(url)
    , m_handshake(url)
    , m_frames(maxMessageBytes) {
    connect(&m_socket, &StreamSocket::connected, this, [this] {
        // Requests are small and each is waited for: none may sit waiting for an acknowledgement.
        m_socket.setNoDelay();
        m_state = State::Handshaking;
        m_socket.write(m_handshake.request());
    });
    connect(&m_socket, &StreamSocket::readyRead, this, &WebSocketTransport::onReadyRead);
    connect(&m_socket, &StreamSocket::ended, this, [this] {
        qCDebug(lcCdp, "%s: %s", qUtf8Printable(m_url.toString()), qUtf8Printable(m_socket.errorString()));
        end();
    });
    // Even a refusal is reported only once whoever made this transport listens to it.
    QMetaObject::invokeMethod(this, &WebSocketTransport::start, Qt::QueuedConnection);
}

WebSocketTransport::~WebSocketTransport() {
    abort();
}

void WebSocketTransport::start() {
    if (m_state != State::Connecting)
        return;
    if (m_url.scheme() != QLatin1String("ws")) {
        qCWarning(lcCdp, "%s: only plain ws:// addresses are supported; not connecting",
                  qUtf8Printable(m_url.toString()));
        return end();
    }
    m_socket.connectToAddress(m_url.host(), static_cast<quint16>(m_url.port(80)));
}

void WebSocketTransport::onReadyRead() {
    // A message's handler may run a nested event loop, during which the socket buffers what
    // arrives without telling again: read until nothing is left.
    while (m_state != State::Ended && m_socket.bytesAvailable() > 0) {
        if (m_state != State::Handshaking) {
            m_frames.feed(m_socket.readAll());
            readFrames();
            continue;
        }
        m_answer.append(m_socket.readAll());
        switch (m_handshake.read(m_answer)) {
        case WebSocketHandshake::Result::Incomplete:
            continue;
        case WebSocketHandshake::Result::Declined:
            qCInfo(lcCdp, "%s: %s; not connected", qUtf8Printable(m_url.toString()),
                   qUtf8Printable(m_handshake.problem()));
            return end();
        case WebSocketHandshake::Result::Invalid:
            qCWarning(lcCdp, "%s: %s; not connected", qUtf8Printable(m_url.toString()),
                      qUtf8Printable(m_handshake.problem()));
            return end();
        case WebSocketHandshake::Result::Accepted:
            break;
        }
        // The server may send its first frames in the same read as its answer.
        m_frames.feed(QByteArrayView(m_answer).sliced(m_handshake.headerSize()));
        m_answer = {};
        m_state = State::Open;
        emit opened();
        readFrames();
    }
}

void WebSocketTransport::readFrames() {
    while (m_state == State::Open || m_state == State::Closing) {
        const auto event = m_frames.next();
        if (!event)
            return;
        switch (event->kind) {
        case Kind::Text:
            emit messageReceived(event->text);
            break;
        case Kind::Binary:
            qCInfo(lcCdp, "binary message of %lld bytes dropped", static_cast<long long>(event->data.size()));
            break;
        case Kind::Ping:
            write(Opcode::Pong, event->data);
            break;
        case Kind::Close:
            // Answered with the server's own code, unless this end asked first.
            if (m_state == State::Open)
                write(Opcode::Close, event->data.first(std::min<qsizetype>(event->data.size(), 2)));
            return end();
        case Kind::Fault:
            qCWarning(lcCdp, "%s: %s; closing the connection", qUtf8Printable(m_url.toString()),
                      qUtf8Printable(event->text));
            closeWith(event->code);
            return end();
        }
    }
}

void WebSocketTransport::send(const QByteArray& message) {
    if (m_state == State::Open)
        write(Opcode::Text, message);
}

void WebSocketTransport::write(Opcode opcode, QByteArrayView payload) {
    m_socket.write(WebSocketFrames::frame(opcode, payload, QRandomGenerator::global()->generate()));
}

void WebSocketTransport::flush() {
    m_socket.flush();
}

void WebSocketTransport::closeWith(quint16 code) {
    if (m_state != State::Open)
        return;
    char payload[2];
    qToBigEndian(code, payload);
    write(Opcode::Close, QByteArrayView(payload, 2));
    m_state = State::Closing;
}

void WebSocketTransport::close() {
    if (m_state == State::Open) {
        closeWith(1000);
        m_socket.flush();
    } else if (m_state != State::Closing) {
        QMetaObject::invokeMethod(this, &WebSocketTransport::end, Qt::QueuedConnection);
    }
}

void WebSocketTransport::abort() {
    m_state = State::Ended;
    m_socket.disconnect(this);
    m_socket.abort();
}

// Every way out ends here, and reports once. What was written last (the answer to a close, say)
// still goes out.
void WebSocketTransport::end() {
    if (std::exchange(m_state, State::Ended) == State::Ended)
        return;
    m_socket.disconnect(this);
    m_socket.disconnectFromPeer();
    emit closed();
}

} // namespace platform::cdp
