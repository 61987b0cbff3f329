#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

namespace platform::firefox {

// Firefox's native-messaging framing: a 32-bit length in the machine's byte order, then that
// many bytes of UTF-8 JSON. The relay and the program use it on the local socket too, so one
// reader serves both streams.
class FrameReader {
public:
    // Firefox takes at most 1 MiB from a native host; nothing we send or expect is larger.
    static constexpr std::uint32_t DefaultLimit = 1024 * 1024;

    explicit FrameReader(std::uint32_t limit = DefaultLimit)
        : m_limit(limit) {}

    void append(const QByteArray& bytes) { m_buffer.append(bytes); }
    // The next whole frame's payload, or nothing when more bytes are needed. Once a length over
    // the limit has been read, the stream cannot be resynchronised: overrun() stays true and
    // nothing more is returned.
    std::optional<QByteArray> next();
    bool overrun() const { return m_overrun; }
    std::uint32_t announcedLength() const { return m_announced; }
    qsizetype buffered() const { return m_buffer.size(); }

private:
    std::uint32_t m_limit;
    QByteArray m_buffer;
    bool m_overrun = false;
    std::uint32_t m_announced = 0;
};

// The payload with its length in front.
QByteArray frame(const QByteArray& payload);

} // namespace platform::firefox
