#pragma once

#include "platform/cdp/DevToolsTransport.h"

#include <QUrl>
#include <QWebSocket>

namespace platform::cdp {

class WebSocketTransport : public DevToolsTransport {
    Q_OBJECT
public:
    WebSocketTransport(const QUrl& url, qint64 maxMessageBytes, QObject* parent = nullptr);
    ~WebSocketTransport() override;

    void send(const QByteArray& message) override;
    void flush() override;
    void close() override;
    void abort() override;

private:
    QWebSocket m_socket;
    QUrl m_url;
    bool m_open = false;
};

} // namespace platform::cdp
