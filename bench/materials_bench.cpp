// The materials of the model of real size (17 8-bit textures of 64 to 256 texels a side, in a
// game folder): found through the asset source, read, decoded with the colormap and turned into
// the looks of the model's faces, as the preview does before it shows a model.
#include "benchmaterials.h"
#include "benchmodels.h"
#include "game/facelooks.h"
#include "model/loader.h"

#include <benchmark/benchmark.h>

namespace
{
void BM_LoadModelLooks(benchmark::State& state)
{
    TSilentProgress progress;
    const TLoadedModel loaded =
        Parse3DOFile(benchmodels::Model3DO(static_cast<int>(state.range(0))), progress);
    const TModelLocation location = benchmaterials::ModelInGameFolder();
    int usable = 0;
    for (auto _ : state)
    {
        const TModelLooks looks = LoadModelLooks(*loaded.Model, 0, location, {}, {});
        usable = looks.Found.Materials.UsableCount();
        benchmark::DoNotOptimize(looks.Faces.Textures.data());
    }
    if (usable != benchmaterials::kMaterials)
        state.SkipWithError("materials not found");
    state.counters["materials"] = usable;
}
} // namespace

BENCHMARK(BM_LoadModelLooks)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();
