#pragma once

#include <QString>
#include <QStringList>

namespace platform::pipe {

// Where the holders of the browsers this program started offer their DevTools pipes: one local
// socket per browser, "browser-<browser pid>", readable by its user only, in a folder of
// $XDG_RUNTIME_DIR that only that user may enter.
class HolderSockets {
public:
    // A holder told to wait N ms for its browser's answer waits up to this many times N for a
    // browser that is still busy starting.
    static constexpr int LongestWaitFactor = 4;

    static QString folder();
    // Creates the folder when missing and makes sure it is ours and closed to others; false
    // (with the reason) when it cannot be made so.
    static bool preparePrivateFolder(const QString& folder, QString* problem = nullptr);
    static QString socketPath(const QString& folder, qint64 browserPid);
    static QString socketPathFor(qint64 browserPid) { return socketPath(folder(), browserPid); }
    // The sockets in the folder, by name; the folder is not trusted unless it is private.
    static QStringList list();
    // The browser a socket path names; 0 when it names none.
    static qint64 browserPid(const QString& socketPath);
    // Whether the socket is there and its browser runs. A holder takes its socket along when
    // its browser ends; one that was killed leaves it, and its browser follows it within a second.
    static bool isLive(const QString& socketPath);
    // Whether the process at the other end of a connected local socket runs as this user.
    static bool peerIsSameUser(qintptr socketDescriptor);
};

} // namespace platform::pipe
