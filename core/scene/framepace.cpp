// The preview's frame pacing.
#include "scene/framepace.h"

#include "base/platform.h"

#include <chrono>
#include <cmath>

bool FrameCapDisabled()
{
    const std::optional<std::string> value = EnvironmentValue(kNoFrameCapVariable);
    return value && *value == "1";
}

double SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double MotionStep(double seconds)
{
    if (!(seconds > 0))
        return 0;
    const double step = seconds * kStepFrameRate;
    if (std::abs(step - 1) <= kSteadyStepTolerance)
        return 1;
    return step < kMaxFrameStep ? step : kMaxFrameStep;
}

void TFramePacer::SetRefreshRate(double refreshRate)
{
    FPeriod = std::isfinite(refreshRate) && refreshRate > 0 ? 1 / refreshRate : 1 / kStepFrameRate;
}

double TFramePacer::Wait(double now) const
{
    return FRunning && FDue > now ? FDue - now : 0;
}

double TFramePacer::FrameDrawn(double now)
{
    const double step = FRunning ? MotionStep(now - FLast) : 1;
    // Due times a period apart keep the average at the refresh rate, though each wait is
    // rounded to whole milliseconds.
    FDue = FRunning && FDue + FPeriod > now ? FDue + FPeriod : now + FPeriod;
    FLast = now;
    FRunning = true;
    return step;
}
