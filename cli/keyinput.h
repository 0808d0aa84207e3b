// The keys and puppets a command names (a file, or a game name looked up as the game looks it
// up through the model's asset source), read and checked against the model, and the --game
// option of the commands that find nothing else in the game folder.
#pragma once

#include "game/assets.h"
#include "game/keylist.h"
#include "formats/keyframes.h"
#include "formats/puppet.h"
#include "model/model.h"
#include "options.h"

#include <optional>
#include <string>

inline constexpr const char* kKeyNotFoundFormat = "Key not found: %s";
inline constexpr const char* kPuppetNotFoundFormat = "Puppet not found: %s";
// A reader's message with the file it is about.
inline constexpr const char* kInFileFormat = "%s: %s";

// --game DIR: the game folder, else the one the program saved.
class TGameOption
{
public:
    void Declare(TOptionParser& parser);
    std::string Folder() const;

private:
    std::string FGame;
    bool FGiven = false;
};

// The bytes `argument` names: an existing file, else the game path FOLDER\ARGUMENT found
// through the model's asset source (`folder` "3do/key" or "misc/pup"); none when neither. The
// program's Animation window finds them the same way.
using TNamedFile = TAnimationFile;
inline std::optional<TNamedFile> FindNamedFile(const std::string& argument,
                                               const TAssetSource& source, const char* folder)
{
    return FindAnimationFile(argument, source, folder);
}

// A key a command plays on a model: found as above (else kKeyNotFoundFormat), read, its warnings
// and the warnings of its fit on standard error; a key node beyond the model refuses it.
struct TLoadedKey
{
    TKeyframes Key;
    std::string Title;
};
TLoadedKey LoadKey(const std::string& argument, const TAssetSource& source, const TNodeList& nodes);

// The readers' results; their messages name the file (kInFileFormat).
TKeyframes ReadKeyFile(const TNamedFile& file);
TPuppet ReadPuppetFile(const TNamedFile& file);
