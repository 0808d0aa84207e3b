// .X writer throughput on the ~100 MB synthetic model, beside a bare pass that formats the
// same doubles with std::to_chars, fixed, six decimals.
#include "model.h"
#include "synthetic3do.h"
#include "xexport.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{
const std::string kModelFile = "/tmp/quillmark_bench_100mb.3do";
constexpr double kModelMegabytes = 100;

const TLoadedModel& Model()
{
    static const TLoadedModel loaded = []
    {
        TSilentProgress progress;
        return Parse3DOFile(synthetic::Ensure(kModelFile, kModelMegabytes), progress);
    }();
    return loaded;
}

void BM_WriteX(benchmark::State& state)
{
    const TLoadedModel& m = Model();
    std::uint64_t bytes = 0;
    for (auto _ : state)
    {
        bytes = 0;
        WriteX(*m.Model, *m.Nodes, 0,
               [&bytes](std::string_view text)
               {
                   bytes += text.size();
                   benchmark::DoNotOptimize(text.data());
               });
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["out_MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_WriteXFile(benchmark::State& state)
{
    const TLoadedModel& m = Model();
    const std::string out = "/tmp/quillmark_bench_out.x";
    for (auto _ : state)
        WriteXFile(out, *m.Model, *m.Nodes, 0);
    state.SetBytesProcessed(static_cast<std::int64_t>(
        state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(out))));
    std::remove(out.c_str());
}

// The three written values of every vertex, placed and scaled as the writer does.
std::vector<double> WrittenValues()
{
    const TLoadedModel& m = Model();
    const double scale = 1.0 / m.Model->Radius;
    std::vector<double> values;
    for (const T3DOMesh& mesh : m.Model->Get(0).Meshes)
    {
        for (const T3DOVertex& v : mesh.Vertices)
        {
            values.push_back(-(v.X + mesh.OffsetX) * scale);
            values.push_back((v.Z + mesh.OffsetZ) * scale);
            values.push_back(-(v.Y + mesh.OffsetY) * scale);
        }
    }
    return values;
}

void BM_BareToChars(benchmark::State& state)
{
    const std::vector<double> values = WrittenValues();
    std::vector<char> buffer(1 << 16);
    std::uint64_t bytes = 0;
    for (auto _ : state)
    {
        bytes = 0;
        char* p = buffer.data();
        for (const double v : values)
        {
            if (p + 400 > buffer.data() + buffer.size())
            {
                bytes += static_cast<std::uint64_t>(p - buffer.data());
                benchmark::DoNotOptimize(buffer.data());
                p = buffer.data();
            }
            p = std::to_chars(p, p + 400, v, std::chars_format::fixed, 6).ptr;
            *p++ = ';';
        }
        bytes += static_cast<std::uint64_t>(p - buffer.data());
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["values"] = static_cast<double>(values.size());
}

// The writer's own number formatting over the same values, for comparison with to_chars.
void BM_FormatXReal(benchmark::State& state)
{
    const std::vector<double> values = WrittenValues();
    std::vector<char> buffer(1 << 16);
    for (auto _ : state)
    {
        char* p = buffer.data();
        for (const double v : values)
        {
            if (p + 400 > buffer.data() + buffer.size())
            {
                benchmark::DoNotOptimize(buffer.data());
                p = buffer.data();
            }
            p = FormatXReal(p, v);
            *p++ = ';';
        }
        benchmark::DoNotOptimize(buffer.data());
    }
}

BENCHMARK(BM_WriteX)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_WriteXFile)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_BareToChars)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_FormatXReal)->Unit(benchmark::kMillisecond)->MinTime(2);
} // namespace

BENCHMARK_MAIN();
