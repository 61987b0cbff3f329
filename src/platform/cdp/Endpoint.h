#pragma once

#include <QByteArrayView>
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
    // What a DevToolsActivePort file says: the port on its first line, the browser's socket
    // path ("/devtools/browser/<id>") on its second; always taken as 127.0.0.1. A file naming
    // anything else (a host, a port out of range, a path with more than an id, a file larger
    // than such a file ever is) gives nothing, and a warning the first time it is seen; a file
    // of one line or less is taken for one being written, and only noted in the debug log.
    static std::optional<Endpoint> fromActivePortFile(const QString& path);
    static std::optional<Endpoint> fromActivePort(QByteArrayView bytes);
    QString describe() const;
};

} // namespace platform::cdp
