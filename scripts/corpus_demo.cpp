// The demo behind scripts/demo: the program watching a browser on the popup corpus. Under a
// desktop the program starts the browser itself, as a user would have it (--launch-browser:
// DevTools on a pipe, no port), and both stay up for you to try; without one they run on a
// private X server, a browser with a DevTools port of its own for the demo's clicks (the pipe
// has room for one client only, and the program holds it) is clicked through the corpus, and
// what happened is printed against what was expected with a picture of the tray and window.
// With --firefox the browser is Debian's Firefox on a throwaway profile, the companion extension
// loaded over WebDriver BiDi and the relay set up as --install-firefox-support does it.
#include "e2e/CorpusSession.h"
#include "support/DesktopXClient.h"
#include "support/TrayHost.h"
#include "support/XvfbSession.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void say(const QString& text) {
    std::printf("%s\n", qUtf8Printable(text));
    std::fflush(stdout);
}

QString indexPage(const Corpus& corpus, const CorpusSession& session) {
    QString html = u"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Popup corpus</title></head>"
                   "<body><h1>Popup corpus</h1><p>Each page asks for popups in its own way.</p><ul>"_s;
    for (const CorpusPage& page : corpus.pages)
        html += u"<li><a href=\"%1\">%2</a></li>"_s.arg(session.urlOf(page), page.title.toHtmlEscaped());
    return html + u"</ul></body></html>"_s;
}

// The browser a --launch-browser start left behind (it outlives the program by design).
void endLaunchedBrowser(const QString& output) {
    static const QRegularExpression held(u"the browser's pipe is held at .*/browser-(\\d+) \\(profile"_s);
    if (const auto match = held.match(output); match.hasMatch())
        ::kill(static_cast<pid_t>(match.captured(1).toLongLong()), SIGTERM);
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
    parser.addOption({u"firefox"_s, u"Firefox with the companion extension instead of Chromium."_s});
    parser.process(app);

    const auto failed = [](const QString& why) {
        std::fprintf(stderr, "demo: %s\n", qUtf8Printable(why));
        return 1;
    };
    const Corpus corpus = loadCorpus(parser.value(u"corpus"_s));
    if (!corpus.problems.isEmpty())
        return failed(corpus.problems.join(u'\n'));
    TrayHost trayHost;
    if (headless && !trayHost.start())
        return failed(u"trayer did not start"_s);
    HttpTestServer server;
    CorpusSession session(corpus, server);
    session.startTimeoutMs = 40000;
    server.setPage(u"/"_s, indexPage(corpus, session).toUtf8());
    const QString index = server.url(u"corpus-index.test"_s, u"/"_s);
    ProgramUnderTest program;
    ProgramUnderTest::Options options;
    options.killMode = parser.value(u"mode"_s).toInt();
    session.seed(options);
    const bool withFirefox = parser.isSet(u"firefox"_s);
    if (!headless) {
        if (withFirefox) {
            if (!session.start(program, options, true, false, true))
                return failed(session.failure());
            session.firefox()->bidi().openTab(index);
            say(u"ZOR Brakkon is in your tray, watching the Firefox window beside it on the popup corpus "
                "(popup mode %1; a throwaway profile with the companion extension, popups allowed for the "
                "sites that say so)."_s.arg(options.killMode));
        } else {
            options.arguments = {u"--launch-browser"_s, program.chromiumScript(index)};
            if (!program.start(options, 40000))
                return failed(program.failure());
            say(u"ZOR Brakkon is in your tray, watching the Chromium window it started on the popup corpus "
                "(popup mode %1; the browser has no DevTools port)."_s.arg(options.killMode));
        }
        say(u"Click through the pages; end with \"Exit\" in the tray icon's menu."_s);
        while (program.running())
            QTest::qWait(200);
        endLaunchedBrowser(program.output());
        return 0;
    }
    if (!session.start(program, options, withFirefox))
        return failed(session.failure());

    const QString run = (withFirefox ? u"firefox-mode%1"_s : u"mode%1"_s).arg(options.killMode);
    int matching = 0;
    int visited = 0;
    say(u"%1  %2  %3  %4"_s.arg(u"page"_s, -20)
            .arg(u"cancelled/allowed"_s, -18)
            .arg(u"expected"_s, -18)
            .arg(u""_s));
    session.visitAll(
        run, [&](const CorpusPage& page, const QStringList& expected, const CorpusSession::Visit& visit) {
            const auto describe = [](const QStringList& outcomes) {
                return u"%1 / %2"_s.arg(outcomes.count(u"cancelled"_s)).arg(outcomes.count(u"opened"_s));
            };
            const bool ok = visit.outcomes == expected;
            ++visited;
            matching += ok ? 1 : 0;
            say(u"%1  %2  %3  %4"_s.arg(page.host().chopped(5), -20)
                    .arg(describe(visit.outcomes), -18)
                    .arg(describe(expected), -18)
                    .arg(ok ? u"ok"_s : u"DIFFERS"_s));
        });
    say(u"%1 of %2 pages as expected (popup mode %3, %4)."_s.arg(matching)
            .arg(visited)
            .arg(options.killMode)
            .arg(withFirefox ? u"Firefox: popups it refuses itself never reach the program"_s
                             : u"Chromium"_s));

    // The browser would cover the picture; the window opens on a double click of the tray
    // icon, with its status tab first.
    if (session.chromium())
        session.chromium()->kill();
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
    return matching == visited && saved ? 0 : 1;
}
