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

namespace {

// A browser given a fixed port writes no DevToolsActivePort file; its /json/version names the
// browser's socket instead. Empty while it does not answer yet.
QUrl askVersionEndpoint(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
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
            return QUrl(json.object().value(QStringLiteral("webSocketDebuggerUrl")).toString());
    }
    return {};
}

} // namespace

ChromiumProcess::ChromiumProcess(bool headless, quint16 devToolsPort, bool ownPopupBlocker) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (program.isEmpty()) {
        m_failure = QStringLiteral("chromium is not installed");
        return;
    }
    QStringList args{QStringLiteral("--no-sandbox"),
                     QStringLiteral("--disable-gpu"),
                     QStringLiteral("--disable-quic"),
                     QStringLiteral("--no-first-run"),
                     QStringLiteral("--no-default-browser-check"),
                     QStringLiteral("--disable-background-networking"),
                     QStringLiteral("--disable-component-update"),
                     QStringLiteral("--disable-sync"),
                     QStringLiteral("--disable-popup-blocking"),
                     QStringLiteral("--user-data-dir=") + m_profile.path(),
                     QStringLiteral("--remote-debugging-port=") + QString::number(devToolsPort),
                     QStringLiteral("--host-resolver-rules=MAP *.test 127.0.0.1"),
                     QStringLiteral("about:blank")};
    if (headless)
        args.prepend(QStringLiteral("--headless=new"));
    if (ownPopupBlocker)
        args.removeAll(QStringLiteral("--disable-popup-blocking"));
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(m_profile.filePath(QStringLiteral("stderr.log")));
    // A test that dies (a crash, its time limit) takes its browser along, and the browser's
    // helpers are in its own process group, so that kill() ends them too.
    m_process.setChildProcessModifier([] {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_process.start(program, args);
    if (!m_process.waitForStarted(10000)) {
        m_failure = QStringLiteral("chromium did not start");
        return;
    }
    const QString portFile = m_profile.filePath(QStringLiteral("DevToolsActivePort"));
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
                m_webSocketUrl = QUrl(QStringLiteral("ws://127.0.0.1:%1%2")
                                          .arg(QString::fromLatin1(lines[0].trimmed()),
                                               QString::fromLatin1(lines[1].trimmed())));
                return;
            }
        }
        QThread::msleep(50);
    }
    m_failure = QStringLiteral("chromium did not open its DevTools port");
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
