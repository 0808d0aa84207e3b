// quillmark-cli extract: writes entries of a GOB or GOO archive below a folder, keeping their
// folders. Nothing is ever written outside that folder, and no file is replaced unless asked.
#include "commands.h"
#include "entrynames.h"
#include "terminal.h"

#include "base/errors.h"
#include "formats/gob.h"
#include "base/platform.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>
#include <unordered_map>

namespace
{
namespace fs = std::filesystem;

constexpr const char* kFileExists = "Not extracted: %s (the file exists; --force replaces it)";
constexpr const char* kThroughLink =
    "Not extracted: %s (a link in its path could lead outside the target folder)";
constexpr const char* kFolderBlocked = "Not extracted: %s (a file stands where a folder would be)";
constexpr const char* kFolderFailed = "Not extracted: %s (a folder cannot be created)";
constexpr const char* kFolderStands = "Not extracted: %s (a folder stands where the file would go)";
constexpr const char* kNotRegularFile =
    "Not extracted: %s (a pipe, socket or device stands where the file would go)";
constexpr const char* kWriteFailed = "Not extracted: %s (I/O error %s)";
constexpr const char* kTargetFailed = "The target folder cannot be created: %s";

// One entry that is not written, with the text the user reads.
class ESkipped : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The target folder's tree as far as extraction has seen it. Names on disk are matched
// case-insensitively, as the game matches them: "3DO\A.3DO" goes into an existing "3do"
// folder, and an existing "a.3do" counts as that file, on every system alike.
class TTargetTree
{
public:
    explicit TTargetTree(fs::path root) : FRoot(std::move(root)) {}

    // Creates the folders of `relative` ('/'-separated) and gives the file's path; an existing
    // file of that name (in any case) is `exists`. Throws ESkipped.
    fs::path Prepare(const std::string& relative, const std::string& shown, bool& exists)
    {
        fs::path at = FRoot;
        std::size_t start = 0;
        for (;;)
        {
            const std::size_t slash = relative.find('/', start);
            const bool last = slash == std::string::npos;
            const std::string name =
                relative.substr(start, last ? std::string::npos : slash - start);
            const std::optional<std::string> onDisk = Existing(at, name);
            fs::path next = at / PathFromUtf8(onDisk ? *onDisk : name);
            if (onDisk && IsLink(Utf8FromPath(next)))
                throw ESkipped(FormatText(kThroughLink, {shown}));
            if (last)
            {
                exists = onDisk.has_value();
                return next;
            }
            std::error_code error;
            if (!onDisk)
            {
                if (!fs::create_directory(next, error) && error)
                    throw ESkipped(FormatText(kFolderFailed, {shown}));
                Listing(at).emplace(GobKey(name), name);
            }
            else if (!fs::is_directory(next, error))
                throw ESkipped(FormatText(kFolderBlocked, {shown}));
            at = std::move(next);
            start = slash + 1;
        }
    }

    void Added(const fs::path& folder, const std::string& name)
    {
        Listing(folder).emplace(GobKey(name), name);
    }

private:
    using TListing = std::unordered_map<std::string, std::string>; // key -> name on disk

    std::optional<std::string> Existing(const fs::path& folder, const std::string& name)
    {
        const TListing& listing = Listing(folder);
        const auto found = listing.find(GobKey(name));
        if (found == listing.end())
            return std::nullopt;
        return found->second;
    }

    // Read once per folder; what extraction adds is noted as it goes.
    TListing& Listing(const fs::path& folder)
    {
        const std::string key = Utf8FromPath(folder);
        const auto known = FListings.find(key);
        if (known != FListings.end())
            return known->second;
        TListing& listing = FListings[key];
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error))
        {
            const std::string name = Utf8FromPath(it->path().filename());
            listing.emplace(GobKey(name), name);
        }
        return listing;
    }

    fs::path FRoot;
    std::map<std::string, TListing> FListings;
};

// Why nothing is written at `file` when something that is not a regular file stands there;
// else nothing.
std::optional<std::string> NotAFile(const std::string& file, const std::string& shown)
{
    switch (PathKind(file))
    {
    case TPathKind::pkFolder:
        return FormatText(kFolderStands, {shown});
    case TPathKind::pkOther:
        return FormatText(kNotRegularFile, {shown});
    default:
        return std::nullopt;
    }
}

class TExtractCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.File("ARCHIVE", FArchive);
        parser.Files("ENTRY", FEntries);
        parser.RequiredText("--to DIR", FTarget);
        parser.Flag("--force", FForce);
    }

    // Every problem with one entry is reported and the rest are still written; exit 1 at the
    // end when any was not.
    int Run(const TSharedOptions&) override
    {
        const std::unique_ptr<TGobArchive> archive = TGobArchive::Open(FArchive);
        for (const std::string& warning : archive->Warnings())
            PrintWarning(warning);
        bool failed = false;
        const std::vector<std::size_t> chosen = Chosen(*archive, failed);

        const fs::path root = PathFromUtf8(FTarget);
        std::error_code error;
        fs::create_directories(root, error);
        if (!fs::is_directory(root, error))
            throw EInOutError(FormatText(kTargetFailed, {FTarget}));
        TTargetTree tree(root);
        for (const std::size_t index : chosen)
        {
            try
            {
                Extract(*archive, index, tree);
            }
            catch (const std::exception& e)
            {
                PrintError(ErrorText(e));
                failed = true;
            }
        }
        return failed ? 1 : 0;
    }

private:
    // The entries named, each once, in the order named; else every entry but later duplicates.
    std::vector<std::size_t> Chosen(const TGobArchive& archive, bool& failed) const
    {
        std::vector<std::size_t> chosen;
        if (FEntries.empty())
        {
            for (std::size_t i = 0; i < archive.Count(); ++i)
                if (!archive.Entry(i).Duplicate)
                    chosen.push_back(i);
            return chosen;
        }
        std::set<std::size_t> seen;
        for (const std::string& name : FEntries)
        {
            try
            {
                const std::size_t index = MatchEntry(archive, name);
                if (seen.insert(index).second)
                    chosen.push_back(index);
            }
            catch (const EArchiveError& e)
            {
                PrintError(e.what());
                failed = true;
            }
        }
        return chosen;
    }

    void Extract(const TGobArchive& archive, std::size_t index, TTargetTree& tree) const
    {
        const TGobEntry entry = archive.Entry(index);
        // A broken entry is reported as broken (an empty name too) before its name is judged.
        const std::string bytes = archive.Read(index);
        const std::string relative = Latin1ToUtf8(ExtractionPath(entry.Name));
        const std::string shown = ShownName(entry.Name);
        bool exists = false;
        const fs::path file = tree.Prepare(relative, shown, exists);
        const std::string fileName = Utf8FromPath(file);
        // Added: only a regular file is ever replaced; a pipe or device is never even opened,
        // so extraction cannot hang on one or write into one.
        if (exists)
        {
            if (std::optional<std::string> why = NotAFile(fileName, shown))
                throw ESkipped(*why);
            if (!FForce)
                throw ESkipped(FormatText(kFileExists, {shown}));
        }
        TReplacingFile out(
            fileName,
            [&](int error)
            {
                // Something may have come to stand there since it was looked at.
                std::optional<std::string> why = NotAFile(fileName, shown);
                throw ESkipped(why ? *why
                                   : FormatText(kWriteFailed, {shown, std::to_string(error)}));
            },
            TSpecialFiles::sfRefuse);
        out.Write(bytes);
        out.Commit();
        tree.Added(file.parent_path(), Utf8FromPath(file.filename()));
    }

    std::string FArchive, FTarget;
    std::vector<std::string> FEntries;
    bool FForce = false;
};

const TCommandRegistrar<TExtractCommand> kExtract("extract");
} // namespace
