// Poses of a model: a key evaluated at a moment as the game evaluates it, and the joint matrices
// that place the hierarchy's nodes and meshes in that pose. The one source of both for the pose
// command, posed pictures, glTF export and the live preview.
#pragma once

#include "formats/keyframes.h"
#include "model/model.h"

#include <array>
#include <string>
#include <vector>

inline constexpr const char* kKeyNodeBeyondModelFormat =
    "Key node %s ('%s') is beyond the model's %s hierarchy nodes";
inline constexpr const char* kKeyJointsDifferFormat =
    "The key is for %s joints; the model has %s hierarchy nodes";
inline constexpr const char* kKeyNameDiffersFormat =
    "Key node %s is named '%s'; the model's node %s is '%s'";

// A node's local placement: position relative to its parent, orientation in degrees (pitch
// about X, yaw about Z, roll about Y).
struct TNodePose
{
    double X = 0, Y = 0, Z = 0;
    double Pitch = 0, Yaw = 0, Roll = 0;
};

// One value per hierarchy node, in node order.
using TPose = std::vector<TNodePose>;

// Three rows of four, rotation then translation, for column vectors: v' = M v.
struct TJointMatrix
{
    double M[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
};

using TRotation = std::array<std::array<double, 3>, 3>;

// R = Rz(yaw) Rx(pitch) Ry(roll): roll first, then pitch, then yaw, about the parent's axes.
TRotation RotationMatrix(double pitch, double yaw, double roll);
// The same rotation as a unit quaternion (x, y, z, w).
std::array<double, 4> RotationQuaternion(double pitch, double yaw, double roll);

// The model's own values: position and the three rotation numbers of each node line.
TPose RestPose(const TNodeList& nodes);

// The nodes the game walks: node 0, then from each node its child and the child's sibling chain,
// exactly as many as the node's child count says. Only these are animated.
std::vector<bool> ReachableNodes(const TNodeList& nodes);

// The moment a key is evaluated at for time t in frames: t wraps at FRAMES (t - FRAMES
// floor(t / FRAMES)); with `hold`, from FRAMES on it stays at FRAMES.
double KeyTime(const TKeyframes& key, double t, bool hold = false);

// A key node at moment t: the last entry at or before t (the first when t is before them all),
// extrapolated from its frame with its own changes per frame where its flags say so. Angles are
// not wrapped. Never looks at the next entry: the game jumps to it when its frame comes.
TNodePose EvaluateKeyNode(const TKeyNode& node, double t);

// For each hierarchy node, the index in key.Nodes of the node that animates it, or -1: the last
// key node with its index, and only for nodes within the list and reachable.
std::vector<int> KeyNodesFor(const TKeyframes& key, const TNodeList& nodes);

// The pose at moment t (see KeyTime): the rest pose, with the values of the key's nodes where
// they animate. The second form reuses `out` and a KeyNodesFor result.
TPose PoseAt(const TNodeList& nodes, const TKeyframes& key, double t);
void PoseAt(const TNodeList& nodes, const TKeyframes& key, const std::vector<int>& keyNodes,
            double t, TPose& out);

// Joint matrices: J = J_parent T(position) R(pitch, yaw, roll), a node whose parent is -1 on
// the identity; a mesh on node i is drawn at J_i (vertex + pivot_i), so a pivot moves its own
// mesh only. Throws EListError for a parent outside the list and EModelError(kParentChainCycle)
// for a parent chain that loops.
std::vector<TJointMatrix> ComposePose(const TNodeList& nodes, const TPose& pose);
void ComposePose(const TNodeList& nodes, const TPose& pose, std::vector<TJointMatrix>& out);

// Where a mesh carried by node `nodeIndex` goes in a pose. When neither the node nor any
// ancestor turns, its vertices are moved by Offset, summed as NodeOffset sums the rest pose
// (the node's position and pivot, then each ancestor's position from the node up), so a pose
// equal to the rest pose places them exactly as the model's own offsets do. Otherwise they go to
// Joint (vertex + pivot), the node's joint matrix as ComposePose gives it. Throws as NodeOffset;
// only the node's own chain is looked at.
struct TMeshPlacement
{
    bool Turned = false;
    T3DOOffset Offset;
    TJointMatrix Joint;
    double PivotX = 0, PivotY = 0, PivotZ = 0;
};

TMeshPlacement PlaceMesh(const TNodeList& nodes, const TPose& pose, int nodeIndex);

// How well a key fits a model. The game binds key nodes by index, so a node beyond the model
// cannot play (the key is refused); a different JOINTS or node name is worth a warning.
enum TKeyFindingKind
{
    kfNodeBeyondModel,
    kfJointsDiffer,
    kfNameDiffers
};

struct TKeyFinding
{
    TKeyFindingKind Kind = kfNodeBeyondModel;
    int KeyNode = -1; // index into key.Nodes; -1 for JOINTS
    std::string Text;
};

std::vector<TKeyFinding> KeyFit(const TKeyframes& key, const TNodeList& nodes);
// Every key node within the model and named as its node (JOINTS may differ).
bool KeyFits(const std::vector<TKeyFinding>& findings);
// Throws EKeyError with the first kfNodeBeyondModel finding's text, if any.
void RefuseUnfitKey(const std::vector<TKeyFinding>& findings);
