// Where the game's files come from.
#include "game/assets.h"

#include "base/bytesource.h"
#include "base/errors.h"
#include "formats/gob.h"
#include "base/U_String.h"
#include "base/platform.h"

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <mutex>
#include <new>
#include <system_error>

namespace fs = std::filesystem;

namespace
{
// '\' becomes '/'; case is kept so that an exact spelling on disk can be preferred.
std::string Slashed(std::string_view gamePath)
{
    std::string path(gamePath);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool GlobMatch(std::string_view pattern, std::string_view text)
{
    std::size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
    while (t < text.size())
    {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t]))
        {
            ++p;
            ++t;
        }
        else if (p < pattern.size() && pattern[p] == '*')
        {
            star = p++;
            resume = t;
        }
        else if (star != std::string_view::npos)
        {
            p = star + 1;
            t = ++resume;
        }
        else
            return false;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// The same folder or file however it was spelled on the way in.
std::string Identity(const std::string& name)
{
    std::error_code error;
    fs::path path = fs::absolute(PathFromUtf8(name), error);
    if (error)
        path = PathFromUtf8(name);
    return Utf8FromPath(path.lexically_normal());
}

struct TDirEntry
{
    std::string Lower;
    std::string Name;
    bool Directory;
};
} // namespace

class TAssetSource::TMount
{
public:
    // The path is shown to the user, so in the system's own spelling.
    TMount(TMountKind kind, const std::string& path)
        : FKind(kind), FPath(Utf8FromPath(PathFromUtf8(path).make_preferred()))
    {
    }
    virtual ~TMount() = default;
    TMountKind Kind() const { return FKind; }
    const std::string& Path() const { return FPath; }
    std::string Identity() const { return ::Identity(FPath); }
    // The path within the mount that holds the game path, or none.
    virtual std::optional<std::string> Find(const std::string& slashed) const = 0;
    virtual std::string Read(const std::string& within) const = 0;
    // The same text for two paths within whenever they give the same bytes.
    virtual std::string ContentKey(const std::string& within) const { return within; }
    // The paths within the mount that Find tries.
    virtual std::vector<std::string> Candidates(const std::string& slashed) const = 0;
    // (lower-case file name, path within) of the files directly in a folder.
    virtual void List(const std::string& slashedFolder,
                      std::vector<std::pair<std::string, std::string>>& files) const = 0;

private:
    TMountKind FKind;
    std::string FPath;
};

class TAssetSource::TFolderMount : public TAssetSource::TMount
{
public:
    TFolderMount(TMountKind kind, const std::string& folder)
        : TMount(kind, folder), FRoot(PathFromUtf8(folder))
    {
    }

    std::optional<std::string> Find(const std::string& slashed) const override
    {
        const std::lock_guard<std::mutex> lock(FLock);
        for (const std::string& candidate : Candidates(slashed))
            if (std::optional<std::string> found = Walk(candidate, false))
                return found;
        return std::nullopt;
    }

    std::string Read(const std::string& within) const override
    {
        const std::unique_ptr<TByteSource> file =
            OpenFileSource(Utf8FromPath(FRoot / PathFromUtf8(within)));
        std::string bytes;
        try
        {
            bytes.resize(static_cast<std::size_t>(file->Size()));
        }
        catch (const std::bad_alloc&)
        {
            throw EInOutError(kOutOfMemory);
        }
        catch (const std::length_error&)
        {
            throw EInOutError(kOutOfMemory);
        }
        file->ReadAt(0, bytes.data(), bytes.size());
        return bytes;
    }

    std::vector<std::string> Candidates(const std::string& slashed) const override
    {
        std::vector<std::string> candidates{slashed};
        if (Kind() != mkModelFolder)
            return candidates;
        // The model's folder stands for the game's 3do folder and for its mat folders.
        std::string_view rest = slashed;
        if (LowerCase(rest.substr(0, 4)) == "3do/")
        {
            rest.remove_prefix(4);
            candidates.emplace_back(rest);
        }
        if (LowerCase(rest.substr(0, 4)) == "mat/")
        {
            rest.remove_prefix(4);
            candidates.emplace_back(rest);
        }
        return candidates;
    }

    void List(const std::string& slashedFolder,
              std::vector<std::pair<std::string, std::string>>& files) const override
    {
        const std::lock_guard<std::mutex> lock(FLock);
        for (const std::string& candidate : Candidates(slashedFolder))
        {
            const std::optional<std::string> folder =
                candidate.empty() ? std::optional<std::string>("") : Walk(candidate, true);
            if (!folder)
                continue;
            for (const TDirEntry& entry : Listing(*folder))
                if (!entry.Directory)
                    files.emplace_back(entry.Lower,
                                       folder->empty() ? entry.Name : *folder + "/" + entry.Name);
        }
    }

private:
    // The path as found on disk, component by component, ignoring case; an exact spelling wins
    // over other spellings of the same name.
    std::optional<std::string> Walk(std::string_view slashed, bool wantDirectory) const
    {
        std::string found;
        std::size_t start = 0;
        while (true)
        {
            const std::size_t end = std::min(slashed.find('/', start), slashed.size());
            const std::string_view component = slashed.substr(start, end - start);
            const bool last = end == slashed.size();
            const std::string lower = LowerCase(component);
            const std::vector<TDirEntry>& listing = Listing(found);
            auto it = std::lower_bound(listing.begin(), listing.end(), lower,
                                       [](const TDirEntry& e, const std::string& key)
                                       { return e.Lower < key; });
            const TDirEntry* match = nullptr;
            for (; it != listing.end() && it->Lower == lower; ++it)
            {
                if (it->Directory != (wantDirectory || !last))
                    continue;
                if (match == nullptr || it->Name == component)
                    match = &*it;
            }
            if (component.empty() || match == nullptr)
                return std::nullopt;
            found += found.empty() ? match->Name : "/" + match->Name;
            if (last)
                return found;
            start = end + 1;
        }
    }

    // Entries sorted by lower-case name, then by name; read once.
    const std::vector<TDirEntry>& Listing(const std::string& relative) const
    {
        const auto cached = FListings.find(relative);
        if (cached != FListings.end())
            return cached->second;
        std::vector<TDirEntry> entries;
        std::error_code error;
        const fs::path folder = relative.empty() ? FRoot : FRoot / PathFromUtf8(relative);
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error))
        {
            std::error_code kindError;
            const bool directory = it->is_directory(kindError);
            if (!directory && !it->is_regular_file(kindError))
                continue;
            std::string name = Utf8FromPath(it->path().filename());
            entries.push_back({LowerCase(name), std::move(name), directory});
        }
        std::sort(entries.begin(), entries.end(),
                  [](const TDirEntry& a, const TDirEntry& b)
                  { return a.Lower < b.Lower || (a.Lower == b.Lower && a.Name < b.Name); });
        return FListings.emplace(relative, std::move(entries)).first->second;
    }

    fs::path FRoot;
    mutable std::mutex FLock;
    mutable std::map<std::string, std::vector<TDirEntry>> FListings;
};

class TAssetSource::TArchiveMount : public TAssetSource::TMount
{
public:
    TArchiveMount(std::shared_ptr<const TGobArchive> archive, const std::string& fileName)
        : TMount(mkArchive, fileName), FArchive(std::move(archive))
    {
    }

    std::optional<std::string> Find(const std::string& slashed) const override
    {
        const std::optional<std::size_t> index = FArchive->Find(slashed);
        if (!index)
            return std::nullopt;
        return std::string(FArchive->Entry(*index).Name);
    }

    std::string Read(const std::string& within) const override
    {
        const std::optional<std::size_t> index = FArchive->Find(within);
        if (!index)
            throw EArchiveError(FormatText(kArchiveEntryNotFound, {within}));
        return FArchive->Read(*index);
    }

    // Entries may share their bytes.
    std::string ContentKey(const std::string& within) const override
    {
        const std::optional<std::size_t> index = FArchive->Find(within);
        if (!index)
            return within;
        const TGobEntry entry = FArchive->Entry(*index);
        return std::to_string(entry.Offset) + "+" + std::to_string(entry.Size);
    }

    std::vector<std::string> Candidates(const std::string& slashed) const override
    {
        return {slashed};
    }

    void List(const std::string& slashedFolder,
              std::vector<std::pair<std::string, std::string>>& files) const override
    {
        const std::string prefix = slashedFolder.empty() ? "" : GobKey(slashedFolder) + "/";
        for (std::size_t i = 0; i < FArchive->Count(); ++i)
        {
            const TGobEntry entry = FArchive->Entry(i);
            if (entry.Duplicate || entry.Name.empty())
                continue;
            const std::string key = GobKey(entry.Name);
            if (!key.starts_with(prefix) || key.find('/', prefix.size()) != std::string::npos)
                continue;
            files.emplace_back(key.substr(prefix.size()), std::string(entry.Name));
        }
    }

private:
    std::shared_ptr<const TGobArchive> FArchive;
};

std::string DescribeOrigin(const TAssetOrigin& origin)
{
    if (origin.Kind == mkArchive)
        return origin.MountPath + " (" + origin.Path + ")";
    fs::path path = PathFromUtf8(origin.MountPath) / PathFromUtf8(origin.Path);
    return Utf8FromPath(path.make_preferred());
}

TAssetSource::TAssetSource() = default;
TAssetSource::TAssetSource(TAssetSource&&) noexcept = default;
TAssetSource& TAssetSource::operator=(TAssetSource&&) noexcept = default;
TAssetSource::~TAssetSource() = default;

void TAssetSource::Add(std::unique_ptr<TMount> mount)
{
    const std::string identity = mount->Identity();
    for (const std::unique_ptr<TMount>& m : FMounts)
        if ((m->Kind() == mkArchive) == (mount->Kind() == mkArchive) && m->Identity() == identity)
            return;
    FMounts.push_back(std::move(mount));
}

void TAssetSource::AddFolder(const std::string& folder)
{
    Add(std::make_unique<TFolderMount>(mkFolder, folder));
}

void TAssetSource::AddModelFolder(const std::string& folder)
{
    Add(std::make_unique<TFolderMount>(mkModelFolder, folder));
}

void TAssetSource::AddArchive(const std::string& fileName)
{
    for (const std::unique_ptr<TMount>& m : FMounts)
        if (m->Kind() == mkArchive && m->Identity() == Identity(fileName))
            return;
    AddArchive(TGobArchive::Open(fileName), fileName);
}

void TAssetSource::AddArchive(std::shared_ptr<const TGobArchive> archive,
                              const std::string& fileName)
{
    Add(std::make_unique<TArchiveMount>(std::move(archive), fileName));
}

void TAssetSource::AddArchiveQuietly(const std::string& fileName)
{
    try
    {
        AddArchive(fileName);
    }
    catch (const std::runtime_error& e)
    {
        // A broken archive in the game folder must not keep a model from showing.
        FWarnings.push_back(FormatText(kArchiveSkipped, {fileName, e.what()}));
    }
}

bool LooksLikeGameFolder(const std::string& folder)
{
    std::error_code e;
    for (fs::directory_iterator it(PathFromUtf8(folder), e), end; !e && it != end; it.increment(e))
    {
        const std::string name = LowerCase(Utf8FromPath(it->path().filename()));
        std::error_code kindError;
        if (it->is_directory(kindError))
        {
            if (name == "resource" || name == "episode" || name == "3do" || name == "mat")
                return true;
        }
        else if (name.size() > 4 && (name.ends_with(".gob") || name.ends_with(".goo")))
            return true;
    }
    return false;
}

void TAssetSource::AddGameFolder(const std::string& folder)
{
    const fs::path root = PathFromUtf8(folder);
    std::error_code error;
    if (!fs::is_directory(root, error))
    {
        FWarnings.push_back(FormatText(kGameFolderNotFound, {folder}));
        return;
    }
    // Each folder's files, sorted by lower-case name; the subfolders found ignoring case.
    std::vector<fs::path> folders{root};
    std::vector<std::pair<std::string, fs::path>> rootEntries;
    std::vector<std::vector<std::pair<std::string, fs::path>>> files(1);
    auto readFolder = [](const fs::path& path, std::vector<std::pair<std::string, fs::path>>& out)
    {
        std::error_code e;
        for (fs::directory_iterator it(path, e), end; !e && it != end; it.increment(e))
            out.emplace_back(LowerCase(Utf8FromPath(it->path().filename())), it->path());
        std::sort(out.begin(), out.end());
    };
    readFolder(root, files[0]);
    for (const char* sub : {"resource", "episode"})
        for (const auto& [lower, path] : files[0])
            if (lower == sub && fs::is_directory(path, error))
            {
                folders.push_back(path);
                files.emplace_back();
                readFolder(path, files.back());
                break;
            }
    for (const fs::path& f : folders)
        AddFolder(Utf8FromPath(f));
    for (const auto& list : files)
        for (const auto& [lower, path] : list)
            if ((lower.ends_with(".gob") || lower.ends_with(".goo")) &&
                fs::is_regular_file(path, error))
                AddArchiveQuietly(Utf8FromPath(path));
}

std::vector<TMountInfo> TAssetSource::Mounts() const
{
    std::vector<TMountInfo> mounts;
    for (const std::unique_ptr<TMount>& m : FMounts)
        mounts.push_back({m->Kind(), m->Path()});
    return mounts;
}

std::optional<TAssetOrigin> TAssetSource::Find(std::string_view gamePath) const
{
    const std::string slashed = Slashed(gamePath);
    for (std::size_t i = 0; i < FMounts.size(); ++i)
        if (std::optional<std::string> within = FMounts[i]->Find(slashed))
            return TAssetOrigin{i, FMounts[i]->Kind(), FMounts[i]->Path(), std::move(*within)};
    return std::nullopt;
}

std::string TAssetSource::Read(const TAssetOrigin& origin) const
{
    if (origin.Mount >= FMounts.size())
        throw EListError();
    return FMounts[origin.Mount]->Read(origin.Path);
}

std::string TAssetSource::ContentKey(const TAssetOrigin& origin) const
{
    if (origin.Mount >= FMounts.size())
        throw EListError();
    return std::to_string(origin.Mount) + ":" + FMounts[origin.Mount]->ContentKey(origin.Path);
}

std::optional<TAsset> TAssetSource::Load(std::string_view gamePath) const
{
    std::optional<TAssetOrigin> origin = Find(gamePath);
    if (!origin)
        return std::nullopt;
    std::string bytes = Read(*origin);
    return TAsset{std::move(bytes), std::move(*origin)};
}

std::vector<TAssetOrigin> TAssetSource::Places(std::string_view gamePath) const
{
    const std::string slashed = Slashed(gamePath);
    std::vector<TAssetOrigin> places;
    for (std::size_t i = 0; i < FMounts.size(); ++i)
        for (std::string& candidate : FMounts[i]->Candidates(slashed))
            places.push_back({i, FMounts[i]->Kind(), FMounts[i]->Path(), std::move(candidate)});
    return places;
}

std::vector<TAssetListing> TAssetSource::List(std::string_view folder,
                                              std::string_view pattern) const
{
    std::string slashed = Slashed(folder);
    while (!slashed.empty() && slashed.back() == '/')
        slashed.pop_back();
    const std::string prefix = slashed.empty() ? "" : LowerCase(slashed) + "/";
    const std::string lowerPattern = LowerCase(pattern);
    std::map<std::string, TAssetOrigin> found;
    for (std::size_t i = 0; i < FMounts.size(); ++i)
    {
        std::vector<std::pair<std::string, std::string>> files;
        FMounts[i]->List(slashed, files);
        for (auto& [lower, within] : files)
            if (GlobMatch(lowerPattern, lower))
                found.try_emplace(prefix + lower,
                                  TAssetOrigin{i, FMounts[i]->Kind(), FMounts[i]->Path(), within});
    }
    std::vector<TAssetListing> listing;
    for (auto& [gamePath, origin] : found)
        listing.push_back({gamePath, std::move(origin)});
    return listing;
}

TAssetSource ModelAssetSource(const TModelLocation& model, const std::string& gameFolder)
{
    TAssetSource source;
    if (!model.ArchiveName.empty())
    {
        if (model.Archive)
            source.AddArchive(model.Archive, model.ArchiveName);
        else
            source.AddArchive(model.ArchiveName);
    }
    else if (!model.FileName.empty())
    {
        std::error_code error;
        fs::path file = fs::absolute(PathFromUtf8(model.FileName), error);
        if (error)
            file = PathFromUtf8(model.FileName);
        const fs::path folder = file.lexically_normal().parent_path();
        if (LowerCase(Utf8FromPath(folder.filename())) == "3do")
            source.AddFolder(Utf8FromPath(folder.parent_path()));
        source.AddModelFolder(Utf8FromPath(folder));
    }
    if (!gameFolder.empty())
        source.AddGameFolder(gameFolder);
    return source;
}

TResolvedAsset ResolveAsset(const TAssetSource& source, std::string_view name,
                            const std::vector<std::string_view>& folders)
{
    TResolvedAsset resolved;
    resolved.Name = name;
    for (const std::string_view folder : folders)
    {
        std::string gamePath(folder);
        gamePath += '/';
        gamePath += name;
        if (std::optional<TAssetOrigin> origin = source.Find(gamePath))
        {
            resolved.GamePath = std::move(gamePath);
            resolved.Origin = std::move(origin);
            resolved.LookedIn.clear();
            return resolved;
        }
        for (TAssetOrigin& place : source.Places(gamePath))
            resolved.LookedIn.push_back(std::move(place));
    }
    return resolved;
}

TResolvedAsset ResolveMaterial(const TAssetSource& source, std::string_view name)
{
    return ResolveAsset(source, name, {"3do/mat", "mat"});
}

TResolvedAsset ResolveKey(const TAssetSource& source, std::string_view name)
{
    return ResolveAsset(source, name, {"3do/key"});
}

TResolvedAsset ResolvePuppet(const TAssetSource& source, std::string_view name)
{
    return ResolveAsset(source, name, {"misc/pup"});
}
