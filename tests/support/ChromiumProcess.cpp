#include "support/ChromiumProcess.h"

#include <QStandardPaths>
#include <csignal>

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
    // In a group of its own, so that kill() ends its helpers too. Not in a session of its own: the
    // scheduler shares the processors between sessions first, and a browser alone in one would
    // take a share that the program and the test's server beside it then lack on a busy machine.
    if (!m_process.start(program, args << u"about:blank"_s, {}, true)) {
        m_failure = u"chromium did not start"_s;
        return;
    }
    // Its error output names the socket on a fixed port too, where no DevToolsActivePort file is
    // written; only a whole line counts.
    static const QRegularExpression listening(u"DevTools listening on (ws://127\\.0\\.0\\.1:\\S+)\n"_s);
    const QRegularExpressionMatch match = m_process.awaitOutput(listening, 30000);
    if (match.hasMatch())
        m_webSocketUrl = QUrl(match.captured(1));
    else
        m_failure = u"chromium did not open its DevTools port; output:\n"_s + m_process.output();
}

ChromiumProcess::~ChromiumProcess() {
    kill();
}

void ChromiumProcess::kill() {
    const qint64 pid = m_process.pid();
    m_process.stop();
    // Renderers of a browser that was killed outlive it.
    if (pid > 0)
        ::kill(static_cast<pid_t>(-pid), SIGKILL);
}
