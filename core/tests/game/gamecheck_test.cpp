#include "game/gamecheck.h"

#include "model/loader.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace
{
// A mesh of four vertices and two texture vertices named `name`, with one face per line of
// `faces` (the text after "N:").
std::string Mesh(const std::string& name, const std::vector<std::string>& faces)
{
    std::string s = "MESH 0\nNAME " + name +
                    "\nVERTICES 4\n0: 0 0 0 0\n1: 1 0 0 0\n2: 0 1 0 0\n"
                    "3: 1 1 0 0\nTEXTURE VERTICES 2\n0: 0 0\n1: 1 1\nFACES " +
                    std::to_string(faces.size()) + "\n";
    for (std::size_t f = 0; f < faces.size(); ++f)
        s += std::to_string(f) + ": " + faces[f] + "\n";
    return s;
}

std::string Node(int k, const std::string& name)
{
    return std::to_string(k) + ": 0x0 0x0 -1 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 " + name + "\n";
}

TLoadedModel Parse(const std::string& text)
{
    TSilentProgress progress;
    return Parse3DO(text, progress);
}

using TPlace = std::tuple<std::string, int, int, int, int>; // code, geoset, mesh, face, node

std::vector<TPlace> Places(const std::vector<TGameFinding>& findings)
{
    std::vector<TPlace> places;
    for (const TGameFinding& f : findings)
        places.emplace_back(f.Code, f.GeoSet, f.Mesh, f.Face, f.Node);
    return places;
}

TModelLocation File(const std::string& name)
{
    TModelLocation location;
    location.FileName = name;
    return location;
}

const std::string kLong31 = std::string(31, 'n');
} // namespace

// Each finding names its place; numbers the loader keeps in 16 bits are judged as written (a
// material of 65535 is not "none", a vertex of 65539 is not vertex 3); errors come first.
TEST(GameCheck, FindingsNameTheirPlaceErrorsFirst)
{
    const std::string text =
        "MATERIALS 2\n0: a.mat\n1: b.mat\nGEOSETS 2\nGEOSET 0\nMESHES 1\n" +
        Mesh("ok", {"0 0x0 4 3 0 0 3 0,0 1,1 2,1"}) + "GEOSET 1\nMESHES 2\n" +
        Mesh(kLong31 + "a", {"0 0x0 4 3 0 0 3 0,0 1,1 2,1"}) +
        Mesh(kLong31 + "b",
             {"0 0x0 4 3 0 0 0", "2 0x0 4 3 0 0 3 0,0 1,0 2,0", "65535 0x0 4 3 0 0 3 0,0 1,0 2,0",
              "-1 0x0 4 3 0 0 3 0,0 1,0 65539,0", "1 0x0 4 3 0 0 3 0,0 1,2 2,0"}) +
        "HIERARCHY NODES 3\n" + Node(0, kLong31) + Node(1, kLong31 + "x") + Node(2, "hip");
    const TLoadedModel loaded = Parse(text);
    const std::vector<TGameFinding> findings =
        CheckModelForGame(*loaded.Model, *loaded.Nodes, File("dir/m.3do"), nullptr);
    EXPECT_EQ(Places(findings), (std::vector<TPlace>{
                                    {"face-corners", 1, 1, 0, -1},
                                    {"material-index", 1, 1, 1, -1},
                                    {"material-index", 1, 1, 2, -1},
                                    {"vertex-index", 1, 1, 3, -1},
                                    {"texture-vertex-index", 1, 1, 4, -1},
                                    {"node-name-length", -1, -1, -1, 1},
                                    {"mesh-name-length", 1, 0, -1, -1},
                                    {"mesh-name-length", 1, 1, -1, -1},
                                    {"mesh-name-collision", 1, 1, -1, -1},
                                }));
    EXPECT_EQ(FindingLine(findings[3]),
              "error: geoset 1, mesh 1 '" + kLong31 +
                  "b', face 3 has a corner with a vertex number outside 0 to 65535, beyond the "
                  "mesh's 4 vertices; the game reads past its vertex table: garbage or a crash");
    EXPECT_EQ(findings[4].Message,
              "geoset 1, mesh 1 '" + kLong31 +
                  "b', face 4 has a corner with texture vertex 2 (corner 1), beyond the mesh's 2 "
                  "texture vertices; the game reads past its table: garbage or a crash");
    EXPECT_EQ(findings[8].Message, "geoset 1, mesh 1 '" + kLong31 + "b' has the name of mesh 0 '" +
                                       kLong31 + "a' once the game cuts both to 31 characters");
    EXPECT_EQ(FindingsSummary(findings), "6 errors, 3 warnings");
    EXPECT_EQ(ErrorCount(findings), 6);
    // A load failure's message names the file's bytes as Latin-1 where they are not UTF-8.
    EXPECT_EQ(FindingLine(LoadFailure("'caf\xe9' is not a valid integer value")),
              "error: 'caf\xc3\xa9' is not a valid integer value");
}

// What the game makes of the material list: missing, unreadable, a texture side that is not a
// power of two. A colour material's faces never read their texture vertices.
TEST(GameCheck, MaterialsAsFoundAndTheTextureVerticesTheyUse)
{
    const TLoadedModel loaded =
        Parse("MATERIALS 5\n0: gone.mat\n1: bad.mat\n2: wide.mat\n3: ok.mat\n4: flat.mat\n"
              "GEOSET 0\n" +
              Mesh("m", {"4 0x0 4 3 0 0 3 0,7 1,0 2,0", "3 0x0 4 3 0 0 3 0,7 1,0 2,0"}) +
              "HIERARCHY NODES 1\n" + Node(0, "root"));
    TModelMaterials materials;
    materials.Looks.resize(5);
    materials.Sources.resize(5);
    materials.Sources[1].Origin = TAssetOrigin{0, mkArchive, "g.gob", "mat\\bad.mat"};
    materials.Sources[1].Problem = "Not a material file";
    for (int i : {2, 3})
    {
        materials.Looks[i].Kind = TMaterialKind::Texture;
        materials.Looks[i].Width = 64;
        materials.Looks[i].Height = i == 2 ? 48 : 128;
    }
    materials.Looks[4].Kind = TMaterialKind::Colour;
    for (int i = 0; i < 5; ++i)
        materials.Looks[i].Name = loaded.Model->Materials[i];

    const std::vector<TGameFinding> findings = CheckModelForGame(
        *loaded.Model, *loaded.Nodes, File(std::string(28, 'f') + ".3do"), &materials);
    EXPECT_EQ(Places(findings), (std::vector<TPlace>{
                                    {"texture-vertex-index", 0, 0, 1, -1},
                                    {"material-missing", -1, -1, -1, -1},
                                    {"material-unreadable", -1, -1, -1, -1},
                                    {"texture-size", -1, -1, -1, -1},
                                    {"file-name-length", -1, -1, -1, -1},
                                }));
    EXPECT_EQ(findings[1].Message,
              "material 0 'gone.mat' is not found; in a level the game draws dflt.mat instead");
    EXPECT_EQ(findings[2].Message,
              "material 1 'bad.mat' cannot be read (g.gob (mat\\bad.mat)): Not a "
              "material file; in a level the game draws dflt.mat instead");
    EXPECT_EQ(findings[3].Message,
              "material 2 'wide.mat' has a texture of 64 x 48; a side that is not a power of two "
              "is drawn, but hardware paths may stretch or reject it");

    // A name of 31 characters is the game's limit exactly; an archive's entry is named by the
    // part after its folders.
    TModelLocation entry;
    entry.ArchiveName = "a.gob";
    entry.EntryName = "3do\\" + std::string(27, 'f') + ".3do";
    EXPECT_EQ(CheckModelForGame(*loaded.Model, *loaded.Nodes, entry, &materials).size(), 4u);
}
