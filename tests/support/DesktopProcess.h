#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <memory>

// A helper program a desktop test starts (a tray host, a sound server, a recorder). It is
// ended by its own process id when the object goes, and dies with the test process if that is
// killed first.
class DesktopProcess {
public:
    DesktopProcess() = default;
    ~DesktopProcess();
    DesktopProcess(const DesktopProcess&) = delete;
    DesktopProcess& operator=(const DesktopProcess&) = delete;

    // Extra environment entries ("NAME=value") on top of this process's environment. ownGroup: in a
    // process group of its own, so that a program that starts helpers can be ended with them.
    bool start(const QString& program, const QStringList& arguments, const QStringList& environment = {},
               bool ownGroup = false);
    // Asks the program to end (SIGTERM), waits up to a second, then kills it.
    void stop();
    // Waits for the program to end by itself; false on timeout.
    bool waitForExit(int milliseconds);
    // The exit code once it has ended by itself; -1 while it runs or after a crash.
    int exitCode() const;
    bool running() const;
    qint64 pid() const;
    QString output() const; // stdout and stderr so far, for failure messages
    // The pattern's first match in the output, once it appears; no match when the program ended
    // or the time ran out first.
    QRegularExpressionMatch awaitOutput(const QRegularExpression& pattern, int timeoutMs);

private:
    std::unique_ptr<QProcess> m_process;
    mutable QByteArray m_output;
};

// Runs a program to its end and returns its exit code (-1 when it could not run).
int runProgram(const QString& program, const QStringList& arguments, QString* output = nullptr,
               int timeoutMs = 10000);
// Sends a signal to a process by its id and, for SIGSTOP, waits until it has stopped.
bool signalProcess(qint64 pid, int number, int timeoutMs = 5000);
// The fields of /proc/PID/stat after the command's name (state, parent, ...); empty when it is gone.
QList<QByteArray> processStat(qint64 pid);
