// Firefox figures with the whole program: Debian's Firefox ESR headless, the companion extension
// loaded temporarily, Firefox's own popup blocker on and popups allowed for the opener's site.
// (a) how long a cancelled popup's tab stays, from its creation to its end as WebDriver BiDi
// reports them, and whether any popup address reached the server; (b) ordinary page loads
// with the extension, with a bare one that only has what holding a popup needs, and without
// any, in turn, and the processor time the extensions' process and the relay took per load,
// which the machine's other work hardly changes.
#include "../BenchTiming.h"
#include "e2e/ProgramLog.h"
#include "e2e/ProgramUnderTest.h"
#include "support/BidiClient.h"
#include "support/FirefoxProcess.h"
#include "support/HttpTestServer.h"
#include "support/TrayHost.h"
#include "support/WaitUntil.h"
#include "support/XvfbSession.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <random>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int Popups = 100;
constexpr int DefaultLoads = 600;

// A page of some weight: text, a style sheet, a script and images from the same server.
QByteArray ordinaryPage() {
    QByteArray page = "<!DOCTYPE html><title>ordinary</title><link rel=stylesheet href='/style.css'>"
                      "<script src='/app.js'></script>";
    for (int i = 0; i < 20; ++i)
        page += "<p>" + QByteArray(400, 'x') + "<img src='/img" + QByteArray::number(i) + ".png'></p>";
    return page;
}

// A Firefox with the program's HOME and runtime folder and popups allowed for site-a.
std::unique_ptr<FirefoxProcess> startFirefox(const ProgramUnderTest& program, const HttpTestServer& server) {
    const QString permissions = program.environmentRoot() + u"/popup-permissions"_s;
    QFile file(permissions);
    if (file.open(QIODevice::WriteOnly))
        file.write("origin\tpopup\t1\t" + server.url(u"site-a.test"_s, QString()).toUtf8() + "\n");
    file.close();
    return std::make_unique<FirefoxProcess>(
        program.environmentRoot() + u"/home"_s,
        QStringList{u"XDG_RUNTIME_DIR="_s + program.environmentRoot() + u"/runtime"_s},
        QStringList{u"\"permissions.manager.defaultsUrl\", \"file://"_s + permissions + u"\""_s});
}

// Sets Firefox support up for the program's user the way --install-firefox-support does it.
bool installFirefoxSupport(const ProgramUnderTest& program) {
    const QString app = program.appDir();
    QFile::copy(QDir(qEnvironmentVariable("ZOR_RUNTIME_DIR")).filePath(u"zor-brakkon-firefox-relay"_s),
                app + u"zor-brakkon-firefox-relay"_s);
    QFile::link(QDir(qEnvironmentVariable("ZOR_SOURCE_DIR")).filePath(u"browser-extension"_s),
                app + u"browser-extension"_s);
    QProcess install;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, program.environmentRoot() + u"/home"_s);
    install.setProcessEnvironment(environment);
    install.start(app + u"ZORBrakkon"_s, {u"--install-firefox-support"_s});
    return install.waitForFinished() && install.exitCode() == 0;
}

struct ProcessTime {
    long process = 0;
    long parent = 0;
    QByteArray name;
    double seconds = 0;
};

std::vector<ProcessTime> processTimes() {
    std::vector<ProcessTime> all;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (QDirIterator it(u"/proc"_s, QDir::Dirs | QDir::NoDotAndDotDot); it.hasNext();) {
        QFile stat(it.next() + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid ... utime stime: the name may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (open < 0 || fields.size() < 13)
            continue;
        all.push_back({line.left(open).trimmed().toLong(), fields[1].toLong(),
                       line.mid(open + 1, close - open - 1),
                       (fields[11].toDouble() + fields[12].toDouble()) / tick});
    }
    return all;
}

// The Firefox this process started last: its newest child of that name.
long newestFirefox() {
    long newest = 0;
    for (const ProcessTime& p : processTimes())
        if (p.parent == getpid() && p.name.startsWith("firefox"))
            newest = std::max(newest, p.process);
    return newest;
}

// Processor seconds of the extensions' process and of the relay under one Firefox.
double extensionSeconds(long firefox) {
    const std::vector<ProcessTime> all = processTimes();
    double seconds = 0;
    for (std::vector<long> under{firefox}; !under.empty();) {
        const long parent = under.back();
        under.pop_back();
        for (const ProcessTime& p : all) {
            if (p.parent != parent)
                continue;
            under.push_back(p.process);
            if (p.name == "WebExtensions" || p.name.startsWith("zor-brakkon"))
                seconds += p.seconds;
        }
    }
    return seconds;
}

// The page's popups from their creation to their end, as WebDriver BiDi reports them.
std::vector<double> popupLifetimes(BidiClient& bidi, const QString& page) {
    QElapsedTimer clock;
    clock.start();
    QHash<QString, qint64> createdAt;
    std::vector<double> lifetimeMs;
    bidi.onEvent = [&](const QString& method, const QJsonObject& params) {
        const QString context = params.value("context"_L1).toString();
        if (method == "browsingContext.contextCreated"_L1 && params.value("parent"_L1).isNull())
            createdAt.insert(context, clock.nsecsElapsed());
        else if (method == "browsingContext.contextDestroyed"_L1 && createdAt.contains(context))
            lifetimeMs.push_back(static_cast<double>(clock.nsecsElapsed() - createdAt.take(context)) / 1e6);
    };
    bidi.call(u"session.subscribe"_s, {{"events"_L1, QJsonArray{u"browsingContext.contextCreated"_s,
                                                                u"browsingContext.contextDestroyed"_s}}});
    const QString opener = bidi.openTab(page);
    createdAt.remove(opener);
    waitUntil([&] { return static_cast<int>(lifetimeMs.size()) >= Popups; }, 70000);
    bidi.onEvent = nullptr;
    return lifetimeMs;
}

// The browser's own floor: an extension that does nothing but close every tab a page opens, at
// the first event that names it.
bool writeFloorExtension(const QString& folder) {
    QFile manifest(folder + u"/manifest.json"_s), script(folder + u"/background.js"_s);
    return manifest.open(QIODevice::WriteOnly) && script.open(QIODevice::WriteOnly) &&
           manifest.write(R"({"manifest_version": 3, "name": "floor", "version": "1",
                "browser_specific_settings": {"gecko": {"id": "floor@zor-brakkon.bench"}},
                "permissions": ["tabs"], "background": {"scripts": ["background.js"]}})") > 0 &&
           script.write("browser.tabs.onCreated.addListener((tab) => {\n"
                        "    if (tab.openerTabId !== undefined) browser.tabs.remove(tab.id);\n"
                        "});\n") > 0;
}

// What any extension that holds popups must have, doing nothing with it: a content script in
// every document from its start and a blocking listener on every page's request. Loads with it
// are the least that the extension can cost.
bool writeBareExtension(const QString& folder) {
    QFile manifest(folder + u"/manifest.json"_s), background(folder + u"/background.js"_s),
        content(folder + u"/content.js"_s);
    return manifest.open(QIODevice::WriteOnly) && background.open(QIODevice::WriteOnly) &&
           content.open(QIODevice::WriteOnly) &&
           manifest.write(R"({"manifest_version": 3, "name": "bare", "version": "1",
                "browser_specific_settings": {"gecko": {"id": "bare@zor-brakkon.bench"}},
                "permissions": ["webRequest", "webRequestBlocking"], "host_permissions": ["<all_urls>"],
                "background": {"scripts": ["background.js"]},
                "content_scripts": [{"matches": ["<all_urls>"], "js": ["content.js"], "run_at": "document_start",
                                     "all_frames": true, "match_about_blank": true}]})") > 0 &&
           background.write("browser.webRequest.onBeforeRequest.addListener(() => ({}),\n"
                            "    {urls: ['<all_urls>'], types: ['main_frame']}, ['blocking']);\n") > 0 &&
           content.write("'use strict';\n") > 0;
}

// The median of the ratios a[i] / b[i] of the loads of one round, as a change in per cent, with
// its 95 % interval from resampling the rounds: how far another run could put the median.
struct Spread {
    double median = 0, low = 0, high = 0;
};

Spread medianRatio(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        ratios.push_back(a[i] / b[i]);
    if (ratios.empty())
        return {};
    std::mt19937 random(1);
    std::uniform_int_distribution<std::size_t> pick(0, ratios.size() - 1);
    std::vector<double> medians, sample(ratios.size());
    for (int n = 0; n < 2000; ++n) {
        for (double& ratio : sample)
            ratio = ratios[pick(random)];
        medians.push_back(percentile(sample, 0.5));
    }
    const auto change = [](double ratio) { return (ratio - 1) * 100; };
    return {change(percentile(ratios, 0.5)), change(percentile(medians, 0.025)),
            change(percentile(medians, 0.975))};
}

} // namespace

int main(int argc, char** argv) {
    if (!XvfbSession::startForProcess())
        return 1;
    QApplication app(argc, argv);
    // A longer run narrows the interval of the page-load rows: ten times the loads, about a
    // third of the width, takes about an hour.
    int loads = DefaultLoads;
    if (const qsizetype at = app.arguments().indexOf(u"--loads"_s); at > 0) {
        bool number = false;
        loads = app.arguments().value(at + 1).toInt(&number) / 3 * 3;
        if (!number || loads < 3) {
            std::fprintf(stderr, "firefox_figures: --loads wants a number of at least 3\n");
            return 1;
        }
    }
    const QString extension =
        QDir(qEnvironmentVariable("ZOR_SOURCE_DIR")).filePath(u"browser-extension/firefox"_s);
    TrayHost tray;
    HttpTestServer server;
    ProgramUnderTest program;
    if (!tray.start() || !program.start({}) || !installFirefoxSupport(program)) {
        std::fprintf(stderr, "firefox_figures: the program did not start: %s\n",
                     qPrintable(program.failure()));
        return 1;
    }
    QByteArray popups = "<!DOCTYPE html><title>popups</title><script>let n = 0; const t = setInterval(() => {"
                        " if (++n > " +
                        QByteArray::number(Popups) +
                        ") return clearInterval(t); window.open('/popup/' + n); }, 250);"
                        "</script>";
    server.setPage(u"/popups.html"_s, popups);
    server.setPage(u"/ordinary.html"_s, ordinaryPage());

    auto withExtension = startFirefox(program, server);
    BidiClient bidi(withExtension->bidiUrl());
    if (!bidi.isOpen() || bidi.installExtension(extension).isEmpty() ||
        !waitUntil([&] { return program.output().contains(u"Firefox extension"_s); }, 20000)) {
        std::fprintf(stderr, "firefox_figures: Firefox or its extension did not come up\n");
        return 1;
    }

    // (a) Every popup of site-a cancelled by the program (mode 0, no gesture).
    const QString popupPage = server.url(u"site-a.test"_s, u"/popups.html"_s);
    const std::vector<double> lifetimeMs = popupLifetimes(bidi, popupPage);
    std::printf(
        "| cancelled popup tab lifetime, creation -> end (%zu popups) | median %.1f ms | p95 %.1f ms |\n",
        lifetimeMs.size(), percentile(lifetimeMs, 0.5), percentile(lifetimeMs, 0.95));
    std::printf("| popup addresses that reached the server while cancelling | %d | |\n",
                server.count(u"/popup/"_s));
    {
        QTemporaryDir floorExtension;
        auto floor = startFirefox(program, server);
        BidiClient bare(floor->bidiUrl());
        if (!writeFloorExtension(floorExtension.path()) ||
            bare.installExtension(floorExtension.path()).isEmpty()) {
            std::fprintf(stderr, "firefox_figures: the floor's Firefox did not come up\n");
            return 1;
        }
        const std::vector<double> floorMs = popupLifetimes(bare, popupPage);
        std::printf("| the browser's floor: each popup tab closed by a bare extension at its creation (%zu "
                    "popups) | median %.1f ms | p95 %.1f ms |\n",
                    floorMs.size(), percentile(floorMs, 0.5), percentile(floorMs, 0.95));
    }

    // (b) The same page in three fresh Firefoxes, in turn: one with the extension, one with the
    // bare extension below and one without any. Three Firefoxes differ by more than what they
    // carry (where their processes landed, what they cached), so the roles move on every third
    // of the loads and each Firefox plays each role once. The one above has a popup storm behind it.
    QTemporaryDir bareExtension;
    if (!writeBareExtension(bareExtension.path())) {
        std::fprintf(stderr, "firefox_figures: the bare extension could not be written\n");
        return 1;
    }
    struct Browser {
        std::unique_ptr<FirefoxProcess> firefox;
        long process = 0;
        std::unique_ptr<BidiClient> bidi;
        QString tab;
        QString installed;
    };
    struct Role {
        QString extension;
        std::vector<double> ms;
        double seconds = 0;
    };
    const QString url = server.url(u"site-b.test"_s, u"/ordinary.html"_s);
    std::array<Browser, 3> browsers;
    for (Browser& browser : browsers) {
        browser.firefox = startFirefox(program, server);
        browser.process = newestFirefox();
        browser.bidi = std::make_unique<BidiClient>(browser.firefox->bidiUrl());
        browser.tab = browser.bidi->openTab(url);
    }
    std::array<Role, 3> roles{Role{extension, {}, 0}, Role{bareExtension.path(), {}, 0}, Role{}};
    for (int third = 0; third < 3; ++third) {
        std::array<Browser*, 3> playing{};
        for (int role = 0; role < 3; ++role) {
            Browser& browser = browsers[(role + third) % 3];
            playing[role] = &browser;
            if (!browser.installed.isEmpty())
                browser.bidi->call(u"webExtension.uninstall"_s, {{"extension"_L1, browser.installed}});
            browser.installed = roles[role].extension.isEmpty()
                                    ? QString()
                                    : browser.bidi->installExtension(roles[role].extension);
            if (!roles[role].extension.isEmpty() && browser.installed.isEmpty()) {
                std::fprintf(stderr, "firefox_figures: an extension could not be installed\n");
                return 1;
            }
        }
        if (!waitUntil([&] { return program.output().count(u"Firefox extension"_s) == 2 + third; }, 20000)) {
            std::fprintf(stderr, "firefox_figures: the extension did not reach the program\n");
            return 1;
        }
        std::array<double, 3> before{};
        for (int role = 0; role < 3; ++role)
            before[role] = extensionSeconds(playing[role]->process);
        for (int i = third * loads / 3; i < (third + 1) * loads / 3; ++i) {
            // Each goes first in turn: a load that follows another meets a machine still busy
            // with that one's after-work.
            for (int step = 0; step < 3; ++step) {
                const int role = (i + step) % 3;
                QElapsedTimer load;
                load.start();
                playing[role]->bidi->call(u"browsingContext.navigate"_s,
                                          {{"context"_L1, playing[role]->tab},
                                           {"url"_L1, url + u"?"_s + QString::number(i)},
                                           {"wait"_L1, "complete"_L1}});
                roles[role].ms.push_back(static_cast<double>(load.nsecsElapsed()) / 1e6);
            }
        }
        for (int role = 0; role < 3; ++role)
            roles[role].seconds += extensionSeconds(playing[role]->process) - before[role];
    }
    const double without = percentile(roles[2].ms, 0.5);
    const char* names[] = {"with the extension", "with a bare extension (the floor)"};
    for (int role = 0; role < 2; ++role) {
        const double with = percentile(roles[role].ms, 0.5);
        const Spread ratio = medianRatio(roles[role].ms, roles[2].ms);
        std::printf("| ordinary page load, median of %d in turn | %s %.1f ms | without %.1f ms "
                    "(%+.1f %%; load by load, median %+.1f %%, 95 %% interval %+.1f to %+.1f %%) |\n",
                    loads, names[role], with, without, without > 0 ? (with / without - 1) * 100 : 0.0,
                    ratio.median, ratio.low, ratio.high);
    }
    // What ours adds to what any such extension costs, measured directly: the scatter of each
    // against the Firefox without one is larger than the difference between the two.
    const Spread extra = medianRatio(roles[0].ms, roles[1].ms);
    std::printf("| ordinary page load, the extension against the bare one, load by load | median %+.1f %% "
                "| 95 %% interval %+.1f to %+.1f %% |\n",
                extra.median, extra.low, extra.high);
    // Firefox runs its own extensions in that process too: the one without ours is the base.
    std::printf(
        "| processor time per load of the extensions' process and the relay | with the extension %.1f ms "
        "| bare %.1f ms, without %.1f ms |\n",
        roles[0].seconds * 1000 / loads, roles[1].seconds * 1000 / loads, roles[2].seconds * 1000 / loads);
    return 0;
}
