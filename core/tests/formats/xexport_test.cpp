#include "formats/xexport.h"

#include "base/platform.h"
#include "temp_dir.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>

namespace
{
namespace fs = std::filesystem;

// Golden text is written with LF for readability; the file has CR LF.
std::string Crlf(const std::string& text)
{
    std::string out;
    for (const char c : text)
    {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

const char* const kPrologue = R"(xof 0302txt 0064
template Header {
 <3D82AB43-62DA-11cf-AB39-0020AF71E433>
 WORD major;
 WORD minor;
 DWORD flags;
}

template Vector {
 <3D82AB5E-62DA-11cf-AB39-0020AF71E433>
 FLOAT x;
 FLOAT y;
 FLOAT z;
}

template Coords2d {
 <F6F23F44-7686-11cf-8F52-0040333594A3>
 FLOAT u;
 FLOAT v;
}

template Matrix4x4 {
 <F6F23F45-7686-11cf-8F52-0040333594A3>
 array FLOAT matrix[16];
}

template ColorRGBA {
 <35FF44E0-6C7C-11cf-8F52-0040333594A3>
 FLOAT red;
 FLOAT green;
 FLOAT blue;
 FLOAT alpha;
}

template ColorRGB {
 <D3E16E81-7835-11cf-8F52-0040333594A3>
 FLOAT red;
 FLOAT green;
 FLOAT blue;
}

template IndexedColor {
 <1630B820-7842-11cf-8F52-0040333594A3>
 DWORD index;
 ColorRGBA indexColor;
}

template Boolean {
 <4885AE61-78E8-11cf-8F52-0040333594A3>
 WORD truefalse;
}

template Boolean2d {
 <4885AE63-78E8-11cf-8F52-0040333594A3>
 Boolean u;
 Boolean v;
}

template MaterialWrap {
 <4885AE60-78E8-11cf-8F52-0040333594A3>
 Boolean u;
 Boolean v;
}

template TextureFilename {
 <A42790E1-7810-11cf-8F52-0040333594A3>
 STRING filename;
}

template Material {
 <3D82AB4D-62DA-11cf-AB39-0020AF71E433>
 ColorRGBA faceColor;
 FLOAT power;
 ColorRGB specularColor;
 ColorRGB emissiveColor;
 [...]
}

template MeshFace {
 <3D82AB5F-62DA-11cf-AB39-0020AF71E433>
 DWORD nFaceVertexIndices;
 array DWORD faceVertexIndices[nFaceVertexIndices];
}

template MeshFaceWraps {
 <4885AE62-78E8-11cf-8F52-0040333594A3>
 DWORD nFaceWrapValues;
 Boolean2d faceWrapValues;
}

template MeshTextureCoords {
 <F6F23F40-7686-11cf-8F52-0040333594A3>
 DWORD nTextureCoords;
 array Coords2d textureCoords[nTextureCoords];
}

template MeshMaterialList {
 <F6F23F42-7686-11cf-8F52-0040333594A3>
 DWORD nMaterials;
 DWORD nFaceIndexes;
 array DWORD faceIndexes[nFaceIndexes];
 [Material]
}

template MeshNormals {
 <F6F23F43-7686-11cf-8F52-0040333594A3>
 DWORD nNormals;
 array Vector normals[nNormals];
 DWORD nFaceNormals;
 array MeshFace faceNormals[nFaceNormals];
}

template MeshVertexColors {
 <1630B821-7842-11cf-8F52-0040333594A3>
 DWORD nVertexColors;
 array IndexedColor vertexColors[nVertexColors];
}

template Mesh {
 <3D82AB44-62DA-11cf-AB39-0020AF71E433>
 DWORD nVertices;
 array Vector vertices[nVertices];
 DWORD nFaces;
 array MeshFace faces[nFaces];
 [...]
}

Header {
 1;
 0;
 1;
}

)";

const char* const kMaterialEnd = R"( MeshMaterialList {
  1;
  1;
  0;;
  Material {
   1.000000;1.000000;1.000000;1.000000;;
   0.000000;
   0.000000;0.000000;0.000000;;
   0.000000;0.000000;0.000000;;
  }
 }
}
)";

std::string Golden(const std::string& meshPart)
{
    return Crlf(kPrologue + meshPart + kMaterialEnd);
}

// The lines between "Mesh {" and the material list.
std::string MeshBody(const std::string& text)
{
    const std::string head = "\r\nMesh {\r\n";
    const std::size_t start = text.find(head);
    const std::size_t end = text.find("\r\n MeshMaterialList {", start) + 2;
    if (start == std::string::npos || end < start)
        return {};
    return text.substr(start + head.size(), end - start - head.size());
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void AddVertex(T3DOMesh& m, double x, double y, double z)
{
    T3DOVertex v;
    v.X = x;
    v.Y = y;
    v.Z = z;
    m.Vertices.Add(v);
}

void AddFace(T3DOMesh& m, std::initializer_list<std::uint16_t> corners)
{
    T3DOFace f;
    f.SetVertexCount(static_cast<int>(corners.size()));
    int k = 0;
    for (const std::uint16_t c : corners)
        f.SetCorner(k++, c, 0);
    m.Faces.Add(std::move(f));
}

T3DONode Node(int parent, double x, double y, double z, double px = 0, double py = 0, double pz = 0)
{
    T3DONode n;
    n.ParentIndex = parent;
    n.X = x;
    n.Y = y;
    n.Z = z;
    n.PivotX = px;
    n.PivotY = py;
    n.PivotZ = pz;
    return n;
}

// One geoset, one root node at the origin, one mesh with the given vertices.
struct TOneMesh
{
    T3DO Model;
    TNodeList Nodes;
    T3DOMesh& Mesh() { return Model.Get(0).Meshes.Get(0); }

    explicit TOneMesh(double radius)
    {
        Model.Radius = radius;
        T3DOGeoSet g;
        g.Meshes.Add(T3DOMesh());
        Model.Add(std::move(g));
        Nodes.Add(Node(-1, 0, 0, 0));
    }
};

class XFileTest : public ::testing::Test
{
protected:
    std::vector<std::string> Entries() const { return FTemp.Entries(); }

    TTempDir FTemp{"quillmark_xexport"};
    const fs::path FDir = FTemp.Path();
};

std::string ErrorText(const std::function<void()>& f)
{
    try
    {
        f();
    }
    catch (const std::exception& e)
    {
        return e.what();
    }
    return "(no error)";
}
} // namespace

TEST(XExport, StartModelGivesTheCompleteFileByteForByte)
{
    CreateEmptyModel();
    const std::string text = XText(*CurrentModel, *HierarchyNodes, CurrentGeoSetIndex);
    EXPECT_EQ(text, Golden("Mesh {\n 0;\n\n 0;\n"));
    EXPECT_EQ(text.find('\t'), std::string::npos);
    FreeModel();
}

TEST(XExport, SeveralMeshesMergeWithShiftedFaceIndices)
{
    T3DO model;
    model.Radius = 1;
    T3DOGeoSet g;
    T3DOMesh a, b, c;
    AddVertex(a, 1, 0, 0);
    AddVertex(a, 0, 1, 0);
    AddFace(a, {0, 1});
    // b has no vertices of its own but two faces: c's faces shift by the two vertices before
    // it, not by the three faces.
    AddFace(b, {});
    AddFace(b, {});
    AddVertex(c, 0, 0, 1);
    AddVertex(c, 0, 0, 2);
    AddVertex(c, 0, 0, 3);
    AddFace(c, {2});
    AddFace(c, {0, 1, 2});
    AddFace(c, {1, 2, 0, 1});
    g.Meshes.Add(std::move(a));
    g.Meshes.Add(std::move(b));
    g.Meshes.Add(std::move(c));
    model.Add(std::move(g));
    TNodeList nodes;
    nodes.Add(Node(-1, 0, 0, 0));

    EXPECT_EQ(XText(model, nodes, 0), Golden("Mesh {\n"
                                             " 5;\n"
                                             " -1.000000;0.000000;-0.000000;,\n"
                                             " -0.000000;0.000000;-1.000000;,\n"
                                             " -0.000000;1.000000;-0.000000;,\n"
                                             " -0.000000;2.000000;-0.000000;,\n"
                                             " -0.000000;3.000000;-0.000000;,\n"
                                             "\n"
                                             " 6;\n"
                                             " 2;1,0;,\n"
                                             " 0;\n"
                                             " 0;\n"
                                             " 1;4;,\n"
                                             " 3;4,3,2;,\n"
                                             " 4;3,2,4,3;,\n"));
}

TEST(XExport, VerticesArePlacedByTheirNodeChainScaledAndAxesMapped)
{
    // Node 2 (pivot 0.5, 0.25, 0) under node 1 (pivot ignored) under root node 0.
    T3DO model;
    model.Radius = 2;
    T3DOGeoSet g;
    T3DOMesh m;
    m.NodeIndex = 2;
    AddVertex(m, 1, 2, 3);
    g.Meshes.Add(std::move(m));
    model.Add(std::move(g));
    TNodeList nodes;
    nodes.Add(Node(-1, 10, 20, 30, 100, 100, 100));
    nodes.Add(Node(0, 1, 1, 1, 50, 50, 50));
    nodes.Add(Node(1, 0, 0, 0, 0.5, 0.25, 0));

    // World (12.5, 23.25, 34); written (-12.5, 34, -23.25) / 2.
    EXPECT_EQ(MeshBody(XText(model, nodes, 0)), Crlf(" 1;\n"
                                                     " -6.250000;17.000000;-11.625000;,\n"
                                                     "\n"
                                                     " 0;\n"));
}

TEST(XExport, PosedTextTurnsMeshesByTheirJointAndIsThePlainTextAtRest)
{
    T3DO model;
    model.Radius = 2;
    T3DOGeoSet g;
    T3DOMesh m;
    m.NodeIndex = 2;
    AddVertex(m, 1, 2, 3);
    AddFace(m, {0});
    g.Meshes.Add(std::move(m));
    model.Add(std::move(g));
    TNodeList nodes;
    nodes.Add(Node(-1, 10, 20, 30, 100, 100, 100));
    nodes.Add(Node(0, 1, 1, 1, 50, 50, 50));
    nodes.Add(Node(1, 0, 0, 0, 0.5, 0.25, 0));
    TPose pose = RestPose(nodes);
    EXPECT_EQ(PosedXText(model, nodes, 0, pose), XText(model, nodes, 0));

    // Node 1 turned 90 degrees of yaw: (1.5, 2.25, 3) about it becomes (-2.25, 1.5, 3), so the
    // world point is (8.75, 22.5, 34); written (-8.75, 34, -22.5) / 2.
    pose[1].Yaw = 90;
    EXPECT_EQ(MeshBody(PosedXText(model, nodes, 0, pose)),
              Crlf(" 1;\n"
                   " -4.375000;17.000000;-11.250000;,\n"
                   "\n"
                   " 1;\n"
                   " 1;0;,\n"));
}

TEST(XExport, OriginNegativeZeroAndLongNumbers)
{
    TOneMesh one(1);
    AddVertex(one.Mesh(), 0, 0, 0);
    AddVertex(one.Mesh(), 1234.56789, -0.5, -1234.56789);
    AddVertex(one.Mesh(), -0.0, -0.0, -0.0);
    EXPECT_EQ(MeshBody(XText(one.Model, one.Nodes, 0)),
              Crlf(" 3;\n"
                   " -0.000000;0.000000;-0.000000;,\n"
                   " -1234.567890;-1234.567890;0.500000;,\n"
                   // -0 plus the node's +0 offset is +0.
                   " -0.000000;0.000000;-0.000000;,\n"
                   "\n"
                   " 0;\n"));
}

TEST(XExport, ZeroRadiusScalesByOne)
{
    TOneMesh one(0);
    AddVertex(one.Mesh(), 0.5, 2, -3);
    EXPECT_EQ(MeshBody(XText(one.Model, one.Nodes, 0)), Crlf(" 1;\n"
                                                             " -0.500000;-3.000000;-2.000000;,\n"
                                                             "\n"
                                                             " 0;\n"));
}

TEST(XExport, NonFiniteCoordinatesAreWrittenAsWords)
{
    TOneMesh one(1);
    const double inf = std::numeric_limits<double>::infinity();
    AddVertex(one.Mesh(), inf, -inf, std::numeric_limits<double>::quiet_NaN());
    const std::string body = MeshBody(XText(one.Model, one.Nodes, 0));
    // The sign a not-a-number value carries through the product is the processor's business.
    EXPECT_TRUE(body == " 1;\r\n -INF;NAN;INF;,\r\n\r\n 0;\r\n" ||
                body == " 1;\r\n -INF;-NAN;INF;,\r\n\r\n 0;\r\n")
        << body;
}

TEST(XExport, BadIndicesAndCyclesStopTheWriter)
{
    {
        TOneMesh one(1);
        one.Mesh().NodeIndex = 1;
        // Without vertices the node is never looked up.
        EXPECT_NO_THROW(XText(one.Model, one.Nodes, 0));
        AddVertex(one.Mesh(), 0, 0, 0);
        EXPECT_EQ(ErrorText([&] { XText(one.Model, one.Nodes, 0); }), "List index out of bounds");
        EXPECT_THROW(XText(one.Model, one.Nodes, 0), EListError);
        one.Mesh().NodeIndex = -1;
        EXPECT_THROW(XText(one.Model, one.Nodes, 0), EListError);
    }
    {
        TOneMesh one(1);
        AddVertex(one.Mesh(), 0, 0, 0);
        one.Nodes.Get(0).ParentIndex = 5;
        EXPECT_THROW(XText(one.Model, one.Nodes, 0), EListError);
        one.Nodes.Get(0).ParentIndex = 1;
        one.Nodes.Add(Node(0, 0, 0, 0));
        EXPECT_EQ(ErrorText([&] { XText(one.Model, one.Nodes, 0); }), kParentChainCycle);
        EXPECT_THROW(XText(one.Model, one.Nodes, 0), EModelError);
    }
    {
        TOneMesh one(1);
        EXPECT_EQ(ErrorText([&] { XText(one.Model, one.Nodes, 1); }), "List index out of bounds");
    }
}

TEST(XExport, RealFormatRoundsTwiceAndNeverCuts)
{
    struct TCase
    {
        double Value;
        const char* Text;
    };
    // Worked by hand from the exact binary values.
    const TCase cases[] = {
        {0.5, "0.500000"},
        {-12.25, "-12.250000"},
        {1e-7, "0.000000"},
        {0.0, "0.000000"},
        {-0.0, "-0.000000"},
        {-1e-9, "-0.000000"},
        // 4.99999999999999977e-7: 0.00000050000000000 at 17 decimals, then up.
        {0.0000005, "0.000001"},
        {-0.0000005, "-0.000001"},
        // 4.99999999995999970e-7 still reaches ...5 at 17 decimals; ...94000 does not.
        {4.99999999996e-7, "0.000001"},
        {4.99999999994e-7, "0.000000"},
        {2.5e-7, "0.000000"},
        {0.0000015, "0.000002"},
        {0.0000035, "0.000004"},
        {0.0000055, "0.000006"},
        {0.1234565, "0.123457"},
        {1.0000005, "1.000001"},
        {1.9999995, "1.999999"},
        {0.9999995, "1.000000"},
        {9.9999995, "9.999999"},
        // 12.34567849999999999966: 18 significant digits give 12.3456785000000000.
        {12.3456785, "12.345679"},
        {99999.9999995, "99999.999999"},
        {999999999.9999995, "1000000000.000000"},
        {0.30000000000000004, "0.300000"},
        {2.0 / 3.0, "0.666667"},
        {-1234.56789, "-1234.567890"},
        {123456789012.345672607421875, "123456789012.345673"},
        // From 1e12 up 18 significant digits leave fewer than six decimals.
        {1234567890123.4560546875, "1234567890123.456050"},
        {999999999999999.875, "999999999999999.875000"},
        {1e17, "100000000000000000.000000"},
        {123456789012345683968.0, "123456789012345684000.000000"},
        {1e22, "10000000000000000000000.000000"},
        {5e-324, "0.000000"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FormatXReal(c.Value), c.Text) << "value " << c.Value;

    EXPECT_EQ(FormatXReal(1e300), "100000000000000005" + std::string(283, '0') + ".000000");
    EXPECT_EQ(FormatXReal(-std::numeric_limits<double>::max()),
              "-179769313486231571" + std::string(291, '0') + ".000000");
    EXPECT_EQ(FormatXReal(-std::numeric_limits<double>::max()).size(), kMaxXRealLength);
    EXPECT_EQ(FormatXReal(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(FormatXReal(-std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(FormatXReal(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

namespace
{
// An independent rendering of the two stages from printf's exact digits.
std::string ReferenceReal(double value)
{
    std::string sign = std::signbit(value) ? "-" : "";
    const double m = std::fabs(value);
    char buf[512];
    std::string intPart, frac;
    if (m < 10)
    {
        std::snprintf(buf, sizeof(buf), "%.17f", m);
        const std::string s = buf;
        intPart = s.substr(0, s.find('.'));
        frac = s.substr(s.find('.') + 1);
    }
    else
    {
        std::snprintf(buf, sizeof(buf), "%.17e", m);
        const std::string s = buf;
        const std::string mant = s.substr(0, 1) + s.substr(2, 17);
        const int exponent = std::stoi(s.substr(s.find('e') + 1));
        const std::size_t intLen = static_cast<std::size_t>(exponent) + 1;
        std::string all = mant;
        while (all.size() < intLen)
            all += '0';
        intPart = all.substr(0, intLen);
        frac = all.substr(intLen);
    }
    frac += "0000000";
    std::string digits = intPart + frac.substr(0, 6);
    if (frac[6] >= '5')
    {
        int i = static_cast<int>(digits.size()) - 1;
        while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
            digits[static_cast<std::size_t>(i--)] = '0';
        if (i < 0)
            digits = "1" + digits;
        else
            ++digits[static_cast<std::size_t>(i)];
    }
    return sign + digits.substr(0, digits.size() - 6) + "." + digits.substr(digits.size() - 6);
}
} // namespace

TEST(XExport, RealFormatMatchesTheTwoStagesNearEveryKindOfBoundary)
{
    std::mt19937_64 rng(12345);
    std::uniform_int_distribution<std::int64_t> millionths(0, 2'000'000'000'000'000);
    std::uniform_int_distribution<int> exponent(-8, 15);
    std::uniform_int_distribution<int> nudge(-40, 40);
    int checked = 0;
    for (int i = 0; i < 200000; ++i)
    {
        // (k + 0.5) millionths at various magnitudes, and their neighbours a few ulps away.
        const double scaleBy = std::pow(10.0, exponent(rng) - 6);
        double x = (static_cast<double>(millionths(rng) % 100000000) + 0.5) * scaleBy;
        for (int n = nudge(rng); n > 0; --n)
            x = std::nextafter(x, 1e300);
        for (int n = nudge(rng); n < 0; ++n)
            x = std::nextafter(x, 0.0);
        if (i % 2)
            x = -x;
        ASSERT_EQ(FormatXReal(x), ReferenceReal(x)) << "value " << x;
        ++checked;
    }
    // Within a few units of the first stage's rounding step of a boundary.
    std::uniform_real_distribution<double> within(-3, 3);
    for (int i = 0; i < 200000; ++i)
    {
        const double boundary =
            static_cast<double>(millionths(rng) >> (i % 50)) + 0.5; // in millionths
        const double step = 0.5e-11 * std::max(1.0, boundary * 1e-6);
        const double x = (boundary + within(rng) * step) * 1e-6;
        ASSERT_EQ(FormatXReal(x), ReferenceReal(x)) << "value " << x;
        ++checked;
    }
    EXPECT_EQ(checked, 400000);
}

TEST_F(XFileTest, WritesTheFileAndReplacesAnOldOne)
{
    CreateEmptyModel();
    const fs::path path = FDir / kPreviewFileTitle;
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(100000, 'x');
    }
    WriteXFile(path.string());
    const std::string first = ReadFile(path);
    EXPECT_EQ(first, Golden("Mesh {\n 0;\n\n 0;\n"));
    WriteXFile(path.string());
    EXPECT_EQ(ReadFile(path), first);
    EXPECT_EQ(Entries(), std::vector<std::string>{kPreviewFileTitle});
    FreeModel();
}

TEST_F(XFileTest, LargeModelsComeOutWholeAndTheSameEachTime)
{
    TOneMesh one(1);
    for (int i = 0; i < 20000; ++i)
        AddVertex(one.Mesh(), i * 0.001, -i * 0.002, i);
    const fs::path path = FDir / "big.x";
    WriteXFile(path.string(), one.Model, one.Nodes, 0);
    const std::string text = ReadFile(path);
    EXPECT_EQ(text, XText(one.Model, one.Nodes, 0));
    EXPECT_NE(text.find("\r\n -19.999000;19999.000000;39.998000;,\r\n\r\n 0;\r\n"),
              std::string::npos);
    std::ostringstream stream;
    WriteX(one.Model, one.Nodes, 0, stream);
    EXPECT_EQ(stream.str(), text);
}

TEST_F(XFileTest, FailuresRaiseIOErrorsWithTheSystemCode)
{
    const auto ioError = [](int error) { return "I/O error " + std::to_string(error); };
    TOneMesh one(1);
    EXPECT_EQ(
        ErrorText([&]
                  { WriteXFile((FDir / "missing" / "a.x").string(), one.Model, one.Nodes, 0); }),
        ioError(ENOENT));
    {
        std::ofstream plain(FDir / "plain");
    }
    EXPECT_EQ(
        ErrorText([&] { WriteXFile((FDir / "plain" / "a.x").string(), one.Model, one.Nodes, 0); }),
        ioError(ENOTDIR));
    fs::create_directory(FDir / "dir");
    EXPECT_EQ(ErrorText([&] { WriteXFile((FDir / "dir").string(), one.Model, one.Nodes, 0); }),
              ioError(EISDIR));
    EXPECT_THROW(WriteXFile((FDir / "dir").string(), one.Model, one.Nodes, 0), EInOutError);
#ifdef __linux__
    // Only Linux has a device that is always full: the write itself fails there.
    EXPECT_EQ(ErrorText([&] { WriteXFile("/dev/full", one.Model, one.Nodes, 0); }),
              ioError(ENOSPC));
#endif
}

TEST_F(XFileTest, AFailedWriteLeavesThePreviousFileAndNoPartialOne)
{
    TOneMesh one(1);
    for (int i = 0; i < 50000; ++i)
        AddVertex(one.Mesh(), i, i, i);
    T3DOMesh bad;
    bad.NodeIndex = 7;
    AddVertex(bad, 0, 0, 0);
    one.Model.Get(0).Meshes.Add(std::move(bad));
    const fs::path path = FDir / "out.x";
    {
        std::ofstream old(path, std::ios::binary);
        old << "previous";
    }
    EXPECT_THROW(WriteXFile(path.string(), one.Model, one.Nodes, 0), EListError);
    EXPECT_EQ(ReadFile(path), "previous");
    EXPECT_EQ(Entries(), std::vector<std::string>{"out.x"});
}

TEST(XExport, PreviewFileNameIsInAWritableDirectory)
{
    const std::string name = PreviewFileName();
    ASSERT_GT(name.size(), std::string(kPreviewFileTitle).size());
    EXPECT_EQ(name.substr(name.size() - 10), "TEMP$$$$.X");
    const fs::path path = PathFromUtf8(name);
    EXPECT_TRUE(path.is_absolute());
    // The test program's own directory is writable, so it is the one used.
    EXPECT_TRUE(fs::equivalent(path.parent_path(), PathFromUtf8(QUILLMARK_TEST_PROGRAM_DIR)));
}

TEST_F(XFileTest, PreviewMovesToTheUserCacheWhenTheProgramDirectoryIsNotWritable)
{
    TTestEnvironment env;
#ifdef _WIN32
    env.Set("LOCALAPPDATA", Utf8FromPath(FDir / "cache"));
    const fs::path cache = FDir / "cache" / "Quillmark";
#else
    env.Set("XDG_CACHE_HOME", Utf8FromPath(FDir / "cache"));
    const fs::path cache = FDir / "cache" / "quillmark";
#endif
    const std::string name = PreviewFileNameFor(Utf8FromPath(FDir / "no-such-dir" / ""));
    const std::string writable = PreviewFileNameFor(Utf8FromPath(FDir / ""));
    EXPECT_EQ(name, Utf8FromPath(cache / "TEMP$$$$.X"));
    EXPECT_TRUE(fs::is_directory(cache));
    EXPECT_EQ(writable, Utf8FromPath(FDir / "TEMP$$$$.X"));
}
