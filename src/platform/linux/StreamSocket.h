#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;

namespace platform {

// A byte stream to another process on this machine, over TCP on a loopback address literal or
// over a local socket, driven by the event loop. Qt's network module does the same, but it loads
// Kerberos, proxy and resolver libraries that a program talking only to its own machine never
// uses, and they cost a tray program more memory than the rest of its connections.
class StreamSocket : public QObject {
    Q_OBJECT
public:
    explicit StreamSocket(QObject* parent = nullptr);
    ~StreamSocket() override;

    // connected() or ended() follows from the event loop, never from within these calls.
    void connectToAddress(const QString& address, quint16 port);
    void connectToPath(const QString& path);
    // Takes over a socket that is already connected, one a listener accepted.
    void adopt(int descriptor);

    int descriptor() const { return m_fd; }
    QString errorString() const { return m_error; }
    // TCP only: small requests that each wait for their answer must not wait for an
    // acknowledgement of the one before.
    void setNoDelay();

    // Goes out in order; what the peer cannot take yet is kept until it can.
    void write(QByteArrayView bytes);
    // Hands as much as the peer takes now to the system, without waiting.
    void flush();
    qint64 bytesAvailable() const { return m_in.size(); }
    QByteArray readAll() { return std::exchange(m_in, {}); }

    // What was written still goes out; ended() follows from the event loop.
    void disconnectFromPeer();
    // Closes at once, drops what was not sent yet, and reports nothing.
    void abort();

signals:
    void connected();
    // Not emitted again while a receiver of it runs a nested event loop; whatever arrives
    // meanwhile is announced once it has returned.
    void readyRead();
    // Once per stream, for a refusal, an error or the peer's close; errorString() says which.
    void ended();

private:
    // Ending: closed, ended() not reported yet. Ended: reported, or aborted.
    enum class State { Idle, Connecting, Connected, Draining, Ending, Ended };

    // Back to a socket that was never connected, closing what it had.
    void reset();
    bool open(int family);
    void startConnect(const void* address, unsigned length);
    void watch(bool connecting);
    void onReadable();
    void onWritable();
    void sendQueued();
    void endSoon(const QString& why);
    void schedule();
    void dispatch();
    void closeDescriptor();

    int m_fd = -1;
    State m_state = State::Idle;
    // They only do the reading and writing; the signals come from dispatch(), so that no
    // receiver runs, or deletes this, inside a notifier's own activation.
    std::unique_ptr<QSocketNotifier> m_readable;
    std::unique_ptr<QSocketNotifier> m_writable;
    QByteArray m_in;
    QByteArray m_out;
    qsizetype m_outSent = 0; // of m_out, already with the system
    QString m_error;
    bool m_connectPending = false;
    bool m_scheduled = false;
    bool m_dispatching = false;
    bool m_again = false;
};

} // namespace platform
