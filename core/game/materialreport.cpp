// The materials of a model for the user.
#include "game/materialreport.h"

#include "base/U_String.h"

#include <algorithm>
#include <stdexcept>

TFoundMaterials FindModelMaterials(const std::vector<std::string>& names,
                                   const TModelLocation& location, const std::string& gameFolder,
                                   const std::string& colormap, bool saved)
{
    const TAssetSource source = ModelAssetSource(location, gameFolder);
    TFoundMaterials found;
    found.Warnings = source.Warnings();
    TModelColormap loaded;
    if (!saved || colormap.empty())
        loaded = LoadModelColormap(source, colormap);
    else
    {
        // Deliberate: a colormap saved for other models may not be seen from this one.
        try
        {
            loaded = LoadModelColormap(source, colormap);
        }
        catch (const std::runtime_error& e)
        {
            found.ColormapProblem = e.what();
            found.Warnings.push_back(found.ColormapProblem);
            loaded = LoadModelColormap(source, {});
        }
    }
    found.ColormapOrigin = loaded.Origin;
    found.Warnings.insert(found.Warnings.end(), loaded.Warnings.begin(), loaded.Warnings.end());
    found.Materials = ResolveModelMaterials(names, source, loaded.Colormap);
    return found;
}

std::string MaterialSummary(const TFoundMaterials& found, const std::vector<std::string>& more)
{
    const TModelMaterials& materials = found.Materials;
    const std::size_t count = materials.Looks.size();
    if (count == 0)
        return {};
    std::string text = std::to_string(materials.UsableCount()) + " of " + std::to_string(count) +
                       (count == 1 ? " material found" : " materials found") + " (colormap: " +
                       (found.ColormapOrigin.empty() ? "none" : found.ColormapOrigin) + ")";
    std::vector<std::string> missing;
    for (std::size_t i = 0; i < count; ++i)
    {
        const TMaterialSource& source = materials.Sources[i];
        const std::string name = Latin1ToUtf8(materials.Looks[i].Name);
        if (materials.Looks[i].Kind != TMaterialKind::Missing)
            continue;
        if (source.Origin)
            text += "\nUnusable: " + name + " (" + DescribeOrigin(*source.Origin) +
                    "): " + source.Problem;
        else if (!missing.empty())
            missing.push_back(name);
        else
        {
            missing.push_back(name);
            text += "\nMissing: " + name + ", looked in:";
            // The model's folder stands for several game folders, so a place can come up twice.
            std::vector<std::string> places;
            for (const TAssetOrigin& place : source.LookedIn)
            {
                std::string shown = DescribeOrigin(place);
                if (std::find(places.begin(), places.end(), shown) == places.end())
                    places.push_back(std::move(shown));
            }
            for (const std::string& place : places)
                text += "\n    " + place;
        }
    }
    if (missing.size() > 1)
    {
        text += "\nAlso missing, looked for the same way: ";
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
