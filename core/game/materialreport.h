// Added: a model's materials as the program reports them to the user: found once per model and
// settings (a saved colormap giving way to the default), and summed up in a few lines that say
// where a missing one was looked for.
#pragma once

#include "game/assets.h"
#include "game/modelmaterials.h"

#include <string>
#include <vector>

struct TFoundMaterials
{
    TModelMaterials Materials;
    std::string ColormapOrigin;        // empty: the grey ramp
    std::vector<std::string> Warnings; // the asset source's, then the colormap's
    std::string ColormapProblem;       // why a saved colormap gave way to the default
};

// The colormap (LoadModelColormap(source, colormap); empty: the default) and every material of
// `names`, through ModelAssetSource(location, gameFolder). A chosen colormap that cannot be used
// throws as LoadModelColormap does; a `saved` one instead gives way to the default, its message
// in ColormapProblem and the first of the colormap's warnings (after the asset source's).
TFoundMaterials FindModelMaterials(const std::vector<std::string>& names,
                                   const TModelLocation& location, const std::string& gameFolder,
                                   const std::string& colormap, bool saved);

// Added: the colormap FindModelMaterials colours a model's materials with, for a `colormap`
// saved in the settings (empty: the default); a grey ramp when none can be used.
TColormap ColormapInUse(const TModelLocation& location, const std::string& gameFolder,
                        const std::string& colormap);

// The places a missing material was looked in, each file once, in the order first looked in:
// the model's folder stands for several game folders, so a file can come up more than once.
std::vector<TAssetOrigin> PlacesLookedIn(const TMaterialSource& source);

// In UTF-8, one item per line: "N of M materials found (colormap: ORIGIN)", each unusable one
// with where it is and why, the first missing one with every place it was looked for, the other
// missing ones by name, the texture budget's warning, then `found`'s warnings and `more` (say,
// the faces'). Empty for a model without materials.
std::string MaterialSummary(const TFoundMaterials& found, const std::vector<std::string>& more);
