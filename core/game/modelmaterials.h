// A model's materials and colormap, found through the asset source and decoded for drawing and
// export; with where each was found, or every place a missing one was looked for.
#pragma once

#include "game/assets.h"
#include "formats/colormap.h"
#include "game/materiallook.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kDefaultColormapPath = "misc/cmp/dflt.cmp";
inline constexpr const char* kColormapFolder = "misc/cmp";
inline constexpr const char* kColormapNotFound = "Colormap not found: %s";
// Warnings: the model is still shown.
inline constexpr const char* kNoColormap =
    "No colormap found (looked for misc/cmp/dflt.cmp): colours are shown as a grey ramp";
inline constexpr const char* kColormapUnusable = "Colormap %s: %s";
inline constexpr const char* kColormapUnreadable =
    "Colormap %s cannot be read (%s): colours are shown as a grey ramp";
inline constexpr const char* kMaterialNotFound = "Material not found: %s";
inline constexpr const char* kMaterialUnusable = "Material %s: %s";
inline constexpr const char* kTextureBudgetSpent =
    "Textures over 256 MB: %s and the textures after it are shown and exported as the "
    "placeholder";

// Bytes of decoded textures one model's materials may hold. Real models need a few MB; a list
// naming many large textures would otherwise take memory without end.
inline constexpr std::uint64_t kTextureBudget = 256ull << 20;

struct TModelColormap
{
    TColormap Colormap = TColormap::GreyRamp();
    std::string Origin; // where it came from, for the user; empty for the grey ramp
    std::vector<std::string> Warnings;
};

// With an empty `choice`, misc/cmp/dflt.cmp from the source, or a grey ramp with one warning
// when it is missing or cannot be read (kNoColormap, kColormapUnreadable naming it and why).
// Otherwise the chosen one: a file on disk, else a game path (a bare name is looked for in
// misc/cmp/). Throws EInOutError(kColormapNotFound) when a chosen one is not found and
// EColormapError when it cannot be read: a choice is never silently replaced.
TModelColormap LoadModelColormap(const TAssetSource& source, const std::string& choice);

// Where one material came from, or why it is missing.
struct TMaterialSource
{
    std::optional<TAssetOrigin> Origin; // found here
    std::vector<TAssetOrigin> LookedIn; // not found: every place looked in
    std::string Problem;                // found but unusable: the reader's message
    int CelCount = 0;
    std::vector<std::string> Warnings; // the reader's, for a usable one
};

// One entry per name of the model's material list, in order.
struct TModelMaterials
{
    std::vector<TMaterialLook> Looks;
    std::vector<TMaterialSource> Sources;

    std::string BudgetWarning; // kTextureBudgetSpent when textures were left undecoded

    int UsableCount() const;
    // One warning per missing or unusable material (kMaterialNotFound, kMaterialUnusable), then
    // the budget's.
    std::vector<std::string> Warnings() const;
};

// Finds each material as 3do/mat/NAME, then mat/NAME, and decodes cel 0 through `colormap`.
// A material file is read and decoded once however many names reach it (the same file, or
// archive entries over the same bytes): their looks share its texels. Once decoding a texture
// would take the decoded textures past `textureBudget` bytes, no further texture is decoded
// (its look keeps its size but no texels) and BudgetWarning says so. A missing or broken
// material is left Missing; nothing here throws for the game's files.
TModelMaterials ResolveModelMaterials(const std::vector<std::string>& names,
                                      const TAssetSource& source, const TColormap& colormap,
                                      std::uint64_t textureBudget = kTextureBudget);
