// Reader of the game's GOB and GOO archives.
#include "formats/gob.h"

#include "base/errors.h"
#include "base/U_String.h"
#include "base/platform.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <new>

namespace
{
// The index is read in pieces of this many entries, so opening never holds a second copy of a
// large index.
constexpr std::size_t kIndexChunkEntries = 512;

// FNV-1a: short keys, no need for more.
std::size_t KeyHash(std::string_view key)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : key)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

bool IsWindowsDevice(std::string_view component)
{
    // The part before the first dot, without trailing blanks, is what Windows checks.
    std::string base = LowerCase(component.substr(0, component.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" ||
        base == "conout$")
        return true;
    if (!base.starts_with("com") && !base.starts_with("lpt"))
        return false;
    // Windows takes the superscript digits 1, 2 and 3 for port numbers too; a name may hold
    // them as Latin-1 bytes or as UTF-8.
    const std::string_view number = std::string_view(base).substr(3);
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xB9" ||
           number == "\xB2" || number == "\xB3" || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

// The reason text, or nullptr when the name may be written below a folder.
const char* UnsafeReasonText(std::string_view name)
{
    if (name.empty())
        return kUnsafeEmpty;
    if (std::any_of(name.begin(), name.end(), IsControlByte))
        return kUnsafeControl;
    if (name.find(':') != std::string_view::npos)
        return kUnsafeColon;
    // Added: a name Windows cannot create would be extracted on one system and not the other.
    if (name.find_first_of("<>\"|?*") != std::string_view::npos)
        return kUnsafeWindowsCharacter;
    if (IsSeparator(name.front()))
        return kUnsafeLeadingSeparator;
    std::size_t start = 0;
    while (true)
    {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        const std::string_view component = name.substr(start, end - start);
        if (component.empty() || component == ".")
            return kUnsafeEmptyComponent;
        if (component == "..")
            return kUnsafeParent;
        // Added: Windows drops trailing dots and blanks, so ".. " would mean "..".
        if (component.back() == '.' || component.back() == ' ')
            return kUnsafeTrailingDot;
        // Added: on Windows these names open a device, wherever they stand.
        if (IsWindowsDevice(component))
            return kUnsafeDevice;
        if (end == name.size())
            return nullptr;
        start = end + 1;
    }
}
} // namespace

std::string GobKey(std::string_view name)
{
    std::string key = LowerCase(name);
    std::replace(key.begin(), key.end(), '\\', '/');
    return key;
}

std::string UnsafeEntryReason(std::string_view name)
{
    const char* reason = UnsafeReasonText(name);
    if (reason == nullptr)
        return {};
    return FormatText(kUnsafeEntryName, {PrintableName(name), reason});
}

std::string ExtractionPath(std::string_view name)
{
    if (UnsafeReasonText(name) != nullptr)
        throw EArchiveError(UnsafeEntryReason(name));
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool HasGobSignature(const std::string& fileName)
{
    std::ifstream in(PathFromUtf8(fileName), std::ios::binary);
    char signature[4] = {};
    return in.read(signature, 4) && std::memcmp(signature, "GOB ", 4) == 0;
}

TGobArchive::TGobArchive(std::unique_ptr<TByteSource> source) : FSource(std::move(source))
{
    FFileSize = FSource->Size();
    char header[16] = {};
    FSource->ReadAt(0, header, static_cast<std::size_t>(std::min<std::uint64_t>(FFileSize, 16)));
    // Dark Forces archives share the first three letters but not the layout.
    if (FFileSize >= 4 && std::memcmp(header, "GOB\x0A", 4) == 0)
        throw EArchiveError(kGobDarkForces);
    if (FFileSize < 4 || std::memcmp(header, "GOB ", 4) != 0)
        throw EArchiveError(kGobNotArchive);
    if (FFileSize < 16)
        throw EArchiveError(kGobHeaderCut);
    const std::uint32_t version = LoadLe32(header + 4);
    if (version != kGobVersion)
        throw EArchiveError(FormatText(kGobBadVersion, {std::to_string(version)}));
    const std::uint64_t indexOffset = LoadLe32(header + 8);
    if (indexOffset < kGobHeaderSize || indexOffset + 4 > FFileSize)
        throw EArchiveError(FormatText(kGobBadIndexOffset,
                                       {std::to_string(indexOffset), std::to_string(FFileSize)}));
    ReadIndex(indexOffset);
    BuildLookup();
    FindOverlaps(indexOffset);
    if (FMoreWarnings > 0)
        FWarnings.push_back(FormatText(kGobMoreWarnings, {std::to_string(FMoreWarnings)}));
}

std::unique_ptr<TGobArchive> TGobArchive::Open(const std::string& fileName)
{
    return std::make_unique<TGobArchive>(OpenFileSource(fileName));
}

void TGobArchive::ReadIndex(std::uint64_t indexOffset)
{
    char countBytes[4];
    FSource->ReadAt(indexOffset, countBytes, 4);
    const std::uint64_t count = LoadLe32(countBytes);
    // Checked before anything is sized by it.
    if (count > (FFileSize - indexOffset - 4) / kGobEntrySize)
        throw EArchiveError(
            FormatText(kGobTooManyEntries, {std::to_string(count), std::to_string(FFileSize)}));
    // Names are found by 32-bit offsets into one arena.
    if (count > kGobMaxEntries)
        throw EArchiveError(FormatText(kGobEntriesBeyondLimit, {std::to_string(count)}));
    FRecords.reserve(static_cast<std::size_t>(count));
    FNames.reserve(static_cast<std::size_t>(count) * 24);
    std::vector<char> chunk(
        static_cast<std::size_t>(std::min<std::uint64_t>(count, kIndexChunkEntries)) *
        kGobEntrySize);
    std::uint64_t position = indexOffset + 4;
    for (std::uint64_t done = 0; done < count;)
    {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kIndexChunkEntries));
        FSource->ReadAt(position, chunk.data(), n * kGobEntrySize);
        for (std::size_t i = 0; i < n; ++i)
        {
            const char* entry = chunk.data() + i * kGobEntrySize;
            const char* name = entry + 8;
            const void* nul = std::memchr(name, '\0', kGobNameSize);
            const std::size_t nameLength =
                nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - name)
                               : kGobNameSize;
            TRecord record{};
            record.Offset = LoadLe32(entry);
            record.Size = LoadLe32(entry + 4);
            record.NameStart = static_cast<std::uint32_t>(FNames.size());
            record.NameLength = static_cast<std::uint8_t>(nameLength);
            if (nul == nullptr)
                record.Problem = gpNameNotEnded;
            else if (nameLength == 0)
                record.Problem = gpNameEmpty;
            else if (record.Size >= 0x80000000u)
                record.Problem = gpTooLong;
            else if (std::uint64_t{record.Offset} + record.Size > FFileSize)
                record.Problem = gpPastEnd;
            const std::string_view stored(name, nameLength);
            record.Unsafe = UnsafeReasonText(stored) != nullptr;
            FNames.append(stored);
            FRecords.push_back(record);
        }
        position += n * kGobEntrySize;
        done += n;
    }
    FNames.shrink_to_fit();
    FKeys = GobKey(FNames);
}

void TGobArchive::BuildLookup()
{
    // Open addressing, at most half full; slots hold entry index + 1, 0 when free. Entries go in
    // in index order, so the first of equal names takes the slot and later ones are duplicates.
    std::size_t slots = 16;
    while (slots < 2 * FRecords.size())
        slots *= 2;
    FSlots.assign(slots, 0);
    for (std::size_t i = 0; i < FRecords.size(); ++i)
    {
        if (FRecords[i].NameLength == 0)
            continue;
        const std::string_view key = Key(i);
        std::size_t slot = KeyHash(key) & (slots - 1);
        while (FSlots[slot] != 0 && Key(FSlots[slot] - 1) != key)
            slot = (slot + 1) & (slots - 1);
        if (FSlots[slot] == 0)
            FSlots[slot] = static_cast<std::uint32_t>(i + 1);
        else
        {
            FRecords[i].Duplicate = true;
            Warn(FormatText(kGobDuplicateEntry, {Label(i)}));
        }
    }
}

void TGobArchive::FindOverlaps(std::uint64_t indexOffset)
{
    const std::uint64_t indexEnd = indexOffset + 4 + FRecords.size() * kGobEntrySize;
    std::vector<std::uint32_t> spans;
    for (std::size_t i = 0; i < FRecords.size(); ++i)
    {
        const TRecord& r = FRecords[i];
        if (r.Problem != gpNone || r.Size == 0)
            continue;
        const std::uint64_t end = std::uint64_t{r.Offset} + r.Size;
        const bool inHeader = r.Offset < kGobHeaderSize;
        const bool inIndex = r.Offset < indexEnd && end > indexOffset;
        if (inHeader || inIndex)
            Warn(FormatText(kGobOverlapsIndex, {Label(i)}));
        spans.push_back(static_cast<std::uint32_t>(i));
    }
    std::sort(spans.begin(), spans.end(),
              [this](std::uint32_t a, std::uint32_t b)
              {
                  return FRecords[a].Offset < FRecords[b].Offset ||
                         (FRecords[a].Offset == FRecords[b].Offset && a < b);
              });
    std::uint64_t reach = 0; // the furthest end so far, and whose it is
    std::uint32_t reacher = 0;
    for (const std::uint32_t i : spans)
    {
        const TRecord& r = FRecords[i];
        if (r.Offset < reach)
            Warn(FormatText(kGobOverlappingEntry, {Label(i), Label(reacher)}));
        if (std::uint64_t{r.Offset} + r.Size > reach)
        {
            reach = std::uint64_t{r.Offset} + r.Size;
            reacher = i;
        }
    }
}

void TGobArchive::Warn(std::string text)
{
    if (FWarnings.size() < kGobMaxWarnings)
        FWarnings.push_back(std::move(text));
    else
        ++FMoreWarnings;
}

std::string_view TGobArchive::Key(std::size_t index) const
{
    const TRecord& r = FRecords[index];
    return std::string_view(FKeys).substr(r.NameStart, r.NameLength);
}

std::string TGobArchive::Label(std::size_t index) const
{
    const TRecord& r = FRecords[index];
    if (r.NameLength == 0)
        return "#" + std::to_string(index + 1);
    return PrintableName(std::string_view(FNames).substr(r.NameStart, r.NameLength));
}

TGobEntry TGobArchive::Entry(std::size_t index) const
{
    if (index >= FRecords.size())
        throw EListError();
    const TRecord& r = FRecords[index];
    TGobEntry entry;
    entry.Name = std::string_view(FNames).substr(r.NameStart, r.NameLength);
    entry.Offset = r.Offset;
    entry.Size = r.Size;
    entry.Problem = r.Problem;
    entry.Duplicate = r.Duplicate;
    entry.Unsafe = r.Unsafe;
    return entry;
}

std::optional<std::size_t> TGobArchive::Find(std::string_view name) const
{
    if (name.empty() || name.size() > kGobNameSize)
        return std::nullopt;
    const std::string key = GobKey(name);
    const std::size_t mask = FSlots.size() - 1;
    for (std::size_t slot = KeyHash(key) & mask; FSlots[slot] != 0; slot = (slot + 1) & mask)
        if (Key(FSlots[slot] - 1) == key)
            return FSlots[slot] - 1;
    return std::nullopt;
}

std::size_t TGobArchive::Match(std::string_view argument) const
{
    if (const std::optional<std::size_t> exact = Find(argument))
        return *exact;
    std::size_t matches = 0;
    std::size_t found = 0;
    const bool bare =
        !argument.empty() && std::none_of(argument.begin(), argument.end(), IsSeparator);
    if (bare)
    {
        const std::string key = GobKey(argument);
        for (std::size_t i = 0; i < FRecords.size(); ++i)
        {
            const std::string_view k = Key(i);
            if (FRecords[i].Duplicate || k.size() <= key.size() || !k.ends_with(key) ||
                k[k.size() - key.size() - 1] != '/')
                continue;
            if (matches++ == 0)
                found = i;
        }
    }
    if (matches == 1)
        return found;
    // The argument may be UTF-8 typed on a command line, whose bytes 0x80-0x9F belong to other
    // characters: only C0 and DEL are escaped here, and the terminal's printing sees to the rest.
    std::string shown;
    for (const char c : argument)
        shown += static_cast<unsigned char>(c) >= 0x80 ? std::string(1, c) : PrintableName({&c, 1});
    if (matches == 0)
        throw EArchiveError(FormatText(kArchiveEntryNotFound, {shown}));
    throw EArchiveError(FormatText(kArchiveEntryAmbiguous, {shown, std::to_string(matches)}));
}

std::string TGobArchive::Read(std::size_t index) const
{
    if (index >= FRecords.size())
        throw EListError();
    const TRecord& r = FRecords[index];
    switch (r.Problem)
    {
    case gpNone:
        break;
    case gpNameNotEnded:
        throw EArchiveError(FormatText(kGobEntryNameNotEnded, {Label(index)}));
    case gpNameEmpty:
        throw EArchiveError(FormatText(kGobEntryNameEmpty, {Label(index)}));
    case gpTooLong:
        throw EArchiveError(FormatText(kGobEntryTooLong, {Label(index), std::to_string(r.Size)}));
    case gpPastEnd:
        throw EArchiveError(FormatText(kGobEntryPastEnd, {Label(index)}));
    }
    std::string bytes;
    try
    {
        bytes.resize(r.Size);
    }
    catch (const std::bad_alloc&)
    {
        throw EArchiveError(kOutOfMemory);
    }
    FSource->ReadAt(r.Offset, bytes.data(), bytes.size());
    return bytes;
}

std::size_t TGobArchive::IndexMemory() const
{
    return FNames.capacity() + FKeys.capacity() + FRecords.capacity() * sizeof(TRecord) +
           FSlots.capacity() * sizeof(std::uint32_t);
}
