// The 3DO object model and its loader.
#include "model.h"

#include "U_String.h"
#include "platform.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

std::unique_ptr<T3DO> CurrentModel;
std::unique_ptr<TNodeList> HierarchyNodes;
std::uint16_t CurrentGeoSetIndex = 0;
std::uint16_t CurrentMeshIndex = 0;

// ---------------------------------------------------------------------------------------------
// Faces

T3DOFace::T3DOFace(const T3DOFace& other)
    : Material(other.Material), GeometryMode(other.GeometryMode),
      LightingMode(other.LightingMode), TextureMode(other.TextureMode),
      ExtraLight(other.ExtraLight), NormalX(other.NormalX), NormalY(other.NormalY),
      NormalZ(other.NormalZ), Flags(other.Flags)
{
    CopyFrom(other);
}

T3DOFace& T3DOFace::operator=(const T3DOFace& other)
{
    if (this != &other)
    {
        T3DOFace copy(other);
        *this = std::move(copy);
    }
    return *this;
}

T3DOFace::T3DOFace(T3DOFace&& other) noexcept
    : Material(other.Material), GeometryMode(other.GeometryMode),
      LightingMode(other.LightingMode), TextureMode(other.TextureMode),
      ExtraLight(other.ExtraLight), NormalX(other.NormalX), NormalY(other.NormalY),
      NormalZ(other.NormalZ), Flags(other.Flags), FVertexCount(other.FVertexCount)
{
    std::memcpy(FInline, other.FInline, sizeof(FInline));
    other.FVertexCount = 0;
}

T3DOFace& T3DOFace::operator=(T3DOFace&& other) noexcept
{
    if (this != &other)
    {
        Release();
        Material = other.Material;
        GeometryMode = other.GeometryMode;
        LightingMode = other.LightingMode;
        TextureMode = other.TextureMode;
        ExtraLight = other.ExtraLight;
        NormalX = other.NormalX;
        NormalY = other.NormalY;
        NormalZ = other.NormalZ;
        Flags = other.Flags;
        FVertexCount = other.FVertexCount;
        std::memcpy(FInline, other.FInline, sizeof(FInline));
        other.FVertexCount = 0;
    }
    return *this;
}

T3DOFace::~T3DOFace()
{
    Release();
}

void T3DOFace::Release()
{
    if (FVertexCount > kInlineCorners)
        delete[] FHeap;
    FVertexCount = 0;
    std::memset(FInline, 0, sizeof(FInline));
}

void T3DOFace::CopyFrom(const T3DOFace& other)
{
    FVertexCount = other.FVertexCount;
    if (FVertexCount > kInlineCorners)
    {
        FHeap = new std::uint16_t[2 * static_cast<std::size_t>(FVertexCount)];
        std::memcpy(FHeap, other.FHeap, 4 * static_cast<std::size_t>(FVertexCount));
    }
    else
        std::memcpy(FInline, other.FInline, sizeof(FInline));
}

void T3DOFace::SetVertexCount(int count)
{
    if (count < 0 || count > kMaxFaceVertices)
        throw EModelError(kFaceTooManyVertices);
    Release();
    if (count > kInlineCorners)
    {
        FHeap = new std::uint16_t[2 * static_cast<std::size_t>(count)]();
    }
    FVertexCount = static_cast<std::uint16_t>(count);
}

void T3DOFace::SetCorner(int k, std::uint16_t vertexIndex, std::uint16_t texVertexIndex)
{
    if (k < 0 || k >= FVertexCount)
        throw EListError();
    Corners()[2 * k] = vertexIndex;
    Corners()[2 * k + 1] = texVertexIndex;
}

std::uint16_t T3DOFace::VertexIndex(int k) const
{
    if (k < 0 || k >= FVertexCount)
        throw EListError();
    return Corners()[2 * k];
}

std::uint16_t T3DOFace::TexVertexIndex(int k) const
{
    if (k < 0 || k >= FVertexCount)
        throw EListError();
    return Corners()[2 * k + 1];
}

// ---------------------------------------------------------------------------------------------
// Model operations

std::string ShortName(std::string_view name)
{
    return std::string(name.substr(0, kMaxNameLength));
}

void T3DOMesh::FindOffset(const TNodeList& nodes)
{
    const T3DONode& n = nodes.Get(NodeIndex);
    OffsetX = n.X + n.PivotX;
    OffsetY = n.Y + n.PivotY;
    OffsetZ = n.Z + n.PivotZ;
    // Added: a chain longer than the node count must loop somewhere.
    int steps = 0;
    for (int p = n.ParentIndex; p >= 0;)
    {
        if (++steps > nodes.Count())
            throw EModelError(kParentChainCycle);
        const T3DONode& parent = nodes.Get(p);
        OffsetX += parent.X;
        OffsetY += parent.Y;
        OffsetZ += parent.Z;
        p = parent.ParentIndex;
    }
}

void T3DOMesh::FindOffset()
{
    FindOffset(*HierarchyNodes);
}

void CreateEmptyModel()
{
    auto model = std::make_unique<T3DO>();
    T3DOGeoSet geoSet;
    T3DOMesh mesh;
    mesh.Name = "NEWOBJECT";
    geoSet.Meshes.Add(std::move(mesh));
    model->Add(std::move(geoSet));
    CurrentModel = std::move(model);
    HierarchyNodes = std::make_unique<TNodeList>();
    CurrentGeoSetIndex = 0;
    CurrentMeshIndex = 0;
}

void FreeModel()
{
    CurrentModel.reset();
    HierarchyNodes.reset();
}

namespace
{
constexpr double kBoundsMax = 999999.0;

template <class Box> void ResetBounds(Box& b)
{
    b.MaxX = b.MaxY = b.MaxZ = -kBoundsMax;
    b.MinX = b.MinY = b.MinZ = kBoundsMax;
}

template <class Box> void Widen(Box& b, const T3DOVertex& v)
{
    if (v.X > b.MaxX)
        b.MaxX = v.X;
    if (v.X < b.MinX)
        b.MinX = v.X;
    if (v.Y > b.MaxY)
        b.MaxY = v.Y;
    if (v.Y < b.MinY)
        b.MinY = v.Y;
    if (v.Z > b.MaxZ)
        b.MaxZ = v.Z;
    if (v.Z < b.MinZ)
        b.MinZ = v.Z;
}
} // namespace

void ComputeBounds(T3DO& model)
{
    ResetBounds(model);
    for (T3DOGeoSet& g : model)
        for (T3DOMesh& m : g.Meshes)
        {
            ResetBounds(m);
            for (const T3DOVertex& v : m.Vertices)
            {
                Widen(model, v);
                Widen(m, v);
            }
        }
}

void ComputeBounds()
{
    ComputeBounds(*CurrentModel);
}

void LinkMeshesToNodes(T3DO& model, const TNodeList& nodes)
{
    // Equivalent to testing every node against every mesh in ascending node order: the
    // highest node naming a mesh wins.
    for (T3DOGeoSet& g : model)
    {
        const int meshCount = g.Meshes.Count();
        for (int k = 0; k < nodes.Count(); ++k)
        {
            const int j = nodes.Get(k).MeshIndex;
            if (j >= 0 && j < meshCount)
                g.Meshes.Get(j).NodeIndex = k;
        }
    }
}

void LinkMeshesToNodes()
{
    LinkMeshesToNodes(*CurrentModel, *HierarchyNodes);
}

void TSilentProgress::SetMax(std::uint16_t value)
{
    Max = value;
    if (Pos > Max)
        Pos = Max;
}

void TSilentProgress::SetPosition(int value)
{
    Pos = static_cast<std::uint16_t>(std::clamp<int>(value, Min, std::max<int>(Min, Max)));
}

// ---------------------------------------------------------------------------------------------
// Number conversion

std::int32_t StrToInt(std::string_view field)
{
    auto fail = [&]() -> std::int32_t {
        std::string text(kInvalidIntegerFormat);
        text.replace(text.find("%s"), 2, field);
        throw EConvertError(text);
    };
    std::size_t i = 0;
    while (i < field.size() && field[i] == ' ')
        ++i;
    if (i == field.size())
        return fail();
    if (field[i] == '$')
    {
        ++i;
        if (i == field.size())
            return fail();
        std::uint64_t value = 0;
        for (; i < field.size(); ++i)
        {
            const char c = field[i];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return fail();
            value = value * 16 + static_cast<std::uint64_t>(digit);
            if (value > 0xFFFFFFFFull)
                return fail();
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    bool negative = false;
    if (field[i] == '+' || field[i] == '-')
    {
        negative = field[i] == '-';
        ++i;
    }
    if (i == field.size())
        return fail();
    std::int64_t value = 0;
    for (; i < field.size(); ++i)
    {
        const char c = field[i];
        if (c < '0' || c > '9')
            return fail();
        value = value * 10 + (c - '0');
        if (value > 2147483648ll)
            return fail();
    }
    if (negative)
        value = -value;
    if (value > 2147483647ll)
        return fail();
    return static_cast<std::int32_t>(value);
}

double StrToReal(std::string_view field)
{
    const char* p = field.data();
    const char* end = p + field.size();
    while (p < end && *p == ' ')
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
    {
        negative = *p == '-';
        ++p;
    }
    // Find the longest prefix of the form digits [. digits] [e [sign] digits].
    const char* start = p;
    const char* q = p;
    while (q < end && *q >= '0' && *q <= '9')
        ++q;
    bool haveDigits = q > start;
    if (q + 1 < end && *q == '.' && q[1] >= '0' && q[1] <= '9')
    {
        q += 2;
        while (q < end && *q >= '0' && *q <= '9')
            ++q;
        haveDigits = true;
    }
    if (!haveDigits)
        return negative ? -0.0 : 0.0;
    if (q < end && (*q == 'e' || *q == 'E'))
    {
        const char* e = q + 1;
        if (e < end && (*e == '+' || *e == '-'))
            ++e;
        if (e < end && *e >= '0' && *e <= '9')
        {
            while (e < end && *e >= '0' && *e <= '9')
                ++e;
            q = e;
        }
    }
    double value = 0;
    if (*start == '.')
    {
        // fast_float wants a digit before the point.
        char buf[512];
        const std::size_t len = static_cast<std::size_t>(q - start);
        if (len + 1 < sizeof(buf))
        {
            buf[0] = '0';
            std::memcpy(buf + 1, start, len);
            fast_float::from_chars(buf, buf + len + 1, value);
        }
        else
        {
            std::string s = "0" + std::string(start, q);
            fast_float::from_chars(s.data(), s.data() + s.size(), value);
        }
    }
    else
        fast_float::from_chars(start, q, value);
    return negative ? -value : value;
}

// ---------------------------------------------------------------------------------------------
// Loader

namespace
{
std::uint64_t gMemoryBudgetOverride = 0;

std::uint64_t AvailableMemory()
{
    const std::uint64_t bytes = AvailableSystemMemory();
    return bytes ? bytes : UINT64_MAX;
}
} // namespace

std::uint64_t LoaderMemoryBudget()
{
    return gMemoryBudgetOverride ? gMemoryBudgetOverride : AvailableMemory();
}

void SetLoaderMemoryBudget(std::uint64_t bytes)
{
    gMemoryBudgetOverride = bytes;
}

namespace
{
constexpr std::size_t kChunkSize = 1 << 20;
constexpr std::uint64_t kTickBytes = 4 << 20;

// The first CR or LF in [p, stop), or stop. Eight bytes at a time: a byte equal to CR or LF
// leaves a zero byte in the word xor-ed with that character.
const char* FindLineEnd(const char* p, const char* stop)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    const auto hasZero = [](std::uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; };
    while (stop - p >= 8)
    {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (hasZero(word ^ (kOnes * '\r')) || hasZero(word ^ (kOnes * '\n')))
            break;
        p += 8;
    }
    while (p < stop && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// Reads text as lines from memory or from a file read in chunks. A line ends at CR, LF or
// CR LF; byte 26 ends the text.
class TLineReader
{
public:
    explicit TLineReader(std::string_view data) : FData(data.data()), FEnd(data.size())
    {
        TrimAtEof(0);
        FEof = true;
    }

    TLineReader(std::FILE* file, std::uint64_t totalBytes) : FFile(file), FTotal(totalBytes)
    {
        FBuffer.resize(kChunkSize);
        FData = FBuffer.data();
        Fill();
    }

    // Skips every character of code 32 or less; false at the end of the text.
    bool SkipBlanks()
    {
        for (;;)
        {
            while (FPos < FEnd && static_cast<unsigned char>(FData[FPos]) <= 32)
                ++FPos;
            if (FPos < FEnd)
                return true;
            if (FEof)
                return false;
            Fill();
        }
    }

    // The next line without its line end; false at the end of the text.
    bool NextLine(std::string_view& line)
    {
        if (FPos >= FEnd)
        {
            if (FEof)
                return false;
            Fill();
            if (FPos >= FEnd)
                return false;
        }
        std::size_t scan = FPos;
        for (;;)
        {
            const char* base = FData + scan;
            const char* stop = FData + FEnd;
            const char* p = FindLineEnd(base, stop);
            if (p < stop || FEof)
            {
                const std::size_t lineEnd = static_cast<std::size_t>(p - FData);
                line = std::string_view(FData + FPos, lineEnd - FPos);
                FPos = lineEnd;
                if (FPos < FEnd)
                {
                    const char terminator = FData[FPos++];
                    if (terminator == '\r')
                        SkipLineFeedAfterReturn(line);
                }
                return true;
            }
            // The line goes on past the buffered text: keep what we have and read more.
            const std::size_t consumed = scan - FPos + static_cast<std::size_t>(p - base);
            Fill();
            scan = FPos + consumed;
        }
    }

    std::uint64_t BytesRead() const { return FRead; }
    std::uint64_t TotalBytes() const { return FTotal; }

private:
    void SkipLineFeedAfterReturn(std::string_view& line)
    {
        if (FPos < FEnd)
        {
            if (FData[FPos] == '\n')
                ++FPos;
            return;
        }
        if (FEof)
            return;
        // The LF may sit at the start of the next chunk; the line must survive the refill.
        const std::size_t length = line.size();
        MoveToFront(static_cast<std::size_t>(line.data() - FData));
        ReadMore(); // may move the buffer
        line = std::string_view(FData, length);
        if (FPos < FEnd && FData[FPos] == '\n')
            ++FPos;
    }

    // Keeps [FPos, FEnd) and appends the next chunk of the file.
    void Fill()
    {
        MoveToFront(FPos);
        ReadMore();
    }

    void MoveToFront(std::size_t from)
    {
        if (!FFile)
            return;
        const std::size_t keep = FEnd - from;
        if (from > 0 && keep > 0)
            std::memmove(FBuffer.data(), FBuffer.data() + from, keep);
        FPos -= from;
        FEnd = keep;
    }

    void ReadMore()
    {
        if (!FFile || FEof)
            return;
        if (FBuffer.size() - FEnd < kChunkSize / 2)
        {
            FBuffer.resize(FBuffer.size() * 2);
            FData = FBuffer.data();
        }
        const std::size_t got = std::fread(FBuffer.data() + FEnd, 1, FBuffer.size() - FEnd, FFile);
        if (got == 0)
        {
            if (std::ferror(FFile))
                throw EInOutError("I/O error " + std::to_string(errno));
            FEof = true;
            return;
        }
        const std::size_t oldEnd = FEnd;
        FEnd += got;
        FRead += got;
        TrimAtEof(oldEnd);
    }

    void TrimAtEof(std::size_t from)
    {
        const void* eof = std::memchr(FData + from, 26, FEnd - from);
        if (eof)
        {
            FEnd = static_cast<std::size_t>(static_cast<const char*>(eof) - FData);
            FEof = true;
        }
    }

    std::FILE* FFile = nullptr;
    std::vector<char> FBuffer;
    const char* FData = nullptr;
    std::size_t FPos = 0;
    std::size_t FEnd = 0;
    bool FEof = false;
    std::uint64_t FRead = 0;
    std::uint64_t FTotal = 0;
};

bool StartsWithKeyword(std::string_view line, std::string_view keyword)
{
    if (line.size() < keyword.size())
        return false;
    for (std::size_t i = 0; i < keyword.size(); ++i)
    {
        char c = line[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != keyword[i])
            return false;
    }
    return true;
}

enum class TKeyword
{
    None,
    Version,
    InsertOffset,
    GeoSets,
    GeoSet,
    Meshes,
    Mesh,
    Name,
    Radius,
    GeometryMode,
    LightingMode,
    TextureMode,
    Vertices,
    TextureVertices,
    VertexNormals,
    Faces,
    FaceNormals,
    HierarchyNodes
};

TKeyword MatchKeyword(std::string_view line)
{
    struct Entry
    {
        std::string_view Text;
        TKeyword Keyword;
    };
    static constexpr Entry kTable[] = {
        {"3DO", TKeyword::Version},
        {"INSERT OFFSET", TKeyword::InsertOffset},
        {"GEOSETS", TKeyword::GeoSets},
        {"GEOSET ", TKeyword::GeoSet},
        {"MESHES", TKeyword::Meshes},
        {"MESH ", TKeyword::Mesh},
        {"NAME ", TKeyword::Name},
        {"RADIUS ", TKeyword::Radius},
        {"GEOMETRYMODE ", TKeyword::GeometryMode},
        {"LIGHTINGMODE ", TKeyword::LightingMode},
        {"TEXTUREMODE ", TKeyword::TextureMode},
        {"VERTICES", TKeyword::Vertices},
        {"TEXTURE VERTICES", TKeyword::TextureVertices},
        {"VERTEX NORMALS", TKeyword::VertexNormals},
        {"FACES", TKeyword::Faces},
        {"FACE NORMALS", TKeyword::FaceNormals},
        {"HIERARCHY NODES", TKeyword::HierarchyNodes},
    };
    for (const Entry& e : kTable)
        if (StartsWithKeyword(line, e.Text))
            return e.Keyword;
    return TKeyword::None;
}

class TLoader
{
public:
    TLoader(TLineReader& reader, TLoadProgress& progress) : FReader(reader), FProgress(progress)
    {
        FResult.Model = std::make_unique<T3DO>();
        FResult.Nodes = std::make_unique<TNodeList>();
    }

    TLoadedModel Run()
    {
        std::string_view line;
        while (FReader.SkipBlanks())
        {
            FReader.NextLine(line);
            if (line[0] == '#')
                continue;
            TopLevelLine(line);
        }
        Derive();
        return std::move(FResult);
    }

private:
    T3DO& Model() { return *FResult.Model; }

    T3DOMesh& CurrentMesh()
    {
        return Model().Get(FGeoSetIndex).Meshes.Get(FMeshIndex);
    }

    void Repaint() { FProgress.Update(); }

    void TopLevelLine(std::string_view line)
    {
        const TKeyword keyword = MatchKeyword(line);
        if (keyword == TKeyword::None)
            return;
        FSplit.Split(line);
        switch (keyword)
        {
        case TKeyword::None:
            break;
        case TKeyword::Version:
            Model().Version = static_cast<float>(StrToReal(FSplit.Field(2)));
            break;
        case TKeyword::InsertOffset:
            Model().InsertOffsetX = StrToReal(FSplit.Field(3));
            Model().InsertOffsetY = StrToReal(FSplit.Field(4));
            Model().InsertOffsetZ = StrToReal(FSplit.Field(5));
            break;
        case TKeyword::GeoSets:
            FDeclaredGeoSets = StrToInt(FSplit.Field(2));
            break;
        case TKeyword::GeoSet:
            NewGeoSet(StrToInt(FSplit.Field(2)));
            break;
        case TKeyword::Meshes:
        {
            const std::int32_t meshes = StrToInt(FSplit.Field(2));
            const std::uint32_t max = static_cast<std::uint32_t>(FDeclaredGeoSets) *
                                          static_cast<std::uint32_t>(meshes) -
                                      1u;
            FProgress.SetMax(static_cast<std::uint16_t>(max));
            FProgress.SetText(kLoadingGeometry);
            Repaint();
            break;
        }
        case TKeyword::Mesh:
        {
            TMeshList& meshes = Model().Get(FGeoSetIndex).Meshes;
            meshes.Add(T3DOMesh());
            FMeshIndex = meshes.Count() - 1;
            FProgress.SetPosition(FProgress.Position() + 1);
            Repaint();
            break;
        }
        case TKeyword::Name:
        {
            const std::string_view name = FSplit.Field(2);
            CurrentMesh().Name = ShortName(name);
            break;
        }
        case TKeyword::Radius:
        {
            const double radius = StrToReal(FSplit.Field(2));
            if (Model().Count() == 0)
                Model().Radius = radius;
            else
                CurrentMesh().Radius = radius;
            break;
        }
        case TKeyword::GeometryMode:
            CurrentMesh().GeometryMode = ModeField();
            break;
        case TKeyword::LightingMode:
            CurrentMesh().LightingMode = ModeField();
            break;
        case TKeyword::TextureMode:
            CurrentMesh().TextureMode = ModeField();
            break;
        case TKeyword::Vertices:
            FVertexCount = StrToInt(FSplit.Field(2));
            ReadRecords(FVertexCount, &TLoader::VertexRecord);
            break;
        case TKeyword::TextureVertices:
            ReadRecords(StrToInt(FSplit.Field(3)), &TLoader::TexVertexRecord);
            break;
        case TKeyword::VertexNormals:
            ReadRecords(FVertexCount, &TLoader::VertexNormalRecord);
            break;
        case TKeyword::Faces:
            FFaceCount = StrToInt(FSplit.Field(2));
            ReadRecords(FFaceCount, &TLoader::FaceRecord);
            break;
        case TKeyword::FaceNormals:
            ReadRecords(FFaceCount, &TLoader::FaceNormalRecord);
            break;
        case TKeyword::HierarchyNodes:
        {
            const std::int32_t n = StrToInt(FSplit.Field(3));
            FNodeTotal = n;
            FProgress.SetMax(static_cast<std::uint16_t>(n));
            FProgress.SetText(kLoadingHierarchy);
            Repaint();
            ReadRecords(n, &TLoader::NodeRecord);
            break;
        }
        }
    }

    // A mesh's geometry, lighting or texture mode: the line's value, kept to 16 bits.
    std::int16_t ModeField() { return static_cast<std::int16_t>(StrToInt(FSplit.Field(2))); }

    void NewGeoSet(std::int32_t number)
    {
        Model().Add(T3DOGeoSet());
        FGeoSetIndex = Model().Count() - 1;
        if (number != FGeoSetIndex)
        {
            FProgress.ReportMismatch("Mismatch Error Occurred. " + std::to_string(number) +
                                     " to " + std::to_string(FGeoSetIndex));
        }
    }

    using TRecordFn = void (TLoader::*)(std::string_view line, int k);

    void ReadRecords(std::int32_t count, TRecordFn record)
    {
        FSectionMesh = nullptr;
        std::string_view line;
        for (std::int32_t k = 0; k < count;)
        {
            // Added: a section announcing more records than the file holds ends with the file.
            if (!FReader.NextLine(line))
                break;
            if (line.size() < 2 || line[0] == '#')
                continue;
            (this->*record)(line, k);
            ++k;
            if (++FRecordsSinceCheck >= kRecordsPerCheck)
                Checkpoint();
        }
        if (FSectionMesh)
            FFinishedBytes += MeshBytes(*FSectionMesh) - FSectionBaseline;
    }

    static std::uint64_t MeshBytes(const T3DOMesh& m)
    {
        return m.Vertices.Count() * sizeof(T3DOVertex) +
               m.TexVertices.Count() * sizeof(TTEXVertex) + m.Faces.Count() * sizeof(T3DOFace);
    }

    // Keeps a long load responsive and stops one that would exhaust the machine's memory
    // before the system has to kill the program.
    void Checkpoint()
    {
        FRecordsSinceCheck = 0;
        if (ModelBytes() > FBudget)
            throw EModelError(kOutOfMemory);
        if (FReader.BytesRead() - FLastTick >= kTickBytes)
        {
            FLastTick = FReader.BytesRead();
            FProgress.Tick(FReader.BytesRead(), FReader.TotalBytes());
        }
    }

    std::uint64_t ModelBytes() const
    {
        const std::uint64_t bytes = FSectionMesh ? MeshBytes(*FSectionMesh) - FSectionBaseline : 0;
        // Growth headroom for the list being filled.
        return FFinishedBytes + bytes + bytes / 2 + FResult.Nodes->Count() * sizeof(T3DONode);
    }

    // The current mesh cannot change inside a section, so it is looked up once.
    T3DOMesh& SectionMesh()
    {
        if (!FSectionMesh)
        {
            FSectionMesh = &CurrentMesh();
            FSectionBaseline = MeshBytes(*FSectionMesh);
        }
        return *FSectionMesh;
    }

    void VertexRecord(std::string_view line, int)
    {
        FSplit.Split(line);
        T3DOVertex v;
        v.X = StrToReal(FSplit.Field(2));
        v.Y = StrToReal(FSplit.Field(3));
        v.Z = StrToReal(FSplit.Field(4));
        v.ExtraValue = StrToReal(FSplit.Field(5));
        SectionMesh().Vertices.Add(v);
    }

    void TexVertexRecord(std::string_view line, int)
    {
        FSplit.Split(line);
        TTEXVertex v;
        v.U = StrToReal(FSplit.Field(2));
        v.V = StrToReal(FSplit.Field(3));
        SectionMesh().TexVertices.Add(v);
    }

    void VertexNormalRecord(std::string_view line, int k)
    {
        FSplit.Split(line);
        const double x = StrToReal(FSplit.Field(2));
        const double y = StrToReal(FSplit.Field(3));
        const double z = StrToReal(FSplit.Field(4));
        T3DOVertex& v = SectionMesh().Vertices.Get(k);
        v.NormalX = x;
        v.NormalY = y;
        v.NormalZ = z;
    }

    void FaceRecord(std::string_view line, int)
    {
        FSplit.SplitWithComma(line);
        T3DOFace f;
        f.Material = static_cast<std::int16_t>(StrToInt(FSplit.Field(2)));
        f.GeometryMode = static_cast<std::int16_t>(StrToInt(FSplit.Field(4)));
        f.LightingMode = static_cast<std::int16_t>(StrToInt(FSplit.Field(5)));
        f.TextureMode = static_cast<std::int16_t>(StrToInt(FSplit.Field(6)));
        f.ExtraLight = StrToReal(FSplit.Field(7));
        const std::int32_t corners = StrToInt(FSplit.Field(8));
        f.SetVertexCount(corners);
        for (int k = 0; k < corners; ++k)
        {
            const auto vertex = static_cast<std::uint16_t>(StrToInt(FSplit.Field(9 + 2 * k)));
            const auto tex = static_cast<std::uint16_t>(StrToInt(FSplit.Field(10 + 2 * k)));
            f.SetCorner(k, vertex, tex);
        }
        SectionMesh().Faces.Add(std::move(f));
    }

    void FaceNormalRecord(std::string_view line, int k)
    {
        FSplit.Split(line);
        const double x = StrToReal(FSplit.Field(2));
        const double y = StrToReal(FSplit.Field(3));
        const double z = StrToReal(FSplit.Field(4));
        T3DOFace& f = SectionMesh().Faces.Get(k);
        f.NormalX = x;
        f.NormalY = y;
        f.NormalZ = z;
    }

    void NodeRecord(std::string_view line, int k)
    {
        FSplit.Split(line);
        T3DONode n;
        n.MeshIndex = StrToInt(FSplit.Field(4));
        n.ParentIndex = StrToInt(FSplit.Field(5));
        n.ChildIndex = StrToInt(FSplit.Field(6));
        n.SiblingIndex = StrToInt(FSplit.Field(7));
        n.ChildCount = StrToInt(FSplit.Field(8));
        n.X = StrToReal(FSplit.Field(9));
        n.Y = StrToReal(FSplit.Field(10));
        n.Z = StrToReal(FSplit.Field(11));
        n.RotationA = StrToReal(FSplit.Field(12));
        n.RotationB = StrToReal(FSplit.Field(13));
        n.RotationC = StrToReal(FSplit.Field(14));
        n.PivotX = StrToReal(FSplit.Field(15));
        n.PivotY = StrToReal(FSplit.Field(16));
        n.PivotZ = StrToReal(FSplit.Field(17));
        n.Name = ShortName(FSplit.Field(18));
        FResult.Nodes->Add(std::move(n));
        FProgress.SetPosition(FNodeTotal - (FNodeTotal - k));
        Repaint();
    }

    void Derive()
    {
        FProgress.SetPosition(0);
        FProgress.SetMax(3);
        FProgress.SetText(kLearningAbout3DO);
        Repaint();
        ComputeBounds(Model());
        FProgress.SetPosition(FProgress.Position() + 1);
        Repaint();
        LinkMeshesToNodes(Model(), *FResult.Nodes);
        FProgress.SetPosition(FProgress.Position() + 1);
        Repaint();
        for (T3DOGeoSet& g : Model())
            for (T3DOMesh& m : g.Meshes)
                m.FindOffset(*FResult.Nodes);
        FProgress.SetPosition(FProgress.Position() + 1);
        Repaint();
    }

    TLineReader& FReader;
    TLoadProgress& FProgress;
    TLoadedModel FResult;
    TFieldSplitter FSplit;
    int FGeoSetIndex = 0;
    int FMeshIndex = 0;
    std::int32_t FDeclaredGeoSets = 0;
    std::int32_t FVertexCount = 0;
    std::int32_t FFaceCount = 0;
    std::int32_t FNodeTotal = 0;
    T3DOMesh* FSectionMesh = nullptr;
    std::uint64_t FLastTick = 0;
    std::uint64_t FFinishedBytes = 0;
    std::uint64_t FSectionBaseline = 0;
    std::uint64_t FBudget = LoaderMemoryBudget();
    int FRecordsSinceCheck = 0;
    static constexpr int kRecordsPerCheck = 4096;
};

void StartProgress(TLoadProgress& progress)
{
    progress.SetCaption(kLoadCaption);
    progress.SetPosition(0);
    progress.SetMin(0);
    progress.SetMax(0);
    progress.SetText("");
    progress.Update();
    progress.Show();
    progress.Update();
}

TLoadedModel RunLoader(TLineReader& reader, TLoadProgress& progress)
{
    try
    {
        TLoader loader(reader, progress);
        return loader.Run();
    }
    catch (const std::bad_alloc&)
    {
        throw EModelError(kOutOfMemory);
    }
}

struct TFileCloser
{
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string OpenErrorText(int error)
{
    switch (error)
    {
    case ENOENT:
        return "File not found";
    case ENOTDIR:
        return "Path not found";
    case EACCES:
    case EPERM:
        return "File access denied";
    case EISDIR:
        return "File access denied";
    default:
        return "I/O error " + std::to_string(error);
    }
}
} // namespace

TLoadedModel Parse3DO(std::string_view data, TLoadProgress& progress)
{
    StartProgress(progress);
    TLineReader reader(data);
    return RunLoader(reader, progress);
}

TLoadedModel Parse3DOFile(const std::string& fileName, TLoadProgress& progress)
{
    StartProgress(progress);
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        throw EInOutError(OpenErrorText(errno));
    std::uint64_t total = 0;
    if (std::fseek(file.get(), 0, SEEK_END) == 0)
    {
        const long size = std::ftell(file.get());
        total = size > 0 ? static_cast<std::uint64_t>(size) : 0;
        std::fseek(file.get(), 0, SEEK_SET);
    }
    TLineReader reader(file.get(), total);
    return RunLoader(reader, progress);
}

void Load3DO(const std::string& fileName, TLoadProgress& progress)
{
    TLoadedModel loaded;
    try
    {
        loaded = Parse3DOFile(fileName, progress);
    }
    catch (...)
    {
        // Deliberate: a bad file must not leave the progress window on top of everything.
        progress.Hide();
        throw;
    }
    FreeModel();
    CurrentModel = std::move(loaded.Model);
    HierarchyNodes = std::move(loaded.Nodes);
    progress.Hide();
}
