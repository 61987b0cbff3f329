#include "support/ChromiumProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A browser given a fixed port writes no DevToolsActivePort file; its /json/version names the
// browser's socket instead. Empty while it does not answer yet.
QUrl askVersionEndpoint(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, port);
    if (!socket.waitForConnected(1000))
        return {};
    socket.write("GET /json/version HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                 "\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired() && socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
        answer += socket.readAll();
        const qsizetype body = answer.indexOf("\r\n\r\n");
        if (body < 0)
            continue;
        const QJsonDocument json = QJsonDocument::fromJson(answer.mid(body + 4));
        if (json.isObject())
            return QUrl(json.object().value(u"webSocketDebuggerUrl"_s).toString());
    }
    return {};
}

} // namespace

ChromiumProcess::ChromiumProcess(bool headless, quint16 devToolsPort, bool ownPopupBlocker) {
    const QString program = QStandardPaths::findExecutable(u"chromium"_s);
    if (program.isEmpty()) {
        m_failure = u"chromium is not installed"_s;
        return;
    }
    QStringList args =
        u"--no-sandbox --disable-gpu --disable-quic --no-first-run --no-default-browser-check "
        "--disable-background-networking --disable-component-update --disable-sync"_s.split(u' ');
    args << u"--user-data-dir="_s + m_profile.path() << u"--remote-debugging-port=%1"_s.arg(devToolsPort)
         << u"--host-resolver-rules=MAP *.test 127.0.0.1"_s;
    if (headless)
        args << u"--headless=new"_s;
    if (!ownPopupBlocker)
        args << u"--disable-popup-blocking"_s;
    args << u"about:blank"_s;
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(m_profile.filePath(u"stderr.log"_s));
    // A test that dies (a crash, its time limit) takes its browser along, and the browser's
    // helpers are in its own process group, so that kill() ends them too.
    m_process.setChildProcessModifier([] {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_process.start(program, args);
    if (!m_process.waitForStarted(10000)) {
        m_failure = u"chromium did not start"_s;
        return;
    }
    const QString portFile = m_profile.filePath(u"DevToolsActivePort"_s);
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && isRunning()) {
        if (devToolsPort != 0) {
            m_webSocketUrl = askVersionEndpoint(devToolsPort);
            if (m_webSocketUrl.isValid())
                return;
            QThread::msleep(50);
            continue;
        }
        QFile file(portFile);
        if (file.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> lines = file.readAll().split('\n');
            if (lines.size() >= 2 && !lines[1].trimmed().isEmpty()) {
                m_webSocketUrl = QUrl(u"ws://127.0.0.1:%1%2"_s.arg(QString::fromLatin1(lines[0].trimmed()),
                                                                   QString::fromLatin1(lines[1].trimmed())));
                return;
            }
        }
        QThread::msleep(50);
    }
    m_failure = u"chromium did not open its DevTools port"_s;
}

ChromiumProcess::~ChromiumProcess() {
    kill();
}

void ChromiumProcess::kill() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    const auto pid = static_cast<pid_t>(m_process.processId());
    ::kill(pid, SIGTERM);
    if (!m_process.waitForFinished(5000)) {
        ::kill(pid, SIGKILL);
        m_process.waitForFinished(5000);
    }
    // Renderers of a browser that was killed outlive it.
    ::kill(-pid, SIGKILL);
}
