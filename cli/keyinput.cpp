// The keys and puppets a command names.
#include "keyinput.h"

#include "base/U_String.h"
#include "base/platform.h"
#include "game/gamesettings.h"
#include "materialoptions.h"
#include "terminal.h"
#include "model/pose.h"
#include "view/colors.h"

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
