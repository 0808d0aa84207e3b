#include "model/playback.h"

#include <gtest/gtest.h>

namespace
{
// A clock the test moves by hand.
struct TManualClock
{
    double Now = 100;
    TKeyPlayback::TClock Clock()
    {
        return [this] { return Now; };
    }
};
} // namespace

TEST(Playback, ClockTimesFpsTimesSpeedWrapsHoldsAndStops)
{
    TManualClock clock;
    TKeyPlayback play(40, 15, clock.Clock());
    EXPECT_EQ(play.Frame(), 0);
    clock.Now += 1; // paused: nothing moves
    EXPECT_EQ(play.Frame(), 0);

    play.Play();
    clock.Now += 2; // 30 frames at 15 fps
    EXPECT_DOUBLE_EQ(play.Frame(), 30);
    clock.Now += 1; // 45 frames: wrapped at 40
    EXPECT_DOUBLE_EQ(play.Frame(), 5);

    play.SetSpeed(2); // the moment does not jump; from here 30 frames a second
    EXPECT_DOUBLE_EQ(play.Frame(), 5);
    clock.Now += 0.5;
    EXPECT_DOUBLE_EQ(play.Frame(), 20);
    play.SetSpeed(10);
    EXPECT_EQ(play.Speed(), kMaxPlaybackSpeed);
    play.SetSpeed(0);
    EXPECT_EQ(play.Speed(), kMinPlaybackSpeed);
    play.SetSpeed(1);

    play.SetMode(lmHold);
    clock.Now += 10;
    EXPECT_DOUBLE_EQ(play.Frame(), 40);
    EXPECT_TRUE(play.Playing());
    EXPECT_TRUE(play.Holds());

    play.SetMode(lmOnce);
    play.Seek(35);
    clock.Now += 1;
    EXPECT_DOUBLE_EQ(play.Frame(), 40);
    EXPECT_TRUE(play.Finished());
    EXPECT_FALSE(play.Playing());
    play.Play(); // again from the start
    EXPECT_FALSE(play.Finished());
    EXPECT_DOUBLE_EQ(play.Frame(), 0);

    play.Pause();
    play.Seek(12.4);
    clock.Now += 5;
    EXPECT_EQ(play.Readout(), "12.4 / 40 frames, 0.83 s at 15 fps");
}

TEST(Playback, StepsByFramesAndEntries)
{
    TManualClock clock;
    TKeyPlayback play(40, 12.5, clock.Clock());
    play.Play();
    clock.Now += 0.1; // 1.25 frames
    play.Step(1);
    EXPECT_FALSE(play.Playing());
    EXPECT_DOUBLE_EQ(play.Frame(), 2);
    play.Step(-1);
    play.Step(-1);
    EXPECT_DOUBLE_EQ(play.Frame(), 0);
    play.Step(-1); // looping: wraps to the last frame
    EXPECT_DOUBLE_EQ(play.Frame(), 39);
    EXPECT_EQ(play.Readout(), "39.0 / 40 frames, 3.12 s at 12.5 fps");

    const std::vector<double> entries = {0, 10, 20};
    play.StepEntry(entries, 1); // none after 39
    EXPECT_DOUBLE_EQ(play.Frame(), 39);
    play.StepEntry(entries, -1);
    EXPECT_DOUBLE_EQ(play.Frame(), 20);
    play.StepEntry(entries, -1);
    EXPECT_DOUBLE_EQ(play.Frame(), 10);
    play.StepEntry(entries, 1);
    EXPECT_DOUBLE_EQ(play.Frame(), 20);

    play.SetMode(lmHold);
    play.Seek(39.5);
    play.Step(1);
    play.Step(1);
    EXPECT_DOUBLE_EQ(play.Frame(), 40);
}

TEST(Playback, ModesFromPuppetFlagsAndEntryFrames)
{
    EXPECT_EQ(LoopModeForFlags(0), lmLoop);
    EXPECT_EQ(LoopModeForFlags(0x8), lmLoop);
    EXPECT_EQ(LoopModeForFlags(0x2), lmOnce);
    EXPECT_EQ(LoopModeForFlags(0x6), lmOnce);  // stopping wins over holding
    EXPECT_EQ(LoopModeForFlags(0x2C), lmHold); // a death: held, faded
    EXPECT_EQ(LoopModeForFlags(0x14), lmHold);
    EXPECT_EQ(LoopModeForFlags(0x20), lmHold);

    TKeyframes key;
    key.Nodes.resize(2);
    key.Nodes[0].Entries.resize(2);
    key.Nodes[0].Entries[1].Frame = 20;
    key.Nodes[1].Entries.resize(2);
    key.Nodes[1].Entries[0].Frame = 5;
    key.Nodes[1].Entries[1].Frame = 20;
    EXPECT_EQ(KeyEntryFrames(key), (std::vector<double>{0, 5, 20}));
}
