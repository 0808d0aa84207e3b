// Loader behaviour: format rules, messages, progress and the mended faults.
#include "model/loader.h"

#include "game_files.h"
#include "formats/gob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
std::string Join(std::initializer_list<const char*> lines, const char* eol = "\r\n")
{
    std::string out;
    for (const char* l : lines)
    {
        out += l;
        out += eol;
    }
    return out;
}

const std::initializer_list<const char*> kTriangleLines = {
    "3DO 2.1",
    "RADIUS 0.5",
    "INSERT OFFSET 0.0 0.0 0.0",
    "GEOSETS 1",
    "GEOSET 0",
    "MESHES 1",
    "MESH 0",
    "NAME box",
    "RADIUS 0.2",
    "VERTICES 3",
    "0: 0.0 0.0 0.0 0.0",
    "",
    "1: 1.0 0.0 0.0 0.0",
    "2: 0.0 1.0 0.0 0.0",
    "TEXTURE VERTICES 1",
    "0: 0.5 0.5",
    "FACES 1",
    "0: 0 0x0000 4 3 0 0.0 3 0, 0 1, 0 2, 0",
    "HIERARCHY NODES 1",
    "0: 0x0000 0x00001 0 -1 -1 -1 0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 root",
};

TLoadedModel Parse(const std::string& text, TSilentProgress* progressOut = nullptr)
{
    TSilentProgress progress;
    TLoadedModel m = Parse3DO(text, progressOut ? *progressOut : progress);
    return m;
}

std::string ErrorOf(const std::string& text)
{
    try
    {
        Parse(text);
    }
    catch (const std::exception& e)
    {
        return e.what();
    }
    return "(no error)";
}

// One geoset, one mesh with one vertex, then whatever the test adds.
std::string MeshWith(const std::string& tail)
{
    return Join({"GEOSET 0", "MESH 0", "VERTICES 1", "0: 1 2 3 4"}) + tail;
}

const std::string kRootNode =
    "HIERARCHY NODES 1\r\n0: 0x0000 0x0000 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 root\r\n";

class TempFile
{
public:
    explicit TempFile(const std::string& content)
    {
        FPath = std::filesystem::temp_directory_path() /
                (std::string("quillmark_loader_") +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".3do");
        std::ofstream(FPath, std::ios::binary) << content;
    }
    ~TempFile() { std::filesystem::remove(FPath); }
    std::string Path() const { return FPath.string(); }

private:
    std::filesystem::path FPath;
};
} // namespace

TEST(Loader, ReadsTheWorkedExample)
{
    TSilentProgress progress;
    const TLoadedModel m = Parse(Join(kTriangleLines), &progress);
    EXPECT_FLOAT_EQ(m.Model->Version, 2.1f);
    EXPECT_EQ(m.Model->Radius, 0.5);
    ASSERT_EQ(m.Model->Count(), 1);
    const T3DOMesh& mesh = m.Model->Get(0).Meshes.Get(0);
    EXPECT_EQ(mesh.Name, "box");
    EXPECT_EQ(mesh.Radius, 0.2);
    ASSERT_EQ(mesh.Vertices.Count(), 3);
    EXPECT_EQ(mesh.Vertices.Get(1).X, 1.0);
    EXPECT_EQ(mesh.TexVertices.Get(0).U, 0.5);
    ASSERT_EQ(mesh.Faces.Count(), 1);
    const T3DOFace& f = mesh.Faces.Get(0);
    EXPECT_EQ(f.GeometryMode, 4);
    EXPECT_EQ(f.LightingMode, 3);
    EXPECT_EQ(f.VertexCount(), 3);
    EXPECT_EQ(f.VertexIndex(2), 2);
    EXPECT_EQ(mesh.MinX, 0);
    EXPECT_EQ(mesh.MaxX, 1);
    EXPECT_EQ(mesh.MaxY, 1);
    EXPECT_EQ(mesh.MaxZ, 0);
    EXPECT_EQ(mesh.NodeIndex, 0);
    EXPECT_EQ(mesh.OffsetX, 0);
    ASSERT_EQ(m.Nodes->Count(), 1);
    EXPECT_EQ(m.Nodes->Get(0).Name, "root");
    EXPECT_EQ(m.Nodes->Get(0).ParentIndex, -1);
    // After a successful load the last text is the derivation step with a full bar.
    EXPECT_EQ(progress.Text, "Learning About 3DO...");
    EXPECT_EQ(progress.Pos, 3);
    EXPECT_EQ(progress.Max, 3);
    EXPECT_EQ(progress.Caption, "Loading Jedi Knight 3DO");
}

TEST(Loader, LineEndsMayBeCrLfLfOrCr)
{
    for (const char* eol : {"\r\n", "\n", "\r"})
    {
        const TLoadedModel m = Parse(Join(kTriangleLines, eol));
        EXPECT_EQ(m.Model->Get(0).Meshes.Get(0).Vertices.Count(), 3) << int(eol[0]);
        EXPECT_EQ(m.Nodes->Count(), 1);
    }
}

TEST(Loader, KeywordsAreCaseInsensitiveAndMayBeIndented)
{
    const TLoadedModel m = Parse(Join({"  \tgeoset 0", "   # indented comment", "\tmesh 0",
                                       "name My Mesh", "Vertices 1", "0: 1 2 3 4"}) +
                                 kRootNode);
    EXPECT_EQ(m.Model->Count(), 1);
    // Values are taken as written, and only field 2 is the name.
    EXPECT_EQ(m.Model->Get(0).Meshes.Get(0).Name, "My");
}

TEST(Loader, TrailingBlanksOfKeywordsMatter)
{
    // 'GEOSETS 2' is not a GEOSET line and 'MESHES 3' is not a MESH line; unknown lines are
    // ignored.
    const TLoadedModel m =
        Parse(Join({"GEOSETS 2", "GEOSET 0", "MESHES 3", "MESH 0", "MESHX 9", "whatever 1 2"}) +
              kRootNode);
    EXPECT_EQ(m.Model->Count(), 1);
    EXPECT_EQ(m.Model->Get(0).Meshes.Count(), 1);
}

TEST(Loader, RadiusGoesToTheModelBeforeTheFirstGeoSet)
{
    const TLoadedModel m = Parse(Join({"RADIUS 3.5", "GEOSET 0", "MESH 0", "RADIUS 1.25"}) +
                                 kRootNode);
    EXPECT_EQ(m.Model->Radius, 3.5);
    EXPECT_EQ(m.Model->Get(0).Meshes.Get(0).Radius, 1.25);
}

TEST(Loader, RecordSectionsSkipShortAndCommentLinesOnly)
{
    const TLoadedModel m = Parse(Join({"GEOSET 0", "MESH 0", "VERTICES 3", "", "x", "# skip",
                                       "5: 1 1 1 0", "  2: 2 2 2 0", "0: 3 3 3 0"}) +
                                 kRootNode);
    const TVertexList& v = m.Model->Get(0).Meshes.Get(0).Vertices;
    ASSERT_EQ(v.Count(), 3);
    // Stored in file order whatever the record numbers say.
    EXPECT_EQ(v.Get(0).X, 1);
    EXPECT_EQ(v.Get(1).X, 2);
    EXPECT_EQ(v.Get(2).X, 3);
    // A line of two blanks is a record and lacks its fields.
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "MESH 0", "VERTICES 1", "  "})),
              "List index out of bounds");
}

TEST(Loader, ZeroOrNegativeCountsReadNoRecords)
{
    const TLoadedModel m =
        Parse(Join({"GEOSET 0", "MESH 0", "VERTICES 0", "NAME after", "FACES -3", "NAME again"}) +
              kRootNode);
    EXPECT_EQ(m.Model->Get(0).Meshes.Get(0).Name, "again");
}

TEST(Loader, FaceRecordsWithAllCommaForms)
{
    const TLoadedModel m = Parse(MeshWith(Join(
        {"VERTICES 4", "0: 0 0 0 0", "1: 0 0 0 0", "2: 0 0 0 0", "3: 0 0 0 0", "FACES 1",
         "  0:  3  0x0000  4  3  0  0.0000  4  0, 0  1, 1  2,2  3 3"})) +
                                 kRootNode);
    const T3DOFace& f = m.Model->Get(0).Meshes.Get(0).Faces.Get(0);
    EXPECT_EQ(f.Material, 3);
    EXPECT_EQ(f.GeometryMode, 4);
    EXPECT_EQ(f.LightingMode, 3);
    EXPECT_EQ(f.TextureMode, 0);
    ASSERT_EQ(f.VertexCount(), 4);
    for (int k = 0; k < 4; ++k)
    {
        EXPECT_EQ(f.VertexIndex(k), k);
        EXPECT_EQ(f.TexVertexIndex(k), k);
    }
}

TEST(Loader, KeepsMaterialNamesAndFaceFlagsWithoutFailingOnThem)
{
    const std::string faces =
        Join({"VERTICES 3", "0: 0 0 0 0", "1: 0 0 0 0", "2: 0 0 0 0", "FACES 4",
              "0: 0 0x0003 4 3 0 0 3 0,0 1,0 2,0", "1: 0 A1 4 3 0 0 3 0,0 1,0 2,0",
              "2: 0 0xZZ 4 3 0 0 3 0,0 1,0 2,0", "3: 0 0x123456789 4 3 0 0 3 0,0 1,0 2,0"});
    const TLoadedModel m =
        Parse(Join({"3DO 2.1", "SECTION: MODELRESOURCE", "materials 3", "# comment", "  0: Kyhead.MAT",
                    "1:\tbody.mat extra", "GEOSET 0", "2: late.mat", "MESH 0"}) +
              faces + kRootNode);
    EXPECT_EQ(m.Model->Materials, (std::vector<std::string>{"Kyhead.MAT", "body.mat"}));
    const TFaceList& f = m.Model->Get(0).Meshes.Get(0).Faces;
    EXPECT_EQ(f.Get(0).Flags, 3u);
    EXPECT_EQ(f.Get(1).Flags, 0xA1u);
    EXPECT_EQ(f.Get(2).Flags, 0u);
    EXPECT_EQ(f.Get(3).Flags, 0u);

    // A broken list changes nothing else: the model is the one without it.
    EXPECT_TRUE(Parse(Join({"MATERIALS x", "0: a.mat", "GEOSET 0"})).Model->Materials.empty());
    EXPECT_EQ(Parse(Join({"MATERIALS 2", "0:"})).Model->Count(), 0);
}

TEST(Loader, SixteenBitFieldsKeepTheirLowBits)
{
    const TLoadedModel m = Parse(Join({"GEOSET 0", "MESH 0", "GEOMETRYMODE 65539",
                                       "LIGHTINGMODE -1", "TEXTUREMODE $FFFF8000", "FACES 1",
                                       "0: 70000 0x0 1 2 3 0.5 1 65537, 65536"}) +
                                 kRootNode);
    const T3DOMesh& mesh = m.Model->Get(0).Meshes.Get(0);
    EXPECT_EQ(mesh.GeometryMode, 3);
    EXPECT_EQ(mesh.LightingMode, -1);
    EXPECT_EQ(mesh.TextureMode, -32768);
    const T3DOFace& f = mesh.Faces.Get(0);
    EXPECT_EQ(f.Material, static_cast<std::int16_t>(70000 & 0xFFFF));
    EXPECT_EQ(f.VertexIndex(0), 1);
    EXPECT_EQ(f.TexVertexIndex(0), 0);
}

TEST(Loader, NormalsApplyInFileOrderAndMayNotOutnumberTheirItems)
{
    const TLoadedModel m = Parse(
        Join({"GEOSET 0", "MESH 0", "VERTICES 2", "0: 0 0 0 0", "1: 0 0 0 0", "FACES 1",
              "0: 0 0x0 4 3 0 0 2 0,0 1,0", "VERTEX NORMALS", "9: 0.1 0.2 0.3", "3: 1 0 0",
              "FACE NORMALS", "0: 0 0 -1"}) +
        kRootNode);
    const T3DOMesh& mesh = m.Model->Get(0).Meshes.Get(0);
    EXPECT_EQ(mesh.Vertices.Get(0).NormalZ, 0.3);
    EXPECT_EQ(mesh.Vertices.Get(1).NormalX, 1);
    EXPECT_EQ(mesh.Faces.Get(0).NormalZ, -1);
    // The normal count comes from the most recent VERTICES line, which here belongs to an
    // earlier mesh with more vertices.
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "MESH 0", "VERTICES 2", "0: 0 0 0 0", "1: 0 0 0 0",
                            "MESH 1", "VERTEX NORMALS", "0: 1 0 0", "1: 1 0 0"})),
              "List index out of bounds");
}

TEST(Loader, IntegerFieldsFailWithTheirText)
{
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0x1F"})), "'0x1F' is not a valid integer value");
    EXPECT_EQ(ErrorOf(Join({"GEOSETS 1.5"})), "'1.5' is not a valid integer value");
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "MESH 0", "VERTICES 2147483648"})),
              "'2147483648' is not a valid integer value");
}

TEST(Loader, MissingContainersAndFieldsFailWithTheListMessage)
{
    EXPECT_EQ(ErrorOf(Join({"MESH 0"})), "List index out of bounds");
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "NAME x"})), "List index out of bounds");
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "VERTICES 1", "0: 1 2 3 4"})),
              "List index out of bounds");
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "MESH 0", "NAME"})), "List index out of bounds");
    EXPECT_EQ(ErrorOf(Join({"3DO"})), "List index out of bounds");
    // A second geoset does not reset the current mesh index.
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "MESH 0", "MESH 1", "GEOSET 1", "MESH 0", "NAME x",
                            "GEOSET 2", "NAME y"})),
              "List index out of bounds");
    // No nodes: every mesh keeps node 0, which does not exist.
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "MESH 0"})), "List index out of bounds");
}

TEST(Loader, MismatchedGeoSetNumberWarnsAndGoesOn)
{
    TSilentProgress progress;
    const TLoadedModel m = Parse(Join({"GEOSET 1", "MESH 0", "GEOSET 1", "MESH 0"}) + kRootNode,
                                 &progress);
    ASSERT_EQ(progress.Warnings.size(), 1u);
    EXPECT_EQ(progress.Warnings[0], "Mismatch Error Occurred. 1 to 0");
    EXPECT_EQ(m.Model->Count(), 2);
}

TEST(Loader, ProgressCountsMeshesAcrossGeoSetsAndNodes)
{
    struct Recorder : TSilentProgress
    {
        std::vector<std::pair<int, int>> Seen; // (max, position) at each repaint
        int MaxSeenWhileHierarchy = -1;
        void Update() override { Seen.emplace_back(Max, Pos); }
    };
    std::string text = "GEOSETS 3\r\n";
    for (int g = 0; g < 3; ++g)
    {
        text += "GEOSET " + std::to_string(g) + "\r\nMESHES 4\r\n";
        for (int i = 0; i < 4; ++i)
            text += "MESH " + std::to_string(i) + "\r\n";
    }
    text += "HIERARCHY NODES 5\r\n";
    for (int k = 0; k < 5; ++k)
        text += "0: 0x0 0x0 -1 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 n\r\n";
    text += "HIERARCHY NODES 0\r\n0: 0x0 0x0 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 n\r\n";
    Recorder r;
    // The second HIERARCHY NODES line has no records; its node line is ignored at top level,
    // so the meshes keep node 0 from the first section.
    Parse3DO(text, r);
    // Twelve MESH lines against a maximum of 11: the bar stops at its maximum.
    int meshRepaints = 0;
    bool sawFull = false;
    for (const auto& [max, pos] : r.Seen)
        if (max == 11)
        {
            ++meshRepaints;
            EXPECT_LE(pos, 11);
            sawFull = sawFull || pos == 11;
        }
    EXPECT_TRUE(sawFull);
    EXPECT_GE(meshRepaints, 12);
    std::vector<int> nodePositions;
    for (const auto& [max, pos] : r.Seen)
        if (max == 5)
            nodePositions.push_back(pos);
    // One repaint for the heading (position carried over, clamped), then 0 to 4.
    ASSERT_EQ(nodePositions.size(), 6u);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(nodePositions[static_cast<std::size_t>(k + 1)], k);
}

TEST(Loader, MeshesZeroWrapsTheBarMaximum)
{
    struct MaxRecorder : TSilentProgress
    {
        std::vector<int> Maxima;
        void SetMax(std::uint16_t v) override
        {
            TSilentProgress::SetMax(v);
            Maxima.push_back(v);
        }
    } r;
    Parse3DO(Join({"GEOSETS 2", "GEOSET 0", "MESHES 0", "MESH 0"}) + kRootNode, r);
    ASSERT_GE(r.Maxima.size(), 2u);
    EXPECT_EQ(r.Maxima[1], 65535);
}

TEST(Loader, MendedFaultsEndLongSectionsAndOversizedFaces)
{
    // A section announcing far more records than the file holds ends at the end of the file.
    const TLoadedModel m =
        Parse(kRootNode + Join({"GEOSET 0", "MESH 0", "VERTICES 2000000000", "0: 1 2 3 4"}));
    EXPECT_EQ(m.Model->Get(0).Meshes.Get(0).Vertices.Count(), 1);

    std::string face = "0: 0 0x0 4 3 0 0 257";
    for (int k = 0; k < 257; ++k)
        face += " 0, 0";
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "MESH 0", "FACES 1", face.c_str()})),
              "Face has more than 256 vertices");
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "MESH 0", "FACES 1", "0: 0 0x0 4 3 0 0 -1"})),
              "Face has more than 256 vertices");
    EXPECT_EQ(ErrorOf(Join({"GEOSET 0", "MESH 0", "HIERARCHY NODES 2",
                            "0: 0x0 0x0 0 1 -1 -1 0 0 0 0 0 0 0 0 0 0 a",
                            "1: 0x0 0x0 -1 0 -1 -1 0 0 0 0 0 0 0 0 0 0 b"})),
              "Hierarchy node parent chain has a cycle");
}

TEST(Loader, CtrlZEndsTheFileAndNamesAreCut)
{
    const TLoadedModel m = Parse(Join({"GEOSET 0", "MESH 0",
                                       "NAME abcdefghijklmnopqrstuvwxyz0123456789ABCD"}) +
                                 kRootNode + "\x1A" + "GEOSET 1\r\n");
    EXPECT_EQ(m.Model->Count(), 1);
    EXPECT_EQ(m.Model->Get(0).Meshes.Get(0).Name, "abcdefghijklmnopqrstuvwxyz0123");
}

TEST(Loader, FileLoadMatchesMemoryLoadAcrossChunkBoundaries)
{
    // Lines long enough to straddle the reader's chunks, CR LF split across a boundary.
    std::string text = Join({"GEOSET 0", "MESH 0"});
    std::string big = "VERTICES 60000\r\n";
    for (int i = 0; i < 60000; ++i)
        big += std::to_string(i) + ": " + std::to_string(i) + ".5 1 2 3" +
               std::string(static_cast<std::size_t>(i % 7), ' ') + "\r\n";
    text += big + kRootNode;
    text += "# " + std::string(3 << 20, 'x') + "\r\n"; // one line longer than a chunk
    TempFile file(text);
    TSilentProgress p;
    const TLoadedModel fromFile = Parse3DOFile(file.Path(), p);
    const TLoadedModel fromMemory = Parse(text);
    const TVertexList& a = fromFile.Model->Get(0).Meshes.Get(0).Vertices;
    const TVertexList& b = fromMemory.Model->Get(0).Meshes.Get(0).Vertices;
    ASSERT_EQ(a.Count(), 60000);
    ASSERT_EQ(b.Count(), 60000);
    for (int i = 0; i < 60000; i += 997)
        EXPECT_EQ(a.Get(i).X, i + 0.5);
    EXPECT_EQ(fromFile.Nodes->Count(), 1);
}

TEST(Loader, FailedLoadKeepsThePreviousModelAndHidesProgress)
{
    TempFile good(Join(kTriangleLines));
    TSilentProgress p;
    Load3DO(good.Path(), p);
    EXPECT_FALSE(p.Visible);
    ASSERT_EQ(CurrentModel->Get(0).Meshes.Get(0).Name, "box");
    CurrentGeoSetIndex = 0;
    T3DO* before = CurrentModel.get();

    TempFile bad(Join({"GEOSET 0", "MESH 0", "GEOMETRYMODE x"}));
    EXPECT_THROW(Load3DO(bad.Path(), p), EConvertError);
    EXPECT_FALSE(p.Visible);
    EXPECT_EQ(CurrentModel.get(), before);
    EXPECT_EQ(CurrentModel->Get(0).Meshes.Get(0).Name, "box");
    EXPECT_EQ(HierarchyNodes->Count(), 1);

    try
    {
        Load3DO((std::filesystem::temp_directory_path() / "quillmark_missing.3do").string(), p);
        FAIL();
    }
    catch (const EInOutError& e)
    {
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_EQ(CurrentModel.get(), before);
    FreeModel();
}

TEST(Loader, AnArchiveEntryLoadsAsTheSameFileDoes)
{
    // Every step the progress window is told, in order.
    struct Journal : TSilentProgress
    {
        std::vector<std::string> Steps;
        void SetCaption(const std::string& c) override { Steps.push_back("caption " + c); }
        void SetText(const std::string& t) override { Steps.push_back("text " + t); }
        void Show() override { Steps.push_back("show"); }
        void Hide() override { Steps.push_back("hide"); }
        void Update() override
        {
            Steps.push_back("update " + std::to_string(Max) + " " + std::to_string(Pos));
        }
        void ReportMismatch(const std::string& text) override { Steps.push_back("box " + text); }
    };
    // GEOSET 1 first: the one warning a load shows without failing.
    std::string text = Join(kTriangleLines);
    text.replace(text.find("GEOSET 0"), 8, "GEOSET 1");
    const std::string bad = Join({"GEOSET 0", "MESH 0", "GEOMETRYMODE x"});
    TempFile file(text);
    const TGobArchive archive(MakeMemorySource(
        WriteTestGob({{"3do\\box.3do", text}, {"3do\\bad.3do", bad}, {"3do\\cut.3do", "x"}})));

    Journal fromFile, fromEntry;
    Load3DO(file.Path(), fromFile);
    ASSERT_EQ(CurrentModel->Get(0).Meshes.Get(0).Name, "box");
    Load3DOEntry(archive, 0, fromEntry);
    EXPECT_EQ(fromEntry.Steps, fromFile.Steps);
    EXPECT_EQ(fromEntry.Steps[0], "caption Loading Jedi Knight 3DO");
    EXPECT_NE(std::find(fromEntry.Steps.begin(), fromEntry.Steps.end(),
                        "box Mismatch Error Occurred. 1 to 0"),
              fromEntry.Steps.end());
    EXPECT_EQ(fromEntry.Steps.back(), "hide");
    const T3DOMesh& mesh = CurrentModel->Get(0).Meshes.Get(0);
    EXPECT_EQ(mesh.Name, "box");
    EXPECT_EQ(mesh.Vertices.Count(), 3);
    EXPECT_EQ(mesh.Faces.Get(0).VertexCount(), 3);
    EXPECT_EQ(mesh.MaxY, 1);
    EXPECT_EQ(HierarchyNodes->Get(0).Name, "root");

    // A bad model and an entry that cannot be read fail as a file would, and keep the model.
    T3DO* before = CurrentModel.get();
    TSilentProgress p;
    EXPECT_THROW(Load3DOEntry(archive, 1, p), EConvertError);
    EXPECT_FALSE(p.Visible);
    const std::string broken = WriteTestGob({{"a.3do", text}});
    const TGobArchive cut(MakeMemorySource(broken.substr(0, broken.size() - 10)));
    try
    {
        Load3DOEntry(cut, 0, p);
        FAIL();
    }
    catch (const EArchiveError& e)
    {
        EXPECT_STREQ(e.what(), "Broken archive entry: a.3do (its data runs past the end of the "
                               "archive)");
    }
    EXPECT_FALSE(p.Visible);
    EXPECT_EQ(CurrentModel.get(), before);
    FreeModel();
}

TEST(Loader, AModelBeyondTheMemoryBudgetFailsWithAClearError)
{
    std::string text = Join({"GEOSET 0", "MESH 0", "VERTICES 100000"});
    for (int i = 0; i < 100000; ++i)
        text += "0: 1 2 3 4\r\n";
    text += kRootNode;
    SetLoaderMemoryBudget(1 << 20); // 100000 vertices need several megabytes
    EXPECT_EQ(ErrorOf(text), "Out of memory");
    SetLoaderMemoryBudget(0);
    EXPECT_EQ(ErrorOf(text), "(no error)");
    EXPECT_GT(LoaderMemoryBudget(), 1u << 20);
}

TEST(Loader, HostileInputEndsWithAnErrorOrASensibleModel)
{
    // An empty file holds no geometry and no nodes: an empty, valid model.
    const TLoadedModel empty = Parse("");
    EXPECT_EQ(empty.Model->Count(), 0);
    EXPECT_EQ(empty.Nodes->Count(), 0);

    // Binary garbage and NUL bytes: nothing crashes, whatever the outcome.
    std::string garbage;
    for (int i = 0; i < 20000; ++i)
        garbage.push_back(static_cast<char>((i * 7919 + 13) & 0xFF));
    (void)ErrorOf(garbage);
    const std::string nuls = std::string("GEOSET 0\r\nMESH 0\r\nNAME a\0b\r\n", 28) + kRootNode;
    EXPECT_EQ(Parse(nuls).Model->Get(0).Meshes.Get(0).Name, std::string("a\0b", 3));

    // One enormous line of a single field.
    EXPECT_EQ(ErrorOf("NAME " + std::string(5 << 20, 'n')), "List index out of bounds");
    EXPECT_EQ(ErrorOf("VERTICES " + std::string(100000, '9')),
              "'" + std::string(100000, '9') + "' is not a valid integer value");

    // Numbers beyond any range load as infinities rather than failing.
    const TLoadedModel huge =
        Parse(MeshWith(Join({"VERTICES 1", "0: 1e999 -1e999 1e-999 0"})) + kRootNode);
    const T3DOVertex& v = huge.Model->Get(0).Meshes.Get(0).Vertices.Get(1);
    EXPECT_TRUE(std::isinf(v.X));
    EXPECT_TRUE(std::isinf(v.Y) && v.Y < 0);
    EXPECT_EQ(v.Z, 0);

    // A name of 10,000 characters keeps its first 30.
    const std::string longName = "NAME " + std::string(10000, 'q');
    const TLoadedModel named = Parse(Join({"GEOSET 0", "MESH 0", longName.c_str()}) + kRootNode);
    EXPECT_EQ(named.Model->Get(0).Meshes.Get(0).Name, std::string(30, 'q'));

    // Deep hierarchies: a parent chain as long as the node list is fine, a loop is not.
    std::string chain = "GEOSET 0\r\nMESH 0\r\nHIERARCHY NODES 5000\r\n";
    for (int k = 0; k < 5000; ++k)
        chain += "0: 0x0 0x0 " + std::to_string(k == 4999 ? 0 : -1) + " " + std::to_string(k - 1) +
                 " -1 -1 0 1 0 0 0 0 0 0 0 0 n\r\n";
    const TLoadedModel deep = Parse(chain);
    EXPECT_EQ(deep.Model->Get(0).Meshes.Get(0).OffsetX, 5000);
}
