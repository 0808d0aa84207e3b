// glTF writer on the benchmark models: geoset 0 to a .glb in memory and to a file, with a 64 x 64
// texture for each of the model's 17 materials (so the PNG encoding is in the figure too).
#include "benchmodels.h"
#include "formats/gltfexport.h"
#include "model/model.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
const TLoadedModel& Model(int megabytes)
{
    TLoadedModel& loaded = benchmodels::Loaded(megabytes);
    // The generated models name mat0.mat .. mat16.mat; fill the list where the loader leaves
    // it empty.
    std::vector<std::string>& names = loaded.Model->Materials;
    for (int i = static_cast<int>(names.size()); i < 17; ++i)
        names.push_back("mat" + std::to_string(i) + ".mat");
    return loaded;
}

const std::vector<TMaterialLook>& Materials()
{
    static const std::vector<TMaterialLook> materials = []
    {
        std::vector<TMaterialLook> list;
        for (int i = 0; i < 17; ++i)
        {
            TMaterialLook m;
            m.Name = "mat" + std::to_string(i) + ".mat";
            m.Kind = TMaterialKind::Texture;
            m.Width = m.Height = 64;
            auto texture = std::make_shared<TRenderTexture>(TRenderTexture{64, 64, {}});
            for (int t = 0; t < 64 * 64; ++t)
                texture->Texels.push_back(0xFF000000u |
                                          static_cast<std::uint32_t>(t * 2654435761u >> 8));
            m.Texture = std::move(texture);
            list.push_back(std::move(m));
        }
        return list;
    }();
    return materials;
}

void BM_WriteGltf(benchmark::State& state)
{
    const TLoadedModel& m = Model(static_cast<int>(state.range(0)));
    std::uint64_t bytes = 0;
    for (auto _ : state)
    {
        bytes = 0;
        WriteGltf(*m.Model, *m.Nodes, 0, Materials(), TGltfContainer::Binary,
                  [&bytes](std::string_view piece)
                  {
                      bytes += piece.size();
                      benchmark::DoNotOptimize(piece.data());
                  });
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["out_MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_WriteGltfFile(benchmark::State& state)
{
    const TLoadedModel& m = Model(static_cast<int>(state.range(0)));
    const std::string out = benchmodels::TempPath("quillmark_bench_out.glb");
    for (auto _ : state)
        WriteGltfFile(out, *m.Model, *m.Nodes, 0, Materials(), TGltfContainer::Binary);
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * benchmodels::FileSize(out)));
    state.counters["out_MB"] = static_cast<double>(benchmodels::FileSize(out)) / 1e6;
    std::remove(out.c_str());
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (const int mb : benchmodels::kSizes)
        b->Arg(mb);
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
}

BENCHMARK(BM_WriteGltf)->Apply(Sizes);
BENCHMARK(BM_WriteGltfFile)->Apply(Sizes);
} // namespace

BENCHMARK_MAIN();
