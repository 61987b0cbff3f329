#include "platform/cdp/WebSocketHandshake.h"

#include <QCryptographicHash>
#include <QList>
#include <QRandomGenerator>

namespace platform::cdp {

namespace {

// A browser's answer is a few short lines; this leaves room and still reads nothing big.
constexpr qsizetype MaxHeaderBytes = 8 * 1024;

QByteArray randomKey() {
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toBase64();
}

bool hasToken(const QByteArray& value, QByteArrayView token) {
    const QList<QByteArray> tokens = value.split(',');
    return std::any_of(tokens.begin(), tokens.end(), [&](const QByteArray& each) {
        return each.trimmed().compare(token, Qt::CaseInsensitive) == 0;
    });
}

} // namespace

WebSocketHandshake::WebSocketHandshake(const QUrl& url)
    : m_url(url)
    , m_key(randomKey()) {}

QByteArray WebSocketHandshake::request() const {
    QByteArray target = m_url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty() || target.startsWith('?'))
        target.prepend('/');
    return "GET " + target + " HTTP/1.1\r\nHost: " +
           m_url.adjusted(QUrl::RemoveUserInfo).authority(QUrl::FullyEncoded).toLatin1() +
           "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + m_key +
           "\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

WebSocketHandshake::Result WebSocketHandshake::read(QByteArrayView received) {
    const qsizetype end = received.indexOf(QByteArrayView("\r\n\r\n"));
    if (end < 0 && received.size() < MaxHeaderBytes)
        return Result::Incomplete;
    if (end < 0 || end + 4 > MaxHeaderBytes)
        return refuse(Result::Invalid,
                      QStringLiteral("an answer with a header of more than %1 bytes").arg(MaxHeaderBytes));
    const QList<QByteArray> lines = received.first(end).toByteArray().split('\n');
    const QByteArray status = lines.first().trimmed();
    if (!status.startsWith("HTTP/1.1 ") || status.size() < 12)
        return refuse(Result::Invalid, QStringLiteral("an answer that is not HTTP"));
    if (status.mid(9, 3) != "101" || (status.size() > 12 && status[12] != ' '))
        return refuse(Result::Declined, QStringLiteral("the answer \"%1\"").arg(QString::fromLatin1(status)));
    bool upgrade = false, connection = false, accepted = false;
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.first(std::max<qsizetype>(colon, 0)).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "upgrade")
            upgrade = value.compare("websocket", Qt::CaseInsensitive) == 0;
        else if (name == "connection")
            connection = hasToken(value, "upgrade");
        else if (name == "sec-websocket-accept")
            accepted = value == acceptFor(m_key);
        else if (name == "sec-websocket-extensions" || name == "sec-websocket-protocol")
            return refuse(Result::Invalid,
                          QStringLiteral("an answer that picks an extension or subprotocol"));
    }
    if (!upgrade || !connection)
        return refuse(Result::Invalid, QStringLiteral("an answer that does not upgrade to a WebSocket"));
    if (!accepted)
        return refuse(Result::Invalid, QStringLiteral("an answer without the right accept key"));
    m_headerSize = end + 4;
    return Result::Accepted;
}

QByteArray WebSocketHandshake::acceptFor(QByteArrayView key) {
    return QCryptographicHash::hash(key.toByteArray() + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                    QCryptographicHash::Sha1)
        .toBase64();
}

WebSocketHandshake::Result WebSocketHandshake::refuse(Result result, const QString& problem) {
    m_problem = problem;
    return result;
}

} // namespace platform::cdp
