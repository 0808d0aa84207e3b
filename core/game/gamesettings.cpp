// The game's files' settings.
#include "game/gamesettings.h"

#include "formats/profile.h"

TGameSettings ReadGameSettings(const std::string& fileName)
{
    TGameSettings settings;
    if (auto folder = ReadPrivateProfileString(kGameSection, kGameFolderKey, fileName))
        settings.Folder = std::move(*folder);
    if (auto colormap = ReadPrivateProfileString(kGameSection, kGameColormapKey, fileName))
        settings.Colormap = std::move(*colormap);
    if (auto textures = ReadPrivateProfileString(kGameSection, kGameTexturesKey, fileName))
        settings.Textures = *textures != "0";
    return settings;
}
