#include "platform/WavePlayer.h"
#include "platform/linux/CanberraWavePlayer.h"
#include "sound/WavePlayback.h"
#include "support/DesktopFakes.h"
#include "support/PulseSession.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

using VELModule::PlayWave;
using VELModule::StopWave;

constexpr double Silent = 0.01;
double soundingSeconds(const QVector<qint16>& samples) {
    const auto [first, last] = PulseSession::soundingSpan(samples);
    return first < 0 ? 0.0 : double(last - first) / PulseSession::Rate;
}

// Returns once the recorder's stream is on the server, so that it hears all that plays next.
bool recordingStarted(PulseSession& server) {
    QString streams;
    return server.startRecording() && waitUntil([&] {
               return runProgram(q("pactl"), {q("list"), q("short"), q("source-outputs")}, &streams) == 0 &&
                      !streams.trimmed().isEmpty();
           });
}

// Each test gets a fresh player on one shared private sound server, and records what it played.
class DesktopSoundTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        server = std::make_unique<PulseSession>();
        serverUp = server->start();
    }
    static void TearDownTestSuite() { server.reset(); }
    void SetUp() override {
        ASSERT_TRUE(serverUp) << "the private PulseAudio did not start";
        server->exportToThisProcess();
        previous = platform::setWavePlayer(std::make_unique<platform::CanberraWavePlayer>());
        ASSERT_TRUE(writeToneWave(wave(1000), 1000));
        ASSERT_TRUE(writeToneWave(wave(400), 400));
    }
    void TearDown() override {
        StopWave();
        platform::setWavePlayer(std::move(previous));
    }
    QString wave(int milliseconds) const { return folder.filePath(q("tone%1.wav").arg(milliseconds)); }
    void play(const QString& file, bool wait = false, bool loop = false, bool noStop = false) {
        PlayWave({}, QString(), file, wait, loop, noStop, true);
    }
    QVector<qint16> recordFor(int milliseconds) {
        QTest::qWait(milliseconds);
        return server->stopRecording();
    }

    static inline std::unique_ptr<PulseSession> server;
    static inline bool serverUp = false;
    QTemporaryDir folder;
    ScopedScriptedDialogs dialogs;
    std::unique_ptr<platform::WavePlayer> previous;
};

// A missing file plays nothing; a wave waited for plays whole before the call returns.
TEST_F(DesktopSoundTest, AWaveReallyPlaysToItsEndAndWaitReturnsOnlyThen) {
    ASSERT_TRUE(recordingStarted(*server));
    play(folder.filePath(q("missing.wav")));
    QElapsedTimer timer;
    timer.start();
    play(wave(1000), true);
    EXPECT_GE(timer.elapsed(), 950);
    EXPECT_FALSE(platform::wavePlayer().isPlaying());
    const auto samples = recordFor(800);
    EXPECT_GT(PulseSession::rms(samples), 0.2);
    EXPECT_NEAR(soundingSeconds(samples), 1.0, 0.15);
}

TEST_F(DesktopSoundTest, PlayingAgainRestartsTheSoundUnlessNoStopIsGiven) {
    for (bool noStop : {false, true}) {
        ASSERT_TRUE(recordingStarted(*server));
        play(wave(1000));
        // A restart sounds for the time between the two plays, which a busy machine stretches.
        QElapsedTimer between;
        between.start();
        QTest::qWait(500);
        const double restarted = between.elapsed() / 1000.0 + 1.0;
        play(wave(1000), false, false, noStop);
        EXPECT_NEAR(soundingSeconds(recordFor(2300)), noStop ? 1.0 : restarted, 0.2) << "noStop " << noStop;
    }
}

TEST_F(DesktopSoundTest, ALoopingSoundGoesOnUntilStopSilencesIt) {
    ASSERT_TRUE(recordingStarted(*server));
    play(wave(400), false, true);
    QTest::qWait(1500);
    EXPECT_TRUE(platform::wavePlayer().isPlaying());
    StopWave();
    EXPECT_FALSE(platform::wavePlayer().isPlaying());
    const auto samples = recordFor(800);
    EXPECT_GT(soundingSeconds(samples), 1.2) << "a 0.4 s sound looped for 1.5 s";
    EXPECT_LT(PulseSession::rms(samples, samples.size() - PulseSession::Rate / 2), Silent);
}

// libcanberra waits half a minute on a server that stopped answering: the caller (a popup
// decision) must not, nor be told there is no sound output; the server is used once it answers.
TEST_F(DesktopSoundTest, AServerThatStopsAnsweringHoldsNoCallerUpAndIsUsedAgainWhenItAnswers) {
    play(wave(400), true);
    ASSERT_TRUE(signalProcess(server->serverPid(), SIGSTOP));
    QElapsedTimer timer;
    timer.start();
    for (int n = 0; n < 3; ++n)
        play(wave(400));
    EXPECT_LT(timer.elapsed(), 5000);
    ASSERT_TRUE(signalProcess(server->serverPid(), SIGCONT));
    EXPECT_TRUE(dialogs->messages.isEmpty());
    ASSERT_TRUE(recordingStarted(*server));
    EXPECT_TRUE(waitUntil([&] { return platform::wavePlayer().play(wave(400), {}); }));
    EXPECT_GT(PulseSession::rms(recordFor(800)), 0.1);
}

// What the user is told without sound output is the wave playback test's; here, that Canberra
// without a server reports none, and that a server started later is used.
TEST(DesktopSoundServer, WithoutAServerThereIsNoOutputAndALaterServerIsUsed) {
    PulseSession::pointAtNoServer();
    auto previous = platform::setWavePlayer(std::make_unique<platform::CanberraWavePlayer>());
    QTemporaryDir folder;
    const QString file = folder.filePath(q("tone.wav"));
    ASSERT_TRUE(writeToneWave(file, 600));
    EXPECT_FALSE(platform::wavePlayer().hasOutputDevice());

    auto late = std::make_unique<PulseSession>();
    ASSERT_TRUE(late->start());
    ASSERT_TRUE(recordingStarted(*late));
    PlayWave({}, QString(), file, false, false, false, true);
    QTest::qWait(1000);
    EXPECT_GT(PulseSession::rms(late->stopRecording()), 0.1);

    // The first sound after the server went away already tells the user.
    late.reset();
    ScopedScriptedDialogs dialogs;
    PlayWave({}, QString(), file, false, false, false, true);
    EXPECT_TRUE(waitUntil([&] { return dialogs->messages.size() == 1; }));
    platform::setWavePlayer(std::move(previous));
}

} // namespace
