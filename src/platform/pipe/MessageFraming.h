#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>
#include <utility>

namespace platform::pipe {

// Cuts a byte stream into messages each ended by a NUL byte, as a browser started with
// --remote-debugging-pipe writes them. A message longer than the limit is never handed out:
// the reader is told once (overflowed()) and the rest of that message, up to its NUL, is
// skipped, so a reader that can go on with the next message may.
class MessageFraming {
public:
    explicit MessageFraming(qsizetype maxBytes)
        : m_maxBytes(maxBytes) {}

    void feed(QByteArrayView bytes);
    // The next whole message, without its NUL; nothing while the message is still incomplete.
    std::optional<QByteArray> next();
    // Whether a message passed the limit since the last clearOverflow().
    bool overflowed() const { return m_overflowed; }
    void clearOverflow() { m_overflowed = false; }
    qsizetype maxBytes() const { return m_maxBytes; }

    static QByteArray frame(QByteArrayView message);

private:
    void compact();

    qsizetype m_maxBytes;
    QByteArray m_buffer;
    qsizetype m_start = 0;   // where the next message begins in m_buffer
    qsizetype m_scanned = 0; // bytes after m_start already known to hold no NUL
    bool m_skipping = false; // inside a message that passed the limit
    bool m_overflowed = false;
};

} // namespace platform::pipe
