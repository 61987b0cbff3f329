#include "host/BrowserHolder.h"

#include "platform/pipe/HolderSockets.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>

using namespace Qt::StringLiterals;
using platform::pipe::HolderSockets;
using platform::pipe::MessageFraming;

namespace host {

namespace {
// What Chrome and Edge print when they refuse DevTools on their default profile.
constexpr auto RefusalText = "non-default data directory"_L1;
constexpr int WatchMs = 100;
constexpr int IdleWatchMs = 2000;
constexpr int ShutdownWaitMs = 10000;
// A browser still starting keeps its main process busy; one that has started and ignores the
// pipe sits idle (measured with Chromium 156: 70-150 clock ticks a second while starting, 0-4
// once idle).
constexpr qint64 BusyTicksPerSecond = 5;

// The processor time the process has had, in clock ticks; -1 when it cannot be read.
qint64 processorTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The name, in parentheses, may hold blanks: count fields from its end.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : -1;
}

void say(const QString& text) {
    std::fprintf(stderr, "holder: %s\n", qUtf8Printable(text));
    std::fflush(stderr);
}
} // namespace

BrowserHolder::BrowserHolder(int pipeFd, qint64 browserPid, QString browserLog, QObject* parent)
    : QObject(parent)
    , m_relay([this](const QByteArray& message) { m_pipe.write(MessageFraming::frame(message)); })
    , m_browserPid(browserPid)
    , m_browserLog(std::move(browserLog)) {
    m_pipe.setSocketDescriptor(pipeFd, QLocalSocket::ConnectedState, QIODevice::ReadWrite);
    connect(&m_pipe, &QLocalSocket::readyRead, this, &BrowserHolder::onPipeData);
    connect(&m_pipe, &QLocalSocket::disconnected, this, &BrowserHolder::checkBrowser);
    connect(&m_server, &QLocalServer::newConnection, this, &BrowserHolder::onNewClient);
    m_watch.setInterval(WatchMs);
    connect(&m_watch, &QTimer::timeout, this, &BrowserHolder::checkBrowser);
    m_watch.start();
}

BrowserHolder::~BrowserHolder() {
    // The server deletes its sockets, and a socket going reports to us: not any more.
    if (m_client)
        m_client->disconnect(this);
    m_server.close();
}

void BrowserHolder::waitForAnswer(int timeoutMs, std::function<void(Start)> done) {
    m_waiting = std::move(done);
    m_waitMs = timeoutMs;
    m_waited.start();
    m_busySince = m_waited.elapsed();
    m_busyTicks = processorTicks(m_browserPid);
    m_relay.request(u"Browser.getVersion"_s, {}, [this](const QJsonObject& answer) {
        say(u"%1 answers on its DevTools pipe"_s.arg(
            answer.value("result"_L1).toObject().value("product"_L1).toString()));
        finishWait(Start::Answered);
    });
}

void BrowserHolder::finishWait(Start start) {
    // From now on the pipe's end tells when the browser goes; the watch is only a backstop.
    m_watch.setInterval(IdleWatchMs);
    if (auto done = std::exchange(m_waiting, {}))
        done(start);
}

void BrowserHolder::checkBrowser() {
    if (m_ended)
        return;
    const bool reaped = ::waitpid(static_cast<pid_t>(m_browserPid), nullptr, WNOHANG) != 0;
    if (!reaped && m_pipe.state() != QLocalSocket::ConnectedState) {
        // The browser closes its pipe early in its shutdown and holds its profile until it has
        // ended: told gone before that, a start of it again would find the profile taken.
        if (!m_shuttingDown.isValid()) {
            m_shuttingDown.start();
            m_watch.start(WatchMs);
        }
        if (!m_shuttingDown.hasExpired(ShutdownWaitMs))
            return;
        say(u"the browser (process %1) closed its pipe %2 s ago and is still there; it is let go"_s
                .arg(m_browserPid)
                .arg(ShutdownWaitMs / 1000));
    }
    if (reaped || m_shuttingDown.isValid()) {
        m_ended = true;
        m_watch.stop();
        m_server.close();
        say(u"the browser (process %1) has ended"_s.arg(m_browserPid));
        finishWait(Start::Exited);
        emit browserEnded();
        return;
    }
    if (!m_waiting)
        return;
    QFile log(m_browserLog);
    if (log.open(QIODevice::ReadOnly) && QString::fromUtf8(log.readAll()).contains(RefusalText))
        return finishWait(Start::Refused);
    sampleBusy();
    if (m_waited.hasExpired(m_waitMs) && !stillStarting())
        finishWait(Start::Silent);
}

// Judged on the last full second: a browser that had the processor for much of it is busy.
void BrowserHolder::sampleBusy() {
    const qint64 now = m_waited.elapsed();
    if (now - m_busySince < 1000)
        return;
    const qint64 ticks = processorTicks(m_browserPid);
    m_busy = ticks >= 0 && m_busyTicks >= 0 && ticks - m_busyTicks >= BusyTicksPerSecond;
    m_busySince = now;
    m_busyTicks = ticks;
}

bool BrowserHolder::stillStarting() {
    if (!m_busy || m_waited.hasExpired(qint64(m_waitMs) * HolderSockets::LongestWaitFactor))
        return false;
    if (!m_toldBusy)
        say(u"the browser has not answered within %1 ms but is still starting; waiting on"_s.arg(m_waitMs));
    m_toldBusy = true;
    return true;
}

void BrowserHolder::endBrowser() {
    // Once reaped, the number may already name another process.
    if (m_ended)
        return;
    const auto pid = static_cast<pid_t>(m_browserPid);
    ::kill(pid, SIGTERM);
    QDeadlineTimer deadline(5000);
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            break;
        }
        QThread::msleep(20);
    }
    m_ended = true;
    m_watch.stop();
}

bool BrowserHolder::offer(const QString& socketPath, QString* problem) {
    QLocalServer::removeServer(socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(socketPath)) {
        *problem = m_server.errorString();
        return false;
    }
    return true;
}

void BrowserHolder::onPipeData() {
    if (!m_pipe.isOpen())
        return;
    m_fromBrowser.feed(m_pipe.readAll());
    while (const auto message = m_fromBrowser.next())
        m_relay.fromBrowser(*message);
    if (m_fromBrowser.overflowed()) {
        say(u"a browser message of more than %1 bytes was dropped"_s.arg(MaxMessageBytes));
        m_fromBrowser.clearOverflow();
    }
}

void BrowserHolder::onNewClient() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        const auto refuse = [socket](const QString& why) {
            say(why);
            socket->abort();
            socket->deleteLater();
        };
        if (!HolderSockets::peerIsSameUser(socket->socketDescriptor())) {
            refuse(u"a client of another user was refused"_s);
            continue;
        }
        if (m_client) {
            refuse(u"a second client was refused: the pipe is in use"_s);
            continue;
        }
        m_client = socket;
        m_fromClient = std::make_unique<MessageFraming>(MaxMessageBytes);
        connect(socket, &QLocalSocket::readyRead, this, &BrowserHolder::onClientData);
        connect(socket, &QLocalSocket::disconnected, this, [this] {
            onClientData(); // what the client sent before it left still counts
            dropClient("left");
        });
        m_relay.attachClient(
            [socket](const QByteArray& message) { socket->write(MessageFraming::frame(message)); });
        say(u"a client attached"_s);
        onClientData();
    }
}

void BrowserHolder::onClientData() {
    if (!m_client)
        return;
    m_fromClient->feed(m_client->readAll());
    while (const auto message = m_fromClient->next())
        if (!m_relay.fromClient(*message))
            say(u"a client message that is no DevTools request was dropped"_s);
    if (m_fromClient->overflowed())
        dropClient("sent a message over the size limit and was dropped");
}

void BrowserHolder::dropClient(const char* why) {
    QLocalSocket* client = std::exchange(m_client, nullptr);
    if (!client)
        return;
    client->disconnect(this);
    client->abort();
    client->deleteLater();
    m_fromClient.reset();
    m_relay.detachClient();
    say(u"the client %1; the browser stays, unwatched, until the next one"_s.arg(QString::fromLatin1(why)));
}

} // namespace host
