// Software rasterizer: per-face lighting, clipping in camera space, fixed-point edge tests.
#include "softraster.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace
{
// Screen coordinates carry 8 fractional bits, so edge tests are exact integer arithmetic and
// give the same coverage on every machine.
constexpr int kSubBits = 8;
constexpr std::int64_t kSubOne = 1 << kSubBits;
// Polygons are clipped to this many times the half screen around its centre, which keeps the
// fixed-point coordinates small while rarely clipping at all.
constexpr float kGuardBand = 2.0f;
// Below this many faces a mesh is drawn by one thread: splitting costs more than it saves.
constexpr std::size_t kParallelFaces = 20000;

struct TTarget
{
    std::uint32_t* Color;
    float* Depth;
    int Stride;
    int MinX, MinY, MaxX, MaxY; // inclusive pixel rectangle that may be written
};

struct TProjection
{
    float CenterX, CenterY; // device pixels of the view axis
    float Scale;            // pixels per unit of x/z and y/z
    float Front, Back;
    float LimitX, LimitY; // |x/z| and |y/z| allowed before the guard band
};

// Rounds a projected coordinate to fixed point; false for values clipping cannot produce.
bool ToFixed(float v, std::int64_t& fixed)
{
    if (!(std::fabs(v) < 1e7f))
        return false;
    fixed = std::llround(v * static_cast<float>(kSubOne));
    return true;
}

// Whether any pixel centre lies in the bounding box of three fixed-point corners.
bool BoxHasCentre(const TTarget& t, const std::int32_t* x, const std::int32_t* y)
{
    const std::int64_t half = kSubOne / 2;
    const int minX = std::max(
        t.MinX, static_cast<int>((std::min({x[0], x[1], x[2]}) - half + kSubOne - 1) >> kSubBits));
    const int maxX =
        std::min(t.MaxX, static_cast<int>((std::max({x[0], x[1], x[2]}) - half) >> kSubBits));
    if (minX > maxX)
        return false;
    const int minY = std::max(
        t.MinY, static_cast<int>((std::min({y[0], y[1], y[2]}) - half + kSubOne - 1) >> kSubBits));
    const int maxY =
        std::min(t.MaxY, static_cast<int>((std::max({y[0], y[1], y[2]}) - half) >> kSubBits));
    return minY <= maxY;
}

// One screen-space triangle in fixed point: the depth test keeps the largest 1/z.
void DrawTriangle(const TTarget& t, const std::int64_t (&x)[3], const std::int64_t (&y)[3],
                  const float (&w)[3], std::uint32_t color)
{
    std::int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    int i1 = 1, i2 = 2;
    if (area == 0)
        return;
    if (area < 0)
    {
        std::swap(i1, i2);
        area = -area;
    }
    const int idx[3] = {0, i1, i2};
    const std::int64_t vx[3] = {x[0], x[i1], x[i2]};
    const std::int64_t vy[3] = {y[0], y[i1], y[i2]};

    // Pixel centres (i + 0.5) inside the bounding box.
    const std::int64_t half = kSubOne / 2;
    auto firstCentre = [&](std::int64_t v)
    { return static_cast<int>((v - half + kSubOne - 1) >> kSubBits); };
    auto lastCentre = [&](std::int64_t v) { return static_cast<int>((v - half) >> kSubBits); };
    const int minX = std::max(t.MinX, firstCentre(std::min({vx[0], vx[1], vx[2]})));
    const int maxX = std::min(t.MaxX, lastCentre(std::max({vx[0], vx[1], vx[2]})));
    const int minY = std::max(t.MinY, firstCentre(std::min({vy[0], vy[1], vy[2]})));
    const int maxY = std::min(t.MaxY, lastCentre(std::max({vy[0], vy[1], vy[2]})));
    if (minX > maxX || minY > maxY)
        return;

    // Edge a->b: E(p) = (bx-ax)(py-ay) - (by-ay)(px-ax), non-negative inside. Pixels on an
    // edge belong to the triangle only for top and left edges, so shared edges draw once.
    std::int64_t stepX[3], stepY[3], rowStart[3];
    const std::int64_t px0 = (std::int64_t{minX} << kSubBits) + half;
    const std::int64_t py0 = (std::int64_t{minY} << kSubBits) + half;
    for (int e = 0; e < 3; ++e)
    {
        const int a = e, b = (e + 1) % 3;
        const std::int64_t dx = vx[b] - vx[a], dy = vy[b] - vy[a];
        const bool topLeft = (dy == 0 && dx > 0) || dy < 0;
        stepX[e] = -dy * kSubOne;
        stepY[e] = dx * kSubOne;
        rowStart[e] = dx * (py0 - vy[a]) - dy * (px0 - vx[a]) - (topLeft ? 0 : 1);
    }

    // 1/z as a plane over the screen, solved on the rounded corners.
    const double fx[3] = {static_cast<double>(vx[0]) / kSubOne,
                          static_cast<double>(vx[1]) / kSubOne,
                          static_cast<double>(vx[2]) / kSubOne};
    const double fy[3] = {static_cast<double>(vy[0]) / kSubOne,
                          static_cast<double>(vy[1]) / kSubOne,
                          static_cast<double>(vy[2]) / kSubOne};
    const double fw[3] = {w[0], w[idx[1]], w[idx[2]]};
    const double det = (fx[1] - fx[0]) * (fy[2] - fy[0]) - (fx[2] - fx[0]) * (fy[1] - fy[0]);
    const double planeA =
        ((fw[1] - fw[0]) * (fy[2] - fy[0]) - (fw[2] - fw[0]) * (fy[1] - fy[0])) / det;
    const double planeB =
        ((fw[2] - fw[0]) * (fx[1] - fx[0]) - (fw[1] - fw[0]) * (fx[2] - fx[0])) / det;
    const double planeC = fw[0] - planeA * fx[0] - planeB * fy[0];

    for (int py = minY; py <= maxY; ++py)
    {
        std::int64_t e0 = rowStart[0], e1 = rowStart[1], e2 = rowStart[2];
        std::uint32_t* colorRow = t.Color + static_cast<std::ptrdiff_t>(py) * t.Stride;
        float* depthRow = t.Depth + static_cast<std::ptrdiff_t>(py) * t.Stride;
        const double rowDepth = planeB * (py + 0.5) + planeC;
        for (int px = minX; px <= maxX; ++px)
        {
            if ((e0 | e1 | e2) >= 0)
            {
                const float depth = static_cast<float>(planeA * (px + 0.5) + rowDepth);
                if (depth > depthRow[px])
                {
                    depthRow[px] = depth;
                    colorRow[px] = color;
                }
            }
            e0 += stepX[0];
            e1 += stepX[1];
            e2 += stepX[2];
        }
        rowStart[0] += stepY[0];
        rowStart[1] += stepY[1];
        rowStart[2] += stepY[2];
    }
}

// Signed distances to the six clip planes, non-negative inside.
void PlaneDistances(const D3DVECTOR& v, const TProjection& p, float (&d)[6])
{
    d[0] = v.z - p.Front;
    d[1] = p.Back - v.z;
    d[2] = p.LimitX * v.z - v.x;
    d[3] = p.LimitX * v.z + v.x;
    d[4] = p.LimitY * v.z - v.y;
    d[5] = p.LimitY * v.z + v.y;
}

void DrawPolygon(const TTarget& t, const TProjection& p, const D3DVECTOR* v, int count,
                 std::uint32_t color)
{
    std::int64_t x[3], y[3];
    float w[3];
    auto project = [&](const D3DVECTOR& a, int slot)
    {
        const float inv = 1.0f / a.z;
        w[slot] = inv;
        return ToFixed(p.CenterX + a.x * inv * p.Scale, x[slot]) &&
               ToFixed(p.CenterY - a.y * inv * p.Scale, y[slot]) && std::isfinite(inv);
    };
    if (!project(v[0], 0))
        return;
    for (int k = 1; k + 1 < count; ++k)
        if (project(v[k], 1) && project(v[k + 1], 2))
            DrawTriangle(t, x, y, w, color);
}

// Clips a triangle against the planes it crosses (Sutherland-Hodgman) and draws the rest.
void DrawClipped(const TTarget& t, const TProjection& p, const D3DVECTOR& a, const D3DVECTOR& b,
                 const D3DVECTOR& c, std::uint32_t color)
{
    float da[6], db[6], dc[6];
    PlaneDistances(a, p, da);
    PlaneDistances(b, p, db);
    PlaneDistances(c, p, dc);
    int crossed = 0;
    for (int k = 0; k < 6; ++k)
    {
        if (da[k] < 0 && db[k] < 0 && dc[k] < 0)
            return;
        if (da[k] < 0 || db[k] < 0 || dc[k] < 0)
            crossed |= 1 << k;
    }
    D3DVECTOR poly[12] = {a, b, c};
    if (crossed == 0)
    {
        DrawPolygon(t, p, poly, 3, color);
        return;
    }
    int count = 3;
    D3DVECTOR next[12];
    for (int k = 0; k < 6 && count >= 3; ++k)
    {
        if (!(crossed & (1 << k)))
            continue;
        int out = 0;
        for (int i = 0; i < count; ++i)
        {
            const D3DVECTOR& s = poly[i];
            const D3DVECTOR& e = poly[(i + 1) % count];
            float ds[6], de[6];
            PlaneDistances(s, p, ds);
            PlaneDistances(e, p, de);
            if (ds[k] >= 0)
                next[out++] = s;
            if ((ds[k] >= 0) != (de[k] >= 0))
            {
                const float f = ds[k] / (ds[k] - de[k]);
                next[out++] = {s.x + (e.x - s.x) * f, s.y + (e.y - s.y) * f, s.z + (e.z - s.z) * f};
            }
        }
        count = out;
        std::copy(next, next + count, poly);
    }
    if (count >= 3)
        DrawPolygon(t, p, poly, count, color);
}

// A vertex after projection. Out has a bit per clip plane the vertex lies beyond (bit 6:
// not representable); X, Y and W are set only when Out is 0.
struct TProjected
{
    std::int32_t X, Y;
    float W;
    std::uint32_t Out;
};

constexpr std::uint32_t kNotFixed = 1u << 6;

TProjected Project(const D3DVECTOR& v, const TProjection& p)
{
    float d[6];
    PlaneDistances(v, p, d);
    TProjected r{0, 0, 0, 0};
    for (int k = 0; k < 6; ++k)
        if (!(d[k] >= 0))
            r.Out |= 1u << k;
    if (r.Out)
        return r;
    // The same arithmetic as DrawPolygon's, so clipped and unclipped faces meet exactly.
    const float inv = 1.0f / v.z;
    std::int64_t x = 0, y = 0;
    if (!ToFixed(p.CenterX + v.x * inv * p.Scale, x) ||
        !ToFixed(p.CenterY - v.y * inv * p.Scale, y) || !std::isfinite(inv))
    {
        r.Out = kNotFixed;
        return r;
    }
    r.X = static_cast<std::int32_t>(x);
    r.Y = static_cast<std::int32_t>(y);
    r.W = inv;
    return r;
}

// Draws faces [first, last) of a mesh whose corners start at Indices[corner].
void DrawFaces(const TTarget& t, const TProjection& p, const TCameraLights& s,
               const TRenderMesh& mesh, const float* cam, const TProjected* screen,
               std::size_t first, std::size_t last, std::size_t corner)
{
    const std::uint32_t* indices = mesh.Indices.data();
    auto vertex = [&](std::uint32_t i) {
        return D3DVECTOR{cam[3 * i], cam[3 * i + 1], cam[3 * i + 2]};
    };
    for (std::size_t f = first; f < last; ++f)
    {
        const std::uint32_t size = mesh.FaceSizes[f];
        const std::uint32_t* corners = indices + corner;
        corner += size;
        if (size < 3)
            continue; // points and lines have no area
        std::uint32_t outAll = ~0u, outAny = 0;
        for (std::uint32_t k = 0; k < size; ++k)
        {
            outAll &= screen[corners[k]].Out;
            outAny |= screen[corners[k]].Out;
        }
        if (outAll)
            continue; // wholly beyond one plane
        if (outAny == 0)
        {
            // Most faces of a dense model cover no pixel centre: skip them before lighting.
            bool covers = false;
            const TProjected& a = screen[corners[0]];
            for (std::uint32_t k = 1; k + 1 < size && !covers; ++k)
            {
                const TProjected& b = screen[corners[k]];
                const TProjected& c = screen[corners[k + 1]];
                const std::int32_t xs[3] = {a.X, b.X, c.X}, ys[3] = {a.Y, b.Y, c.Y};
                covers = BoxHasCentre(t, xs, ys);
            }
            if (!covers)
                continue;
        }
        const D3DVECTOR v0 = vertex(corners[0]);
        const D3DVECTOR normal = FaceNormal(cam, corners, size);
        if (!FacesEye(normal, v0))
            continue;
        const float length = VectorLength(normal);
        const D3DVECTOR unit = {normal.x / length, normal.y / length, normal.z / length};
        const std::uint32_t color = FaceColor(s, unit, &mesh.FaceColors[3 * f]);
        if (outAny == 0)
        {
            const TProjected& a = screen[corners[0]];
            for (std::uint32_t k = 1; k + 1 < size; ++k)
            {
                const TProjected& b = screen[corners[k]];
                const TProjected& c = screen[corners[k + 1]];
                const std::int64_t xs[3] = {a.X, b.X, c.X}, ys[3] = {a.Y, b.Y, c.Y};
                const float ws[3] = {a.W, b.W, c.W};
                DrawTriangle(t, xs, ys, ws, color);
            }
        }
        else
            for (std::uint32_t k = 1; k + 1 < size; ++k)
                DrawClipped(t, p, v0, vertex(corners[k]), vertex(corners[k + 1]), color);
    }
}

template <class Fn> void RunOnTwo(bool parallel, Fn&& fn)
{
    if (!parallel)
    {
        fn(0, 1);
        return;
    }
    std::thread helper([&] { fn(1, 2); });
    fn(0, 2);
    helper.join();
}
} // namespace

struct TSoftwareRasterizer::TScreenVertex : TProjected
{
};

TSoftwareRasterizer::~TSoftwareRasterizer() = default;

TSoftwareRasterizer::TSoftwareRasterizer(int width, int height)
{
    FFrame.Width = width;
    FFrame.Height = height;
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    FFrame.Pixels.assign(size, 0xFF000000u);
    FFrame.Coverage.assign(size, 0);
    FDepth.assign(size, 0.0f);
}

void TSoftwareRasterizer::Clear(int x, int y, int width, int height, std::uint32_t color)
{
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + width, FFrame.Width), y1 = std::min(y + height, FFrame.Height);
    for (int row = y0; row < y1; ++row)
    {
        const std::size_t start = static_cast<std::size_t>(row) * FFrame.Width;
        std::fill(FFrame.Pixels.begin() + start + x0, FFrame.Pixels.begin() + start + x1, color);
        std::fill(FDepth.begin() + start + x0, FDepth.begin() + start + x1, 0.0f);
        std::fill(FFrame.Coverage.begin() + start + x0, FFrame.Coverage.begin() + start + x1, 0);
    }
}

void TSoftwareRasterizer::Render(const TRenderView& view)
{
    for (const TRenderItem& item : view.Items)
        if (item.Mesh)
            RenderItem(view, item);
    // Whatever was drawn has a depth; a cleared pixel has none.
    const int x0 = std::max(view.X, 0), y0 = std::max(view.Y, 0);
    const int x1 = std::min(view.X + view.Width, FFrame.Width);
    const int y1 = std::min(view.Y + view.Height, FFrame.Height);
    for (int row = y0; row < y1; ++row)
    {
        const std::size_t start = static_cast<std::size_t>(row) * FFrame.Width;
        for (int x = x0; x < x1; ++x)
            FFrame.Coverage[start + x] = FDepth[start + x] > 0 ? 1 : 0;
    }
}

void TSoftwareRasterizer::RenderItem(const TRenderView& view, const TRenderItem& item)
{
    const TRenderMesh& mesh = *item.Mesh;
    const int minX = std::max(view.X, 0), minY = std::max(view.Y, 0);
    const int maxX = std::min(view.X + view.Width, FFrame.Width) - 1;
    const int maxY = std::min(view.Y + view.Height, FFrame.Height) - 1;
    if (minX > maxX || minY > maxY || view.Height <= 0 || view.Field <= 0)
        return;

    TProjection proj;
    proj.CenterX = static_cast<float>(view.X) + static_cast<float>(view.Width) * 0.5f;
    proj.CenterY = static_cast<float>(view.Y) + static_cast<float>(view.Height) * 0.5f;
    proj.Scale = PixelsPerUnit(view);
    proj.Front = view.Front;
    proj.Back = view.Back;
    proj.LimitX = kGuardBand * static_cast<float>(view.Width) * 0.5f / proj.Scale;
    proj.LimitY = kGuardBand * static_cast<float>(view.Height) * 0.5f / proj.Scale;

    const TMatrix43 toCamera = CombineTransforms(item.World, view.View);
    const TCameraLights shading = CameraLights(view);

    const std::size_t vertexCount = mesh.Positions.size() / 3;
    const std::size_t faceCount = mesh.FaceSizes.size();
    const bool parallel = FThreadCount == 2 && faceCount >= kParallelFaces;
    FCameraPositions.resize(vertexCount * 3);
    FScreen.resize(vertexCount);
    RunOnTwo(parallel,
             [&](std::size_t part, std::size_t parts)
             {
                 const auto& m = toCamera.M;
                 const float* in = mesh.Positions.data();
                 float* out = FCameraPositions.data();
                 for (std::size_t i = vertexCount * part / parts;
                      i < vertexCount * (part + 1) / parts; ++i)
                 {
                     const float x = in[3 * i], y = in[3 * i + 1], z = in[3 * i + 2];
                     const D3DVECTOR v = {x * m[0] + y * m[3] + z * m[6] + m[9],
                                          x * m[1] + y * m[4] + z * m[7] + m[10],
                                          x * m[2] + y * m[5] + z * m[8] + m[11]};
                     out[3 * i] = v.x;
                     out[3 * i + 1] = v.y;
                     out[3 * i + 2] = v.z;
                     static_cast<TProjected&>(FScreen[i]) = Project(v, proj);
                 }
             });

    const TTarget main{FFrame.Pixels.data(), FDepth.data(), FFrame.Width, minX, minY, maxX, maxY};
    if (!parallel)
    {
        DrawFaces(main, proj, shading, mesh, FCameraPositions.data(), FScreen.data(), 0, faceCount,
                  0);
        return;
    }
    // The second half of the faces goes to a separate picture, merged afterwards with the
    // same strict depth test: exactly the result of drawing all faces in order.
    const std::size_t size = FFrame.Pixels.size();
    FAuxColor.resize(size);
    FAuxDepth.resize(size);
    for (int row = minY; row <= maxY; ++row)
        std::fill(FAuxDepth.begin() + static_cast<std::ptrdiff_t>(row) * FFrame.Width + minX,
                  FAuxDepth.begin() + static_cast<std::ptrdiff_t>(row) * FFrame.Width + maxX + 1,
                  0.0f);
    const TTarget aux{FAuxColor.data(), FAuxDepth.data(), FFrame.Width, minX, minY, maxX, maxY};
    const std::size_t split = faceCount / 2;
    std::size_t splitCorner = 0;
    for (std::size_t f = 0; f < split; ++f)
        splitCorner += mesh.FaceSizes[f];
    RunOnTwo(true,
             [&](std::size_t part, std::size_t)
             {
                 if (part == 0)
                     DrawFaces(main, proj, shading, mesh, FCameraPositions.data(), FScreen.data(),
                               0, split, 0);
                 else
                     DrawFaces(aux, proj, shading, mesh, FCameraPositions.data(), FScreen.data(),
                               split, faceCount, splitCorner);
             });
    for (int row = minY; row <= maxY; ++row)
    {
        const std::size_t start = static_cast<std::size_t>(row) * FFrame.Width;
        for (int x = minX; x <= maxX; ++x)
            if (FAuxDepth[start + x] > FDepth[start + x])
            {
                FDepth[start + x] = FAuxDepth[start + x];
                FFrame.Pixels[start + x] = FAuxColor[start + x];
            }
    }
}

std::unique_ptr<TDeviceDriver> CreateSoftwareDriver(int width, int height)
{
    return std::make_unique<TSoftwareRasterizer>(width, height);
}
