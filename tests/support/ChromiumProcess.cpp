#include "support/ChromiumProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

ChromiumProcess::ChromiumProcess(bool headless, bool ownPopupBlocker) {
    const QString program = QStandardPaths::findExecutable(u"chromium"_s);
    if (program.isEmpty()) {
        m_failure = u"chromium is not installed"_s;
        return;
    }
    QStringList args =
        u"--no-sandbox --disable-gpu --disable-quic --no-first-run --no-default-browser-check "
        "--disable-background-networking --disable-component-update --disable-sync"_s.split(u' ');
    args << u"--user-data-dir="_s + m_profile.path() << u"--remote-debugging-port=0"_s
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
