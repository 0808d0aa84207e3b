// The 3DO object model.
#include "model/model.h"

#include <cstring>

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
      NormalZ(other.NormalZ), Flags(other.Flags), Unfit(other.Unfit)
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
      NormalZ(other.NormalZ), Flags(other.Flags), Unfit(other.Unfit),
      FVertexCount(other.FVertexCount)
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
        Unfit = other.Unfit;
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

T3DOOffset NodeOffset(const TNodeList& nodes, int nodeIndex)
{
    const T3DONode& n = nodes.Get(nodeIndex);
    T3DOOffset o{n.X + n.PivotX, n.Y + n.PivotY, n.Z + n.PivotZ};
    // Added: a chain longer than the node count must loop somewhere.
    int steps = 0;
    for (int p = n.ParentIndex; p >= 0;)
    {
        if (++steps > nodes.Count())
            throw EModelError(kParentChainCycle);
        const T3DONode& parent = nodes.Get(p);
        o.X += parent.X;
        o.Y += parent.Y;
        o.Z += parent.Z;
        p = parent.ParentIndex;
    }
    return o;
}

void T3DOMesh::FindOffset(const TNodeList& nodes)
{
    const T3DOOffset o = NodeOffset(nodes, NodeIndex);
    OffsetX = o.X;
    OffsetY = o.Y;
    OffsetZ = o.Z;
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
