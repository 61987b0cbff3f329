#pragma once

#include <QByteArray>
#include <QString>

class QCommandLineParser;

namespace platform::firefox {

// The companion extension's fixed id, the only one the relay's host manifest lets in.
inline constexpr char ExtensionId[] = "companion@zor-brakkon";
// The native-messaging host name the extension asks Firefox to start.
inline constexpr char HostName[] = "zor_brakkon_firefox_relay";
inline constexpr char RelayFileName[] = "zor-brakkon-firefox-relay";

// Firefox's host manifest for the relay at relayPath (absolute, as Firefox requires).
QByteArray hostManifest(const QString& relayPath);
// $HOME/.mozilla/native-messaging-hosts/<HostName>.json, which Firefox reads before the
// system-wide folder.
QString userHostManifestPath();

// --install-firefox-support: what a user without root needs to have Firefox reach the program.
void addFirefoxSupportOption(QCommandLineParser& parser);
bool wantsFirefoxSupport(int argc, char* argv[]);
// Writes the per-user host manifest for the relay beside this program and says on standard
// output how to load the extension; the exit code of the program.
int installFirefoxSupport();

} // namespace platform::firefox
