#include "support/BrowserTestClient.h"

#include "platform/Failure.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <memory>

using namespace Qt::StringLiterals;

BrowserTestClient::BrowserTestClient(const QUrl& webSocketUrl) {
    QObject::connect(&m_connection, &platform::cdp::DevToolsConnection::eventReceived,
                     [this](auto& m, auto& p, auto&) {
                         m_events.append({m, p});
                     });
    m_connection.open(webSocketUrl);
    waitUntil([this] { return m_connection.isOpen(); });
}

QJsonObject BrowserTestClient::call(const QString& method, const QJsonObject& params,
                                    const QString& sessionId, int timeoutMs) {
    // An answer that comes after this call gave up must land somewhere that still exists.
    struct Answer {
        bool answered = false;
        QJsonObject result;
        QJsonObject error;
    };
    const auto answer = std::make_shared<Answer>();
    if (m_connection.send(method, params, sessionId, [answer](const QJsonObject& r, const QJsonObject& e) {
            *answer = {true, r, e};
        }) < 0)
        throw zor::Failure(u"test client: not connected"_s);
    if (!waitUntil([&] { return answer->answered; }, timeoutMs))
        throw zor::Failure(u"test client: no answer to "_s + method);
    if (!answer->error.isEmpty())
        throw zor::Failure(method + u": "_s + answer->error.value("message"_L1).toString());
    return answer->result;
}

QString BrowserTestClient::openTab(const QString& url) {
    return call(u"Target.createTarget"_s, {{"url"_L1, url}}).value("targetId"_L1).toString();
}

QString BrowserTestClient::attach(const QString& targetId) {
    return call(u"Target.attachToTarget"_s, {{"targetId"_L1, targetId}, {"flatten"_L1, true}})
        .value("sessionId"_L1)
        .toString();
}

QJsonValue BrowserTestClient::evaluate(const QString& sessionId, const QString& expression,
                                       bool awaitPromise) {
    const QJsonObject result =
        call(u"Runtime.evaluate"_s,
             {{"expression"_L1, expression}, {"awaitPromise"_L1, awaitPromise}, {"returnByValue"_L1, true}},
             sessionId);
    return result.value("result"_L1).toObject().value("value"_L1);
}

void BrowserTestClient::click(const QString& sessionId, const QString& selector, int modifiers) {
    const QJsonObject box =
        evaluate(sessionId,
                 u"(() => { const r = document.querySelector(%1).getBoundingClientRect();"
                 " return {x: r.left + r.width / 2, y: r.top + r.height / 2}; })()"_s.arg(jsString(selector)))
            .toObject();
    for (const char* type : {"mousePressed", "mouseReleased"}) {
        // Fire and forget: the release may be answered only after a popup it opens is decided.
        QJsonObject params{
            {"type"_L1, QLatin1String(type)}, {"x"_L1, box.value("x"_L1)}, {"y"_L1, box.value("y"_L1)},
            {"button"_L1, "left"_L1},         {"clickCount"_L1, 1},        {"modifiers"_L1, modifiers}};
        m_connection.send(u"Input.dispatchMouseEvent"_s, params, sessionId);
    }
}

QList<QJsonObject> BrowserTestClient::pageTargets() {
    QList<QJsonObject> pages;
    for (const QJsonValue& info : call(u"Target.getTargets"_s).value("targetInfos"_L1).toArray())
        if (info.toObject().value("type"_L1).toString() == "page"_L1)
            pages.append(info.toObject());
    return pages;
}

QString BrowserTestClient::jsString(const QString& text) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}
