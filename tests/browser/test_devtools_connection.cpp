#include "platform/cdp/DevToolsConnection.h"
#include "platform/cdp/Endpoint.h"
#include "platform/cdp/WebSocketTransport.h"
#include "platform/pipe/MessageFraming.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProxy.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::cdp::DevToolsConnection;
using platform::cdp::Endpoint;
using platform::cdp::WebSocketTransport;
using platform::pipe::MessageFraming;

namespace {

// Only ports and loopback WebSocket addresses; what the parser refuses, a connection refuses to open.
TEST(Endpoint, onlyPortsAndLoopbackWebSocketsAreAcceptedAndNothingElseIsOpened) {
    for (const char* text : {"9222", " 9222 ", "ws://127.0.0.1:9222/devtools/browser/x",
                             "ws://127.5.0.1:9222/devtools/browser/x", "ws://[::1]:9222/devtools/browser/x"})
        EXPECT_TRUE(Endpoint::parse(QString::fromLatin1(text)).has_value()) << text;
    for (const char* text :
         {"0", "65536", "ws://localhost:9222/devtools/browser/x", "ws://10.0.0.1:9222/devtools/browser/x",
          "ws://127.0.0.1/devtools/browser/x", "wss://127.0.0.1:9222/x", "http://127.0.0.1:9222/",
          "ws://u@127.0.0.1:9222/x", ""}) {
        EXPECT_FALSE(Endpoint::parse(QString::fromLatin1(text)).has_value()) << text;
        DevToolsConnection connection;
        EXPECT_FALSE(connection.open(QUrl(QString::fromLatin1(text)))) << text;
    }
}

// A stand-in browser on a local socket with NUL-ended messages, as the browser's pipe has them:
// answers requests with whatever the test scripts. What the connection does with messages is the
// same over a WebSocket, whose frames the table below covers; how a stream is cut into messages
// is the fuzz target's.
TEST(Transport, repliesFindTheirRequestsInAnyOrderEventsKeepTheirSessionAndAnEndAnswersTheRest) {
    QTemporaryDir dir;
    QLocalServer local;
    local.listen(dir.filePath(QStringLiteral("holder")));
    QLocalSocket* peer = nullptr;
    MessageFraming framing{8 << 20};
    QList<QJsonObject> received;
    QObject::connect(&local, &QLocalServer::newConnection, [&] {
        peer = local.nextPendingConnection();
        QObject::connect(peer, &QLocalSocket::readyRead, [&] {
            framing.feed(peer->readAll());
            while (const auto message = framing.next())
                received.append(QJsonDocument::fromJson(*message).object());
        });
    });
    const auto send = [&](const QString& text) { peer->write(text.toUtf8() + '\0'); };
    DevToolsConnection connection;
    connection.openPipe(local.fullServerName());
    ASSERT_TRUE(waitUntil([&] { return connection.isOpen() && peer; }));
    QStringList answers;
    const auto answer = [&](const QJsonObject& r, const QJsonObject& e) {
        answers.append(r.value("v").toString() + e.value("message").toString());
    };
    // Far more than the socket takes at once: the rest must follow as the peer reads.
    const QString blob(4 << 20, u'b');
    const int first =
        connection.send(QStringLiteral("A.one"), {{"blob", blob}}, QStringLiteral("S1"), answer);
    const int second = connection.send(QStringLiteral("A.two"), {}, {}, answer);
    connection.send(QStringLiteral("A.three"), {}, {}, answer);
    QList<std::pair<QString, QString>> events;
    QObject::connect(&connection, &DevToolsConnection::eventReceived,
                     [&](const QString& method, const QJsonObject&, const QString& session) {
                         events.append({method, session});
                     });
    ASSERT_TRUE(waitUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received[0].value("method").toString(), QStringLiteral("A.one"));
    EXPECT_EQ(received[0].value("sessionId").toString(), QStringLiteral("S1"));
    EXPECT_EQ(received[0].value("params").toObject().value("blob").toString(), blob);
    EXPECT_FALSE(received[1].contains("sessionId"));
    send(QStringLiteral(R"({"id":%1,"error":{"message":"no"}})").arg(second));
    send(QStringLiteral(R"({"method":"E.x","params":{},"sessionId":"S9"})"));
    send(QStringLiteral(R"({"id":%1,"result":{"v":"yes"}})").arg(first));
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2 && events.size() == 1; }));
    EXPECT_EQ(answers, (QStringList{"no", "yes"}));
    EXPECT_EQ(events[0], std::make_pair(QStringLiteral("E.x"), QStringLiteral("S9")));

    // The request still open when the connection ends (here: with a message that never ends) is
    // answered with an error.
    bool closed = false;
    QObject::connect(&connection, &DevToolsConnection::closed, [&] { closed = true; });
    peer->write(QByteArray(DevToolsConnection::MaxMessageBytes + 1, ' '));
    ASSERT_TRUE(waitUntil([&] { return closed; }, 20000));
    ASSERT_EQ(answers.size(), 3);
    EXPECT_FALSE(answers[2].isEmpty());
    EXPECT_EQ(connection.send(QStringLiteral("A.four")), -1);
}

// What the client sent after its request, unmasked: each frame's first byte, then its payload.
QByteArrayList clientFrames(QByteArray bytes) {
    QByteArrayList frames;
    bytes.remove(0, bytes.indexOf("\r\n\r\n") + 4);
    while (bytes.size() >= 6) {
        if (!(bytes[1] & 0x80))
            return frames << "unmasked";
        const qsizetype length = bytes[1] & 0x7f;
        QByteArray payload = bytes.mid(6, length);
        for (qsizetype i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<char>(payload[i] ^ bytes[2 + i % 4]);
        frames << bytes[0] + payload;
        bytes.remove(0, 6 + length);
    }
    return frames;
}

// A server on loopback answers the handshake as a row says, then sends the row's frames and a
// close of its own, in the same write as its answer or a byte at a time.
TEST(WebSocketTransport, whatTheServerGetsWrongEndsTheConnectionOnceAndNothingOfItReachesTheProgram) {
    const QByteArray ok("HTTP/1.1 101 Switching Protocols"), close = serverFrame('\x88', "\x03\xe8");
    const QByteArray text = serverFrame('\x81', "one"), big(200, 'x');
    const auto closing = [](int code) { return QByteArray("\x88") + char(code >> 8) + char(code); };
    const auto pong = [](const QByteArray& payload) { return '\x8a' + payload; };
    const QByteArray fragments = serverFrame('\x01', "frag") + serverFrame('\x89', "p") +
                                 serverFrame('\x00', "men") + serverFrame('\x80', "ted");
    struct Row {
        const char* what;
        QByteArray status;
        bool rightKey;
        QByteArray frames;
        QStringList messages;
        QByteArrayList sent; // by the client after its request
        bool byteAtATime = false;
    } rows[] = {
        {"wrong accept key", ok, false, text, {}, {}},
        {"another status", "HTTP/1.1 404 Not Found", true, text, {}, {}},
        {"a byte at a time", ok, true, text + serverFrame('\x81', big), {"one", big}, {closing(1000)}, true},
        {"fragments, a ping between", ok, true, fragments, {"fragmented"}, {pong("p"), closing(1000)}},
        {"masked frame", ok, true, text + serverFrame('\x81', "a", true), {"one"}, {closing(1002)}},
        {"oversized", ok, true, serverFrame('\x01', big) + serverFrame('\x80', big), {}, {closing(1009)}},
        {"invalid UTF-8", ok, true, serverFrame('\x81', "\xc3("), {}, {closing(1007)}},
    };
    for (const Row& row : rows) {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        QTcpSocket* peer = nullptr;
        QByteArray received, answer;
        QObject::connect(&server, &QTcpServer::newConnection, [&] {
            peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, [&] {
                received += peer->readAll();
                const qsizetype at = received.indexOf("Sec-WebSocket-Key: ") + 19;
                if (!answer.isEmpty() || !received.contains("\r\n\r\n"))
                    return;
                const QByteArray key = received.mid(at, received.indexOf('\r', at) - at);
                const QByteArray accept = QCryptographicHash::hash(
                    key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1);
                answer = row.status +
                         "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " +
                         (row.rightKey ? accept.toBase64() : "x") + "\r\n\r\n" + row.frames + close;
                if (!row.byteAtATime)
                    peer->write(answer);
            });
        });
        WebSocketTransport transport(
            QUrl(QStringLiteral("ws://127.0.0.1:%1/devtools/browser/t").arg(server.serverPort())), 256);
        QStringList messages;
        int closed = 0;
        QObject::connect(&transport, &WebSocketTransport::messageReceived,
                         [&](const QString& m) { messages << m; });
        QObject::connect(&transport, &WebSocketTransport::closed, [&] { ++closed; });
        ASSERT_TRUE(waitUntil([&] { return !answer.isEmpty(); })) << row.what;
        for (qsizetype i = 0; row.byteAtATime && i < answer.size(); ++i) {
            peer->write(answer.sliced(i, 1));
            peer->flush();
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(waitUntil([&] { return closed && peer->state() == QAbstractSocket::UnconnectedState; }))
            << row.what;
        received += peer->readAll();
        EXPECT_TRUE(received.startsWith("GET /devtools/browser/t HTTP/1.1\r\n")) << row.what;
        EXPECT_EQ(messages, row.messages) << row.what;
        EXPECT_EQ(clientFrames(received), row.sent) << row.what;
        EXPECT_EQ(closed, 1) << row.what;
    }
}

} // namespace
