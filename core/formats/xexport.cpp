// The DirectX text file writer.
#include "formats/xexport.h"

#include "base/platform.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fast_float/fast_float.h>
#include <ostream>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Real format

namespace
{
// Writes the decimal digits of n, at least minDigits of them, and returns the end.
char* WriteUnsigned(char* out, std::uint64_t n, int minDigits)
{
    char tmp[24];
    char* p = tmp + sizeof(tmp);
    int count = 0;
    while (n != 0 || count < minDigits)
    {
        *--p = static_cast<char>('0' + n % 10);
        n /= 10;
        ++count;
    }
    const std::size_t len = static_cast<std::size_t>(tmp + sizeof(tmp) - p);
    std::memcpy(out, p, len);
    return out + len;
}

// n millionths as "integer.dddddd".
char* WriteMillionths(char* out, std::uint64_t n)
{
    char digits[24];
    char* end = WriteUnsigned(digits, n, 7);
    const std::size_t intLen = static_cast<std::size_t>(end - digits) - 6;
    std::memcpy(out, digits, intLen);
    out += intLen;
    *out++ = '.';
    std::memcpy(out, digits + intLen, 6);
    return out + 6;
}

// Below this the scaled value fits a double's integer range with room to spare, and 18
// significant digits reach the seventh decimal.
constexpr double kFastLimit = 1e9;

// The two rounding stages done literally on the decimal expansion; for any finite m >= 0.
char* WriteTwoStage(char* out, double m)
{
    char buf[64];
    // Integer digits then decimal digits of the first stage, and where the point falls.
    char digits[400];
    std::size_t intLen = 0;
    std::size_t total = 0;
    if (m < 10)
    {
        const auto r = std::to_chars(buf, buf + sizeof(buf), m, std::chars_format::fixed, 17);
        for (const char* p = buf; p < r.ptr; ++p)
        {
            if (*p == '.')
                intLen = total;
            else
                digits[total++] = *p;
        }
    }
    else
    {
        // d.ddddddddddddddddde+X: 18 significant digits.
        const auto r = std::to_chars(buf, buf + sizeof(buf), m, std::chars_format::scientific, 17);
        const char* e =
            static_cast<const char*>(std::memchr(buf, 'e', static_cast<std::size_t>(r.ptr - buf)));
        int exponent = 0;
        std::from_chars(e[1] == '+' ? e + 2 : e + 1, r.ptr, exponent);
        std::size_t sig = 0;
        char mantissa[20];
        for (const char* p = buf; p < e; ++p)
            if (*p != '.')
                mantissa[sig++] = *p;
        intLen = static_cast<std::size_t>(exponent) + 1;
        for (std::size_t i = 0; i < std::max(intLen, sig); ++i)
            digits[total++] = i < sig ? mantissa[i] : '0';
    }
    // Pad to the seventh decimal: a missing digit counts as 0.
    while (total < intLen + 7)
        digits[total++] = '0';
    total = intLen + 6;
    if (digits[total] >= '5')
    {
        std::size_t i = total;
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0)
        {
            *out++ = '1';
        }
        else
            ++digits[i - 1];
    }
    std::memcpy(out, digits, intLen);
    out += intLen;
    *out++ = '.';
    std::memcpy(out, digits + intLen, 6);
    return out + 6;
}
} // namespace

namespace
{
// The millionths FormatXReal writes for a finite m >= 0 below kFastLimit, when they need no
// second stage; false when they do.
bool PlainMillionths(double m, std::uint64_t& n)
{
    // The two stages differ from plain rounding only within a hair of a ...5 boundary at the
    // seventh decimal. The margin covers the first stage's rounding (5e-12 millionths below
    // 10, 5e-18 of the value from 10 up) and the product's own, generously; outside it,
    // rounding m * 1e6 to the nearest integer gives both stages' digits.
    const double t = m * 1e6;
    // Below 1e15 truncation is floor, and much cheaper than the library's.
    const auto truncated = static_cast<std::int64_t>(t);
    const double frac = t - static_cast<double>(truncated);
    const double margin = t * 2.3e-16 + 1e-11;
    if (std::fabs(frac - 0.5) <= margin)
        return false;
    n = static_cast<std::uint64_t>(truncated) + (frac > 0.5 ? 1 : 0);
    return true;
}
} // namespace

char* FormatXReal(char* out, double value)
{
    if (std::signbit(value))
        *out++ = '-';
    if (!std::isfinite(value))
    {
        const char* text = std::isnan(value) ? "NAN" : "INF";
        std::memcpy(out, text, 3);
        return out + 3;
    }
    const double m = std::fabs(value);
    std::uint64_t n = 0;
    if (m < kFastLimit && PlainMillionths(m, n))
        return WriteMillionths(out, n);
    return WriteTwoStage(out, m);
}

float XRealReadBack(double value)
{
    const double m = std::fabs(value);
    std::uint64_t n = 0;
    if (m < kFastLimit && PlainMillionths(m, n))
    {
        // n is below 2^53, so both operands are exact and the quotient is the decimal
        // correctly rounded, as the reader's parse rounds it.
        const double d = static_cast<double>(static_cast<std::int64_t>(n)) / 1e6;
        return static_cast<float>(std::signbit(value) ? -d : d);
    }
    // Rare (a ...5 boundary, a huge or non-finite value): the text itself, read as the reader
    // reads it.
    char buf[kMaxXRealLength];
    const char* end = FormatXReal(buf, value);
    double d = 0;
    fast_float::from_chars(buf, end, d);
    return static_cast<float>(d);
}

std::string FormatXReal(double value)
{
    char buf[kMaxXRealLength];
    return std::string(buf, FormatXReal(buf, value));
}

// ---------------------------------------------------------------------------------------------
// Text

namespace
{
struct TXTemplate
{
    const char* Name;
    const char* Guid;
    const char* Members[5]; // the unused ones null
};

const TXTemplate kTemplates[] = {
    {"Header",
     "3D82AB43-62DA-11cf-AB39-0020AF71E433",
     {"WORD major;", "WORD minor;", "DWORD flags;"}},
    {"Vector", "3D82AB5E-62DA-11cf-AB39-0020AF71E433", {"FLOAT x;", "FLOAT y;", "FLOAT z;"}},
    {"Coords2d", "F6F23F44-7686-11cf-8F52-0040333594A3", {"FLOAT u;", "FLOAT v;"}},
    {"Matrix4x4", "F6F23F45-7686-11cf-8F52-0040333594A3", {"array FLOAT matrix[16];"}},
    {"ColorRGBA",
     "35FF44E0-6C7C-11cf-8F52-0040333594A3",
     {"FLOAT red;", "FLOAT green;", "FLOAT blue;", "FLOAT alpha;"}},
    {"ColorRGB",
     "D3E16E81-7835-11cf-8F52-0040333594A3",
     {"FLOAT red;", "FLOAT green;", "FLOAT blue;"}},
    {"IndexedColor",
     "1630B820-7842-11cf-8F52-0040333594A3",
     {"DWORD index;", "ColorRGBA indexColor;"}},
    {"Boolean", "4885AE61-78E8-11cf-8F52-0040333594A3", {"WORD truefalse;"}},
    {"Boolean2d", "4885AE63-78E8-11cf-8F52-0040333594A3", {"Boolean u;", "Boolean v;"}},
    {"MaterialWrap", "4885AE60-78E8-11cf-8F52-0040333594A3", {"Boolean u;", "Boolean v;"}},
    {"TextureFilename", "A42790E1-7810-11cf-8F52-0040333594A3", {"STRING filename;"}},
    {"Material",
     "3D82AB4D-62DA-11cf-AB39-0020AF71E433",
     {"ColorRGBA faceColor;", "FLOAT power;", "ColorRGB specularColor;", "ColorRGB emissiveColor;",
      "[...]"}},
    {"MeshFace",
     "3D82AB5F-62DA-11cf-AB39-0020AF71E433",
     {"DWORD nFaceVertexIndices;", "array DWORD faceVertexIndices[nFaceVertexIndices];"}},
    {"MeshFaceWraps",
     "4885AE62-78E8-11cf-8F52-0040333594A3",
     {"DWORD nFaceWrapValues;", "Boolean2d faceWrapValues;"}},
    {"MeshTextureCoords",
     "F6F23F40-7686-11cf-8F52-0040333594A3",
     {"DWORD nTextureCoords;", "array Coords2d textureCoords[nTextureCoords];"}},
    {"MeshMaterialList",
     "F6F23F42-7686-11cf-8F52-0040333594A3",
     {"DWORD nMaterials;", "DWORD nFaceIndexes;", "array DWORD faceIndexes[nFaceIndexes];",
      "[Material]"}},
    {"MeshNormals",
     "F6F23F43-7686-11cf-8F52-0040333594A3",
     {"DWORD nNormals;", "array Vector normals[nNormals];", "DWORD nFaceNormals;",
      "array MeshFace faceNormals[nFaceNormals];"}},
    {"MeshVertexColors",
     "1630B821-7842-11cf-8F52-0040333594A3",
     {"DWORD nVertexColors;", "array IndexedColor vertexColors[nVertexColors];"}},
    {"Mesh",
     "3D82AB44-62DA-11cf-AB39-0020AF71E433",
     {"DWORD nVertices;", "array Vector vertices[nVertices];", "DWORD nFaces;",
      "array MeshFace faces[nFaces];", "[...]"}},
};

const char* const kMaterialList[] = {
    " MeshMaterialList {",
    "  1;",
    "  1;",
    "  0;;",
    "  Material {",
    "   1.000000;1.000000;1.000000;1.000000;;",
    "   0.000000;",
    "   0.000000;0.000000;0.000000;;",
    "   0.000000;0.000000;0.000000;;",
    "  }",
};

// Collects text and hands it to the sink in large pieces.
class TXOutput
{
public:
    explicit TXOutput(const TByteSink& sink) : FSink(sink) { FBuffer.resize(kChunk + kRoom); }

    // Room for n more characters; n must not exceed kRoom.
    char* Reserve(std::size_t n)
    {
        (void)n;
        return FBuffer.data() + FLength;
    }
    void Commit(char* end)
    {
        FLength = static_cast<std::size_t>(end - FBuffer.data());
        if (FLength >= kChunk)
            Flush();
    }

    void Line(std::string_view text)
    {
        if (text.size() + 2 > kRoom)
        {
            Flush();
            FSink(text);
            FSink("\r\n");
            return;
        }
        char* p = Reserve(text.size() + 2);
        std::memcpy(p, text.data(), text.size());
        p += text.size();
        *p++ = '\r';
        *p++ = '\n';
        Commit(p);
    }

    void Flush()
    {
        if (FLength > 0)
            FSink(std::string_view(FBuffer.data(), FLength));
        FLength = 0;
    }

    static constexpr std::size_t kRoom = 4096;

private:
    static constexpr std::size_t kChunk = 1 << 16;
    const TByteSink& FSink;
    std::vector<char> FBuffer;
    std::size_t FLength = 0;
};

char* WriteLineEnd(char* p)
{
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

// " " + n + ";"
void CountLine(TXOutput& out, std::int64_t n)
{
    char* p = out.Reserve(32);
    *p++ = ' ';
    p = std::to_chars(p, p + 24, n).ptr;
    *p++ = ';';
    out.Commit(WriteLineEnd(p));
}

// " " + -px, pz, -py scaled + ";,": the model's axes turned into the .X file's.
void VertexLine(TXOutput& out, double px, double py, double pz, double scale)
{
    static_assert(3 * kMaxXRealLength + 8 <= TXOutput::kRoom);
    char* p = out.Reserve(3 * kMaxXRealLength + 8);
    *p++ = ' ';
    p = FormatXReal(p, -px * scale);
    *p++ = ';';
    p = FormatXReal(p, pz * scale);
    *p++ = ';';
    p = FormatXReal(p, -py * scale);
    *p++ = ';';
    *p++ = ',';
    out.Commit(WriteLineEnd(p));
}

// Hands `emit` each of `count` vertices (`vertex(i)` gives x, y, z) where `place` puts it in
// the model's axes. The one placement of the .X text and of PosedXPositions.
template <class TVertex, class TEmit>
void PlaceVertices(const TMeshPlacement& place, std::size_t count, TVertex vertex, TEmit emit)
{
    if (place.Turned)
    {
        const auto& m = place.Joint.M;
        for (std::size_t i = 0; i < count; ++i)
        {
            const auto [vx, vy, vz] = vertex(i);
            const double x = vx + place.PivotX;
            const double y = vy + place.PivotY;
            const double z = vz + place.PivotZ;
            emit(m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3],
                 m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3],
                 m[2][0] * x + m[2][1] * y + m[2][2] * z + m[2][3]);
        }
        return;
    }
    const T3DOOffset o = place.Offset;
    for (std::size_t i = 0; i < count; ++i)
    {
        const auto [vx, vy, vz] = vertex(i);
        emit(vx + o.X, vy + o.Y, vz + o.Z);
    }
}

void WriteVertices(TXOutput& out, const T3DOMesh& mesh, const TNodeList& nodes, double scale,
                   const TPose* pose)
{
    if (mesh.Vertices.Count() == 0)
        return;
    TMeshPlacement place;
    if (pose)
        place = PlaceMesh(nodes, *pose, mesh.NodeIndex);
    else
        place.Offset = NodeOffset(nodes, mesh.NodeIndex);
    PlaceVertices(
        place, static_cast<std::size_t>(mesh.Vertices.Count()),
        [first = mesh.Vertices.begin()](std::size_t i)
        {
            const T3DOVertex& v = first[static_cast<std::ptrdiff_t>(i)];
            return std::array<double, 3>{v.X, v.Y, v.Z};
        },
        [&out, scale](double px, double py, double pz) { VertexLine(out, px, py, pz, scale); });
}

void WriteFaces(TXOutput& out, const T3DOMesh& mesh, std::int64_t vertexBase)
{
    for (const T3DOFace& f : mesh.Faces)
    {
        const int k = f.VertexCount();
        char* p = out.Reserve(16);
        *p++ = ' ';
        p = std::to_chars(p, p + 8, k).ptr;
        *p++ = ';';
        out.Commit(p);
        for (int i = k - 1; i >= 0; --i)
        {
            p = out.Reserve(32);
            p = std::to_chars(p, p + 24, vertexBase + f.VertexIndexAt(i)).ptr;
            if (i > 0)
                *p++ = ',';
            else
            {
                *p++ = ';';
                *p++ = ',';
            }
            out.Commit(p);
        }
        out.Commit(WriteLineEnd(out.Reserve(2)));
    }
}

void WriteAll(TXOutput& out, const T3DO& model, const TNodeList& nodes, int geoSetIndex,
              const TPose* pose)
{
    // Mended: a model without a radius line would otherwise come out as infinities.
    const double scale = model.Radius == 0 ? 1.0 : 1.0 / model.Radius;

    out.Line("xof 0302txt 0064");
    for (const TXTemplate& t : kTemplates)
    {
        out.Line(std::string("template ") + t.Name + " {");
        out.Line(std::string(" <") + t.Guid + ">");
        for (const char* member : t.Members)
            if (member)
                out.Line(std::string(" ") + member);
        out.Line("}");
        out.Line("");
    }
    for (const char* line : {"Header {", " 1;", " 0;", " 1;", "}", ""})
        out.Line(line);

    const TMeshList& meshes = model.Get(geoSetIndex).Meshes;
    std::int64_t vertexTotal = 0;
    std::int64_t faceTotal = 0;
    for (const T3DOMesh& m : meshes)
    {
        vertexTotal += m.Vertices.Count();
        faceTotal += m.Faces.Count();
    }
    out.Line("Mesh {");
    CountLine(out, vertexTotal);
    for (const T3DOMesh& m : meshes)
        WriteVertices(out, m, nodes, scale, pose);
    out.Line("");
    CountLine(out, faceTotal);
    std::int64_t vertexBase = 0;
    for (const T3DOMesh& m : meshes)
    {
        WriteFaces(out, m, vertexBase);
        vertexBase += m.Vertices.Count();
    }
    for (const char* line : kMaterialList)
        out.Line(line);
    out.Line(" }");
    out.Line("}");
    out.Flush();
}
} // namespace

void WriteX(const T3DO& model, const TNodeList& nodes, int geoSetIndex, const TByteSink& sink)
{
    TXOutput out(sink);
    WriteAll(out, model, nodes, geoSetIndex, nullptr);
}

void WritePosedX(const T3DO& model, const TNodeList& nodes, int geoSetIndex, const TPose& pose,
                 const TByteSink& sink)
{
    TXOutput out(sink);
    WriteAll(out, model, nodes, geoSetIndex, &pose);
}

std::string PosedXText(const T3DO& model, const TNodeList& nodes, int geoSetIndex,
                       const TPose& pose)
{
    std::string text;
    WritePosedX(model, nodes, geoSetIndex, pose,
                [&text](std::string_view piece) { text += piece; });
    return text;
}

TPosingGeoSet PosingGeoSet(const T3DO& model, int geoSetIndex)
{
    TPosingGeoSet set;
    set.Scale = model.Radius == 0 ? 1.0 : 1.0 / model.Radius;
    for (const T3DOMesh& mesh : model.Get(geoSetIndex).Meshes)
    {
        const auto count = static_cast<std::size_t>(mesh.Vertices.Count());
        set.Meshes.push_back({mesh.NodeIndex, set.VertexCount(), count});
        for (const T3DOVertex& v : mesh.Vertices)
            set.Vertices.insert(set.Vertices.end(), {v.X, v.Y, v.Z});
    }
    return set;
}

void PosedXPositions(const TPosingGeoSet& geoSet, const TNodeList& nodes, const TPose& pose,
                     std::vector<float>& out)
{
    out.resize(geoSet.Vertices.size());
    float* p = out.data();
    const double scale = geoSet.Scale;
    for (const TPosingGeoSet::TMeshRange& mesh : geoSet.Meshes)
    {
        if (mesh.Count == 0)
            continue;
        const double* v = geoSet.Vertices.data() + 3 * mesh.First;
        PlaceVertices(
            PlaceMesh(nodes, pose, mesh.NodeIndex), mesh.Count,
            [v](std::size_t i) {
                return std::array<double, 3>{v[3 * i], v[3 * i + 1], v[3 * i + 2]};
            },
            [&p, scale](double px, double py, double pz)
            {
                // As VertexLine writes them: the model's axes turned into the .X file's.
                *p++ = XRealReadBack(-px * scale);
                *p++ = XRealReadBack(pz * scale);
                *p++ = XRealReadBack(-py * scale);
            });
    }
}

void WriteX(const T3DO& model, const TNodeList& nodes, int geoSetIndex, std::ostream& out)
{
    WriteX(model, nodes, geoSetIndex,
           [&out](std::string_view text)
           { out.write(text.data(), static_cast<std::streamsize>(text.size())); });
}

std::string XText(const T3DO& model, const TNodeList& nodes, int geoSetIndex)
{
    std::string text;
    WriteX(model, nodes, geoSetIndex, [&text](std::string_view piece) { text += piece; });
    return text;
}

// ---------------------------------------------------------------------------------------------
// Files

void WriteXFile(const std::string& fileName, const T3DO& model, const TNodeList& nodes,
                int geoSetIndex)
{
    WriteFileReplacing(fileName,
                       [&](const TByteSink& sink) { WriteX(model, nodes, geoSetIndex, sink); });
}

void WriteXFile(const std::string& fileName)
{
    WriteXFile(fileName, *CurrentModel, *HierarchyNodes, CurrentGeoSetIndex);
}

// ---------------------------------------------------------------------------------------------
// Preview file name

std::string PreviewFileName()
{
    return PreviewFileNameFor(ProgramDirectory());
}

std::string PreviewFileNameFor(const std::string& programDirectory)
{
    std::string dir = programDirectory;
    if (!CanCreateFilesIn(dir))
    {
        // Added: an installed program's directory is read-only.
        const std::string cache = UserFolder(TUserFolder::ufCache);
        if (!cache.empty() && MakeFolder(cache))
            dir = cache;
    }
    return dir + kPreviewFileTitle;
}
