// The animated preview against the still one, without a window: the frames the preview's scene
// draws on the software driver at the preview's 3D area (519 x 414), still (RenderFrame: Move,
// Clear, Render, Update) and animated (every frame at a new moment of a key that turns every
// node, its pose laid on the loaded mesh in place first), for the 1 MB and 100 MB models; and
// one pose laid on alone, what switching a key or scrubbing costs before the next frame.
#include "benchmodels.h"
#include "scene/previewanimation.h"
#include "scene/previewscene.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace
{
constexpr int kWidth = 519;
constexpr int kHeight = 414;

// 40 frames at 15 fps: every node of the model turns (yaw and pitch changing every frame) and
// moves a little, from one entry, with a second entry at frame 20.
TKeyframes TurnEveryNode(const TNodeList& nodes)
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
        a.DX = 0.001, a.DYaw = 2.5, a.DPitch = 1.5;
        TKeyEntry b = a;
        b.Frame = 20;
        b.Yaw = 50, b.Pitch = 30;
        b.DYaw = -2.5, b.DPitch = -1.5;
        k.Entries = {a, b};
        key.Nodes.push_back(std::move(k));
    }
    return key;
}

struct TAnimatedScene
{
    TPreviewScene Scene{&BuiltinD3DPlatform()};
    std::unique_ptr<TPreviewAnimation> Animation;

    explicit TAnimatedScene(int megabytes)
    {
        Scene.Build(nullptr);
        Scene.CreateDevice(nullptr, kWidth, kHeight, 32);
        Scene.LoadModel(benchmodels::ModelX(megabytes));
        Scene.SetRotationSpeed(1);
        const TLoadedModel& loaded = benchmodels::Loaded(megabytes);
        Animation = std::make_unique<TPreviewAnimation>(
            std::make_shared<const TPosingGeoSet>(PosingGeoSet(*loaded.Model, 0)), *loaded.Nodes,
            TurnEveryNode(*loaded.Nodes));
    }
};

void PreviewScene(benchmark::State& state, bool animated)
{
    TAnimatedScene s(static_cast<int>(state.range(0)));
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

// Still and animated one after the other for each model, so that each pair meets the same load.
BENCHMARK(BM_PreviewStill)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PreviewAnimated)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PreviewStill)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PreviewAnimated)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PoseLaidOn)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK_MAIN();
