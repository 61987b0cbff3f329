#pragma once

#include <QByteArray>
#include <QStringList>
#include <sys/types.h>

// A server process of a test that says where it listens on a pipe (Xvfb's -displayfd,
// dbus-daemon's --print-address). It ends with the object, or with the test process if that is
// killed.
class SpawnedServer {
public:
    // "{fd}" in an argument becomes the number of the pipe the server writes its line to.
    explicit SpawnedServer(const QStringList& command);
    ~SpawnedServer();
    SpawnedServer(const SpawnedServer&) = delete;
    SpawnedServer& operator=(const SpawnedServer&) = delete;

    // The first line the server wrote, trimmed; empty if it did not start.
    QByteArray line() const { return m_line; }

private:
    pid_t m_pid = 0;
    QByteArray m_line;
};
