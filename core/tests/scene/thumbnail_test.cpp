// Thumbnails: a framed, transparent picture of a model, or the model's message; cancelled work;
// several at once on other threads; the materials of a model in an archive.
#include "scene/thumbnail.h"

#include "scene/d3ddriver.h"
#include "game_files.h"
#include "formats/gob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace
{
// One triangle in the z = 0 plane, carried by one node.
const char* const kTriangle = "GEOSETS 1\r\nGEOSET 0\r\nMESHES 1\r\nMESH 0\r\nVERTICES 3\r\n"
                              "0: 0 0 0 0\r\n1: 1 0 0 0\r\n2: 0 1 0 0\r\n"
                              "FACES 1\r\n0: 0 0x0 4 3 0 0 3 0,0 1,0 2,0\r\n"
                              "HIERARCHY NODES 1\r\n"
                              "0: 0x0 0x0 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 root\r\n";

struct TCovered
{
    int Count = 0, Left = 1 << 20, Right = -1, Top = 1 << 20, Bottom = -1;
};

TCovered Covered(const TThumbnail& t)
{
    TCovered c;
    for (int y = 0; y < t.Height; ++y)
        for (int x = 0; x < t.Width; ++x)
        {
            const std::uint32_t p = t.Pixels[static_cast<std::size_t>(y * t.Width + x)];
            if (p == 0)
                continue;
            EXPECT_EQ(p >> 24, 0xFFu);
            ++c.Count;
            c.Left = std::min(c.Left, x);
            c.Right = std::max(c.Right, x);
            c.Top = std::min(c.Top, y);
            c.Bottom = std::max(c.Bottom, y);
        }
    return c;
}
} // namespace

TEST(Thumbnail, AFramedModelOnTransparencyOrTheModelsMessage)
{
    const TThumbnail t = DrawThumbnail(kTriangle, 64, 48);
    ASSERT_EQ(t.Error, "");
    ASSERT_EQ(t.Pixels.size(), 64u * 48u);
    // The triangle lies flat (the model's z is up) and is seen from a little above: its
    // width is the tighter side and takes nine tenths of it, 58 of 64 columns, centred; its
    // rows sit around the middle one.
    const TCovered c = Covered(t);
    EXPECT_GE(c.Right - c.Left + 1, 54);
    EXPECT_LE(c.Right - c.Left + 1, 59);
    EXPECT_GE(c.Left, 2);
    EXPECT_LE(c.Right, 61);
    EXPECT_LT(c.Top, 24);
    EXPECT_GT(c.Bottom, 24);
    EXPECT_LT(c.Bottom - c.Top, 24);
    EXPECT_GT(c.Count, 100);
    EXPECT_EQ(t.Pixels[0], 0u);

    const TThumbnail bad = DrawThumbnail("GEOSET 0\r\nMESH 0\r\nVERTICES 0x3\r\n", 64, 48);
    EXPECT_EQ(bad.Error, "'0x3' is not a valid integer value");
    EXPECT_TRUE(bad.Pixels.empty());
    // Without hierarchy nodes the mesh offsets cannot be found.
    EXPECT_EQ(DrawThumbnail("GEOSET 0\r\nMESH 0\r\n", 8, 8).Error, "List index out of bounds");

    const std::atomic<bool> cancel{true};
    const TThumbnail cancelled = DrawThumbnail(kTriangle, 64, 48, &cancel);
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_EQ(cancelled.Error, "");
    EXPECT_TRUE(cancelled.Pixels.empty());
}

TEST(Thumbnail, ThreadsDrawAtOnceWhileDriversAreRegistered)
{
    const TThumbnail alone = DrawThumbnail(kTriangle, 32, 32);
    ASSERT_FALSE(alone.Pixels.empty());
    std::vector<TThumbnail> results(4 * 8);
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back(
            [&, w]
            {
                for (int i = 0; i < 8; ++i)
                    results[static_cast<std::size_t>(w * 8 + i)] = DrawThumbnail(kTriangle, 32, 32);
            });
    // Meanwhile the other thread changes the driver registry, as a first preview window does.
    for (int i = 0; i < 200; ++i)
    {
        TDriverRegistration extra;
        extra.Guid = GUID{0x51ab0000u + static_cast<std::uint32_t>(i), 1, 2, {}};
        extra.Name = "extra";
        RegisterD3DDriver(extra);
    }
    for (std::thread& t : workers)
        t.join();
    for (int i = 0; i < 200; ++i)
        UnregisterD3DDriver(GUID{0x51ab0000u + static_cast<std::uint32_t>(i), 1, 2, {}});
    for (const TThumbnail& t : results)
        EXPECT_EQ(t.Pixels, alone.Pixels);
}

// Added: the materials of a model in an archive, found in that archive: a full-bright texture
// of palette index 5 shows that colour, (5, 250, 35) in the tests' colormap, on every pixel
// drawn; without the archive the triangle is white clay, grey where it is lit less.
TEST(Thumbnail, MaterialsFromTheModelsArchive)
{
    const std::string model =
        "3DO 2.1\r\nSECTION: MODELRESOURCE\r\nMATERIALS 1\r\n0: t.mat\r\n"
        "SECTION: GEOMETRYDEF\r\nGEOSETS 1\r\nGEOSET 0\r\nMESHES 1\r\nMESH 0\r\nNAME m\r\n"
        "GEOMETRYMODE 4\r\nLIGHTINGMODE 0\r\nTEXTUREMODE 0\r\nVERTICES 3\r\n"
        "0: 0 0 0 0\r\n1: 1 0 0 0\r\n2: 0 1 0 0\r\nTEXTURE VERTICES 1\r\n0: 0 0\r\n"
        "FACES 1\r\n0: 0 0x1 4 0 0 0 3 0,0 1,0 2,0\r\n"
        "SECTION: HIERARCHYDEF\r\nHIERARCHY NODES 1\r\n"
        "0: 0x0 0x0 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 root\r\n";
    const std::string texture =
        MatHeader(2, 1, 1) + TextureCel(0, 0) + TextureHeader(2, 2, 0, 1) + std::string(4, '\5');
    const auto archive = std::make_shared<const TGobArchive>(MakeMemorySource(WriteTestGob(
        {{"3do\\m.3do", model}, {"3do\\mat\\t.mat", texture}, {"misc\\cmp\\dflt.cmp", Cmp()}})));
    const TModelLocation location{{}, "models.gob", "3do\\m.3do", archive};

    const TThumbnail textured = DrawThumbnail(model, 64, 48, nullptr, &location);
    ASSERT_EQ(textured.Error, "");
    const TThumbnail plain = DrawThumbnail(model, 64, 48);
    ASSERT_EQ(plain.Error, "");
    EXPECT_GT(Covered(textured).Count, 100);
    EXPECT_EQ(Covered(plain).Count, Covered(textured).Count);
    for (std::size_t i = 0; i < textured.Pixels.size(); ++i)
    {
        const std::uint32_t p = textured.Pixels[i], q = plain.Pixels[i];
        ASSERT_TRUE(p == 0 || p == 0xFF05FA23u) << std::hex << p;
        ASSERT_TRUE(q == 0 || ((q & 0xFF) == (q >> 8 & 0xFF) && (q & 0xFF) == (q >> 16 & 0xFF)))
            << std::hex << q;
    }
}
