#include "softraster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace
{
constexpr std::uint32_t kBlack = 0xFF000000u;

struct TMeshMaker
{
    TRenderMesh Mesh;
    void Face(std::vector<std::vector<float>> corners, float r, float g, float b)
    {
        Mesh.FaceSizes.push_back(static_cast<std::uint32_t>(corners.size()));
        for (const auto& c : corners)
        {
            Mesh.Indices.push_back(static_cast<std::uint32_t>(Mesh.Positions.size() / 3));
            Mesh.Positions.insert(Mesh.Positions.end(), c.begin(), c.end());
        }
        Mesh.FaceColors.insert(Mesh.FaceColors.end(), {r, g, b});
    }
};

// Camera at the origin looking along +Z; lights off, so faces show their own colour.
TRenderView View(int width, int height, const TRenderMesh& mesh)
{
    TRenderView view;
    view.Width = width;
    view.Height = height;
    view.Quality = D3DRMSHADE_FLAT | D3DRMLIGHT_OFF | D3DRMFILL_SOLID;
    view.Shades = 256;
    view.Items.push_back({std::make_shared<TRenderMesh>(mesh), TMatrix43{}});
    return view;
}

// A square of half-size h at depth z, wound clockwise as seen from the camera (front face).
void Square(TMeshMaker& m, float h, float z, float r, float g, float b)
{
    m.Face({{-h, -h, z}, {-h, h, z}, {h, h, z}, {h, -h, z}}, r, g, b);
}

int Covered(const TFrameBuffer& f, std::uint32_t color)
{
    int n = 0;
    for (std::uint32_t p : f.Pixels)
        n += p == color;
    return n;
}
} // namespace

TEST(SoftRaster, SquareCoversExactlyThePixelCentresInside)
{
    // 8 x 8 pixels, field 0.5: 8 pixels per unit of x/z. Half-size 0.5 at z = 2 spans screen
    // 2.0 .. 6.0, so the centres of pixels 2 .. 5 are inside on both axes.
    TMeshMaker m;
    Square(m, 0.5f, 2.0f, 1, 0, 0);
    TSoftwareRasterizer r(8, 8);
    r.Clear(0, 0, 8, 8, kBlack);
    r.Render(View(8, 8, m.Mesh));
    const TFrameBuffer& f = r.Frame();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
        {
            const bool inside = x >= 2 && x <= 5 && y >= 2 && y <= 5;
            EXPECT_EQ(f.Pixels[y * 8 + x], inside ? 0xFFFF0000u : kBlack) << x << "," << y;
        }
    EXPECT_FLOAT_EQ(r.Depth()[3 * 8 + 3], 0.5f); // 1/z
}

TEST(SoftRaster, CoverageMarksWhatWasDrawnEvenInTheClearColour)
{
    // The square of the test above, black on black: only the coverage tells it apart.
    TMeshMaker m;
    Square(m, 0.5f, 2.0f, 0, 0, 0);
    TSoftwareRasterizer r(8, 8);
    r.Clear(0, 0, 8, 8, kBlack);
    r.Render(View(8, 8, m.Mesh));
    const TFrameBuffer& f = r.Frame();
    ASSERT_EQ(f.Coverage.size(), std::size_t{64});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(f.Coverage[y * 8 + x], x >= 2 && x <= 5 && y >= 2 && y <= 5) << x << "," << y;
    // Clearing the left half uncovers it; the right half stays covered.
    r.Clear(0, 0, 4, 8, kBlack);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(f.Coverage[y * 8 + x], x >= 4 && x <= 5 && y >= 2 && y <= 5) << x << "," << y;
}

TEST(SoftRaster, EdgesThroughPixelCentresFollowTheTopLeftRule)
{
    // Screen 1.5 .. 5.5 on both axes: the centres on the left and top edges belong to the
    // square, those on the right and bottom edges do not, so 4 x 4 pixels from (1, 1).
    TMeshMaker m;
    m.Face({{-0.625f, -0.375f, 2}, {-0.625f, 0.625f, 2}, {0.375f, 0.625f, 2}, {0.375f, -0.375f, 2}},
           1, 1, 1);
    TSoftwareRasterizer r(8, 8);
    r.Clear(0, 0, 8, 8, kBlack);
    r.Render(View(8, 8, m.Mesh));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
        {
            const bool inside = x >= 1 && x <= 4 && y >= 1 && y <= 4;
            EXPECT_EQ(r.Frame().Pixels[y * 8 + x], inside ? 0xFFFFFFFFu : kBlack) << x << "," << y;
        }
}

TEST(SoftRaster, BackFacesAndDegenerateFacesDrawNothing)
{
    TMeshMaker m;
    m.Face({{-1, -1, 2}, {1, -1, 2}, {1, 1, 2}, {-1, 1, 2}}, 1, 1, 1); // counter-clockwise
    m.Face({{0, 0, 2}}, 1, 1, 1);
    m.Face({{0, 0, 2}, {1, 1, 2}}, 1, 1, 1);
    m.Face({}, 1, 1, 1);
    m.Face({{-1, -1, 2}, {0, 0, 2}, {1, 1, 2}}, 1, 1, 1); // collinear
    TSoftwareRasterizer r(8, 8);
    r.Clear(0, 0, 8, 8, kBlack);
    r.Render(View(8, 8, m.Mesh));
    EXPECT_EQ(Covered(r.Frame(), kBlack), 64);
}

TEST(SoftRaster, NearerSurfaceWinsWhateverTheOrderAndTiesKeepTheFirst)
{
    for (bool nearFirst : {false, true})
    {
        TMeshMaker m;
        if (nearFirst)
            Square(m, 0.5f, 2.0f, 1, 0, 0);
        Square(m, 4.0f, 4.0f, 0, 1, 0); // covers the whole view, farther
        if (!nearFirst)
            Square(m, 0.5f, 2.0f, 1, 0, 0);
        TSoftwareRasterizer r(8, 8);
        r.Clear(0, 0, 8, 8, kBlack);
        r.Render(View(8, 8, m.Mesh));
        EXPECT_EQ(Covered(r.Frame(), 0xFFFF0000u), 16) << nearFirst;
        EXPECT_EQ(Covered(r.Frame(), 0xFF00FF00u), 48) << nearFirst;
    }
    TMeshMaker tie;
    Square(tie, 0.5f, 2.0f, 0, 0, 1);
    Square(tie, 0.5f, 2.0f, 1, 0, 0);
    TSoftwareRasterizer r(8, 8);
    r.Clear(0, 0, 8, 8, kBlack);
    r.Render(View(8, 8, tie.Mesh));
    EXPECT_EQ(Covered(r.Frame(), 0xFF0000FFu), 16);
}

TEST(SoftRaster, FlatShadeOfAKnownNormalAndLight)
{
    // Plane with unit normal (0, -0.6, -0.8); light shining along +Z, so it faces the light by
    // 0.8: 0.1 ambient + 0.9 * 0.8 = 0.82 -> 209 of 255 at 256 shades. At 32 shades 0.82 is
    // step 25 of 31, 205.6 -> 206.
    TMeshMaker m;
    m.Face({{-2, -1, 5}, {-2, 1.4f, 3.2f}, {2, -1, 5}}, 1, 1, 1);
    for (auto [shades, expected] : {std::pair{256u, 209u}, std::pair{32u, 206u}})
    {
        TRenderView view = View(8, 8, m.Mesh);
        view.Quality = D3DRMRENDER_FLAT;
        view.Shades = shades;
        view.Lights.Ambient[0] = view.Lights.Ambient[1] = view.Lights.Ambient[2] = 0.1f;
        view.Lights.Directional.push_back({{0, 0, 1}, {0.9f, 0.9f, 0.9f}});
        TSoftwareRasterizer r(8, 8);
        r.Clear(0, 0, 8, 8, kBlack);
        r.Render(view);
        const std::uint32_t grey = 0xFF000000u | expected << 16 | expected << 8 | expected;
        EXPECT_EQ(r.Frame().Pixels[4 * 8 + 4], grey) << shades;
    }
    // Coloured material times the light.
    TMeshMaker red;
    Square(red, 4.0f, 4.0f, 0.5f, 0.0f, 1.0f);
    TRenderView view = View(4, 4, red.Mesh);
    view.Quality = D3DRMRENDER_FLAT;
    view.Lights.Directional.push_back({{0, 0, 1}, {1, 1, 1}});
    TSoftwareRasterizer r(4, 4);
    r.Clear(0, 0, 4, 4, kBlack);
    r.Render(view);
    EXPECT_EQ(r.Frame().Pixels[5], 0xFF8000FFu);
}

TEST(SoftRaster, ShadeChannelSteps)
{
    EXPECT_EQ(ShadeChannel(1.0f, 256), 255);
    EXPECT_EQ(ShadeChannel(0.5f, 256), 128);
    EXPECT_EQ(ShadeChannel(2.0f, 256), 255);
    EXPECT_EQ(ShadeChannel(-1.0f, 256), 0);
    EXPECT_EQ(ShadeChannel(std::nanf(""), 256), 0);
    EXPECT_EQ(ShadeChannel(0.4f, 2), 0);
    EXPECT_EQ(ShadeChannel(0.6f, 2), 255);
    EXPECT_EQ(ShadeChannel(0.5f, 4), 170); // step 2 of 3 (1.5 rounds up)
}

TEST(SoftRaster, ClipsAtNearBackAndScreen)
{
    // A square far larger than the view covers every pixel.
    TMeshMaker big;
    Square(big, 1000.0f, 2.0f, 1, 1, 1);
    TSoftwareRasterizer r(8, 8);
    r.Clear(0, 0, 8, 8, kBlack);
    r.Render(View(8, 8, big.Mesh));
    EXPECT_EQ(Covered(r.Frame(), 0xFFFFFFFFu), 64);

    // Beyond the back plane, or wholly before the front plane: nothing.
    TMeshMaker far;
    Square(far, 0.5f, 200.0f, 1, 1, 1);
    Square(far, 0.5f, 0.5f, 1, 1, 1);
    r.Clear(0, 0, 8, 8, kBlack);
    r.Render(View(8, 8, far.Mesh));
    EXPECT_EQ(Covered(r.Frame(), kBlack), 64);

    // A floor running from behind the camera into the distance: only what lies beyond the
    // front plane is drawn, and it fills the lower half (below the horizon row 4).
    TMeshMaker floor;
    floor.Face({{-50, -1, -5}, {-50, -1, 50}, {50, -1, 50}, {50, -1, -5}}, 1, 1, 1);
    TRenderView view = View(8, 8, floor.Mesh);
    view.Back = 1000;
    r.Clear(0, 0, 8, 8, kBlack);
    r.Render(view);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
        {
            EXPECT_EQ(r.Frame().Pixels[y * 8 + x], y >= 4 ? 0xFFFFFFFFu : kBlack) << x << "," << y;
            EXPECT_LE(r.Depth()[y * 8 + x], 1.0f); // nothing nearer than the front plane
        }
}

TEST(SoftRaster, ViewportRectangleLimitsDrawingAndClear)
{
    TMeshMaker big;
    Square(big, 1000.0f, 2.0f, 1, 1, 1);
    TSoftwareRasterizer r(8, 8);
    r.Clear(0, 0, 8, 8, 0xFF123456u);
    r.Clear(2, 2, 4, 4, kBlack);
    EXPECT_EQ(Covered(r.Frame(), kBlack), 16);
    TRenderView view = View(4, 4, big.Mesh);
    view.X = 2;
    view.Y = 2;
    r.Render(view);
    EXPECT_EQ(Covered(r.Frame(), 0xFFFFFFFFu), 16);
    EXPECT_EQ(r.Frame().Pixels[2 * 8 + 2], 0xFFFFFFFFu);
    EXPECT_EQ(r.Frame().Pixels[1 * 8 + 1], 0xFF123456u);
}

TEST(SoftRaster, TwoThreadsGiveTheSamePixelsAsOne)
{
    // Enough overlapping faces to take the two-thread path, with many depth ties.
    TMeshMaker m;
    std::uint32_t seed = 12345;
    auto next = [&]
    {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed >> 8) / static_cast<float>(1u << 24);
    };
    for (int i = 0; i < 30000; ++i)
    {
        const float x = next() * 4 - 2, y = next() * 4 - 2, z = 2 + std::floor(next() * 4);
        const float s = 0.05f + next() * 0.5f;
        m.Face({{x, y, z}, {x, y + s, z}, {x + s, y, z}}, next(), next(), next());
    }
    TFrameBuffer pictures[2];
    std::vector<float> depths[2];
    for (int threads : {1, 2})
    {
        TSoftwareRasterizer r(64, 48);
        r.SetThreadCount(threads);
        r.Clear(0, 0, 64, 48, kBlack);
        r.Render(View(64, 48, m.Mesh));
        pictures[threads - 1] = r.Frame();
        depths[threads - 1] = r.Depth();
    }
    EXPECT_GT(64 * 48 - Covered(pictures[0], kBlack), 64 * 48 / 2);
    EXPECT_EQ(pictures[0].Pixels, pictures[1].Pixels);
    EXPECT_EQ(depths[0], depths[1]);
}
