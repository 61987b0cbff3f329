#pragma once

#include "platform/linux/StreamSocket.h"

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace platform::firefox {

// A local socket only its own user can reach: the socket file is 0600 inside a 0700 folder of
// ours, and a peer of another user (SO_PEERCRED) is turned away even if it got through.
class PrivateLocalServer : public QObject {
    Q_OBJECT
public:
    explicit PrivateLocalServer(QObject* parent = nullptr);
    ~PrivateLocalServer() override;

    // Listens at folder/name; false, with a log line saying why, when that is not safe or not
    // possible.
    bool listen(const QString& folder, const QString& name);
    QString path() const { return m_path; }

signals:
    // A peer of our own user. The receiver takes the socket over by giving it a parent;
    // one nobody takes is closed.
    void accepted(platform::StreamSocket* socket);

private:
    void acceptPending();

    int m_fd = -1;
    QString m_path;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// The process at the other end of a connected local socket; -1 where it cannot be told.
struct Peer {
    long userId = -1;
    long processId = -1;
};
Peer peerOf(qintptr socketDescriptor);

} // namespace platform::firefox
