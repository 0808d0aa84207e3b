// Loader throughput on the benchmark models, beside a bare pass that only converts the same
// file's numbers with std::from_chars, and the loader's peak memory.
#include "benchmodels.h"
#include "model/loader.h"
#include "model/model.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
void BM_Parse3DOFile(benchmark::State& state)
{
    const std::string file = benchmodels::Model3DO(static_cast<int>(state.range(0)));
    std::size_t faces = 0;
    benchmodels::ResetPeak();
    const double before = benchmodels::PeakBytes();
    for (auto _ : state)
    {
        TSilentProgress progress;
        const TLoadedModel loaded = Parse3DOFile(file, progress);
        faces = 0;
        for (const T3DOMesh& m : loaded.Model->Get(0).Meshes)
            faces += static_cast<std::size_t>(m.Faces.Count());
        benchmark::DoNotOptimize(loaded.Model.get());
    }
    const double size = static_cast<double>(benchmodels::FileSize(file));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["faces"] = static_cast<double>(faces);
    state.counters["file_MB"] = size / 1e6;
    // What the load added to the process at its peak, and the whole process at that peak.
    state.counters["peak_MB"] = (benchmodels::PeakBytes() - before) / 1e6;
    state.counters["process_peak_MB"] = benchmodels::PeakBytes() / 1e6;
}

// Reads the file in the loader's chunk size and converts every word that starts like a
// number with std::from_chars; nothing is stored.
void BM_BareNumberPass(benchmark::State& state)
{
    const std::string file = benchmodels::Model3DO(static_cast<int>(state.range(0)));
    std::vector<char> buffer((1 << 20) + 4096);
    for (auto _ : state)
    {
        std::FILE* f = std::fopen(file.c_str(), "rb");
        double sum = 0;
        std::size_t keep = 0;
        for (;;)
        {
            const std::size_t got = std::fread(buffer.data() + keep, 1, 1 << 20, f);
            const std::size_t end = keep + got;
            // Stop at the last blank so no word is cut between chunks.
            std::size_t stop = end;
            if (got != 0)
                while (stop > 0 && static_cast<unsigned char>(buffer[stop - 1]) > 32)
                    --stop;
            const char* p = buffer.data();
            const char* last = buffer.data() + stop;
            while (p < last)
            {
                while (p < last && static_cast<unsigned char>(*p) <= 32)
                    ++p;
                const char* word = p;
                while (p<last&& static_cast<unsigned char>(*p)> 32)
                    ++p;
                if (word < p && ((*word >= '0' && *word <= '9') || *word == '-'))
                {
                    double v = 0;
                    std::from_chars(word, p, v);
                    sum += v;
                }
            }
            keep = end - stop;
            std::memmove(buffer.data(), buffer.data() + stop, keep);
            if (got == 0)
                break;
        }
        std::fclose(f);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * benchmodels::FileSize(file)));
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (const int mb : benchmodels::kSizes)
        b->Arg(mb);
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
}

BENCHMARK(BM_Parse3DOFile)->Apply(Sizes);
BENCHMARK(BM_BareNumberPass)->Apply(Sizes);
} // namespace

BENCHMARK_MAIN();
