#include "host/DevToolsRelay.h"

#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace host {

DevToolsRelay::DevToolsRelay(Sink toBrowser)
    : m_toBrowser(std::move(toBrowser)) {}

void DevToolsRelay::request(const QString& method, const QJsonObject& params, Reply onReply) {
    QJsonObject message{{"method"_L1, method}};
    if (!params.isEmpty())
        message.insert("params"_L1, params);
    forward(message, Asked{0, {}, std::move(onReply)});
}

int DevToolsRelay::forward(QJsonObject message, Asked asked) {
    const int id = m_nextId++;
    message.insert("id"_L1, id);
    m_asked.insert(id, std::move(asked));
    m_toBrowser(QJsonDocument(message).toJson(QJsonDocument::Compact));
    return id;
}

void DevToolsRelay::attachClient(Sink toClient) {
    ++m_client;
    m_toClient = std::move(toClient);
}

void DevToolsRelay::detachClient() {
    if (!m_toClient)
        return;
    m_toClient = {};
    // Measured with Chromium 156: ending auto-attach detaches every session, resumes nothing
    // that waits (a held popup stays held, its opener frozen) and lets new tabs start unwatched.
    request(u"Target.setAutoAttach"_s,
            {{"autoAttach"_L1, false}, {"waitForDebuggerOnStart"_L1, false}, {"flatten"_L1, true}});
    request(u"Target.setDiscoverTargets"_s, {{"discover"_L1, false}});
}

void DevToolsRelay::fromBrowser(const QByteArray& message) {
    // Events go on untouched; only answers are rewritten.
    QJsonObject answer = QJsonDocument::fromJson(message).object();
    if (!answer.contains("id"_L1)) {
        if (m_toClient)
            m_toClient(message);
        return;
    }
    Asked asked = m_asked.take(answer.value("id"_L1).toInt());
    if (asked.client == 0) {
        if (asked.onReply)
            asked.onReply(answer);
        return;
    }
    // An answer to a client that has left has nobody to go to.
    if (asked.client != m_client || !m_toClient)
        return;
    answer.insert("id"_L1, asked.id);
    m_toClient(QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

bool DevToolsRelay::fromClient(const QByteArray& message) {
    const QJsonObject request = QJsonDocument::fromJson(message).object();
    if (!request.value("id"_L1).isDouble() || !request.value("method"_L1).isString())
        return false;
    forward(request, Asked{m_client, request.value("id"_L1), {}});
    return true;
}

} // namespace host
