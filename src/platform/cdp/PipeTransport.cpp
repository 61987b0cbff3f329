#include "platform/cdp/PipeTransport.h"

#include "platform/cdp/CdpLog.h"
#include "platform/pipe/HolderSockets.h"

namespace platform::cdp {

PipeTransport::PipeTransport(const QString& socketPath, qint64 maxMessageBytes, QObject* parent)
    : DevToolsTransport(parent)
    , m_path(socketPath)
    , m_framing(maxMessageBytes) {
    connect(&m_socket, &StreamSocket::connected, this, [this] {
        if (!pipe::HolderSockets::peerIsSameUser(m_socket.descriptor())) {
            qCWarning(lcCdp, "%s: the holder runs as another user; refused", qUtf8Printable(m_path));
            return end();
        }
        m_open = true;
        emit opened();
        onReadyRead();
    });
    connect(&m_socket, &StreamSocket::readyRead, this, &PipeTransport::onReadyRead);
    connect(&m_socket, &StreamSocket::ended, this, [this] {
        qCDebug(lcCdp, "%s: %s", qUtf8Printable(m_path), qUtf8Printable(m_socket.errorString()));
        end();
    });
    m_socket.connectToPath(m_path);
}

PipeTransport::~PipeTransport() {
    abort();
}

void PipeTransport::onReadyRead() {
    if (!m_open)
        return;
    m_framing.feed(m_socket.readAll());
    while (!m_ended) {
        const auto message = m_framing.next();
        if (!message)
            break;
        emit messageReceived(QString::fromUtf8(*message));
    }
    if (m_framing.overflowed() && !m_ended) {
        qCWarning(lcCdp, "%s: a message of more than %lld bytes came without its end; closing the connection",
                  qUtf8Printable(m_path), static_cast<long long>(m_framing.maxBytes()));
        end();
    }
}

void PipeTransport::send(const QByteArray& message) {
    m_socket.write(pipe::MessageFraming::frame(message));
}

void PipeTransport::flush() {
    m_socket.flush();
}

// Like a WebSocket's close: what was sent goes out first, and the end is reported from the
// event loop, unless the transport is gone by then.
void PipeTransport::close() {
    m_socket.flush();
    m_socket.disconnectFromPeer();
}

void PipeTransport::abort() {
    m_ended = true;
    m_socket.disconnect(this);
    m_socket.abort();
}

// Every way out ends here, and reports once.
void PipeTransport::end() {
    if (std::exchange(m_ended, true))
        return;
    m_socket.disconnect(this);
    m_socket.abort();
    m_open = false;
    emit closed();
}

} // namespace platform::cdp
