// quillmark-cli keys: the animations available to a model, as JSON. Without --pup, every key
// under 3do\key\ in the model's mounts (its archive or folder, then the game folder) that fits
// it; with --pup, a puppet's modes and actions, each with whether its key is found and fits.
#include "commands.h"
#include "keyinput.h"
#include "materialoptions.h"
#include "modelinput.h"
#include "terminal.h"

#include "base/U_String.h"
#include "model/loader.h"
#include "model/pose.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <map>
#include <string>

namespace
{
using json = nlohmann::ordered_json;

inline constexpr const char* kKeySkippedFormat = "Key skipped: %s (%s)";

// Where a file was found; a path on disk is already UTF-8, a name in an archive is the game's.
json PlaceJson(const TAssetOrigin& origin)
{
    return {{"mount", origin.MountPath},
            {"path", origin.Kind == mkArchive ? Latin1ToUtf8(origin.Path) : origin.Path}};
}

class TKeysCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.Model("MODEL.3do", FModel);
        parser.Text("--pup PUP", FPuppet);
        FGame.Declare(parser);
    }

    int Run(const TSharedOptions& shared) override
    {
        const TModelLocation location = LocateModel(FModel, shared);
        TSilentProgress progress;
        const TLoadedModel loaded = ParseModel(location, progress);
        const TAssetSource source = ModelAssetSource(location, FGame.Folder());
        for (const std::string& warning : source.Warnings())
            PrintWarning(warning);
        const json j =
            FPuppet.empty() ? Keys(source, *loaded.Nodes) : Puppet(source, *loaded.Nodes);
        std::cout << j.dump(-1, ' ', false, json::error_handler_t::replace) << "\n";
        return 0;
    }

private:
    static json KeyJson(const std::string& name, const TKeyframes& key, const json& found)
    {
        return {{"name", name},         {"frames", key.Frames},
                {"fps", key.Fps},       {"nodes", key.Nodes.size()},
                {"joints", key.Joints}, {"found", found}};
    }

    static json Keys(const TAssetSource& source, const TNodeList& nodes)
    {
        json list = json::array();
        for (const TAssetListing& listing : source.List("3do/key", "*.key"))
        {
            // A broken key is worth a word; one for another model is simply not listed.
            try
            {
                const TKeyframes key = ReadKeyframes(source.Read(listing.Origin));
                if (!KeyFits(KeyFit(key, nodes)))
                    continue;
                const json place = PlaceJson(listing.Origin);
                const std::string path = place["path"];
                list.push_back(KeyJson(path.substr(path.find_last_of("/\\") + 1), key, place));
            }
            catch (const std::runtime_error& e)
            {
                PrintWarning(
                    FormatText(kKeySkippedFormat, {DescribeOrigin(listing.Origin), e.what()}));
            }
        }
        return {{"keys", std::move(list)}};
    }

    // What an action's key is: found or not, and whether it fits, read once per name.
    struct TKeyState
    {
        json Found = nullptr;
        json Fits = nullptr;
        json Problem = nullptr;
    };

    TKeyState KeyState(const std::string& name, const TAssetSource& source, const TNodeList& nodes)
    {
        std::string lower = name;
        for (char& c : lower)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        const auto known = FKeys.find(lower);
        if (known != FKeys.end())
            return known->second;
        TKeyState state;
        const TResolvedAsset found = ResolveKey(source, name);
        if (found.Origin)
        {
            state.Found = PlaceJson(*found.Origin);
            try
            {
                state.Fits = KeyFits(KeyFit(ReadKeyframes(source.Read(*found.Origin)), nodes));
            }
            catch (const std::runtime_error& e)
            {
                state.Fits = false;
                state.Problem = Latin1ToUtf8(e.what());
            }
        }
        return FKeys.emplace(lower, state).first->second;
    }

    json Puppet(const TAssetSource& source, const TNodeList& nodes)
    {
        const std::optional<TNamedFile> file = FindNamedFile(FPuppet, source, "misc/pup");
        if (!file)
            throw EInOutError(FormatText(kPuppetNotFoundFormat, {FPuppet}));
        const TPuppet pup = ReadPuppetFile(*file);
        for (const std::string& warning : pup.Warnings)
            PrintWarning(FormatText(kInFileFormat, {file->Where, warning}));
        json modes = json::array();
        for (const TPuppetMode& mode : pup.Modes)
        {
            json actions = json::array();
            for (const TPuppetAction& a : mode.Actions)
            {
                const bool hasKey = PuppetActionHasKey(a);
                const TKeyState state = hasKey ? KeyState(a.Key, source, nodes) : TKeyState();
                json action = {{"action", Latin1ToUtf8(a.Name)},
                               {"key", hasKey ? json(Latin1ToUtf8(a.Key)) : json(nullptr)},
                               {"flags", a.Flags},
                               {"lowpri", a.LowPriority},
                               {"highpri", a.HighPriority},
                               {"inherited", a.Inherited},
                               {"found", state.Found},
                               {"fits", state.Fits}};
                if (!state.Problem.is_null())
                    action["problem"] = state.Problem;
                actions.push_back(std::move(action));
            }
            modes.push_back({{"mode", mode.Number},
                             {"basedon", mode.BasedOn ? json(*mode.BasedOn) : json(nullptr)},
                             {"actions", std::move(actions)}});
        }
        json joints = json::array();
        for (const TPuppetJoint& joint : pup.Joints)
            joints.push_back({{"bodypart", joint.BodyPart}, {"node", joint.Node}});
        return {
            {"puppet", file->Where}, {"modes", std::move(modes)}, {"joints", std::move(joints)}};
    }

    std::string FModel, FPuppet;
    TGameOption FGame;
    std::map<std::string, TKeyState> FKeys;
};

const TCommandRegistrar<TKeysCommand> kKeys("keys");
} // namespace
