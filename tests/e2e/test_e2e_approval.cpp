// A browser whose user ticked "Allow remote debugging for this browser instance" in
// chrome://inspect asks that user to approve every connection, in a prompt that waits as long
// as it takes and stays up even after the client gave up. The program asks once, tells the
// user once where to answer, backs off after a refusal, and watches the browser once allowed.
#include "e2e/ProgramTest.h"
#include "lang/LanguageTexts.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// As a user runs it after ticking the box: the setting in the profile's Local State (measured
// with chromium 156: set before the start, the browser opens its port by itself), no DevTools
// switch. Returns the port it opened; an earlier start's port file does not count.
quint16 startBrowser(DesktopProcess& browser, const QString& profile) {
    QFile::remove(profile + u"/DevToolsActivePort"_s);
    writeBytes(profile + u"/Local State"_s, R"({"devtools":{"remote_debugging":{"user-enabled":true}}})");
    browser.start(QStandardPaths::findExecutable(u"chromium"_s),
                  {u"--no-sandbox"_s, u"--disable-gpu"_s, u"--no-first-run"_s,
                   u"--disable-background-networking"_s, u"--user-data-dir="_s + profile, u"about:blank"_s});
    quint16 port = 0;
    waitUntil(
        [&] { return (port = readBytes(profile + u"/DevToolsActivePort"_s).split('\n')[0].toUShort()) != 0; },
        30000);
    return port;
}

QString browserWindow() {
    QString found;
    runProgram(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"Chromium$"_s}, &found);
    return found.section(u'\n', 0, 0).trimmed();
}

// The prompt dims the whole browser window; about:blank is white without it.
bool promptShown() {
    const QString window = browserWindow();
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window.toULongLong()).toImage();
    return !window.isEmpty() && !shot.isNull() &&
           qGray(shot.pixel(shot.width() / 2, shot.height() - 20)) < 200;
}

// Cancel has the focus when the prompt opens; Allow is next to it.
void answer(bool allow) {
    const QStringList keys = allow ? QStringList{u"Tab"_s, u"space"_s} : QStringList{u"Escape"_s};
    runProgram(u"xdotool"_s,
               QStringList{u"windowfocus"_s, u"--sync"_s, browserWindow(), u"key"_s, u"--delay"_s, u"150"_s} +
                   keys);
}

struct Asking {
    const char* name;
    const char* profile; // below the program's HOME, where it looks; nullptr: elsewhere, given by port
    bool refuse;         // Cancel first, then start the browser again
};

class AskingBrowser : public ProgramTest, public testing::WithParamInterface<Asking> {
protected:
    qsizetype told(std::size_t message) const {
        return program.output().count(LanguageTexts::DefaultMessages()[message]);
    }
};

TEST_P(AskingBrowser, IsAskedOnceToldOnceAndWatchedOnceAllowed) {
    const QString profile =
        program.environmentRoot() +
        (GetParam().profile ? u"/home/"_s + QString::fromLatin1(GetParam().profile) : u"/elsewhere"_s);
    DesktopProcess browser;
    const quint16 port = startBrowser(browser, profile);
    ASSERT_NE(port, 0) << browser.output().toStdString();
    ProgramUnderTest::Options options;
    if (!GetParam().profile)
        options.arguments = {u"--browser"_s, QString::number(port)};
    ASSERT_TRUE(program.start(options, 40000)) << program.failure().toStdString();
    ASSERT_TRUE(waitUntil([&] { return told(7) == 1 && promptShown(); }, 20000)) << output();

    if (GetParam().refuse) {
        answer(false);
        ASSERT_TRUE(waitUntil([&] { return told(8) == 1; })) << output();
        EXPECT_FALSE(waitUntil(promptShown, 5000)) << "asked again straight after a refusal";
        browser.stop();
        ASSERT_NE(startBrowser(browser, profile), 0) << browser.output().toStdString();
        ASSERT_TRUE(waitUntil([&] { return told(7) == 2 && promptShown(); }, 20000))
            << "the browser started again was not asked at once\n"
            << output();
    } else {
        // Unanswered through many of the program's rounds: still one prompt, told once.
        waitUntil([] { return false; }, 8000);
    }
    answer(true);
    EXPECT_TRUE(waitUntil([&] { return program.output().contains(u"watching the browser at"_s); }, 15000))
        << output();
    // The answered prompt takes a moment to go on a busy machine; a second one would stay.
    EXPECT_TRUE(waitUntil([] { return !promptShown(); }, 5000))
        << "a second prompt was waiting behind the first";
    EXPECT_EQ(told(7), GetParam().refuse ? 2 : 1) << output();
    EXPECT_EQ(told(8), GetParam().refuse ? 1 : 0) << output();
    EXPECT_TRUE(program.terminate());
}

INSTANTIATE_TEST_SUITE_P(Table, AskingBrowser,
                         testing::Values(Asking{"left_unanswered_then_allowed_flatpak",
                                                ".var/app/org.chromium.Chromium/config/chromium", false},
                                         Asking{"refused_then_restarted_snap",
                                                "snap/chromium/common/chromium", true},
                                         Asking{"allowed_found_by_its_port_alone", nullptr, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
