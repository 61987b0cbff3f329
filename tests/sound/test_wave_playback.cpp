#include "sound/WavePlayback.h"
#include "support/DesktopFakes.h"
#include "support/ScriptedDialogs.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using VELModule::PlayWave;
using VELModule::StopWave;

class WavePlaybackTest : public testing::Test {
protected:
    ScopedFakeWavePlayer player;
    ScopedScriptedDialogs dialogs;
};

struct FlagCase {
    const char* name;
    bool wait, loop, noStop, noDefault;
};
class WaveFlagsTest : public WavePlaybackTest, public testing::WithParamInterface<FlagCase> {};

TEST_P(WaveFlagsTest, EveryFlagReachesThePlayerAsGiven) {
    const FlagCase& flags = GetParam();
    PlayWave({}, QString(), QStringLiteral("/sounds/ding.wav"), flags.wait, flags.loop, flags.noStop,
             flags.noDefault);
    ASSERT_EQ(player->played.size(), 1);
    const auto& played = player->played.first();
    EXPECT_EQ(played.fileName, QStringLiteral("/sounds/ding.wav"));
    EXPECT_EQ(played.options.wait, flags.wait);
    EXPECT_EQ(played.options.loop, flags.loop);
    EXPECT_EQ(played.options.noStop, flags.noStop);
    EXPECT_EQ(played.options.noDefault, flags.noDefault);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, WaveFlagsTest,
    testing::Values(FlagCase{"AsTheProgramPlays", false, false, false, true},
                    FlagCase{"Wait", true, false, false, false}, FlagCase{"Loop", false, true, false, false},
                    FlagCase{"NoStop", false, false, true, false}, FlagCase{"All", true, true, true, true}),
    [](const testing::TestParamInfo<FlagCase>& info) { return std::string(info.param.name); });

TEST_F(WavePlaybackTest, AnEmptyFileNameOrABuiltInResourcePlaysNothing) {
    PlayWave({}, QString(), QString(), false, false, false, true);
    PlayWave(QVariant(101), QStringLiteral("WAVE"), QString(), false, false, false, true);
    EXPECT_TRUE(player->played.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(WavePlaybackTest, StopReachesThePlayerAlsoWithNothingPlaying) {
    StopWave();
    EXPECT_EQ(player->stops, 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs->messages.isEmpty()) << "stopping silence shows nothing";
}

TEST_F(WavePlaybackTest, WithoutSoundOutputTheUserIsToldAfterTheCallerHasReturned) {
    player->device = false;
    PlayWave({}, QString(), QStringLiteral("/sounds/ding.wav"), false, false, false, true);
    EXPECT_TRUE(dialogs->messages.isEmpty()) << "a box inside the call would hold the popup being decided";
    EXPECT_TRUE(player->played.isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(dialogs->messages.first().prompt, QStringLiteral("Unable to init SOUND-DECVICE"));
    EXPECT_EQ(dialogs->messages.first().icon, platform::MsgIcon::Exclamation);
    EXPECT_EQ(dialogs->messages.first().buttons, platform::MsgButtons::Ok);
    EXPECT_EQ(dialogs->messages.first().title, QStringLiteral("ZOR Brakkon"));
}

TEST_F(WavePlaybackTest, AStormOfPlaysWithoutOutputShowsOneBoxAtATime) {
    player->device = false;
    for (int popup = 0; popup < 20; ++popup)
        PlayWave({}, QString(), QStringLiteral("/sounds/ding.wav"), false, false, false, true);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs->messages.size(), 1);
    // Once that box is closed, the next attempt warns again.
    PlayWave({}, QString(), QStringLiteral("/sounds/ding.wav"), false, false, false, true);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs->messages.size(), 2);
}

TEST_F(WavePlaybackTest, AnOutputThatAppearsLaterIsUsedOnTheNextPlay) {
    player->device = false;
    PlayWave({}, QString(), QStringLiteral("/sounds/ding.wav"), false, false, false, true);
    QCoreApplication::processEvents();
    player->device = true;
    PlayWave({}, QString(), QStringLiteral("/sounds/ding.wav"), false, false, false, true);
    EXPECT_EQ(player->played.size(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs->messages.size(), 1);
}

} // namespace
