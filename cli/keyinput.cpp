// The keys and puppets a command names.
#include "keyinput.h"

#include "base/U_String.h"
#include "base/platform.h"
#include "game/gamesettings.h"
#include "materialoptions.h"
#include "terminal.h"
#include "model/pose.h"
#include "view/colors.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

void TGameOption::Declare(TOptionParser& parser)
{
    parser.Value("--game DIR",
                 [this](const std::string& v)
                 {
                     FGame = v;
                     FGiven = true;
                     return true;
                 });
}

std::string TGameOption::Folder() const
{
    return FGiven ? FGame : ReadGameSettings(SettingsFileName()).Folder;
}

namespace
{
std::string Title(const std::string& name)
{
    std::string title = name.substr(name.find_last_of("/\\") + 1);
    const std::size_t dot = title.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? title : title.substr(0, dot);
}

void CheckSize(std::uint64_t size, const std::string& where)
{
    if (size > kMaxKeyFileBytes)
        throw EInOutError(FormatText(kFileTooLargeFormat, {where}));
}
} // namespace

std::optional<TNamedFile> FindNamedFile(const std::string& argument, const TAssetSource& source,
                                        const char* folder)
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
        return TNamedFile{std::move(bytes), Title(argument), argument};
    }
    const TResolvedAsset found = ResolveAsset(source, argument, {folder});
    if (!found.Origin)
        return std::nullopt;
    const std::string where = DescribeOrigin(*found.Origin);
    std::string bytes = source.Read(*found.Origin);
    CheckSize(bytes.size(), where);
    return TNamedFile{std::move(bytes), Title(argument), where};
}

TKeyframes ReadKeyFile(const TNamedFile& file)
{
    try
    {
        return ReadKeyframes(file.Bytes);
    }
    catch (const EKeyError& e)
    {
        // Several keys may be given: say which one.
        throw EKeyError(FormatText(kInFileFormat, {file.Where, e.what()}));
    }
}

TPuppet ReadPuppetFile(const TNamedFile& file)
{
    try
    {
        return ReadPuppet(file.Bytes);
    }
    catch (const EPuppetError& e)
    {
        throw EPuppetError(FormatText(kInFileFormat, {file.Where, e.what()}));
    }
}

TLoadedKey LoadKey(const std::string& argument, const TAssetSource& source, const TNodeList& nodes)
{
    std::optional<TNamedFile> file = FindNamedFile(argument, source, "3do/key");
    if (!file)
        throw EInOutError(FormatText(kKeyNotFoundFormat, {argument}));
    TLoadedKey loaded{ReadKeyFile(*file), file->Title};
    for (const std::string& warning : loaded.Key.Warnings)
        PrintWarning(FormatText(kInFileFormat, {file->Where, warning}));
    const std::vector<TKeyFinding> findings = KeyFit(loaded.Key, nodes);
    for (const TKeyFinding& f : findings)
        if (f.Kind == kfNodeBeyondModel)
            throw EKeyError(FormatText(kInFileFormat, {file->Where, f.Text}));
    for (const TKeyFinding& f : findings)
        PrintWarning(FormatText(kInFileFormat, {file->Where, f.Text}));
    return loaded;
}
