#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

namespace platform::cdp {

// The opening handshake of a WebSocket client: the upgrade request for one address, with a fresh
// key, and the check of the server's answer. No extension and no subprotocol is ever offered, so
// an answer that picks one is refused.
class WebSocketHandshake {
public:
    enum class Result {
        Incomplete, // the answer's header has not all arrived
        Accepted,   // the first headerSize() bytes were the answer; what follows is frames
        Declined,   // a server that answered with another status (a stale address, say)
        Invalid,    // not the answer of a WebSocket server to this request
    };

    explicit WebSocketHandshake(const QUrl& url);

    QByteArray request() const;
    Result read(QByteArrayView received);
    qsizetype headerSize() const { return m_headerSize; }
    // Why the answer was not accepted.
    QString problem() const { return m_problem; }

    static QByteArray acceptFor(QByteArrayView key);

private:
    Result refuse(Result result, const QString& problem);

    QUrl m_url;
    QByteArray m_key;
    qsizetype m_headerSize = 0;
    QString m_problem;
};

} // namespace platform::cdp
