#include "formats/xreader.h"

#include "model/loader.h"
#include "model/model.h"
#include "formats/xexport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// The shape of the program's own writer output: CR LF, ";," after every list element, the
// one-entry material list, faces of 0, 1 and 2 corners.
const std::string kWriterFile =
    "xof 0302txt 0064\r\n"
    "template Header {\r\n <3D82AB43-62DA-11cf-AB39-0020AF71E433>\r\n WORD major;\r\n"
    " WORD minor;\r\n DWORD flags;\r\n}\r\n\r\n"
    "template Material {\r\n <3D82AB4D-62DA-11cf-AB39-0020AF71E433>\r\n"
    " ColorRGBA faceColor;\r\n FLOAT power;\r\n ColorRGB specularColor;\r\n"
    " ColorRGB emissiveColor;\r\n [...]\r\n}\r\n\r\n"
    "template Mesh {\r\n <3D82AB44-62DA-11cf-AB39-0020AF71E433>\r\n DWORD nVertices;\r\n"
    " array Vector vertices[nVertices];\r\n DWORD nFaces;\r\n array MeshFace faces[nFaces];\r\n"
    " [...]\r\n}\r\n\r\n"
    "Header {\r\n 1;\r\n 0;\r\n 1;\r\n}\r\n\r\n"
    "Mesh {\r\n 4;\r\n -0.000000;0.000000;-0.000000;,\r\n 1.500000;0.000000;0.000000;,\r\n"
    " 0.000000;-2.250000;0.000000;,\r\n -1234.567890;0.000000;1.000000;,\r\n\r\n"
    " 5;\r\n 3;2,1,0;,\r\n 0;\r\n 1;3;,\r\n 2;1,0;,\r\n 4;3,2,1,0;,\r\n"
    " MeshMaterialList {\r\n  1;\r\n  1;\r\n  0;;\r\n  Material {\r\n"
    "   1.000000;1.000000;1.000000;1.000000;;\r\n   0.000000;\r\n"
    "   0.000000;0.000000;0.000000;;\r\n   0.000000;0.000000;0.000000;;\r\n  }\r\n }\r\n}\r\n";

const std::string kEmptyModelFile =
    "xof 0302txt 0064\r\nHeader {\r\n 1;\r\n 0;\r\n 1;\r\n}\r\n\r\n"
    "Mesh {\r\n 0;\r\n\r\n 0;\r\n MeshMaterialList {\r\n  1;\r\n  1;\r\n  0;;\r\n"
    "  Material {\r\n   1.000000;1.000000;1.000000;1.000000;;\r\n   0.000000;\r\n"
    "   0.000000;0.000000;0.000000;;\r\n   0.000000;0.000000;0.000000;;\r\n  }\r\n }\r\n}\r\n";

std::string DataFile(const char* name)
{
    return std::string(QUILLMARK_TESTDATA) + "/" + name;
}

HRESULT Read(const std::string& text, TXMesh& mesh)
{
    return ReadXData(text, mesh);
}
} // namespace

TEST(XReader, ReadsTheWritersFormat)
{
    TXMesh mesh;
    ASSERT_EQ(Read(kWriterFile, mesh), D3DRM_OK);
    EXPECT_EQ(mesh.MeshCount, 1);
    ASSERT_EQ(mesh.VertexCount(), 4u);
    EXPECT_EQ(mesh.Positions[0], -0.0f);
    EXPECT_FLOAT_EQ(mesh.Positions[3], 1.5f);
    EXPECT_FLOAT_EQ(mesh.Positions[7], -2.25f);
    EXPECT_FLOAT_EQ(mesh.Positions[9], -1234.56789f);
    EXPECT_FLOAT_EQ(mesh.Positions[11], 1.0f);
    EXPECT_EQ(mesh.FaceSizes, (std::vector<std::uint32_t>{3, 0, 1, 2, 4}));
    EXPECT_EQ(mesh.Indices, (std::vector<std::uint32_t>{2, 1, 0, 3, 1, 0, 3, 2, 1, 0}));
    // One material, one face index: every face takes it.
    ASSERT_EQ(mesh.Materials.size(), 1u);
    EXPECT_EQ(mesh.FaceMaterials, (std::vector<std::uint32_t>{0, 0, 0, 0, 0}));
    EXPECT_EQ(mesh.Materials[0].Red, 1.0f);
}

TEST(XReader, ReadsTheEmptyStartModel)
{
    TXMesh mesh;
    ASSERT_EQ(Read(kEmptyModelFile, mesh), D3DRM_OK);
    EXPECT_EQ(mesh.MeshCount, 1);
    EXPECT_EQ(mesh.VertexCount(), 0u);
    EXPECT_EQ(mesh.FaceCount(), 0u);
}

TEST(XReader, LfLineEndsCommentsAndSemicolonTerminators)
{
    const std::string text = "xof 0303txt 0032\n"
                             "// a comment { with a brace\n"
                             "# another\n"
                             "Mesh named_mesh {\n 3;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n"
                             " 0.0;1e1;+2.5;;\n 1;\n 3;0,1,2;;\n}\n";
    TXMesh mesh;
    ASSERT_EQ(Read(text, mesh), D3DRM_OK);
    ASSERT_EQ(mesh.VertexCount(), 3u);
    EXPECT_FLOAT_EQ(mesh.Positions[7], 10.0f);
    EXPECT_FLOAT_EQ(mesh.Positions[8], 2.5f);
    EXPECT_EQ(mesh.FaceSizes, (std::vector<std::uint32_t>{3}));
    // No material list: one white material.
    ASSERT_EQ(mesh.Materials.size(), 1u);
    EXPECT_EQ(mesh.FaceMaterials, (std::vector<std::uint32_t>{0}));
}

TEST(XReader, NestedFramesApplyTheirTransformsChildFirst)
{
    // Outer frame translates by (10, 0, 0); inner frame scales by 2. The inner mesh's vertex
    // (1, 2, 3) ends at (12, 4, 6); the second mesh, only in the outer frame, at (11, 0, 0).
    const std::string text = "xof 0302txt 0064\n"
                             "Frame outer {\n"
                             " Frame inner {\n"
                             "  Mesh { 1; 1.0;2.0;3.0;; 1; 1;0;; }\n"
                             "  FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 0,0,0,1;; }\n"
                             " }\n"
                             " FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 10,0,0,1;; }\n"
                             " Mesh { 1; 1.0;0.0;0.0;; 1; 1;0;; }\n"
                             "}\n";
    TXMesh mesh;
    ASSERT_EQ(Read(text, mesh), D3DRM_OK);
    EXPECT_EQ(mesh.FrameCount, 2);
    EXPECT_EQ(mesh.MeshCount, 2);
    ASSERT_EQ(mesh.VertexCount(), 2u);
    EXPECT_EQ(mesh.Positions, (std::vector<float>{12, 4, 6, 11, 0, 0}));
    // The second mesh's face points at its own vertex, shifted past the first mesh's.
    EXPECT_EQ(mesh.Indices, (std::vector<std::uint32_t>{0, 1}));
}

TEST(XReader, MaterialColoursPerFaceAndByReference)
{
    const std::string text = "xof 0302txt 0064\n"
                             "Material Red { 1.0;0.0;0.0;1.0;; 5.0; 0;0;0;; 0;0;0;; }\n"
                             "Mesh {\n 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 3; 1;0;, 1;1;, 1;2;;\n"
                             " MeshMaterialList {\n 2;\n 3;\n 1,\n 0,\n 1;;\n { Red }\n"
                             "  Material { 0.0;0.5;1.0;1.0;; 0.0; 0;0;0;; 0;0;0;;\n"
                             "   TextureFilename { \"skin{1}.bmp\"; }\n  }\n }\n"
                             " MeshNormals { 1; 0;0;1;; 3; 1;0;, 1;0;, 1;0;; }\n"
                             " MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }\n"
                             "}\n";
    TXMesh mesh;
    ASSERT_EQ(Read(text, mesh), D3DRM_OK);
    ASSERT_EQ(mesh.Materials.size(), 2u);
    EXPECT_EQ(mesh.Materials[0].Red, 1.0f);
    EXPECT_EQ(mesh.Materials[0].Green, 0.0f);
    EXPECT_EQ(mesh.Materials[1].Green, 0.5f);
    EXPECT_EQ(mesh.FaceMaterials, (std::vector<std::uint32_t>{1, 0, 1}));
}

TEST(XReader, MaterialIndicesAlwaysNameAMaterial)
{
    // No materials announced but one given, and fewer given than announced: every face's
    // material exists (white where none was given).
    const std::string texts[] = {
        "xof 0302txt 0064\nMesh { 1; 0;0;0;; 1; 1;0;; MeshMaterialList { 1; 1; 0;;"
        " Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; } } }\n"
        "Mesh { 1; 0;0;0;; 1; 1;0;; MeshMaterialList { 0; 1; 0;;"
        " Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; } } }\n",
        "xof 0302txt 0064\nMesh { 1; 0;0;0;; 2; 1;0;, 1;0;; MeshMaterialList { 3; 2; 2, 1;; } }\n",
    };
    for (const std::string& text : texts)
    {
        TXMesh mesh;
        ASSERT_EQ(ReadXData(text, mesh), D3DRM_OK) << text;
        ASSERT_EQ(mesh.FaceMaterials.size(), mesh.FaceCount());
        for (const std::uint32_t m : mesh.FaceMaterials)
            ASSERT_LT(m, mesh.Materials.size()) << text;
        EXPECT_EQ(mesh.Materials[mesh.FaceMaterials.back()].Green, 1.0f) << text;
    }
}

TEST(XReader, CommonFileShapesLoadWithTheirHandCountedContents)
{
    struct TExpected
    {
        const char* File;
        std::size_t Vertices, Faces, Materials;
    };
    // house_crlf.x: CR LF, templates, a top-level Mesh of five quads and four triangles, three
    // materials (two with texture names), normals and texture coordinates, ";;" ends.
    // top_lf.x: the same kind with LF line ends: a ring of six between two tips, four materials.
    // frames_cube.x: format 0303, a named mesh of six quads in two nested named frames.
    const TExpected expected[] = {
        {"house_crlf.x", 9, 9, 3},
        {"top_lf.x", 8, 12, 4},
        {"frames_cube.x", 8, 6, 1},
    };
    for (const TExpected& e : expected)
    {
        TXMesh mesh;
        ASSERT_EQ(ReadXFile(DataFile(e.File), mesh), D3DRM_OK) << e.File;
        EXPECT_EQ(mesh.MeshCount, 1) << e.File;
        EXPECT_EQ(mesh.VertexCount(), e.Vertices) << e.File;
        EXPECT_EQ(mesh.FaceCount(), e.Faces) << e.File;
        EXPECT_EQ(mesh.Materials.size(), e.Materials) << e.File;
        EXPECT_EQ(mesh.FaceMaterials.size(), e.Faces) << e.File;
    }
    TXMesh house;
    ASSERT_EQ(ReadXFile(DataFile("house_crlf.x"), house), D3DRM_OK);
    EXPECT_EQ(house.FaceSizes, (std::vector<std::uint32_t>{4, 4, 4, 4, 4, 3, 3, 3, 3}));
    EXPECT_EQ(house.FaceMaterials, (std::vector<std::uint32_t>{0, 0, 0, 0, 2, 1, 1, 1, 1}));
    EXPECT_EQ(std::vector<std::uint32_t>(house.Indices.end() - 3, house.Indices.end()),
              (std::vector<std::uint32_t>{7, 8, 4}));
    EXPECT_EQ(std::vector<float>(house.Positions.end() - 3, house.Positions.end()),
              (std::vector<float>{0, 5, 0}));
    EXPECT_FLOAT_EQ(house.Materials[1].Red, 0.7f);
    EXPECT_FLOAT_EQ(house.Materials[1].Green, 0.1f);
    TXMesh top;
    ASSERT_EQ(ReadXFile(DataFile("top_lf.x"), top), D3DRM_OK);
    EXPECT_EQ(top.FaceMaterials,
              (std::vector<std::uint32_t>{0, 1, 0, 1, 0, 1, 2, 3, 2, 3, 2, 3}));
    EXPECT_FLOAT_EQ(top.Positions[5], 1.732051f);
    EXPECT_FLOAT_EQ(top.Materials[3].Green, 0.8f);
    TXMesh cube;
    ASSERT_EQ(ReadXFile(DataFile("frames_cube.x"), cube), D3DRM_OK);
    EXPECT_EQ(cube.FrameCount, 2);
    EXPECT_FLOAT_EQ(cube.Positions[6], -4.915608f);
    EXPECT_FLOAT_EQ(cube.Materials[0].Red, 0.7f);
}

TEST(XReader, FailuresGiveResultCodes)
{
    TXMesh mesh;
    EXPECT_EQ(ReadXFile("/nonexistent/file.x", mesh), D3DRMERR_FILENOTFOUND);
    EXPECT_EQ(ReadXFile(QUILLMARK_TESTDATA, mesh), D3DRMERR_FILENOTFOUND); // a directory
    const std::string bad[] = {
        "",
        "xof 0302bin 0064",
        "xof 0302tzip0064",
        "xof 0302bzip0064",
        "xof 0302txt 0016\nMesh { 0; 0; }\n",
        "not an x file at all",
        // Index 3 of a three-vertex mesh.
        "xof 0302txt 0064\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }\n",
        // Counts beyond the data, which must not be allocated.
        "xof 0302txt 0064\nMesh { 4000000000; 0;0;0;; 0; }\n",
        "xof 0302txt 0064\nMesh { 1; 0;0;0;; 4000000000; }\n",
        "xof 0302txt 0064\nMesh { 1; 0;0;0;; 1; 4000000000;0;; }\n",
        "xof 0302txt 0064\nMesh { 1; 0;0;0;; 1; 1;0;; MeshMaterialList { 1; 4000000000; } }\n",
        // Material index beyond the materials.
        "xof 0302txt 0064\nMesh { 1; 0;0;0;; 1; 1;0;; MeshMaterialList { 1; 1; 1;; } }\n",
        // Malformed number, stray text, unbalanced braces.
        "xof 0302txt 0064\nMesh { 1; 0;x;0;; 0; }\n",
        "xof 0302txt 0064\nMesh { 0; 0; } }\n",
        "xof 0302txt 0064\nFrame { Mesh { 0; 0; }\n",
        "xof 0302txt 0064\nTextureFilename { \"unterminated }\n",
    };
    for (const std::string& text : bad)
        EXPECT_EQ(Read(text, mesh), D3DRMERR_BADFILE) << text;
}

TEST(XReader, EveryTruncationInsideTheMeshIsABadFile)
{
    const std::size_t meshStart = kWriterFile.find("\r\nMesh {") + 2;
    ASSERT_NE(meshStart, std::string::npos);
    for (std::size_t cut = 0; cut < kWriterFile.size() - 2; ++cut)
    {
        // A copy of exactly `cut` bytes, so a read past the end is caught by the sanitizer.
        const std::string prefix = kWriterFile.substr(0, cut);
        TXMesh mesh;
        const HRESULT result = Read(prefix, mesh);
        if (cut > meshStart)
            EXPECT_EQ(result, D3DRMERR_BADFILE) << cut;
        else
            EXPECT_TRUE(result == D3DRM_OK || result == D3DRMERR_BADFILE) << cut;
    }
}

TEST(XReader, ReadsWhatTheWriterProducesForTheSamples)
{
    for (const char* name : {"walker.3do", "canister_lod.3do"})
    {
        TSilentProgress progress;
        const TLoadedModel loaded =
            Parse3DOFile(std::string(QUILLMARK_SAMPLES) + "/" + name, progress);
        const T3DOGeoSet& geoSet = loaded.Model->Get(0);
        TXMesh mesh;
        ASSERT_EQ(ReadXData(XText(*loaded.Model, *loaded.Nodes, 0), mesh), D3DRM_OK) << name;
        // Every face keeps its corner count, its corners reversed and shifted by the vertices
        // of the meshes before it.
        std::vector<std::uint32_t> sizes, indices;
        std::uint32_t base = 0;
        for (const T3DOMesh& m : geoSet.Meshes)
        {
            for (const T3DOFace& f : m.Faces)
            {
                sizes.push_back(f.VertexCount());
                for (int k = f.VertexCount() - 1; k >= 0; --k)
                    indices.push_back(base + f.VertexIndex(k));
            }
            base += static_cast<std::uint32_t>(m.Vertices.Count());
        }
        EXPECT_EQ(mesh.VertexCount(), base) << name;
        EXPECT_EQ(mesh.FaceSizes, sizes) << name;
        EXPECT_EQ(mesh.Indices, indices) << name;
    }
    CreateEmptyModel();
    TXMesh empty;
    ASSERT_EQ(ReadXData(XText(*CurrentModel, *HierarchyNodes, 0), empty), D3DRM_OK);
    EXPECT_EQ(empty.MeshCount, 1);
    EXPECT_EQ(empty.FaceCount(), 0u);
}
