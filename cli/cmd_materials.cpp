// quillmark-cli materials: where each material of a model's list is found and what it is, as
// one JSON object; the answer to "why is my texture missing?". Materials are looked for as the
// preview and render look for them: beside the model, then in the game folder (--game, else the
// one the program saved).
#include "commands.h"
#include "materialoptions.h"
#include "modelinput.h"

#include "base/U_String.h"
#include "view/colors.h"
#include "game/gamesettings.h"
#include "model/loader.h"
#include "model/model.h"
#include "game/materialreport.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <string>
#include <vector>

namespace
{
using json = nlohmann::ordered_json;

// A place in a mount. Paths within a mount are the game's (bytes from the model or an archive,
// shown as Latin-1) except a file found on disk, whose name is already UTF-8.
json PlaceJson(const TAssetOrigin& origin, bool onDisk)
{
    return {{"mount", origin.MountPath},
            {"path", onDisk ? origin.Path : Latin1ToUtf8(origin.Path)}};
}

json MaterialJson(std::size_t index, const TMaterialLook& look, const TMaterialSource& source)
{
    json j;
    j["index"] = index;
    j["name"] = Latin1ToUtf8(look.Name);
    j["found"] =
        source.Origin ? PlaceJson(*source.Origin, source.Origin->Kind != mkArchive) : json(nullptr);
    json lookedIn = json::array();
    for (const TAssetOrigin& place : PlacesLookedIn(source))
        lookedIn.push_back(PlaceJson(place, false));
    j["looked_in"] = std::move(lookedIn);
    const bool usable = look.Kind != TMaterialKind::Missing;
    j["kind"] = look.Kind == TMaterialKind::Texture  ? json("texture")
                : look.Kind == TMaterialKind::Colour ? json("colour")
                                                     : json(nullptr);
    j["problem"] = source.Problem.empty() ? json(nullptr) : json(Latin1ToUtf8(source.Problem));
    j["cels"] = usable ? json(source.CelCount) : json(nullptr);
    j["size"] = look.Kind == TMaterialKind::Texture ? json::array({look.Width, look.Height})
                                                    : json(nullptr);
    json warnings = json::array();
    for (const std::string& warning : source.Warnings)
        warnings.push_back(Latin1ToUtf8(warning));
    j["warnings"] = std::move(warnings);
    return j;
}

class TMaterialsCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.Model("MODEL.3do", FInput);
        FMaterialOptions.Declare(parser, false);
    }

    // Materials that are missing or broken are part of the answer: exit 0.
    int Run(const TSharedOptions& shared) override
    {
        const TModelLocation location = LocateModel(FInput, shared);
        TSilentProgress progress;
        const TLoadedModel loaded = ParseModel(location, progress);

        const TGameSettings settings = FMaterialOptions.Settings();
        const TFoundMaterials found =
            FindModelMaterials(loaded.Model->Materials, location, settings.Folder,
                               settings.Colormap, !FMaterialOptions.ColormapGiven());
        const TModelMaterials& materials = found.Materials;

        json j;
        j["colormap"] = found.ColormapOrigin.empty() ? json(nullptr) : json(found.ColormapOrigin);
        j["usable"] = materials.UsableCount();
        json list = json::array();
        for (std::size_t i = 0; i < materials.Looks.size(); ++i)
            list.push_back(MaterialJson(i, materials.Looks[i], materials.Sources[i]));
        j["materials"] = std::move(list);
        j["warnings"] = found.Warnings;
        if (!materials.BudgetWarning.empty())
            j["warnings"].push_back(Latin1ToUtf8(materials.BudgetWarning));
        // Names on disk that are not UTF-8 must not stop the report.
        std::cout << j.dump(-1, ' ', false, json::error_handler_t::replace) << "\n";
        return 0;
    }

private:
    std::string FInput;
    TMaterialOptions FMaterialOptions;
};

const TCommandRegistrar<TMaterialsCommand> kMaterials("materials");
} // namespace
