// Playing a key: the moment shown, moved on by a clock at the key's frames per second times a
// speed, and what happens at the key's end (loop, hold or stop). No drawing: the preview asks
// for the moment each frame and poses the model with pose.h.
#pragma once

#include "formats/keyframes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What happens on reaching FRAMES.
enum TLoopMode
{
    lmLoop, // wrap to the start
    lmHold, // stay at FRAMES
    lmOnce  // stop; the model goes back to its rest pose
};

// The mode the game plays a key in for a puppet action's flags: 0x2 stops, 0x4 and 0x20 hold,
// anything else loops.
TLoopMode LoopModeForFlags(std::uint32_t flags);

inline constexpr double kMinPlaybackSpeed = 0.25;
inline constexpr double kMaxPlaybackSpeed = 4.0;

// The read-out: "12.4 / 40 frames, 0.83 s at 15 fps".
inline constexpr const char* kPlaybackReadoutFormat = "%s / %s frames, %s s at %s fps";

// The frames of a key that the timeline marks: every entry's frame (sorted, each once).
std::vector<double> KeyEntryFrames(const TKeyframes& key);

// The moment of a playing key. Time comes from `Clock` (seconds, never going back), so the
// frame rate of whoever asks does not change how fast it plays; tests give their own clock.
// Frames are in the key's frames, from 0 to Frames.
class TKeyPlayback
{
public:
    using TClock = std::function<double()>;

    // Paused at frame 0, speed 1, looping. `frames` at least 1 and `fps` above 0 (as a read
    // key has them).
    TKeyPlayback(std::int32_t frames, double fps, TClock clock);

    void Play();
    void Pause();
    bool Playing() const { return FPlaying; }
    // Kept within kMinPlaybackSpeed .. kMaxPlaybackSpeed; the moment shown does not jump.
    void SetSpeed(double speed);
    double Speed() const { return FSpeed; }
    void SetMode(TLoopMode mode);
    TLoopMode Mode() const { return FMode; }

    // The moment now: looping, 0 <= frame < Frames; holding or once, 0 .. Frames. A key
    // played once stops at its end: Finished() then says so (and Playing() is false).
    double Frame();
    bool Finished() const { return FFinished; }
    // Whether the moment is held at FRAMES (a pose evaluated there must not wrap).
    bool Holds() const { return FMode != lmLoop; }

    // Goes to `frame` (kept within the key as the mode keeps it), playing on from there if
    // playing.
    void Seek(double frame);
    // Pauses and goes to the next (`delta` 1) or previous (-1) whole frame; looping wraps.
    void Step(int delta);
    // Pauses and goes to the first entry frame after (or last before) the moment, if any.
    void StepEntry(const std::vector<double>& entryFrames, int delta);
    // The first and the last frame: 0, and Frames - 1 looping (Frames is 0 again), else Frames.
    double LastFrame() const;

    std::int32_t Frames() const { return FFrames; }
    double Fps() const { return FFps; }
    // "12.4 / 40 frames, 0.83 s at 15 fps" for the moment now.
    std::string Readout();

private:
    double Kept(double frame) const;
    double Raw() const;
    void Anchor(double frame);

    std::int32_t FFrames;
    double FFps;
    TClock FClock;
    bool FPlaying = false;
    bool FFinished = false;
    double FSpeed = 1;
    TLoopMode FMode = lmLoop;
    // The moment at clock time FAnchorTime; the clock moves it on while playing.
    double FAnchorFrame = 0;
    double FAnchorTime = 0;
};
