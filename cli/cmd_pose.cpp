// quillmark-cli pose: every hierarchy node of a model in a pose, as JSON: the rest pose, or a
// key's at a moment, evaluated and composed as the game does (pose.h).
#include "commands.h"
#include "keyinput.h"
#include "modelinput.h"

#include "base/U_String.h"
#include "model/loader.h"
#include "model/pose.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <string>

namespace
{
using json = nlohmann::ordered_json;

class TPoseCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.Model("MODEL.3do", FModel);
        parser.Text("--key KEY", FKey);
        parser.Value("--frame T", [this](const std::string& v) { return ReadReal(v, FFrame); });
        parser.Whole("--geoset N", FGeoSet, 0, kMaxGeoSet);
        FGame.Declare(parser);
    }

    int Run(const TSharedOptions& shared) override
    {
        const TModelLocation location = LocateModel(FModel, shared);
        TSilentProgress progress;
        const TLoadedModel loaded = ParseModel(location, progress);
        loaded.Model->Get(FGeoSet); // a geoset the model lacks ends it, as everywhere
        const TNodeList& nodes = *loaded.Nodes;
        double frame = FFrame;
        TPose pose;
        if (FKey.empty())
            pose = RestPose(nodes);
        else
        {
            const TAssetSource source = ModelAssetSource(location, FGame.Folder());
            const TLoadedKey key = LoadKey(FKey, source, nodes);
            frame = KeyTime(key.Key, FFrame);
            pose = PoseAt(nodes, key.Key, frame);
        }
        const std::vector<TJointMatrix> joints = ComposePose(nodes, pose);

        json list = json::array();
        for (int i = 0; i < nodes.Count(); ++i)
        {
            const TNodePose& p = pose[static_cast<std::size_t>(i)];
            const auto& m = joints[static_cast<std::size_t>(i)].M;
            json matrix = json::array();
            for (const auto& row : m)
                for (const double v : row)
                    matrix.push_back(v + 0.0); // no "-0.0" where a sine is zero
            list.push_back({{"index", i},
                            {"name", Latin1ToUtf8(nodes.Get(i).Name)},
                            {"position", {p.X, p.Y, p.Z}},
                            {"rotation", {p.Pitch, p.Yaw, p.Roll}},
                            {"matrix", std::move(matrix)}});
        }
        // Numbers in the shortest text that reads back as the same double.
        std::cout << json{{"frame", frame}, {"nodes", std::move(list)}}.dump() << "\n";
        return 0;
    }

private:
    std::string FModel, FKey;
    double FFrame = 0;
    int FGeoSet = 0;
    TGameOption FGame;
};

const TCommandRegistrar<TPoseCommand> kPose("pose");
} // namespace
