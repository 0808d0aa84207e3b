// DirectX text file reader. One pass over the bytes; no allocation per token. Objects the
// preview does not need (templates, normals, texture coordinates, animation) are skipped by
// brace matching. List separators ';' and ',' are treated alike, which accepts both the
// ";;" and ";," list ends that writers produce.
#include "formats/xreader.h"

#include "base/platform.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>

namespace
{
// Shortest text a list element can take ("0;"): bounds what an announced count may reserve.
constexpr std::size_t kMinElementBytes = 2;
constexpr std::size_t kMaxCorners = 1u << 16;

enum TCharClass : std::uint8_t
{
    ccOther,
    ccBlank,    // white space and the list separators
    ccNameChar, // may appear in an identifier or object name
};

constexpr std::array<std::uint8_t, 256> MakeClasses()
{
    std::array<std::uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c)
        classes[c] = ccNameChar;
    for (unsigned char c : {' ', '\t', '\r', '\n', '\f', '\v', ';', ','})
        classes[c] = ccBlank;
    for (unsigned char c : {'{', '}', '"', '<', '>', '/', '#', '\0'})
        classes[c] = ccOther;
    return classes;
}

constexpr std::array<std::uint8_t, 256> kClasses = MakeClasses();

struct TMatrix
{
    float M[16];
};

struct TNamedMaterial
{
    std::string_view Name;
    TXMaterial Material;
};

class TXParser
{
public:
    TXParser(std::string_view data, TXMesh& mesh)
        : FPos(data.data()), FEnd(data.data() + data.size()), FMesh(mesh)
    {
    }

    bool ParseFile()
    {
        if (!ParseHeader())
            return false;
        for (;;)
        {
            SkipBlanks();
            if (FPos == FEnd)
                break;
            if (!ParseObject(true))
                return false;
        }
        if (FMesh.Materials.empty())
            FMesh.Materials.push_back({});
        return true;
    }

private:
    // "xof " major minor "txt " float size, 16 bytes.
    bool ParseHeader()
    {
        if (FEnd - FPos < 16 || std::memcmp(FPos, "xof 03", 6) != 0)
            return false;
        const std::string_view format(FPos + 8, 4);
        const std::string_view floatSize(FPos + 12, 4);
        if (format != "txt " || (floatSize != "0032" && floatSize != "0064"))
            return false;
        FPos += 16;
        return true;
    }

    std::size_t Remaining() const { return static_cast<std::size_t>(FEnd - FPos); }

    void SkipLine()
    {
        const void* nl = std::memchr(FPos, '\n', Remaining());
        FPos = nl ? static_cast<const char*>(nl) + 1 : FEnd;
    }

    // White space, list separators and comments.
    void SkipBlanks()
    {
        while (FPos != FEnd)
        {
            const auto c = static_cast<unsigned char>(*FPos);
            if (kClasses[c] == ccBlank)
                ++FPos;
            else if (c == '#' || (c == '/' && FEnd - FPos > 1 && FPos[1] == '/'))
                SkipLine();
            else
                break;
        }
    }

    bool Peek(char c)
    {
        SkipBlanks();
        return FPos != FEnd && *FPos == c;
    }

    bool Expect(char c)
    {
        if (!Peek(c))
            return false;
        ++FPos;
        return true;
    }

    std::string_view ReadName()
    {
        SkipBlanks();
        const char* start = FPos;
        while (FPos != FEnd && kClasses[static_cast<unsigned char>(*FPos)] == ccNameChar)
            ++FPos;
        return {start, static_cast<std::size_t>(FPos - start)};
    }

    bool ReadUInt(std::uint32_t& value)
    {
        SkipBlanks();
        const char* p = FPos;
        std::uint64_t v = 0;
        while (p != FEnd && *p >= '0' && *p <= '9' && v <= 0xFFFFFFFFu)
            v = v * 10 + static_cast<unsigned>(*p++ - '0');
        if (p == FPos || v > 0xFFFFFFFFu)
            return false;
        FPos = p;
        value = static_cast<std::uint32_t>(v);
        return true;
    }

    bool ReadFloat(float& value)
    {
        SkipBlanks();
        const char* p = FPos;
        if (p != FEnd && *p == '+')
            ++p;
        double d = 0;
        const auto result = fast_float::from_chars(p, FEnd, d);
        if (result.ec != std::errc())
            return false;
        FPos = result.ptr;
        value = static_cast<float>(d);
        return true;
    }

    // Skips the rest of an object whose '{' has been read, nested objects included.
    bool SkipBody()
    {
        int depth = 1;
        while (FPos != FEnd)
        {
            const char c = *FPos++;
            if (c == '{')
                ++depth;
            else if (c == '}')
            {
                if (--depth == 0)
                    return true;
            }
            else if (c == '"')
            {
                const void* q = std::memchr(FPos, '"', Remaining());
                if (!q)
                    return false;
                FPos = static_cast<const char*>(q) + 1;
            }
            else if (c == '#' || (c == '/' && FPos != FEnd && *FPos == '/'))
                SkipLine();
        }
        return false;
    }

    // An optional "<GUID>" right after an object's '{'.
    bool SkipGuid()
    {
        if (!Peek('<'))
            return true;
        const void* q = std::memchr(FPos, '>', Remaining());
        if (!q)
            return false;
        FPos = static_cast<const char*>(q) + 1;
        return true;
    }

    // Type [name] '{' [<guid>] body '}'. A top-level "template" is a declaration and skipped.
    bool ParseObject(bool topLevel)
    {
        const std::string_view type = ReadName();
        if (type.empty())
            return false;
        std::string_view name;
        if (!Peek('{'))
            name = ReadName();
        if (!Expect('{'))
            return false;
        if (type == "template")
            return topLevel && SkipBody();
        if (!SkipGuid())
            return false;
        if (type == "Mesh")
            return ParseMesh();
        if (type == "Frame")
            return ParseFrame();
        if (type == "Material")
        {
            TNamedMaterial named{name, {}};
            if (!ParseMaterial(named.Material))
                return false;
            FNamedMaterials.push_back(named);
            return true;
        }
        return SkipBody();
    }

    enum class TChild
    {
        Taken,
        Failed,
        Other
    };

    // The children of an object whose '{' has been read, up to and including its '}'.
    // References to objects named elsewhere are skipped; `take` is offered each child's type
    // (read, with the input just past it) and may parse the child itself; the others are
    // parsed as objects.
    template <class TTake> bool ParseChildren(TTake&& take)
    {
        for (;;)
        {
            if (Peek('}'))
            {
                ++FPos;
                return true;
            }
            if (FPos == FEnd)
                return false;
            if (*FPos == '{')
            {
                ++FPos;
                if (!SkipBody())
                    return false;
                continue;
            }
            const char* mark = FPos;
            const TChild child = take(ReadName());
            if (child == TChild::Failed)
                return false;
            if (child == TChild::Taken)
                continue;
            FPos = mark;
            if (!ParseObject(false))
                return false;
        }
    }

    // Vertices and faces appended since `firstVertex` move by the frame's transform when the
    // frame closes, so nested frames compose child first, whatever the order in the body.
    bool ParseFrame()
    {
        ++FMesh.FrameCount;
        const std::size_t firstVertex = FMesh.VertexCount();
        TMatrix transform{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
        bool hasTransform = false;
        const bool parsed = ParseChildren(
            [&](std::string_view type)
            {
                if (type != "FrameTransformMatrix")
                    return TChild::Other;
                if (!Expect('{') || !SkipGuid())
                    return TChild::Failed;
                for (float& m : transform.M)
                    if (!ReadFloat(m))
                        return TChild::Failed;
                if (!Expect('}'))
                    return TChild::Failed;
                hasTransform = true;
                return TChild::Taken;
            });
        if (!parsed)
            return false;
        if (hasTransform)
            Transform(firstVertex, transform);
        return true;
    }

    void Transform(std::size_t firstVertex, const TMatrix& t)
    {
        const float* m = t.M;
        for (std::size_t i = firstVertex * 3; i < FMesh.Positions.size(); i += 3)
        {
            const float x = FMesh.Positions[i], y = FMesh.Positions[i + 1],
                        z = FMesh.Positions[i + 2];
            // Row vector times matrix: the .X convention.
            FMesh.Positions[i] = x * m[0] + y * m[4] + z * m[8] + m[12];
            FMesh.Positions[i + 1] = x * m[1] + y * m[5] + z * m[9] + m[13];
            FMesh.Positions[i + 2] = x * m[2] + y * m[6] + z * m[10] + m[14];
        }
    }

    // faceColor (RGBA); power; specular RGB; emissive RGB; then optional children.
    bool ParseMaterial(TXMaterial& material)
    {
        float values[11];
        for (float& v : values)
            if (!ReadFloat(v))
                return false;
        material = {values[0], values[1], values[2], values[3]};
        return SkipBody();
    }

    bool ParseMesh()
    {
        ++FMesh.MeshCount;
        const std::size_t vertexBase = FMesh.VertexCount();
        const std::size_t faceBase = FMesh.FaceCount();
        std::uint32_t vertexCount = 0;
        if (!ReadUInt(vertexCount))
            return false;
        if (vertexCount > Remaining() / (3 * kMinElementBytes))
            return false;
        FMesh.Positions.reserve(FMesh.Positions.size() + std::size_t{vertexCount} * 3);
        for (std::size_t i = 0; i < std::size_t{vertexCount} * 3; ++i)
        {
            float v = 0;
            if (!ReadFloat(v))
                return false;
            FMesh.Positions.push_back(v);
        }
        std::uint32_t faceCount = 0;
        if (!ReadUInt(faceCount))
            return false;
        if (faceCount > Remaining() / kMinElementBytes)
            return false;
        FMesh.FaceSizes.reserve(FMesh.FaceSizes.size() + faceCount);
        for (std::uint32_t f = 0; f < faceCount; ++f)
        {
            std::uint32_t size = 0;
            if (!ReadUInt(size) || size > kMaxCorners || size > Remaining() / kMinElementBytes)
                return false;
            FMesh.FaceSizes.push_back(size);
            for (std::uint32_t k = 0; k < size; ++k)
            {
                std::uint32_t index = 0;
                if (!ReadUInt(index) || index >= vertexCount)
                    return false;
                FMesh.Indices.push_back(static_cast<std::uint32_t>(vertexBase + index));
            }
        }
        const std::size_t materialBase = FMesh.Materials.size();
        bool hasMaterials = false;
        const bool parsed = ParseChildren(
            [&](std::string_view type)
            {
                if (type != "MeshMaterialList")
                    return TChild::Other;
                if (Peek('{') == false)
                    ReadName();
                if (!Expect('{') || !SkipGuid() || !ParseMaterialList(faceBase))
                    return TChild::Failed;
                hasMaterials = true;
                return TChild::Taken;
            });
        if (!parsed)
            return false;
        if (!hasMaterials)
        {
            FMesh.Materials.push_back({});
            FMesh.FaceMaterials.resize(FMesh.FaceCount(), static_cast<std::uint32_t>(materialBase));
        }
        return true;
    }

    // nMaterials; nFaceIndexes; indexes; then Material objects or {references}. Faces past the
    // end of a short index list take the last index given.
    bool ParseMaterialList(std::size_t faceBase)
    {
        std::uint32_t materialCount = 0, indexCount = 0;
        if (!ReadUInt(materialCount) || !ReadUInt(indexCount))
            return false;
        if (indexCount > Remaining() / kMinElementBytes ||
            materialCount > Remaining() / kMinElementBytes)
            return false;
        // A second list for the same mesh replaces the first.
        FMesh.FaceMaterials.resize(faceBase);
        const std::size_t faceCount = FMesh.FaceCount() - faceBase;
        const std::size_t materialBase = FMesh.Materials.size();
        std::uint32_t last = 0;
        for (std::uint32_t i = 0; i < indexCount; ++i)
        {
            std::uint32_t index = 0;
            if (!ReadUInt(index) || index >= std::max<std::uint32_t>(materialCount, 1))
                return false;
            if (i < faceCount)
                FMesh.FaceMaterials.push_back(static_cast<std::uint32_t>(materialBase + index));
            last = index;
        }
        while (FMesh.FaceMaterials.size() < FMesh.FaceCount())
            FMesh.FaceMaterials.push_back(static_cast<std::uint32_t>(materialBase + last));
        std::uint32_t given = 0;
        for (;;)
        {
            if (Peek('}'))
            {
                ++FPos;
                break;
            }
            if (FPos == FEnd)
                return false;
            TXMaterial material;
            if (*FPos == '{')
            {
                ++FPos;
                const std::string_view ref = ReadName();
                if (!Expect('}'))
                    return false;
                for (const TNamedMaterial& named : FNamedMaterials)
                    if (named.Name == ref)
                        material = named.Material;
            }
            else
            {
                const std::string_view type = ReadName();
                if (type.empty())
                    return false;
                if (!Peek('{'))
                    ReadName();
                if (!Expect('{') || !SkipGuid())
                    return false;
                if (type == "Material")
                {
                    if (!ParseMaterial(material))
                        return false;
                }
                else if (!SkipBody())
                    return false;
                else
                    continue;
            }
            if (given < materialCount)
            {
                FMesh.Materials.push_back(material);
                ++given;
            }
        }
        // Materials announced but not given are white.
        for (; given < std::max<std::uint32_t>(materialCount, 1); ++given)
            FMesh.Materials.push_back({});
        return true;
    }

    const char* FPos;
    const char* FEnd;
    TXMesh& FMesh;
    std::vector<TNamedMaterial> FNamedMaterials;
};
} // namespace

HRESULT ReadXData(std::string_view data, TXMesh& mesh)
{
    mesh = TXMesh();
    TXParser parser(data, mesh);
    if (!parser.ParseFile())
        return D3DRMERR_BADFILE;
    return D3DRM_OK;
}

HRESULT ReadXFile(const std::string& fileName, TXMesh& mesh)
{
    std::ifstream in(PathFromUtf8(fileName), std::ios::binary);
    if (!in)
        return D3DRMERR_FILENOTFOUND;
    // Read in chunks rather than trusting a size: directories and pipes report none.
    std::string data;
    constexpr std::size_t kChunk = 1 << 20;
    for (;;)
    {
        const std::size_t used = data.size();
        data.resize(used + kChunk);
        in.read(data.data() + used, static_cast<std::streamsize>(kChunk));
        data.resize(used + static_cast<std::size_t>(in.gcount()));
        if (!in)
            break;
    }
    if (in.bad() || !in.eof())
        return D3DRMERR_FILENOTFOUND;
    return ReadXData(data, mesh);
}
