// The holder's relay between a browser's pipe and the programs that use it one after another.
#include "host/DevToolsRelay.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using host::DevToolsRelay;

namespace {

QJsonObject json(const QByteArray& text) {
    return QJsonDocument::fromJson(text).object();
}

struct Wire {
    QList<QJsonObject> toBrowser;
    QList<QByteArray> toA, toB;
    DevToolsRelay relay{[this](const QByteArray& m) { toBrowser << json(m); }};

    int lastBrowserId() const { return toBrowser.last().value("id"_L1).toInt(); }
    void answer(int id) { relay.fromBrowser(u"{\"id\":%1,\"result\":{}}"_s.arg(id).toUtf8()); }
};

TEST(DevToolsRelay, answersGoOnlyToTheClientThatAskedWithItsOwnId) {
    Wire wire;
    wire.relay.attachClient([&](const QByteArray& m) { wire.toA << m; });
    ASSERT_TRUE(wire.relay.fromClient(R"({"id":1,"method":"Browser.getVersion"})"));
    const int first = wire.lastBrowserId();
    ASSERT_TRUE(wire.relay.fromClient(R"({"id":2,"method":"Page.enable","sessionId":"S"})"));
    EXPECT_EQ(wire.toBrowser.last().value("sessionId"_L1).toString(), u"S"_s);
    wire.answer(first);
    ASSERT_EQ(wire.toA.size(), 1);
    EXPECT_EQ(json(wire.toA[0]).value("id"_L1).toInt(), 1);

    // The client leaves with request 2 unanswered; the browser is left unwatched.
    const int second = wire.lastBrowserId();
    wire.relay.detachClient();
    QStringList reset;
    for (const QJsonObject& m : wire.toBrowser.mid(2))
        reset << m.value("method"_L1).toString();
    EXPECT_EQ(reset, (QStringList{u"Target.setAutoAttach"_s, u"Target.setDiscoverTargets"_s}));
    EXPECT_FALSE(wire.toBrowser[2].value("params"_L1).toObject().value("autoAttach"_L1).toBool(true));

    // The next client counts its ids from 1 again: the old answer must not reach it as its own.
    wire.relay.attachClient([&](const QByteArray& m) { wire.toB << m; });
    ASSERT_TRUE(wire.relay.fromClient(R"({"id":2,"method":"Target.setAutoAttach"})"));
    const int third = wire.lastBrowserId();
    EXPECT_NE(third, second);
    wire.answer(second);
    EXPECT_TRUE(wire.toB.isEmpty());
    wire.answer(third);
    ASSERT_EQ(wire.toB.size(), 1);
    EXPECT_EQ(json(wire.toB[0]).value("id"_L1).toInt(), 2);
    EXPECT_EQ(wire.toA.size(), 1);
}

TEST(DevToolsRelay, eventsReachTheAttachedClientUntouchedAndTheHoldersOwnAnswersOnlyTheHolder) {
    Wire wire;
    const QByteArray event = R"({"method":"Target.attachedToTarget","params":{"sessionId":"S"}})";
    wire.relay.fromBrowser(event);
    wire.relay.attachClient([&](const QByteArray& m) { wire.toA << m; });
    wire.relay.fromBrowser(event);
    QString product;
    wire.relay.request(u"Browser.getVersion"_s, {}, [&](const QJsonObject& answer) {
        product = answer.value("result"_L1).toObject().value("product"_L1).toString();
    });
    wire.relay.fromBrowser(
        u"{\"id\":%1,\"result\":{\"product\":\"Chrome/156\"}}"_s.arg(wire.lastBrowserId()).toUtf8());
    EXPECT_EQ(product, u"Chrome/156"_s);
    wire.relay.detachClient();
    wire.relay.fromBrowser(event);
    EXPECT_EQ(wire.toA, QList<QByteArray>{event});
}

TEST(DevToolsRelay, whatIsNoRequestIsNotPassedOn) {
    Wire wire;
    wire.relay.attachClient([](const QByteArray&) {});
    for (const QByteArray& bad : {QByteArray("{"), QByteArray("[1]"), QByteArray(R"({"method":"X"})"),
                                  QByteArray(R"({"id":"1","method":"X"})"), QByteArray(R"({"id":1})")})
        EXPECT_FALSE(wire.relay.fromClient(bad)) << bad.toStdString();
    EXPECT_TRUE(wire.toBrowser.isEmpty());
}

} // namespace
