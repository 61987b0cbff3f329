#include "support/BidiClient.h"

#include "support/WaitUntil.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

BidiClient::BidiClient(const QUrl& url) {
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        if (message.contains("id"_L1))
            m_answers.insert(message.value("id"_L1).toInt(), message);
        else if (onEvent)
            onEvent(message.value("method"_L1).toString(), message.value("params"_L1).toObject());
    });
    m_socket.open(url);
    // A Firefox that has just said it listens may still be starting its first window; on a busy
    // machine the session waits for that as long as the start itself may take.
    if (waitUntil([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }))
        m_sessionOpen =
            !call(u"session.new"_s, {{"capabilities"_L1, QJsonObject{}}}, 60000).contains("error"_L1);
}

QJsonObject BidiClient::call(const QString& method, const QJsonObject& params, int timeoutMs) {
    const int id = m_nextId++;
    m_socket.sendTextMessage(QString::fromUtf8(
        QJsonDocument(QJsonObject{{"id"_L1, id}, {"method"_L1, method}, {"params"_L1, params}})
            .toJson(QJsonDocument::Compact)));
    if (!waitUntil([&] { return m_answers.contains(id); }, timeoutMs))
        return {{"error"_L1, u"no answer to "_s + method}};
    const QJsonObject answer = m_answers.take(id);
    if (answer.value("type"_L1).toString() == "error"_L1)
        return {{"error"_L1, answer.value("message"_L1).toString() + u" ("_s + method + u")"_s}};
    return answer.value("result"_L1).toObject();
}

QString BidiClient::installExtension(const QString& folder) {
    const QJsonObject result =
        call(u"webExtension.install"_s,
             {{"extensionData"_L1, QJsonObject{{"type"_L1, "path"_L1}, {"path"_L1, folder}}}});
    return result.value("extension"_L1).toString();
}

QString BidiClient::openTab(const QString& url) {
    // While a popup tab closes, Firefox may take it as the reference for the new tab and give
    // up (DiscardedBrowsingContextError); asked again, it picks a tab that is still there.
    QJsonObject created;
    for (int attempt = 0; attempt < 20; ++attempt) {
        created = call(u"browsingContext.create"_s, {{"type"_L1, "tab"_L1}});
        if (!created.value("error"_L1).toString().startsWith("DiscardedBrowsingContextError"_L1))
            break;
    }
    const QString context = created.value("context"_L1).toString();
    call(u"browsingContext.navigate"_s,
         {{"context"_L1, context}, {"url"_L1, url}, {"wait"_L1, "complete"_L1}});
    return context;
}

QJsonObject BidiClient::click(const QString& context, const QString& selector) {
    const QJsonArray nodes =
        call(u"browsingContext.locateNodes"_s,
             {{"context"_L1, context},
              {"locator"_L1, QJsonObject{{"type"_L1, "css"_L1}, {"value"_L1, selector}}}})
            .value("nodes"_L1)
            .toArray();
    const QString actions = uR"([{"type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
        "actions": [{"type": "pointerMove", "x": 0, "y": 0,
                     "origin": {"type": "element", "element": {"sharedId": "%1"}}},
                    {"type": "pointerDown", "button": 0}, {"type": "pointerUp", "button": 0}]}])"_s;
    return call(
        u"input.performActions"_s,
        {{"context"_L1, context},
         {"actions"_L1,
          QJsonDocument::fromJson(actions.arg(nodes.at(0)["sharedId"_L1].toString()).toUtf8()).array()}});
}
