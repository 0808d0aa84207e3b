#include "view/viewcore.h"

#include "view/colors.h"
#include "view/softcanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

// Writes every canvas call as text, so a test can check what was drawn and in which order.
class TRecordingCanvas : public TViewCanvas
{
public:
    std::vector<std::string> Calls;

    void SetPenColor(std::int32_t color) override
    {
        Calls.push_back("pen " + std::to_string(color));
    }
    void Polygon(std::span<const TCanvasPoint> points) override
    {
        std::string s = "poly";
        for (const TCanvasPoint& p : points)
            s += " " + std::to_string(p.X) + "," + std::to_string(p.Y);
        Calls.push_back(s);
    }
    void Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override
    {
        Calls.push_back("rect " + std::to_string(x1) + "," + std::to_string(y1) + " " +
                        std::to_string(x2) + "," + std::to_string(y2));
    }
    void MoveTo(std::int32_t x, std::int32_t y) override
    {
        Calls.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    }
    void LineTo(std::int32_t x, std::int32_t y) override
    {
        Calls.push_back("line " + std::to_string(x) + "," + std::to_string(y));
    }
    void SetPixel(std::int32_t x, std::int32_t y, std::int32_t color) override
    {
        Calls.push_back("pixel " + std::to_string(x) + "," + std::to_string(y) + " " +
                        std::to_string(color));
    }

    std::vector<std::string> Polygons() const
    {
        std::vector<std::string> out;
        for (const std::string& c : Calls)
            if (c.rfind("poly", 0) == 0)
                out.push_back(c);
        return out;
    }
};

T3DOVertex Vertex(double x, double y, double z)
{
    T3DOVertex v;
    v.X = x;
    v.Y = y;
    v.Z = z;
    return v;
}

T3DOFace Face(std::initializer_list<int> corners)
{
    T3DOFace f;
    f.SetVertexCount(static_cast<int>(corners.size()));
    int k = 0;
    for (const int c : corners)
        f.SetCorner(k++, static_cast<std::uint16_t>(c), 0);
    return f;
}

T3DONode Node(int mesh, int parent, int child, int sibling)
{
    T3DONode n;
    n.MeshIndex = mesh;
    n.ParentIndex = parent;
    n.ChildIndex = child;
    n.SiblingIndex = sibling;
    return n;
}

// A model of one geoset whose mesh k holds one vertex at (k, 0, 0) and one face on it, so a
// one-point polygon names the mesh that was drawn.
struct TMarkerModel
{
    T3DO Model;
    TNodeList Nodes;

    explicit TMarkerModel(int meshes)
    {
        T3DOGeoSet g;
        for (int k = 0; k < meshes; ++k)
        {
            T3DOMesh m;
            m.Vertices.Add(Vertex(k, 0, 0));
            m.Faces.Add(Face({0}));
            g.Meshes.Add(std::move(m));
        }
        Model.Add(std::move(g));
    }
    TViewScene Scene() const { return {&Model, &Nodes, 0, 0}; }
};

// Zoom 10, centre (0, 0), pan 0, front plane: mesh k's marker is polygon "poly 10k,0".
TViewCore MarkerView()
{
    TViewCore v;
    v.FZoom = 10;
    return v;
}

std::vector<int> DrawnMeshes(const TRecordingCanvas& canvas)
{
    std::vector<int> out;
    for (const std::string& p : canvas.Polygons())
        out.push_back(std::stoi(p.substr(5)) / 10);
    return out;
}

class ViewPicture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        BackgroundColor = 0xFFFFFF;
        PolygonWireColor = 0x000001;
        VertexColor = 0xFF0000;
        GridMarksColor = 0x808080;
    }
    void TearDown() override
    {
        BackgroundColor = PolygonWireColor = VertexColor = GridMarksColor = 0;
    }
};
} // namespace

TEST(ViewCore, NearestRoundsHalvesToEvenAndClamps)
{
    EXPECT_EQ(Nearest(146.5), 146);
    EXPECT_EQ(Nearest(147.5), 148);
    EXPECT_EQ(Nearest(2.5), 2);
    EXPECT_EQ(Nearest(3.5), 4);
    EXPECT_EQ(Nearest(-2.5), -2);
    EXPECT_EQ(Nearest(-2.6), -3);
    EXPECT_EQ(Nearest(2147483647.4), kIntMax);
    EXPECT_EQ(Nearest(2147483647.5), kIntMax);
    EXPECT_EQ(Nearest(1e300), kIntMax);
    EXPECT_EQ(Nearest(std::numeric_limits<double>::infinity()), kIntMax);
    EXPECT_EQ(Nearest(-2147483648.4), kIntMin);
    EXPECT_EQ(Nearest(-1e300), kIntMin);
    EXPECT_EQ(Nearest(std::nan("")), kIntMin);
}

TEST(ViewCore, CreationValues)
{
    TViewCore v;
    v.ResetView(291, 204);
    EXPECT_EQ(v.FCenterX, 145);
    EXPECT_EQ(v.FCenterY, 102);
    EXPECT_EQ(v.FZoom, 1000.0);
    EXPECT_EQ(v.FPlane, vpFront);
    EXPECT_EQ(v.FProjection, prParallel);
    EXPECT_EQ(v.FPickMode, pkPolygon);
    EXPECT_TRUE(v.FUseOffsets);
    EXPECT_TRUE(v.FShowHierarchy);
    EXPECT_FALSE(v.FShowGrid);
    EXPECT_FALSE(v.FShowBoxes);
    EXPECT_EQ(v.FPanX, 0.0);
    EXPECT_EQ(v.FDepth, 0.0);
    EXPECT_GT(v.FZoomFactor, 1.0);
    EXPECT_GT(v.FPanStep, 0.0);
    EXPECT_GT(v.FFinePanStep, 0.0);
    EXPECT_GT(v.FGridSpacing, 0.0);
}

TEST(ViewCore, ResetKeepsPanDepthAndProjection)
{
    TViewCore v;
    v.FPanX = 1;
    v.FPanY = 2;
    v.FDepth = 3;
    v.FProjection = prPerspective;
    v.FPlane = vpTop;
    v.FZoom = 5;
    v.ResetView(-7, 9); // div truncates toward zero
    EXPECT_EQ(v.FCenterX, -3);
    EXPECT_EQ(v.FCenterY, 4);
    EXPECT_EQ(v.FPanX, 1);
    EXPECT_EQ(v.FPanY, 2);
    EXPECT_EQ(v.FDepth, 3);
    EXPECT_EQ(v.FProjection, prPerspective);
    EXPECT_EQ(v.FPlane, vpFront);
    EXPECT_EQ(v.FZoom, 1000);
}

TEST(ViewCore, ModelAndScreenMapping)
{
    TViewCore v;
    v.ResetView(291, 204);
    EXPECT_EQ(v.ModelToScreenX(0.25), 395);
    EXPECT_EQ(v.ModelToScreenX(-0.25), -105);
    EXPECT_EQ(v.ModelToScreenY(0.1), 2);
    EXPECT_EQ(v.ModelToScreenY(-0.05), 152);
    v.FPanX = 0.1;
    v.FPanY = 0.2;
    // (0.35 - 0.1) * 1000 + 145 and (0.2 - 0.05) * 1000 + 102
    EXPECT_EQ(v.ModelToScreenX(0.35), 395);
    EXPECT_EQ(v.ModelToScreenY(0.05), 252);
    EXPECT_DOUBLE_EQ(v.ScreenToModelX(395), 0.35);
    EXPECT_DOUBLE_EQ(v.ScreenToModelY(252), 0.05);
    // The panned point sits at the centre.
    EXPECT_EQ(v.ModelToScreenX(v.FPanX), v.FCenterX);
    EXPECT_EQ(v.ModelToScreenY(v.FPanY), v.FCenterY);
}

TEST(ViewCore, ProjectedHalvesGoToEven)
{
    TViewCore v;
    v.FZoom = 1;
    TProjPoint p;
    p.x = 146.5;
    p.z = 147.5;
    EXPECT_TRUE(v.ProjectParallel(p));
    EXPECT_EQ(p.sx, 146);
    EXPECT_EQ(p.sy, -148);
    EXPECT_EQ(v.ModelToScreenX(147.5), 148);
}

TEST(ViewCore, ParallelProjectionFollowsThePlaneTable)
{
    TViewCore v;
    v.FZoom = 10;
    v.FCenterX = 100;
    v.FCenterY = 100;
    const auto project = [&](TViewPlane plane)
    {
        v.FPlane = plane;
        TProjPoint p;
        p.x = 1;
        p.y = 2;
        p.z = 3;
        v.ProjectParallel(p);
        return std::pair{p.sx, p.sy};
    };
    EXPECT_EQ(project(vpFront), (std::pair{110, 70})); // x right, z up
    EXPECT_EQ(project(vpSide), (std::pair{120, 70}));  // y right, z up
    EXPECT_EQ(project(vpTop), (std::pair{110, 80}));   // x right, y up
}

TEST(ViewCore, PerspectiveDividesByYAndRejectsPointsAtOrBehindTheEye)
{
    TViewCore v;
    v.FZoom = 100;
    v.FCenterX = 50;
    v.FCenterY = 50;
    v.FPlane = vpTop; // plays no part
    TProjPoint p;
    p.x = 2;
    p.y = 4;
    p.z = 1;
    EXPECT_TRUE(v.ProjectPerspective(p));
    EXPECT_EQ(p.sx, 100); // 2/4 * 100 + 50
    EXPECT_EQ(p.sy, 25);  // 50 - 1/4 * 100
    p.y = 0;
    EXPECT_FALSE(v.ProjectPerspective(p));
    p.y = -1;
    EXPECT_FALSE(v.ProjectPerspective(p));
    p.x = p.z = 0;
    p.y = 0; // 0 / 0
    EXPECT_FALSE(v.ProjectPerspective(p));
}

TEST(ViewCore, ReadoutShowsThePlanesAxesAndTheDepth)
{
    TViewCore v;
    v.ResetView(291, 204);
    EXPECT_EQ(v.ReadoutText(395, 2), "(0.250000, 0.100000, @0.000000)");
    EXPECT_EQ(v.ReadoutText(45, 152), "(-0.100000, -0.050000, @0.000000)");
    v.FPlane = vpTop;
    EXPECT_EQ(v.ReadoutText(395, 2), "(0.250000, @0.000000, 0.100000)");
    v.FPlane = vpSide;
    EXPECT_EQ(v.ReadoutText(395, 2), "(@0.000000, 0.100000, 0.250000)");
    v.FPlane = vpFront;
    v.KeyCommand(kVkPageUp, 0);
    v.KeyCommand(kVkPageUp, 0);
    EXPECT_EQ(v.ReadoutText(145, 102), "(0.000000, 0.000000, @0.002000)");
    v.FProjection = prPerspective; // the read-out stays parallel
    EXPECT_EQ(v.ReadoutText(395, 2), "(0.250000, 0.100000, @0.002000)");
}

TEST(ViewCore, ReadoutNumbersKeepAllTheirDigits)
{
    EXPECT_EQ(FormatReadoutNumber(-0.5), "-0.500000");
    EXPECT_EQ(FormatReadoutNumber(123456789.25), "123456789.250000");
    const std::string huge = FormatReadoutNumber(1e300);
    EXPECT_EQ(huge.size(), 301u + 7u);
    EXPECT_EQ(huge.substr(0, 1), "1");
}

TEST(ViewCore, KeysWithoutModifier)
{
    TViewCore v;
    v.ResetView(291, 204);
    EXPECT_TRUE(v.KeyCommand(kVkLeft, 0));
    EXPECT_DOUBLE_EQ(v.FPanX, v.FPanStep);
    EXPECT_TRUE(v.KeyCommand(kVkRight, 0));
    EXPECT_EQ(v.FPanX, 0);
    v.KeyCommand(kVkUp, 0);
    EXPECT_DOUBLE_EQ(v.FPanY, -v.FPanStep);
    v.KeyCommand(kVkDown, 0);
    EXPECT_EQ(v.FPanY, 0);
    v.KeyCommand(kVkPageDown, 0);
    EXPECT_DOUBLE_EQ(v.FDepth, -0.001);

    v.KeyCommand('E', 0);
    EXPECT_EQ(v.FProjection, prPerspective);
    v.KeyCommand('A', 0);
    EXPECT_EQ(v.FProjection, prParallel);
    v.KeyCommand('V', 0);
    EXPECT_EQ(v.FPickMode, pkVertex);
    v.KeyCommand('P', 0);
    EXPECT_EQ(v.FPickMode, pkPolygon);
    v.KeyCommand('R', 0);
    EXPECT_EQ(v.FPlane, vpSide);
    v.KeyCommand('T', 0);
    EXPECT_EQ(v.FPlane, vpTop);
    v.KeyCommand('F', 0);
    EXPECT_EQ(v.FPlane, vpFront);
    v.KeyCommand('B', 0);
    v.KeyCommand('M', 0);
    v.KeyCommand('O', 0);
    EXPECT_TRUE(v.FShowBoxes);
    EXPECT_FALSE(v.FShowHierarchy);
    EXPECT_FALSE(v.FUseOffsets);

    v.KeyCommand(kVkAdd, 0);
    EXPECT_DOUBLE_EQ(v.FZoom, 1000 * v.FZoomFactor);
    v.KeyCommand(kVkSubtract, 0);
    EXPECT_DOUBLE_EQ(v.FZoom, 1000);
    v.KeyCommand(kVkSeparator, 0);
    EXPECT_DOUBLE_EQ(v.FZoom, 1000 / v.FZoomFactor);
    EXPECT_FALSE(v.KeyCommand('G', 0));
    EXPECT_FALSE(v.KeyCommand('Z', 0));
}

TEST(ViewCore, ShiftArrowsPanFinelyAndOtherCombinationsDoNothing)
{
    TViewCore v;
    EXPECT_TRUE(v.KeyCommand(kVkLeft, ssShift));
    EXPECT_DOUBLE_EQ(v.FPanX, v.FFinePanStep);
    v.KeyCommand(kVkUp, ssShift);
    EXPECT_DOUBLE_EQ(v.FPanY, -v.FFinePanStep);
    v.KeyCommand(kVkDown, ssShift);
    v.KeyCommand(kVkRight, ssShift);
    EXPECT_EQ(v.FPanX, 0);
    EXPECT_EQ(v.FPanY, 0);

    const double zoom = v.FZoom;
    EXPECT_FALSE(v.KeyCommand(kVkLeft, ssCtrl));
    EXPECT_FALSE(v.KeyCommand(kVkLeft, ssCtrl | ssShift));
    EXPECT_FALSE(v.KeyCommand(kVkLeft, ssAlt));
    EXPECT_FALSE(v.KeyCommand('B', ssShift));
    EXPECT_FALSE(v.KeyCommand(kVkAdd, ssCtrl));
    EXPECT_FALSE(v.KeyCommand('G', ssCtrl | ssAlt));
    EXPECT_EQ(v.FPanX, 0);
    EXPECT_FALSE(v.FShowBoxes);
    EXPECT_EQ(v.FZoom, zoom);

    EXPECT_TRUE(v.KeyCommand('G', ssCtrl));
    EXPECT_TRUE(v.FShowGrid);
    v.KeyCommand('G', ssCtrl);
    EXPECT_FALSE(v.FShowGrid);
}

TEST(ViewCore, ZoomKeepsTheCentrePointAndResizeKeepsIt)
{
    TViewCore v;
    v.ResetView(291, 204);
    v.FPanX = 0.123;
    v.FPanY = -0.5;
    v.KeyCommand(kVkAdd, 0);
    EXPECT_EQ(v.ModelToScreenX(0.123), 145);
    EXPECT_EQ(v.ModelToScreenY(-0.5), 102);
    v.Resize(400, 301);
    EXPECT_EQ(v.ModelToScreenX(0.123), 200);
    EXPECT_EQ(v.ModelToScreenY(-0.5), 150);
    EXPECT_DOUBLE_EQ(v.FZoom, 1000 * v.FZoomFactor);
}

TEST(ViewCore, DrawBoxDrawsTwelveEdgesInOrder)
{
    // In perspective all eight corners are distinct: (x, z) / y scaled by 10, y up.
    TViewCore v;
    v.FZoom = 10;
    v.FProjection = prPerspective;
    PolygonWireColor = 77;
    TRecordingCanvas c;
    v.DrawBox(c, -1, 1, -1, 1, 2, 1);
    PolygonWireColor = 0;
    const std::vector<std::string> expected = {
        "pen 77",      "move -5,5",   "line 5,5",    "line 5,-5",    "line -5,-5",  "line -5,5",
        "line -10,10", "line 10,10",  "line 10,-10", "line -10,-10", "line -10,10", "move 10,10",
        "line 5,5",    "move 10,-10", "line 5,-5",   "move -10,-10", "line -5,-5"};
    EXPECT_EQ(c.Calls, expected);
}

TEST(ViewCore, BoxFromAnyPairOfOppositeCornersHasTheSameEdges)
{
    TViewCore v;
    v.FZoom = 10;
    v.FProjection = prPerspective;
    const auto edges = [&](double ax, double ay, double az, double bx, double by, double bz)
    {
        TRecordingCanvas c;
        v.DrawBox(c, ax, ay, az, bx, by, bz);
        std::set<std::pair<std::string, std::string>> out;
        std::string at;
        for (const std::string& call : c.Calls)
        {
            if (call.rfind("move ", 0) == 0)
                at = call.substr(5);
            else if (call.rfind("line ", 0) == 0)
            {
                const std::string to = call.substr(5);
                out.insert(std::minmax(at, to));
                at = to;
            }
        }
        return out;
    };
    const auto a = edges(-1, 1, 2, 3, 2, -1); // (min x, min y, max z), (max x, max y, min z)
    const auto b = edges(-1, 1, -1, 3, 2, 2); // (min, min, min), (max, max, max)
    const auto c = edges(3, 2, 2, -1, 1, -1);
    EXPECT_EQ(a.size(), 12u);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
}

TEST(ViewCore, DrawNodeDrawsChildSubtreeBeforeSibling)
{
    TMarkerModel m(5);
    m.Nodes.Add(Node(0, -1, 1, -1));  // 0: root
    m.Nodes.Add(Node(1, 0, 2, 3));    // 1: child of 0, sibling 3
    m.Nodes.Add(Node(2, 1, -1, -1));  // 2: child of 1
    m.Nodes.Add(Node(3, 0, -1, -1));  // 3: second child of 0
    m.Nodes.Add(Node(-1, -1, 5, -1)); // 4: root without mesh
    m.Nodes.Add(Node(4, 4, -1, -1));  // 5: its child
    TViewCore v = MarkerView();
    TRecordingCanvas c;
    v.DrawNode(c, m.Scene(), 0);
    EXPECT_EQ(DrawnMeshes(c), (std::vector<int>{0, 1, 2, 3}));

    TRecordingCanvas all;
    v.PaintView(all, m.Scene(), 100, 100);
    EXPECT_EQ(DrawnMeshes(all), (std::vector<int>{0, 1, 2, 3, 4}));

    TRecordingCanvas none;
    v.DrawNode(none, m.Scene(), -1);
    EXPECT_TRUE(none.Calls.empty());
}

TEST(ViewCore, CyclicAndDeepLinksTerminate)
{
    TMarkerModel m(3);
    m.Nodes.Add(Node(0, -1, 1, 0)); // its own sibling
    m.Nodes.Add(Node(1, 0, 0, 2));  // child links back to the root
    m.Nodes.Add(Node(2, 0, 1, 1));
    TViewCore v = MarkerView();
    TRecordingCanvas c;
    v.DrawNode(c, m.Scene(), 0);
    EXPECT_EQ(DrawnMeshes(c), (std::vector<int>{0, 1, 2}));

    // A chain far deeper than any call stack would take.
    TMarkerModel deep(1);
    constexpr int kDepth = 200000;
    for (int i = 0; i < kDepth; ++i)
        deep.Nodes.Add(Node(i == kDepth - 1 ? 0 : -1, i - 1, i + 1 < kDepth ? i + 1 : -1, -1));
    TRecordingCanvas d;
    v.DrawNode(d, deep.Scene(), 0);
    EXPECT_EQ(DrawnMeshes(d), (std::vector<int>{0}));
}

TEST(ViewCore, SharedRootIsDrawnAgainByTheNextWalk)
{
    // Root 1 is also root 0's sibling: it appears in both walks.
    TMarkerModel m(2);
    m.Nodes.Add(Node(0, -1, -1, 1));
    m.Nodes.Add(Node(1, -1, -1, -1));
    TViewCore v = MarkerView();
    TRecordingCanvas c;
    v.PaintView(c, m.Scene(), 10, 10);
    EXPECT_EQ(DrawnMeshes(c), (std::vector<int>{0, 1, 1}));
}

TEST(ViewCore, IndicesTheModelDoesNotHoldFailAndAbandonThePaint)
{
    TMarkerModel m(1);
    T3DOMesh& mesh = m.Model.Get(0).Meshes.Get(0);
    mesh.Faces.Add(Face({0, 5})); // vertex 5 does not exist
    mesh.Faces.Add(Face({0}));
    TViewCore v = MarkerView();
    v.FShowHierarchy = false;
    TRecordingCanvas c;
    try
    {
        v.PaintView(c, m.Scene(), 10, 10);
        FAIL() << "no error";
    }
    catch (const EListError& e)
    {
        EXPECT_STREQ(e.what(), "List index out of bounds");
    }
    EXPECT_EQ(c.Polygons().size(), 1u); // the first face only

    TMarkerModel n(1);
    n.Nodes.Add(Node(3, -1, -1, -1)); // mesh 3 of a geoset with one mesh
    TRecordingCanvas d;
    EXPECT_THROW(v.DrawNode(d, n.Scene(), 0), EListError);
    n.Nodes.Get(0).MeshIndex = 0;
    n.Nodes.Get(0).ChildIndex = 7; // no such node
    EXPECT_THROW(v.DrawNode(d, n.Scene(), 0), EListError);

    TViewScene badGeoSet = n.Scene();
    badGeoSet.GeoSet = 1;
    EXPECT_THROW(v.PaintView(d, badGeoSet, 10, 10), EListError);
    EXPECT_THROW(v.DrawFace(d, n.Scene(), 0, 0, 1), EListError);
}

TEST(ViewCore, StartModelDrawsOnlyTheGrid)
{
    CreateEmptyModel();
    TViewCore v;
    v.ResetView(100, 100);
    TRecordingCanvas c;
    v.PaintView(c, CurrentScene(), 100, 100);
    v.FShowHierarchy = false;
    v.PaintView(c, CurrentScene(), 100, 100);
    EXPECT_TRUE(c.Calls.empty());
    v.FShowGrid = true;
    v.PaintView(c, CurrentScene(), 100, 100);
    v.FShowHierarchy = true;
    v.PaintView(c, CurrentScene(), 100, 100);
    EXPECT_FALSE(c.Calls.empty());
    EXPECT_TRUE(std::all_of(c.Calls.begin(), c.Calls.end(),
                            [](const std::string& s) { return s.rfind("pixel", 0) == 0; }));
    FreeModel();
}

TEST(ViewCore, FaceOutlineAndSquares)
{
    TMarkerModel m(1);
    T3DOMesh& mesh = m.Model.Get(0).Meshes.Get(0);
    mesh.Vertices.Add(Vertex(2, 0, 1));
    mesh.Faces.Add(Face({0, 1}));
    TViewCore v = MarkerView();
    v.FPickMode = pkVertex;
    PolygonWireColor = 5;
    VertexColor = 6;
    TRecordingCanvas c;
    v.DrawFace(c, m.Scene(), 0, 0, 1);
    PolygonWireColor = VertexColor = 0;
    const std::vector<std::string> expected = {"pen 5", "poly 0,0 20,-10", "pen 6",
                                               "rect -2,-2 2,2", "rect 18,-12 22,-8"};
    EXPECT_EQ(c.Calls, expected);
}

TEST(ViewCore, PerspectiveLeavesOutFacesBehindTheEye)
{
    TMarkerModel m(1);
    T3DOMesh& mesh = m.Model.Get(0).Meshes.Get(0);
    mesh.Vertices.Get(0) = Vertex(1, 2, 0);
    mesh.Vertices.Add(Vertex(1, -2, 0));
    mesh.Faces.Get(0) = Face({0, 1});
    TViewCore v = MarkerView();
    v.FProjection = prPerspective;
    v.FPickMode = pkVertex;
    v.FShowHierarchy = false;
    TRecordingCanvas c;
    v.PaintView(c, m.Scene(), 10, 10);
    EXPECT_TRUE(c.Polygons().empty());
    // The corner in front of the eye still gets its square.
    EXPECT_NE(std::find(c.Calls.begin(), c.Calls.end(), "rect 3,-2 7,2"), c.Calls.end());
}

TEST_F(ViewPicture, FrontViewPicture)
{
    // A triangle in the x-z plane: (-0.25, 0, 0), (0.25, 0, 0), (0, 0, 0.1).
    T3DO model;
    TNodeList nodes;
    T3DOGeoSet g;
    T3DOMesh mesh;
    mesh.Vertices.Add(Vertex(-0.25, 0, 0));
    mesh.Vertices.Add(Vertex(0.25, 0, 0));
    mesh.Vertices.Add(Vertex(0, 0, 0.1));
    mesh.Faces.Add(Face({0, 1, 2}));
    g.Meshes.Add(std::move(mesh));
    model.Add(std::move(g));
    TViewCore v;
    v.ResetView(640, 480);
    v.FShowHierarchy = false;
    v.FPickMode = pkVertex;
    TSoftCanvas c(640, 480, BackgroundColor);
    v.PaintView(c, {&model, &nodes, 0, 0}, 640, 480);
    // Corners at 250 pixels left and right of the centre, apex 100 above it.
    EXPECT_EQ(c.Pixel(320, 240), PolygonWireColor);
    EXPECT_EQ(c.Pixel(320, 239), BackgroundColor);
    EXPECT_EQ(c.Pixel(320, 200), BackgroundColor);
    EXPECT_EQ(c.Pixel(195, 190), PolygonWireColor); // on the left edge, halfway up
    EXPECT_EQ(c.Pixel(445, 190), PolygonWireColor);
    // 4 x 4 square outline around (570, 240): columns 568 to 571, rows 238 to 241.
    EXPECT_EQ(c.Pixel(568, 238), VertexColor);
    EXPECT_EQ(c.Pixel(571, 241), VertexColor);
    EXPECT_EQ(c.Pixel(572, 240), BackgroundColor);
    EXPECT_EQ(c.Pixel(570, 242), BackgroundColor);
    EXPECT_EQ(c.Pixel(67, 240), BackgroundColor);
    EXPECT_EQ(c.Pixel(68, 240), VertexColor);
    EXPECT_EQ(c.Pixel(320, 138), VertexColor);
}

TEST_F(ViewPicture, EachPlaneShowsItsAxes)
{
    // One vertex at (0.1, 0.05, 0.15) drawn as a square; its centre pixel stays background.
    T3DO model;
    TNodeList nodes;
    T3DOGeoSet g;
    T3DOMesh mesh;
    mesh.Vertices.Add(Vertex(0.1, 0.05, 0.15));
    mesh.Faces.Add(Face({0}));
    g.Meshes.Add(std::move(mesh));
    model.Add(std::move(g));
    const auto squareAt = [&](TViewPlane plane, int x, int y)
    {
        TViewCore v;
        v.ResetView(640, 480);
        v.FPlane = plane;
        v.FShowHierarchy = false;
        v.FPickMode = pkVertex;
        TSoftCanvas c(640, 480, BackgroundColor);
        v.PaintView(c, {&model, &nodes, 0, 0}, 640, 480);
        return c.Pixel(x - 2, y - 2) == VertexColor && c.Pixel(x + 1, y + 1) == VertexColor &&
               c.Pixel(x, y) == BackgroundColor;
    };
    EXPECT_TRUE(squareAt(vpFront, 420, 90)); // x right, z up
    EXPECT_TRUE(squareAt(vpSide, 370, 90));  // y right, z up
    EXPECT_TRUE(squareAt(vpTop, 420, 190));  // x right, y up
    EXPECT_FALSE(squareAt(vpFront, 370, 90));
}

TEST_F(ViewPicture, OffsetsBoxesAndHierarchy)
{
    // Mesh 0 at node 0, offset 0.1 along x; one horizontal edge from x = 0 to 0.05.
    T3DO model;
    TNodeList nodes;
    nodes.Add(Node(0, -1, -1, -1));
    T3DOGeoSet g;
    T3DOMesh mesh;
    mesh.Vertices.Add(Vertex(0, 0, 0));
    mesh.Vertices.Add(Vertex(0.05, 0, 0));
    mesh.Faces.Add(Face({0, 1}));
    mesh.MinX = 0, mesh.MaxX = 0.05, mesh.MinZ = -0.02, mesh.MaxZ = 0.02;
    mesh.OffsetX = 0.1;
    g.Meshes.Add(std::move(mesh));
    model.Add(std::move(g));
    TViewCore v;
    v.ResetView(640, 480);
    v.FShowBoxes = true;
    TSoftCanvas c(640, 480, BackgroundColor);
    v.PaintView(c, {&model, &nodes, 0, 0}, 640, 480);
    EXPECT_EQ(c.Pixel(440, 240), PolygonWireColor);
    EXPECT_EQ(c.Pixel(330, 240), BackgroundColor);
    // Box: x 420 to 470, z from 0.02 (row 220) to -0.02 (row 260).
    EXPECT_EQ(c.Pixel(420, 230), PolygonWireColor);
    EXPECT_EQ(c.Pixel(470, 250), PolygonWireColor);
    EXPECT_EQ(c.Pixel(445, 220), PolygonWireColor);
    EXPECT_EQ(c.Pixel(445, 260), PolygonWireColor);
    EXPECT_EQ(c.Pixel(445, 230), BackgroundColor);

    v.FUseOffsets = false;
    TSoftCanvas o(640, 480, BackgroundColor);
    v.PaintView(o, {&model, &nodes, 0, 0}, 640, 480);
    EXPECT_EQ(o.Pixel(340, 240), PolygonWireColor);
    EXPECT_EQ(o.Pixel(440, 240), BackgroundColor);
    EXPECT_EQ(o.Pixel(320, 230), PolygonWireColor);
}

TEST_F(ViewPicture, GridDotsSitOnWholeMultiples)
{
    TViewCore v;
    v.ResetView(640, 480);
    v.FShowGrid = true;
    v.FGridSpacing = 0.01; // 10 pixels at zoom 1000
    TSoftCanvas c(640, 480, BackgroundColor);
    v.PaintView(c, {}, 640, 480);
    EXPECT_EQ(c.Pixel(320, 240), GridMarksColor);
    EXPECT_EQ(c.Pixel(330, 250), GridMarksColor);
    EXPECT_EQ(c.Pixel(0, 0), GridMarksColor);
    EXPECT_EQ(c.Pixel(639, 479), BackgroundColor); // 319 and 239 from the centre
    EXPECT_EQ(c.Pixel(630, 470), GridMarksColor);
    EXPECT_EQ(c.Pixel(325, 240), BackgroundColor);

    // Panned by 0.003: the dots stay on the model's multiples of 0.01.
    v.FPanX = 0.003;
    TSoftCanvas p(640, 480, BackgroundColor);
    v.PaintView(p, {}, 640, 480);
    EXPECT_EQ(p.Pixel(317, 240), GridMarksColor);
    EXPECT_EQ(p.Pixel(320, 240), BackgroundColor);

    // Perspective does not change the grid.
    v.FProjection = prPerspective;
    TSoftCanvas q(640, 480, BackgroundColor);
    v.PaintView(q, {}, 640, 480);
    EXPECT_EQ(q.Pixels(), p.Pixels());
}

TEST_F(ViewPicture, CrowdedGridIsThinnedNotFlooded)
{
    TViewCore v;
    v.ResetView(640, 480);
    v.FShowGrid = true;
    v.FZoom = 100; // 1 pixel between multiples of 0.01: every 4th multiple is dotted
    TSoftCanvas c(640, 480, BackgroundColor);
    v.PaintView(c, {}, 640, 480);
    EXPECT_EQ(c.Pixel(320, 240), GridMarksColor);
    EXPECT_EQ(c.Pixel(324, 240), GridMarksColor);
    EXPECT_EQ(c.Pixel(321, 240), BackgroundColor);
    EXPECT_EQ(c.Pixel(322, 240), BackgroundColor);
    v.FZoom = 1e-300;
    v.FPanX = 1e300;
    TRecordingCanvas r;
    v.PaintView(r, {}, 640, 480);
    EXPECT_LT(r.Calls.size(), 200000u);
}

TEST_F(ViewPicture, FarAwayPointsAreClampedAndClipped)
{
    T3DO model;
    TNodeList nodes;
    T3DOGeoSet g;
    T3DOMesh mesh;
    mesh.Vertices.Add(Vertex(0, 0, 0));
    mesh.Vertices.Add(Vertex(1e12, 0, 0));
    mesh.Vertices.Add(Vertex(-1e300, 0, 1e300));
    mesh.Faces.Add(Face({0, 1}));
    mesh.Faces.Add(Face({0, 2}));
    g.Meshes.Add(std::move(mesh));
    model.Add(std::move(g));
    TViewCore v;
    v.ResetView(640, 480);
    v.FShowHierarchy = false;
    v.FPickMode = pkVertex;
    TSoftCanvas c(640, 480, BackgroundColor);
    v.PaintView(c, {&model, &nodes, 0, 0}, 640, 480);
    EXPECT_EQ(c.Pixel(639, 240), PolygonWireColor);
    EXPECT_EQ(c.Pixel(400, 240), PolygonWireColor);
    EXPECT_EQ(c.Pixel(300, 220), PolygonWireColor); // the diagonal toward the top-left
}

TEST_F(ViewPicture, FacesOfManyCornersAreDrawnWhole)
{
    // 40 corners around a circle of radius 0.1; the closing edge runs from corner 39 to 0.
    T3DO model;
    TNodeList nodes;
    T3DOGeoSet g;
    T3DOMesh mesh;
    T3DOFace face;
    face.SetVertexCount(40);
    for (int k = 0; k < 40; ++k)
    {
        const double a = 2 * std::numbers::pi * k / 40;
        mesh.Vertices.Add(Vertex(0.1 * std::cos(a), 0, 0.1 * std::sin(a)));
        face.SetCorner(k, static_cast<std::uint16_t>(k), 0);
    }
    mesh.Faces.Add(face);
    g.Meshes.Add(std::move(mesh));
    model.Add(std::move(g));
    TViewCore v;
    v.ResetView(640, 480);
    v.FShowHierarchy = false;
    TSoftCanvas c(640, 480, BackgroundColor);
    v.PaintView(c, {&model, &nodes, 0, 0}, 640, 480);
    EXPECT_EQ(c.Pixel(420, 240), PolygonWireColor); // corner 0
    EXPECT_EQ(c.Pixel(420, 244), PolygonWireColor); // on the edge from corner 39
    EXPECT_EQ(c.Pixel(320, 340), PolygonWireColor); // corner 30 (bottom)
}
