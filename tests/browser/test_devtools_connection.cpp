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

struct EndpointCase {
    const char* text;
    bool accepted;
};

class EndpointText : public ::testing::TestWithParam<EndpointCase> {};

TEST_P(EndpointText, onlyPortsAndLoopbackWebSocketsAreAccepted) {
    EXPECT_EQ(Endpoint::parse(QString::fromLatin1(GetParam().text)).has_value(), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(Texts, EndpointText,
                         ::testing::Values(EndpointCase{"9222", true}, EndpointCase{" 9222 ", true},
                                           EndpointCase{"0", false}, EndpointCase{"65536", false},
                                           EndpointCase{"ws://127.0.0.1:9222/devtools/browser/x", true},
                                           EndpointCase{"ws://127.5.0.1:9222/devtools/browser/x", true},
                                           EndpointCase{"ws://[::1]:9222/devtools/browser/x", true},
                                           EndpointCase{"ws://localhost:9222/devtools/browser/x", false},
                                           EndpointCase{"ws://10.0.0.1:9222/devtools/browser/x", false},
                                           EndpointCase{"ws://127.0.0.1/devtools/browser/x", false},
                                           EndpointCase{"wss://127.0.0.1:9222/x", false},
                                           EndpointCase{"http://127.0.0.1:9222/", false},
                                           EndpointCase{"ws://u@127.0.0.1:9222/x", false},
                                           EndpointCase{"", false}));

// A stand-in browser on loopback: answers requests with whatever the test scripts.
class ScriptedPeer {
public:
    ScriptedPeer()
        : server(QStringLiteral("peer"), QWebSocketServer::NonSecureMode) {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QWebSocketServer::newConnection, [this] {
            socket = server.nextPendingConnection();
            QObject::connect(socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
                received.append(QJsonDocument::fromJson(text.toUtf8()).object());
            });
        });
    }
    QUrl url() const {
        return QUrl(QStringLiteral("ws://127.0.0.1:%1/devtools/browser/t").arg(server.serverPort()));
    }

    QWebSocketServer server;
    QWebSocket* socket = nullptr;
    QList<QJsonObject> received;
};

TEST(DevToolsConnection, repliesFindTheirRequestsInAnyOrderEventsKeepTheirSessionAndADropAnswersTheRest) {
    ScriptedPeer peer;
    DevToolsConnection connection;
    ASSERT_TRUE(connection.open(peer.url()));
    ASSERT_TRUE(waitUntil([&] { return connection.isOpen() && peer.socket; }));
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
    EXPECT_EQ(peer.received[0].value("sessionId").toString(), QStringLiteral("S1"));
    EXPECT_FALSE(peer.received[1].contains("sessionId"));
    peer.socket->sendTextMessage(QStringLiteral(R"({"id":%1,"error":{"message":"no"}})").arg(second));
    peer.socket->sendTextMessage(QStringLiteral(R"({"method":"E.x","params":{},"sessionId":"S9"})"));
    peer.socket->sendTextMessage(QStringLiteral(R"({"id":%1,"result":{"v":"yes"}})").arg(first));
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2 && events.size() == 1; }));
    EXPECT_EQ(answers, (QStringList{"no", "yes"}));
    EXPECT_EQ(events[0], std::make_pair(QStringLiteral("E.x"), QStringLiteral("S9")));

    // The request still open when the connection drops is answered with an error.
    bool closed = false;
    QObject::connect(&connection, &DevToolsConnection::closed, [&] { closed = true; });
    peer.socket->close();
    ASSERT_TRUE(waitUntil([&] { return closed; }));
    ASSERT_EQ(answers.size(), 3);
    EXPECT_FALSE(answers[2].isEmpty());
    EXPECT_EQ(connection.send(QStringLiteral("A.four")), -1);
}

// A stand-in holder on a local socket: NUL-ended messages, as the browser's pipe has them.
struct ScriptedHolder {
    QTemporaryDir dir;
    QLocalServer server;
    QLocalSocket* socket = nullptr;
    QList<QJsonObject> received;
    MessageFraming framing{1 << 20};
    ScriptedHolder() {
        server.listen(dir.filePath(QStringLiteral("holder")));
        QObject::connect(&server, &QLocalServer::newConnection, [this] {
            socket = server.nextPendingConnection();
            QObject::connect(socket, &QLocalSocket::readyRead, [this] {
                framing.feed(socket->readAll());
                while (const auto message = framing.next())
                    received.append(QJsonDocument::fromJson(*message).object());
            });
        });
    }
};

TEST(DevToolsConnection, overThePipeRepliesFindTheirRequestsAndAMessageWithoutItsEndClosesIt) {
    ScriptedHolder holder;
    DevToolsConnection connection;
    connection.openPipe(holder.server.fullServerName());
    ASSERT_TRUE(waitUntil([&] { return connection.isOpen() && holder.socket; }));
    QStringList answers;
    const auto answer = [&](const QJsonObject& r, const QJsonObject& e) {
        answers.append(r.value("v").toString() + e.value("message").toString());
    };
    const int id = connection.send(QStringLiteral("A.one"), {}, {}, answer);
    connection.send(QStringLiteral("A.two"), {}, {}, answer);
    ASSERT_TRUE(waitUntil([&] { return holder.received.size() == 2; }));
    EXPECT_EQ(holder.received[0].value("method").toString(), QStringLiteral("A.one"));
    const QByteArray reply = QStringLiteral(R"({"id":%1,"result":{"v":"yes"}})").arg(id).toUtf8();
    holder.socket->write(reply.left(5));
    holder.socket->flush();
    waitUntil([] { return false; }, 50);
    holder.socket->write(reply.mid(5) + '\0');
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 1; }));
    EXPECT_EQ(answers[0], QStringLiteral("yes"));

    bool closed = false;
    QObject::connect(&connection, &DevToolsConnection::closed, [&] { closed = true; });
    holder.socket->write(QByteArray(DevToolsConnection::MaxMessageBytes + 1, ' '));
    EXPECT_TRUE(waitUntil([&] { return closed; }, 20000));
    EXPECT_FALSE(connection.isOpen());
    ASSERT_EQ(answers.size(), 2) << "the request still open is answered with an error";
    EXPECT_FALSE(answers[1].isEmpty());
}

TEST(DevToolsConnection, refusesToOpenAnythingButLoopback) {
    DevToolsConnection connection;
    EXPECT_FALSE(connection.open(QUrl(QStringLiteral("ws://192.0.2.1:9222/devtools/browser/x"))));
    EXPECT_FALSE(connection.isOpen());
}

} // namespace
