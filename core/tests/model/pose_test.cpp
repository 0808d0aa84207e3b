#include "model/pose.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
T3DONode Node(int parent, int child, int sibling, int children, double x, double y, double z,
              double pitch = 0, double yaw = 0, double roll = 0, const char* name = "n")
{
    T3DONode n;
    n.ParentIndex = parent;
    n.ChildIndex = child;
    n.SiblingIndex = sibling;
    n.ChildCount = children;
    n.X = x, n.Y = y, n.Z = z;
    n.RotationA = pitch, n.RotationB = yaw, n.RotationC = roll;
    n.Name = name;
    return n;
}

// world = J (v + pivot) for a vertex v of the node's mesh.
std::array<double, 3> World(const TJointMatrix& j, const T3DONode& n, double x, double y, double z)
{
    const double v[3] = {x + n.PivotX, y + n.PivotY, z + n.PivotZ};
    std::array<double, 3> w{};
    for (int r = 0; r < 3; ++r)
        w[r] = j.M[r][0] * v[0] + j.M[r][1] * v[1] + j.M[r][2] * v[2] + j.M[r][3];
    return w;
}

void ExpectNear(const std::array<double, 3>& got, double x, double y, double z)
{
    EXPECT_NEAR(got[0], x, 1e-6);
    EXPECT_NEAR(got[1], y, 1e-6);
    EXPECT_NEAR(got[2], z, 1e-6);
}

// One node, FRAMES 20, FPS 10: entry 0 at frame 0 moving 0.1 per frame along x and turning 7
// degrees of yaw per frame, entry 1 at frame 10 at x = 2, not moving.
TKeyframes TestVectorKey()
{
    TKeyframes key;
    key.Frames = 20;
    key.Fps = 10;
    key.Joints = 1;
    TKeyNode n;
    TKeyEntry e0;
    e0.Flags = kKeyEntryMoves | kKeyEntryTurns;
    e0.DX = 0.1;
    e0.Yaw = 340;
    e0.DYaw = 7;
    TKeyEntry e1;
    e1.Frame = 10;
    e1.X = 2;
    e1.DX = 5; // not applied: flags 0
    n.Entries = {e0, e1};
    key.Nodes.push_back(n);
    return key;
}
} // namespace

TEST(Pose, RotationOrderAndDirections)
{
    const auto apply = [](const TRotation& r, double x, double y, double z)
    {
        return std::array<double, 3>{r[0][0] * x + r[0][1] * y + r[0][2] * z,
                                     r[1][0] * x + r[1][1] * y + r[1][2] * z,
                                     r[2][0] * x + r[2][1] * y + r[2][2] * z};
    };
    const TRotation a = RotationMatrix(90, 90, 0);
    ExpectNear(apply(a, 1, 0, 0), 0, 1, 0);
    ExpectNear(apply(a, 0, 1, 0), 0, 0, 1);
    ExpectNear(apply(a, 0, 0, 1), 1, 0, 0);
    const TRotation b = RotationMatrix(0, 0, 90);
    ExpectNear(apply(b, 1, 0, 0), 0, 0, -1);
    ExpectNear(apply(b, 0, 0, 1), 1, 0, 0);
    const TRotation c = RotationMatrix(30, 45, 60);
    ExpectNear(apply(c, 1, 0, 0), 0.047367, 0.659740, -0.75);
    ExpectNear(apply(c, 0, 1, 0), -0.612372, 0.612372, 0.5);

    // The quaternion (as glTF takes it) is the same rotation.
    for (const auto& [p, y, r] : {std::array{30.0, 45.0, 60.0}, {-170.0, 400.0, 12.5}})
    {
        const auto [qx, qy, qz, qw] = RotationQuaternion(p, y, r);
        const TRotation m = RotationMatrix(p, y, r);
        EXPECT_NEAR(m[0][1], 2 * (qx * qy - qz * qw), 1e-12);
        EXPECT_NEAR(m[2][0], 2 * (qx * qz - qy * qw), 1e-12);
        EXPECT_NEAR(m[1][1], 1 - 2 * (qx * qx + qz * qz), 1e-12);
    }
}

TEST(Pose, TurnsAreExactAtRightAnglesAndWithinAnUlpElsewhere)
{
    // Yaw alone: the first column is (cos, sin, 0). The reference in extended precision, on an
    // angle brought near 0 first so that turning it into radians loses nothing.
    for (double a = -1000; a < 1000; a += 0.37)
    {
        const TRotation r = RotationMatrix(0, a, 0);
        const long double radians =
            std::fmod(static_cast<long double>(a), 360.0L) * 3.141592653589793238462643L / 180;
        EXPECT_NEAR(r[1][0], static_cast<double>(std::sin(radians)), 2.5e-16) << a;
        EXPECT_NEAR(r[0][0], static_cast<double>(std::cos(radians)), 2.5e-16) << a;
    }
    for (const double a : {90.0, -270.0, 450.0, -3510.0})
    {
        const TRotation r = RotationMatrix(0, a, 0);
        EXPECT_EQ(r[1][0], 1.0) << a;
        EXPECT_EQ(r[0][0], 0.0) << a;
    }
    EXPECT_EQ(RotationMatrix(0, 180, 0)[0][0], -1.0);
    EXPECT_EQ(RotationMatrix(0, 180, 0)[1][0], 0.0);
}

TEST(Pose, PivotsMoveOnlyTheirOwnMesh)
{
    TNodeList nodes;
    nodes.Add(Node(-1, 1, -1, 1, 0, 0, 0));
    T3DONode n1 = Node(0, 2, -1, 1, 1, 0, 0, 0, 90, 0);
    n1.PivotY = 1;
    nodes.Add(n1);
    nodes.Add(Node(1, -1, -1, 0, 0, 2, 0));
    const std::vector<TJointMatrix> j = ComposePose(nodes, RestPose(nodes));
    ExpectNear(World(j[1], nodes.Get(1), 0, 0, 0), 0, 0, 0);
    ExpectNear(World(j[2], nodes.Get(2), 0, 0, 0), -1, 0, 0);
}

TEST(Pose, KeysExtrapolateFromTheLastEntryAndWrap)
{
    const TKeyframes key = TestVectorKey();
    const TKeyNode& n = key.Nodes[0];
    EXPECT_DOUBLE_EQ(EvaluateKeyNode(n, 5).X, 0.5); // not 1.0, as interpolation would give
    EXPECT_DOUBLE_EQ(EvaluateKeyNode(n, 10).X, 2.0);
    EXPECT_DOUBLE_EQ(EvaluateKeyNode(n, 15).X, 2.0);
    EXPECT_DOUBLE_EQ(KeyTime(key, 25), 5.0);
    EXPECT_DOUBLE_EQ(KeyTime(key, 20), 0.0);
    EXPECT_DOUBLE_EQ(KeyTime(key, -2.5), 17.5);
    EXPECT_DOUBLE_EQ(KeyTime(key, 25, true), 20.0);
    EXPECT_DOUBLE_EQ(KeyTime(key, 12.25, true), 12.25);
    // Angles run free: no wrapping at 360.
    EXPECT_DOUBLE_EQ(EvaluateKeyNode(n, 4).Yaw, 368.0);
    EXPECT_DOUBLE_EQ(EvaluateKeyNode(n, 9.5).Yaw, 406.5);
    EXPECT_DOUBLE_EQ(EvaluateKeyNode(n, 10).Yaw, 0.0);

    // Before the first entry: the first, extrapolated backwards.
    TKeyNode late = n;
    late.Entries[0].Frame = 2;
    EXPECT_DOUBLE_EQ(EvaluateKeyNode(late, 1).X, -0.1);
}

TEST(Pose, KeysAnimateReachableNodesWithinTheModel)
{
    TNodeList nodes;
    nodes.Add(Node(-1, 1, -1, 1, 0, 0, 1));
    nodes.Add(Node(0, -1, 2, 0, 0, 0, 2));
    nodes.Add(Node(0, -1, -1, 0, 0, 0, 3)); // a sibling beyond node 0's one child
    TKeyframes key = TestVectorKey();
    key.Nodes.push_back(key.Nodes[0]);
    key.Nodes[0].Index = 1;
    key.Nodes[1].Index = 1; // the later one wins
    key.Nodes[1].Entries[1].X = 4;
    key.Nodes.push_back(key.Nodes[0]);
    key.Nodes[2].Index = 2;
    key.Nodes.push_back(key.Nodes[0]);
    key.Nodes[3].Index = 7;
    EXPECT_EQ(KeyNodesFor(key, nodes), (std::vector<int>{-1, 1, -1}));
    const TPose pose = PoseAt(nodes, key, 12);
    EXPECT_EQ(pose[0].Z, 1.0);
    EXPECT_EQ(pose[1].X, 4.0);
    EXPECT_EQ(pose[1].Z, 0.0);
    EXPECT_EQ(pose[2].X, 0.0);
    EXPECT_EQ(pose[2].Z, 3.0);
}

TEST(Pose, UnturnedChainsArePlacedAsTheModelsOffsets)
{
    TNodeList nodes;
    nodes.Add(Node(-1, 1, -1, 1, 0.1, 0.2, 0.3));
    T3DONode n1 = Node(0, 2, -1, 1, 0.7, -0.11, 1e-9);
    n1.PivotX = 0.3;
    n1.PivotZ = -0.017;
    nodes.Add(n1);
    T3DONode n2 = Node(1, -1, -1, 0, 1.0 / 3, 0.125, 5);
    n2.PivotY = 0.21;
    nodes.Add(n2);
    const TPose rest = RestPose(nodes);
    for (int i = 0; i < 3; ++i)
    {
        const TMeshPlacement place = PlaceMesh(nodes, rest, i);
        const T3DOOffset o = NodeOffset(nodes, i);
        EXPECT_FALSE(place.Turned);
        EXPECT_EQ(place.Offset.X, o.X);
        EXPECT_EQ(place.Offset.Y, o.Y);
        EXPECT_EQ(place.Offset.Z, o.Z);
    }
    TPose turned = rest;
    turned[0].Roll = 1e-3;
    const TMeshPlacement place = PlaceMesh(nodes, turned, 2);
    EXPECT_TRUE(place.Turned);
    EXPECT_EQ(place.PivotY, 0.21);
    const TJointMatrix all = ComposePose(nodes, turned)[2];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(place.Joint.M[r][c], all.M[r][c]);
}

TEST(Pose, CompositionRefusesBrokenChains)
{
    TNodeList nodes;
    nodes.Add(Node(1, -1, -1, 0, 0, 0, 0));
    nodes.Add(Node(0, -1, -1, 0, 0, 0, 0));
    EXPECT_THROW(ComposePose(nodes, RestPose(nodes)), EModelError);
    nodes.Get(1).ParentIndex = 5;
    EXPECT_THROW(ComposePose(nodes, RestPose(nodes)), EListError);
}

TEST(Pose, KeyFitFindings)
{
    TNodeList nodes;
    nodes.Add(Node(-1, 1, -1, 1, 0, 0, 0, 0, 0, 0, "Pelvis"));
    nodes.Add(Node(0, -1, -1, 0, 0, 0, 0, 0, 0, 0, "torso"));
    TKeyframes key = TestVectorKey();
    key.Joints = 2;
    key.Nodes[0].Name = "pelvis";
    EXPECT_TRUE(KeyFit(key, nodes).empty());

    key.Joints = 18;
    key.Nodes.push_back(key.Nodes[0]);
    key.Nodes[1].Index = 1;
    key.Nodes[1].Name = "head";
    key.Nodes.push_back(key.Nodes[0]);
    key.Nodes[2].Index = 5;
    key.Nodes[2].Name = "rthigh";
    const std::vector<TKeyFinding> findings = KeyFit(key, nodes);
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_EQ(findings[0].Kind, kfJointsDiffer);
    EXPECT_EQ(findings[0].Text, "The key is for 18 joints; the model has 2 hierarchy nodes");
    EXPECT_EQ(findings[1].Kind, kfNameDiffers);
    EXPECT_EQ(findings[1].Text, "Key node 1 is named 'head'; the model's node 1 is 'torso'");
    EXPECT_EQ(findings[2].Kind, kfNodeBeyondModel);
    EXPECT_EQ(findings[2].KeyNode, 2);
    EXPECT_EQ(findings[2].Text, "Key node 5 ('rthigh') is beyond the model's 2 hierarchy nodes");
    EXPECT_FALSE(KeyFits(findings));
    EXPECT_TRUE(KeyFits({findings[0]}));
    EXPECT_THROW(RefuseUnfitKey(findings), EKeyError);
}
