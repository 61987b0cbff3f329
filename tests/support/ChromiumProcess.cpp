#include "support/ChromiumProcess.h"

#include "support/TestFiles.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

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
    const QString log = m_profile.filePath(u"stderr.log"_s);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(log);
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
    // Its error output names the socket on a fixed port too, where no DevToolsActivePort file is
    // written; only a whole line counts.
    static const QRegularExpression listening(u"DevTools listening on (ws://127\\.0\\.0\\.1:\\S+)\n"_s);
    for (QDeadlineTimer deadline(30000); !deadline.hasExpired() && isRunning(); QThread::msleep(50)) {
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(readBytes(log)));
        if (match.hasMatch()) {
            m_webSocketUrl = QUrl(match.captured(1));
            return;
        }
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
