// The preview's .X reader on the .X files the writer makes of the benchmark models: from
// bytes in memory, and from the file as the mesh builder loads it.
#include "benchmodels.h"
#include "formats/xreader.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

namespace
{
void BM_ReadXData(benchmark::State& state)
{
    const std::string file = benchmodels::ModelX(static_cast<int>(state.range(0)));
    std::ostringstream all;
    all << std::ifstream(file, std::ios::binary).rdbuf();
    const std::string text = all.str();
    TXMesh mesh;
    for (auto _ : state)
    {
        if (ReadXData(text, mesh) != D3DRM_OK)
            state.SkipWithError("file rejected");
        benchmark::DoNotOptimize(mesh.Positions.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.counters["x_MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["faces"] = static_cast<double>(mesh.FaceCount());
}

void BM_ReadXFile(benchmark::State& state)
{
    const std::string file = benchmodels::ModelX(static_cast<int>(state.range(0)));
    for (auto _ : state)
    {
        TXMesh mesh;
        if (ReadXFile(file, mesh) != D3DRM_OK)
            state.SkipWithError("file rejected");
        benchmark::DoNotOptimize(mesh.Positions.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * benchmodels::FileSize(file)));
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (const int mb : benchmodels::kSizes)
        b->Arg(mb);
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
}
} // namespace

BENCHMARK(BM_ReadXData)->Apply(Sizes);
BENCHMARK(BM_ReadXFile)->Apply(Sizes);
BENCHMARK_MAIN();
