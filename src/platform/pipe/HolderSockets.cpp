#include "platform/pipe/HolderSockets.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace platform::pipe {

namespace {
constexpr auto Prefix = "browser-"_L1;
} // namespace

QString HolderSockets::folder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
        .filePath(u"ZOR Brakkon browsers"_s);
}

bool HolderSockets::preparePrivateFolder(const QString& folder, QString* problem) {
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        if (problem)
            *problem = u"cannot create %1: %2"_s.arg(folder, QString::fromLocal8Bit(::strerror(errno)));
        return false;
    }
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        if (problem)
            *problem = u"%1 is not a folder of this user"_s.arg(folder);
        return false;
    }
    if ((info.st_mode & 0077) != 0 && ::chmod(path.constData(), 0700) != 0) {
        if (problem)
            *problem = u"%1 is open to other users and cannot be closed"_s.arg(folder);
        return false;
    }
    return true;
}

QString HolderSockets::socketPath(const QString& folder, qint64 browserPid) {
    return QDir(folder).filePath(Prefix + QString::number(browserPid));
}

QStringList HolderSockets::list() {
    const QString where = folder();
    struct stat info {};
    const QByteArray path = QFile::encodeName(where);
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & 0077) != 0)
        return {};
    QStringList sockets;
    const auto entries = QDir(where).entryInfoList({Prefix + u"*"_s}, QDir::System | QDir::Files, QDir::Name);
    for (const QFileInfo& entry : entries)
        if (browserPid(entry.filePath()) > 0)
            sockets << entry.filePath();
    return sockets;
}

qint64 HolderSockets::browserPid(const QString& socketPath) {
    const QString name = QFileInfo(socketPath).fileName();
    if (!name.startsWith(Prefix))
        return 0;
    bool ok = false;
    const qint64 pid = name.mid(Prefix.size()).toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool HolderSockets::isLive(const QString& socketPath) {
    const qint64 pid = browserPid(socketPath);
    return QFileInfo::exists(socketPath) && pid > 0 &&
           (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

bool HolderSockets::peerIsSameUser(qintptr socketDescriptor) {
    struct ucred peer {};
    socklen_t length = sizeof peer;
    return ::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           length == sizeof peer && peer.uid == ::geteuid();
}

} // namespace platform::pipe
