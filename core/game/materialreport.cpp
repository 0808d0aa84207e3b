// The materials of a model for the user.
#include "game/materialreport.h"

#include "base/U_String.h"

#include <algorithm>
#include <stdexcept>

namespace
{
// The summary's lines; the %s take the counts and names in order.
constexpr const char* kFoundOne = "%s of %s material found (colormap: %s)";
constexpr const char* kFoundMany = "%s of %s materials found (colormap: %s)";
constexpr const char* kNoColormapShown = "none";
constexpr const char* kUnusable = "\nUnusable: %s (%s): %s";
constexpr const char* kMissing = "\nMissing: %s, looked in:";
constexpr const char* kAlsoMissing = "\nAlso missing, looked for the same way: ";
} // namespace

namespace
{
TModelColormap LoadColormap(const TAssetSource& source, const std::string& colormap, bool saved,
                            std::string& problem)
{
    if (!saved || colormap.empty())
        return LoadModelColormap(source, colormap);
    // Deliberate: a colormap saved for other models may not be seen from this one.
    try
    {
        return LoadModelColormap(source, colormap);
    }
    catch (const std::runtime_error& e)
    {
        problem = e.what();
    }
    return LoadModelColormap(source, {});
}
} // namespace

TColormap ColormapInUse(const TModelLocation& location, const std::string& gameFolder,
                        const std::string& colormap)
{
    std::string problem;
    return LoadColormap(ModelAssetSource(location, gameFolder), colormap, true, problem).Colormap;
}

TFoundMaterials FindModelMaterials(const std::vector<std::string>& names,
                                   const TModelLocation& location, const std::string& gameFolder,
                                   const std::string& colormap, bool saved)
{
    const TAssetSource source = ModelAssetSource(location, gameFolder);
    TFoundMaterials found;
    found.Warnings = source.Warnings();
    const TModelColormap loaded = LoadColormap(source, colormap, saved, found.ColormapProblem);
    if (!found.ColormapProblem.empty())
        found.Warnings.push_back(found.ColormapProblem);
    found.ColormapOrigin = loaded.Origin;
    found.Warnings.insert(found.Warnings.end(), loaded.Warnings.begin(), loaded.Warnings.end());
    found.Materials = ResolveModelMaterials(names, source, loaded.Colormap);
    return found;
}

std::vector<TAssetOrigin> PlacesLookedIn(const TMaterialSource& source)
{
    std::vector<TAssetOrigin> places;
    std::vector<std::string> shown;
    for (const TAssetOrigin& place : source.LookedIn)
    {
        std::string file = DescribeOrigin(place);
        if (std::find(shown.begin(), shown.end(), file) != shown.end())
            continue;
        shown.push_back(std::move(file));
        places.push_back(place);
    }
    return places;
}

std::string MaterialSummary(const TFoundMaterials& found, const std::vector<std::string>& more)
{
    const TModelMaterials& materials = found.Materials;
    const std::size_t count = materials.Looks.size();
    if (count == 0)
        return {};
    std::string text = FormatText(
        count == 1 ? kFoundOne : kFoundMany,
        {std::to_string(materials.UsableCount()), std::to_string(count),
         found.ColormapOrigin.empty() ? std::string(kNoColormapShown) : found.ColormapOrigin});
    std::vector<std::string> missing;
    for (std::size_t i = 0; i < count; ++i)
    {
        const TMaterialSource& source = materials.Sources[i];
        const std::string name = Latin1ToUtf8(materials.Looks[i].Name);
        if (materials.Looks[i].Kind != TMaterialKind::Missing)
            continue;
        if (source.Origin)
            text += FormatText(kUnusable, {name, DescribeOrigin(*source.Origin), source.Problem});
        else if (!missing.empty())
            missing.push_back(name);
        else
        {
            missing.push_back(name);
            text += FormatText(kMissing, {name});
            for (const TAssetOrigin& place : PlacesLookedIn(source))
                text += "\n    " + DescribeOrigin(place);
        }
    }
    if (missing.size() > 1)
    {
        text += kAlsoMissing;
        for (std::size_t i = 1; i < missing.size(); ++i)
            text += (i > 1 ? ", " : "") + missing[i];
    }
    if (!materials.BudgetWarning.empty())
        text += "\n" + Latin1ToUtf8(materials.BudgetWarning);
    for (const auto* list : {&found.Warnings, &more})
        for (const std::string& warning : *list)
            text += "\n" + warning;
    return text;
}
