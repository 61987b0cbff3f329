#include "platform/cdp/Endpoint.h"

#include "platform/cdp/CdpLog.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>

namespace platform::cdp {

namespace {

// A real file is two short lines; this leaves room and still reads nothing big.
constexpr qint64 MaxActivePortBytes = 1024;

bool isPortText(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 5)
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isBrowserPath(QByteArrayView path) {
    static constexpr QByteArrayView prefix("/devtools/browser/");
    if (!path.startsWith(prefix) || path.size() == prefix.size())
        return false;
    const QByteArrayView id = path.sliced(prefix.size());
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
    });
}

} // namespace

std::optional<Endpoint> Endpoint::fromActivePort(QByteArrayView bytes) {
    if (bytes.size() > MaxActivePortBytes)
        return std::nullopt;
    const qsizetype lineEnd = bytes.indexOf('\n');
    if (lineEnd < 0)
        return std::nullopt;
    const QByteArrayView portText = bytes.first(lineEnd).trimmed();
    QByteArrayView path = bytes.sliced(lineEnd + 1);
    if (const qsizetype end = path.indexOf('\n'); end >= 0) {
        if (!path.sliced(end).trimmed().isEmpty())
            return std::nullopt;
        path = path.first(end);
    }
    path = path.trimmed();
    if (!isPortText(portText) || !isBrowserPath(path))
        return std::nullopt;
    const uint port = portText.toUInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1%2").arg(port).arg(QString::fromLatin1(path)),
                   QUrl::StrictMode);
    if (!isLoopbackWebSocket(url))
        return std::nullopt;
    return Endpoint{static_cast<quint16>(port), url};
}

std::optional<Endpoint> Endpoint::fromActivePortFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt; // no browser running with that profile: nothing to tell
    const QByteArray bytes = file.read(MaxActivePortBytes + 1);
    auto endpoint = fromActivePort(bytes);
    // The file is read again on every connection attempt; one warning per content is enough.
    static QHash<QString, QByteArray> refused;
    if (endpoint) {
        refused.remove(path);
    } else if (bytes.size() <= MaxActivePortBytes && !bytes.trimmed().contains('\n')) {
        // Empty or one line: a browser may be writing it right now.
        qCDebug(lcCdp, "%s is not complete yet", qUtf8Printable(path));
    } else if (refused.value(path) != bytes || !refused.contains(path)) {
        refused.insert(path, bytes);
        qCWarning(lcCdp, "%s does not name a loopback DevTools endpoint; not connecting",
                  qUtf8Printable(path));
    }
    return endpoint;
}

bool Endpoint::isLoopbackWebSocket(const QUrl& url) {
    if (!url.isValid() || url.scheme() != QLatin1String("ws") || url.port() <= 0)
        return false;
    if (!url.userInfo().isEmpty())
        return false;
    // An address literal only: a name could resolve anywhere.
    const QByteArray host = url.host().toLatin1();
    in_addr v4{};
    in6_addr v6{};
    if (::inet_pton(AF_INET, host.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    return ::inet_pton(AF_INET6, host.constData(), &v6) == 1 &&
           (IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127));
}

std::optional<Endpoint> Endpoint::parse(const QString& text) {
    const QString trimmed = text.trimmed();
    bool isNumber = false;
    const uint port = trimmed.toUInt(&isNumber);
    if (isNumber)
        return port >= 1 && port <= 65535 ? std::optional(Endpoint{static_cast<quint16>(port), {}})
                                          : std::nullopt;
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!isLoopbackWebSocket(url))
        return std::nullopt;
    return Endpoint{static_cast<quint16>(url.port()), url};
}

QString Endpoint::describe() const {
    return webSocketUrl.isEmpty() ? QStringLiteral("127.0.0.1:%1").arg(port) : webSocketUrl.toString();
}

} // namespace platform::cdp
