// A key played on a preview's model.
#include "scene/previewanimation.h"

#include <algorithm>
#include <utility>

TPreviewAnimation::TPreviewAnimation(std::shared_ptr<const TPosingGeoSet> geoSet, TNodeList nodes,
                                     TKeyframes key)
    : FGeoSet(std::move(geoSet)), FNodes(std::move(nodes)), FKey(std::move(key))
{
    RefuseUnfitKey(KeyFit(FKey, FNodes));
    FKeyNodes = KeyNodesFor(FKey, FNodes);
    if (std::all_of(FKeyNodes.begin(), FKeyNodes.end(), [](int k) { return k < 0; }))
        throw EKeyError(kKeyAnimatesNothing);
}

const std::vector<float>& TPreviewAnimation::PositionsAt(double frame, bool hold)
{
    PoseAt(FNodes, FKey, FKeyNodes, KeyTime(FKey, frame, hold), FPose);
    PosedXPositions(*FGeoSet, FNodes, FPose, FPositions);
    return FPositions;
}
