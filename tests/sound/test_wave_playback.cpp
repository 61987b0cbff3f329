#include "sound/WavePlayback.h"
#include "support/DesktopFakes.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

using VELModule::PlayWave;

const QString Ding = q("/sounds/ding.wav");

class WavePlaybackTest : public testing::Test {
protected:
    void play() { PlayWave({}, QString(), Ding, false, false, false, true); }
    ScopedFakeWavePlayer player;
    ScopedScriptedDialogs dialogs;
};

// The program carries no sounds of its own: without a file name nothing plays, and nothing is said.
TEST_F(WavePlaybackTest, EveryFlagReachesThePlayerAsGivenAndNoFileNamePlaysNothing) {
    for (int bits = 0; bits < 16; ++bits) {
        player->playing = false;
        PlayWave({}, QString(), Ding, bits & 1, bits & 2, bits & 4, bits & 8);
        ASSERT_EQ(player->played.size(), bits + 1);
        const auto& [fileName, options] = player->played.last();
        EXPECT_EQ(fileName, Ding);
        EXPECT_EQ(options.wait | options.loop << 1 | options.noStop << 2 | options.noDefault << 3, bits);
    }
    PlayWave({}, QString(), QString(), false, false, false, true);
    PlayWave(QVariant(101), q("WAVE"), QString(), false, false, false, true);
    EXPECT_EQ(player->played.size(), 16);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

// A box inside the call would hold the popup being decided; a storm of cancels shows one box at
// a time; a sound output that appears later is used.
TEST_F(WavePlaybackTest, WithoutSoundOutputTheUserIsToldOnceAfterTheCallerHasReturned) {
    player->device = false;
    for (int popup = 0; popup < 20; ++popup)
        play();
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_TRUE(player->played.isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs->messages.size(), 1);
    const ScriptedDialogs::Message& box = dialogs->messages.first();
    EXPECT_EQ(std::tuple(box.prompt, box.icon, box.buttons, box.title),
              std::tuple(q("Unable to init SOUND-DECVICE"), platform::MsgIcon::Exclamation,
                         platform::MsgButtons::Ok, q("ZOR Brakkon")));
    play(); // that box is closed: the next attempt warns again
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs->messages.size(), 2);
    player->device = true;
    play();
    QCoreApplication::processEvents();
    EXPECT_EQ(player->played.size(), 1);
    EXPECT_EQ(dialogs->messages.size(), 2);
}

} // namespace
