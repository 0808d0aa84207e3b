// Repaint time of one orthographic view of the benchmark models onto the pixel-buffer
// canvas, at a view window's size and the zoom a newly opened view has.
#include "benchmodels.h"
#include "view/colors.h"
#include "view/softcanvas.h"
#include "view/viewcore.h"

#include <benchmark/benchmark.h>

namespace
{
constexpr int kWidth = 640;
constexpr int kHeight = 480;

void Paint(benchmark::State& state, TViewPlane plane, bool vertices)
{
    const TLoadedModel& model = benchmodels::Loaded(static_cast<int>(state.range(0)));
    PolygonWireColor = 0;
    VertexColor = 0xFF0000;
    TViewCore view;
    view.ResetView(kWidth, kHeight);
    view.FPlane = plane;
    view.FPickMode = vertices ? pkVertex : pkPolygon;
    TSoftCanvas canvas(kWidth, kHeight, 0xFFFFFF);
    std::size_t faces = 0;
    for (const T3DOMesh& m : model.Model->Get(0).Meshes)
        faces += static_cast<std::size_t>(m.Faces.Count());
    for (auto _ : state)
    {
        canvas.Fill(0xFFFFFF);
        view.PaintView(canvas, {model.Model.get(), model.Nodes.get(), 0, 0}, kWidth, kHeight);
        benchmark::DoNotOptimize(canvas.Pixels().data());
    }
    state.counters["faces"] = static_cast<double>(faces);
}

void BM_PaintFront(benchmark::State& state)
{
    Paint(state, vpFront, false);
}

void BM_PaintTopWithVertices(benchmark::State& state)
{
    Paint(state, vpTop, true);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (const int mb : benchmodels::kSizes)
        b->Arg(mb);
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
}
} // namespace

BENCHMARK(BM_PaintFront)->Apply(Sizes);
BENCHMARK(BM_PaintTopWithVertices)->Apply(Sizes);

BENCHMARK_MAIN();
