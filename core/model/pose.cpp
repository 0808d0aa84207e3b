// Poses: key evaluation and joint matrices.
#include "model/pose.h"

#include "base/U_String.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace
{
constexpr double kPi = 3.14159265358979323846;

// 1/first!, 1/(first + 2)!, ... 1/(first + 16)!, worked out by the compiler (exactly: 17! fits
// a double's mantissa).
constexpr std::array<double, 9> InverseFactorials(int first)
{
    std::array<double, 9> terms{};
    double factorial = 1;
    int n = 0;
    for (std::size_t t = 0; t < terms.size(); ++t)
    {
        while (n < first + 2 * static_cast<int>(t))
            factorial *= ++n;
        terms[t] = 1.0 / factorial;
    }
    return terms;
}
constexpr std::array<double, 9> kCosTerms = InverseFactorials(0);
constexpr std::array<double, 9> kSinTerms = InverseFactorials(1);

// c[0] - x2 (c[1] - x2 (c[2] - ...)), by Horner's scheme.
double Alternating(const std::array<double, 9>& c, double x2)
{
    double sum = c[8];
    for (std::size_t i = 8; i-- > 0;)
        sum = c[i] - x2 * sum;
    return sum;
}

bool Unturned(const TNodePose& p)
{
    return p.Pitch == 0 && p.Yaw == 0 && p.Roll == 0;
}

// sin and cos of an angle in degrees with the same bits on every system: the C libraries round
// the last place differently, and poses and glTF files are compared between builds byte for
// byte. The angle is brought to [-45, 45] degrees exactly (fmod is exact, and so is subtracting
// the nearest multiple of 90 from a number within a factor of two of it), then the Taylor
// series run past a double's precision. Exact at multiples of 90 degrees.
void SinCosDegrees(double degrees, double& s, double& c)
{
    if (!std::isfinite(degrees))
    {
        s = c = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    if (degrees == 0)
    {
        s = degrees; // keeps the sign of a zero, as sin does
        c = 1;
        return;
    }
    // Deliberate: no "+ 360" for a negative remainder; that sum would round.
    const double r = degrees > -360 && degrees < 360 ? degrees : std::fmod(degrees, 360.0);
    const double quarter = std::floor(r * (1.0 / 90.0) + 0.5); // -4 .. 4
    const double x = (r - 90.0 * quarter) * (kPi / 180.0);
    const double x2 = x * x;
    // |x| <= pi/4: the first term left out is below 1e-17 of the result.
    const double sn = x * Alternating(kSinTerms, x2);
    const double cs = Alternating(kCosTerms, x2);
    switch ((static_cast<int>(quarter) + 4) & 3)
    {
    case 0:
        s = sn, c = cs;
        break;
    case 1:
        s = cs, c = -sn;
        break;
    case 2:
        s = -sn, c = -cs;
        break;
    default:
        s = -cs, c = sn;
        break;
    }
}
} // namespace

TRotation RotationMatrix(double pitch, double yaw, double roll)
{
    double sp, cp, sy, cy, sr, cr;
    SinCosDegrees(pitch, sp, cp);
    SinCosDegrees(yaw, sy, cy);
    SinCosDegrees(roll, sr, cr);
    return {{{cy * cr - sy * sp * sr, -sy * cp, cy * sr + sy * sp * cr},
             {sy * cr + cy * sp * sr, cy * cp, sy * sr - cy * sp * cr},
             {-cp * sr, sp, cp * cr}}};
}

std::array<double, 4> RotationQuaternion(double pitch, double yaw, double roll)
{
    double sx, cx, sz, cz, sy, cy;
    SinCosDegrees(pitch / 2, sx, cx);
    SinCosDegrees(yaw / 2, sz, cz);
    SinCosDegrees(roll / 2, sy, cy);
    // (0, 0, sz, cz) * (sx, 0, 0, cx) = (cz sx, sz sx, sz cx, cz cx); then * (0, sy, 0, cy).
    const double ax = cz * sx, ay = sz * sx, az = sz * cx, aw = cz * cx;
    std::array<double, 4> q{ax * cy - az * sy, aw * sy + ay * cy, az * cy + ax * sy,
                            aw * cy - ay * sy};
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& c : q)
        c /= length;
    return q;
}

TPose RestPose(const TNodeList& nodes)
{
    TPose pose;
    pose.reserve(static_cast<std::size_t>(nodes.Count()));
    for (const T3DONode& n : nodes)
        pose.push_back({n.X, n.Y, n.Z, n.RotationA, n.RotationB, n.RotationC});
    return pose;
}

std::vector<bool> ReachableNodes(const TNodeList& nodes)
{
    const int n = nodes.Count();
    std::vector<bool> reached(static_cast<std::size_t>(n), false);
    if (n == 0)
        return reached;
    // Iterative: a hostile model may chain a million nodes.
    struct TStep
    {
        std::int32_t Next, Left;
    };
    std::vector<TStep> stack;
    const auto enter = [&](int i)
    {
        reached[static_cast<std::size_t>(i)] = true;
        const T3DONode& node = nodes.Get(i);
        stack.push_back({node.ChildIndex, node.ChildCount});
    };
    enter(0);
    while (!stack.empty())
    {
        TStep& step = stack.back();
        const std::int32_t c = step.Next;
        if (step.Left <= 0 || c < 0 || c >= n || reached[static_cast<std::size_t>(c)])
        {
            stack.pop_back();
            continue;
        }
        step.Next = nodes.Get(c).SiblingIndex;
        --step.Left;
        enter(c);
    }
    return reached;
}

double KeyTime(const TKeyframes& key, double t, bool hold)
{
    const double frames = key.Frames;
    if (hold && t >= frames)
        return frames;
    double wrapped = t - frames * std::floor(t / frames);
    // Rounding can land a hair below 0 on exactly FRAMES.
    if (wrapped >= frames)
        wrapped = 0;
    return wrapped;
}

TNodePose EvaluateKeyNode(const TKeyNode& node, double t)
{
    const auto after =
        std::upper_bound(node.Entries.begin(), node.Entries.end(), t,
                         [](double time, const TKeyEntry& e) { return time < e.Frame; });
    const TKeyEntry& e = after == node.Entries.begin() ? node.Entries.front() : *(after - 1);
    const double dt = t - e.Frame;
    TNodePose p{e.X, e.Y, e.Z, e.Pitch, e.Yaw, e.Roll};
    if (e.Flags & kKeyEntryMoves)
    {
        p.X += e.DX * dt;
        p.Y += e.DY * dt;
        p.Z += e.DZ * dt;
    }
    if (e.Flags & kKeyEntryTurns)
    {
        p.Pitch += e.DPitch * dt;
        p.Yaw += e.DYaw * dt;
        p.Roll += e.DRoll * dt;
    }
    return p;
}

std::vector<int> KeyNodesFor(const TKeyframes& key, const TNodeList& nodes)
{
    const std::vector<bool> reached = ReachableNodes(nodes);
    std::vector<int> map(reached.size(), -1);
    for (std::size_t k = 0; k < key.Nodes.size(); ++k)
    {
        const std::int32_t i = key.Nodes[k].Index;
        if (i >= 0 && i < nodes.Count() && reached[static_cast<std::size_t>(i)])
            map[static_cast<std::size_t>(i)] = static_cast<int>(k);
    }
    return map;
}

TPose PoseAt(const TNodeList& nodes, const TKeyframes& key, double t)
{
    TPose pose;
    PoseAt(nodes, key, KeyNodesFor(key, nodes), t, pose);
    return pose;
}

void PoseAt(const TNodeList& nodes, const TKeyframes& key, const std::vector<int>& keyNodes,
            double t, TPose& out)
{
    out.resize(static_cast<std::size_t>(nodes.Count()));
    int i = 0;
    for (const T3DONode& n : nodes)
    {
        const int k =
            i < static_cast<int>(keyNodes.size()) ? keyNodes[static_cast<std::size_t>(i)] : -1;
        out[static_cast<std::size_t>(i)] =
            k >= 0 ? EvaluateKeyNode(key.Nodes[static_cast<std::size_t>(k)], t)
                   : TNodePose{n.X, n.Y, n.Z, n.RotationA, n.RotationB, n.RotationC};
        ++i;
    }
}

std::vector<TJointMatrix> ComposePose(const TNodeList& nodes, const TPose& pose)
{
    std::vector<TJointMatrix> joints;
    ComposePose(nodes, pose, joints);
    return joints;
}

namespace
{
// J = J_parent T(position) R, or T(position) R for a root.
void ComposeNode(const TJointMatrix* parent, const TNodePose& local, TJointMatrix& j)
{
    const TRotation r = RotationMatrix(local.Pitch, local.Yaw, local.Roll);
    const double t[3] = {local.X, local.Y, local.Z};
    if (!parent)
    {
        for (int row = 0; row < 3; ++row)
        {
            for (int col = 0; col < 3; ++col)
                j.M[row][col] = r[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
            j.M[row][3] = t[row];
        }
        return;
    }
    const auto& p = parent->M;
    for (int row = 0; row < 3; ++row)
    {
        for (std::size_t col = 0; col < 3; ++col)
            j.M[row][col] = p[row][0] * r[0][col] + p[row][1] * r[1][col] + p[row][2] * r[2][col];
        j.M[row][3] = p[row][0] * t[0] + p[row][1] * t[1] + p[row][2] * t[2] + p[row][3];
    }
}

// The node and its ancestors, root last; throws for a link outside the list or a loop.
void ParentChain(const TNodeList& nodes, int node, std::vector<int>& chain)
{
    chain.clear();
    for (int p = node; p >= 0; p = nodes.Get(p).ParentIndex)
    {
        if (static_cast<int>(chain.size()) >= nodes.Count())
            throw EModelError(kParentChainCycle);
        chain.push_back(p);
    }
}

TJointMatrix NodeJoint(const TNodeList& nodes, const TPose& pose, int node)
{
    std::vector<int> chain;
    ParentChain(nodes, node, chain);
    TJointMatrix j, parent;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    {
        ComposeNode(it == chain.rbegin() ? nullptr : &parent, pose[static_cast<std::size_t>(*it)],
                    j);
        parent = j;
    }
    return j;
}
} // namespace

void ComposePose(const TNodeList& nodes, const TPose& pose, std::vector<TJointMatrix>& out)
{
    const int n = nodes.Count();
    if (static_cast<int>(pose.size()) != n)
        throw EListError();
    out.resize(static_cast<std::size_t>(n));
    std::vector<std::uint8_t> state(static_cast<std::size_t>(n), 0); // 1 on the path, 2 done
    std::vector<int> path;
    for (int i = 0; i < n; ++i)
    {
        // Up to a done node or a root, then down again, parents first.
        path.clear();
        int p = i;
        while (p >= 0 && state[static_cast<std::size_t>(p)] != 2)
        {
            if (state[static_cast<std::size_t>(p)] == 1)
                throw EModelError(kParentChainCycle);
            state[static_cast<std::size_t>(p)] = 1;
            path.push_back(p);
            p = nodes.Get(p).ParentIndex;
            if (p >= n)
                throw EListError();
        }
        for (auto it = path.rbegin(); it != path.rend(); ++it)
        {
            const int k = *it;
            const int parent = nodes.Get(k).ParentIndex;
            ComposeNode(parent < 0 ? nullptr : &out[static_cast<std::size_t>(parent)],
                        pose[static_cast<std::size_t>(k)], out[static_cast<std::size_t>(k)]);
            state[static_cast<std::size_t>(k)] = 2;
        }
    }
}

TMeshPlacement PlaceMesh(const TNodeList& nodes, const TPose& pose, int nodeIndex)
{
    const T3DONode& node = nodes.Get(nodeIndex);
    if (pose.size() != static_cast<std::size_t>(nodes.Count()))
        throw EListError();
    TMeshPlacement place;
    const TNodePose& own = pose[static_cast<std::size_t>(nodeIndex)];
    place.Turned = !Unturned(own);
    // The same sums, in the same order, as NodeOffset.
    T3DOOffset o{own.X + node.PivotX, own.Y + node.PivotY, own.Z + node.PivotZ};
    int steps = 0;
    for (int p = node.ParentIndex; p >= 0 && !place.Turned;)
    {
        if (++steps > nodes.Count())
            throw EModelError(kParentChainCycle);
        const T3DONode& parent = nodes.Get(p);
        const TNodePose& up = pose[static_cast<std::size_t>(p)];
        place.Turned = !Unturned(up);
        o.X += up.X;
        o.Y += up.Y;
        o.Z += up.Z;
        p = parent.ParentIndex;
    }
    if (!place.Turned)
    {
        place.Offset = o;
        return place;
    }
    place.Joint = NodeJoint(nodes, pose, nodeIndex);
    place.PivotX = node.PivotX;
    place.PivotY = node.PivotY;
    place.PivotZ = node.PivotZ;
    return place;
}

std::vector<TKeyFinding> KeyFit(const TKeyframes& key, const TNodeList& nodes)
{
    std::vector<TKeyFinding> findings;
    const int count = nodes.Count();
    if (key.Joints != count)
        findings.push_back({kfJointsDiffer, -1,
                            FormatText(kKeyJointsDifferFormat,
                                       {std::to_string(key.Joints), std::to_string(count)})});
    for (std::size_t k = 0; k < key.Nodes.size(); ++k)
    {
        const TKeyNode& kn = key.Nodes[k];
        const std::string index = std::to_string(kn.Index);
        if (kn.Index >= count)
            findings.push_back(
                {kfNodeBeyondModel, static_cast<int>(k),
                 FormatText(kKeyNodeBeyondModelFormat, {index, kn.Name, std::to_string(count)})});
        else if (kn.Index >= 0 && !SameText(ShortName(kn.Name), nodes.Get(kn.Index).Name))
            findings.push_back({kfNameDiffers, static_cast<int>(k),
                                FormatText(kKeyNameDiffersFormat,
                                           {index, kn.Name, index, nodes.Get(kn.Index).Name})});
    }
    return findings;
}

bool KeyFits(const std::vector<TKeyFinding>& findings)
{
    return std::none_of(findings.begin(), findings.end(),
                        [](const TKeyFinding& f) { return f.Kind != kfJointsDiffer; });
}

void RefuseUnfitKey(const std::vector<TKeyFinding>& findings)
{
    for (const TKeyFinding& f : findings)
        if (f.Kind == kfNodeBeyondModel)
            throw EKeyError(f.Text);
}
