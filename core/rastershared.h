// The drawing rules every device driver follows (see TRenderView): camera transform and
// projection scale, face normals, back faces, the camera-space lights, flat lighting and shade
// quantizing. The software rasterizer and the OpenGL driver both take them from here, so the
// two cannot come to draw differently.
#pragma once

#include "d3drm.h"

#include <cstdint>
#include <vector>

struct TVec3
{
    float X, Y, Z;
};

inline TVec3 Sub(const TVec3& a, const TVec3& b)
{
    return {a.X - b.X, a.Y - b.Y, a.Z - b.Z};
}

inline TVec3 Cross(const TVec3& a, const TVec3& b)
{
    return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}

inline float Dot(const TVec3& a, const TVec3& b)
{
    return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}

// The unnormalized normal of a face of `size` >= 3 corners whose vertex i is at
// positions[3 * i]: (v1 - v0) x (v2 - v0) for a triangle, Newell's method (stable for any
// planar-ish polygon) for more corners.
inline TVec3 FaceNormal(const float* positions, const std::uint32_t* corners, std::uint32_t size)
{
    auto vertex = [&](std::uint32_t i) {
        return TVec3{positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]};
    };
    const TVec3 v0 = vertex(corners[0]);
    if (size == 3)
        return Cross(Sub(vertex(corners[1]), v0), Sub(vertex(corners[2]), v0));
    TVec3 normal = {0, 0, 0};
    for (std::uint32_t k = 0; k < size; ++k)
    {
        const TVec3 a = vertex(corners[k]);
        const TVec3 b = vertex(corners[(k + 1) % size]);
        normal.X += (a.Y - b.Y) * (a.Z + b.Z);
        normal.Y += (a.Z - b.Z) * (a.X + b.X);
        normal.Z += (a.X - b.X) * (a.Y + b.Y);
    }
    return normal;
}

// Whether a face with this normal and a corner at `corner` (camera coordinates) faces the eye
// at the origin; faces that do not are not drawn.
inline bool FacesEye(const TVec3& normal, const TVec3& corner)
{
    return Dot(normal, corner) < 0;
}

// p * first then * second, for row-vector transforms.
TMatrix43 CombineTransforms(const TMatrix43& first, const TMatrix43& second);

// Pixels per unit of x/z and y/z: Height / (2 * Field).
float PixelsPerUnit(const TRenderView& view);

// The view's lighting in camera coordinates.
struct TCameraLights
{
    bool Lit = false; // Quality has D3DRMLIGHT_ON; unlit faces keep their own colour
    float Ambient[3] = {0, 0, 0};
    std::vector<TVec3> Directions; // where each directional light shines to
    std::vector<TVec3> Colors;
    std::uint32_t Shades = 0;
};

TCameraLights CameraLights(const TRenderView& view);

// The 8-bit channel value of a lit colour component (0 .. 1) after quantizing it to
// `shades` steps (no quantizing below 2).
std::uint8_t ShadeChannel(float value, std::uint32_t shades);

// The 0xFFRRGGBB colour of a face with the given unit normal (camera coordinates) and
// material colour (RGB, 0 .. 1).
std::uint32_t FaceColor(const TCameraLights& lights, const TVec3& unitNormal,
                        const float* material);
