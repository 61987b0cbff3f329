// The demo behind scripts/demo: the program watching a browser on the popup corpus. Under a
// desktop it leaves both running for you to try; without one it runs them on a private X
// server, clicks through the corpus, prints what happened against what was expected and
// writes a picture of the tray and the program's window.
#include "e2e/CorpusDriver.h"
#include "e2e/ProgramUnderTest.h"
#include "support/ChromiumProcess.h"
#include "support/DesktopXClient.h"
#include "support/HttpTestServer.h"
#include "support/TrayHost.h"
#include "support/XvfbSession.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void say(const QString& text) {
    std::printf("%s\n", qUtf8Printable(text));
    std::fflush(stdout);
}

QString indexPage(const Corpus& corpus, const CorpusDriver& driver) {
    QString html = u"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Popup corpus</title></head>"
                   "<body><h1>Popup corpus</h1><p>Each page asks for popups in its own way.</p><ul>"_s;
    for (const CorpusPage& page : corpus.pages)
        html += u"<li><a href=\"%1\">%2</a></li>"_s.arg(driver.urlOf(page), page.title.toHtmlEscaped());
    return html + u"</ul></body></html>"_s;
}

} // namespace

int main(int argc, char** argv) {
    const bool headless =
        qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsSet("ZOR_DEMO_HEADLESS");
    if (headless && !XvfbSession::startForProcess()) {
        std::fprintf(stderr, "demo: Xvfb could not be started\n");
        return 1;
    }
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({u"corpus"_s, u"The corpus folder."_s, u"DIR"_s});
    parser.addOption({u"mode"_s, u"The popup mode, 0 to 3."_s, u"N"_s, u"0"_s});
    parser.addOption({u"screenshot"_s, u"Where the picture goes."_s, u"FILE"_s, u"zor-demo.png"_s});
    parser.process(app);

    const Corpus corpus = loadCorpus(parser.value(u"corpus"_s));
    if (!corpus.problems.isEmpty()) {
        std::fprintf(stderr, "demo: %s\n", qUtf8Printable(corpus.problems.join(u'\n')));
        return 1;
    }
    TrayHost trayHost;
    if (headless && !trayHost.start()) {
        std::fprintf(stderr, "demo: trayer did not start\n");
        return 1;
    }
    HttpTestServer server;
    ChromiumProcess chromium(false);
    if (!chromium.failure().isEmpty()) {
        std::fprintf(stderr, "demo: %s\n", qUtf8Printable(chromium.failure()));
        return 1;
    }
    ProgramUnderTest program;
    ProgramUnderTest::Options options;
    options.killMode = parser.value(u"mode"_s).toInt();
    for (const CorpusPage& page : corpus.pages) {
        for (const QString& seed : page.acceptSeeds)
            options.acceptList << CorpusPage::expand(seed, page.host(), server.port());
        for (const QString& seed : page.denySeeds)
            options.denyList << CorpusPage::expand(seed, page.host(), server.port());
    }
    options.arguments = {u"--browser"_s, chromium.webSocketUrl().toString()};
    if (!program.start(options)) {
        std::fprintf(stderr, "demo: %s\n", qUtf8Printable(program.failure()));
        return 1;
    }
    BrowserTestClient client(chromium.webSocketUrl());
    CorpusDriver driver(client, server);
    driver.serve(corpus);
    server.setPage(u"/"_s, indexPage(corpus, driver).toUtf8());

    if (!headless) {
        client.openTab(server.url(u"corpus-index.test"_s, u"/"_s));
        say(u"ZOR Brakkon is in your tray, watching the Chromium window on the popup corpus (popup mode %1)."_s
                .arg(options.killMode));
        say(u"Click through the pages; end with \"Exit\" in the tray icon's menu."_s);
        while (program.running() && chromium.isRunning())
            QTest::qWait(200);
        program.terminate();
        return 0;
    }

    // Let the program attach before the first page.
    QTest::qWait(1500);
    const QString run = u"mode%1"_s.arg(options.killMode);
    int matching = 0;
    say(u"%1  %2  %3  %4"_s.arg(u"page"_s, -20)
            .arg(u"cancelled/allowed"_s, -18)
            .arg(u"expected"_s, -18)
            .arg(u""_s));
    for (const CorpusPage& page : corpus.pages) {
        const QStringList expected = page.expectedIn(run);
        const CorpusDriver::Visit visit = driver.visit(page, expected);
        const auto describe = [](const QStringList& outcomes) {
            return u"%1 / %2"_s.arg(outcomes.count(u"cancelled"_s)).arg(outcomes.count(u"opened"_s));
        };
        const bool ok = visit.outcomes == expected;
        matching += ok ? 1 : 0;
        say(u"%1  %2  %3  %4"_s.arg(page.host().chopped(5), -20)
                .arg(describe(visit.outcomes), -18)
                .arg(describe(expected), -18)
                .arg(ok ? u"ok"_s : u"DIFFERS"_s));
    }
    say(u"%1 of %2 pages as expected (popup mode %3)."_s.arg(matching)
            .arg(corpus.pages.size())
            .arg(options.killMode));

    // The browser would cover the picture; the window opens on a double click of the tray
    // icon, with its status tab first.
    chromium.kill();
    DesktopXClient x;
    const QPoint icon = x.centreOf(program.iconWindow());
    QProcess::execute(u"xdotool"_s, {u"mousemove"_s, QString::number(icon.x()), QString::number(icon.y()),
                                     u"click"_s, u"--repeat"_s, u"2"_s, u"--delay"_s, u"80"_s, u"1"_s});
    QTest::qWait(1500);
    const QString file = QFileInfo(parser.value(u"screenshot"_s)).absoluteFilePath();
    const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(file);
    program.terminate();
    say(saved ? u"Screenshot of the tray and the window: %1"_s.arg(file)
              : u"demo: could not write %1"_s.arg(file));
    return matching == corpus.pages.size() && saved ? 0 : 1;
}
