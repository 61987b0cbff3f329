#include "platform/firefox/wire/NativeFrame.h"

#include <cstring>

namespace platform::firefox {

std::optional<QByteArray> FrameReader::next() {
    if (m_overrun || m_buffer.size() < qsizetype(sizeof(std::uint32_t)))
        return std::nullopt;
    std::uint32_t length = 0;
    std::memcpy(&length, m_buffer.constData(), sizeof length);
    m_announced = length;
    if (length > m_limit) {
        m_overrun = true;
        m_buffer.clear();
        return std::nullopt;
    }
    const qsizetype total = qsizetype(sizeof length) + qsizetype(length);
    if (m_buffer.size() < total)
        return std::nullopt;
    QByteArray payload = m_buffer.mid(sizeof length, length);
    m_buffer.remove(0, total);
    return payload;
}

QByteArray frame(const QByteArray& payload) {
    const auto length = static_cast<std::uint32_t>(payload.size());
    QByteArray bytes(sizeof length, Qt::Uninitialized);
    std::memcpy(bytes.data(), &length, sizeof length);
    return bytes + payload;
}

} // namespace platform::firefox
