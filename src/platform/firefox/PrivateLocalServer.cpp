#include "platform/firefox/PrivateLocalServer.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
    : QObject(parent) {}

PrivateLocalServer::~PrivateLocalServer() {
    if (m_fd < 0)
        return;
    m_notifier.reset();
    ::close(m_fd);
    ::unlink(QFile::encodeName(m_path).constData());
}

bool PrivateLocalServer::listen(const QString& folder, const QString& name) {
    if (const QString problem = securePrivateFolder(folder); !problem.isEmpty()) {
        qCWarning(lcPlatform, "Firefox support is off: the folder %s is not safe (%s)",
                  qUtf8Printable(folder), qUtf8Printable(problem));
        return false;
    }
    const QString path = QDir(folder).filePath(name);
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(encoded.size()) >= sizeof address.sun_path) {
        qCWarning(lcPlatform, "Firefox support is off: the socket path %s is too long", qUtf8Printable(path));
        return false;
    }
    std::memcpy(address.sun_path, encoded.constData(), static_cast<std::size_t>(encoded.size()));
    const auto* where = reinterpret_cast<const sockaddr*>(&address);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    bool bound = fd >= 0 && ::bind(fd, where, sizeof address) == 0;
    if (fd >= 0 && !bound && errno == EADDRINUSE) {
        // Left behind by a program that died, unless one still answers there. A local socket
        // answers or refuses at once.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool answers = probe >= 0 && ::connect(probe, where, sizeof address) == 0;
        if (probe >= 0)
            ::close(probe);
        if (answers) {
            ::close(fd);
            qCWarning(lcPlatform, "Firefox support is off: another program already listens at %s",
                      qUtf8Printable(path));
            return false;
        }
        ::unlink(encoded.constData());
        bound = ::bind(fd, where, sizeof address) == 0;
    }
    if (!bound || ::listen(fd, SOMAXCONN) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        qCWarning(lcPlatform, "Firefox support is off: cannot listen at %s (%s)", qUtf8Printable(path),
                  qUtf8Printable(why));
        return false;
    }
    ::chmod(encoded.constData(), 0600);
    m_fd = fd;
    m_path = path;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PrivateLocalServer::acceptPending);
    return true;
}

void PrivateLocalServer::acceptPending() {
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        const long uid = peerOf(fd).userId;
        if (uid != static_cast<long>(::getuid())) {
            qCWarning(lcPlatform, "turned away a relay of user %ld: only our own user may connect", uid);
            ::close(fd);
            continue;
        }
        auto socket = std::make_unique<StreamSocket>();
        socket->adopt(fd);
        emit accepted(socket.get());
        if (socket->parent())
            static_cast<void>(socket.release()); // its new parent owns it
    }
}

} // namespace platform::firefox
