#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace platform::cdp {

// Where one browser's DevTools service listens. Only loopback is ever accepted: the protocol
// gives full control of the browser, so a remote endpoint is refused outright.
struct Endpoint {
    quint16 port = 0;
    QUrl webSocketUrl; // empty when only the port is known (found through /json/version)

    // "9222" or "ws://127.0.0.1:9222/devtools/browser/<id>"; nothing for anything else.
    static std::optional<Endpoint> parse(const QString& text);
    static bool isLoopbackWebSocket(const QUrl& url);
    QString describe() const;
};

} // namespace platform::cdp
