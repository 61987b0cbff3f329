#pragma once

#include "platform/cdp/DevToolsTransport.h"
#include "platform/cdp/WebSocketFrames.h"
#include "platform/cdp/WebSocketHandshake.h"
#include "platform/linux/StreamSocket.h"

#include <QUrl>

namespace platform::cdp {

// A plain ws:// client over TCP, all a DevTools endpoint on loopback needs: a WebSocket library
// brings TLS with it, and its libraries cost more memory than the rest of the connection.
class WebSocketTransport : public DevToolsTransport {
    Q_OBJECT
public:
    WebSocketTransport(const QUrl& url, qint64 maxMessageBytes, QObject* parent = nullptr);
    ~WebSocketTransport() override;

    void send(const QByteArray& message) override;
    void flush() override;
    // Sends a close frame; the end is reported when the server answers it or goes.
    void close() override;
    void abort() override;

private:
    enum class State { Connecting, Handshaking, Open, Closing, Ended };

    void start();
    void onReadyRead();
    void readFrames();
    void write(WebSocketFrames::Opcode opcode, QByteArrayView payload);
    void closeWith(quint16 code);
    void end();

    StreamSocket m_socket;
    QUrl m_url;
    WebSocketHandshake m_handshake;
    WebSocketFrames m_frames;
    QByteArray m_answer; // the handshake's answer so far
    State m_state = State::Connecting;
};

} // namespace platform::cdp
