#include "game/modelmaterials.h"

#include "base/U_String.h"
#include "base/errors.h"
#include "game_files.h"
#include "formats/material.h"
#include "base/platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace
{
class ModelMaterials : public ::testing::Test
{
protected:
    void Put(const std::string& relative, const std::string& bytes) const
    {
        const fs::path path = FDir / PathFromUtf8(relative);
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    TAssetSource Source() const
    {
        TModelLocation model;
        model.FileName = Utf8FromPath(FDir / "model.3do");
        return ModelAssetSource(model, {});
    }

    TTempDir FTemp{"quillmark_modelmaterials"};
    const fs::path FDir = FTemp.Path();
};

// A 2 x 2 8-bit texture marked transparent, texels 0, 1, 2, 3, whose header names colour key 3;
// its untextured colour is 9.
std::string CutOutTexture()
{
    std::string header = TextureHeader(2, 2, 1, 1);
    header[16] = '\3';
    return MatHeader(2, 1, 1) + TextureCel(9, 0) + header + std::string("\0\1\2\3", 4);
}
} // namespace

TEST_F(ModelMaterials, ResolvesDecodesAndExplainsEachMaterial)
{
    Put("mat/tex.mat", CutOutTexture());
    Put("col.mat", MatHeader(0, 1, 0) + ColourCel(5));
    Put("mat/broken.mat", "GIF89a, not a material");
    // Cel 0 shows texture 1 (index 9), cel 1 texture 0 (index 3).
    Put("mat/swap.mat", MatHeader(2, 2, 2) + TextureCel(5, 1) + TextureCel(6, 0) +
                            TextureHeader(1, 1, 0, 1) + "\x03" + TextureHeader(1, 1, 0, 1) +
                            "\x09");
    Put("misc/cmp/dflt.cmp", Cmp());
    const TAssetSource source = Source();
    const TModelColormap cmp = LoadModelColormap(source, "");
    EXPECT_TRUE(cmp.Warnings.empty());
    EXPECT_NE(cmp.Origin.find("dflt.cmp"), std::string::npos);

    const TModelMaterials m = ResolveModelMaterials(
        {"tex.mat", "COL.MAT", "gone.mat", "broken.mat", "swap.mat"}, source, cmp.Colormap);
    ASSERT_EQ(m.Looks.size(), 5u);
    EXPECT_EQ(m.UsableCount(), 3);
    EXPECT_EQ(m.Looks[4].Texture->Texels, std::vector<std::uint32_t>{0xFF09F63F});

    // Palette entry i is (i, 255 - i, 7i mod 256); index 0 of a transparent texture is cut out,
    // the header's key stays.
    const TMaterialLook& tex = m.Looks[0];
    EXPECT_EQ(tex.Kind, TMaterialKind::Texture);
    ASSERT_EQ(tex.Width * tex.Height, 4);
    ASSERT_TRUE(tex.Texture);
    EXPECT_EQ(tex.Texture->Texels[0] >> 24, 0u);
    EXPECT_EQ(tex.Texture->Texels[3], 0xFF03FC15u);
    EXPECT_TRUE(tex.CutOut);
    EXPECT_EQ(tex.Colour, 0xFF09F63Fu);
    EXPECT_EQ(m.Sources[0].CelCount, 1);

    EXPECT_EQ(m.Looks[1].Kind, TMaterialKind::Colour);
    EXPECT_EQ(m.Looks[1].Colour, 0xFF05FA23u);
    EXPECT_EQ(m.Looks[1].Name, "COL.MAT");

    EXPECT_EQ(m.Looks[2].Kind, TMaterialKind::Missing);
    EXPECT_FALSE(m.Sources[2].Origin);
    // Both folders were tried in every mount that could hold them.
    bool triedModelMat = false, triedGameMat = false;
    for (const TAssetOrigin& place : m.Sources[2].LookedIn)
    {
        triedModelMat |= place.Path.find("gone.mat") != std::string::npos;
        triedGameMat |= place.Path.find("mat") != std::string::npos;
    }
    EXPECT_TRUE(triedModelMat && triedGameMat);

    EXPECT_EQ(m.Looks[3].Kind, TMaterialKind::Missing);
    EXPECT_EQ(m.Sources[3].Problem, kNotAMaterial);
    EXPECT_EQ(m.Warnings(), (std::vector<std::string>{"Material not found: gone.mat",
                                                      "Material broken.mat: Not a material file"}));
}

TEST_F(ModelMaterials, EachFileIsDecodedOnceAndTexturesStopAtTheBudget)
{
    // An archive whose second entry lies over the first one's bytes.
    const std::string big =
        MatHeader(2, 1, 1) + TextureCel(0, 0) + TextureHeader(4, 4, 0, 1) + std::string(16, '\1');
    std::string gob = WriteTestGob({{"mat/a.mat", CutOutTexture()},
                                    {"mat/same.mat", "x"},
                                    {"mat/big.mat", big},
                                    {"mat/small.mat", MatHeader(2, 1, 1) + TextureCel(0, 0) +
                                                          TextureHeader(1, 1, 0, 1) + "\2"}});
    gob.replace(16 + 136, 8, gob.substr(16, 8));
    Put("res.gob", gob);
    TAssetSource source;
    source.AddArchive(Utf8FromPath(FDir / "res.gob"));
    // 16 + 16 bytes: a.mat's 2 x 2 texels and room for 4 more bytes, not for big.mat's 64.
    const TModelMaterials m = ResolveModelMaterials(
        {"a.mat", "A.MAT", "same.mat", "big.mat", "small.mat"}, source, TColormap::GreyRamp(), 32);
    ASSERT_TRUE(m.Looks[0].Texture);
    EXPECT_EQ(m.Looks[1].Texture, m.Looks[0].Texture);
    EXPECT_EQ(m.Looks[2].Texture, m.Looks[0].Texture);
    EXPECT_EQ(m.Looks[2].Name, "same.mat");
    EXPECT_TRUE(m.Looks[2].CutOut);
    // Past the budget: still textures of their size, undecoded, even one that would fit.
    for (const std::size_t i : {3u, 4u})
        EXPECT_TRUE(m.Looks[i].Kind == TMaterialKind::Texture && !m.Looks[i].Texture) << i;
    EXPECT_EQ(m.Looks[3].Width, 4);
    EXPECT_EQ(m.UsableCount(), 5);
    EXPECT_EQ(m.Warnings(), std::vector<std::string>{FormatText(kTextureBudgetSpent, {"big.mat"})});
}

TEST_F(ModelMaterials, ColormapChoiceIsHonouredOrRefused)
{
    const TModelColormap none = LoadModelColormap(Source(), "");
    EXPECT_EQ(none.Colormap.Colour(200), 0xFFC8C8C8u);
    EXPECT_EQ(none.Warnings, std::vector<std::string>{kNoColormap});

    Put("misc/cmp/other.cmp", Cmp());
    Put("loose.cmp", Cmp(0x1E, 0, 0));
    EXPECT_EQ(LoadModelColormap(Source(), "other.cmp").Colormap.Colour(5), 0xFF05FA23u);
    EXPECT_EQ(LoadModelColormap(Source(), Utf8FromPath(FDir / "loose.cmp")).Colormap.Colour(5),
              0xFF05FA23u);
    // A default colormap that cannot be read is one that is missing, named with why: a short
    // file, and an archive entry whose data the file no longer holds.
    Put("misc/cmp/dflt.cmp", Cmp().substr(0, 1000));
    const TModelColormap shortFile = LoadModelColormap(Source(), "");
    EXPECT_EQ(shortFile.Colormap.Colour(200), 0xFFC8C8C8u);
    EXPECT_EQ(shortFile.Warnings,
              std::vector<std::string>{"Colormap " +
                                       Utf8FromPath(FDir / "misc" / "cmp" / "dflt.cmp") +
                                       " cannot be read (Colormap file is truncated): colours "
                                       "are shown as a grey ramp"});
    const std::string gob = WriteTestGob({{"misc\\cmp\\dflt.cmp", Cmp()}});
    Put("cut.gob", gob.substr(0, gob.size() - 100));
    TAssetSource cut;
    cut.AddArchive(Utf8FromPath(FDir / "cut.gob"));
    const TModelColormap entry = LoadModelColormap(cut, "");
    EXPECT_EQ(entry.Colormap.Colour(7), 0xFF070707u);
    ASSERT_EQ(entry.Warnings.size(), 1u);
    EXPECT_EQ(entry.Warnings[0].rfind("Colormap " + Utf8FromPath(FDir / "cut.gob") +
                                          " (misc\\cmp\\dflt.cmp) cannot be read (Broken archive "
                                          "entry: misc\\cmp\\dflt.cmp",
                                      0),
              0u)
        << entry.Warnings[0];

    try
    {
        LoadModelColormap(Source(), "nowhere.cmp");
        ADD_FAILURE() << "a missing chosen colormap must not be replaced";
    }
    catch (const EInOutError& e)
    {
        EXPECT_STREQ(e.what(), "Colormap not found: nowhere.cmp");
    }
}
