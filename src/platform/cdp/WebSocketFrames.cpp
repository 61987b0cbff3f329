#include "platform/cdp/WebSocketFrames.h"

#include <QStringDecoder>
#include <QtEndian>

namespace platform::cdp {

namespace {

constexpr quint8 Fin = 0x80;
constexpr quint8 Reserved = 0x70;
constexpr quint8 Masked = 0x80;
constexpr quint64 MaxControlBytes = 125;

bool isControl(quint8 opcode) {
    return opcode & 0x8;
}

bool isKnown(quint8 opcode) {
    return opcode <= 0x2 || (opcode >= 0x8 && opcode <= 0xA);
}

} // namespace

void WebSocketFrames::feed(QByteArrayView bytes) {
    if (!m_failed)
        m_buffer.append(bytes);
}

std::optional<WebSocketFrames::Event> WebSocketFrames::next() {
    while (!m_failed) {
        const QByteArrayView rest = QByteArrayView(m_buffer).sliced(m_start);
        if (rest.size() < 2)
            break;
        const auto first = static_cast<quint8>(rest[0]);
        const auto second = static_cast<quint8>(rest[1]);
        const quint8 opcode = first & 0x0F;
        const bool fin = first & Fin;
        qsizetype header = 2;
        quint64 length = second & 0x7F;
        if (length == 126) {
            header = 4;
            if (rest.size() < header)
                break;
            length = qFromBigEndian<quint16>(rest.data() + 2);
        } else if (length == 127) {
            header = 10;
            if (rest.size() < header)
                break;
            length = qFromBigEndian<quint64>(rest.data() + 2);
        }
        if (first & Reserved)
            return fault(ProtocolError, QStringLiteral("a frame with reserved bits set"));
        if (second & Masked)
            return fault(ProtocolError, QStringLiteral("a masked frame from the server"));
        if (!isKnown(opcode))
            return fault(ProtocolError, QStringLiteral("a frame of unknown opcode %1").arg(opcode));
        if (isControl(opcode) && (!fin || length > MaxControlBytes))
            return fault(ProtocolError, QStringLiteral("a fragmented or long control frame"));
        if (!isControl(opcode) && (opcode == 0) != m_messageOpcode.has_value())
            return fault(ProtocolError, QStringLiteral("a message fragment out of order"));
        if (!isControl(opcode) && length > static_cast<quint64>(m_maxBytes - m_message.size()))
            return fault(TooBig, QStringLiteral("a message of more than %1 bytes").arg(m_maxBytes));
        if (static_cast<quint64>(rest.size() - header) < length)
            break;
        const QByteArrayView payload = rest.sliced(header, static_cast<qsizetype>(length));
        m_start += header + payload.size();
        switch (static_cast<Opcode>(opcode)) {
        case Opcode::Ping:
            return Event{Event::Kind::Ping, {}, payload.toByteArray()};
        case Opcode::Close:
            return Event{Event::Kind::Close, {}, payload.toByteArray()};
        case Opcode::Pong:
            continue;
        case Opcode::Text:
        case Opcode::Binary:
            m_messageOpcode = static_cast<Opcode>(opcode);
            break;
        case Opcode::Continuation:
            break;
        }
        m_message.append(payload);
        if (fin)
            return endMessage();
    }
    // What is left is the start of one frame: keep only that.
    m_buffer.remove(0, m_start);
    m_start = 0;
    return std::nullopt;
}

std::optional<WebSocketFrames::Event> WebSocketFrames::endMessage() {
    const QByteArray message = std::exchange(m_message, {});
    if (std::exchange(m_messageOpcode, std::nullopt) == Opcode::Binary)
        return Event{Event::Kind::Binary, {}, message};
    // Stateless: a sequence cut off at the end is an error too, not a start kept for later.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(message);
    if (decoder.hasError())
        return fault(InvalidText, QStringLiteral("a text message that is not UTF-8"));
    return Event{Event::Kind::Text, std::move(text), {}};
}

std::optional<WebSocketFrames::Event> WebSocketFrames::fault(quint16 code, const QString& what) {
    m_failed = true;
    m_buffer.clear();
    m_message.clear();
    return Event{Event::Kind::Fault, what, {}, code};
}

QByteArray WebSocketFrames::frame(Opcode opcode, QByteArrayView payload, quint32 mask) {
    QByteArray frame;
    frame.reserve(payload.size() + 14);
    frame.append(static_cast<char>(Fin | static_cast<quint8>(opcode)));
    const auto size = static_cast<quint64>(payload.size());
    char length[8];
    if (size < 126) {
        frame.append(static_cast<char>(Masked | size));
    } else if (size <= 0xFFFF) {
        frame.append(static_cast<char>(Masked | 126));
        qToBigEndian(static_cast<quint16>(size), length);
        frame.append(length, 2);
    } else {
        frame.append(static_cast<char>(Masked | 127));
        qToBigEndian(size, length);
        frame.append(length, 8);
    }
    char key[4];
    qToBigEndian(mask, key);
    frame.append(key, 4);
    const qsizetype start = frame.size();
    frame.append(payload);
    char* masked = frame.data() + start;
    for (qsizetype i = 0; i < payload.size(); ++i)
        masked[i] ^= key[i % 4];
    return frame;
}

} // namespace platform::cdp
