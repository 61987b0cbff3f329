#pragma once

#include <QList>
#include <QString>

namespace platform::cdp {

// A Chromium-family browser's user-data folder, where it writes DevToolsActivePort once it
// opens a DevTools port (or the user allows remote debugging from chrome://inspect).
struct ProfileFolder {
    QString browser; // as the user knows it: "Google Chrome (Flatpak)"
    QString path;

    // The default folders of the browsers of this family as Debian packages, the vendors'
    // packages, Flatpak and snap install them, for the current user.
    static QList<ProfileFolder> known();
};

} // namespace platform::cdp
