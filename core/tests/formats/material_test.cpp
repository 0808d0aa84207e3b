#include "formats/material.h"

#include "game_files.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
std::string With32(std::string s, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        s[at + k] = static_cast<char>(v >> (8 * k));
    return s;
}

// The 8-bit 4 x 2 texture with two mip levels: header, cel (colour 5), texture, texels.
std::string TwoLevelMat()
{
    return MatHeader(2, 1, 1) + TextureCel(5, 0) + TextureHeader(4, 2, 0, 2) +
           std::string("\0\1\2\3\4\5\6\7", 8) + "\x08\x09";
}

// The 16-bit 2 x 2 texture: red, green, blue, white in RGB565.
std::string SixteenBitMat(std::uint32_t transparent)
{
    return MatHeader(2, 1, 1, kRgb565) + TextureCel(5, 0) + TextureHeader(2, 2, transparent, 1) +
           std::string("\x00\xF8\xE0\x07\x1F\x00\xFF\xFF", 8);
}

// Palette entry i = (i, 255 - i, 7i mod 256).
TColormap TestColormap()
{
    std::array<std::uint8_t, kPaletteBytes> rgb{};
    for (int i = 0; i < 256; ++i)
    {
        rgb[3 * i] = static_cast<std::uint8_t>(i);
        rgb[3 * i + 1] = static_cast<std::uint8_t>(255 - i);
        rgb[3 * i + 2] = static_cast<std::uint8_t>(7 * i % 256);
    }
    return TColormap::FromPalette(rgb);
}

std::string Message(const std::string& bytes)
{
    try
    {
        TMaterial m(bytes);
    }
    catch (const EMaterialError& e)
    {
        return e.what();
    }
    return "accepted";
}

// Offsets in TwoLevelMat.
constexpr std::size_t kAtType = 8, kAtCels = 12, kAtTextures = 16, kAtMode = 20, kAtBpp = 24;
constexpr std::size_t kAtCelType = 76, kAtColourIndex = 80, kAtTextureIndex = 112;
constexpr std::size_t kAtWidth = 116, kAtHeight = 120, kAtTransparent = 124, kAtColourKey = 132;
constexpr std::size_t kAtMips = 136;
} // namespace

TEST(Material, ReadsAndDecodesAnEightBitTextureWithTwoLevels)
{
    const std::string file = TwoLevelMat();
    ASSERT_EQ(file.size(), 150u);
    const TMaterial m(file);
    EXPECT_TRUE(m.Warnings().empty());
    EXPECT_TRUE(m.IsTextured());
    ASSERT_EQ(m.Cels().size(), 1u);
    EXPECT_TRUE(m.Cels()[0].Textured);
    EXPECT_EQ(m.Cels()[0].ColourIndex, 5);
    EXPECT_EQ(m.Cels()[0].TextureIndex, 0);
    ASSERT_EQ(m.Textures().size(), 1u);
    const TMatTexture& t = m.Textures()[0];
    EXPECT_EQ(t.Width, 4u);
    EXPECT_EQ(t.Height, 2u);
    EXPECT_FALSE(t.Transparent);
    EXPECT_EQ(t.MipCount, 2);
    EXPECT_FALSE(m.HasPalette());

    const TColormap cmp = TestColormap();
    const TArgbImage level0 = DecodeCel(m, 0, cmp);
    EXPECT_EQ(level0.Width, 4);
    EXPECT_EQ(level0.Height, 2);
    // First byte is the top-left texel; (3, 1) is index 7.
    EXPECT_EQ(level0.Pixels,
              (std::vector<std::uint32_t>{0xFF00FF00, 0xFF01FE07, 0xFF02FD0E, 0xFF03FC15,
                                          0xFF04FB1C, 0xFF05FA23, 0xFF06F92A, 0xFF07F831}));
    const TArgbImage level1 = DecodeTexture(m, 0, cmp, 1);
    EXPECT_EQ(level1.Width, 2);
    EXPECT_EQ(level1.Height, 1);
    EXPECT_EQ(level1.Pixels, (std::vector<std::uint32_t>{0xFF08F738, 0xFF09F63F}));
    EXPECT_EQ(CelColour(m, 0, cmp), 0xFF05FA23u);
    EXPECT_THROW(DecodeTexture(m, 0, cmp, 2), EListError);
    EXPECT_THROW(DecodeTexture(m, 1, cmp), EListError);
    EXPECT_THROW(DecodeCel(m, 1, cmp), EListError);
}

TEST(Material, TransparentEightBitTextureCutsOutIndexZero)
{
    // Flag 2 is read as 1, with a warning. Index 0 is the key whatever key the header names.
    for (const std::uint32_t flag : {1u, 2u})
    {
        const TMaterial m(With32(With32(TwoLevelMat(), kAtTransparent, flag), kAtColourKey, 7));
        EXPECT_EQ(m.Textures()[0].ColourKey, 7u);
        EXPECT_TRUE(m.Textures()[0].Transparent);
        EXPECT_EQ(m.Warnings().size(), flag == 1 ? 0u : 1u);
        const TArgbImage image = DecodeTexture(m, 0, TestColormap());
        EXPECT_EQ(image.Pixels[0] >> 24, 0u);
        EXPECT_EQ(image.Pixels[1], 0xFF01FE07u);
        EXPECT_EQ(image.Pixels[7], 0xFF07F831u);
    }
}

TEST(Material, ReadsAColourMaterialWithTwoCels)
{
    const std::string file = MatHeader(0, 2, 0) + ColourCel(5) + ColourCel(200);
    ASSERT_EQ(file.size(), 124u);
    const TMaterial m(file);
    EXPECT_TRUE(m.Warnings().empty());
    EXPECT_FALSE(m.IsTextured());
    EXPECT_TRUE(m.Textures().empty());
    ASSERT_EQ(m.Cels().size(), 2u);
    EXPECT_FALSE(m.Cels()[1].Textured);
    EXPECT_EQ(m.Cels()[1].TextureIndex, -1);
    const TColormap cmp = TestColormap();
    EXPECT_EQ(CelColour(m, 0, cmp), 0xFF05FA23u);
    EXPECT_EQ(CelColour(m, 1, cmp), 0xFFC83778u);
    const TArgbImage cel1 = DecodeCel(m, 1, cmp);
    EXPECT_EQ(cel1.Width, 1);
    EXPECT_EQ(cel1.Height, 1);
    EXPECT_EQ(cel1.Pixels, std::vector<std::uint32_t>{0xFFC83778});
}

// Cel 0 shows texture 1 and cel 1 texture 0: each cel its own, not the one of its position.
TEST(Material, CelsShowTheTexturesTheyPointAt)
{
    const TMaterial m(MatHeader(2, 2, 2) + TextureCel(5, 1) + TextureCel(6, 0) +
                      TextureHeader(1, 1, 0, 1) + "\x03" + TextureHeader(1, 1, 0, 1) + "\x09");
    const TColormap cmp = TestColormap();
    EXPECT_EQ(DecodeCel(m, 0, cmp).Pixels, std::vector<std::uint32_t>{0xFF09F63F});
    EXPECT_EQ(DecodeCel(m, 1, cmp).Pixels, std::vector<std::uint32_t>{0xFF03FC15});
}

TEST(Material, SixteenBitTexturesFollowTheGamesRuleWithExactWidening)
{
    const TColormap cmp = TestColormap();
    ASSERT_EQ(SixteenBitMat(0).size(), 148u);
    const TMaterial opaque(SixteenBitMat(0));
    EXPECT_TRUE(opaque.Warnings().empty());
    EXPECT_EQ(DecodeTexture(opaque, 0, cmp).Pixels,
              (std::vector<std::uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}));
    // Marked transparent, the same texels are ARGB1555 whatever the header says.
    const TMaterial transparent(SixteenBitMat(1));
    EXPECT_EQ(transparent.Warnings(), std::vector<std::string>{"RGB565 texture is marked "
                                                               "transparent: shown as ARGB1555, "
                                                               "as the game does"});
    EXPECT_EQ(DecodeTexture(transparent, 0, cmp).Pixels,
              (std::vector<std::uint32_t>{0xFFF70000, 0x0008FF00, 0x000000FF, 0xFFFFFFFF}));
    // An ARGB1555 header on an opaque texture is read as RGB565, as the game reads it.
    const std::string argbOpaque = MatHeader(2, 1, 1, kArgb1555) + TextureCel(5, 0) +
                                   TextureHeader(1, 1, 0, 1) + std::string("\x00\xF8", 2);
    const TMaterial m(argbOpaque);
    EXPECT_EQ(m.Warnings(), std::vector<std::string>{"ARGB1555 texture is not marked "
                                                     "transparent: shown as RGB565, as the "
                                                     "game does"});
    EXPECT_EQ(DecodeTexture(m, 0, cmp).Pixels, std::vector<std::uint32_t>{0xFFFF0000});
    // The game ignores the channel fields, so empty ones still give its rule.
    const TMaterial empty(MatHeader(2, 1, 1, {1, 16}) + TextureCel(5, 0) +
                          TextureHeader(1, 1, 1, 1) + std::string("\x00\xF8", 2));
    EXPECT_TRUE(empty.Warnings().empty());
    EXPECT_EQ(DecodeTexture(empty, 0, cmp).Pixels, std::vector<std::uint32_t>{0xFFF70000});
}

TEST(Material, OtherLayoutsFollowTheHeader)
{
    const struct
    {
        const char* name;
        TFormat format;
        std::string texels; // two texels, little-endian
        std::uint32_t first, second;
    } cases[] = {
        {"ARGB4444",
         {2, 16, 4, 4, 4, 8, 4, 0, 4, 4, 4, 4, 12, 4},
         std::string("\x30\x7F\x00\xF0", 4),
         0x77FF3300,
         0xFF000000},
        {"RGBA4444",
         {2, 16, 4, 4, 4, 12, 8, 4, 4, 4, 4, 4, 0, 4},
         std::string("\x34\x12\x0F\xF0", 4),
         0x44112233,
         0xFFFF0000},
        {"RGBA5551",
         {2, 16, 5, 5, 5, 11, 6, 1, 3, 3, 3, 1, 0, 7},
         std::string("\x01\xF8\x3E\x00", 4),
         0xFFFF0000,
         0x000000FF},
        {"RGB888", {1, 24, 8, 8, 8, 16, 8, 0}, "\x11\x22\x33\x44\x55\x66", 0xFF332211, 0xFF665544},
        {"BGR888", {1, 24, 8, 8, 8, 0, 8, 16}, "\x11\x22\x33\x44\x55\x66", 0xFF112233, 0xFF445566},
        {"ARGB8888",
         {2, 32, 8, 8, 8, 16, 8, 0, 0, 0, 0, 8, 24, 0},
         "\x80\x40\x20\x10\x01\x02\x03\x04",
         0x10204080,
         0x04030201},
        {"RGBA8888",
         {2, 32, 8, 8, 8, 24, 16, 8, 0, 0, 0, 8, 0, 0},
         "\x80\x40\x20\x10\x01\x02\x03\x04",
         0x80102040,
         0x01040302},
        {"ABGR8888",
         {2, 32, 8, 8, 8, 0, 8, 16, 0, 0, 0, 8, 24, 0},
         "\x80\x40\x20\x10\x01\x02\x03\x04",
         0x10804020,
         0x04010203},
    };
    for (const auto& c : cases)
    {
        // The transparent flag does not change a header-driven layout.
        const TMaterial m(MatHeader(2, 1, 1, c.format) + TextureCel(0, 0) +
                          TextureHeader(2, 1, 1, 1) + c.texels);
        EXPECT_TRUE(m.Warnings().empty()) << c.name;
        EXPECT_EQ(DecodeTexture(m, 0, TestColormap()).Pixels,
                  (std::vector<std::uint32_t>{c.first, c.second}))
            << c.name;
    }
}

TEST(Material, RejectsFilesTheGameOrOtherReadersCannotUse)
{
    const std::string two = TwoLevelMat();
    const std::string colour = MatHeader(0, 2, 0) + ColourCel(5) + ColourCel(200);
    std::string badMagic = two;
    badMagic[3] = '\0';
    const char* fourBits = "Material colour channel does not fit in its texel";
    const struct
    {
        std::string bytes;
        const char* message;
    } cases[] = {
        {"", "Not a material file"},
        {"MAT", "Not a material file"},
        {badMagic, "Not a material file"},
        {With32(two, 4, 0x31), "Unsupported material version"},
        {two.substr(0, 75), "Material file is truncated"},
        {two.substr(0, 149), "Material file is truncated"},
        {two.substr(0, 100), "Material file is truncated"},
        {With32(two, kAtType, 4), "Unsupported material type"},
        {With32(two, kAtCels, 0), "Material cel count is out of range"},
        {With32(two, kAtCels, 17), "Material cel count is out of range"},
        {With32(two, kAtTextures, 0xFFFFFFFF), "Material texture count is out of range"},
        {With32(two, kAtTextures, 257), "Material texture count is out of range"},
        {With32(two, kAtTextures, 0), "Textured material has no textures"},
        {With32(two, kAtMode, 3), "Unsupported material colour format"},
        {With32(two, kAtMode, 1), "Unsupported material colour format"},
        {With32(two, kAtBpp, 12), "Unsupported material colour format"},
        {With32(two, kAtBpp, 16), "Unsupported material colour format"},
        {MatHeader(2, 1, 1, {2, 16, 4, 4, 4, 8, 4, 0, 4, 4, 4, 4, 13, 4}), fourBits},
        {MatHeader(2, 1, 1, {1, 24, 9, 8, 7, 15, 7, 0}), fourBits},
        {With32(two, kAtCelType, 4), "Unknown material cel type"},
        {With32(colour, 100, 8), "Material cel type does not match the material type"},
        {With32(two, kAtCelType, 0), "Material cel type does not match the material type"},
        {With32(two, kAtColourIndex, 256), "Material cel colour index is out of range"},
        {With32(two, kAtTextureIndex, 1), "Material cel texture index is out of range"},
        {With32(two, kAtTextureIndex, 0xFFFFFFFF), "Material cel texture index is out of range"},
        {With32(two, kAtWidth, 0), "Material texture size is out of range"},
        {With32(two, kAtHeight, 4097), "Material texture size is out of range"},
        {With32(two, kAtMips, 0), "Material texture has no mip levels"},
        {With32(two, kAtMips, 3), "Material texture has more mip levels than its size allows"},
        {With32(two, kAtMips, 0xFFFFFFFF),
         "Material texture has more mip levels than its size allows"},
        {With32(two, kAtType, 3), "Material palette is truncated"},
        {With32(two, kAtType, 3) + std::string(767, '\0'), "Material palette is truncated"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Message(c.bytes), c.message) << "size " << c.bytes.size();
}

TEST(Material, ReadsOddFilesWithTheirWarnings)
{
    const std::string extraMips = "Material texture has more than 4 mip levels: only the first "
                                  "4 are kept";
    const std::string notPowerOfTwo = "Material texture size is not a power of two";
    std::string palette(768, '\0');
    palette[3 * 7] = '\x7F';
    // 16 x 16 with five levels: 256 + 64 + 16 + 4 + 1 texels.
    const std::string fiveLevels = MatHeader(3, 1, 1) + TextureCel(0, 0) +
                                   TextureHeader(16, 16, 0, 5) + std::string(341, '\x01') + palette;
    const struct
    {
        std::string bytes;
        std::vector<std::string> warnings;
    } cases[] = {
        {TwoLevelMat() + "x", {"Material file has data after its end"}},
        {fiveLevels, {extraMips}},
        {MatHeader(2, 1, 1) + TextureCel(0, 0) + TextureHeader(3, 5, 0, 1) + std::string(15, '\0'),
         {notPowerOfTwo}},
        {MatHeader(2, 1, 2) + TextureCel(0, 1) + TextureHeader(1, 1, 0, 1) + "a" +
             TextureHeader(1, 1, 0, 1) + "b",
         {"Material cel count differs from its texture count"}},
        {MatHeader(0, 1, 1) + ColourCel(9) + TextureHeader(2, 2, 0, 1) + "abcd",
         {"Colour material carries texture data, which no cel shows"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TMaterial(c.bytes).Warnings(), c.warnings) << "size " << c.bytes.size();

    // Only four of the five levels are kept, and the palette after them is found.
    const TMaterial m(fiveLevels);
    EXPECT_EQ(m.Textures()[0].MipCount, 4);
    EXPECT_EQ(m.Textures()[0].Texels.size(), 340u);
    ASSERT_TRUE(m.HasPalette());
    EXPECT_EQ(m.Palette()[21], 0x7F);
    EXPECT_EQ(DecodeTexture(m, 0, TestColormap(), 3).Pixels,
              (std::vector<std::uint32_t>{0xFF01FE07, 0xFF01FE07, 0xFF01FE07, 0xFF01FE07}));
}
