// Incoming DevTools messages: any frame is sorted without harm, the sorting agrees with what a
// well-formed copy of the message gives, and the connection hands on exactly the events.
#include "FuzzCheck.h"
#include "platform/cdp/DevToolsConnection.h"
#include "platform/cdp/DevToolsMessage.h"

#include <QCoreApplication>
#include <QJsonDocument>

using platform::cdp::DevToolsConnection;
using platform::cdp::DevToolsMessage;

namespace {

DevToolsMessage reparse(const QJsonObject& message) {
    return DevToolsMessage::parse(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)),
                                  DevToolsConnection::MaxMessageBytes);
}

int eventsHandedOn = 0;

DevToolsConnection& connection() {
    static int argc = 1;
    static char name[] = "fuzz_devtools";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static DevToolsConnection connection;
    static const bool connected = [] {
        QObject::connect(&connection, &DevToolsConnection::eventReceived, &connection,
                         [](const QString&, const QJsonObject&, const QString&) { ++eventsHandedOn; });
        return true;
    }();
    (void)connected;
    return connection;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quietLogging();
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
    connection().handleMessage(text);
    FUZZ_CHECK(eventsHandedOn == (message.kind == Kind::Event ? 1 : 0));
    return 0;
}
