// .X writer throughput on the benchmark models, beside a bare pass that formats the same
// numbers with std::to_chars (vertices fixed with six decimals, face corners as integers)
// into the same separators.
#include "benchmodels.h"
#include "model/loader.h"
#include "model/model.h"
#include "formats/xexport.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace
{
void BM_WriteX(benchmark::State& state)
{
    const TLoadedModel& m = benchmodels::Loaded(static_cast<int>(state.range(0)));
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
    const TLoadedModel& m = benchmodels::Loaded(static_cast<int>(state.range(0)));
    const std::string out = benchmodels::TempPath("quillmark_bench_out.x");
    for (auto _ : state)
        WriteXFile(out, *m.Model, *m.Nodes, 0);
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * benchmodels::FileSize(out)));
    std::remove(out.c_str());
}

struct TWritten
{
    std::vector<double> Values;        // three per vertex, placed and scaled as written
    std::vector<std::int64_t> Corners; // per face: corner count, then the corners
};

TWritten WrittenNumbers(int megabytes)
{
    const TLoadedModel& m = benchmodels::Loaded(megabytes);
    const double scale = 1.0 / m.Model->Radius;
    TWritten w;
    std::int64_t base = 0;
    for (const T3DOMesh& mesh : m.Model->Get(0).Meshes)
    {
        for (const T3DOVertex& v : mesh.Vertices)
        {
            w.Values.push_back(-(v.X + mesh.OffsetX) * scale);
            w.Values.push_back((v.Z + mesh.OffsetZ) * scale);
            w.Values.push_back(-(v.Y + mesh.OffsetY) * scale);
        }
        for (const T3DOFace& f : mesh.Faces)
        {
            w.Corners.push_back(f.VertexCount());
            for (int i = f.VertexCount() - 1; i >= 0; --i)
                w.Corners.push_back(base + f.VertexIndexAt(i));
        }
        base += mesh.Vertices.Count();
    }
    return w;
}

void BM_BareToChars(benchmark::State& state)
{
    const TWritten w = WrittenNumbers(static_cast<int>(state.range(0)));
    std::vector<char> buffer(1 << 16);
    char* const limit = buffer.data() + buffer.size() - 512;
    std::uint64_t bytes = 0;
    for (auto _ : state)
    {
        bytes = 0;
        char* p = buffer.data();
        const auto flush = [&]
        {
            if (p > limit)
            {
                bytes += static_cast<std::uint64_t>(p - buffer.data());
                benchmark::DoNotOptimize(buffer.data());
                p = buffer.data();
            }
        };
        for (std::size_t i = 0; i < w.Values.size(); i += 3)
        {
            *p++ = ' ';
            for (int k = 0; k < 3; ++k)
            {
                p = std::to_chars(p, p + 400, w.Values[i + k], std::chars_format::fixed, 6).ptr;
                *p++ = ';';
            }
            *p++ = ',';
            *p++ = '\r';
            *p++ = '\n';
            flush();
        }
        for (std::size_t i = 0; i < w.Corners.size();)
        {
            const std::int64_t k = w.Corners[i++];
            *p++ = ' ';
            p = std::to_chars(p, p + 24, k).ptr;
            *p++ = ';';
            for (std::int64_t c = 0; c < k; ++c)
            {
                p = std::to_chars(p, p + 24, w.Corners[i++]).ptr;
                *p++ = ',';
            }
            *p++ = ';';
            *p++ = ',';
            *p++ = '\r';
            *p++ = '\n';
            flush();
        }
        bytes += static_cast<std::uint64_t>(p - buffer.data());
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["out_MB"] = static_cast<double>(bytes) / 1e6;
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (const int mb : benchmodels::kSizes)
        b->Arg(mb);
    b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
}

BENCHMARK(BM_WriteX)->Apply(Sizes);
BENCHMARK(BM_BareToChars)->Apply(Sizes);
BENCHMARK(BM_WriteXFile)->Apply(Sizes);
} // namespace

BENCHMARK_MAIN();
