// Playing a key.
#include "model/playback.h"

#include "base/U_String.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace
{
// Flags of a puppet action (or a script) that decide the end.
constexpr std::uint32_t kFlagStop = 0x2;
constexpr std::uint32_t kFlagHold = 0x4;
constexpr std::uint32_t kFlagHoldFade = 0x20;

// Two moments this close are the same frame on the timeline.
constexpr double kSameFrame = 1e-6;

// Fixed point with `decimals` decimals, whatever the locale; trailing zeros cut when `trim`.
std::string Fixed(double value, int decimals, bool trim = false)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof(buf), value, std::chars_format::fixed, decimals);
    std::string text(buf, r.ptr);
    if (trim && text.find('.') != std::string::npos)
    {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    return text;
}
} // namespace

TLoopMode LoopModeForFlags(std::uint32_t flags)
{
    if (flags & kFlagStop)
        return lmOnce;
    if (flags & (kFlagHold | kFlagHoldFade))
        return lmHold;
    return lmLoop;
}

std::vector<double> KeyEntryFrames(const TKeyframes& key)
{
    std::vector<double> frames;
    for (const TKeyNode& node : key.Nodes)
        for (const TKeyEntry& entry : node.Entries)
            frames.push_back(entry.Frame);
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    return frames;
}

TKeyPlayback::TKeyPlayback(std::int32_t frames, double fps, TClock clock)
    : FFrames(std::max(frames, 1)), FFps(fps > 0 ? fps : 1), FClock(std::move(clock))
{
    FAnchorTime = FClock();
}

double TKeyPlayback::Raw() const
{
    if (!FPlaying)
        return FAnchorFrame;
    return FAnchorFrame + (FClock() - FAnchorTime) * FFps * FSpeed;
}

void TKeyPlayback::Anchor(double frame)
{
    FAnchorFrame = frame;
    FAnchorTime = FClock();
}

double TKeyPlayback::Kept(double frame) const
{
    if (!std::isfinite(frame))
        return 0;
    const double frames = FFrames;
    if (FMode == lmLoop)
    {
        const double t = frame - frames * std::floor(frame / frames);
        // A hair below Frames may round up to it.
        return t >= frames ? 0 : t;
    }
    return std::clamp(frame, 0.0, frames);
}

void TKeyPlayback::Play()
{
    if (FPlaying)
        return;
    // Played once to the end, it starts again.
    if (FFinished || (FMode != lmLoop && FAnchorFrame >= FFrames))
        FAnchorFrame = 0;
    FFinished = false;
    Anchor(FAnchorFrame);
    FPlaying = true;
}

void TKeyPlayback::Pause()
{
    if (!FPlaying)
        return;
    const double frame = Frame();
    FPlaying = false;
    Anchor(frame);
}

void TKeyPlayback::SetSpeed(double speed)
{
    const double frame = Frame();
    FSpeed = std::clamp(speed, kMinPlaybackSpeed, kMaxPlaybackSpeed);
    Anchor(frame);
}

void TKeyPlayback::SetMode(TLoopMode mode)
{
    const double frame = Frame();
    FMode = mode;
    Anchor(Kept(frame));
}

double TKeyPlayback::Frame()
{
    const double raw = Raw();
    if (FPlaying && FMode == lmOnce && raw >= FFrames)
    {
        FPlaying = false;
        FFinished = true;
        Anchor(FFrames);
        return FFrames;
    }
    const double kept = Kept(raw);
    // Keeps the numbers small over a long run.
    if (FPlaying && kept != raw)
        Anchor(kept);
    return kept;
}

void TKeyPlayback::Seek(double frame)
{
    FFinished = false;
    Anchor(Kept(frame));
}

void TKeyPlayback::Step(int delta)
{
    const double now = Frame();
    Pause();
    const double whole =
        delta > 0 ? std::floor(now + kSameFrame) + 1 : std::ceil(now - kSameFrame) - 1;
    Seek(FMode == lmLoop ? whole : std::clamp(whole, 0.0, LastFrame()));
}

void TKeyPlayback::StepEntry(const std::vector<double>& entryFrames, int delta)
{
    const double now = Frame();
    Pause();
    if (delta > 0)
    {
        const auto next =
            std::upper_bound(entryFrames.begin(), entryFrames.end(), now + kSameFrame);
        if (next != entryFrames.end() && *next <= LastFrame())
            Seek(*next);
        return;
    }
    const auto after = std::lower_bound(entryFrames.begin(), entryFrames.end(), now - kSameFrame);
    if (after != entryFrames.begin())
        Seek(*std::prev(after));
}

double TKeyPlayback::LastFrame() const
{
    return FMode == lmLoop ? FFrames - 1 : FFrames;
}

std::string TKeyPlayback::Readout()
{
    const double frame = Frame();
    return FormatText(kPlaybackReadoutFormat, {Fixed(frame, 1), std::to_string(FFrames),
                                               Fixed(frame / FFps, 2), Fixed(FFps, 3, true)});
}
