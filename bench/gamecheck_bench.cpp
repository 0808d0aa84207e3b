// The game check of the 100 MB model (1,490 meshes, 536,040 faces) with its 17 materials found
// in the benchmark game folder, as quillmark-cli check runs it once the model is loaded.
#include "benchmaterials.h"
#include "benchmodels.h"
#include "game/gamecheck.h"

#include <benchmark/benchmark.h>

namespace
{
void BM_CheckModel(benchmark::State& state)
{
    const TLoadedModel& loaded = benchmodels::Loaded(static_cast<int>(state.range(0)));
    const TModelLocation location = benchmaterials::ModelInGameFolder();
    std::size_t findings = 0;
    for (auto _ : state)
    {
        const std::vector<TGameFinding> found =
            CheckModelWithGameFolder(*loaded.Model, *loaded.Nodes, location, {});
        findings = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    // The synthetic model has more than 64 nodes: one warning, and nothing else.
    if (findings != 1)
        state.SkipWithError("unexpected findings");
    state.counters["findings"] = static_cast<double>(findings);
}
} // namespace

BENCHMARK(BM_CheckModel)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();
