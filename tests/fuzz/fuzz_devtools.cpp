// Incoming DevTools messages: any frame is sorted without harm, the sorting agrees with what a
// well-formed copy of the message gives, and the connection hands on exactly the events. The
// same bytes as a pipe stream: cut into NUL-ended messages the same way however they arrive,
// none over the limit ever handed out, and an overlong one always noticed.
#include "FuzzCheck.h"
#include "platform/cdp/DevToolsConnection.h"
#include "platform/cdp/DevToolsMessage.h"
#include "platform/pipe/MessageFraming.h"

#include <QJsonDocument>

using platform::cdp::DevToolsConnection;
using platform::cdp::DevToolsMessage;

namespace {

DevToolsMessage reparse(const QJsonObject& message) {
    return DevToolsMessage::parse(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)),
                                  DevToolsConnection::MaxMessageBytes);
}

int eventsHandedOn = 0;

void checkPipeFraming(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    // The first byte picks the limit and how the stream is cut into reads.
    const qsizetype limit = static_cast<unsigned char>(bytes[0]) % 24;
    const qsizetype step = static_cast<unsigned char>(bytes[0]) % 7 + 1;
    platform::pipe::MessageFraming framing(limit);
    QList<QByteArray> messages;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        framing.feed(QByteArrayView(bytes).sliced(at, std::min(step, bytes.size() - at)));
        while (const auto message = framing.next())
            messages << *message;
    }
    QList<QByteArray> pieces = bytes.split('\0');
    const QByteArray unfinished = pieces.takeLast();
    QList<QByteArray> expected;
    bool overlong = unfinished.size() > limit;
    for (const QByteArray& piece : pieces) {
        if (piece.size() > limit)
            overlong = true;
        else
            expected << piece;
    }
    FUZZ_CHECK(messages == expected);
    FUZZ_CHECK(framing.overflowed() == overlong);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static DevToolsConnection connection;
    static const auto counting =
        QObject::connect(&connection, &DevToolsConnection::eventReceived, &connection,
                         [](const QString&, const QJsonObject&, const QString&) { ++eventsHandedOn; });
    (void)counting;
    checkPipeFraming(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const DevToolsMessage message = DevToolsMessage::parse(text, DevToolsConnection::MaxMessageBytes);
    using Kind = DevToolsMessage::Kind;
    // The limit is exact: a frame of just the allowed length is read, one character more is not.
    if (!text.isEmpty()) {
        FUZZ_CHECK(DevToolsMessage::parse(text, text.size() - 1).kind == Kind::Oversized);
        FUZZ_CHECK(DevToolsMessage::parse(text, text.size()).kind == message.kind);
    }

    switch (message.kind) {
    case Kind::Reply: {
        FUZZ_CHECK(message.method.isEmpty());
        const DevToolsMessage copy = reparse({{QStringLiteral("id"), message.id},
                                              {QStringLiteral("result"), message.result},
                                              {QStringLiteral("error"), message.error},
                                              {QStringLiteral("sessionId"), message.sessionId}});
        FUZZ_CHECK(copy.kind == Kind::Reply && copy.id == message.id);
        FUZZ_CHECK(copy.result == message.result && copy.error == message.error);
        FUZZ_CHECK(copy.sessionId == message.sessionId);
        break;
    }
    case Kind::Event: {
        FUZZ_CHECK(!message.method.isEmpty());
        const DevToolsMessage copy = reparse({{QStringLiteral("method"), message.method},
                                              {QStringLiteral("params"), message.params},
                                              {QStringLiteral("sessionId"), message.sessionId}});
        FUZZ_CHECK(copy.kind == Kind::Event && copy.method == message.method);
        FUZZ_CHECK(copy.params == message.params && copy.sessionId == message.sessionId);
        break;
    }
    case Kind::Oversized:
        FUZZ_CHECK(false); // no fuzz input comes near the real limit
        break;
    case Kind::Malformed:
    case Kind::Unrouted:
        FUZZ_CHECK(message.method.isEmpty() && message.id == -1);
        break;
    }

    eventsHandedOn = 0;
    connection.handleMessage(text);
    FUZZ_CHECK(eventsHandedOn == (message.kind == Kind::Event ? 1 : 0));
    return 0;
}
