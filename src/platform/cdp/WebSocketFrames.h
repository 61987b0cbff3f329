#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace platform::cdp {

// The frames of a WebSocket as its client sees them: what it sends (always masked), and a reader
// that turns the server's bytes back into messages however they are cut into reads. The reader
// never holds more than one message under the limit plus one frame header: a frame that would
// pass the limit is refused from its header, before its payload is read.
class WebSocketFrames {
public:
    enum class Opcode : quint8 {
        Continuation = 0x0,
        Text = 0x1,
        Binary = 0x2,
        Close = 0x8,
        Ping = 0x9,
        Pong = 0xA
    };
    // Close codes the reader gives with a fault.
    static constexpr quint16 ProtocolError = 1002;
    static constexpr quint16 InvalidText = 1007;
    static constexpr quint16 TooBig = 1009;

    struct Event {
        // Binary, Ping and Close carry their payload in data; Fault what was wrong in text, and
        // the code to close with.
        enum class Kind { Text, Binary, Ping, Close, Fault } kind;
        QString text;
        QByteArray data;
        quint16 code = 0;
    };

    explicit WebSocketFrames(qint64 maxMessageBytes)
        : m_maxBytes(maxMessageBytes) {}

    void feed(QByteArrayView bytes);
    // The next whole message or control frame to answer (pongs are skipped); nothing while the
    // bytes so far end inside a frame, nor ever again after a fault.
    std::optional<Event> next();

    static QByteArray frame(Opcode opcode, QByteArrayView payload, quint32 mask);

private:
    std::optional<Event> fault(quint16 code, const QString& what);
    std::optional<Event> endMessage();

    qint64 m_maxBytes;
    QByteArray m_buffer;
    qsizetype m_start = 0; // where the next frame begins in m_buffer
    QByteArray m_message;  // the data frames so far of a fragmented message
    std::optional<Opcode> m_messageOpcode;
    bool m_failed = false;
};

} // namespace platform::cdp
