#include "platform/cdp/ProfileFolder.h"

#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace platform::cdp {

namespace {

struct Layout {
    const char* browser;
    const char* folder; // below the browser's configuration folder
};

// Below the configuration folder (~/.config, or $CHROME_CONFIG_HOME, which Chromium-family
// browsers take instead when it is set).
constexpr Layout Native[] = {
    {"Chromium", "chromium"},
    {"Google Chrome", "google-chrome"},
    {"Google Chrome Beta", "google-chrome-beta"},
    {"Google Chrome Dev", "google-chrome-unstable"},
    {"Microsoft Edge", "microsoft-edge"},
    {"Microsoft Edge Beta", "microsoft-edge-beta"},
    {"Microsoft Edge Dev", "microsoft-edge-dev"},
    {"Brave", "BraveSoftware/Brave-Browser"},
    {"Vivaldi", "vivaldi"},
};

// A Flatpak app keeps its configuration in ~/.var/app/<app id>/config.
struct FlatpakLayout {
    const char* browser;
    const char* appId;
    const char* folder;
};
constexpr FlatpakLayout Flatpak[] = {
    {"Chromium (Flatpak)", "org.chromium.Chromium", "chromium"},
    {"Ungoogled Chromium (Flatpak)", "io.github.ungoogled_software.ungoogled_chromium", "chromium"},
    {"Google Chrome (Flatpak)", "com.google.Chrome", "google-chrome"},
    {"Google Chrome Dev (Flatpak)", "com.google.ChromeDev", "google-chrome-unstable"},
    {"Microsoft Edge (Flatpak)", "com.microsoft.Edge", "microsoft-edge"},
    {"Microsoft Edge Dev (Flatpak)", "com.microsoft.EdgeDev", "microsoft-edge-dev"},
    {"Brave (Flatpak)", "com.brave.Browser", "BraveSoftware/Brave-Browser"},
    {"Vivaldi (Flatpak)", "com.vivaldi.Vivaldi", "vivaldi"},
};

// Below the home folder. The Chromium snap keeps its profile in the snap's common folder (its
// launcher points CHROME_CONFIG_HOME there); Brave's snap in the current revision's .config.
constexpr Layout Snap[] = {
    {"Chromium (snap)", "snap/chromium/common/chromium"},
    {"Brave (snap)", "snap/brave/current/.config/BraveSoftware/Brave-Browser"},
};

} // namespace

QList<ProfileFolder> ProfileFolder::known() {
    QStringList configFolders{QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)};
    if (const QString chromeConfig = qEnvironmentVariable("CHROME_CONFIG_HOME"); !chromeConfig.isEmpty())
        configFolders.prepend(chromeConfig);
    const QDir home(QDir::homePath());
    QList<ProfileFolder> folders;
    for (const QString& config : std::as_const(configFolders))
        for (const Layout& layout : Native)
            folders.append({QString::fromLatin1(layout.browser),
                            QDir(config).filePath(QString::fromLatin1(layout.folder))});
    for (const FlatpakLayout& layout : Flatpak)
        folders.append({QString::fromLatin1(layout.browser),
                        home.filePath(u".var/app/%1/config/%2"_s.arg(QString::fromLatin1(layout.appId),
                                                                     QString::fromLatin1(layout.folder)))});
    for (const Layout& layout : Snap)
        folders.append(
            {QString::fromLatin1(layout.browser), home.filePath(QString::fromLatin1(layout.folder))});
    return folders;
}

} // namespace platform::cdp
