#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace platform::cdp {

// How DevTools messages travel to one browser: a WebSocket on loopback, or NUL-ended messages
// through the local socket of the holder that owns a browser's pipe.
class DevToolsTransport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void send(const QByteArray& message) = 0;
    // Pushes what has been sent to the socket now.
    virtual void flush() = 0;
    virtual void close() = 0;
    // Drops the connection at once, without a signal.
    virtual void abort() = 0;

signals:
    void opened();
    void messageReceived(const QString& text);
    // Once: when an open connection ends, or when it could not be opened at all.
    void closed();
};

} // namespace platform::cdp
