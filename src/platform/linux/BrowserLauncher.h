#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QCommandLineParser;

namespace platform {

// Starts a Chromium-family browser the program can watch: a DevTools port on loopback and the
// browser's own popup blocker off, so that every popup reaches this program. Recent branded
// browsers refuse a DevTools port on their default profile; the launcher then starts them on a
// dedicated profile below the program's data folder. A browser already running on the profile
// without a port cannot be attached to; the launcher says so instead of starting a second one.
class BrowserLauncher {
public:
    struct Result {
        QString endpoint;   // ws://127.0.0.1:.../devtools/browser/...; empty on failure
        QString message;    // what the user is told (failure, or the switch of profiles)
        QString profileDir; // the profile the browser runs on
        bool usedDedicatedProfile = false;
        qint64 pid = 0; // of the browser started; 0 when none was started
    };

    // The browsers tried, in this order, when none is named.
    static QStringList defaultPrograms();
    // The absolute path of the named program (or of the first default one found); empty if none.
    static QString findProgram(const QString& requested);
    // The default profile folder of a known browser (by executable name); empty when unknown.
    static QString defaultProfileDir(const QString& program);
    // The dedicated profile folder used when the default one refuses a DevTools port.
    static QString dedicatedProfileDir(const QString& program);
    // The flags every launched browser gets (besides --user-data-dir).
    static QStringList launchFlags();
    // The pid of a live browser holding the profile, 0 when none.
    static qint64 runningProfileOwner(const QString& profileDir);
    // The loopback WebSocket address in a DevToolsActivePort file; empty when incomplete.
    static QString endpointFromActivePort(const QString& profileDir);

    // How long to wait for the port file before giving up on a profile.
    void setTimeoutMs(int milliseconds) { m_timeoutMs = milliseconds; }
    Result launch(const QString& requested);

private:
    enum class Wait { Ready, Refused, Exited, TimedOut };
    Wait waitForPort(const QString& profileDir, qint64 pid, const QString& errorLog, QString& endpoint) const;
    static qint64 start(const QString& program, const QStringList& arguments, const QString& errorLog);

    int m_timeoutMs = 15000;
};

// --launch-browser [PROGRAM]
void addLaunchBrowserOption(QCommandLineParser& parser);
// Starts the browser when asked and adds its endpoint to the watched ones; tells the user on failure.
void applyLaunchBrowserOption(const QCommandLineParser& parser);

} // namespace platform
