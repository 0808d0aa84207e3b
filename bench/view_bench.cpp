// Repaint time of one orthographic view onto the pixel-buffer canvas.
#include "colors.h"
#include "softcanvas.h"
#include "viewcore.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace
{
constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct TBenchModel
{
    T3DO Model;
    TNodeList Nodes;
};

// A patch of side `size` in the x-z plane with n x n vertices and 2 (n - 1)^2 triangles,
// slightly bent in y so that the side and top views have something to show.
T3DOMesh Patch(int n, double size)
{
    T3DOMesh m;
    m.Vertices.Reserve(static_cast<std::size_t>(n * n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
        {
            T3DOVertex v;
            v.X = size * j / (n - 1);
            v.Z = size * i / (n - 1);
            v.Y = 0.1 * size * ((i + j) % 7) / 7.0;
            m.Vertices.Add(v);
        }
    m.Faces.Reserve(static_cast<std::size_t>(2 * (n - 1) * (n - 1)));
    for (int i = 0; i + 1 < n; ++i)
        for (int j = 0; j + 1 < n; ++j)
        {
            const auto at = [n](int r, int c) { return static_cast<std::uint16_t>(r * n + c); };
            T3DOFace a, b;
            a.SetVertexCount(3);
            a.SetCorner(0, at(i, j), 0);
            a.SetCorner(1, at(i, j + 1), 0);
            a.SetCorner(2, at(i + 1, j + 1), 0);
            b.SetVertexCount(3);
            b.SetCorner(0, at(i, j), 0);
            b.SetCorner(1, at(i + 1, j + 1), 0);
            b.SetCorner(2, at(i + 1, j), 0);
            m.Faces.Add(a);
            m.Faces.Add(b);
        }
    m.MaxX = m.MaxZ = size;
    m.MaxY = 0.1 * size;
    return m;
}

// `meshes` patches laid out in rows of eight, each on its own root node.
std::unique_ptr<TBenchModel> MakeModel(int meshes, int n, double size)
{
    auto model = std::make_unique<TBenchModel>();
    T3DOGeoSet g;
    for (int k = 0; k < meshes; ++k)
    {
        T3DOMesh m = Patch(n, size);
        m.OffsetX = -0.2 + (k % 8) * size;
        m.OffsetZ = -0.2 + (k / 8) * size;
        m.NodeIndex = k;
        g.Meshes.Add(std::move(m));
        T3DONode node;
        node.MeshIndex = k;
        node.ParentIndex = node.ChildIndex = node.SiblingIndex = -1;
        model->Nodes.Add(node);
    }
    model->Model.Add(std::move(g));
    return model;
}

void Paint(benchmark::State& state, const TBenchModel& model, TViewPlane plane, bool vertices)
{
    PolygonWireColor = 0;
    VertexColor = 0xFF0000;
    TViewCore view;
    view.ResetView(kWidth, kHeight);
    view.FPlane = plane;
    view.FPickMode = vertices ? pkVertex : pkPolygon;
    TSoftCanvas canvas(kWidth, kHeight, 0xFFFFFF);
    std::size_t faces = 0;
    for (const T3DOMesh& m : model.Model.Get(0).Meshes)
        faces += static_cast<std::size_t>(m.Faces.Count());
    for (auto _ : state)
    {
        canvas.Fill(0xFFFFFF);
        view.PaintView(canvas, {&model.Model, &model.Nodes, 0, 0}, kWidth, kHeight);
        benchmark::DoNotOptimize(canvas.Pixels().data());
    }
    state.counters["faces"] = static_cast<double>(faces);
}

const TBenchModel& BigModel()
{
    // 62 meshes of 2 * 127^2 triangles: 1,999,996 faces over 400 x 400 pixels.
    static const std::unique_ptr<TBenchModel> model = MakeModel(62, 128, 0.05);
    return *model;
}

const TBenchModel& RealSizedModel()
{
    // 3 meshes of 2 * 31^2 triangles: 5,766 faces.
    static const std::unique_ptr<TBenchModel> model = MakeModel(3, 32, 0.12);
    return *model;
}

void BM_PaintBigModelFront(benchmark::State& state)
{
    Paint(state, BigModel(), vpFront, false);
}

void BM_PaintBigModelTopWithVertices(benchmark::State& state)
{
    Paint(state, BigModel(), vpTop, true);
}

void BM_PaintRealSizedModelFront(benchmark::State& state)
{
    Paint(state, RealSizedModel(), vpFront, false);
}

void BM_PaintRealSizedModelSideWithVertices(benchmark::State& state)
{
    Paint(state, RealSizedModel(), vpSide, true);
}
} // namespace

BENCHMARK(BM_PaintBigModelFront)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintBigModelTopWithVertices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintRealSizedModelFront)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintRealSizedModelSideWithVertices)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
