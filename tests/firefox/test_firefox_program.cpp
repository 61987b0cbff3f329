// The whole program with Debian's Firefox: the companion extension loaded temporarily, the relay
// Firefox starts, Firefox's own popup blocker on. What reached the local server tells whether a
// popup loaded.
#include "e2e/ProgramFirefox.h"
#include "e2e/ProgramTest.h"
#include "platform/firefox/wire/NativeFrame.h"
#include "support/BrowserTestClient.h"
#include "support/ChromiumProcess.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// site-a.test: popups allowed for it in Firefox, as a user may have done, so its script popups
// reach the program. The corpus runs (test_e2e_corpus) cover every other kind of popup.
const QByteArray ScriptPopupPage = R"html(<!DOCTYPE html><title>script</title>
<script>window.open('/popup-script');</script>)html";

class FirefoxProgram : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        server.setPage(u"/script.html"_s, ScriptPopupPage);
    }

    QStringList siteA() const { return {server.url(u"site-a.test"_s, QString())}; }
    QString openScriptPage() {
        return firefox.bidi().openTab(server.url(u"site-a.test"_s, u"/script.html"_s));
    }

    // Waits for the popup's question in the input of the stopped relay and takes it out, so that
    // it is lost with the relay as when the relay dies holding it.
    static bool takeQuestionFrom(qint64 relay) {
        const int input = ::open(qPrintable(u"/proc/%1/fd/0"_s.arg(relay)), O_RDONLY | O_NONBLOCK);
        platform::firefox::FrameReader reader;
        bool asked = false;
        waitUntil([&] {
            char buffer[4096];
            for (ssize_t got; (got = ::read(input, buffer, sizeof buffer)) > 0;)
                reader.append(QByteArray(buffer, got));
            while (const auto payload = reader.next())
                asked = asked || payload->contains(R"("type":"popup")");
            return asked;
        });
        ::close(input);
        return asked;
    }

    ProgramFirefox firefox{program};
};

// Without the program, or when the relay dies while a popup waits for its verdict, browsing
// goes on at once; the next popup finds the program again by itself. The relay ending with the
// program is the relay test's.
class FirefoxWithoutProgram : public FirefoxProgram, public testing::WithParamInterface<bool> {};

TEST_P(FirefoxWithoutProgram, APopupIsLetThroughAtOnceAndTheNextIsDecidedByTheProgramAgain) {
    const bool neverStarted = GetParam();
    qint64 since = 0;
    QString opener;
    if (neverStarted) {
        ASSERT_TRUE(firefox.start(siteA())) << qPrintable(firefox.failure());
        // Timed from the popup's own window, the newest one: the page's load before it, long on a
        // busy machine, is no part of the extension's wait.
        firefox.bidi().onEvent = [&](const QString& method, const QJsonObject&) {
            if (method == "browsingContext.contextCreated"_L1)
                since = server.nowMs();
        };
        firefox.bidi().call(u"session.subscribe"_s,
                            {{"events"_L1, QJsonArray{"browsingContext.contextCreated"_L1}}});
        opener = openScriptPage();
    } else {
        ASSERT_TRUE(program.start({})) << qPrintable(program.failure());
        ASSERT_TRUE(firefox.start(siteA())) << qPrintable(firefox.failure());
        ASSERT_TRUE(firefox.connected()) << qPrintable(program.output());
        static const QRegularExpression connected(u"a Firefox relay connected \\(process (\\d+);"_s);
        const qint64 relay = connected.match(program.output()).captured(1).toLongLong();
        ASSERT_GT(relay, 0) << qPrintable(program.output());
        // Stopped, the relay holds the popup's question when it dies.
        ASSERT_TRUE(signalProcess(relay, SIGSTOP));
        opener = openScriptPage();
        ASSERT_TRUE(takeQuestionFrom(relay));
        ASSERT_EQ(server.count(u"/popup-script"_s), 0);
        since = server.nowMs();
        ASSERT_TRUE(signalProcess(relay, SIGKILL));
    }
    // At once, not when the extension's wait for an answer runs out 3 s after the popup came.
    ASSERT_TRUE(waitUntil([&] { return server.count(u"/popup-script"_s) > 0; }, 5000));
    firefox.bidi().onEvent = nullptr;
    EXPECT_EQ(server.count(u"/popup-script"_s, since + 2500), 0) << "loaded only when the wait ran out";

    // The next popup, at once: the extension starts a new relay for it and waits for the program,
    // which hears again of the tab that was open all along.
    if (neverStarted) {
        ASSERT_TRUE(program.start({})) << qPrintable(program.failure());
    }
    firefox.bidi().call(u"browsingContext.reload"_s, {{"context"_L1, opener}});
    EXPECT_TRUE(waitUntil([&] { return ProgramLog::cancels(program.output()).lines == 1; }))
        << qPrintable(program.output());
    EXPECT_EQ(server.count(u"/popup-script"_s), 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, FirefoxWithoutProgram, testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "NeverStarted" : "RelayDies");
});

// What the package lays out, installed with cmake --install into a staging folder: its
// extension and pref file go into the application scope of a private copy of Firefox's install
// folder, which Debian's Firefox loads unsigned, as it does the system scope the package uses.
// The program watches a Chromium meanwhile as well.
TEST_F(FirefoxProgram, TheInstalledExtensionWorksWithoutATemporaryInstallBesideChromium) {
    ChromiumProcess chromium;
    ASSERT_FALSE(chromium.webSocketUrl().isEmpty()) << qPrintable(chromium.failure());
    ProgramUnderTest::Options options;
    options.arguments = {u"--browser"_s, chromium.webSocketUrl().toString()};
    ASSERT_TRUE(program.start(options)) << qPrintable(program.failure());
    const QString stage = program.environmentRoot() + u"/stage"_s;
    QString output;
    ASSERT_EQ(runProgram(u"env"_s,
                         {u"DESTDIR="_s + stage, u"cmake"_s, u"--install"_s,
                          qEnvironmentVariable("ZOR_RUNTIME_DIR") + u"/.."_s, u"--prefix"_s, u"/usr"_s},
                         &output, 60000),
              0)
        << qPrintable(output);
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
    const QByteArray manifest =
        readBytes(stage + u"/usr/lib/mozilla/native-messaging-hosts/zor_brakkon_firefox_relay.json"_s)
            .replace("\"/usr/", "\"" + QFile::encodeName(stage) + "/usr/");
    writeBytes(firefox.home() + u"/.mozilla/native-messaging-hosts/zor_brakkon_firefox_relay.json"_s,
               manifest);

    ASSERT_TRUE(firefox.launch(siteA(), copy + u"/firefox-esr"_s)) << qPrintable(firefox.failure());
    ASSERT_TRUE(firefox.connected()) << qPrintable(program.output());
    openScriptPage();
    BrowserTestClient(chromium.webSocketUrl()).openTab(server.url(u"site-b.test"_s, u"/script.html"_s));
    EXPECT_TRUE(waitUntil([&] { return ProgramLog::cancels(program.output()).lines == 2; }))
        << qPrintable(program.output());
    EXPECT_EQ(server.count(u"/popup-script"_s), 0);
}

} // namespace
