#include "platform/firefox/FirefoxSupport.h"

#include "platform/Platform.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace platform::firefox {

namespace {

const char* const OptionName = "install-firefox-support";
// Where a package puts the unpacked extension: Firefox's system scope, which Debian's
// firefox-esr loads unsigned.
const char* const SystemExtensionDir =
    "/usr/share/mozilla/extensions/{ec8030f7-c20a-464f-9b0e-13a3a9e97384}/companion@zor-brakkon";

void say(const QString& text) {
    std::fputs(qPrintable(text + u'\n'), stdout);
}

// The unpacked extension: beside the program (a build, or a copy of the program's folder),
// else in the share/ folder of the prefix the program was installed into (the program lives in
// <prefix>/lib[/<arch>]/zor-brakkon), else where the package installs it.
QString extensionFolder(const QString& programFolder) {
    const QString beside = QDir(programFolder).filePath(u"browser-extension/firefox"_s);
    if (QFileInfo::exists(beside + u"/manifest.json"_s))
        return QFileInfo(beside).canonicalFilePath();
    const QString inShare = QString::fromLatin1(SystemExtensionDir).mid(int(qstrlen("/usr/")));
    QDir prefix(programFolder);
    for (int up = 0; up < 3 && prefix.cdUp(); ++up)
        if (QFileInfo::exists(prefix.filePath(inShare + u"/manifest.json"_s)))
            return QFileInfo(prefix.filePath(inShare)).canonicalFilePath();
    if (QFileInfo::exists(QString::fromLatin1(SystemExtensionDir) + u"/manifest.json"_s))
        return QString::fromLatin1(SystemExtensionDir);
    return {};
}

} // namespace

QByteArray hostManifest(const QString& relayPath) {
    const QJsonObject manifest{{"name"_L1, QLatin1StringView(HostName)},
                               {"description"_L1, "ZOR Brakkon: lets the tray program decide on popups"_L1},
                               {"path"_L1, relayPath},
                               {"type"_L1, "stdio"_L1},
                               {"allowed_extensions"_L1, QJsonArray{QLatin1StringView(ExtensionId)}}};
    return QJsonDocument(manifest).toJson();
}

QString userHostManifestPath() {
    return QDir::home().filePath(
        u".mozilla/native-messaging-hosts/%1.json"_s.arg(QLatin1StringView(HostName)));
}

void addFirefoxSupportOption(QCommandLineParser& parser) {
    parser.addOption(
        QCommandLineOption(QString::fromLatin1(OptionName),
                           u"Let Firefox reach the program: writes the relay's host manifest for "
                           "this user and says how to load the companion extension, then ends."_s));
}

bool wantsFirefoxSupport(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == QByteArray("--") + OptionName)
            return true;
    return false;
}

int installFirefoxSupport() {
    const QString programFolder = QFileInfo(executablePath()).absolutePath();
    const QString relay = QDir(programFolder).filePath(QLatin1StringView(RelayFileName));
    if (!QFileInfo(relay).isExecutable()) {
        say(u"The relay %1 is missing or not executable; reinstall ZOR Brakkon."_s.arg(relay));
        return 1;
    }
    // Checked before anything is written: a manifest for an extension that is not there is
    // half a setup.
    const QString extension = extensionFolder(programFolder);
    if (extension.isEmpty()) {
        say(u"The companion extension was not found; reinstall ZOR Brakkon."_s);
        return 1;
    }
    const QString path = userHostManifestPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(hostManifest(relay)) < 0 || !file.commit()) {
        say(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
        return 1;
    }
    say(u"Firefox will start the relay for the companion extension: %1 written."_s.arg(path));
    if (extension == QLatin1String(SystemExtensionDir)) {
        say(u"Debian's firefox-esr loads the extension from %1/ for every profile (restart Firefox\n"
            "if it runs). Mozilla's own Firefox builds load only signed extensions."_s.arg(extension));
        return 0;
    }
    say(u"Now load the extension in Firefox:\n"
        "  - for this session: open about:debugging, \"This Firefox\", \"Load Temporary Add-on...\" and\n"
        "    choose %1/manifest.json;\n"
        "  - for good, on Debian's firefox-esr: install the zor-brakkon package, which puts it into\n"
        "    %2/.\n"
        "Mozilla's own Firefox builds load only signed extensions."_s.arg(
            extension, QString::fromLatin1(SystemExtensionDir)));
    return 0;
}

} // namespace platform::firefox
