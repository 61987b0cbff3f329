#include "platform/linux/StreamSocket.h"

#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

constexpr qsizetype ReadChunk = 64 * 1024;
// Read per wake-up at most; the rest waits in the system until the receiver has had this.
constexpr qsizetype ReadPerWake = 1024 * 1024;

} // namespace

StreamSocket::StreamSocket(QObject* parent)
    : QObject(parent) {}

StreamSocket::~StreamSocket() {
    closeDescriptor();
}

void StreamSocket::reset() {
    closeDescriptor();
    m_readable.reset();
    m_writable.reset();
    m_in.clear();
    m_out.clear();
    m_outSent = 0;
    m_error.clear();
    m_connectPending = false;
    m_state = State::Idle;
}

bool StreamSocket::open(int family) {
    reset();
    m_fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd >= 0)
        return true;
    endSoon(systemError(errno));
    return false;
}

void StreamSocket::connectToAddress(const QString& address, quint16 port) {
    const QByteArray text = address.toLatin1();
    sockaddr_in v4{};
    sockaddr_in6 v6{};
    if (::inet_pton(AF_INET, text.constData(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        if (open(AF_INET))
            startConnect(&v4, sizeof v4);
    } else if (::inet_pton(AF_INET6, text.constData(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        if (open(AF_INET6))
            startConnect(&v6, sizeof v6);
    } else {
        reset();
        endSoon(QStringLiteral("%1 is not an address literal").arg(address));
    }
}

void StreamSocket::connectToPath(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un local{};
    if (static_cast<std::size_t>(name.size()) >= sizeof local.sun_path) {
        reset();
        return endSoon(QStringLiteral("the socket path is too long"));
    }
    local.sun_family = AF_UNIX;
    std::memcpy(local.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    if (open(AF_UNIX))
        startConnect(&local, sizeof local);
}

void StreamSocket::startConnect(const void* address, unsigned length) {
    int result;
    do
        result = ::connect(m_fd, static_cast<const sockaddr*>(address), length);
    while (result != 0 && errno == EINTR);
    if (result != 0 && errno != EINPROGRESS)
        return endSoon(systemError(errno));
    m_state = State::Connecting;
    watch(true);
}

void StreamSocket::adopt(int descriptor) {
    reset();
    m_fd = descriptor;
    m_state = State::Connected;
    watch(false);
}

void StreamSocket::watch(bool connecting) {
    m_readable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    m_writable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
    connect(m_readable.get(), &QSocketNotifier::activated, this, &StreamSocket::onReadable);
    connect(m_writable.get(), &QSocketNotifier::activated, this, &StreamSocket::onWritable);
    m_readable->setEnabled(!connecting);
    m_writable->setEnabled(connecting);
}

void StreamSocket::setNoDelay() {
    const int on = 1;
    if (m_fd >= 0)
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void StreamSocket::onReadable() {
    char chunk[ReadChunk];
    qsizetype taken = 0;
    while (m_fd >= 0 && taken < ReadPerWake) {
        const ssize_t got = ::read(m_fd, chunk, sizeof chunk);
        if (got > 0) {
            m_in.append(chunk, got);
            taken += got;
        } else if (got == 0) {
            endSoon({});
        } else if (errno != EINTR) {
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                endSoon(systemError(errno));
            break;
        }
    }
    if (taken > 0)
        schedule();
}

void StreamSocket::onWritable() {
    if (m_state == State::Connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        if (error != 0)
            return endSoon(systemError(error));
        m_state = State::Connected;
        m_readable->setEnabled(true);
        m_connectPending = true;
        schedule();
    }
    sendQueued();
}

void StreamSocket::write(QByteArrayView bytes) {
    if (m_state != State::Connecting && m_state != State::Connected)
        return;
    m_out.append(bytes);
    if (m_state == State::Connected)
        sendQueued();
}

void StreamSocket::flush() {
    if (m_state == State::Connected || m_state == State::Draining)
        sendQueued();
}

void StreamSocket::sendQueued() {
    while (m_fd >= 0 && m_outSent < m_out.size()) {
        const ssize_t sent = ::send(m_fd, m_out.constData() + m_outSent,
                                    static_cast<std::size_t>(m_out.size() - m_outSent), MSG_NOSIGNAL);
        if (sent > 0) {
            m_outSent += sent;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            m_writable->setEnabled(true);
            return;
        } else if (errno != EINTR) {
            return endSoon(systemError(errno));
        }
    }
    m_out.clear();
    m_outSent = 0;
    if (m_writable)
        m_writable->setEnabled(false);
    if (m_state == State::Draining)
        endSoon({});
}

void StreamSocket::disconnectFromPeer() {
    if (m_state == State::Connected && m_outSent < m_out.size()) {
        m_state = State::Draining;
        sendQueued();
    } else if (m_state == State::Connected || m_state == State::Connecting || m_state == State::Idle) {
        endSoon({});
    }
}

void StreamSocket::abort() {
    closeDescriptor();
    m_out.clear();
    m_outSent = 0;
    m_in.clear();
    m_state = State::Ended;
}

void StreamSocket::endSoon(const QString& why) {
    if (m_state == State::Ending || m_state == State::Ended)
        return;
    m_error = why.isEmpty() ? QStringLiteral("the other end closed the connection") : why;
    closeDescriptor();
    m_state = State::Ending;
    schedule();
}

void StreamSocket::closeDescriptor() {
    // Only disabled here, since this may run inside their own activation.
    if (m_readable)
        m_readable->setEnabled(false);
    if (m_writable)
        m_writable->setEnabled(false);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void StreamSocket::schedule() {
    if (!std::exchange(m_scheduled, true))
        QMetaObject::invokeMethod(this, &StreamSocket::dispatch, Qt::QueuedConnection);
}

void StreamSocket::dispatch() {
    m_scheduled = false;
    if (m_dispatching) {
        m_again = true;
        return;
    }
    QPointer<StreamSocket> self(this);
    m_dispatching = true;
    if (std::exchange(m_connectPending, false) && m_state == State::Connected) {
        emit connected();
        if (!self)
            return;
    }
    do {
        m_again = false;
        if (!m_in.isEmpty() && m_state != State::Ended) {
            emit readyRead();
            if (!self)
                return;
        }
    } while (m_again);
    m_dispatching = false;
    if (m_state == State::Ending) {
        m_state = State::Ended;
        emit ended();
    }
}

} // namespace platform
