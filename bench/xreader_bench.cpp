// .X reader throughput on a large file in the format the program's writer produces.
#include "xreader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace
{
// A grid of quads: about `faces` faces, one vertex per face, lines as the writer prints them.
std::string MakeXText(int faces)
{
    std::string text = "xof 0302txt 0064\r\nHeader {\r\n 1;\r\n 0;\r\n 1;\r\n}\r\n\r\nMesh {\r\n";
    const int side = 1000;
    const int vertices = faces + side + 1;
    text += ' ';
    text += std::to_string(vertices);
    text += ";\r\n";
    char line[128];
    for (int i = 0; i < vertices; ++i)
    {
        std::snprintf(line, sizeof line, " %.6f;%.6f;%.6f;,\r\n", -0.5 + (i % side) * 0.001,
                      (i / side) * 0.0007 - 0.3, 0.25 - (i % 7) * 0.013);
        text += line;
    }
    text += "\r\n ";
    text += std::to_string(faces);
    text += ";\r\n";
    for (int f = 0; f < faces; ++f)
    {
        std::snprintf(line, sizeof line, " 4;%d,%d,%d,%d;,\r\n", f + side + 1, f + side, f, f + 1);
        text += line;
    }
    text += " MeshMaterialList {\r\n  1;\r\n  1;\r\n  0;;\r\n  Material {\r\n"
            "   1.000000;1.000000;1.000000;1.000000;;\r\n   0.000000;\r\n"
            "   0.000000;0.000000;0.000000;;\r\n   0.000000;0.000000;0.000000;;\r\n  }\r\n }\r\n"
            "}\r\n";
    return text;
}

void BM_ReadXData(benchmark::State& state)
{
    const std::string text = MakeXText(static_cast<int>(state.range(0)));
    TXMesh mesh;
    for (auto _ : state)
    {
        if (ReadXData(text, mesh) != D3DRM_OK)
            state.SkipWithError("file rejected");
        benchmark::DoNotOptimize(mesh.Positions.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
} // namespace

BENCHMARK(BM_ReadXData)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
