// Opening a large game archive: the time to read the index of 20,000 entries, and the memory the
// index then holds beside the bytes it was read from.
#include "benchmodels.h"
#include "formats/gob.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>

namespace
{
constexpr int kEntries = 20000;
constexpr std::uint32_t kMemberSize = 64;

void PutU32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

// Names laid out as the game's: a tenth of the entries models, the rest materials, sounds and
// levels' files in their folders, 20 to 30 characters each.
std::string MemberName(int i)
{
    static const char* const kFolders[] = {"3do\\",     "mat\\",       "3do\\mat\\",
                                           "sound\\",   "misc\\cmp\\", "cog\\",
                                           "3do\\key\\", "jkl\\",      "misc\\pup\\",
                                           "ui\\bm\\"};
    static const char* const kExtensions[] = {".3do", ".mat", ".mat", ".wav", ".cmp",
                                              ".cog", ".key", ".jkl", ".pup", ".bm"};
    char number[16];
    std::snprintf(number, sizeof number, "%05d", i);
    return std::string(kFolders[i % 10]) + "bench_item_" + number + kExtensions[i % 10];
}

// Made once per process in the temporary directory: header, index, then the members.
const std::string& Archive()
{
    static const std::string file = []
    {
        const std::string name = benchmodels::TempPath("quillmark_bench_20000.gob");
        std::string bytes = "GOB ";
        PutU32(bytes, kGobVersion);
        PutU32(bytes, static_cast<std::uint32_t>(kGobHeaderSize));
        PutU32(bytes, kEntries);
        const std::uint64_t dataStart = kGobHeaderSize + 4 + kEntries * kGobEntrySize;
        for (int i = 0; i < kEntries; ++i)
        {
            PutU32(bytes, static_cast<std::uint32_t>(dataStart + std::uint64_t{kMemberSize} * i));
            PutU32(bytes, kMemberSize);
            std::string field = MemberName(i);
            field.resize(kGobNameSize, '\0');
            bytes += field;
        }
        bytes.append(std::size_t{kMemberSize} * kEntries, 'x');
        std::ofstream(name, std::ios::binary) << bytes;
        return name;
    }();
    return file;
}

void BM_OpenGob(benchmark::State& state)
{
    const std::string& file = Archive();
    std::size_t count = 0;
    for (auto _ : state)
    {
        const std::unique_ptr<TGobArchive> archive = TGobArchive::Open(file);
        count = archive->Count();
        benchmark::DoNotOptimize(archive.get());
    }
    if (count != kEntries)
        state.SkipWithError("the archive did not list every entry");

    // Memory: what the archive reports holding, and what the heap grew by while it is open.
    const double indexBytes = 4.0 + kEntries * static_cast<double>(kGobEntrySize);
    malloc_trim(0);
    const std::size_t heapBefore = mallinfo2().uordblks;
    const std::unique_ptr<TGobArchive> archive = TGobArchive::Open(file);
    const std::size_t heapAfter = mallinfo2().uordblks;
    state.counters["entries"] = static_cast<double>(kEntries);
    state.counters["index_KB"] = indexBytes / 1e3;
    state.counters["index_memory_KB"] = static_cast<double>(archive->IndexMemory()) / 1e3;
    state.counters["heap_KB"] = static_cast<double>(heapAfter - heapBefore) / 1e3;
    state.counters["memory_ratio"] = static_cast<double>(archive->IndexMemory()) / indexBytes;
    state.counters["heap_ratio"] = static_cast<double>(heapAfter - heapBefore) / indexBytes;
}
} // namespace

BENCHMARK(BM_OpenGob)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
BENCHMARK_MAIN();
