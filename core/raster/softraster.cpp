// Software rasterizer: per-face lighting, clipping in camera space, fixed-point edge tests.
#include "raster/softraster.h"

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
// Inlined: it runs for nearly every face, and a call costs as much as its work.
[[gnu::always_inline]] inline bool BoxHasCentre(const TTarget& t, const std::int32_t* x,
                                                const std::int32_t* y)
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

// A triangle's corners on the screen (pixels), with 1/z, in drawing order; Order[k] is the
// given corner that became corner k.
struct TScreenCorners
{
    double X[3], Y[3], W[3];
    int Order[3];
};

// v = A x + B y + C through the corners' values.
struct TPlane
{
    double A = 0, B = 0, C = 0;
};

TPlane SolvePlane(const TScreenCorners& c, const double (&v)[3])
{
    const double* fx = c.X;
    const double* fy = c.Y;
    const double det = (fx[1] - fx[0]) * (fy[2] - fy[0]) - (fx[2] - fx[0]) * (fy[1] - fy[0]);
    TPlane p;
    p.A = ((v[1] - v[0]) * (fy[2] - fy[0]) - (v[2] - v[0]) * (fy[1] - fy[0])) / det;
    p.B = ((v[2] - v[0]) * (fx[1] - fx[0]) - (v[1] - v[0]) * (fx[2] - fx[0])) / det;
    p.C = v[0] - p.A * fx[0] - p.B * fy[0];
    return p;
}

// One screen-space triangle in fixed point: the depth test keeps the largest 1/z, and the
// shader decides what a pixel that passes it becomes.
template <class TShader>
void ScanTriangle(const TTarget& t, const std::int64_t (&x)[3], const std::int64_t (&y)[3],
                  const float (&w)[3], TShader& shader)
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
    const TScreenCorners c = {
        {static_cast<double>(vx[0]) / kSubOne, static_cast<double>(vx[1]) / kSubOne,
         static_cast<double>(vx[2]) / kSubOne},
        {static_cast<double>(vy[0]) / kSubOne, static_cast<double>(vy[1]) / kSubOne,
         static_cast<double>(vy[2]) / kSubOne},
        {w[0], w[idx[1]], w[idx[2]]},
        {idx[0], idx[1], idx[2]}};
    const TPlane depthPlane = SolvePlane(c, c.W);
    shader.Begin(c);

    for (int py = minY; py <= maxY; ++py)
    {
        std::int64_t e0 = rowStart[0], e1 = rowStart[1], e2 = rowStart[2];
        std::uint32_t* colorRow = t.Color + static_cast<std::ptrdiff_t>(py) * t.Stride;
        float* depthRow = t.Depth + static_cast<std::ptrdiff_t>(py) * t.Stride;
        const double rowDepth = depthPlane.B * (py + 0.5) + depthPlane.C;
        shader.Row(py);
        for (int px = minX; px <= maxX; ++px)
        {
            if ((e0 | e1 | e2) >= 0)
            {
                const float depth = static_cast<float>(depthPlane.A * (px + 0.5) + rowDepth);
                if (depth > depthRow[px])
                    shader.Pixel(px, depth, colorRow[px], depthRow[px]);
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

// A face in one colour.
struct TFlatShader
{
    std::uint32_t Color;
    void Begin(const TScreenCorners&) {}
    void Row(int) {}
    void Pixel(int, float depth, std::uint32_t& color, float& depthCell) const
    {
        depthCell = depth;
        color = Color;
    }
};

void DrawTriangle(const TTarget& t, const std::int64_t (&x)[3], const std::int64_t (&y)[3],
                  const float (&w)[3], std::uint32_t color)
{
    TFlatShader shader{color};
    ScanTriangle(t, x, y, w, shader);
}

// Added: a face with looks: a texture's texels times the face's light, or its flat colour;
// opaque or translucent. U and V hold the corners' texture coordinates in the order the
// triangle was given.
template <bool Textured, bool Translucent> struct TLookShader
{
    explicit TLookShader(std::uint32_t color, const TRenderTexture* texture = nullptr)
        : Color(color), Texture(texture)
    {
    }

    std::uint32_t Color; // the flat colour, or the light a texel is multiplied by
    const TRenderTexture* Texture;
    float U[3] = {}, V[3] = {};

    TPlane UPlane, VPlane;
    double RowU = 0, RowV = 0;
    int MaskU = -1, MaskV = -1; // width - 1 and height - 1 when powers of two

    void Begin(const TScreenCorners& c)
    {
        if constexpr (Textured)
        {
            // u/z and v/z are planes over the screen; u = (u/z) / (1/z). Both in texels.
            const int w = Texture->Width, h = Texture->Height;
            const double uw[3] = {U[c.Order[0]] * c.W[0] * w, U[c.Order[1]] * c.W[1] * w,
                                  U[c.Order[2]] * c.W[2] * w};
            const double vw[3] = {V[c.Order[0]] * c.W[0] * h, V[c.Order[1]] * c.W[1] * h,
                                  V[c.Order[2]] * c.W[2] * h};
            UPlane = SolvePlane(c, uw);
            VPlane = SolvePlane(c, vw);
            MaskU = (w & (w - 1)) == 0 ? w - 1 : -1;
            MaskV = (h & (h - 1)) == 0 ? h - 1 : -1;
        }
    }

    void Row(int py)
    {
        if constexpr (Textured)
        {
            RowU = UPlane.B * (py + 0.5) + UPlane.C;
            RowV = VPlane.B * (py + 0.5) + VPlane.C;
        }
    }

    static int Wrap(double s, int size, int mask)
    {
        // Within the reach of an int whatever the planes gave, NaN included; then rounded
        // down (std::floor is a library call on the baseline instruction set).
        const double c = s > -1e9 ? (s < 1e9 ? s : 1e9) : -1e9;
        const int truncated = static_cast<int>(c);
        const int i = truncated - (c < truncated ? 1 : 0);
        if (mask >= 0)
            return i & mask;
        const int r = i % size;
        return r < 0 ? r + size : r;
    }

    void Pixel(int px, float depth, std::uint32_t& color, float& depthCell) const
    {
        std::uint32_t out = Color;
        if constexpr (Textured)
        {
            const double x = px + 0.5;
            const double inverse = 1.0 / depth;
            const int w = Texture->Width, h = Texture->Height;
            const int tx = Wrap((UPlane.A * x + RowU) * inverse, w, MaskU);
            const int ty = Wrap((VPlane.A * x + RowV) * inverse, h, MaskV);
            const std::uint32_t texel =
                Texture->Texels[static_cast<std::size_t>(ty) * static_cast<std::size_t>(w) +
                                static_cast<std::size_t>(tx)];
            if (texel >> 24 < 128)
                return; // cut out: neither colour nor depth
            out = ModulateTexel(texel, Color);
        }
        if constexpr (Translucent)
            out = BlendTranslucent(out, color);
        depthCell = depth;
        color = out;
    }
};

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

// A corner of a polygon being clipped: a point in camera coordinates, with texture coordinates
// for faces that have them.
struct TClipCorner
{
    D3DVECTOR P;
    float U = 0, V = 0;
};

const D3DVECTOR& Position(const D3DVECTOR& v)
{
    return v;
}

const D3DVECTOR& Position(const TClipCorner& v)
{
    return v.P;
}

D3DVECTOR Between(const D3DVECTOR& s, const D3DVECTOR& e, float f)
{
    return {s.x + (e.x - s.x) * f, s.y + (e.y - s.y) * f, s.z + (e.z - s.z) * f};
}

TClipCorner Between(const TClipCorner& s, const TClipCorner& e, float f)
{
    return {Between(s.P, e.P, f), s.U + (e.U - s.U) * f, s.V + (e.V - s.V) * f};
}

// Draws a convex polygon as a fan: draw(x, y, w, corners) for each triangle.
template <class TCorner, class TDraw>
void DrawPolygon(const TProjection& p, const TCorner* v, int count, TDraw&& draw)
{
    std::int64_t x[3], y[3];
    float w[3];
    auto project = [&](const TCorner& corner, int slot)
    {
        const D3DVECTOR& a = Position(corner);
        const float inv = 1.0f / a.z;
        w[slot] = inv;
        return ToFixed(p.CenterX + a.x * inv * p.Scale, x[slot]) &&
               ToFixed(p.CenterY - a.y * inv * p.Scale, y[slot]) && std::isfinite(inv);
    };
    if (!project(v[0], 0))
        return;
    for (int k = 1; k + 1 < count; ++k)
        if (project(v[k], 1) && project(v[k + 1], 2))
            draw(x, y, w, v[0], v[k], v[k + 1]);
}

// Clips a triangle against the planes it crosses (Sutherland-Hodgman) and draws the rest.
template <class TCorner, class TDraw>
void DrawClipped(const TProjection& p, const TCorner& a, const TCorner& b, const TCorner& c,
                 TDraw&& draw)
{
    float da[6], db[6], dc[6];
    PlaneDistances(Position(a), p, da);
    PlaneDistances(Position(b), p, db);
    PlaneDistances(Position(c), p, dc);
    int crossed = 0;
    for (int k = 0; k < 6; ++k)
    {
        if (da[k] < 0 && db[k] < 0 && dc[k] < 0)
            return;
        if (da[k] < 0 || db[k] < 0 || dc[k] < 0)
            crossed |= 1 << k;
    }
    TCorner poly[12] = {a, b, c};
    if (crossed == 0)
    {
        DrawPolygon(p, poly, 3, draw);
        return;
    }
    int count = 3;
    TCorner next[12];
    for (int k = 0; k < 6 && count >= 3; ++k)
    {
        if (!(crossed & (1 << k)))
            continue;
        int out = 0;
        for (int i = 0; i < count; ++i)
        {
            const TCorner& s = poly[i];
            const TCorner& e = poly[(i + 1) % count];
            float ds[6], de[6];
            PlaneDistances(Position(s), p, ds);
            PlaneDistances(Position(e), p, de);
            if (ds[k] >= 0)
                next[out++] = s;
            if ((ds[k] >= 0) != (de[k] >= 0))
                next[out++] = Between(s, e, ds[k] / (ds[k] - de[k]));
        }
        count = out;
        std::copy(next, next + count, poly);
    }
    if (count >= 3)
        DrawPolygon(p, poly, count, draw);
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

// Which faces a drawing pass draws: the opaque ones first, then the translucent ones.
enum class TPass
{
    Opaque,
    Translucent
};

// Added: one face with looks through its shader. `uv` holds the face's reduced texture
// coordinates (textured shaders only).
template <class TShader>
void DrawLookFace(const TTarget& t, const TProjection& p, TShader& shader, bool clipped,
                  const TProjected* screen, const std::uint32_t* corners, std::uint32_t size,
                  const float* cam, const float* uv)
{
    auto setCorners = [&](const float* a, const float* b, const float* c)
    {
        if (!uv)
            return;
        shader.U[0] = a[0];
        shader.V[0] = a[1];
        shader.U[1] = b[0];
        shader.V[1] = b[1];
        shader.U[2] = c[0];
        shader.V[2] = c[1];
    };
    if (!clipped)
    {
        const TProjected& a = screen[corners[0]];
        for (std::uint32_t k = 1; k + 1 < size; ++k)
        {
            const TProjected& b = screen[corners[k]];
            const TProjected& c = screen[corners[k + 1]];
            const std::int64_t xs[3] = {a.X, b.X, c.X}, ys[3] = {a.Y, b.Y, c.Y};
            const float ws[3] = {a.W, b.W, c.W};
            if (uv)
                setCorners(uv, uv + 2 * k, uv + 2 * k + 2);
            ScanTriangle(t, xs, ys, ws, shader);
        }
        return;
    }
    auto corner = [&](std::uint32_t k)
    {
        const std::uint32_t i = corners[k];
        TClipCorner c{{cam[3 * i], cam[3 * i + 1], cam[3 * i + 2]}};
        if (uv)
        {
            c.U = uv[2 * k];
            c.V = uv[2 * k + 1];
        }
        return c;
    };
    const TClipCorner first = corner(0);
    for (std::uint32_t k = 1; k + 1 < size; ++k)
        DrawClipped(p, first, corner(k), corner(k + 1),
                    [&](const std::int64_t(&x)[3], const std::int64_t(&y)[3], const float(&w)[3],
                        const TClipCorner& a, const TClipCorner& b, const TClipCorner& c)
                    {
                        const float ua[2] = {a.U, a.V}, ub[2] = {b.U, b.V}, uc[2] = {c.U, c.V};
                        setCorners(ua, ub, uc);
                        ScanTriangle(t, x, y, w, shader);
                    });
}

// Draws the faces of `pass` among [first, last) of a mesh whose corners start at
// Indices[corner].
// HasLooks: whether the mesh has looks. A mesh without them, as the preview draws it by
// default, takes the plain path the compiler makes of it, without a test per face for looks.
template <bool HasLooks>
void DrawFaces(const TTarget& t, const TProjection& p, const TCameraLights& s,
               const TRenderMesh& mesh, const float* cam, const TProjected* screen,
               std::size_t first, std::size_t last, std::size_t corner, TPass pass)
{
    const std::uint32_t* indices = mesh.Indices.data();
    auto vertex = [&](std::uint32_t i) {
        return D3DVECTOR{cam[3 * i], cam[3 * i + 1], cam[3 * i + 2]};
    };
    const TFaceLooks& looks = mesh.Looks;
    constexpr bool hasLooks = HasLooks;
    TCameraLights unlit;
    if (hasLooks)
    {
        unlit = s;
        unlit.Lit = false;
    }
    std::vector<float> uv;
    for (std::size_t f = first; f < last; ++f)
    {
        const std::uint32_t size = mesh.FaceSizes[f];
        const std::size_t faceCorner = corner;
        const std::uint32_t* corners = indices + corner;
        corner += size;
        if (size < 3)
            continue; // points and lines have no area
        const std::uint8_t flags = hasLooks ? looks.FaceFlags[f] : 0;
        if ((flags & kFaceHidden) ||
            ((flags & kFaceTranslucent) != 0) != (pass == TPass::Translucent))
            continue;
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
        D3DVECTOR normal = FaceNormal(cam, corners, size);
        if (!FacesEye(normal, v0))
        {
            if (!(flags & kFaceDoubleSided))
                continue;
            normal = {-normal.x, -normal.y, -normal.z};
        }
        const float length = VectorLength(normal);
        const D3DVECTOR unit = {normal.x / length, normal.y / length, normal.z / length};
        const std::uint32_t color =
            FaceColor((flags & kFaceFullBright) ? unlit : s, unit, &mesh.FaceColors[3 * f]);
        const std::int32_t texture = hasLooks ? looks.FaceTextures[f] : -1;
        const bool translucent = (flags & kFaceTranslucent) != 0;
        if (texture < 0 && !translucent)
        {
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
                    DrawClipped(p, v0, vertex(corners[k]), vertex(corners[k + 1]),
                                [&](const std::int64_t(&x)[3], const std::int64_t(&y)[3],
                                    const float(&w)[3], const D3DVECTOR&, const D3DVECTOR&,
                                    const D3DVECTOR&) { DrawTriangle(t, x, y, w, color); });
            continue;
        }
        const bool clipped = outAny != 0;
        if (texture < 0)
        {
            TLookShader<false, true> shader(color);
            DrawLookFace(t, p, shader, clipped, screen, corners, size, cam, nullptr);
            continue;
        }
        uv.resize(2 * static_cast<std::size_t>(size));
        ReduceTexCoords(&looks.TexCoords[2 * faceCorner], size, uv.data());
        const TRenderTexture* image = looks.Textures[static_cast<std::size_t>(texture)].get();
        if (translucent)
        {
            TLookShader<true, true> shader(color, image);
            DrawLookFace(t, p, shader, clipped, screen, corners, size, cam, uv.data());
        }
        else
        {
            TLookShader<true, false> shader(color, image);
            DrawLookFace(t, p, shader, clipped, screen, corners, size, cam, uv.data());
        }
    }
}

bool HasTranslucentFaces(const TRenderMesh& mesh)
{
    return std::any_of(mesh.Looks.FaceFlags.begin(), mesh.Looks.FaceFlags.end(),
                       [](std::uint8_t f)
                       { return (f & (kFaceTranslucent | kFaceHidden)) == kFaceTranslucent; });
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
        if (!FFrame.Coverage.empty())
            std::fill(FFrame.Coverage.begin() + start + x0, FFrame.Coverage.begin() + start + x1,
                      0);
    }
}

void TSoftwareRasterizer::Render(const TRenderView& view)
{
    for (const TRenderItem& item : view.Items)
        if (item.Mesh)
            RenderItem(view, item, false);
    // Added: translucent faces over everything opaque, item by item in face order.
    for (const TRenderItem& item : view.Items)
        if (item.Mesh && HasTranslucentFaces(*item.Mesh))
            RenderItem(view, item, true);
    if (!view.Coverage)
    {
        FFrame.Coverage.clear();
        return;
    }
    // Whatever was drawn has a depth; a cleared pixel has none.
    FFrame.Coverage.resize(FFrame.Pixels.size(), 0);
    const int x0 = std::max(view.X, 0), y0 = std::max(view.Y, 0);
    const int x1 = std::min(view.X + view.Width, FFrame.Width);
    const int y1 = std::min(view.Y + view.Height, FFrame.Height);
    // Plain pointers: a byte store through the vector could alias anything, which would keep
    // the compiler from doing this a vector register at a time.
    std::uint8_t* const coverage = FFrame.Coverage.data();
    const float* const depth = FDepth.data();
    for (int row = y0; row < y1; ++row)
    {
        const std::size_t start = static_cast<std::size_t>(row) * FFrame.Width;
        std::uint8_t* out = coverage + start;
        const float* in = depth + start;
        for (int x = x0; x < x1; ++x)
            out[x] = in[x] > 0 ? 1 : 0;
    }
}

void TSoftwareRasterizer::RenderItem(const TRenderView& view, const TRenderItem& item,
                                     bool translucent)
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
    // Translucent faces blend in order, so one thread draws them.
    const bool parallel = FThreadCount == 2 && faceCount >= kParallelFaces && !translucent;
    const TPass pass = translucent ? TPass::Translucent : TPass::Opaque;
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
    const auto drawFaces = mesh.Looks.Empty() ? DrawFaces<false> : DrawFaces<true>;
    if (!parallel)
    {
        drawFaces(main, proj, shading, mesh, FCameraPositions.data(), FScreen.data(), 0, faceCount,
                  0, pass);
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
                     drawFaces(main, proj, shading, mesh, FCameraPositions.data(), FScreen.data(),
                               0, split, 0, pass);
                 else
                     drawFaces(aux, proj, shading, mesh, FCameraPositions.data(), FScreen.data(),
                               split, faceCount, splitCorner, pass);
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

TDriverRegistration SoftwareDriverRegistration()
{
    TDriverRegistration software;
    software.Guid = kSoftwareDriverGuid;
    software.Description = kSoftwareDriverDescription;
    software.Name = kSoftwareDriverName;
    software.HELDesc.dcmColorModel = D3DCOLOR_RGB;
    software.HELDesc.dwDeviceRenderBitDepth = DDBD_8 | DDBD_16 | DDBD_24 | DDBD_32;
    software.HELDesc.dwDeviceZBufferBitDepth = DDBD_32;
    software.Factory = [](int width, int height) { return CreateSoftwareDriver(width, height); };
    return software;
}
