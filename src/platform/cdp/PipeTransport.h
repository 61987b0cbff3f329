#pragma once

#include "platform/cdp/DevToolsTransport.h"
#include "platform/linux/StreamSocket.h"
#include "platform/pipe/MessageFraming.h"

namespace platform::cdp {

// A browser's DevTools pipe as its holder offers it: NUL-ended messages over a local socket,
// taken only from a holder that runs as this user.
class PipeTransport : public DevToolsTransport {
    Q_OBJECT
public:
    PipeTransport(const QString& socketPath, qint64 maxMessageBytes, QObject* parent = nullptr);
    ~PipeTransport() override;

    void send(const QByteArray& message) override;
    void flush() override;
    void close() override;
    void abort() override;

private:
    void onReadyRead();
    void end();

    StreamSocket m_socket;
    QString m_path;
    pipe::MessageFraming m_framing;
    bool m_open = false;
    bool m_ended = false;
};

} // namespace platform::cdp
