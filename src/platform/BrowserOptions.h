#pragma once

#include "platform/WebBrowser.h"

#include <QStringList>
#include <memory>

class QCommandLineParser;

namespace platform {

// --browser PORT or --browser ws://127.0.0.1:PORT/devtools/browser/..., repeatable.
void addBrowserOptions(QCommandLineParser& parser);
// Keeps the loopback endpoints given; any other value is refused with a warning.
void applyBrowserOptions(const QCommandLineParser& parser);

// The endpoints applied so far (command line, then tests); empty means "find running browsers".
QStringList browserEndpoints();
void setBrowserEndpoints(const QStringList& endpoints);

// The browsers the program watches: the endpoints above plus those in the settings, or, when
// none is given, every Chromium-family browser that publishes a DevTools port; and always the
// browsers it started itself (--launch-browser), through their holders.
std::unique_ptr<ShellWindows> makeShellWindows();

} // namespace platform
