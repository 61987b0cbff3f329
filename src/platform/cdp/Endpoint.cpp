#include "platform/cdp/Endpoint.h"

#include <QHostAddress>

namespace platform::cdp {

bool Endpoint::isLoopbackWebSocket(const QUrl& url) {
    if (!url.isValid() || url.scheme() != QLatin1String("ws") || url.port() <= 0)
        return false;
    if (!url.userInfo().isEmpty())
        return false;
    // An address literal only: a name could resolve anywhere.
    QHostAddress host;
    return host.setAddress(url.host()) && host.isLoopback();
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
