#include "platform/pipe/MessageFraming.h"

namespace platform::pipe {

void MessageFraming::feed(QByteArrayView bytes) {
    compact();
    m_buffer.append(bytes);
}

std::optional<QByteArray> MessageFraming::next() {
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\0', m_start + m_scanned);
        if (end < 0) {
            m_scanned = m_buffer.size() - m_start;
            if (!m_skipping && m_scanned > m_maxBytes) {
                m_skipping = true;
                m_overflowed = true;
            }
            if (m_skipping) {
                // Nothing of an overlong message is kept while its end is awaited.
                m_buffer.clear();
                m_start = 0;
                m_scanned = 0;
            }
            return std::nullopt;
        }
        const qsizetype length = end - m_start;
        const qsizetype start = std::exchange(m_start, end + 1);
        m_scanned = 0;
        if (std::exchange(m_skipping, false))
            continue;
        if (length > m_maxBytes) {
            m_overflowed = true;
            continue;
        }
        return m_buffer.mid(start, length);
    }
}

void MessageFraming::compact() {
    if (m_start == 0)
        return;
    m_buffer.remove(0, m_start);
    m_start = 0;
}

QByteArray MessageFraming::frame(QByteArrayView message) {
    QByteArray framed;
    framed.reserve(message.size() + 1);
    framed.append(message);
    framed.append('\0');
    return framed;
}

} // namespace platform::pipe
