#include "scene/framepace.h"

#include "base/platform.h"

#include <gtest/gtest.h>

TEST(FramePace, StepFollowsTheFrameTimeNearSixtyItIsOne)
{
    EXPECT_EQ(MotionStep(1.0 / 60), 1.0);
    // A timer's whole milliseconds around 60 Hz still give the one step.
    EXPECT_EQ(MotionStep(0.016), 1.0);
    EXPECT_EQ(MotionStep(0.017), 1.0);
    EXPECT_DOUBLE_EQ(MotionStep(1.0 / 120), 0.5);
    EXPECT_DOUBLE_EQ(MotionStep(0.05), 3.0);
    // A stall moves no more than a tenth of a second does.
    EXPECT_EQ(MotionStep(0.1), 6.0);
    EXPECT_EQ(MotionStep(2.5), 6.0);
    EXPECT_EQ(MotionStep(0), 0.0);
    EXPECT_EQ(MotionStep(-0.01), 0.0);
}

TEST(FramePace, OneFramePerRefreshOnAverage)
{
    TFramePacer pacer;
    EXPECT_DOUBLE_EQ(pacer.Period(), 1.0 / 60);
    pacer.SetRefreshRate(0); // unknown: 60 Hz
    EXPECT_DOUBLE_EQ(pacer.Period(), 1.0 / 60);
    pacer.SetRefreshRate(100);
    EXPECT_DOUBLE_EQ(pacer.Period(), 0.01);

    EXPECT_EQ(pacer.Wait(50), 0.0);
    EXPECT_EQ(pacer.FrameDrawn(50), 1.0); // the first frame takes one step
    EXPECT_NEAR(pacer.Wait(50.004), 0.006, 1e-9);
    // Woken a millisecond late: the next is still due on the 10 ms grid, not 10 ms later.
    EXPECT_EQ(pacer.Wait(50.011), 0.0);
    EXPECT_NEAR(pacer.FrameDrawn(50.011), 0.66, 1e-9);
    EXPECT_NEAR(pacer.Wait(50.012), 0.008, 1e-9);
    // A slow frame: the next is due a period after it, with no burst to catch up.
    EXPECT_EQ(pacer.FrameDrawn(50.5), 6.0);
    EXPECT_NEAR(pacer.Wait(50.5), 0.01, 1e-9);

    // After a pause the next frame is due at once and takes one step.
    pacer.Pause();
    EXPECT_EQ(pacer.Wait(50.501), 0.0);
    EXPECT_EQ(pacer.FrameDrawn(90), 1.0);
}

TEST(FramePace, TheVariableTurnsTheCapOff)
{
    const std::optional<std::string> saved = EnvironmentValue(kNoFrameCapVariable);
    SetEnvironmentValue(kNoFrameCapVariable, std::nullopt);
    EXPECT_FALSE(FrameCapDisabled());
    SetEnvironmentValue(kNoFrameCapVariable, "0");
    EXPECT_FALSE(FrameCapDisabled());
    SetEnvironmentValue(kNoFrameCapVariable, "1");
    EXPECT_TRUE(FrameCapDisabled());
    SetEnvironmentValue(kNoFrameCapVariable, saved);
}
