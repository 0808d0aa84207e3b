// The orthographic view without its window.
#include "view/viewcore.h"

#include "base/U_String.h"
#include "view/colors.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace
{
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

std::int32_t Saturate(std::int64_t v)
{
    if (v < kIntMin)
        return kIntMin;
    if (v > kIntMax)
        return kIntMax;
    return static_cast<std::int32_t>(v);
}

// Horizontal and vertical screen axes of a model point on a plane. An unknown plane value
// behaves as the front plane.
std::pair<double, double> PlaneAxes(TViewPlane plane, double x, double y, double z)
{
    switch (plane)
    {
    case vpSide:
        return {y, z};
    case vpTop:
        return {x, y};
    case vpFront:
    default:
        return {x, z};
    }
}
} // namespace

TViewScene CurrentScene()
{
    return {CurrentModel.get(), HierarchyNodes.get(), CurrentGeoSetIndex, CurrentMeshIndex};
}

std::int32_t Nearest(double v)
{
    if (std::isnan(v))
        return kIntMin;
    // nearbyint honours the rounding mode, which is to-nearest-even unless someone changed it.
    const double r = std::nearbyint(v);
    if (r >= 2147483647.0)
        return kIntMax;
    if (r <= -2147483648.0)
        return kIntMin;
    return static_cast<std::int32_t>(r);
}

std::string FormatReadoutNumber(double v)
{
    char small[64];
    const int n = std::snprintf(small, sizeof small, "%12.6f", v);
    if (n >= 0 && n < static_cast<int>(sizeof small))
        return TrimLeadingSpaces(small);
    // Huge values keep all their digits.
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), "%12.6f", v);
    big.resize(static_cast<std::size_t>(n));
    return TrimLeadingSpaces(big);
}

TViewCore::TViewCore()
{
    FMatrix.SetIdentity();
}

void TViewCore::ResetView(int matWidth, int matHeight)
{
    FZoom = kDefaultZoom;
    FCenterX = matWidth / 2;
    FCenterY = matHeight / 2;
    FPlane = vpFront;
    FPickMode = pkPolygon;
    FUseOffsets = true;
    FShowGrid = false;
    FShowHierarchy = true;
    FShowBoxes = false;
}

void TViewCore::Resize(int matWidth, int matHeight)
{
    FCenterX = matWidth / 2;
    FCenterY = matHeight / 2;
}

std::int32_t TViewCore::ModelToScreenX(double h) const
{
    return Nearest((h - FPanX) * FZoom + FCenterX);
}

std::int32_t TViewCore::ModelToScreenY(double v) const
{
    return Nearest((FPanY - v) * FZoom + FCenterY);
}

double TViewCore::ScreenToModelX(std::int32_t sx) const
{
    return (static_cast<double>(sx) - FCenterX) / FZoom + FPanX;
}

double TViewCore::ScreenToModelY(std::int32_t sy) const
{
    return (static_cast<double>(FCenterY) - sy) / FZoom + FPanY;
}

void TViewCore::ScreenToModel(std::int32_t sx, std::int32_t sy, double& x, double& y,
                              double& z) const
{
    const double h = ScreenToModelX(sx);
    const double v = ScreenToModelY(sy);
    switch (FPlane)
    {
    case vpSide:
        x = 0.0, y = h, z = v;
        break;
    case vpTop:
        x = h, y = v, z = 0.0;
        break;
    case vpFront:
    default:
        x = h, y = 0.0, z = v;
        break;
    }
}

bool TViewCore::ProjectParallel(TProjPoint& p) const
{
    const auto [h, v] = PlaneAxes(FPlane, p.x, p.y, p.z);
    const double fx = (h - FPanX) * FZoom + FCenterX;
    const double fy = (FPanY - v) * FZoom + FCenterY;
    p.sx = Nearest(fx);
    p.sy = Nearest(fy);
    return !std::isnan(fx) && !std::isnan(fy);
}

bool TViewCore::ProjectPerspective(TProjPoint& p) const
{
    // Eye at the origin looking along +y, image plane at y = 1.
    const double a = p.x / p.y;
    const double b = p.z / p.y;
    const double fx = (a - FPanX) * FZoom + FCenterX;
    const double fy = (FPanY - b) * FZoom + FCenterY;
    p.sx = Nearest(fx);
    p.sy = Nearest(fy);
    // Deliberate: a point at or behind the eye has no image; callers leave it out.
    return p.y > 0.0 && !std::isnan(fx) && !std::isnan(fy);
}

bool TViewCore::Project(TProjPoint& p) const
{
    return FProjection == prPerspective ? ProjectPerspective(p) : ProjectParallel(p);
}

std::string TViewCore::ReadoutText(std::int32_t sx, std::int32_t sy) const
{
    double x = 0, y = 0, z = 0;
    ScreenToModel(sx, sy, x, y, z);
    std::string depth = "@";
    depth.append(FormatReadoutNumber(FDepth));
    std::string xText = FormatReadoutNumber(x);
    std::string zText = FormatReadoutNumber(z);
    std::string yText = FormatReadoutNumber(y);
    switch (FPlane)
    {
    case vpSide:
        xText = depth;
        break;
    case vpTop:
        zText = depth;
        break;
    case vpFront:
    default:
        yText = depth;
        break;
    }
    // Slots in the order x, z, y.
    std::string text = "(";
    text.append(xText).append(", ").append(zText).append(", ").append(yText).append(")");
    return text;
}

bool TViewCore::KeyCommand(std::uint16_t key, unsigned shift)
{
    if (shift == 0)
    {
        switch (key)
        {
        case kVkPageUp:
            FDepth = FDepth + 1.0 / FZoom;
            return true;
        case kVkPageDown:
            FDepth = FDepth - 1.0 / FZoom;
            return true;
        case kVkLeft:
            FPanX = FPanX + FPanStep;
            return true;
        case kVkUp:
            FPanY = FPanY - FPanStep;
            return true;
        case kVkRight:
            FPanX = FPanX - FPanStep;
            return true;
        case kVkDown:
            FPanY = FPanY + FPanStep;
            return true;
        case 'A':
            FProjection = prParallel;
            return true;
        case 'B':
            FShowBoxes = !FShowBoxes;
            return true;
        case 'E':
            FProjection = prPerspective;
            return true;
        case 'F':
            FPlane = vpFront;
            return true;
        case 'M':
            FShowHierarchy = !FShowHierarchy;
            return true;
        case 'O':
            FUseOffsets = !FUseOffsets;
            return true;
        case 'P':
            FPickMode = pkPolygon;
            return true;
        case 'R':
            FPlane = vpSide;
            return true;
        case 'T':
            FPlane = vpTop;
            return true;
        case 'V':
            FPickMode = pkVertex;
            return true;
        case kVkAdd:
            FZoom = FZoom * FZoomFactor;
            return true;
        case kVkSeparator:
        case kVkSubtract:
            FZoom = FZoom / FZoomFactor;
            return true;
        default:
            return false;
        }
    }
    if (shift == ssShift)
    {
        switch (key)
        {
        case kVkLeft:
            FPanX = FPanX + FFinePanStep;
            return true;
        case kVkUp:
            FPanY = FPanY - FFinePanStep;
            return true;
        case kVkRight:
            FPanX = FPanX - FFinePanStep;
            return true;
        case kVkDown:
            FPanY = FPanY + FFinePanStep;
            return true;
        default:
            return false;
        }
    }
    if (shift == ssCtrl && key == 'G')
    {
        FShowGrid = !FShowGrid;
        return true;
    }
    return false;
}

void TViewCore::DrawMeshFace(TViewCanvas& canvas, const T3DOMesh& mesh, const T3DOFace& face) const
{
    // The buffers hold as many corners as a face can have (kMaxFaceVertices), so every face
    // is drawn whole.
    std::array<TCanvasPoint, kMaxFaceVertices> points;
    std::array<bool, kMaxFaceVertices> shown;
    const int count = face.VertexCount();
    bool allShown = true;
    for (int k = 0; k < count; ++k)
    {
        const T3DOVertex& v = mesh.Vertices.Get(face.VertexIndexAt(k));
        TProjPoint p;
        p.x = v.X;
        p.y = v.Y;
        p.z = v.Z;
        if (FProjection == prPerspective)
        {
            // The matrix works with z as depth; the model keeps depth in y.
            std::swap(p.y, p.z);
            FMatrix.TransformPoint(p.x, p.y, p.z);
            std::swap(p.y, p.z);
        }
        if (FUseOffsets)
        {
            p.x += mesh.OffsetX;
            p.y += mesh.OffsetY;
            p.z += mesh.OffsetZ;
        }
        shown[k] = Project(p);
        allShown = allShown && shown[k];
        points[k] = {p.sx, p.sy};
    }
    canvas.SetPenColor(PolygonWireColor);
    // Deliberate: an outline with a corner that cannot be projected is left out whole rather
    // than drawn to a wrong place.
    if (allShown)
        canvas.Polygon(std::span<const TCanvasPoint>(points.data(), count));
    if (FPickMode == pkVertex)
    {
        canvas.SetPenColor(VertexColor);
        for (int k = 0; k < count; ++k)
        {
            if (!shown[k])
                continue;
            const std::int64_t sx = points[k].X;
            const std::int64_t sy = points[k].Y;
            canvas.Rectangle(Saturate(sx - 2), Saturate(sy - 2), Saturate(sx + 2),
                             Saturate(sy + 2));
        }
    }
}

void TViewCore::DrawFace(TViewCanvas& canvas, const TViewScene& scene, int geoSet, int mesh,
                         int face)
{
    if (!scene.Model)
        return;
    const T3DOMesh& m = scene.Model->Get(geoSet).Meshes.Get(mesh);
    DrawMeshFace(canvas, m, m.Faces.Get(face));
}

void TViewCore::DrawBox(TViewCanvas& canvas, double ax, double ay, double az, double bx, double by,
                        double bz) const
{
    std::array<TProjPoint, 8> c;
    c[0].x = ax, c[0].y = by, c[0].z = az;
    c[1].x = bx, c[1].y = by, c[1].z = az;
    c[2].x = bx, c[2].y = by, c[2].z = bz;
    c[3].x = ax, c[3].y = by, c[3].z = bz;
    c[4].x = ax, c[4].y = ay, c[4].z = az;
    c[5].x = bx, c[5].y = ay, c[5].z = az;
    c[6].x = bx, c[6].y = ay, c[6].z = bz;
    c[7].x = ax, c[7].y = ay, c[7].z = bz;
    bool allShown = true;
    for (TProjPoint& p : c)
        allShown = Project(p) && allShown;
    canvas.SetPenColor(PolygonWireColor);
    // Deliberate: a box reaching to or behind the eye in perspective is not drawn.
    if (!allShown)
        return;
    canvas.MoveTo(c[0].sx, c[0].sy);
    for (const int k : {1, 2, 3, 0, 4, 5, 6, 7, 4})
        canvas.LineTo(c[k].sx, c[k].sy);
    for (const auto& [from, to] : {std::pair{5, 1}, std::pair{6, 2}, std::pair{7, 3}})
    {
        canvas.MoveTo(c[from].sx, c[from].sy);
        canvas.LineTo(c[to].sx, c[to].sy);
    }
}

void TViewCore::DrawMesh(TViewCanvas& canvas, const T3DOMesh& mesh) const
{
    for (const T3DOFace& face : mesh.Faces)
        DrawMeshFace(canvas, mesh, face);
    if (!FShowBoxes)
        return;
    const double ox = FUseOffsets ? mesh.OffsetX : 0.0;
    const double oy = FUseOffsets ? mesh.OffsetY : 0.0;
    const double oz = FUseOffsets ? mesh.OffsetZ : 0.0;
    DrawBox(canvas, mesh.MinX + ox, mesh.MinY + oy, mesh.MaxZ + oz, mesh.MaxX + ox, mesh.MaxY + oy,
            mesh.MinZ + oz);
}

void TViewCore::DrawNode(TViewCanvas& canvas, const TViewScene& scene, std::int32_t n)
{
    if (!scene.Nodes)
        return;
    const TNodeList& nodes = *scene.Nodes;
    if (FVisited.size() < static_cast<std::size_t>(nodes.Count()))
        FVisited.assign(static_cast<std::size_t>(nodes.Count()), 0);
    if (++FVisitStamp == 0)
    {
        std::fill(FVisited.begin(), FVisited.end(), 0);
        FVisitStamp = 1;
    }
    // Pre-order walk with an explicit stack: the sibling is pushed first so that the whole
    // child subtree is drawn before it, as the recursive form would.
    FNodeStack.clear();
    FNodeStack.push_back(n);
    while (!FNodeStack.empty())
    {
        const std::int32_t index = FNodeStack.back();
        FNodeStack.pop_back();
        if (index == -1)
            continue;
        const T3DONode& node = nodes.Get(index);
        std::uint32_t& mark = FVisited[static_cast<std::size_t>(index)];
        if (mark == FVisitStamp)
            continue; // reached again through a cycle or shared link: drawn already
        mark = FVisitStamp;
        if (node.MeshIndex >= 0)
        {
            if (!scene.Model)
                return;
            DrawMesh(canvas, scene.Model->Get(scene.GeoSet).Meshes.Get(node.MeshIndex));
        }
        FNodeStack.push_back(node.SiblingIndex);
        FNodeStack.push_back(node.ChildIndex);
    }
}

void TViewCore::DrawGrid(TViewCanvas& canvas, int width, int height) const
{
    if (!(FGridSpacing > 0.0) || !(FZoom > 0.0))
        return;
    // Deliberate: dots that would crowd closer than a few pixels are thinned to every 2nd,
    // 4th, ... multiple, which keeps the grid readable and the dot count bounded at any zoom.
    double g = FGridSpacing;
    while (g * FZoom < kMinGridDotDistance)
    {
        g *= 2.0;
        if (!std::isfinite(g))
            return;
    }
    const double left = ScreenToModelX(0) - FGridSpacing;
    const double right = ScreenToModelX(width) + FGridSpacing;
    const double bottom = ScreenToModelY(height) - FGridSpacing;
    const double top = ScreenToModelY(0) + FGridSpacing;
    const double firstColumn = std::ceil(left / g);
    const double firstRow = std::ceil(bottom / g);
    const double columns = std::floor(right / g) - firstColumn + 1;
    const double rows = std::floor(top / g) - firstRow + 1;
    if (!(columns > 0) || !(rows > 0))
        return;
    // Bounded by the window size over the dot distance; guards against absurd pans too.
    const double limit =
        (static_cast<double>(width) + static_cast<double>(height)) / kMinGridDotDistance + 8.0;
    const std::int64_t nc = static_cast<std::int64_t>(std::min(columns, limit));
    const std::int64_t nr = static_cast<std::int64_t>(std::min(rows, limit));
    const std::int32_t color = GridMarksColor;
    for (std::int64_t i = 0; i < nc; ++i)
    {
        const std::int32_t sx = ModelToScreenX((firstColumn + static_cast<double>(i)) * g);
        for (std::int64_t j = 0; j < nr; ++j)
            canvas.SetPixel(sx, ModelToScreenY((firstRow + static_cast<double>(j)) * g), color);
    }
}

void TViewCore::PaintView(TViewCanvas& canvas, const TViewScene& scene, int width, int height)
{
    if (FShowGrid)
        DrawGrid(canvas, width, height);
    if (!scene.Model)
        return;
    if (FShowHierarchy)
    {
        if (!scene.Nodes)
            return;
        const int count = scene.Nodes->Count();
        for (int i = 0; i < count; ++i)
            if (scene.Nodes->Get(i).ParentIndex == -1)
                DrawNode(canvas, scene, i);
        return;
    }
    DrawMesh(canvas, scene.Model->Get(scene.GeoSet).Meshes.Get(scene.Mesh));
}
