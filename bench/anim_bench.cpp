// The animated preview against the still one, without a window: the frames the preview's scene
// draws on the software driver at the preview's 3D area (519 x 414), still (RenderFrame: Move,
// Clear, Render, Update) and animated (every frame at a new moment of a key that animates every
// node, its pose laid on the loaded mesh in place first), for the 1 MB and 100 MB models; and
// one pose laid on alone, what switching a key or scrubbing costs before the next frame.
//
// Two keys: one turns every node a whole turn and moves it by a hair, so every vertex goes
// through the turned path each frame while the picture stays the still one's (what animating
// costs); the other swings every node as a walk does, so the picture itself changes, and with
// it what drawing costs.
#include "benchmodels.h"
#include "scene/previewanimation.h"
#include "scene/previewscene.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include <memory>
#include <string>

namespace
{
constexpr int kWidth = 519;
constexpr int kHeight = 414;

// 40 frames at 15 fps: every node of the model swings (yaw and pitch changing every frame, out
// to 30 and 15 degrees and back) and moves a little, as a walk's limbs do.
TKeyframes TurnEveryNode(const TNodeList& nodes, bool swing)
{
    TKeyframes key;
    key.Frames = 40;
    key.Fps = 15;
    key.Joints = nodes.Count();
    int i = 0;
    for (const T3DONode& n : nodes)
    {
        TKeyNode k;
        k.Index = i++;
        k.Name = n.Name;
        TKeyEntry a;
        a.Flags = kKeyEntryMoves | kKeyEntryTurns;
        a.X = n.X, a.Y = n.Y, a.Z = n.Z;
        a.DX = 0.001, a.DYaw = 1.5, a.DPitch = 0.75;
        TKeyEntry b = a;
        b.Frame = 20;
        b.Yaw = 30, b.Pitch = 15;
        b.DX = -0.001, b.DYaw = -1.5, b.DPitch = -0.75;
        if (!swing)
        {
            // A whole turn: the rest picture, through the turned path.
            a.Yaw = b.Yaw = 360;
            a.Pitch = b.Pitch = 0;
            a.DYaw = a.DPitch = b.DYaw = b.DPitch = 0;
            a.DX = 1e-9;
            b.DX = -1e-9;
        }
        k.Entries = {a, b};
        key.Nodes.push_back(std::move(k));
    }
    return key;
}

struct TAnimatedScene
{
    TPreviewScene Scene{&BuiltinD3DPlatform()};
    std::unique_ptr<TPreviewAnimation> Animation;

    explicit TAnimatedScene(int megabytes, bool swing = false)
    {
        Scene.Build(nullptr);
        Scene.CreateDevice(nullptr, kWidth, kHeight, 32);
        Scene.LoadModel(benchmodels::ModelX(megabytes));
        Scene.SetRotationSpeed(1);
        const TLoadedModel& loaded = benchmodels::Loaded(megabytes);
        Animation = std::make_unique<TPreviewAnimation>(
            std::make_shared<const TPosingGeoSet>(PosingGeoSet(*loaded.Model, 0)), *loaded.Nodes,
            TurnEveryNode(*loaded.Nodes, swing));
    }
};

void PreviewScene(benchmark::State& state, bool animated, bool swing = false)
{
    TAnimatedScene s(static_cast<int>(state.range(0)), swing);
    double frame = 0;
    for (auto _ : state)
    {
        if (animated)
        {
            // About what a 600 fps preview moves on at 15 fps.
            frame += 0.025;
            s.Scene.PoseModel(s.Animation->PositionsAt(frame, false));
        }
        s.Scene.RenderFrame();
        benchmark::DoNotOptimize(s.Scene.Device()->GetFrameBuffer().Pixels.data());
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["vertices"] = static_cast<double>(s.Animation->VertexCount());
}

void BM_PreviewStill(benchmark::State& state)
{
    PreviewScene(state, false);
}

void BM_PreviewAnimated(benchmark::State& state)
{
    PreviewScene(state, true);
}

void BM_PreviewSwinging(benchmark::State& state)
{
    PreviewScene(state, true, true);
}

// Still and animated frames in turns, 20 of each, so both meet the same load of a busy machine:
// the frame rates of each, wall clock and the thread's CPU time, and their ratio.
double ThreadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void AnimatedShare(benchmark::State& state, bool swing)
{
    constexpr int kRun = 20;
    TAnimatedScene s(static_cast<int>(state.range(0)), swing);
    double frame = 0;
    double wall[2] = {0, 0}, cpu[2] = {0, 0};
    for (auto _ : state)
    {
        for (int animated = 0; animated < 2; ++animated)
        {
            const auto start = std::chrono::steady_clock::now();
            const double startCpu = ThreadSeconds();
            for (int i = 0; i < kRun; ++i)
            {
                if (animated)
                {
                    frame += 0.025;
                    s.Scene.PoseModel(s.Animation->PositionsAt(frame, false));
                }
                s.Scene.RenderFrame();
            }
            benchmark::DoNotOptimize(s.Scene.Device()->GetFrameBuffer().Pixels.data());
            wall[animated] +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            cpu[animated] += ThreadSeconds() - startCpu;
        }
    }
    const double frames = static_cast<double>(state.iterations()) * kRun;
    state.counters["still_fps"] = frames / wall[0];
    state.counters["animated_fps"] = frames / wall[1];
    state.counters["share"] = wall[0] / wall[1];
    state.counters["share_cpu"] = cpu[0] / cpu[1];
}

void BM_AnimatedShare(benchmark::State& state)
{
    AnimatedShare(state, false);
}

void BM_SwingingShare(benchmark::State& state)
{
    AnimatedShare(state, true);
}

void BM_PoseLaidOn(benchmark::State& state)
{
    TAnimatedScene s(static_cast<int>(state.range(0)));
    double frame = 0;
    for (auto _ : state)
    {
        frame += 0.37;
        s.Scene.PoseModel(s.Animation->PositionsAt(frame, false));
    }
}
} // namespace

BENCHMARK(BM_AnimatedShare)
    ->Arg(1)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(4.0);
BENCHMARK(BM_SwingingShare)
    ->Arg(1)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(4.0);
BENCHMARK(BM_PreviewStill)
    ->Arg(1)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_PreviewAnimated)
    ->Arg(1)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_PreviewSwinging)
    ->Arg(1)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_PoseLaidOn)
    ->Arg(1)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);
BENCHMARK_MAIN();
