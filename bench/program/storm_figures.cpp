// Popup storm figures of the whole program, printed as Markdown table rows: pages calling
// window.open in a tight loop for ten seconds, from one tab and from ten tabs at once, in popup
// mode "ALL popups" against a real headful Chromium. For each: popups decided per second, how
// quickly the program's window answered _NET_WM_PING meanwhile (as measured and without the
// program's and the X server's waits for a processor), and its resident memory before and after.
#include "WindowPinger.h"
#include "e2e/PopupStorm.h"
#include "e2e/ProgramLog.h"
#include "e2e/ProgramUnderTest.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProcess.h"
#include "support/HttpTestServer.h"
#include "support/TrayHost.h"
#include "support/XvfbSession.h"

#include <QApplication>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int StormMs = 10000;

void row(const QString& what, const QString& figures) {
    std::printf("| %s | %s |\n", qUtf8Printable(what), qUtf8Printable(figures));
    std::fflush(stdout);
}

bool storm(int tabs) {
    HttpTestServer server;
    server.setPage(u"/storm.html"_s, PopupStorm::Page);
    ChromiumProcess chromium(false);
    ProgramUnderTest program;
    ProgramUnderTest::Options options;
    options.killMode = 1;
    options.showWindow = true;
    options.arguments = {u"--browser"_s, chromium.webSocketUrl().toString()};
    if (!chromium.failure().isEmpty() || !program.start(options)) {
        std::fprintf(stderr, "storm: %s%s\n", qUtf8Printable(chromium.failure()),
                     qUtf8Printable(program.failure()));
        return false;
    }
    std::uint32_t window = 0;
    waitUntil([&] { return (window = WindowPinger::topLevelOf(program.pid(), u"ZOR Brakkon"_s)) != 0; });
    BrowserTestClient client(chromium.webSocketUrl());
    PopupStorm::run(client, server, {u"warm.test"_s}, 1000);
    waitUntil([] { return false; }, 1500);
    const int cancelsBefore = ProgramLog::cancels(program.output()).session;
    const qint64 before = PopupStorm::residentBytes(program.pid());

    WindowPinger pinger(window, {program.pid(), WindowPinger::ownXServerPid()});
    pinger.start();
    const PopupStorm::Result result = PopupStorm::run(client, server, PopupStorm::hosts(tabs), StormMs);
    const WindowPinger::Figures pings = pinger.stop();
    // The last cancels settle, as they would in an idle program.
    waitUntil([] { return false; }, 2000);
    const qint64 after = PopupStorm::residentBytes(program.pid());
    const int cancels = ProgramLog::cancels(program.output()).session - cancelsBefore;
    program.terminate();

    const QString label = u"%1 tab(s), window.open loop for %2 s"_s.arg(tabs).arg(StormMs / 1000);
    row(label + u": popups"_s,
        u"%1 calls, %2 cancels counted (%3 per second); %4 left open; %5 popup addresses requested"_s
            .arg(result.calls)
            .arg(cancels)
            .arg(result.calls * 1000.0 / StormMs, 0, 'f', 1)
            .arg(result.calls - result.closed)
            .arg(server.count(u"/popup/"_s)));
    row(label + u": window ping round trip"_s,
        u"median %1 ms, max %2 ms, max without processor waits %3 ms (%4 pings)"_s
            .arg(pings.medianMs, 0, 'f', 2)
            .arg(pings.maxMs, 0, 'f', 1)
            .arg(pings.maxOwnMs, 0, 'f', 1)
            .arg(pings.answered));
    row(label + u": program memory before → after"_s,
        u"%1 → %2 MiB"_s.arg(static_cast<double>(before) / 1048576.0, 0, 'f', 1)
            .arg(static_cast<double>(after) / 1048576.0, 0, 'f', 1));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (!XvfbSession::startForProcess())
        return 1;
    QApplication app(argc, argv);
    TrayHost trayHost;
    if (!trayHost.start()) {
        std::fprintf(stderr, "storm: trayer did not start\n");
        return 1;
    }
    for (const int tabs : {1, 10})
        if (!storm(tabs))
            return 1;
    return 0;
}
