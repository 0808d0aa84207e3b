// Where the game's files come from: an ordered list of mounts (loose folders and archives) that
// answers "the bytes of game path P" and "where did they come from", and the mount order used
// for a model's materials.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TGobArchive;

inline constexpr const char* kGameFolderNotFound = "Game folder not found: %s";
inline constexpr const char* kArchiveSkipped = "Archive skipped: %s (%s)";

enum TMountKind : std::uint8_t
{
    mkFolder = 0,      // game path P is the file FOLDER/P
    mkModelFolder = 1, // also as a 3do and a mat folder: 3do/mat/NAME is found as mat/NAME or NAME
    mkArchive = 2
};

struct TMountInfo
{
    TMountKind Kind = mkFolder;
    std::string Path; // the folder or archive, UTF-8
};

// Where a game path was found (or, in a list of places looked in, where it was looked for).
struct TAssetOrigin
{
    std::size_t Mount = 0; // index into TAssetSource::Mounts()
    TMountKind Kind = mkFolder;
    std::string MountPath; // the folder or archive, UTF-8
    std::string Path;      // within it: the entry name as stored, or the path found on disk
};

// One line for the user: the file's full path, or "ARCHIVE (ENTRY)".
std::string DescribeOrigin(const TAssetOrigin& origin);

struct TAsset
{
    std::string Bytes;
    TAssetOrigin Origin;
};

struct TAssetListing
{
    std::string GamePath; // lower-case, '/'-separated
    TAssetOrigin Origin;
};

// Mounts searched in the order they were added; the first that has a game path serves it.
// Game paths compare case-insensitively (ASCII) with '/' and '\' equivalent, on disk too: each
// folder's listing is read once and kept, so a file added later is seen only by a new source.
// A path never leaves its mount ("..", drives and empty components find nothing). Const members
// may be called from several threads at once.
class TAssetSource
{
public:
    TAssetSource();
    TAssetSource(TAssetSource&&) noexcept;
    TAssetSource& operator=(TAssetSource&&) noexcept;
    ~TAssetSource();

    // A mount that repeats an earlier one (same folder or same archive file) is left out.
    void AddFolder(const std::string& folder);
    void AddModelFolder(const std::string& folder);
    // Opens the archive; throws as TGobArchive::Open.
    void AddArchive(const std::string& fileName);
    void AddArchive(std::shared_ptr<const TGobArchive> archive, const std::string& fileName);
    // A game folder (the game's install folder or one laid out like it): loose files under it,
    // under its resource folder and under its episode folder, then the .gob and .goo files of
    // those three folders, each folder's in case-insensitive alphabetical order. An archive
    // that cannot be opened is left out with a warning.
    void AddGameFolder(const std::string& folder);

    std::vector<TMountInfo> Mounts() const;
    // Archives left out, a game folder that does not exist.
    const std::vector<std::string>& Warnings() const { return FWarnings; }

    std::optional<TAssetOrigin> Find(std::string_view gamePath) const;
    // Bytes of a found file; throws EInOutError or EArchiveError when they cannot be read.
    std::string Read(const TAssetOrigin& origin) const;
    // A key two found files share when they hold the same bytes, known without reading them:
    // the same file, or entries of an archive over the same bytes.
    std::string ContentKey(const TAssetOrigin& origin) const;
    // Find and Read together; none when no mount has the path.
    std::optional<TAsset> Load(std::string_view gamePath) const;
    // Every place Find looks for the path, in order.
    std::vector<TAssetOrigin> Places(std::string_view gamePath) const;
    // The files directly in a folder whose names match a pattern ('*' and '?', any case),
    // across all mounts, each served by the first mount that has it; sorted by game path.
    std::vector<TAssetListing> List(std::string_view folder, std::string_view pattern) const;

private:
    class TMount;
    class TFolderMount;
    class TArchiveMount;
    void Add(std::unique_ptr<TMount> mount);
    void AddArchiveQuietly(const std::string& fileName);

    std::vector<std::unique_ptr<TMount>> FMounts;
    std::vector<std::string> FWarnings;
};

// Added: whether a folder holds anything of the game directly in it (names in any case): a
// resource or episode folder, a .gob or .goo archive, a 3do or mat folder.
bool LooksLikeGameFolder(const std::string& folder);

// A model opened from a file, or from an entry of an archive.
struct TModelLocation
{
    std::string FileName;                       // the model's file, or empty
    std::string ArchiveName;                    // else the archive that holds it
    std::string EntryName;                      // and its entry
    std::shared_ptr<const TGobArchive> Archive; // that archive when already open, or null
};

// The mounts for a model's materials and colormaps, in this order: its archive; or ROOT when
// the model's file lies in ROOT/3do/, then the model's own folder (with a mat folder beside
// it); then the game folder (when not empty).
TAssetSource ModelAssetSource(const TModelLocation& model, const std::string& gameFolder);

struct TResolvedAsset
{
    std::string Name;                   // as asked
    std::string GamePath;               // the one that was found, else empty
    std::optional<TAssetOrigin> Origin; // where it was found
    std::vector<TAssetOrigin> LookedIn; // when not found: every place looked in, in order
};

// Looks for FOLDER/NAME in each folder in turn.
TResolvedAsset ResolveAsset(const TAssetSource& source, std::string_view name,
                            const std::vector<std::string_view>& folders);
// A material: 3do/mat/NAME, then mat/NAME.
TResolvedAsset ResolveMaterial(const TAssetSource& source, std::string_view name);
// Added: a key, 3do/key/NAME; a puppet, misc/pup/NAME.
TResolvedAsset ResolveKey(const TAssetSource& source, std::string_view name);
TResolvedAsset ResolvePuppet(const TAssetSource& source, std::string_view name);
