#include "platform/cdp/DevToolsMessage.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace platform::cdp {

DevToolsMessage DevToolsMessage::parse(const QString& text, qint64 maxChars) {
    DevToolsMessage out;
    if (text.size() > maxChars) {
        out.kind = Kind::Oversized;
        return out;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        out.kind = Kind::Malformed;
        out.problem = error.errorString();
        return out;
    }
    const QJsonObject message = document.object();
    out.sessionId = message.value(QStringLiteral("sessionId")).toString();
    if (message.contains(QStringLiteral("id"))) {
        out.kind = Kind::Reply;
        out.id = message.value(QStringLiteral("id")).toInt(-1);
        out.hasError = message.contains(QStringLiteral("error"));
        out.result = message.value(QStringLiteral("result")).toObject();
        out.error = message.value(QStringLiteral("error")).toObject();
        return out;
    }
    out.method = message.value(QStringLiteral("method")).toString();
    if (out.method.isEmpty()) {
        out.kind = Kind::Unrouted;
        return out;
    }
    out.kind = Kind::Event;
    out.params = message.value(QStringLiteral("params")).toObject();
    return out;
}

} // namespace platform::cdp
