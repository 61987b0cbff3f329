#include "support/DesktopProcess.h"

#include "support/WaitUntil.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

DesktopProcess::~DesktopProcess() {
    stop();
}

bool DesktopProcess::start(const QString& program, const QStringList& arguments,
                           const QStringList& environment, bool ownGroup) {
    stop();
    m_process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment) {
        const qsizetype equals = entry.indexOf(u'=');
        env.insert(entry.left(equals), entry.mid(equals + 1));
    }
    m_process->setProcessEnvironment(env);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // A test killed by its time limit must not leave its helpers behind; SIGKILL, since a
    // program the test has stopped (SIGSTOP) would hold a SIGTERM until it is continued.
    m_process->setChildProcessModifier([ownGroup] {
        if (ownGroup)
            setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_process->start(program, arguments);
    return m_process->waitForStarted(5000);
}

void DesktopProcess::stop() {
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(1000)) {
            m_process->kill();
            m_process->waitForFinished(1000);
        }
    }
    m_process.reset();
}

bool DesktopProcess::waitForExit(int milliseconds) {
    return !m_process || m_process->state() == QProcess::NotRunning ||
           m_process->waitForFinished(milliseconds);
}

int DesktopProcess::exitCode() const {
    const bool ended = m_process && m_process->state() == QProcess::NotRunning;
    return ended && m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
}

bool DesktopProcess::running() const {
    return m_process && m_process->state() == QProcess::Running;
}

qint64 DesktopProcess::pid() const {
    return m_process ? m_process->processId() : 0;
}

QString DesktopProcess::output() const {
    if (m_process) {
        m_process->waitForReadyRead(0);
        m_output += m_process->readAll();
    }
    return QString::fromLocal8Bit(m_output);
}

QRegularExpressionMatch DesktopProcess::awaitOutput(const QRegularExpression& pattern, int timeoutMs) {
    waitUntil([&] { return pattern.match(output()).hasMatch() || !running(); }, timeoutMs);
    return pattern.match(output());
}

int runProgram(const QString& program, const QStringList& arguments, QString* output, int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return -1;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool signalProcess(qint64 pid, int number, int timeoutMs) {
    if (::kill(static_cast<pid_t>(pid), number) != 0)
        return false;
    if (number != SIGSTOP)
        return true;
    // The state turns to T once the stop has taken effect.
    return QTest::qWaitFor([pid] { return processStat(pid).value(0) == "T"; }, timeoutMs);
}

QList<QByteArray> processStat(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ');
}
