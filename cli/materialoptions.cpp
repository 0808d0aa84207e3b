// Where the commands find a model's materials.
#include "materialoptions.h"

#include "gamesettings.h"
#include "colors.h"

#include <cstdio>

void TMaterialOptions::Declare(TOptionParser& parser)
{
    parser.Value("--game DIR",
                 [this](const std::string& v)
                 {
                     FGame = v;
                     FGameGiven = true;
                     return true;
                 });
    parser.Value("--colormap NAME|FILE",
                 [this](const std::string& v)
                 {
                     FColormap = v;
                     FColormapGiven = true;
                     return true;
                 });
    parser.Flag("--no-textures", FNoTextures);
}

TModelLooks TMaterialOptions::Load(const T3DO& model, std::optional<int> geoSet,
                                   const TModelLocation& location) const
{
    if (FNoTextures)
        return {};
    TGameSettings settings = ReadGameSettings(SettingsFileName());
    if (FGameGiven)
        settings.Folder = FGame;
    TModelLooks found = FColormapGiven
                            ? LoadModelLooks(model, geoSet, location, settings.Folder, FColormap)
                            : LoadSavedModelLooks(model, geoSet, location, settings);
    for (const std::string& warning : found.Warnings)
        PrintWarning(warning);
    return found;
}

void PrintWarning(const std::string& text)
{
    std::fprintf(stderr, "warning: %s\n", text.c_str());
}
