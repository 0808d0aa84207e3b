// The preview's frame pacing: at most one frame per display refresh, and motion scaled by the
// time a frame took, so that a second of camera motion or spin is what sixty of the preview's
// per-frame steps give, whatever the frame rate. Plain arithmetic on seconds; the caller owns
// the clock.
#pragma once

// Setting this variable to 1 brings back the uncapped loop: frames as fast as idle time allows,
// each advancing the scene by one whole step (the benchmarks' frame rates use it).
inline constexpr const char* kNoFrameCapVariable = "QUILLMARK_NO_FRAME_CAP";

// The frame rate the per-frame steps were made for, and the refresh rate assumed where the
// screen does not tell its own.
inline constexpr double kStepFrameRate = 60;
// A single frame moves at most this many steps (a tenth of a second's worth), so that a stall
// does not jump the camera; frames slower than that move slower than real time.
inline constexpr double kMaxFrameStep = 6;
// A frame within this fraction of a step is taken as exactly one step: at a steady 60 Hz
// the pictures are those of one step per frame.
inline constexpr double kSteadyStepTolerance = 0.1;

// Whether the environment asks for the uncapped loop (kNoFrameCapVariable is "1").
bool FrameCapDisabled();

// Seconds on a steady clock from an arbitrary start.
double SteadySeconds();

// The steps of motion for a frame drawn `seconds` after the one before: seconds x 60, exactly 1
// near it, at most kMaxFrameStep, 0 for no time (or a clock that went back).
double MotionStep(double seconds);

// When the next frame may be drawn, and the step each frame takes.
class TFramePacer
{
public:
    // `refreshRate` in frames per second; one that is not positive and finite counts as 60.
    void SetRefreshRate(double refreshRate);
    double Period() const { return FPeriod; }
    // Seconds from `now` until the next frame is due; 0 when it is due now.
    double Wait(double now) const;
    // A frame drawn at `now`: the step of motion it takes. The first after Pause takes one step.
    // Frames are due one period apart on average; one that comes a period late or more does not
    // let the next ones catch up.
    double FrameDrawn(double now);
    // No frames for a while (hidden, minimized, no device): the next is due at once.
    void Pause() { FRunning = false; }

private:
    double FPeriod = 1 / kStepFrameRate;
    bool FRunning = false;
    double FLast = 0; // when the last frame was drawn
    double FDue = 0;  // when the next one may be
};
