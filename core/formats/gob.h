// Reader of the game's GOB and GOO archives: the index is read once when an archive opens, an
// entry's bytes only when asked. Also how a command line names an entry, and which stored names
// may be written below a folder.
#pragma once

#include "base/bytesource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The archive as a whole. Numbers and names are filled in for each "%s", in order.
inline constexpr const char* kGobNotArchive = "Not a Jedi Knight GOB archive";
inline constexpr const char* kGobDarkForces =
    "Not a Jedi Knight GOB archive: this is a Dark Forces GOB";
inline constexpr const char* kGobHeaderCut = "Broken GOB archive: the file ends inside its header";
inline constexpr const char* kGobBadVersion = "Unsupported GOB archive version %s (expected 20)";
inline constexpr const char* kGobBadIndexOffset =
    "Broken GOB archive: index offset %s is outside the file (%s bytes)";
inline constexpr const char* kGobTooManyEntries =
    "Broken GOB archive: %s entries do not fit in the file (%s bytes)";
inline constexpr const char* kGobEntriesBeyondLimit =
    "Unsupported GOB archive: %s entries (at most 33554431)";
// One entry, named as stored (control characters as \xNN: PrintableName), or as #N (counting
// from 1 in index order) when its name is empty.
inline constexpr const char* kGobEntryNameNotEnded =
    "Broken archive entry: %s (its name does not end within 128 bytes)";
inline constexpr const char* kGobEntryNameEmpty = "Broken archive entry: %s (its name is empty)";
inline constexpr const char* kGobEntryTooLong =
    "Broken archive entry: %s (its length of %s bytes is 2 GB or more)";
inline constexpr const char* kGobEntryPastEnd =
    "Broken archive entry: %s (its data runs past the end of the archive)";
// Warnings: the archive is still used.
inline constexpr const char* kGobDuplicateEntry =
    "Duplicate archive entry: %s (the first one is used)";
inline constexpr const char* kGobOverlappingEntry = "Overlapping archive entry: %s (overlaps %s)";
inline constexpr const char* kGobOverlapsIndex =
    "Overlapping archive entry: %s (overlaps the archive's header or index)";
inline constexpr const char* kGobMoreWarnings = "%s more archive warnings not shown";
inline constexpr std::size_t kGobMaxWarnings = 20;
// Naming an entry on a command line.
inline constexpr const char* kArchiveEntryNotFound = "Archive entry not found: %s";
inline constexpr const char* kArchiveEntryAmbiguous = "Ambiguous archive entry: %s (%s matches)";
// Why a stored name is never written below a target folder.
inline constexpr const char* kUnsafeEntryName = "Unsafe archive entry name: %s (%s)";
inline constexpr const char* kUnsafeEmpty = "it is empty";
inline constexpr const char* kUnsafeControl = "it holds a control character";
inline constexpr const char* kUnsafeColon = "it holds a drive or a colon";
inline constexpr const char* kUnsafeLeadingSeparator = "it starts with a separator";
inline constexpr const char* kUnsafeParent = "a \"..\" component would leave the target folder";
inline constexpr const char* kUnsafeEmptyComponent = "it has an empty or \".\" component";
inline constexpr const char* kUnsafeTrailingDot =
    "a component ends in a dot or a blank, which Windows drops";
inline constexpr const char* kUnsafeDevice = "it names a Windows device";
inline constexpr const char* kUnsafeWindowsCharacter =
    "it holds a character Windows does not allow in file names";

inline constexpr std::uint32_t kGobVersion = 20;
inline constexpr std::uint64_t kGobHeaderSize = 12;
inline constexpr std::uint64_t kGobEntrySize = 136;
inline constexpr std::size_t kGobNameSize = 128;
inline constexpr std::uint64_t kGobMaxEntries = 0xFFFFFFFFu / kGobNameSize;

// A file that is not a usable archive, a broken entry, an entry a command line cannot name.
class EArchiveError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Why an entry's bytes cannot be read (the first that applies, in this order).
enum TGobProblem : std::uint8_t
{
    gpNone = 0,
    gpNameNotEnded = 1, // no NUL in the 128 name bytes; the name is shown cut at 128
    gpNameEmpty = 2,
    gpTooLong = 3, // stated length of 2^31 bytes or more
    gpPastEnd = 4  // offset + length beyond the end of the file
};

// One index entry as listed. Name points into the archive and lives as long as it does.
struct TGobEntry
{
    std::string_view Name; // as stored, up to the first NUL
    std::uint32_t Offset = 0;
    std::uint32_t Size = 0;
    TGobProblem Problem = gpNone;
    bool Duplicate = false; // an earlier entry has the same name; lookups never give this one
    bool Unsafe = false;    // must not be extracted; UnsafeEntryReason says why
};

// An open archive. Every entry is listed in index order, broken ones included; reading a
// broken one throws EArchiveError naming it. Lookups compare names case-insensitively (ASCII)
// with '/' and '\' equivalent; of duplicate names the first in the index wins. Const members may
// be called from several threads at once.
class TGobArchive
{
public:
    // Reads the header and the index; throws EArchiveError when the bytes are not a usable
    // archive, EInOutError when they cannot be read.
    explicit TGobArchive(std::unique_ptr<TByteSource> source);
    // Opens a file by its UTF-8 name.
    static std::unique_ptr<TGobArchive> Open(const std::string& fileName);

    std::size_t Count() const { return FRecords.size(); }
    TGobEntry Entry(std::size_t index) const; // throws EListError beyond Count()
    // The entry of that name, or none.
    std::optional<std::size_t> Find(std::string_view name) const;
    // The entry a command-line argument names: the entry of that name, else, for a bare file
    // name, the one entry of that file name in any folder. Throws EArchiveError
    // (kArchiveEntryNotFound, kArchiveEntryAmbiguous).
    std::size_t Match(std::string_view argument) const;
    // The entry's bytes; throws EArchiveError for a broken entry, EInOutError when the file
    // cannot be read.
    std::string Read(std::size_t index) const;
    std::uint64_t FileSize() const { return FFileSize; }
    // Duplicates and overlaps found while reading the index, at most kGobMaxWarnings of them
    // and then one line counting the rest.
    const std::vector<std::string>& Warnings() const { return FWarnings; }
    // Bytes held for the index (names, keys, records, lookup table).
    std::size_t IndexMemory() const;

private:
    struct TRecord
    {
        std::uint32_t Offset;
        std::uint32_t Size;
        std::uint32_t NameStart; // into FNames and FKeys alike
        std::uint8_t NameLength; // 0 .. 128
        TGobProblem Problem;
        bool Duplicate;
        bool Unsafe;
    };

    std::string_view Key(std::size_t index) const;
    std::string Label(std::size_t index) const;
    void ReadIndex(std::uint64_t indexOffset);
    void BuildLookup();
    void FindOverlaps(std::uint64_t indexOffset);
    void Warn(std::string text);

    std::unique_ptr<TByteSource> FSource;
    std::uint64_t FFileSize = 0;
    std::vector<TRecord> FRecords;
    std::string FNames;                // stored names, back to back
    std::string FKeys;                 // the same, lower-cased with '/' separators
    std::vector<std::uint32_t> FSlots; // hash table of entries with a name
    std::vector<std::string> FWarnings;
    std::size_t FMoreWarnings = 0;
};

// Added: whether the file (UTF-8 name) starts with the archive signature, so that an archive
// named where a model is expected is recognised as one. False for a file that cannot be read.
bool HasGobSignature(const std::string& fileName);

// A name as a lookup compares it: ASCII lower-case, '\' turned into '/'.
std::string GobKey(std::string_view name);

// Why a stored name must not be written below a target folder, as the full message
// (kUnsafeEntryName), or empty when it may be.
std::string UnsafeEntryReason(std::string_view name);
// The relative path, '/'-separated, under which an entry is written below a target folder.
// Throws EArchiveError with UnsafeEntryReason's text when it must not be written.
std::string ExtractionPath(std::string_view name);
