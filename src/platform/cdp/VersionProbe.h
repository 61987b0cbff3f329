#pragma once

#include <QNetworkAccessManager>
#include <QPointer>
#include <QUrl>
#include <functional>

class QNetworkReply;

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

// Asks one port on 127.0.0.1 what it is, one question at a time.
class VersionProbe : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const VersionAnswer&)>;
    static constexpr int TimeoutMs = 3000;

    explicit VersionProbe(QObject* parent = nullptr);
    ~VersionProbe() override;

    // A question still open is dropped unanswered.
    void ask(quint16 port, Done done);
    bool isAsking() const;

private:
    static VersionAnswer read(QNetworkReply& reply, quint16 port);

    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
};

} // namespace platform::cdp
