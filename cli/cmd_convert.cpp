// quillmark-cli convert: writes one geoset of a model as the preview's .X file or, by the output's
// extension, as glTF 2.0 (.glb or .gltf) with its hierarchy and materials. Added: the glTF
// containers and their material options, and keys as glTF animations.
#include "commands.h"
#include "keyinput.h"
#include "materialoptions.h"
#include "modelinput.h"
#include "terminal.h"

#include "base/U_String.h"
#include "formats/gltfexport.h"
#include "model/loader.h"
#include "model/model.h"
#include "formats/xexport.h"

#include <optional>
#include <string>
#include <vector>

namespace
{
constexpr const char* kKeyNeedsGltf =
    "--key needs OUT.glb or OUT.gltf: a .X file holds no animation";

class TConvertCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.Model("MODEL.3do", FModel);
        parser.File("OUT.x|OUT.glb|OUT.gltf", FOutput);
        parser.Whole("--geoset N", FGeoSet, 0, kMaxGeoSet);
        FMaterials.Declare(parser);
        parser.Value("--key KEY",
                     [this](const std::string& v)
                     {
                         FKeys.push_back(v);
                         return true;
                     });
    }

    int Run(const TSharedOptions& shared) override
    {
        if (!FKeys.empty() && !GltfContainerForName(FOutput))
            throw EUsage(kKeyNeedsGltf);
        TSilentProgress progress;
        const TModelLocation location = LocateModel(FModel, shared);
        const TLoadedModel loaded = ParseModel(location, progress);
        // Deliberate: every other name is the .X file, as it always was.
        const std::optional<TGltfContainer> container = GltfContainerForName(FOutput);
        if (!container)
        {
            WriteXFile(FOutput, *loaded.Model, *loaded.Nodes, FGeoSet);
            return 0;
        }
        loaded.Model->Get(FGeoSet); // a geoset the model lacks ends it before materials are read
        // The looks of the materials do not depend on the geoset; the faces' are the writer's.
        const TModelLooks looks = FMaterials.Load(*loaded.Model, std::nullopt, location);
        // Added: each key one animation, named after its file.
        std::vector<TLoadedKey> keys;
        if (!FKeys.empty())
        {
            const TAssetSource source = ModelAssetSource(location, FMaterials.Settings().Folder);
            for (const std::string& key : FKeys)
                keys.push_back(LoadKey(key, source, *loaded.Nodes));
        }
        std::vector<TGltfAnimation> animations;
        for (const TLoadedKey& key : keys)
            animations.push_back({key.Title, &key.Key});
        std::vector<std::string> warnings;
        WriteGltfFile(FOutput, *loaded.Model, *loaded.Nodes, FGeoSet, looks.Found.Materials.Looks,
                      *container, &warnings, animations);
        for (const std::string& warning : warnings)
            PrintWarning(warning);
        return 0;
    }

private:
    std::string FModel, FOutput;
    std::vector<std::string> FKeys;
    int FGeoSet = 0;
    TMaterialOptions FMaterials;
};

const TCommandRegistrar<TConvertCommand> kConvert("convert");
} // namespace
