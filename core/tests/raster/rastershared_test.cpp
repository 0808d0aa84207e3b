// The drawing rules both drivers take: normals, back faces, camera lights and face colours.
#include "raster/rastershared.h"

#include <gtest/gtest.h>

TEST(RasterShared, TriangleAndPolygonNormals)
{
    const float positions[] = {0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0};
    const std::uint32_t triangle[] = {0, 1, 3};
    const D3DVECTOR t = FaceNormal(positions, triangle, 3);
    EXPECT_EQ(t.x, 0.0f);
    EXPECT_EQ(t.y, 0.0f);
    EXPECT_EQ(t.z, 4.0f);
    // Newell's method: twice the area along the normal; corners listed the other way round
    // turn it over.
    const std::uint32_t square[] = {0, 3, 2, 1};
    const D3DVECTOR q = FaceNormal(positions, square, 4);
    EXPECT_EQ(q.x, 0.0f);
    EXPECT_EQ(q.y, 0.0f);
    EXPECT_EQ(q.z, -8.0f);
}

TEST(RasterShared, OnlyFacesTurnedToTheEyeAreDrawn)
{
    EXPECT_TRUE(FacesEye({0, 0, -1}, {0, 0, 5}));
    EXPECT_FALSE(FacesEye({0, 0, 1}, {0, 0, 5}));
    // Edge-on counts as turned away.
    EXPECT_FALSE(FacesEye({1, 0, 0}, {0, 0, 5}));
}

TEST(RasterShared, LightsAreTurnedIntoCameraCoordinates)
{
    TRenderView view;
    // Scene x is camera y, scene y is camera -x; the translation does not turn directions.
    view.View.M = {0, 1, 0, -1, 0, 0, 0, 0, 1, 5, 6, 7};
    view.Lights.Ambient[1] = 0.25f;
    view.Lights.Directional.push_back({{1, 0, 0}, {0.5f, 0.5f, 0.5f}});
    view.Shades = 16;
    const TCameraLights lights = CameraLights(view);
    EXPECT_TRUE(lights.Lit);
    EXPECT_EQ(lights.Shades, 16u);
    EXPECT_EQ(lights.Ambient[1], 0.25f);
    ASSERT_EQ(lights.Directions.size(), 1u);
    EXPECT_EQ(lights.Directions[0].x, 0.0f);
    EXPECT_EQ(lights.Directions[0].y, 1.0f);
    EXPECT_EQ(lights.Directions[0].z, 0.0f);
    EXPECT_EQ(lights.Colors[0].x, 0.5f);

    view.Quality = D3DRMSHADE_FLAT | D3DRMLIGHT_OFF | D3DRMFILL_SOLID;
    EXPECT_FALSE(CameraLights(view).Lit);
}

TEST(RasterShared, FaceColourIsAmbientPlusFacingLightTimesMaterial)
{
    TCameraLights lights;
    lights.Lit = true;
    lights.Ambient[0] = lights.Ambient[1] = lights.Ambient[2] = 0.1f;
    lights.Directions = {{0, 0, 1}};
    lights.Colors = {{0.9f, 0.9f, 0.9f}};
    lights.Shades = 256;
    const float material[] = {1, 0.5f, 0};
    // Facing the light: 0.1 + 0.9 = 1, so the material itself (0.5 -> 127.5 rounds up).
    EXPECT_EQ(FaceColor(lights, {0, 0, -1}, material), 0xFFFF8000u);
    // Turned away: ambient only, 0.1 * 255 = 25.5 -> 26 and 0.05 * 255 = 12.75 -> 13.
    EXPECT_EQ(FaceColor(lights, {0, 0, 1}, material), 0xFF1A0D00u);
    // Brighter lights than 1 are capped before the material is applied.
    lights.Colors = {{3, 3, 3}};
    EXPECT_EQ(FaceColor(lights, {0, 0, -1}, material), 0xFFFF8000u);
    lights.Lit = false;
    EXPECT_EQ(FaceColor(lights, {0, 0, 1}, material), 0xFFFF8000u);
}
