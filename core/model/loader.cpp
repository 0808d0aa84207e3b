// The .3do loader.
#include "model/loader.h"

#include "formats/gob.h"
#include "base/platform.h"

#include "base/U_String.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <optional>

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
    explicit TLineReader(std::string_view data)
        : FData(data.data()), FEnd(data.size()), FTotal(data.size())
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

    // Text taken in so far: from a file, what was read; in memory, what was passed.
    std::uint64_t BytesRead() const { return FFile ? FRead : FPos; }
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
                throw EInOutError(FormatText(kIOError, {std::to_string(errno)}));
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

enum class TKeyword
{
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

// The keyword a top-level line starts with; nothing for any other line, which is skipped.
std::optional<TKeyword> MatchKeyword(std::string_view line)
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
        if (StartsWithText(line, e.Text))
            return e.Keyword;
    return std::nullopt;
}

// Added fields the design never reads must never fail a load: malformed text reads as 0.
std::uint32_t LenientHex(std::string_view field)
{
    if (field.size() > 2 && field[0] == '0' && (field[1] == 'x' || field[1] == 'X'))
        field.remove_prefix(2);
    std::uint32_t value = 0;
    if (field.empty() || field.size() > 8)
        return 0;
    for (const char c : field)
    {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return 0;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::int32_t LenientCount(std::string_view field)
{
    std::int32_t value = 0;
    for (const char c : field)
    {
        if (c < '0' || c > '9' || value > 100000000)
            return 0;
        value = value * 10 + (c - '0');
    }
    return value;
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

    T3DOMesh& CurrentMesh() { return Model().Get(FGeoSetIndex).Meshes.Get(FMeshIndex); }

    void Repaint() { FProgress.Update(); }

    void TopLevelLine(std::string_view line)
    {
        const std::optional<TKeyword> keyword = MatchKeyword(line);
        if (!keyword)
        {
            MaterialListLine(line);
            return;
        }
        FMaterialsLeft = 0;
        FSplit.Split(line);
        switch (*keyword)
        {
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
            const std::uint32_t max =
                static_cast<std::uint32_t>(FDeclaredGeoSets) * static_cast<std::uint32_t>(meshes) -
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
            CurrentMesh().WrittenName = std::string(name);
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

    // Added: the MATERIALS list is kept for drawing and export. Its lines stay ignored for
    // everything else, so a list that is malformed or shorter than announced never fails a
    // load: a keyword line simply ends it.
    void MaterialListLine(std::string_view line)
    {
        if (StartsWithText(line, "MATERIALS"))
        {
            FSplit.Split(line);
            FMaterialsLeft = 0;
            if (FSplit.FieldCount() >= 2)
                FMaterialsLeft = LenientCount(FSplit.Field(2));
            Model().Materials.clear();
            return;
        }
        if (FMaterialsLeft <= 0)
            return;
        FSplit.Split(line);
        if (FSplit.FieldCount() < 2)
            return;
        Model().Materials.emplace_back(FSplit.Field(2));
        --FMaterialsLeft;
    }

    // A mesh's geometry, lighting or texture mode: the line's value, kept to 16 bits.
    std::int16_t ModeField() { return static_cast<std::int16_t>(StrToInt(FSplit.Field(2))); }

    void NewGeoSet(std::int32_t number)
    {
        Model().Add(T3DOGeoSet());
        FGeoSetIndex = Model().Count() - 1;
        if (number != FGeoSetIndex)
        {
            FProgress.ReportMismatch(FormatText(
                kGeoSetMismatch, {std::to_string(number), std::to_string(FGeoSetIndex)}));
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
        NormalRecord(line, [&]() -> T3DOVertex& { return SectionMesh().Vertices.Get(k); });
    }

    // Fields 2 to 4 of the line become the normal of the item `target` gives.
    template <class TTarget> void NormalRecord(std::string_view line, TTarget&& target)
    {
        FSplit.Split(line);
        const double x = StrToReal(FSplit.Field(2));
        const double y = StrToReal(FSplit.Field(3));
        const double z = StrToReal(FSplit.Field(4));
        auto& item = target();
        item.NormalX = x;
        item.NormalY = y;
        item.NormalZ = z;
    }

    void FaceRecord(std::string_view line, int)
    {
        FSplit.SplitWithComma(line);
        T3DOFace f;
        const std::int32_t material = StrToInt(FSplit.Field(2));
        f.Material = static_cast<std::int16_t>(material);
        if (f.Material != material)
            f.Unfit |= kFaceUnfitMaterial;
        f.GeometryMode = static_cast<std::int16_t>(StrToInt(FSplit.Field(4)));
        f.LightingMode = static_cast<std::int16_t>(StrToInt(FSplit.Field(5)));
        f.TextureMode = static_cast<std::int16_t>(StrToInt(FSplit.Field(6)));
        f.ExtraLight = StrToReal(FSplit.Field(7));
        const std::int32_t corners = StrToInt(FSplit.Field(8));
        f.SetVertexCount(corners);
        for (int k = 0; k < corners; ++k)
        {
            const std::int32_t vertex = StrToInt(FSplit.Field(9 + 2 * k));
            const std::int32_t tex = StrToInt(FSplit.Field(10 + 2 * k));
            if (static_cast<std::uint32_t>(vertex) > 0xFFFF)
                f.Unfit |= kFaceUnfitVertex;
            if (static_cast<std::uint32_t>(tex) > 0xFFFF)
                f.Unfit |= kFaceUnfitTexVertex;
            f.SetCorner(k, static_cast<std::uint16_t>(vertex), static_cast<std::uint16_t>(tex));
        }
        f.Flags = LenientHex(FSplit.Field(3));
        SectionMesh().Faces.Add(std::move(f));
    }

    void FaceNormalRecord(std::string_view line, int k)
    {
        NormalRecord(line, [&]() -> T3DOFace& { return SectionMesh().Faces.Get(k); });
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
        const std::string_view name = FSplit.Field(18);
        n.Name = ShortName(name);
        n.NameLength = static_cast<std::uint32_t>(name.size());
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
    std::int32_t FMaterialsLeft = 0;
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
        return kFileNotFound;
    case ENOTDIR:
        return kPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
        return kFileAccessDenied;
    default:
        return FormatText(kIOError, {std::to_string(error)});
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

TLoadedModel Parse3DOEntry(const TGobArchive& archive, std::size_t entry, TLoadProgress& progress)
{
    StartProgress(progress);
    const std::string bytes = archive.Read(entry);
    TLineReader reader(bytes);
    return RunLoader(reader, progress);
}

namespace
{
// Makes what `parse` loads the current model; on failure nothing changes.
void LoadCurrent(const std::function<TLoadedModel()>& parse, TLoadProgress& progress)
{
    TLoadedModel loaded;
    try
    {
        loaded = parse();
    }
    catch (...)
    {
        // Deliberate: a bad file must not leave the progress window on top of everything.
        progress.Hide();
        throw;
    }
    FreeModel();
    // Added: the old model's memory goes back to the system at once.
    ReleaseFreeMemory();
    CurrentModel = std::move(loaded.Model);
    HierarchyNodes = std::move(loaded.Nodes);
    progress.Hide();
}
} // namespace

void Load3DO(const std::string& fileName, TLoadProgress& progress)
{
    LoadCurrent([&] { return Parse3DOFile(fileName, progress); }, progress);
}

void Load3DOEntry(const TGobArchive& archive, std::size_t entry, TLoadProgress& progress)
{
    LoadCurrent([&] { return Parse3DOEntry(archive, entry, progress); }, progress);
}
