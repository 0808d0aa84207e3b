#include "model/model.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
} // namespace

TEST(Model, EmptyModelHasOneNamedMeshAndNoNodes)
{
    CurrentGeoSetIndex = 4;
    CurrentMeshIndex = 2;
    CreateEmptyModel();
    ASSERT_EQ(CurrentModel->Count(), 1);
    const T3DOMesh& m = CurrentModel->Get(0).Meshes.Get(0);
    EXPECT_EQ(CurrentModel->Get(0).Meshes.Count(), 1);
    EXPECT_EQ(m.Name, "NEWOBJECT");
    EXPECT_EQ(m.Vertices.Count(), 0);
    EXPECT_EQ(m.Faces.Count(), 0);
    EXPECT_EQ(m.NodeIndex, 0);
    EXPECT_EQ(HierarchyNodes->Count(), 0);
    EXPECT_EQ(CurrentGeoSetIndex, 0);
    EXPECT_EQ(CurrentMeshIndex, 0);
    FreeModel();
    EXPECT_EQ(CurrentModel, nullptr);
    EXPECT_EQ(HierarchyNodes, nullptr);
}

TEST(Model, ListAccessOutsideTheListFailsAndChangesNothing)
{
    TVertexList list;
    T3DOVertex v;
    v.X = 7;
    list.Add(v);
    EXPECT_THROW(list.Get(1), EListError);
    EXPECT_THROW(list.Get(-1), EListError);
    T3DOVertex other;
    other.X = 9;
    EXPECT_THROW(list.Put(1, other), EListError);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Get(0).X, 7);
    list.Put(0, other);
    EXPECT_EQ(list.Get(0).X, 9);
}

TEST(Model, FaceCornersAreCompactCopyableAndLimitedTo256)
{
    T3DOFace small;
    small.SetVertexCount(3);
    small.SetCorner(2, 40000, 7);
    EXPECT_EQ(small.VertexIndex(2), 40000);
    EXPECT_EQ(small.TexVertexIndex(2), 7);
    EXPECT_THROW(small.VertexIndex(3), EListError);

    T3DOFace big;
    big.SetVertexCount(256);
    for (int k = 0; k < 256; ++k)
        big.SetCorner(k, static_cast<std::uint16_t>(k), static_cast<std::uint16_t>(1000 + k));
    T3DOFace copy = big;
    T3DOFace moved = std::move(big);
    EXPECT_EQ(copy.VertexIndex(255), 255);
    EXPECT_EQ(moved.TexVertexIndex(0), 1000);
    copy = small;
    EXPECT_EQ(copy.VertexCount(), 3);
    EXPECT_EQ(copy.VertexIndex(2), 40000);

    T3DOFace f;
    EXPECT_THROW(f.SetVertexCount(257), EModelError);
    EXPECT_THROW(f.SetVertexCount(-1), EModelError);
    // A face must stay far smaller than two fixed 256-entry arrays.
    EXPECT_LE(sizeof(T3DOFace), 80u);
}

TEST(Model, BoundsAreStrictAndEmptyMeshesKeepTheSentinels)
{
    T3DO model;
    T3DOGeoSet g;
    T3DOMesh empty;
    T3DOMesh one;
    T3DOVertex v;
    v.X = 1;
    v.Y = -2;
    v.Z = 3;
    one.Vertices.Add(v);
    g.Meshes.Add(empty);
    g.Meshes.Add(one);
    T3DOGeoSet g2;
    T3DOMesh far;
    v.X = -50;
    far.Vertices.Add(v);
    g2.Meshes.Add(far);
    model.Add(g);
    model.Add(g2);
    ComputeBounds(model);
    const T3DOMesh& e = model.Get(0).Meshes.Get(0);
    EXPECT_EQ(e.MinX, 999999.0);
    EXPECT_EQ(e.MaxZ, -999999.0);
    const T3DOMesh& o = model.Get(0).Meshes.Get(1);
    EXPECT_EQ(o.MinX, 1);
    EXPECT_EQ(o.MaxX, 1);
    EXPECT_EQ(o.MinY, -2);
    EXPECT_EQ(o.MaxZ, 3);
    // The model box spans every geoset.
    EXPECT_EQ(model.MinX, -50);
    EXPECT_EQ(model.MaxX, 1);
}

TEST(Model, LinksUseTheHighestNodeAndIgnoreOutOfRangeMeshes)
{
    T3DO model;
    for (int gi = 0; gi < 2; ++gi)
    {
        T3DOGeoSet g;
        for (int i = 0; i < 4; ++i)
            g.Meshes.Add(T3DOMesh());
        model.Add(g);
    }
    TNodeList nodes;
    for (int k = 0; k < 7; ++k)
    {
        T3DONode n;
        n.MeshIndex = -1;
        nodes.Add(n);
    }
    nodes.Get(3).MeshIndex = 1;
    nodes.Get(5).MeshIndex = 1;
    nodes.Get(6).MeshIndex = 4; // beyond the four meshes
    LinkMeshesToNodes(model, nodes);
    EXPECT_EQ(model.Get(0).Meshes.Get(1).NodeIndex, 5);
    EXPECT_EQ(model.Get(1).Meshes.Get(1).NodeIndex, 5);
    for (int i : {0, 2, 3})
        EXPECT_EQ(model.Get(0).Meshes.Get(i).NodeIndex, 0);
}

TEST(Model, OffsetsAddPivotOnlyForTheOwnNode)
{
    TNodeList nodes;
    T3DONode root;
    root.ParentIndex = -1;
    root.X = 100;
    root.PivotX = 1000; // ancestors' pivots play no part
    root.PivotZ = 3000;
    T3DONode mid;
    mid.ParentIndex = 0;
    mid.Y = 20;
    mid.Z = 30;
    mid.PivotY = 2000;
    T3DONode leaf;
    leaf.ParentIndex = 1;
    leaf.X = 1;
    leaf.Y = 2;
    leaf.Z = 3;
    leaf.PivotX = 0.5;
    leaf.PivotY = 0.25;
    leaf.PivotZ = 0.125;
    nodes.Add(root);
    nodes.Add(mid);
    nodes.Add(leaf);
    T3DOMesh m;
    m.NodeIndex = 2;
    m.FindOffset(nodes);
    EXPECT_EQ(m.OffsetX, 1 + 0.5 + 100);
    EXPECT_EQ(m.OffsetY, 2 + 0.25 + 20);
    EXPECT_EQ(m.OffsetZ, 3 + 0.125 + 30);

    T3DOMesh single;
    single.NodeIndex = 0;
    nodes.Get(0).X = 1;
    nodes.Get(0).Y = 2;
    nodes.Get(0).Z = 3;
    nodes.Get(0).PivotX = 0.5;
    single.FindOffset(nodes);
    EXPECT_EQ(single.OffsetX, 1.5);
    EXPECT_EQ(single.OffsetY, 2);
    EXPECT_EQ(single.OffsetZ, 3 + 3000.0); // its own node's pivot
}

TEST(Model, OffsetFailsOnBadIndexAndOnParentCycle)
{
    TNodeList nodes;
    T3DOMesh m;
    EXPECT_THROW(m.FindOffset(nodes), EListError);
    T3DONode a;
    a.ParentIndex = 1;
    T3DONode b;
    b.ParentIndex = 0;
    nodes.Add(a);
    nodes.Add(b);
    try
    {
        m.FindOffset(nodes);
        FAIL();
    }
    catch (const EModelError& e)
    {
        EXPECT_STREQ(e.what(), "Hierarchy node parent chain has a cycle");
    }
    nodes.Get(1).ParentIndex = 9;
    EXPECT_THROW(m.FindOffset(nodes), EListError);
}

TEST(Model, ShortNamesKeepThirtyCharacters)
{
    EXPECT_EQ(ShortName(std::string(35, 'n')), std::string(30, 'n'));
    EXPECT_EQ(ShortName("abc"), "abc");
}
