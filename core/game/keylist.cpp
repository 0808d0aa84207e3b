// The animations a model can play.
#include "game/keylist.h"

#include "base/U_String.h"
#include "base/errors.h"
#include "base/platform.h"
#include "model/pose.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace
{
inline constexpr const char* kFileUnreadableFormat = "Cannot read %s";

std::string Title(const std::string& name)
{
    std::string title = name.substr(name.find_last_of("/\\") + 1);
    const std::size_t dot = title.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? title : title.substr(0, dot);
}

void CheckSize(std::uint64_t size, const std::string& where)
{
    if (size > kMaxAnimationFileBytes)
        throw EInOutError(FormatText(kAnimationFileTooLargeFormat, {where}));
}

// The first finding that keeps the key from playing, if any.
const TKeyFinding* Misfit(const std::vector<TKeyFinding>& findings)
{
    for (const TKeyFinding& f : findings)
        if (f.Kind != kfJointsDiffer)
            return &f;
    return nullptr;
}
} // namespace

std::vector<TKeyListing> FittingKeys(const TAssetSource& source, const TNodeList& nodes,
                                     std::vector<std::string>* skipped)
{
    std::vector<TKeyListing> keys;
    for (const TAssetListing& listing : source.List("3do/key", "*.key"))
    {
        try
        {
            const TKeyframes key = ReadKeyframes(source.Read(listing.Origin));
            if (!KeyFits(KeyFit(key, nodes)))
                continue;
            const std::string& path = listing.GamePath;
            keys.push_back({path.substr(path.find_last_of('/') + 1), listing.Origin, key.Frames,
                            key.Fps, key.Nodes.size()});
        }
        catch (const std::runtime_error& e)
        {
            if (skipped)
                skipped->push_back(DescribeOrigin(listing.Origin) + ": " + e.what());
        }
    }
    return keys;
}

TKeyState KeyStateFor(const TAssetSource& source, const std::string& name, const TNodeList& nodes)
{
    TKeyState state;
    const TResolvedAsset found = ResolveKey(source, name);
    state.Origin = found.Origin;
    if (!found.Origin)
    {
        state.Reason = kAnimationKeyMissing;
        return state;
    }
    try
    {
        const std::vector<TKeyFinding> findings =
            KeyFit(ReadKeyframes(source.Read(*found.Origin)), nodes);
        if (const TKeyFinding* misfit = Misfit(findings))
            state.Reason = FormatText(kAnimationKeyMisfitFormat, {misfit->Text});
        else
            state.Plays = true;
    }
    catch (const std::runtime_error& e)
    {
        state.Reason = FormatText(kAnimationKeyUnreadableFormat, {e.what()});
    }
    return state;
}

std::optional<TAnimationFile> FindAnimationFile(const std::string& argument,
                                                const TAssetSource& source, const char* folder)
{
    std::error_code error;
    const std::filesystem::path path = PathFromUtf8(argument);
    if (std::filesystem::is_regular_file(path, error))
    {
        CheckSize(std::filesystem::file_size(path, error), argument);
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof())
            throw EInOutError(FormatText(kFileUnreadableFormat, {argument}));
        return TAnimationFile{std::move(bytes), Title(argument), argument};
    }
    const TResolvedAsset found = ResolveAsset(source, argument, {folder});
    if (!found.Origin)
        return std::nullopt;
    const std::string where = DescribeOrigin(*found.Origin);
    std::string bytes = source.Read(*found.Origin);
    CheckSize(bytes.size(), where);
    return TAnimationFile{std::move(bytes), Title(argument), where};
}
