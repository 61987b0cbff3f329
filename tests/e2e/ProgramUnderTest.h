#pragma once

#include "support/DesktopProcess.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <csignal>
#include <cstdint>

// The real program as a user runs it: its own copy in a folder of its own (so the list files
// beside it belong to this run), its own HOME and XDG folders, settings written beforehand.
class ProgramUnderTest {
public:
    struct Options {
        int killMode = 0;
        bool sound = false;
        bool showWindow = false; // as on the first run: the window comes up at the start
        QString soundFile;
        QStringList acceptList;
        QStringList denyList;
        QStringList arguments;   // e.g. --browser ws://...
        QStringList environment; // NAME=value, beside the program's own folders
    };

    ProgramUnderTest();
    QString failure() const { return m_failure; }

    // Writes settings and lists, starts the program and waits until its tray icon is docked.
    bool start(const Options& options, int timeoutMs = 15000);
    // Ends it the way a logout does (SIGTERM) and waits; false when it did not end by itself.
    bool terminate(int timeoutMs = 10000) { return end(SIGTERM, timeoutMs); }
    bool running() const { return m_process.running(); }
    QString output() const { return m_process.output(); }
    qint64 pid() const { return m_process.pid(); }
    // Starts the program once more beside the running one, in the same folders, and waits for
    // its end: its exit code, -1 when it did not end in time.
    int startAgain(const QStringList& arguments, QString* output = nullptr, int timeoutMs = 60000);
    // Ends it as a crash would (SIGKILL) and waits for it.
    bool kill(int timeoutMs = 5000) { return end(SIGKILL, timeoutMs); }

    // The docked tray icon's window (0 when none).
    std::uint32_t iconWindow() const;

    QStringList acceptList() const;
    QStringList denyList() const;
    // A value of the [General] section of the settings file as the program left it.
    QString setting(const QString& key) const;
    QString appDir() const;
    QString environmentRoot() const { return m_dir.path(); }
    // A "chromium" for --launch-browser: Debian's, on the test's host names, opening the address;
    // the program adds the pipe.
    QString chromiumScript(const QString& url) const;

private:
    bool end(int signal, int timeoutMs);

    QTemporaryDir m_dir;
    QStringList m_environment;
    DesktopProcess m_process;
    QString m_failure;
};
