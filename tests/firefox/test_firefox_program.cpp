// The whole program with Debian's Firefox: the companion extension loaded temporarily, the relay
// Firefox starts, Firefox's own popup blocker on. What reached the local server tells whether a
// popup loaded.
#include "e2e/ProgramLog.h"
#include "e2e/ProgramUnderTest.h"
#include "support/BidiClient.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProcess.h"
#include "support/DesktopProcess.h"
#include "support/FirefoxProcess.h"
#include "support/HttpTestServer.h"
#include "support/TrayHost.h"
#include "support/WaitUntil.h"
#include "support/XvfbSession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

static const bool underXvfb = XvfbSession::startForProcess();

namespace {

// site-a.test: popups allowed for it in Firefox, as a user may have done, so its script popups
// reach the program. site-b.test: Firefox's defaults.
const QByteArray ScriptPopupPage = R"html(<!DOCTYPE html><title>script</title>
<script>window.open('/popup-script');</script>)html";
const QByteArray ClickPopupPage = R"html(<!DOCTYPE html><title>click</title>
<script>for (let i = 0; i < 3; ++i) window.open('/popup-click');</script>
<button id="open" onclick="window.open('/popup-click')" style="width:200px;height:80px">open</button>)html";

class FirefoxProgram : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(underXvfb);
        ASSERT_TRUE(tray.start());
        server.setPage(u"/script.html"_s, ScriptPopupPage);
        server.setPage(u"/click.html"_s, ClickPopupPage);
    }

    // Firefox support set up as a user without root does it, then Firefox with the extension
    // loaded temporarily.
    void startFirefox() {
        const QString app = program.appDir();
        QFile::copy(QDir(qEnvironmentVariable("ZOR_RUNTIME_DIR")).filePath(u"zor-brakkon-firefox-relay"_s),
                    app + u"zor-brakkon-firefox-relay"_s);
        const QString extension =
            QDir(qEnvironmentVariable("ZOR_SOURCE_DIR")).filePath(u"browser-extension"_s);
        QFile::link(extension, app + u"browser-extension"_s);
        QProcess install;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, home());
        install.setProcessEnvironment(environment);
        install.start(app + u"ZORBrakkon"_s, {u"--install-firefox-support"_s});
        ASSERT_TRUE(install.waitForFinished() && install.exitCode() == 0) << install.readAll().constData();
        ASSERT_NO_FATAL_FAILURE(launchFirefox(u"firefox-esr"_s));
        ASSERT_FALSE(bidi->installExtension(extension + u"/firefox"_s).isEmpty());
    }

    // Firefox with the program's HOME and runtime folder, and site-a's popups allowed.
    void launchFirefox(const QString& binary) {
        const QString permissions = program.environmentRoot() + u"/popup-permissions"_s;
        QFile file(permissions);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("origin\tpopup\t1\t" + server.url(u"site-a.test"_s, QString()).toUtf8() + "\n");
        file.close();
        firefox = std::make_unique<FirefoxProcess>(
            home(), QStringList{u"XDG_RUNTIME_DIR="_s + program.environmentRoot() + u"/runtime"_s},
            QStringList{u"\"permissions.manager.defaultsUrl\", \"file://"_s + permissions + u"\""_s}, binary);
        ASSERT_TRUE(firefox->failure().isEmpty()) << qPrintable(firefox->failure());
        bidi = std::make_unique<BidiClient>(firefox->bidiUrl());
        ASSERT_TRUE(bidi->isOpen());
    }
    QString home() const { return program.environmentRoot() + u"/home"_s; }

    // The program, then Firefox, and the extension connected to the program.
    void startProgramAndFirefox(const ProgramUnderTest::Options& options = {}) {
        ASSERT_TRUE(program.start(options)) << qPrintable(program.failure());
        ASSERT_NO_FATAL_FAILURE(startFirefox());
        ASSERT_TRUE(extensionConnected()) << qPrintable(program.output());
    }
    // The program's output runs on across its restarts: the nth connection since the first start.
    bool extensionConnected(int nth = 1) {
        return waitUntil([&] { return program.output().count(u"Firefox extension"_s) >= nth; }, 20000);
    }

    bool serverSaw(const QString& path) { return server.count(path) > 0; }
    qint64 firstRequestAt(const QString& path) {
        for (const auto& request : server.requests())
            if (request.path == path)
                return request.atMs;
        return -1;
    }

    TrayHost tray;
    HttpTestServer server;
    ProgramUnderTest program;
    std::unique_ptr<FirefoxProcess> firefox;
    std::unique_ptr<BidiClient> bidi;
};

TEST_F(FirefoxProgram, CancelsScriptPopupsBeforeTheyLoadAndLetsClickedOnesThrough) {
    ASSERT_NO_FATAL_FAILURE(startProgramAndFirefox());

    bidi->openTab(server.url(u"site-a.test"_s, u"/script.html"_s));
    ASSERT_TRUE(waitUntil([&] { return ProgramLog::cancels(program.output()).lines == 1; }))
        << qPrintable(program.output());
    EXPECT_FALSE(serverSaw(u"/popup-script"_s));

    // Firefox refuses the page's three opens at load; the click that follows, of the same
    // address, is the user's.
    const QString tab = bidi->openTab(server.url(u"site-b.test"_s, u"/click.html"_s));
    const QJsonObject clicked = bidi->click(tab, u"#open"_s);
    ASSERT_FALSE(clicked.contains("error"_L1)) << qPrintable(clicked.value("error"_L1).toString());
    EXPECT_TRUE(waitUntil([&] { return serverSaw(u"/popup-click"_s); })) << qPrintable(program.output());
    EXPECT_EQ(server.count(u"/popup-click"_s), 1);
    EXPECT_FALSE(serverSaw(u"/popup-script"_s));
    ASSERT_TRUE(program.terminate());
    EXPECT_TRUE(program.denyList().contains(u"site-a.test"_s)) << qPrintable(program.denyList().join(u' '));
    EXPECT_FALSE(program.denyList().contains(u"site-b.test"_s)) << qPrintable(program.denyList().join(u' '));
}

TEST_F(FirefoxProgram, BrowsingGoesOnWithoutTheProgram) {
    ASSERT_NO_FATAL_FAILURE(startFirefox());
    bidi->openTab(server.url(u"site-a.test"_s, u"/script.html"_s));
    // Let through at once, well before the extension's wait for an answer would run out.
    ASSERT_TRUE(waitUntil([&] { return serverSaw(u"/popup-script"_s); }, 10000));
    EXPECT_LT(firstRequestAt(u"/popup-script"_s) - firstRequestAt(u"/script.html"_s), 2500);
}

TEST_F(FirefoxProgram, APopupHeldWhenTheProgramDiesIsLetThroughAndTheProgramIsFoundAgain) {
    ASSERT_NO_FATAL_FAILURE(startProgramAndFirefox());
    ASSERT_TRUE(program.signal(SIGSTOP));
    bidi->openTab(server.url(u"site-a.test"_s, u"/script.html"_s));
    ASSERT_FALSE(serverSaw(u"/popup-script"_s));
    const qint64 killed = server.nowMs();
    ASSERT_TRUE(program.kill());
    // At once, not when the extension's wait for an answer runs out 3 s after the popup came.
    ASSERT_TRUE(waitUntil([&] { return serverSaw(u"/popup-script"_s); }, 5000));
    EXPECT_LT(firstRequestAt(u"/popup-script"_s) - killed, 1500);

    ASSERT_TRUE(program.start({})) << qPrintable(program.failure());
    ASSERT_TRUE(extensionConnected(2)) << qPrintable(program.output());
    bidi->openTab(server.url(u"site-a.test"_s, u"/script.html"_s));
    EXPECT_TRUE(waitUntil([&] { return ProgramLog::cancels(program.output()).lines == 1; }))
        << qPrintable(program.output());
    EXPECT_EQ(server.count(u"/popup-script"_s), 1);
}

TEST_F(FirefoxProgram, CtrlAndShiftHeldLetAScriptPopupThroughAndAcceptItsSite) {
    ASSERT_NO_FATAL_FAILURE(startProgramAndFirefox());
    runProgram(u"xdotool"_s, {u"keydown"_s, u"ctrl"_s, u"shift"_s});
    bidi->openTab(server.url(u"site-a.test"_s, u"/script.html"_s));
    const bool loaded = waitUntil([&] { return serverSaw(u"/popup-script"_s); });
    runProgram(u"xdotool"_s, {u"keyup"_s, u"ctrl"_s, u"shift"_s});
    EXPECT_TRUE(loaded);
    ASSERT_TRUE(program.terminate());
    EXPECT_EQ(program.acceptList(), QStringList{u"site-a.test:%1"_s.arg(server.port())});
}

TEST_F(FirefoxProgram, WatchesChromiumAndFirefoxAtOnce) {
    ChromiumProcess chromium;
    ASSERT_FALSE(chromium.webSocketUrl().isEmpty()) << qPrintable(chromium.failure());
    ProgramUnderTest::Options options;
    options.arguments = {u"--browser"_s, chromium.webSocketUrl().toString()};
    ASSERT_NO_FATAL_FAILURE(startProgramAndFirefox(options));
    bidi->openTab(server.url(u"site-a.test"_s, u"/script.html"_s));
    BrowserTestClient chromiumClient(chromium.webSocketUrl());
    chromiumClient.openTab(server.url(u"site-b.test"_s, u"/script.html"_s));
    EXPECT_TRUE(waitUntil([&] { return ProgramLog::cancels(program.output()).lines == 2; }))
        << qPrintable(program.output());
    EXPECT_FALSE(serverSaw(u"/popup-script"_s));
    ASSERT_TRUE(program.terminate());
    EXPECT_TRUE(program.denyList().contains(u"site-a.test"_s) &&
                program.denyList().contains(u"site-b.test"_s))
        << qPrintable(program.denyList().join(u' '));
}

// What the package lays out, installed with cmake --install into a staging folder: its
// extension and pref file go into the application scope of a private copy of Firefox's install
// folder, which Debian's Firefox loads unsigned, as it does the system scope the package uses.
TEST_F(FirefoxProgram, TheInstalledExtensionWorksWithoutATemporaryInstall) {
    ASSERT_TRUE(program.start({})) << qPrintable(program.failure());
    const QString stage = program.environmentRoot() + u"/stage"_s;
    QProcess install;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DESTDIR"_s, stage);
    install.setProcessEnvironment(environment);
    install.start(u"cmake"_s, {u"--install"_s, qEnvironmentVariable("ZOR_RUNTIME_DIR") + u"/.."_s,
                               u"--prefix"_s, u"/usr"_s});
    ASSERT_TRUE(install.waitForFinished(60000) && install.exitCode() == 0) << install.readAll().constData();
    const QString copy = program.environmentRoot() + u"/firefox"_s;
    ASSERT_EQ(runProgram(u"cp"_s, {u"-as"_s, u"/usr/lib/firefox-esr"_s, copy}), 0);
    // Firefox finds its folder from its own executable, so that one is a real copy.
    QFile::remove(copy + u"/firefox-esr"_s);
    ASSERT_TRUE(QFile::copy(u"/usr/lib/firefox-esr/firefox-esr"_s, copy + u"/firefox-esr"_s));
    QDir().mkpath(copy + u"/browser/extensions"_s);
    QFile::link(
        stage +
            u"/usr/share/mozilla/extensions/{ec8030f7-c20a-464f-9b0e-13a3a9e97384}/companion@zor-brakkon"_s,
        copy + u"/browser/extensions/companion@zor-brakkon"_s);
    QFile::copy(stage + u"/etc/firefox-esr/zor-brakkon.js"_s, copy + u"/defaults/pref/zor-brakkon.js"_s);
    // The system folder of host manifests is out of a test's reach: the installed manifest goes
    // where Firefox reads a user's, naming the staged relay.
    QFile installed(stage + u"/usr/lib/mozilla/native-messaging-hosts/zor_brakkon_firefox_relay.json"_s);
    ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
    const QByteArray manifest =
        installed.readAll().replace("\"/usr/", "\"" + QFile::encodeName(stage) + "/usr/");
    QDir().mkpath(home() + u"/.mozilla/native-messaging-hosts"_s);
    QFile user(home() + u"/.mozilla/native-messaging-hosts/zor_brakkon_firefox_relay.json"_s);
    ASSERT_TRUE(user.open(QIODevice::WriteOnly) && user.write(manifest) == manifest.size());
    user.close();

    ASSERT_NO_FATAL_FAILURE(launchFirefox(copy + u"/firefox-esr"_s));
    ASSERT_TRUE(extensionConnected()) << qPrintable(program.output());
    bidi->openTab(server.url(u"site-a.test"_s, u"/script.html"_s));
    EXPECT_TRUE(waitUntil([&] { return ProgramLog::cancels(program.output()).lines == 1; }));
    EXPECT_FALSE(serverSaw(u"/popup-script"_s));
}

} // namespace
