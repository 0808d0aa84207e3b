// The options that say where a command finds a model's materials (--game, --colormap,
// --no-textures), shared by the commands that draw or export them, and the loading they steer.
#pragma once

#include "game/assets.h"
#include "game/facelooks.h"
#include "game/gamesettings.h"
#include "model/model.h"
#include "options.h"

#include <optional>
#include <string>

class TMaterialOptions
{
public:
    // --no-textures only where the command draws or exports.
    void Declare(TOptionParser& parser, bool textureSwitch = true);
    // Only --game, where the colormap plays no part.
    void DeclareGame(TOptionParser& parser);

    // The saved game settings with --game and --colormap put over them.
    TGameSettings Settings() const;
    bool ColormapGiven() const { return FColormapGiven; }

    // The model's materials, found beside it and in the game folder (--game, else the one the
    // program saved) and decoded with the colormap (--colormap, else the saved one), and the
    // looks of `geoSet` when given; nothing at all with --no-textures. Each warning goes to
    // standard error. Throws as LoadModelLooks does.
    TModelLooks Load(const T3DO& model, std::optional<int> geoSet,
                     const TModelLocation& location) const;

private:
    std::string FGame, FColormap;
    bool FGameGiven = false, FColormapGiven = false, FNoTextures = false;
};
