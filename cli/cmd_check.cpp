// quillmark-cli check: will the model load in the game? One line per thing the game would refuse
// or mishandle, errors first, then "N errors, M warnings"; or, with --json, the same as one JSON
// object. Materials are looked for as the preview and render look for them; each --key is checked
// against the model as the game would play it.
#include "commands.h"
#include "keyinput.h"
#include "materialoptions.h"
#include "modelinput.h"
#include "terminal.h"

#include "base/U_String.h"
#include "base/errors.h"
#include "game/gamecheck.h"
#include "game/gamesettings.h"
#include "model/loader.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace
{
using json = nlohmann::ordered_json;

json FindingJson(const TGameFinding& finding)
{
    json j;
    j["code"] = finding.Code;
    j["message"] = finding.Message;
    const std::pair<const char*, int> places[] = {{"geoset", finding.GeoSet},
                                                  {"mesh", finding.Mesh},
                                                  {"face", finding.Face},
                                                  {"node", finding.Node}};
    for (const auto& [name, value] : places)
        if (value >= 0)
            j[name] = value;
    return j;
}

class TCheckCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.Model("MODEL.3do", FInput);
        FMaterialOptions.DeclareGame(parser);
        parser.Value("--key KEY",
                     [this](const std::string& v)
                     {
                         FKeys.push_back(v);
                         return true;
                     });
        parser.Flag("--json", FJson);
    }

    // Exit 1 when the game would refuse the model (an error), 0 for warnings alone.
    int Run(const TSharedOptions& shared) override
    {
        std::vector<TGameFinding> findings;
        std::vector<std::string> warnings;
        TModelLocation location;
        TLoadedModel loaded;
        try
        {
            location = LocateModel(FInput, shared);
            TSilentProgress progress;
            loaded = ParseModel(location, progress);
        }
        catch (const std::exception& e)
        {
            findings = {LoadFailure(ErrorText(e))};
        }
        if (loaded.Model)
            findings = CheckModelWithGameFolder(*loaded.Model, *loaded.Nodes, location,
                                                FMaterialOptions.Settings().Folder, &warnings);
        if (loaded.Model && !FKeys.empty())
            CheckKeys(location, *loaded.Nodes, findings);
        for (const std::string& warning : warnings)
            PrintWarning(warning);
        if (FJson)
        {
            json j = {{"errors", json::array()}, {"warnings", json::array()}};
            for (const TGameFinding& finding : findings)
                j[finding.Severity == fsError ? "errors" : "warnings"].push_back(
                    FindingJson(finding));
            std::cout << j.dump(-1, ' ', false, json::error_handler_t::replace) << "\n";
        }
        else
        {
            for (const TGameFinding& finding : findings)
                std::cout << ShownMessage(FindingLine(finding)) << "\n";
            std::cout << FindingsSummary(findings) << "\n";
        }
        return ErrorCount(findings) > 0 ? 1 : 0;
    }

private:
    // A key that cannot be found or read ends the check as any other command ends.
    void CheckKeys(const TModelLocation& location, const TNodeList& nodes,
                   std::vector<TGameFinding>& findings) const
    {
        const TAssetSource source =
            ModelAssetSource(location, FMaterialOptions.Settings().Folder);
        for (const std::string& argument : FKeys)
        {
            const std::optional<TNamedFile> file = FindNamedFile(argument, source, "3do/key");
            if (!file)
                throw EInOutError(FormatText(kKeyNotFoundFormat, {argument}));
            const TKeyframes key = ReadKeyFile(*file);
            for (const std::string& warning : key.Warnings)
                PrintWarning(FormatText(kInFileFormat, {file->Where, warning}));
            CheckKeyForGame(key, argument, nodes, findings);
        }
    }

    std::vector<std::string> FKeys;
    std::string FInput;
    TMaterialOptions FMaterialOptions;
    bool FJson = false;
};

const TCommandRegistrar<TCheckCommand> kCheck("check");
} // namespace
