#include "game/materialreport.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
TAssetOrigin Place(TMountKind kind, const std::string& mount, const std::string& path)
{
    return {0, kind, mount, path};
}
} // namespace

// An unusable material with where it is and why, the first missing one with each place once,
// the others by name, names in UTF-8, then the warnings; singular for one material.
TEST(MaterialReport, SummaryNamesWhatIsMissingAndWhereItWasLookedFor)
{
    TFoundMaterials found;
    found.ColormapOrigin = "a.gob (misc\\cmp\\dflt.cmp)";
    found.Warnings = {"Game folder not found: /g"};
    TModelMaterials& m = found.Materials;
    m.Looks.resize(5);
    m.Sources.resize(5);
    const char* names[] = {"ok.mat", "bad.mat", "gone.mat", "caf\xe9.mat", "x.mat"};
    for (int i = 0; i < 5; ++i)
        m.Looks[i].Name = names[i];
    m.Looks[0].Kind = TMaterialKind::Colour;
    m.Sources[0].Origin = Place(mkArchive, "a.gob", "mat\\ok.mat");
    m.Sources[1].Origin = Place(mkArchive, "a.gob", "mat\\bad.mat");
    m.Sources[1].Problem = "Not a material file";
    m.Sources[2].LookedIn = {Place(mkArchive, "a.gob", "3do/mat/gone.mat"),
                             Place(mkArchive, "a.gob", "mat/gone.mat"),
                             Place(mkArchive, "a.gob", "mat/gone.mat")};
    m.Sources[3].LookedIn = {Place(mkArchive, "a.gob", "3do/mat/caf\xe9.mat")};
    EXPECT_EQ(MaterialSummary(found, {"Mesh 'm' has faces ..."}),
              "1 of 5 materials found (colormap: a.gob (misc\\cmp\\dflt.cmp))\n"
              "Unusable: bad.mat (a.gob (mat\\bad.mat)): Not a material file\n"
              "Missing: gone.mat, looked in:\n"
              "    a.gob (3do/mat/gone.mat)\n"
              "    a.gob (mat/gone.mat)\n"
              "Also missing, looked for the same way: caf\xc3\xa9.mat, x.mat\n"
              "Game folder not found: /g\n"
              "Mesh 'm' has faces ...");

    TFoundMaterials one;
    one.Materials.Looks.resize(1);
    one.Materials.Sources.resize(1);
    one.Materials.Looks[0].Name = "t.mat";
    one.Materials.Looks[0].Kind = TMaterialKind::Texture;
    EXPECT_EQ(MaterialSummary(one, {}), "1 of 1 material found (colormap: none)");
    EXPECT_EQ(MaterialSummary(TFoundMaterials(), {"ignored"}), "");
}

// A model in ROOT/3do mounts ROOT and its own folder, which both hold ROOT/3do/mat/x.mat.
TEST(MaterialReport, PlacesLookedInNameEachFileOnce)
{
    TMaterialSource source;
    source.LookedIn = {Place(mkFolder, "r", "3do/mat/x.mat"), Place(mkFolder, "r", "mat/x.mat"),
                       Place(mkModelFolder, "r/3do", "mat/x.mat"),
                       Place(mkModelFolder, "r/3do", "x.mat"), Place(mkFolder, "r", "mat/x.mat")};
    const std::vector<TAssetOrigin> places = PlacesLookedIn(source);
    ASSERT_EQ(places.size(), 3u);
    EXPECT_EQ(places[0].Path, "3do/mat/x.mat");
    EXPECT_EQ(places[1].Path, "mat/x.mat");
    EXPECT_EQ(places[2].Path, "x.mat");
}
