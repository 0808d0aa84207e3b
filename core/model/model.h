// The in-memory 3DO model (geometry sets, meshes, vertices, faces, hierarchy nodes) and the
// process-wide current model: bounds, mesh-to-node links and mesh offsets. loader.h fills it.
#pragma once

#include "base/errors.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr std::size_t kMaxNameLength = 30;
inline constexpr int kMaxFaceVertices = 256;

inline constexpr const char* kFaceTooManyVertices = "Face has more than 256 vertices";
inline constexpr const char* kParentChainCycle = "Hierarchy node parent chain has a cycle";

// An index-addressed list of owned items. Every access outside 0 .. Count-1 throws
// EListError and changes nothing.
template <class T> class TObjectList
{
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    T& Get(int index)
    {
        Check(index);
        return FItems[static_cast<std::size_t>(index)];
    }
    const T& Get(int index) const
    {
        Check(index);
        return FItems[static_cast<std::size_t>(index)];
    }
    void Put(int index, T item)
    {
        Check(index);
        FItems[static_cast<std::size_t>(index)] = std::move(item);
    }
    int Add(T item)
    {
        // Grow by half rather than double: a huge mesh then never needs three times its
        // final size while the items move.
        if (FItems.size() == FItems.capacity())
            FItems.reserve(FItems.capacity() + FItems.capacity() / 2 + 16);
        FItems.push_back(std::move(item));
        return Count() - 1;
    }
    void Clear() { FItems.clear(); }
    void Reserve(std::size_t n) { FItems.reserve(n); }
    // Unchecked iteration for readers that walk the whole list.
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }
    auto begin() { return FItems.begin(); }
    auto end() { return FItems.end(); }

private:
    void Check(int index) const
    {
        if (index < 0 || static_cast<std::size_t>(index) >= FItems.size())
            throw EListError();
    }
    std::vector<T> FItems;
};

struct T3DOVertex
{
    double X = 0, Y = 0, Z = 0;
    double ExtraValue = 0;
    double NormalX = 0, NormalY = 0, NormalZ = 0;
    std::int32_t ScreenX = 0, ScreenY = 0;
};

struct TTEXVertex
{
    double U = 0, V = 0;
};

// Added: the bits of a face's type field (T3DOFace::Flags) that drawing and export use, and how
// opaque the game draws a translucent face, of 255.
inline constexpr std::uint32_t kModelFaceDoubleSided = 0x1;
inline constexpr std::uint32_t kModelFaceTranslucent = 0x2;
inline constexpr std::uint32_t kTranslucentAlpha = 90;

// One polygon. Corners are stored compactly: up to four inline, more on the heap, at most
// 256 in all. VertexIndex(k) and TexVertexIndex(k) throw EListError for k >= VertexCount.
class T3DOFace
{
public:
    std::int16_t Material = 0;
    std::int16_t GeometryMode = 0, LightingMode = 0, TextureMode = 0;
    double ExtraLight = 0;
    double NormalX = 0, NormalY = 0, NormalZ = 0;
    // Added: the face line's type field (0x1 double-sided, 0x2 translucent, ...).
    std::uint32_t Flags = 0;
    // Added: which numbers of the face line did not fit the 16 bits kept above (kFaceUnfit...).
    // The game reads them whole, so such a number points somewhere the kept one does not.
    std::uint8_t Unfit = 0;

    T3DOFace() = default;
    T3DOFace(const T3DOFace& other);
    T3DOFace& operator=(const T3DOFace& other);
    T3DOFace(T3DOFace&& other) noexcept;
    T3DOFace& operator=(T3DOFace&& other) noexcept;
    ~T3DOFace();

    std::uint16_t VertexCount() const { return FVertexCount; }
    std::uint16_t VertexIndex(int k) const;
    std::uint16_t TexVertexIndex(int k) const;
    // Unchecked: k must be below VertexCount().
    std::uint16_t VertexIndexAt(int k) const { return Corners()[2 * k]; }
    // Sets the corner count (0 .. 256, else throws EModelError(kFaceTooManyVertices))
    // and clears all corners to 0.
    void SetVertexCount(int count);
    void SetCorner(int k, std::uint16_t vertexIndex, std::uint16_t texVertexIndex);

private:
    static constexpr int kInlineCorners = 4;
    const std::uint16_t* Corners() const { return FVertexCount <= kInlineCorners ? FInline : FHeap; }
    std::uint16_t* Corners() { return FVertexCount <= kInlineCorners ? FInline : FHeap; }
    void Release();
    void CopyFrom(const T3DOFace& other);

    std::uint16_t FVertexCount = 0;
    union
    {
        std::uint16_t FInline[2 * kInlineCorners] = {};
        std::uint16_t* FHeap;
    };
};

inline constexpr std::uint8_t kFaceUnfitMaterial = 0x1;
inline constexpr std::uint8_t kFaceUnfitVertex = 0x2;    // a corner's vertex index
inline constexpr std::uint8_t kFaceUnfitTexVertex = 0x4; // a corner's texture-vertex index

using TVertexList = TObjectList<T3DOVertex>;
using TTexVertexList = TObjectList<TTEXVertex>;
using TFaceList = TObjectList<T3DOFace>;

struct T3DONode
{
    std::int32_t MeshIndex = 0;
    std::int32_t ParentIndex = 0;
    std::int32_t ChildIndex = 0;
    std::int32_t SiblingIndex = 0;
    std::int32_t ChildCount = 0;
    // Added: the length of the name as written, before the cut to kMaxNameLength.
    std::uint32_t NameLength = 0;
    double X = 0, Y = 0, Z = 0;
    double RotationA = 0, RotationB = 0, RotationC = 0;
    double PivotX = 0, PivotY = 0, PivotZ = 0;
    std::string Name;
};

using TNodeList = TObjectList<T3DONode>;

// Where a node places its mesh: the node's position and pivot plus its ancestors' positions,
// added from the node up. Throws EListError for an index outside `nodes` (the node's or a
// parent's) and EModelError(kParentChainCycle) for a parent chain that loops.
struct T3DOOffset
{
    double X = 0, Y = 0, Z = 0;
};

T3DOOffset NodeOffset(const TNodeList& nodes, int nodeIndex);

class T3DOMesh
{
public:
    std::string Name;
    // Added: the name as written, before the cut to kMaxNameLength.
    std::string WrittenName;
    double Radius = 0;
    std::int16_t GeometryMode = 0, LightingMode = 0, TextureMode = 0;
    TVertexList Vertices;
    TTexVertexList TexVertices;
    TFaceList Faces;
    std::int32_t NodeIndex = 0;
    double MinX = 0, MinY = 0, MinZ = 0, MaxX = 0, MaxY = 0, MaxZ = 0;
    double OffsetX = 0, OffsetY = 0, OffsetZ = 0;

    // Sets the offset to NodeOffset(nodes, NodeIndex).
    void FindOffset(const TNodeList& nodes);
    // The same, on the process-wide HierarchyNodes.
    void FindOffset();
};

using TMeshList = TObjectList<T3DOMesh>;

class T3DOGeoSet
{
public:
    TMeshList Meshes;
};

class T3DO : public TObjectList<T3DOGeoSet>
{
public:
    float Version = 0;
    double Radius = 0;
    double InsertOffsetX = 0, InsertOffsetY = 0, InsertOffsetZ = 0;
    double MinX = 0, MinY = 0, MinZ = 0;
    double MaxX = 0, MaxY = 0, MaxZ = 0;
    // Added: the names of the MATERIALS list, in order; faces index into it.
    std::vector<std::string> Materials;
};

// Stores the first 30 characters of a name.
std::string ShortName(std::string_view name);

// Process-wide current model. Exactly one model exists between CreateEmptyModel (or a
// successful load) and FreeModel.
extern std::unique_ptr<T3DO> CurrentModel;
extern std::unique_ptr<TNodeList> HierarchyNodes;
extern std::uint16_t CurrentGeoSetIndex;
extern std::uint16_t CurrentMeshIndex;

void CreateEmptyModel();
void FreeModel();
void ComputeBounds(T3DO& model);
void ComputeBounds();
void LinkMeshesToNodes(T3DO& model, const TNodeList& nodes);
void LinkMeshesToNodes();
