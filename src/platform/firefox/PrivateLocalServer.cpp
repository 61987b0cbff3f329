#include "platform/firefox/PrivateLocalServer.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::firefox {

namespace {

// Makes the folder ours and private, or says why it cannot be used.
QString securePrivateFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot create it: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        return QStringLiteral("cannot read it: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("it is not a folder");
    if (info.st_uid != ::getuid())
        return QStringLiteral("it belongs to another user");
    if ((info.st_mode & 0077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return QStringLiteral("cannot make it private: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

} // namespace

Peer peerOf(qintptr socketDescriptor) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return {};
    return {static_cast<long>(credentials.uid), static_cast<long>(credentials.pid)};
}

PrivateLocalServer::PrivateLocalServer(QObject* parent)
    : QObject(parent) {
    connect(&m_server, &QLocalServer::newConnection, this, &PrivateLocalServer::acceptPending);
}

PrivateLocalServer::~PrivateLocalServer() {
    m_server.close(); // removes the socket file
}

bool PrivateLocalServer::listen(const QString& folder, const QString& name) {
    if (const QString problem = securePrivateFolder(folder); !problem.isEmpty()) {
        qCWarning(lcPlatform, "Firefox support is off: the folder %s is not safe (%s)",
                  qUtf8Printable(folder), qUtf8Printable(problem));
        return false;
    }
    const QString path = QDir(folder).filePath(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(path)) {
        // Left behind by a program that died, unless one still answers there.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500)) {
            qCWarning(lcPlatform, "Firefox support is off: another program already listens at %s",
                      qUtf8Printable(path));
            return false;
        }
        QLocalServer::removeServer(path);
        if (!m_server.listen(path)) {
            qCWarning(lcPlatform, "Firefox support is off: cannot listen at %s (%s)", qUtf8Printable(path),
                      qUtf8Printable(m_server.errorString()));
            return false;
        }
    }
    ::chmod(QFile::encodeName(path).constData(), 0600);
    return true;
}

void PrivateLocalServer::acceptPending() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        const long uid = peerOf(socket->socketDescriptor()).userId;
        if (uid != static_cast<long>(::getuid())) {
            qCWarning(lcPlatform, "turned away a relay of user %ld: only our own user may connect", uid);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        emit accepted(socket);
    }
}

} // namespace platform::firefox
