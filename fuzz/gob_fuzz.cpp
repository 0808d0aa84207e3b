// Any bytes given to the archive reader end in an archive or in a message, never in a crash, a
// read out of bounds or an allocation the bytes do not back. Every listed entry reads exactly its
// stated size or fails with a message, every named entry is found again by its name, and an
// extraction path never leaves its folder.
#include "formats/gob.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace
{
void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckExtractionPath(const std::string& path)
{
    Check(!path.empty() && path.front() != '/');
    Check(path.find('\\') == std::string::npos && path.find(':') == std::string::npos);
    std::size_t start = 0;
    while (start <= path.size())
    {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view component = std::string_view(path).substr(start, end - start);
        Check(!component.empty() && component != "." && component != "..");
        start = end + 1;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::unique_ptr<TGobArchive> gob;
    try
    {
        gob = std::make_unique<TGobArchive>(
            MakeMemorySource(std::string(reinterpret_cast<const char*>(data), size)));
    }
    catch (const EArchiveError&)
    {
        return 0;
    }
    Check(gob->Count() <= size / kGobEntrySize);
    Check(gob->Warnings().size() <= kGobMaxWarnings + 1);
    for (std::size_t i = 0; i < gob->Count(); ++i)
    {
        const TGobEntry entry = gob->Entry(i);
        Check(entry.Name.size() <= kGobNameSize);
        try
        {
            const std::string bytes = gob->Read(i);
            Check(entry.Problem == gpNone && bytes.size() == entry.Size);
            Check(std::uint64_t{entry.Offset} + entry.Size <= size);
            Check(bytes ==
                  std::string_view(reinterpret_cast<const char*>(data) + entry.Offset, entry.Size));
        }
        catch (const EArchiveError&)
        {
            Check(entry.Problem != gpNone);
        }
        if (!entry.Name.empty())
        {
            const std::optional<std::size_t> found = gob->Find(entry.Name);
            Check(found && *found <= i && (*found == i) == !entry.Duplicate);
            Check(GobKey(gob->Entry(*found).Name) == GobKey(entry.Name));
        }
        try
        {
            const std::size_t matched = gob->Match(entry.Name);
            Check(matched < gob->Count() && !gob->Entry(matched).Duplicate);
        }
        catch (const EArchiveError&)
        {
        }
        Check(UnsafeEntryReason(entry.Name).empty() == !entry.Unsafe);
        if (!entry.Unsafe)
            CheckExtractionPath(ExtractionPath(entry.Name));
    }
    return 0;
}
