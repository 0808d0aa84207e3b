// A synthetic Jedi Knight model of a requested size, laid out as the game's own files are:
// sections, comments, column-aligned numbers, CR LF. Shared by gen3do and the benchmarks.
#pragma once

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>

namespace synthetic
{
// Each mesh is a torus of kRings x kSegments vertices whose faces join neighbours, as the faces
// of a real model tile its surface: a quad for every fourth face, the others half a cell.
constexpr int kRings = 15;
constexpr int kSegments = 16;
constexpr int kVerticesPerMesh = kRings * kSegments;
constexpr int kTexVerticesPerMesh = 64;
constexpr int kFacesPerMesh = 360;
// Bytes of one mesh as written below, near enough to plan the mesh count.
constexpr double kMeshBytes = 70400;
// Marks files of this layout; Ensure makes any other file anew.
constexpr const char* kFirstLine = "# MODEL 'synthetic.3do' created by gen3do (tori)";

class TWriter
{
public:
    explicit TWriter(std::FILE* f) : FFile(f) {}
    template <class... A> void Line(const char* format, A... args)
    {
        std::fprintf(FFile, format, args...);
        std::fputs("\r\n", FFile);
    }

private:
    std::FILE* FFile;
};

inline void WriteMesh(TWriter& w, std::mt19937& rng, int index)
{
    std::uniform_real_distribution<double> jitter(-0.004, 0.004);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_real_distribution<double> uv(0, 64);
    std::uniform_int_distribution<int> tex(0, kTexVerticesPerMesh - 1);
    const double pi = 3.14159265358979323846;
    const auto at = [](int ring, int segment)
    { return (ring % kRings) * kSegments + segment % kSegments; };
    w.Line("# Mesh definition");
    w.Line("MESH %d", index);
    w.Line("");
    w.Line("NAME     mesh%05d", index);
    w.Line("");
    w.Line("RADIUS %12.6f", 0.35);
    w.Line("");
    w.Line("GEOMETRYMODE 4");
    w.Line("LIGHTINGMODE 3");
    w.Line("TEXTUREMODE 0");
    w.Line("");
    w.Line("");
    w.Line("VERTICES %d", kVerticesPerMesh);
    w.Line("");
    w.Line("# num:     x:         y:         z:         i: ");
    for (int i = 0; i < kVerticesPerMesh; ++i)
    {
        const double a = 2 * pi * (i / kSegments) / kRings;
        const double b = 2 * pi * (i % kSegments) / kSegments;
        const double r = 0.18 + 0.07 * std::cos(b);
        w.Line("%6d:%13.6f%13.6f%13.6f%13.6f", i, r * std::cos(a) + jitter(rng),
               r * std::sin(a) + jitter(rng), 0.07 * std::sin(b) + jitter(rng), 0.0);
    }
    w.Line("");
    w.Line("TEXTURE VERTICES %d", kTexVerticesPerMesh);
    w.Line("");
    for (int i = 0; i < kTexVerticesPerMesh; ++i)
        w.Line("%6d:%13.6f%13.6f", i, uv(rng), uv(rng));
    w.Line("");
    w.Line("VERTEX NORMALS");
    w.Line("");
    w.Line("# num:     x:         y:         z:");
    for (int i = 0; i < kVerticesPerMesh; ++i)
        w.Line("%6d:%13.6f%13.6f%13.6f", i, unit(rng), unit(rng), unit(rng));
    w.Line("");
    w.Line("FACES %d", kFacesPerMesh);
    w.Line("");
    w.Line("#  num:  material:   type:  geo:  light:   tex:  extralight:  verts:");
    int cell = 0;
    bool secondHalf = false;
    for (int i = 0; i < kFacesPerMesh; ++i)
    {
        const bool quad = i % 4 == 0;
        if (quad || !secondHalf)
            ++cell;
        const int ring = (cell - 1) / kSegments, segment = (cell - 1) % kSegments;
        const int a = at(ring, segment), b = at(ring, segment + 1);
        const int c = at(ring + 1, segment + 1), d = at(ring + 1, segment);
        if (quad)
            w.Line("%6d:%4d  0x0000  4  3  0  %6.4f  4%5d,%2d%5d,%2d%5d,%2d%5d,%2d", i, i % 17, 0.0,
                   a, tex(rng), b, tex(rng), c, tex(rng), d, tex(rng));
        else
        {
            const int corner = secondHalf ? c : b;
            const int last = secondHalf ? d : c;
            w.Line("%6d:%4d  0x0000  4  3  0  %6.4f  3%5d,%2d%5d,%2d%5d,%2d", i, i % 17, 0.0, a,
                   tex(rng), corner, tex(rng), last, tex(rng));
            secondHalf = !secondHalf;
        }
    }
    w.Line("");
    w.Line("FACE NORMALS");
    w.Line("");
    w.Line("# num:     x:         y:         z:");
    for (int i = 0; i < kFacesPerMesh; ++i)
        w.Line("%6d:%13.6f%13.6f%13.6f", i, unit(rng), unit(rng), unit(rng));
    w.Line("");
    w.Line("");
}

// Writes a model of about `megabytes` MB to fileName: `geoSets` geosets of the same meshes,
// one hierarchy node per mesh in a binary tree. Throws std::runtime_error on I/O failure.
inline void Generate(const std::string& fileName, double megabytes, int geoSets = 1)
{
    std::FILE* f = std::fopen(fileName.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot create " + fileName);
    TWriter w(f);
    const int meshes =
        std::max(1, static_cast<int>(megabytes * 1024 * 1024 / kMeshBytes / geoSets + 0.5));
    std::mt19937 rng(20240601);
    w.Line("%s", kFirstLine);
    w.Line("");
    w.Line("3DO 2.1");
    w.Line("");
    w.Line("#------------------------------------------------------------------");
    w.Line("SECTION: HEADER");
    w.Line("");
    w.Line("3DO 2.1");
    w.Line("");
    w.Line("#------------------------------------------------------------------");
    w.Line("SECTION: MODELRESOURCE");
    w.Line("");
    w.Line("# Materials list");
    w.Line("MATERIALS 17");
    w.Line("");
    for (int i = 0; i < 17; ++i)
        w.Line("%6d:%18s", i, ("mat" + std::to_string(i) + ".mat").c_str());
    w.Line("");
    w.Line("#------------------------------------------------------------------");
    w.Line("SECTION: GEOMETRYDEF");
    w.Line("");
    w.Line("# Object radius");
    w.Line("RADIUS %12.6f", 1.5);
    w.Line("");
    w.Line("# Insertion offset");
    w.Line("INSERT OFFSET %12.6f %12.6f %12.6f", 0.0, 0.0, 0.0);
    w.Line("");
    w.Line("# Number of Geometry Sets");
    w.Line("GEOSETS %d", geoSets);
    w.Line("");
    for (int g = 0; g < geoSets; ++g)
    {
        w.Line("# Geometry Set definition");
        w.Line("GEOSET %d", g);
        w.Line("");
        w.Line("# Number of Meshes");
        w.Line("MESHES %d", meshes);
        w.Line("");
        for (int m = 0; m < meshes; ++m)
            WriteMesh(w, rng, m);
    }
    w.Line("#------------------------------------------------------------------");
    w.Line("SECTION: HIERARCHYDEF");
    w.Line("");
    w.Line("# Hierarchy node list");
    w.Line("HIERARCHY NODES %d", meshes);
    w.Line("");
    w.Line("#  num:   flags:   type:    mesh:  parent:  child:  sibling:  numChildren:        x:  "
           "       y:         z:     pitch:       yaw:      roll:    pivotx:    pivoty:    "
           "pivotz:  hnodename:");
    std::uniform_real_distribution<double> pos(-0.1, 0.1);
    for (int i = 0; i < meshes; ++i)
    {
        const int parent = i == 0 ? -1 : (i - 1) / 2;
        const int child = 2 * i + 1 < meshes ? 2 * i + 1 : -1;
        const int children = (2 * i + 1 < meshes) + (2 * i + 2 < meshes);
        const int sibling = i > 0 && i % 2 == 1 && i + 1 < meshes ? i + 1 : -1;
        w.Line("%6d:  0x0000 0x00001 %6d %7d %7d %8d %13d %10.6f %10.6f %10.6f %10.6f %10.6f "
               "%10.6f %10.6f %10.6f %10.6f  node%05d",
               i, i, parent, child, sibling, children, pos(rng), pos(rng), pos(rng), 0.0, 0.0, 0.0,
               pos(rng), pos(rng), pos(rng), i);
    }
    w.Line("");
    if (std::fclose(f) != 0)
        throw std::runtime_error("cannot write " + fileName);
}

// fileName, generated first when it does not exist yet.
inline std::string Ensure(const std::string& fileName, double megabytes)
{
    char first[128] = {};
    if (std::FILE* f = std::fopen(fileName.c_str(), "rb"))
    {
        if (!std::fgets(first, sizeof first, f))
            first[0] = 0;
        std::fclose(f);
    }
    if (std::string(first) != std::string(kFirstLine) + "\r\n")
    {
        const std::string part = fileName + ".part";
        Generate(part, megabytes);
        std::rename(part.c_str(), fileName.c_str());
    }
    return fileName;
}
} // namespace synthetic
