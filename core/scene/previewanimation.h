// A key played on a preview's model: the posed vertices of its geometry set at any moment, the
// very numbers the .X text of that pose gives when read back, so a paused preview shows what a
// picture of the pose shows. Made once per key; posing again reuses its buffers.
#pragma once

#include "formats/keyframes.h"
#include "formats/xexport.h"
#include "model/pose.h"

#include <memory>
#include <string>
#include <vector>

inline constexpr const char* kKeyAnimatesNothing =
    "The key has no entries for any node of the model";

class TPreviewAnimation
{
public:
    // Throws EKeyError with KeyFit's text for a key node beyond the model, and
    // EKeyError(kKeyAnimatesNothing) when the key moves no node the game walks.
    TPreviewAnimation(std::shared_ptr<const TPosingGeoSet> geoSet, TNodeList nodes, TKeyframes key);

    // x, y, z per vertex (PosedXPositions) at moment `frame` of the key (KeyTime: wrapped at
    // FRAMES, or held there).
    const std::vector<float>& PositionsAt(double frame, bool hold);
    std::size_t VertexCount() const { return FGeoSet->VertexCount(); }
    const TKeyframes& Key() const { return FKey; }
    const TNodeList& Nodes() const { return FNodes; }

private:
    std::shared_ptr<const TPosingGeoSet> FGeoSet;
    TNodeList FNodes;
    TKeyframes FKey;
    std::vector<int> FKeyNodes;
    TPose FPose;
    std::vector<float> FPositions;
};
