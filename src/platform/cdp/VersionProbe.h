#pragma once

#include "platform/linux/StreamSocket.h"

#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>

namespace platform::cdp {

// What a DevTools port says on /json/version.
struct VersionAnswer {
    enum class Kind {
        Socket,   // a port opened with --remote-debugging-port: it names the browser's socket
        AsksUser, // 404: a browser the user lets be debugged from chrome://inspect; it asks the
                  // user to approve every connection to its socket
        NoAnswer, // nothing listens, it answered something else, or it took too long
    };
    Kind kind = Kind::NoAnswer;
    QUrl webSocketUrl; // for Socket only, and only when it is a loopback address on that port
};

// Asks one port on 127.0.0.1 what it is, one question at a time, in the few lines of HTTP/1.1
// a browser's DevTools server speaks.
class VersionProbe : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const VersionAnswer&)>;
    static constexpr int TimeoutMs = 3000;

    explicit VersionProbe(QObject* parent = nullptr);
    ~VersionProbe() override;

    // A question still open is dropped unanswered.
    void ask(quint16 port, Done done);
    bool isAsking() const { return m_asking; }

private:
    struct Response {
        int status = 0; // 0: not an HTTP answer, or cut short
        QByteArray body;
    };
    // The answer once all of it is there; nothing while more is to come. complete: the server
    // has closed the connection.
    static std::optional<Response> parse(const QByteArray& bytes, bool complete);
    void onReadyRead();
    void finish();
    VersionAnswer read() const;

    StreamSocket m_socket;
    QByteArray m_bytes;
    QTimer m_timeout;
    quint16 m_port = 0;
    Done m_done;
    bool m_asking = false;
};

} // namespace platform::cdp
