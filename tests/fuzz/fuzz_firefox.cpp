// Bytes from Firefox or a relay: any stream is cut into frames within the limit, every message
// that is accepted reads back the same after being written out, and the program's side takes
// any payload without failing.
#include "FuzzCheck.h"
#include "platform/firefox/FirefoxConnection.h"
#include "platform/firefox/wire/ExtensionMessage.h"
#include "platform/firefox/wire/NativeFrame.h"

using platform::firefox::ExtensionMessage;
using platform::firefox::FirefoxConnection;
using platform::firefox::FrameReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FirefoxConnection connection(nullptr);
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    constexpr std::uint32_t limit = 4096;

    FrameReader reader(limit);
    reader.append(bytes);
    QList<QByteArray> payloads;
    while (const auto payload = reader.next())
        payloads.append(*payload);
    for (const QByteArray& payload : payloads)
        FUZZ_CHECK(payload.size() <= qsizetype(limit));
    FUZZ_CHECK(reader.overrun() || reader.buffered() < qsizetype(sizeof(std::uint32_t)) + qsizetype(limit));

    // The whole input as one payload too, so the messages themselves are fuzzed.
    payloads.append(bytes);
    for (const QByteArray& payload : payloads) {
        for (const auto direction :
             {ExtensionMessage::Direction::FromBrowser, ExtensionMessage::Direction::ToBrowser}) {
            const auto message = ExtensionMessage::parse(payload, direction);
            if (!message)
                continue;
            FUZZ_CHECK(message->direction() == direction);
            const auto again = ExtensionMessage::parse(message->toJson(), direction);
            FUZZ_CHECK(again && again->toJson() == message->toJson());
        }
        connection.handleMessage(payload);
    }
    return 0;
}
