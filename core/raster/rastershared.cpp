// The drivers' shared drawing rules.
#include "raster/rastershared.h"

#include <algorithm>
#include <cmath>

TMatrix43 CombineTransforms(const TMatrix43& first, const TMatrix43& second)
{
    const auto& a = first.M;
    const auto& b = second.M;
    TMatrix43 r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 3; ++col)
        {
            float v =
                a[row * 3] * b[col] + a[row * 3 + 1] * b[3 + col] + a[row * 3 + 2] * b[6 + col];
            if (row == 3)
                v += b[9 + col];
            r.M[row * 3 + col] = v;
        }
    return r;
}

float PixelsPerUnit(const TRenderView& view)
{
    return static_cast<float>(view.Height) * 0.5f / view.Field;
}

TCameraLights CameraLights(const TRenderView& view)
{
    TCameraLights lights;
    lights.Lit = (view.Quality & D3DRMLIGHT_MASK) == D3DRMLIGHT_ON;
    lights.Shades = view.Shades;
    for (int c = 0; c < 3; ++c)
        lights.Ambient[c] = view.Lights.Ambient[c];
    const auto& vm = view.View.M;
    for (const TRenderLights::TDirectional& light : view.Lights.Directional)
    {
        const float* d = light.Direction;
        lights.Directions.push_back({d[0] * vm[0] + d[1] * vm[3] + d[2] * vm[6],
                                     d[0] * vm[1] + d[1] * vm[4] + d[2] * vm[7],
                                     d[0] * vm[2] + d[1] * vm[5] + d[2] * vm[8]});
        lights.Colors.push_back({light.Color[0], light.Color[1], light.Color[2]});
    }
    return lights;
}

std::uint8_t ShadeChannel(float value, std::uint32_t shades)
{
    // NaN (from an overflowing normal) counts as dark.
    float v = value > 0 ? std::min(value, 1.0f) : 0.0f;
    if (shades >= 2)
    {
        const float steps = static_cast<float>(shades - 1);
        v = std::floor(v * steps + 0.5f) / steps;
    }
    return static_cast<std::uint8_t>(std::floor(v * 255.0f + 0.5f));
}

std::uint32_t FaceColor(const TCameraLights& lights, const D3DVECTOR& unitNormal,
                        const float* material)
{
    float light[3] = {1, 1, 1};
    if (lights.Lit)
    {
        light[0] = lights.Ambient[0];
        light[1] = lights.Ambient[1];
        light[2] = lights.Ambient[2];
        for (std::size_t i = 0; i < lights.Directions.size(); ++i)
        {
            // A face is lit by a light shining against its normal.
            const float facing = -VectorDot(unitNormal, lights.Directions[i]);
            if (facing > 0)
            {
                light[0] += facing * lights.Colors[i].x;
                light[1] += facing * lights.Colors[i].y;
                light[2] += facing * lights.Colors[i].z;
            }
        }
    }
    std::uint32_t rgb = 0xFF000000u;
    for (int c = 0; c < 3; ++c)
        rgb |= std::uint32_t{ShadeChannel(std::min(light[c], 1.0f) * material[c], lights.Shades)}
               << (16 - 8 * c);
    return rgb;
}
