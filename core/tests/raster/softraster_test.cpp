#include "raster/softraster.h"

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

namespace
{
// Looks for every face of a mesh, one call per face in order.
void Look(TRenderMesh& mesh, std::int32_t texture, std::uint8_t flags, std::vector<float> uv = {})
{
    const std::size_t face = mesh.Looks.FaceTextures.size();
    mesh.Looks.FaceTextures.push_back(texture);
    mesh.Looks.FaceFlags.push_back(flags);
    uv.resize(2 * mesh.FaceSizes[face], 0.0f);
    mesh.Looks.TexCoords.insert(mesh.Looks.TexCoords.end(), uv.begin(), uv.end());
}

std::shared_ptr<const TRenderTexture> Texture(int width, int height,
                                              std::vector<std::uint32_t> texels)
{
    return std::make_shared<TRenderTexture>(TRenderTexture{width, height, std::move(texels)});
}

// Square's corners run bottom left, top left, top right, bottom right.
const std::vector<float> kWholeTexture = {0, 1, 0, 0, 1, 0, 1, 1};
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

TEST(SoftRaster, CoverageMarksWhatWasDrawnEvenInTheClearColourWhenAsked)
{
    // The square of the test above, black on black: only the coverage tells it apart. A render
    // that does not ask for it (the preview's) leaves none.
    TMeshMaker m;
    Square(m, 0.5f, 2.0f, 0, 0, 0);
    TSoftwareRasterizer r(8, 8);
    r.Clear(0, 0, 8, 8, kBlack);
    TRenderView view = View(8, 8, m.Mesh);
    r.Render(view);
    const TFrameBuffer& f = r.Frame();
    EXPECT_TRUE(f.Coverage.empty());
    view.Coverage = true;
    r.Clear(0, 0, 8, 8, kBlack);
    r.Render(view);
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
    auto render = [&]
    {
        for (int threads : {1, 2})
        {
            TSoftwareRasterizer r(64, 48);
            r.SetThreadCount(threads);
            r.Clear(0, 0, 64, 48, kBlack);
            r.Render(View(64, 48, m.Mesh));
            pictures[threads - 1] = r.Frame();
            depths[threads - 1] = r.Depth();
        }
    };
    render();
    EXPECT_GT(64 * 48 - Covered(pictures[0], kBlack), 64 * 48 / 2);
    EXPECT_EQ(pictures[0].Pixels, pictures[1].Pixels);
    EXPECT_EQ(depths[0], depths[1]);

    // The same with looks: textures with a cut-out texel, and every tenth face translucent.
    m.Mesh.Looks.Textures.push_back(
        Texture(2, 2, {0xFFFF0000u, 0x00000000u, 0xFF00FF00u, 0xFF0000FFu}));
    for (std::size_t f = 0; f < m.Mesh.FaceSizes.size(); ++f)
        Look(m.Mesh, f % 3 == 0 ? -1 : 0, f % 10 == 0 ? kFaceTranslucent : 0,
             {0, 0, next() * 3, 0, 0, next() * 3});
    render();
    EXPECT_EQ(pictures[0].Pixels, pictures[1].Pixels);
    EXPECT_EQ(depths[0], depths[1]);
}

TEST(SoftRasterLooks, TexelsLandWhereTheyBelongRepeatingAndInPerspective)
{
    // 4 x 4 texels, texel (i, j) = 0xFF i0 j0 10. The square covers pixels 2 .. 5 on both axes
    // (first test), so pixel (2 + i, 2 + j) shows texel (i, j); lights off: the texel itself.
    std::vector<std::uint32_t> texels;
    for (std::uint32_t j = 0; j < 4; ++j)
        for (std::uint32_t i = 0; i < 4; ++i)
            texels.push_back(0xFF000010u | i << 20 | j << 12);
    auto texel = [](int i, int j) {
        return 0xFF000010u | static_cast<std::uint32_t>(i) << 20 |
               static_cast<std::uint32_t>(j) << 12;
    };
    // u twice over (0 .. 2): pixel column i's centre is at texel 2i + 1, repeated: 1, 3, 1, 3.
    // Moved by three whole repeats (-3 .. -2): unchanged.
    std::vector<float> twice = kWholeTexture, moved = kWholeTexture;
    for (std::size_t k = 0; k < twice.size(); k += 2)
    {
        twice[k] *= 2;
        moved[k] -= 3;
        moved[k + 1] -= 3;
    }
    for (const auto& [uv, column] :
         {std::pair{kWholeTexture, std::vector{0, 1, 2, 3}},
          std::pair{twice, std::vector{1, 3, 1, 3}}, std::pair{moved, std::vector{0, 1, 2, 3}}})
    {
        TMeshMaker m;
        Square(m, 0.5f, 2.0f, 1, 1, 1);
        Look(m.Mesh, 0, 0, uv);
        m.Mesh.Looks.Textures.push_back(Texture(4, 4, texels));
        TSoftwareRasterizer r(8, 8);
        r.Clear(0, 0, 8, 8, kBlack);
        r.Render(View(8, 8, m.Mesh));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
            {
                const bool inside = x >= 2 && x <= 5 && y >= 2 && y <= 5;
                EXPECT_EQ(r.Frame().Pixels[y * 8 + x],
                          inside ? texel(column[static_cast<std::size_t>(x - 2)], y - 2) : kBlack)
                    << x << "," << y;
            }
    }

    // A quad leaning away: its bottom edge at z = 2 (screen row 8), its top at z = 4 (row 0).
    // Along it t = 0 .. 1 from the bottom, z = 2 + 2t, y = -1 + 3t, and v = 1 - t. A pixel row
    // centre r sees y / z = q = (4 - (r + 0.5)) / 8, so t = (1 + 2q) / (3 - 2q); over a
    // texture 4 texels high, rows 0 .. 7 show texel rows 0 1 1 2 2 3 3 3 (interpolating v
    // along the screen would give 0 0 1 1 2 2 3 3).
    TMeshMaker lean;
    lean.Face({{-1, -1, 2}, {-2, 2, 4}, {2, 2, 4}, {1, -1, 2}}, 1, 1, 1);
    Look(lean.Mesh, 0, 0, kWholeTexture);
    lean.Mesh.Looks.Textures.push_back(
        Texture(1, 4, {0xFF000000u, 0xFF111111u, 0xFF222222u, 0xFF333333u}));
    TSoftwareRasterizer r(8, 8);
    r.Clear(0, 0, 8, 8, kBlack);
    r.Render(View(8, 8, lean.Mesh));
    const std::uint32_t rows[8] = {0, 1, 1, 2, 2, 3, 3, 3};
    for (int y = 0; y < 8; ++y)
        EXPECT_EQ(r.Frame().Pixels[y * 8 + 4], 0xFF000000u | rows[y] * 0x111111u) << y;
}

TEST(SoftRasterLooks, CutOutTranslucentDoubleSidedFullBrightAndLitTexels)
{
    auto render = [](const TRenderMesh& mesh, TRenderView view)
    {
        auto r = std::make_unique<TSoftwareRasterizer>(8, 8);
        r->Clear(0, 0, 8, 8, kBlack);
        view.Items.clear();
        view.Items.push_back({std::make_shared<TRenderMesh>(mesh), TMatrix43{}});
        r->Render(view);
        return r;
    };
    const TRenderView plain = View(8, 8, TRenderMesh{});

    // The left texel (alpha 127) is cut out: the green square behind shows through there,
    // depth and all; the right one (alpha 128) is drawn, opaque.
    TMeshMaker cut;
    Square(cut, 0.5f, 2.0f, 1, 1, 1);
    Square(cut, 4.0f, 4.0f, 0, 1, 0);
    Look(cut.Mesh, 0, 0, kWholeTexture);
    Look(cut.Mesh, -1, 0);
    cut.Mesh.Looks.Textures.push_back(Texture(2, 1, {0x7FFF0000u, 0x80FFFFFFu}));
    auto r = render(cut.Mesh, plain);
    EXPECT_EQ(r->Frame().Pixels[3 * 8 + 3], 0xFF00FF00u);
    EXPECT_FLOAT_EQ(r->Depth()[3 * 8 + 3], 0.25f);
    EXPECT_EQ(r->Frame().Pixels[3 * 8 + 4], 0xFFFFFFFFu);

    // A translucent red square first in the mesh still goes over the green one after it:
    // red 255 * 90 / 255 = 90, green 255 * 165 / 255 = 165. A hidden face draws nothing.
    TMeshMaker glass;
    Square(glass, 0.5f, 2.0f, 1, 0, 0);
    Square(glass, 4.0f, 4.0f, 0, 1, 0);
    Square(glass, 0.25f, 1.5f, 0, 0, 1);
    Look(glass.Mesh, -1, kFaceTranslucent);
    Look(glass.Mesh, -1, 0);
    Look(glass.Mesh, -1, kFaceHidden);
    r = render(glass.Mesh, plain);
    EXPECT_EQ(Covered(r->Frame(), 0xFF5AA500u), 16);
    EXPECT_EQ(Covered(r->Frame(), 0xFF00FF00u), 48);
    EXPECT_FLOAT_EQ(r->Depth()[3 * 8 + 3], 0.5f);

    // Lit by a white light shining along +Z and no ambient: a face wound away from the eye
    // is drawn only when double-sided, lit as if it faced the eye (white); a full-bright face
    // turned from the light keeps its colour (0.5, 0.25, 1 -> 80 40 FF).
    TRenderView lit = plain;
    lit.Quality = D3DRMRENDER_FLAT;
    lit.Lights.Directional.push_back({{0, 0, 1}, {1, 1, 1}});
    for (const std::uint8_t flags : {std::uint8_t{0}, kFaceDoubleSided})
    {
        TMeshMaker back;
        back.Face({{-0.5f, -0.5f, 2}, {0.5f, -0.5f, 2}, {0.5f, 0.5f, 2}, {-0.5f, 0.5f, 2}}, 1, 1,
                  1);
        Look(back.Mesh, -1, flags);
        r = render(back.Mesh, lit);
        EXPECT_EQ(Covered(r->Frame(), 0xFFFFFFFFu), flags ? 16 : 0);
    }
    TRenderView away = lit;
    away.Lights.Directional[0].Direction[2] = -1;
    TMeshMaker bright;
    Square(bright, 0.5f, 2.0f, 0.5f, 0.25f, 1);
    Look(bright.Mesh, -1, kFaceFullBright);
    EXPECT_EQ(Covered(render(bright.Mesh, away)->Frame(), 0xFF8040FFu), 16);

    // A texel times the lit white: ambient 0.5 gives 128 per channel, and (200, 100, 50)
    // becomes (100, 50, 25).
    TRenderView dim = plain;
    dim.Quality = D3DRMRENDER_FLAT;
    dim.Lights.Ambient[0] = dim.Lights.Ambient[1] = dim.Lights.Ambient[2] = 0.5f;
    TMeshMaker shaded;
    Square(shaded, 0.5f, 2.0f, 1, 1, 1);
    Look(shaded.Mesh, 0, 0, kWholeTexture);
    shaded.Mesh.Looks.Textures.push_back(Texture(1, 1, {0xFFC86432u}));
    EXPECT_EQ(Covered(render(shaded.Mesh, dim)->Frame(), 0xFF643219u), 16);
}
