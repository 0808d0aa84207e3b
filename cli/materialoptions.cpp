// Where the commands find a model's materials.
#include "materialoptions.h"
#include "terminal.h"

#include "game/gamesettings.h"
#include "view/colors.h"


void TMaterialOptions::Declare(TOptionParser& parser, bool textureSwitch)
{
    DeclareGame(parser);
    parser.Value("--colormap NAME|FILE",
                 [this](const std::string& v)
                 {
                     FColormap = v;
                     FColormapGiven = true;
                     return true;
                 });
    if (textureSwitch)
        parser.Flag("--no-textures", FNoTextures);
}

void TMaterialOptions::DeclareGame(TOptionParser& parser)
{
    parser.Value("--game DIR",
                 [this](const std::string& v)
                 {
                     FGame = v;
                     FGameGiven = true;
                     return true;
                 });
}

TGameSettings TMaterialOptions::Settings() const
{
    TGameSettings settings = ReadGameSettings(SettingsFileName());
    if (FGameGiven)
        settings.Folder = FGame;
    if (FColormapGiven)
        settings.Colormap = FColormap;
    return settings;
}

TModelLooks TMaterialOptions::Load(const T3DO& model, std::optional<int> geoSet,
                                   const TModelLocation& location) const
{
    if (FNoTextures)
        return {};
    const TGameSettings settings = Settings();
    TModelLooks found = LoadModelLooks(model, geoSet, location, settings.Folder,
                                       settings.Colormap, !FColormapGiven);
    for (const std::string& warning : found.Warnings())
        PrintWarning(warning);
    return found;
}
