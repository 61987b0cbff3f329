// The whole program against a real headful Chromium under Xvfb, a tray host and a private sound
// server: every corpus page in every popup mode and key state, judged from outside the program.
// The runs named firefox-* do the same with Debian's headless Firefox, the companion extension
// and the relay (the firefox label runs them). Another corpus folder can be given with --corpus DIR.
#include "e2e/CorpusSession.h"
#include "e2e/ProgramTest.h"
#include "support/PulseSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QScopeGuard>
#include <QSet>
#include <gtest/gtest.h>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

QString corpusFolder() {
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype at = arguments.indexOf(u"--corpus"_s);
    if (at >= 0 && at + 1 < arguments.size())
        return QDir(arguments[at + 1]).absolutePath();
    return qEnvironmentVariable("ZOR_SOURCE_DIR") + u"/tests/e2e/corpus"_s;
}

struct RunCase {
    const char* name; // as the corpus pages name it
    int killMode;
    const char* heldKeys = ""; // held with xdotool while the pages run
    bool hotKeyOff = false;    // blocking switched off with Ctrl + keypad * after the start
    bool sound = false;
    bool ownBlocker = false; // the browser refuses script popups itself
};

class CorpusRun : public ProgramTest, public testing::WithParamInterface<RunCase> {
protected:
    static void SetUpTestSuite() {
        s_corpus.emplace(loadCorpus(corpusFolder()));
        s_pulseReady = s_pulse.emplace().start();
    }
    static void TearDownTestSuite() { s_pulse.reset(); }

    static inline std::optional<Corpus> s_corpus;
    static inline std::optional<PulseSession> s_pulse;
    static inline bool s_pulseReady = false;
};

TEST_P(CorpusRun, EveryPageShowsTheExpectedPopupsAndTheProgramKeepsItsRecord) {
    ASSERT_TRUE(s_corpus->problems.isEmpty()) << s_corpus->problems.join(u'\n').toStdString();
    ASSERT_FALSE(s_corpus->pages.isEmpty());
    ASSERT_TRUE(s_pulseReady) << "no private sound server";
    const RunCase run = GetParam();
    const QString runName = QString::fromLatin1(run.name);

    CorpusSession session(*s_corpus, server);
    ProgramUnderTest::Options options;
    options.killMode = run.killMode;
    options.sound = run.sound;
    QTemporaryDir media;
    if (run.sound) {
        options.soundFile = media.filePath(u"tone.wav"_s);
        ASSERT_TRUE(writeToneWave(options.soundFile, 300));
    }
    session.seed(options);
    QSet<QString> expectedAccepted(options.acceptList.begin(), options.acceptList.end());
    QSet<QString> expectedDenied(options.denyList.begin(), options.denyList.end());
    ASSERT_TRUE(session.start(program, options, runName.startsWith(u"firefox-"_s), run.ownBlocker))
        << session.failure().toStdString();

    if (run.hotKeyOff) {
        ASSERT_EQ(runProgram(u"xdotool"_s, {u"key"_s, u"ctrl+KP_Multiply"_s}), 0);
        ASSERT_TRUE(waitUntil([&] { return program.output().contains(u"hot-key: blocking off"_s); }, 5000))
            << output();
    }
    ASSERT_TRUE(s_pulse->startRecording());

    int cancels = 0;
    {
        // Held down on the X server while the pages run; released even when the test fails.
        const QStringList keys = QString::fromLatin1(run.heldKeys).split(u' ', Qt::SkipEmptyParts);
        if (!keys.isEmpty())
            runProgram(u"xdotool"_s, QStringList{u"keydown"_s} + keys);
        const auto release = qScopeGuard([&] {
            if (!keys.isEmpty())
                runProgram(u"xdotool"_s, QStringList{u"keyup"_s} + keys);
        });
        // Let the program's key poll see the keys before the first popup.
        waitUntil([] { return false; }, run.heldKeys[0] ? 300 : 0);
        qsizetype logFrom = program.output().size();
        session.visitAll(runName, [&](const CorpusPage& page, const QStringList& expected,
                                      const CorpusSession::Visit& visit) {
            const std::string file = page.file.toStdString();
            const auto opened = expected.count(u"opened"_s);
            EXPECT_FALSE(expected.isEmpty()) << file << " names no outcome for " << run.name;
            EXPECT_EQ(visit.outcomes, expected) << file << " (" << page.title.toStdString() << ") "
                                                << visit.note.toStdString() << "\nthe program meanwhile:\n"
                                                << program.output().mid(logFrom).toStdString();
            EXPECT_EQ(visit.requestedPopups.size(), opened)
                << file << ": popup addresses requested; a cancelled popup must never load: "
                << visit.requestedPopups.join(u", "_s).toStdString() << "\nthe program meanwhile:\n"
                << program.output().mid(logFrom).toStdString();
            EXPECT_TRUE(visit.responsive)
                << file << ": the page stopped running its scripts " << visit.note.toStdString();
            if (expected.contains(u"cancelled"_s))
                expectedDenied.insert(page.host());
            if (QString::fromLatin1(run.heldKeys) == u"ctrl shift"_s && opened > 0)
                expectedAccepted.insert(page.host() + u":"_s + QString::number(server.port()));
            cancels += static_cast<int>(visit.outcomes.count(u"cancelled"_s));
            logFrom = program.output().size();
        });
    }
    EXPECT_EQ(PulseSession::soundingSpan(s_pulse->stopRecording()).first >= 0, run.sound && cancels > 0)
        << "sound on every cancel when enabled, silence otherwise";

    ASSERT_TRUE(program.terminate()) << program.output().toStdString();
    const QStringList denied = program.denyList();
    const QStringList accepted = program.acceptList();
    EXPECT_EQ(QSet<QString>(denied.begin(), denied.end()), expectedDenied) << program.output().toStdString();
    EXPECT_EQ(QSet<QString>(accepted.begin(), accepted.end()), expectedAccepted);
    EXPECT_EQ(program.output().count(u"blocks popups by itself, so"_s), run.ownBlocker ? 1 : 0)
        << "the user is told once that the browser's own blocker is on";
}

std::string testName(const testing::TestParamInfo<RunCase>& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Modes, CorpusRun,
                         testing::Values(RunCase{"mode0", 0}, RunCase{"mode1", 1, "", false, true},
                                         RunCase{"mode2", 2}, RunCase{"mode3", 3},
                                         RunCase{"inactive", 1, "", true}, RunCase{"ctrl", 1, "ctrl"},
                                         RunCase{"ctrlshift", 1, "ctrl shift"},
                                         RunCase{"blocker", 0, "", false, false, true}),
                         testName);
INSTANTIATE_TEST_SUITE_P(Firefox, CorpusRun,
                         testing::Values(RunCase{"firefox-mode0", 0}, RunCase{"firefox-mode1", 1},
                                         RunCase{"firefox-mode2", 2}, RunCase{"firefox-mode3", 3},
                                         RunCase{"firefox-ctrl", 1, "ctrl"},
                                         RunCase{"firefox-ctrlshift", 1, "ctrl shift"}),
                         testName);

} // namespace
