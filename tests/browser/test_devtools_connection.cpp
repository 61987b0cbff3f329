#include "platform/cdp/DevToolsConnection.h"
#include "platform/cdp/Endpoint.h"
#include "platform/pipe/MessageFraming.h"
#include "support/BrowserTestClient.h"

#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QWebSocketServer>
#include <gtest/gtest.h>

using platform::cdp::DevToolsConnection;
using platform::cdp::Endpoint;
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
        EXPECT_FALSE(connection.isOpen());
    }
}

// A stand-in browser on loopback, over a WebSocket or over a local socket with NUL-ended
// messages as the browser's pipe has them: answers requests with whatever the test scripts.
class ScriptedPeer {
public:
    explicit ScriptedPeer(bool pipe) {
        const auto take = [this](const QByteArray& json) {
            received.append(QJsonDocument::fromJson(json).object());
        };
        if (pipe) {
            local.listen(dir.filePath(QStringLiteral("holder")));
            QObject::connect(&local, &QLocalServer::newConnection, [this, take] {
                localSocket = local.nextPendingConnection();
                QObject::connect(localSocket, &QLocalSocket::readyRead, [this, take] {
                    framing.feed(localSocket->readAll());
                    while (const auto message = framing.next())
                        take(*message);
                });
            });
            return;
        }
        web.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&web, &QWebSocketServer::newConnection, [this, take] {
            webSocket = web.nextPendingConnection();
            QObject::connect(webSocket, &QWebSocket::textMessageReceived,
                             [take](const QString& text) { take(text.toUtf8()); });
        });
    }
    bool open(DevToolsConnection& connection) {
        if (web.isListening())
            return connection.open(
                QUrl(QStringLiteral("ws://127.0.0.1:%1/devtools/browser/t").arg(web.serverPort())));
        connection.openPipe(local.fullServerName());
        return true;
    }
    bool connected() const { return webSocket || localSocket; }
    // One message; through the pipe in two parts, which the reader must put together.
    void send(const QString& text) {
        if (webSocket) {
            webSocket->sendTextMessage(text);
            return;
        }
        const QByteArray bytes = text.toUtf8();
        localSocket->write(bytes.left(5));
        localSocket->flush();
        waitUntil([] { return false; }, 50);
        localSocket->write(bytes.mid(5) + '\0');
    }
    // The WebSocket closed; through the pipe, a message that never ends.
    void end() {
        if (webSocket)
            webSocket->close();
        else
            localSocket->write(QByteArray(DevToolsConnection::MaxMessageBytes + 1, ' '));
    }

    QList<QJsonObject> received;

private:
    QWebSocketServer web{QStringLiteral("peer"), QWebSocketServer::NonSecureMode};
    QWebSocket* webSocket = nullptr;
    QTemporaryDir dir;
    QLocalServer local;
    QLocalSocket* localSocket = nullptr;
    MessageFraming framing{1 << 20};
};

class Transport : public ::testing::TestWithParam<bool> {};

TEST_P(Transport, repliesFindTheirRequestsInAnyOrderEventsKeepTheirSessionAndAnEndAnswersTheRest) {
    ScriptedPeer peer(GetParam());
    DevToolsConnection connection;
    ASSERT_TRUE(peer.open(connection));
    ASSERT_TRUE(waitUntil([&] { return connection.isOpen() && peer.connected(); }));
    QStringList answers;
    const auto answer = [&](const QJsonObject& r, const QJsonObject& e) {
        answers.append(r.value("v").toString() + e.value("message").toString());
    };
    const int first = connection.send(QStringLiteral("A.one"), {}, QStringLiteral("S1"), answer);
    const int second = connection.send(QStringLiteral("A.two"), {}, {}, answer);
    connection.send(QStringLiteral("A.three"), {}, {}, answer);
    QList<std::pair<QString, QString>> events;
    QObject::connect(&connection, &DevToolsConnection::eventReceived,
                     [&](const QString& method, const QJsonObject&, const QString& session) {
                         events.append({method, session});
                     });
    ASSERT_TRUE(waitUntil([&] { return peer.received.size() == 3; }));
    EXPECT_EQ(peer.received[0].value("method").toString(), QStringLiteral("A.one"));
    EXPECT_EQ(peer.received[0].value("sessionId").toString(), QStringLiteral("S1"));
    EXPECT_FALSE(peer.received[1].contains("sessionId"));
    peer.send(QStringLiteral(R"({"id":%1,"error":{"message":"no"}})").arg(second));
    peer.send(QStringLiteral(R"({"method":"E.x","params":{},"sessionId":"S9"})"));
    peer.send(QStringLiteral(R"({"id":%1,"result":{"v":"yes"}})").arg(first));
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2 && events.size() == 1; }));
    EXPECT_EQ(answers, (QStringList{"no", "yes"}));
    EXPECT_EQ(events[0], std::make_pair(QStringLiteral("E.x"), QStringLiteral("S9")));

    // The request still open when the connection ends is answered with an error.
    bool closed = false;
    QObject::connect(&connection, &DevToolsConnection::closed, [&] { closed = true; });
    peer.end();
    ASSERT_TRUE(waitUntil([&] { return closed; }, 20000));
    EXPECT_FALSE(connection.isOpen());
    ASSERT_EQ(answers.size(), 3);
    EXPECT_FALSE(answers[2].isEmpty());
    EXPECT_EQ(connection.send(QStringLiteral("A.four")), -1);
}

INSTANTIATE_TEST_SUITE_P(WebSocketAndPipe, Transport, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "pipe" : "websocket"; });

} // namespace
