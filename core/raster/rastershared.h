// The drawing rules every device driver follows (see TRenderView): camera transform and
// projection scale, face normals, back faces, the camera-space lights, flat lighting and shade
// quantizing. The software rasterizer and the OpenGL driver both take them from here, so the
// two cannot come to draw differently.
#pragma once

#include "scene/d3ddriver.h"

#include <cmath>
#include <cstdint>
#include <vector>

// The unnormalized normal of a face of `size` >= 3 corners whose vertex i is at
// positions[3 * i]: (v1 - v0) x (v2 - v0) for a triangle, Newell's method (stable for any
// planar-ish polygon) for more corners.
inline D3DVECTOR FaceNormal(const float* positions, const std::uint32_t* corners,
                            std::uint32_t size)
{
    auto vertex = [&](std::uint32_t i) {
        return D3DVECTOR{positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]};
    };
    const D3DVECTOR v0 = vertex(corners[0]);
    if (size == 3)
        return VectorCross(VectorSub(vertex(corners[1]), v0), VectorSub(vertex(corners[2]), v0));
    D3DVECTOR normal = {0, 0, 0};
    for (std::uint32_t k = 0; k < size; ++k)
    {
        const D3DVECTOR a = vertex(corners[k]);
        const D3DVECTOR b = vertex(corners[(k + 1) % size]);
        normal.x += (a.y - b.y) * (a.z + b.z);
        normal.y += (a.z - b.z) * (a.x + b.x);
        normal.z += (a.x - b.x) * (a.y + b.y);
    }
    return normal;
}

// Whether a face with this normal and a corner at `corner` (camera coordinates) faces the eye
// at the origin; faces that do not are not drawn.
inline bool FacesEye(const D3DVECTOR& normal, const D3DVECTOR& corner)
{
    return VectorDot(normal, corner) < 0;
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
    std::vector<D3DVECTOR> Directions; // where each directional light shines to
    std::vector<D3DVECTOR> Colors;
    std::uint32_t Shades = 0;
};

TCameraLights CameraLights(const TRenderView& view);

// The 8-bit channel value of a lit colour component (0 .. 1) after quantizing it to
// `shades` steps (no quantizing below 2).
std::uint8_t ShadeChannel(float value, std::uint32_t shades);

// The 0xFFRRGGBB colour of a face with the given unit normal (camera coordinates) and
// material colour (RGB, 0 .. 1).
std::uint32_t FaceColor(const TCameraLights& lights, const D3DVECTOR& unitNormal,
                        const float* material);

// Added: the texture coordinates of a face's `corners` corners (u, v each) as drivers use
// them: moved by whole repeats so that the first corner's lie in [0, 1), which changes nothing
// drawn and keeps them precise; then kept within kTexCoordLimit repeats, a value that is not a
// number taken as 0.
inline constexpr float kTexCoordLimit = 65536.0f;

inline void ReduceTexCoords(const float* in, std::uint32_t corners, float* out)
{
    // Comparisons rather than std::fmin and std::fmax, which are library calls.
    auto clamp = [](float v)
    { return v > -kTexCoordLimit ? (v < kTexCoordLimit ? v : kTexCoordLimit) : -kTexCoordLimit; };
    auto finite = [](float v) { return std::isfinite(v) ? v : 0.0f; };
    const float baseU = std::floor(clamp(finite(in[0])));
    const float baseV = std::floor(clamp(finite(in[1])));
    for (std::uint32_t k = 0; k < corners; ++k)
    {
        out[2 * k] = clamp(finite(in[2 * k]) - baseU);
        out[2 * k + 1] = clamp(finite(in[2 * k + 1]) - baseV);
    }
}

// A texel channel times a lit channel (both 0 .. 255), rounded: t * l / 255.
inline std::uint32_t ModulateChannel(std::uint32_t texel, std::uint32_t light)
{
    return (texel * light + 127) / 255;
}

// 0xFFRRGGBB: each channel of `texel` (0xAARRGGBB) times that of `light` (0xFFRRGGBB).
inline std::uint32_t ModulateTexel(std::uint32_t texel, std::uint32_t light)
{
    return 0xFF000000u | ModulateChannel(texel >> 16 & 0xFF, light >> 16 & 0xFF) << 16 |
           ModulateChannel(texel >> 8 & 0xFF, light >> 8 & 0xFF) << 8 |
           ModulateChannel(texel & 0xFF, light & 0xFF);
}

// A translucent face's colour over what is there: (new * 90 + old * 165) / 255 per channel,
// rounded.
inline std::uint32_t BlendTranslucent(std::uint32_t color, std::uint32_t under)
{
    constexpr std::uint32_t a = kTranslucentAlpha, b = 255 - kTranslucentAlpha;
    auto channel = [&](int shift)
    { return ((color >> shift & 0xFF) * a + (under >> shift & 0xFF) * b + 127) / 255 << shift; };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}
