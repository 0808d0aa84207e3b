// Keys: a 64-node pose evaluated and composed, a 1 MB .key read, and a 100-frame key of 64 nodes
// exported to .glb with its model (against the same model without it).
#include "formats/gltfexport.h"
#include "formats/keyframes.h"
#include "model/model.h"
#include "model/pose.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr int kNodes = 64;

// A figure of 64 nodes: a spine of 8 with four limbs of 14 hanging off its odd nodes, each node
// carrying a box of 8 corners and 6 faces.
struct TFigure
{
    T3DO Model;
    TNodeList Nodes;
};

const TFigure& Figure()
{
    static const TFigure figure = []
    {
        TFigure f;
        f.Model.Materials = {"m.mat"};
        T3DOGeoSet geoSet;
        for (int i = 0; i < kNodes; ++i)
        {
            T3DONode n;
            n.Name = "node" + std::to_string(i);
            n.MeshIndex = i;
            const bool limbStart = i >= 8 && (i - 8) % 14 == 0;
            n.ParentIndex = limbStart ? 1 + 2 * ((i - 8) / 14) : i - 1;
            n.ChildIndex = -1;
            n.X = 0.01 * (i % 5), n.Y = 0.02, n.Z = 0.1;
            n.RotationA = i, n.RotationB = -2.0 * i, n.RotationC = 3;
            n.PivotZ = -0.01;
            f.Nodes.Add(n);
            T3DOMesh mesh;
            mesh.Name = n.Name;
            for (int v = 0; v < 8; ++v)
                mesh.Vertices.Add({(v & 1) * 0.1, (v >> 1 & 1) * 0.1, (v >> 2) * 0.1});
            static const int kFaces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
            for (const auto& corners : kFaces)
            {
                T3DOFace face;
                face.LightingMode = 3;
                face.SetVertexCount(4);
                for (int k = 0; k < 4; ++k)
                    face.SetCorner(k, static_cast<std::uint16_t>(corners[k]), 0);
                face.NormalZ = 1;
                mesh.Faces.Add(std::move(face));
            }
            geoSet.Meshes.Add(std::move(mesh));
        }
        // Child and sibling links from the parent links, so the game's walk reaches every node.
        for (int i = kNodes - 1; i > 0; --i)
        {
            T3DONode& n = f.Nodes.Get(i);
            T3DONode& parent = f.Nodes.Get(n.ParentIndex);
            n.SiblingIndex = parent.ChildIndex;
            parent.ChildIndex = i;
            ++parent.ChildCount;
        }
        f.Model.Add(std::move(geoSet));
        return f;
    }();
    return figure;
}

// A key of `frames` frames animating every node with an entry every `spacing` frames, each
// moving and turning from its frame on.
std::string KeyText(int frames, int spacing)
{
    std::string text = "SECTION: HEADER\r\nFLAGS 0x0000\r\nTYPE 0xFFFF\r\nFRAMES " +
                       std::to_string(frames) + "\r\nFPS 15.000\r\nJOINTS " +
                       std::to_string(kNodes) + "\r\n\r\nSECTION: KEYFRAME NODES\r\n\r\nNODES " +
                       std::to_string(kNodes) + "\r\n";
    char line[200];
    for (int n = 0; n < kNodes; ++n)
    {
        const int entries = (frames + spacing - 1) / spacing;
        text += "\r\nNODE " + std::to_string(n) + "\r\nMESH NAME node" + std::to_string(n) +
                "\r\nENTRIES " + std::to_string(entries) + "\r\n";
        for (int e = 0; e < entries; ++e)
        {
            std::snprintf(line, sizeof(line),
                          "  %4d: %5d 0x%04x %10.6f %10.6f %10.6f %10.6f %10.6f %10.6f\r\n"
                          "                  %10.6f %10.6f %10.6f %10.6f %10.6f %10.6f\r\n",
                          e, e * spacing, 3, 0.01 * n, 0.02, 0.1, 10.0 * e, -5.0 * n, 2.5 * e,
                          0.001, 0.0, -0.002, 1.5, -0.75, 0.25);
            text += line;
        }
    }
    return text;
}

void BM_PoseAt64Nodes(benchmark::State& state)
{
    const TFigure& f = Figure();
    const TKeyframes key = ReadKeyframes(KeyText(100, 4));
    const std::vector<int> keyNodes = KeyNodesFor(key, f.Nodes);
    TPose pose;
    std::vector<TJointMatrix> joints;
    double t = 0;
    for (auto _ : state)
    {
        PoseAt(f.Nodes, key, keyNodes, KeyTime(key, t), pose);
        ComposePose(f.Nodes, pose, joints);
        benchmark::DoNotOptimize(joints.data());
        t += 0.37;
    }
    state.counters["nodes"] = kNodes;
}

void BM_ReadKey1MB(benchmark::State& state)
{
    // An entry every frame for 100 frames for each of the 64 nodes: about 1 MB.
    const std::string text = KeyText(100, 1);
    for (auto _ : state)
    {
        const TKeyframes key = ReadKeyframes(text);
        benchmark::DoNotOptimize(key.Nodes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_WriteGlbWithKey(benchmark::State& state)
{
    const TFigure& f = Figure();
    const TKeyframes key = ReadKeyframes(KeyText(100, 4));
    std::vector<TGltfAnimation> animations;
    if (state.range(0))
        animations.push_back({"walk", &key});
    std::uint64_t bytes = 0;
    for (auto _ : state)
    {
        bytes = 0;
        WriteGltf(
            f.Model, f.Nodes, 0, {}, TGltfContainer::Binary,
            [&bytes](std::string_view piece)
            {
                bytes += piece.size();
                benchmark::DoNotOptimize(piece.data());
            },
            nullptr, animations);
    }
    state.counters["out_MB"] = static_cast<double>(bytes) / 1e6;
}

BENCHMARK(BM_PoseAt64Nodes)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(1);
BENCHMARK(BM_ReadKey1MB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
BENCHMARK(BM_WriteGlbWithKey)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1);
} // namespace

BENCHMARK_MAIN();
