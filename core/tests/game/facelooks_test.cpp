#include "game/facelooks.h"

#include "game_files.h"
#include "model/loader.h"
#include "base/platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
// A material binding model: a unit square with texture vertices
// (0, 0), (64, 0), (64, 32), (0, 32); face 0 textured (material 0, geo 4, light 0), face 1
// material -1. Face 0's material and the mesh's geometry mode are left to the test.
std::string BindingModel(const std::string& material, int meshGeometry = 4,
                         const std::string& extraFace = "")
{
    const auto faces = 2 + std::count(extraFace.begin(), extraFace.end(), '\n');
    std::string text = "3DO 2.1\nMATERIALS 2\n0: t.mat\n1: c.mat\nGEOSETS 1\nGEOSET 0\n"
                       "MESHES 1\nMESH 0\nNAME square\nGEOMETRYMODE " +
                       std::to_string(meshGeometry) +
                       "\nLIGHTINGMODE 3\nTEXTUREMODE 0\n"
                       "VERTICES 4\n0: 0 0 0 0\n1: 1 0 0 0\n2: 1 1 0 0\n3: 0 1 0 0\n"
                       "TEXTURE VERTICES 4\n0: 0 0\n1: 64 0\n2: 64 32\n3: 0 32\n"
                       "FACES " +
                       std::to_string(faces) + "\n0: " + material +
                       " 0x0 4 0 0 0.0 4 0,0 1,1 2,2 3,3\n"
                       "1: -1 0x0 4 3 0 0.0 3 0,0 1,0 2,0\n" +
                       extraFace +
                       "HIERARCHY NODES 1\n0: 0x0 0x1 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 root\n";
    return text;
}

TLoadedModel Parse(const std::string& text)
{
    TSilentProgress progress;
    return Parse3DO(text, progress);
}

// t.mat as a 64 x 32 texture whose row 0 is red and the rest green; c.mat a blue colour.
std::vector<TMaterialLook> Looks()
{
    TMaterialLook t;
    t.Name = "t.mat";
    t.Kind = TMaterialKind::Texture;
    t.Colour = 0xFF808080u;
    t.Width = 64;
    t.Height = 32;
    auto texture = std::make_shared<TRenderTexture>(
        TRenderTexture{64, 32, std::vector<std::uint32_t>(64 * 32, 0xFF00FF00u)});
    std::fill(texture->Texels.begin(), texture->Texels.begin() + 64, 0xFFFF0000u);
    t.Texture = texture;
    TMaterialLook c;
    c.Name = "c.mat";
    c.Kind = TMaterialKind::Colour;
    c.Colour = 0xFF0000FFu;
    return {t, c};
}
} // namespace

TEST(FaceLooks, BindingModelMapsMaterialsModesAndTextureCoordinates)
{
    const TLoadedModel m = Parse(BindingModel("0"));
    std::vector<std::string> warnings;
    const TFaceLooks looks = BuildFaceLooks(*m.Model, 0, Looks(), &warnings);
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(looks.FaceTextures, (std::vector<std::int32_t>{0, -1}));
    // Face 0 full-bright (lighting mode 0), face 1 not drawn (material -1).
    EXPECT_EQ(looks.FaceFlags, (std::vector<std::uint8_t>{kFaceFullBright, kFaceHidden}));
    // The .X corners run last to first: model corners 3, 2, 1, 0, whose texture vertices
    // (0, 32), (64, 32), (64, 0), (0, 0) over 64 x 32 give (0, 1), (1, 1), (1, 0), (0, 0).
    const std::vector<float> uv = {0, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(looks.TexCoords, uv);
    ASSERT_EQ(looks.Textures.size(), 1u);
    EXPECT_EQ(looks.Textures[0]->Width, 64);
    EXPECT_EQ(looks.Textures[0]->Height, 32);
    EXPECT_EQ(looks.Textures[0]->Texels[0], 0xFFFF0000u); // the top row
    EXPECT_EQ(looks.Textures[0]->Texels[64], 0xFF00FF00u);
    EXPECT_EQ(std::vector<float>(looks.FaceColors.begin(), looks.FaceColors.begin() + 3),
              (std::vector<float>{1, 1, 1})); // textured: the light alone

    // Material 2 is beyond the list of two: not drawn, with a warning; so is -7.
    for (const char* material : {"2", "-7"})
    {
        warnings.clear();
        const TFaceLooks beyond =
            BuildFaceLooks(*Parse(BindingModel(material)).Model, 0, Looks(), &warnings);
        EXPECT_EQ(beyond.FaceFlags[0], kFaceFullBright | kFaceHidden) << material;
        EXPECT_EQ(warnings, (std::vector<std::string>{"Mesh 'square' has faces whose material is "
                                                      "beyond the material list; they are not "
                                                      "drawn"}));
    }

    // Mesh geometry mode 3 makes the textured face its material's flat colour; a colour
    // material is flat whatever the mode; mesh mode 0 draws nothing.
    const TFaceLooks solid = BuildFaceLooks(*Parse(BindingModel("0", 3)).Model, 0, Looks());
    EXPECT_EQ(solid.FaceTextures[0], -1);
    EXPECT_FLOAT_EQ(solid.FaceColors[0], 128.0f / 255);
    EXPECT_TRUE(solid.Textures.empty());
    const TFaceLooks colour = BuildFaceLooks(*Parse(BindingModel("1")).Model, 0, Looks());
    EXPECT_EQ(colour.FaceTextures[0], -1);
    EXPECT_EQ(std::vector<float>(colour.FaceColors.begin(), colour.FaceColors.begin() + 3),
              (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(BuildFaceLooks(*Parse(BindingModel("0", 0)).Model, 0, Looks()).FaceFlags[0],
              kFaceFullBright | kFaceHidden);

    // Flags 0x1 and 0x2, a lit face (lighting 2), a point face (geo 1) drawn solid, and a
    // corner whose texture vertex is beyond the list.
    warnings.clear();
    const TFaceLooks more = BuildFaceLooks(
        *Parse(BindingModel("0", 4,
                            "2: 0 0x3 4 2 0 0.0 3 0,0 1,9 2,2\n3: 1 0x1 1 3 0 0.0 3 0,0 1,0 2,0\n"))
             .Model,
        0, Looks(), &warnings);
    ASSERT_EQ(more.FaceFlags.size(), 4u);
    EXPECT_EQ(more.FaceFlags[2], kFaceDoubleSided | kFaceTranslucent);
    EXPECT_EQ(more.FaceFlags[3], kFaceDoubleSided);
    EXPECT_EQ(more.FaceTextures[3], -1);
    // Face 2's corners reversed: 2,2 -> (1, 1); 1,9 -> vertex 0; 0,0 -> (0, 0).
    const std::vector<float> uv2(more.TexCoords.begin() + 14, more.TexCoords.begin() + 20);
    EXPECT_EQ(uv2, (std::vector<float>{1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(warnings, (std::vector<std::string>{"Mesh 'square' has face corners beyond its "
                                                  "texture vertex list; they take texture "
                                                  "vertex 0"}));

    // A missing texture material shows the placeholder, its UVs over the placeholder's 64
    // texels; with every material missing there are no looks at all.
    std::vector<TMaterialLook> missing = Looks();
    missing[0] = TMaterialLook{};
    const TFaceLooks placeholder = BuildFaceLooks(*m.Model, 0, missing);
    ASSERT_EQ(placeholder.FaceTextures[0], 0);
    const TRenderTexture& checker = *placeholder.Textures[0];
    ASSERT_EQ(checker.Width, 64);
    EXPECT_EQ(checker.Texels[0], 0xFFFF00FFu);
    EXPECT_EQ(checker.Texels[8], 0xFF000000u);
    EXPECT_EQ(checker.Texels[8 * 64 + 8], 0xFFFF00FFu);
    EXPECT_FLOAT_EQ(placeholder.TexCoords[1], 0.5f); // 32 / 64
    // So does a texture the texture budget left undecoded.
    std::vector<TMaterialLook> spent = Looks();
    spent[0].Texture = nullptr;
    const TFaceLooks overBudget = BuildFaceLooks(*m.Model, 0, spent);
    ASSERT_EQ(overBudget.FaceTextures[0], 0);
    EXPECT_EQ(overBudget.Textures[0]->Texels, checker.Texels);
    missing[1] = TMaterialLook{};
    EXPECT_TRUE(BuildFaceLooks(*m.Model, 0, missing).Empty());
}

TEST(FaceLooks, LoadModelLooksFindsDecodesAndWarns)
{
    const TTempDir temp("quillmark_facelooks");
    const fs::path& dir = temp.Path();
    fs::create_directories(dir / "mat");
    // t.mat: 2 x 2, 8-bit, indices 1, 2 / 3, 4; c.mat is missing; the colormap maps index i to
    // (i, 255 - i, 7i).
    std::ofstream(dir / "mat" / "t.mat", std::ios::binary)
        << MatHeader(2, 1, 1) + TextureCel(0, 0) + TextureHeader(2, 2, 0, 1) +
               std::string("\1\2\3\4", 4);
    std::ofstream(dir / "model.3do", std::ios::binary) << BindingModel("0");
    const TLoadedModel m = Parse(BindingModel("0"));
    TModelLocation location;
    location.FileName = Utf8FromPath(dir / "model.3do");

    TModelLooks found = LoadModelLooks(*m.Model, 0, location, {}, {});
    EXPECT_EQ(found.Found.Materials.UsableCount(), 1);
    EXPECT_TRUE(found.Found.ColormapOrigin.empty());
    EXPECT_EQ(found.Warnings(), (std::vector<std::string>{
                                  "No colormap found (looked for misc/cmp/dflt.cmp): colours are "
                                  "shown as a grey ramp",
                                  "Material not found: c.mat"}));
    ASSERT_EQ(found.Faces.Textures.size(), 1u);
    EXPECT_EQ(found.Faces.Textures[0]->Texels[0], 0xFF010101u); // grey ramp: index 1

    fs::create_directories(dir / "misc" / "cmp");
    std::ofstream(dir / "misc" / "cmp" / "dflt.cmp", std::ios::binary) << Cmp();
    found = LoadModelLooks(*m.Model, 0, location, {}, {});
    EXPECT_EQ(found.Warnings(), (std::vector<std::string>{"Material not found: c.mat"}));
    EXPECT_EQ(found.Faces.Textures[0]->Texels[3], 0xFF04FB1Cu);
    EXPECT_THROW(LoadModelLooks(*m.Model, 1, location, {}, {}), EListError);

    // Without a geoset, the materials alone: no faces, none of the faces' warnings.
    const TLoadedModel beyond = Parse(BindingModel("0", 4, "2: 5 0x0 4 3 0 0.0 3 0,0 1,0 2,0\n"));
    EXPECT_EQ(LoadModelLooks(*beyond.Model, 0, location, {}, {}).Warnings().size(), 2u);
    found = LoadModelLooks(*beyond.Model, std::nullopt, location, {}, {});
    EXPECT_EQ(found.Warnings(), (std::vector<std::string>{"Material not found: c.mat"}));
    EXPECT_TRUE(found.Faces.Empty());
    ASSERT_EQ(found.Found.Materials.Looks.size(), 2u);
    EXPECT_EQ(found.Found.Materials.Looks[0].Texture->Texels[3], 0xFF04FB1Cu);
    EXPECT_EQ(found.Found.Materials.Looks[1].Kind, TMaterialKind::Missing);

    // A saved colormap that cannot be used gives way to the default, its message first among
    // the colormap's; a chosen one is an error.
    const std::string noGame = Utf8FromPath(dir / "nogame");
    found = LoadModelLooks(*m.Model, 0, location, noGame, "nowhere.cmp", true);
    EXPECT_EQ(found.Warnings(), (std::vector<std::string>{"Game folder not found: " + noGame,
                                                          "Colormap not found: nowhere.cmp",
                                                          "Material not found: c.mat"}));
    EXPECT_EQ(found.Found.ColormapProblem, "Colormap not found: nowhere.cmp");
    EXPECT_EQ(found.Faces.Textures[0]->Texels[3], 0xFF04FB1Cu);
    EXPECT_THROW(LoadModelLooks(*m.Model, 0, location, {}, "nowhere.cmp"), EInOutError);
    EXPECT_THROW(LoadModelLooks(*m.Model, 1, location, {}, "nowhere.cmp", true), EListError);
}
