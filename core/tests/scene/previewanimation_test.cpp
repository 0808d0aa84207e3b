// A key played on a preview's model: the posed vertices are those of the posed .X text read
// back, bit for bit, and a preview scene posed with them draws the picture render draws.
#include "scene/previewanimation.h"

#include "formats/xreader.h"
#include "scene/previewscene.h"
#include "scene/stillpicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace
{
T3DONode Node(int parent, int child, int sibling, int children, double x, double y, double z,
              double yaw, const char* name)
{
    T3DONode n;
    n.MeshIndex = -1;
    n.ParentIndex = parent;
    n.ChildIndex = child;
    n.SiblingIndex = sibling;
    n.ChildCount = children;
    n.X = x, n.Y = y, n.Z = z;
    n.RotationB = yaw;
    n.Name = name;
    return n;
}

// Three meshes on a chain of three nodes (the middle one turned at rest, the last with a
// pivot): a triangle seen from both sides on each, and many vertices of awkward values on the
// last, one of them `far` away.
struct TFigure
{
    T3DO Model;
    TNodeList Nodes;

    explicit TFigure(double far = 4e9)
    {
        Model.Radius = 3.7;
        Nodes.Add(Node(-1, 1, -1, 1, 0, 0, 0.5, 0, "hip"));
        Nodes.Add(Node(0, 2, -1, 1, 0.25, 0, 1, 30, "torso"));
        Nodes.Add(Node(1, -1, -1, 0, 0, 0.1, 0.6, 0, "head"));
        Nodes.Get(2).PivotX = 0.05;
        Nodes.Get(2).PivotZ = -0.2;
        T3DOGeoSet g;
        std::uint64_t seed = 12345;
        for (int mesh = 0; mesh < 3; ++mesh)
        {
            T3DOMesh m;
            m.NodeIndex = mesh;
            const int count = mesh == 2 ? 3000 : 8;
            for (int i = 0; i < count; ++i)
            {
                T3DOVertex v;
                seed = seed * 6364136223846793005ull + 1442695040888963407ull;
                v.X = static_cast<double>(seed >> 11) / 9007199254740992.0 - 0.5;
                v.Y = (i % 7) * 0.1234565; // a 5 at the seventh decimal
                v.Z = i == 5 ? far : i * -0.000001;
                if (i < 3)
                    v = {};
                v.X = i == 1 ? 0.5 : v.X;
                v.Z = i == 2 ? 0.5 : v.Z;
                m.Vertices.Add(v);
            }
            for (int side = 0; side < 2; ++side)
            {
                T3DOFace f;
                f.SetVertexCount(3);
                for (int k = 0; k < 3; ++k)
                    f.SetCorner(k, static_cast<std::uint16_t>(side ? 2 - k : k), 0);
                m.Faces.Add(f);
            }
            g.Meshes.Add(std::move(m));
        }
        Model.Add(std::move(g));
    }
};

// Node 1 turning (yaw and pitch with deltas), node 2 moving, 20 frames at 10 fps.
TKeyframes Walk()
{
    TKeyframes key;
    key.Frames = 20;
    key.Fps = 10;
    key.Joints = 3;
    TKeyNode torso;
    torso.Index = 1;
    torso.Name = "torso";
    TKeyEntry a;
    a.Flags = kKeyEntryMoves | kKeyEntryTurns;
    a.X = 0.25, a.Z = 1;
    a.Yaw = 350, a.DYaw = 3.3, a.DPitch = -1.7;
    TKeyEntry b = a;
    b.Frame = 10;
    b.Flags = 0;
    b.Yaw = 20;
    torso.Entries = {a, b};
    TKeyNode head;
    head.Index = 2;
    head.Name = "head";
    TKeyEntry c;
    c.Flags = kKeyEntryMoves;
    c.Y = 0.1, c.Z = 0.6, c.DX = 0.013;
    head.Entries = {c};
    key.Nodes = {torso, head};
    return key;
}

std::shared_ptr<const TPosingGeoSet> Posing(const T3DO& model)
{
    return std::make_shared<const TPosingGeoSet>(PosingGeoSet(model, 0));
}

std::vector<std::uint32_t> Bits(const std::vector<float>& values)
{
    std::vector<std::uint32_t> bits(values.size());
    std::memcpy(bits.data(), values.data(), values.size() * sizeof(float));
    return bits;
}
} // namespace

TEST(PreviewAnimation, PosedVerticesAreThePosedTextReadBack)
{
    const TFigure figure;
    const TKeyframes key = Walk();
    TPreviewAnimation animation(Posing(figure.Model), figure.Nodes, key);
    EXPECT_EQ(animation.VertexCount(), 3016u);
    for (const double frame : {0.0, 3.3, 9.99, 12.0, 27.5})
    {
        TXMesh read;
        ASSERT_EQ(ReadXData(PosedXText(figure.Model, figure.Nodes, 0,
                                       PoseAt(figure.Nodes, key, KeyTime(key, frame))),
                            read),
                  D3DRM_OK);
        EXPECT_EQ(Bits(animation.PositionsAt(frame, false)), Bits(read.Positions))
            << "at frame " << frame;
    }
    // Held at the end, the pose is FRAMES's, not frame 0's.
    TXMesh held;
    ASSERT_EQ(ReadXData(PosedXText(figure.Model, figure.Nodes, 0,
                                   PoseAt(figure.Nodes, key, KeyTime(key, 20, true))),
                        held),
              D3DRM_OK);
    EXPECT_EQ(Bits(animation.PositionsAt(20, true)), Bits(held.Positions));
    EXPECT_NE(Bits(animation.PositionsAt(20, false)), Bits(held.Positions));
}

TEST(PreviewAnimation, KeysThatCannotPlayAreRefused)
{
    const TFigure figure;
    TKeyframes beyond = Walk();
    beyond.Nodes[1].Index = 3;
    EXPECT_THROW(TPreviewAnimation(Posing(figure.Model), figure.Nodes, beyond), EKeyError);

    // Node 1 is not walked from node 0 once node 0 says it has no children.
    TNodeList cut = figure.Nodes;
    cut.Get(0).ChildCount = 0;
    try
    {
        TPreviewAnimation(Posing(figure.Model), cut, Walk());
        ADD_FAILURE() << "no error";
    }
    catch (const EKeyError& e)
    {
        EXPECT_STREQ(e.what(), kKeyAnimatesNothing);
    }
}

TEST(PreviewAnimation, APausedPreviewDrawsWhatRenderDraws)
{
    const TFigure figure(0.3);
    const TKeyframes key = Walk();
    const double frame = 6.5;
    const TPose pose = PoseAt(figure.Nodes, key, frame);
    TStillPicture picture;
    picture.Width = 160;
    picture.Height = 120;
    const TFrameBuffer still = DrawStillPicture(figure.Model, figure.Nodes, 0, pose, picture);
    const TFrameBuffer fromText =
        DrawStillPicture(PosedXText(figure.Model, figure.Nodes, 0, pose), picture);
    EXPECT_EQ(still.Pixels, fromText.Pixels);
    EXPECT_GT(std::count_if(still.Pixels.begin(), still.Pixels.end(),
                            [](std::uint32_t p) { return p != 0xFF000000u; }),
              20);

    // The preview: the rest model loaded, posed in place, framed again (Reset), one step.
    TPreviewScene scene(&BuiltinD3DPlatform());
    scene.Build(nullptr);
    scene.CreateDevice(nullptr, picture.Width, picture.Height, 32);
    TXMesh rest;
    ASSERT_EQ(ReadXData(XText(figure.Model, figure.Nodes, 0), rest), D3DRM_OK);
    scene.LoadModel(rest);
    const std::vector<float> shown = scene.ModelVerticesRaw();
    TPreviewAnimation animation(Posing(figure.Model), figure.Nodes, key);
    scene.PoseModel(animation.PositionsAt(frame, false));
    EXPECT_NE(scene.ModelVerticesRaw(), shown);
    scene.ResetView();
    scene.SetRotationSpeed(1);
    scene.RenderFrame();
    std::vector<std::uint32_t> preview = scene.Device()->GetFrameBuffer().Pixels;
    for (std::uint32_t& p : preview)
        p |= 0xFF000000u;
    EXPECT_EQ(preview, still.Pixels);

    // Stopped: the shown vertices put back are the rest model's.
    scene.SetModelVerticesRaw(shown);
    EXPECT_EQ(scene.ModelVerticesRaw(), shown);
}
