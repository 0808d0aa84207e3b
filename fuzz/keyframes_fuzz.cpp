// Any bytes given to the key reader end in a key or in its own exception, never in a crash or an
// allocation the bytes do not back. What it accepts keeps the format's rules (frames and entries
// in order, nodes within the joint table, at most eight markers), and evaluating it on a chain
// of nodes as long as its joint table, at any moment, as a pose and as a glTF animation, ends in
// numbers or a message.
#include "formats/gltfexport.h"
#include "formats/keyframes.h"
#include "model/pose.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace
{
void Check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TKeyframes key;
    try
    {
        key = ReadKeyframes(std::string_view(reinterpret_cast<const char*>(data), size));
    }
    catch (const EKeyError&)
    {
        return 0;
    }
    Check(key.Frames >= 1 && key.Fps > 0 && std::isfinite(key.Fps) && key.Joints >= 0);
    Check(key.Markers.size() <= kMaxKeyMarkers);
    for (const TKeyNode& n : key.Nodes)
    {
        Check(n.Index >= 0 && n.Index < key.Joints && !n.Entries.empty());
        for (std::size_t e = 1; e < n.Entries.size(); ++e)
            Check(n.Entries[e].Frame >= n.Entries[e - 1].Frame);
    }

    // A chain of nodes for the key to play on, each carrying a one-vertex mesh.
    const int count = std::min(key.Joints, 70);
    T3DO model;
    model.Add(T3DOGeoSet());
    TNodeList nodes;
    for (int i = 0; i < count; ++i)
    {
        T3DONode n;
        n.MeshIndex = i;
        n.ParentIndex = i - 1;
        n.ChildIndex = i + 1 < count ? i + 1 : -1;
        n.SiblingIndex = -1;
        n.ChildCount = i + 1 < count ? 1 : 0;
        n.Z = 0.1;
        nodes.Add(n);
        T3DOMesh mesh;
        mesh.Vertices.Add(T3DOVertex{});
        model.Get(0).Meshes.Add(std::move(mesh));
    }
    const std::vector<TKeyFinding> findings = KeyFit(key, nodes);
    (void)KeyFits(findings);
    const std::vector<int> keyNodes = KeyNodesFor(key, nodes);
    TPose pose;
    std::vector<TJointMatrix> joints;
    for (const double t : {0.0, 0.5, 1.0, 7.25, -3.0, 1e6, static_cast<double>(key.Frames)})
    {
        const double at = KeyTime(key, t);
        Check(!(at < 0) && !(at >= key.Frames));
        Check(KeyTime(key, t, true) <= key.Frames);
        PoseAt(nodes, key, keyNodes, at, pose);
        ComposePose(nodes, pose, joints);
        if (count > 0)
            (void)PlaceMesh(nodes, pose, count - 1);
    }
    if (key.Frames <= 1000)
    {
        try
        {
            const std::string glb =
                GltfBytes(model, nodes, 0, {}, TGltfContainer::Binary, nullptr, {{"fuzz", &key}});
            Check(glb.size() >= 12);
        }
        catch (const EModelError&)
        {
        }
    }
    return 0;
}
