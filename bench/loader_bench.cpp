// Loader throughput on a ~100 MB synthetic model, beside a bare pass that only converts the
// same file's numbers.
#include "model.h"
#include "synthetic3do.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace
{
const std::string kModelFile = "/tmp/quillmark_bench_100mb.3do";
constexpr double kModelMegabytes = 100;

std::uint64_t FileSize(const std::string& name)
{
    struct stat st;
    return ::stat(name.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// Peak resident memory of the process so far, in MB.
double PeakMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void BM_Parse3DOFile(benchmark::State& state)
{
    const std::string file = synthetic::Ensure(kModelFile, kModelMegabytes);
    std::size_t meshes = 0;
    for (auto _ : state)
    {
        TSilentProgress progress;
        const TLoadedModel loaded = Parse3DOFile(file, progress);
        meshes = static_cast<std::size_t>(loaded.Model->Get(0).Meshes.Count());
        benchmark::DoNotOptimize(loaded.Model.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(file)));
    state.counters["meshes"] = static_cast<double>(meshes);
    state.counters["peak_MB"] = PeakMegabytes();
}

// Reads the file in the loader's chunk size and converts every word that starts like a
// number with std::from_chars; nothing is stored.
void BM_BareNumberPass(benchmark::State& state)
{
    const std::string file = synthetic::Ensure(kModelFile, kModelMegabytes);
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
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(file)));
}

BENCHMARK(BM_Parse3DOFile)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_BareNumberPass)->Unit(benchmark::kMillisecond)->MinTime(3);
} // namespace

BENCHMARK_MAIN();
