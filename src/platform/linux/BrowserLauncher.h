#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QCommandLineParser;

namespace platform {

// Starts a Chromium-family browser the program can watch: DevTools on a pipe, which no other
// process can reach (no port is opened), and the browser's own popup blocker off, so that every
// popup reaches this program. The pipe is owned by a holder process (ZORBrakkonHolder beside
// the program) for the browser's whole life, so the browser outlives the program; the program
// finds it again through the holder's socket. Recent branded browsers refuse DevTools on their
// default profile; the launcher then starts them on a dedicated profile below the program's
// data folder. A browser already running on the profile outside a holder cannot be attached to
// unless it has a port; the launcher says so instead of starting a second one.
class BrowserLauncher {
public:
    struct Result {
        QString holderSocket; // the holder that offers the browser's pipe
        QString endpoint;     // or: ws://127.0.0.1:... of a browser found running with a port
        QString message;      // what the user is told (failure, or the switch of profiles)
        QString profileDir;   // the profile the browser runs on
        bool usedDedicatedProfile = false;
        qint64 pid = 0; // of the browser started; 0 when none was started
        bool watchable() const { return !holderSocket.isEmpty() || !endpoint.isEmpty(); }
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
    // The holder socket of the browser on the profile when this program started it; else empty.
    static QString heldSocketOn(const QString& profileDir);
    // The loopback WebSocket address in a DevToolsActivePort file; empty when incomplete.
    static QString endpointFromActivePort(const QString& profileDir);

    // The holder beside the running program.
    static QString defaultHolderProgram();

    // How long to wait for the browser's first answer before giving up on a profile.
    void setTimeoutMs(int milliseconds) { m_timeoutMs = milliseconds; }
    void setHolderProgram(const QString& path) { m_holder = path; }
    Result launch(const QString& requested);

private:
    enum class Start { Ready, Refused, Exited, Failed };
    Start startHeld(const QString& program, const QStringList& arguments, const QString& errorLog,
                    Result& result) const;

    int m_timeoutMs = 15000;
    QString m_holder = defaultHolderProgram();
};

// What --launch-browser did, for the user.
struct LaunchReport {
    bool started = false; // a browser was started for it
    bool failed = false;  // asked for, and there is no browser to watch
    QString message;      // what the user is to be told; empty when nothing
};

// --launch-browser [PROGRAM]
void addLaunchBrowserOption(QCommandLineParser& parser);
// Starts the browser when asked (its holder is then found with the others) and logs what came
// of it; the caller tells the user the report's message.
LaunchReport applyLaunchBrowserOption(const QCommandLineParser& parser);

} // namespace platform
