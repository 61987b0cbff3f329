#pragma once

#include <QJsonObject>
#include <QString>

namespace platform::cdp {

// One incoming DevTools text frame, sorted into what the connection does with it: a reply to
// be matched to its request, an event to hand on, or a message dropped for a reason.
struct DevToolsMessage {
    enum class Kind { Reply, Event, Oversized, Malformed, Unrouted };

    Kind kind = Kind::Malformed;
    // Reply: the request it answers; -1 when the "id" is not a whole number.
    int id = -1;
    // Reply: whether an "error" member was there at all, whatever its shape.
    bool hasError = false;
    QJsonObject result;
    QJsonObject error;
    // Event: never empty.
    QString method;
    QJsonObject params;
    QString sessionId;
    // Malformed: what the JSON parser said.
    QString problem;

    // Frames longer than maxChars are not parsed at all.
    static DevToolsMessage parse(const QString& text, qint64 maxChars);
};

} // namespace platform::cdp
