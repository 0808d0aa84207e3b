// The glTF 2.0 writer: nodes and materials as JSON through nlohmann-json, vertex data laid out
// in one buffer of our own, the two joined as .glb chunks or as base64 data URIs.
#include "formats/gltfexport.h"

#include "base/U_String.h"

#include "formats/pngwrite.h"
#include "model/loader.h"
#include "model/pose.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>

// The buffer is filled with the machine's own floats and integers; glTF wants little-endian.
static_assert(std::endian::native == std::endian::little);

namespace
{
using json = nlohmann::ordered_json;

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kNearest = 9728;
constexpr int kRepeat = 10497;
constexpr const char* kUnlit = "KHR_materials_unlit";

[[noreturn]] void Fail(const char* format, std::string_view name)
{
    throw EModelError(FormatText(format, {name}));
}

float CheckedFloat(double value, const std::string& owner)
{
    const auto f = static_cast<float>(value);
    if (!std::isfinite(f))
        Fail(kGltfNotFiniteFormat, owner);
    return f;
}

std::string Base64(std::string_view data)
{
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.resize((data.size() + 2) / 3 * 4);
    const auto* in = reinterpret_cast<const unsigned char*>(data.data());
    char* p = out.data();
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3)
    {
        const std::uint32_t v =
            (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
        *p++ = kDigits[v >> 18];
        *p++ = kDigits[(v >> 12) & 63];
        *p++ = kDigits[(v >> 6) & 63];
        *p++ = kDigits[v & 63];
    }
    if (i < data.size())
    {
        const bool two = i + 1 < data.size();
        const std::uint32_t v = (std::uint32_t{in[i]} << 16) | (two ? in[i + 1] << 8 : 0);
        *p++ = kDigits[v >> 18];
        *p++ = kDigits[(v >> 12) & 63];
        *p++ = two ? kDigits[(v >> 6) & 63] : '=';
        *p++ = '=';
    }
    return out;
}

double SrgbToLinear(std::uint32_t channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// One glTF material: a model material and the face properties that change how it is drawn.
struct TVariant
{
    int Material;
    bool DoubleSided, Translucent, Unlit;
    bool operator==(const TVariant&) const = default;
};

struct TPrimitive
{
    TVariant Variant;
    bool Textured = false;
    std::uint64_t VertexCount = 0, IndexCount = 0;
    // Where its data starts: vertex number, texture vertex number, byte in the index area.
    std::uint64_t VertexFirst = 0, TexFirst = 0, IndexByteFirst = 0;
    std::uint64_t Filled = 0, IndicesFilled = 0;
    float Min[3] = {}, Max[3] = {};

    bool WideIndices() const { return VertexCount > 65535; }
    std::uint64_t IndexBytes() const { return (IndexCount * (WideIndices() ? 4 : 2) + 3) / 4 * 4; }
};

struct TMeshPlan
{
    std::vector<TPrimitive> Primitives;
    std::vector<std::int32_t> FacePrimitive; // per face; -1 when left out
    int GltfMesh = -1;
};

// One key's samples in the buffer: the times, then per animated node its translations and its
// rotations.
struct TAnimationPlan
{
    struct TChannel
    {
        int Node;    // hierarchy node, and glTF node
        int KeyNode; // index into the key's nodes
    };
    std::vector<TChannel> Channels;
    std::uint64_t Samples = 0;
    std::uint64_t At = 0; // byte offset within the animation data

    std::uint64_t TranslationsAt(std::size_t c) const { return At + Samples * (4 + 28 * c); }
    std::uint64_t RotationsAt(std::size_t c) const { return TranslationsAt(c) + Samples * 12; }
};

class TGltfWriter
{
public:
    TGltfWriter(const T3DO& model, const TNodeList& nodes, int geoSetIndex,
                const std::vector<TMaterialLook>& materials, std::vector<std::string>* warnings,
                const std::vector<TGltfAnimation>& animations)
        : FModel(model), FNodes(nodes), FMeshes(model.Get(geoSetIndex).Meshes),
          FMaterials(materials), FWarnings(warnings), FAnimations(animations)
    {
    }

    void Write(TGltfContainer container, const TByteSink& sink)
    {
        CheckNodes();
        PrepareMaterials();
        PlanMeshes();
        PlanAnimations();
        FillBuffer();
        FillAnimations();
        BuildJson(container);
        if (container == TGltfContainer::Binary)
            WriteGlb(sink);
        else
            WriteText(sink);
    }

private:
    void Warn(const char* format, std::string_view name)
    {
        if (FWarnings)
            FWarnings->push_back(FormatText(format, {name}));
    }

    // ---- Hierarchy

    void CheckNodes()
    {
        const int n = FNodes.Count();
        const auto inList = [n](std::int32_t link) { return link >= -1 && link < n; };
        for (const T3DONode& node : FNodes)
        {
            if (!inList(node.ParentIndex) || !inList(node.ChildIndex) || !inList(node.SiblingIndex))
                Fail(kGltfNodeLinkFormat, node.Name);
            for (const double v : {node.X, node.Y, node.Z, node.PivotX, node.PivotY, node.PivotZ})
                CheckedFloat(v, node.Name);
            for (const double v : {node.RotationA, node.RotationB, node.RotationC})
                if (!std::isfinite(v))
                    Fail(kGltfNotFiniteFormat, node.Name);
        }
        // Every parent chain must reach a root: walk each once, marking what is done.
        std::vector<std::uint8_t> state(static_cast<std::size_t>(n), 0); // 1 walking, 2 done
        std::vector<int> path;
        for (int i = 0; i < n; ++i)
        {
            path.clear();
            int p = i;
            while (p >= 0 && state[static_cast<std::size_t>(p)] == 0)
            {
                state[static_cast<std::size_t>(p)] = 1;
                path.push_back(p);
                p = FNodes.Get(p).ParentIndex;
            }
            if (p >= 0 && state[static_cast<std::size_t>(p)] == 1)
                throw EModelError(kParentChainCycle);
            for (const int k : path)
                state[static_cast<std::size_t>(k)] = 2;
        }
    }

    // The children of every node by parent link, those on its child and sibling chain first
    // in chain order, then the rest in index order.
    std::vector<std::vector<int>> Children() const
    {
        const int n = FNodes.Count();
        std::vector<std::vector<int>> byParent(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            if (FNodes.Get(i).ParentIndex >= 0)
                byParent[static_cast<std::size_t>(FNodes.Get(i).ParentIndex)].push_back(i);
        std::vector<bool> placed(static_cast<std::size_t>(n), false);
        for (int p = 0; p < n; ++p)
        {
            std::vector<int>& list = byParent[static_cast<std::size_t>(p)];
            if (list.size() < 2)
                continue;
            std::vector<int> ordered;
            int c = FNodes.Get(p).ChildIndex;
            for (int steps = 0; c >= 0 && steps < n; ++steps, c = FNodes.Get(c).SiblingIndex)
                if (FNodes.Get(c).ParentIndex == p && !placed[static_cast<std::size_t>(c)])
                {
                    placed[static_cast<std::size_t>(c)] = true;
                    ordered.push_back(c);
                }
            for (const int k : list)
                if (!placed[static_cast<std::size_t>(k)])
                    ordered.push_back(k);
            list = std::move(ordered);
        }
        return byParent;
    }

    // ---- Materials

    int MaterialCount() const { return static_cast<int>(FModel.Materials.size()); }

    void PrepareMaterials()
    {
        // One past the list: the placeholder of faces whose material is beyond it.
        FKinds.assign(FModel.Materials.size() + 1, TMaterialKind::Missing);
        for (std::size_t i = 0; i < FModel.Materials.size() && i < FMaterials.size(); ++i)
        {
            const TMaterialLook& m = FMaterials[i];
            FKinds[i] = m.Kind;
            // A texture the budget left undecoded is exported as missing; its warning is said.
            if (m.Kind == TMaterialKind::Texture && !m.Texture)
                FKinds[i] = TMaterialKind::Missing;
            else if (m.Kind == TMaterialKind::Texture && !UsableTexture(m))
            {
                Warn(kGltfBadTextureFormat, FModel.Materials[i]);
                FKinds[i] = TMaterialKind::Missing;
            }
        }
    }

    bool Textured(int material) const
    {
        return FKinds[static_cast<std::size_t>(material)] == TMaterialKind::Texture;
    }

    // ---- Meshes

    void PlanMeshes()
    {
        FPlans.resize(static_cast<std::size_t>(FMeshes.Count()));
        for (int m = 0; m < FMeshes.Count(); ++m)
        {
            const T3DOMesh& mesh = FMeshes.Get(m);
            TMeshPlan& plan = FPlans[static_cast<std::size_t>(m)];
            plan.FacePrimitive.reserve(static_cast<std::size_t>(mesh.Faces.Count()));
            bool warned = false;
            std::int32_t last = -1;
            for (const T3DOFace& f : mesh.Faces)
            {
                std::int32_t target = -1;
                int material = f.Material;
                // Added: the preview draws such faces, so the file keeps them, as the
                // placeholder; only material -1 means "not drawn" in the game.
                if (material >= MaterialCount() || material < -1)
                {
                    if (!warned)
                        Warn(kGltfMaterialBeyondListFormat, mesh.Name);
                    warned = true;
                    material = MaterialCount();
                }
                if (material >= 0 && f.VertexCount() >= 3)
                {
                    const TVariant v{material, (f.Flags & kModelFaceDoubleSided) != 0,
                                     (f.Flags & kModelFaceTranslucent) != 0,
                                     std::min(mesh.LightingMode, f.LightingMode) == 0};
                    if (last >= 0 && plan.Primitives[static_cast<std::size_t>(last)].Variant == v)
                        target = last;
                    else
                    {
                        const auto it =
                            std::find_if(plan.Primitives.begin(), plan.Primitives.end(),
                                         [&v](const TPrimitive& p) { return p.Variant == v; });
                        target = static_cast<std::int32_t>(it - plan.Primitives.begin());
                        if (it == plan.Primitives.end())
                        {
                            TPrimitive p;
                            p.Variant = v;
                            p.Textured = Textured(v.Material);
                            plan.Primitives.push_back(p);
                        }
                    }
                    TPrimitive& p = plan.Primitives[static_cast<std::size_t>(target)];
                    p.VertexCount += f.VertexCount();
                    p.IndexCount += 3 * (f.VertexCount() - 2);
                    last = target;
                }
                plan.FacePrimitive.push_back(target);
            }
            for (TPrimitive& p : plan.Primitives)
            {
                p.VertexFirst = FVertexTotal;
                FVertexTotal += p.VertexCount;
                p.TexFirst = FTexTotal;
                if (p.Textured)
                    FTexTotal += p.VertexCount;
                p.IndexByteFirst = FIndexBytes;
                FIndexBytes += p.IndexBytes();
            }
        }
    }

    void FillBuffer()
    {
        FPositionsAt = 0;
        FNormalsAt = FVertexTotal * 12;
        FTexAt = FNormalsAt + FVertexTotal * 12;
        FIndicesAt = FTexAt + FTexTotal * 8;
        FAnimationsAt = FIndicesAt + FIndexBytes;
        FImagesAt = FAnimationsAt + FAnimationBytes;
        if (FImagesAt > std::numeric_limits<std::size_t>::max() / 2)
            throw EModelError(kGltfTooLarge);
        FBuffer.resize(static_cast<std::size_t>(FImagesAt));
        for (int m = 0; m < FMeshes.Count(); ++m)
        {
            const T3DOMesh& mesh = FMeshes.Get(m);
            TMeshPlan& plan = FPlans[static_cast<std::size_t>(m)];
            for (int f = 0; f < mesh.Faces.Count(); ++f)
            {
                const std::int32_t target = plan.FacePrimitive[static_cast<std::size_t>(f)];
                if (target >= 0)
                    FillFace(mesh, mesh.Faces.begin()[f],
                             plan.Primitives[static_cast<std::size_t>(target)]);
            }
        }
    }

    void FillFace(const T3DOMesh& mesh, const T3DOFace& face, TPrimitive& p)
    {
        const int n = face.VertexCount();
        const int vertexCount = mesh.Vertices.Count();
        for (int k = 0; k < n; ++k)
            if (face.VertexIndexAt(k) >= vertexCount)
                Fail(kGltfVertexIndexFormat, mesh.Name);
        const auto corner = [&](int k) -> const T3DOVertex&
        { return mesh.Vertices.begin()[face.VertexIndexAt(k)]; };

        // The polygon's own normal (Newell), to fall back on and to check the winding.
        double px = 0, py = 0, pz = 0;
        for (int k = 0; k < n; ++k)
        {
            const T3DOVertex& a = corner(k);
            const T3DOVertex& b = corner(k + 1 == n ? 0 : k + 1);
            px += (a.Y - b.Y) * (a.Z + b.Z);
            py += (a.Z - b.Z) * (a.X + b.X);
            pz += (a.X - b.X) * (a.Y + b.Y);
        }
        double nx = face.NormalX, ny = face.NormalY, nz = face.NormalZ;
        if (!std::isfinite(nx) || !std::isfinite(ny) || !std::isfinite(nz))
            Fail(kGltfNotFiniteFormat, mesh.Name);
        bool flip = false;
        if (!Normalise(nx, ny, nz))
        {
            nx = px, ny = py, nz = pz;
            if (!std::isfinite(nx) || !std::isfinite(ny) || !std::isfinite(nz) ||
                !Normalise(nx, ny, nz))
                nx = 0, ny = 0, nz = 1;
        }
        else
            // Added: the stored normal decides which side is the front, as in the game; the
            // corners are turned to match it.
            flip = nx * px + ny * py + nz * pz < 0;
        const float normal[3] = {static_cast<float>(nx), static_cast<float>(ny),
                                 static_cast<float>(nz)};

        const std::uint64_t first = p.VertexFirst + p.Filled;
        const std::uint64_t base = p.Filled;
        float* pos = Floats(FPositionsAt + first * 12);
        float* nor = Floats(FNormalsAt + first * 12);
        for (int k = 0; k < n; ++k)
        {
            const T3DOVertex& v = corner(k);
            const float xyz[3] = {CheckedFloat(v.X, mesh.Name), CheckedFloat(v.Y, mesh.Name),
                                  CheckedFloat(v.Z, mesh.Name)};
            for (int a = 0; a < 3; ++a)
            {
                if (p.Filled == 0 && k == 0)
                    p.Min[a] = p.Max[a] = xyz[a];
                p.Min[a] = std::min(p.Min[a], xyz[a]);
                p.Max[a] = std::max(p.Max[a], xyz[a]);
                *pos++ = xyz[a];
                *nor++ = normal[a];
            }
        }
        if (p.Textured)
        {
            const TMaterialLook& m = FMaterials[static_cast<std::size_t>(p.Variant.Material)];
            const int texCount = mesh.TexVertices.Count();
            float* uv = Floats(FTexAt + (p.TexFirst + p.Filled) * 8);
            for (int k = 0; k < n; ++k)
            {
                const int t = face.TexVertexIndex(k);
                if (t >= texCount)
                    Fail(kGltfTexVertexIndexFormat, mesh.Name);
                const TTEXVertex& tv = mesh.TexVertices.begin()[t];
                *uv++ = CheckedFloat(tv.U / m.Width, mesh.Name);
                *uv++ = CheckedFloat(tv.V / m.Height, mesh.Name);
            }
        }
        p.Filled += static_cast<std::uint64_t>(n);

        char* at = FBuffer.data() + FIndicesAt + p.IndexByteFirst;
        const bool wide = p.WideIndices();
        for (int k = 1; k + 1 < n; ++k)
        {
            const std::uint64_t tri[3] = {base, base + static_cast<std::uint64_t>(flip ? k + 1 : k),
                                          base + static_cast<std::uint64_t>(flip ? k : k + 1)};
            for (const std::uint64_t i : tri)
            {
                if (wide)
                {
                    const auto v = static_cast<std::uint32_t>(i);
                    std::memcpy(at + p.IndicesFilled * 4, &v, 4);
                }
                else
                {
                    const auto v = static_cast<std::uint16_t>(i);
                    std::memcpy(at + p.IndicesFilled * 2, &v, 2);
                }
                ++p.IndicesFilled;
            }
        }
    }

    static bool Normalise(double& x, double& y, double& z)
    {
        const double scale = std::max({std::fabs(x), std::fabs(y), std::fabs(z)});
        if (!(scale > 0) || !std::isfinite(scale))
            return false;
        x /= scale, y /= scale, z /= scale;
        const double length = std::sqrt(x * x + y * y + z * z);
        x /= length, y /= length, z /= length;
        return true;
    }

    float* Floats(std::uint64_t byteOffset)
    {
        return reinterpret_cast<float*>(FBuffer.data() + byteOffset);
    }

    // ---- JSON

    int AddView(std::uint64_t offset, std::uint64_t length, int target, int stride)
    {
        json view = {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", length}};
        if (stride > 0)
            view["byteStride"] = stride;
        if (target > 0)
            view["target"] = target;
        FJson["bufferViews"].push_back(std::move(view));
        return static_cast<int>(FJson["bufferViews"].size()) - 1;
    }

    int AddAccessor(int view, std::uint64_t offset, int componentType, std::uint64_t count,
                    const char* type)
    {
        json a = json::object();
        a["bufferView"] = view;
        a["byteOffset"] = offset;
        a["componentType"] = componentType;
        a["count"] = count;
        a["type"] = type;
        FAccessors.push_back(std::move(a));
        return static_cast<int>(FAccessors.size()) - 1;
    }

    int MaterialFor(const TVariant& v)
    {
        const auto it = std::find(FVariants.begin(), FVariants.end(), v);
        if (it != FVariants.end())
            return static_cast<int>(it - FVariants.begin());
        FVariants.push_back(v);
        const auto index = static_cast<std::size_t>(v.Material);
        const TMaterialKind kind = FKinds[index];
        const double alpha = v.Translucent ? kTranslucentAlpha / 255.0 : 1.0;
        json pbr;
        if (kind == TMaterialKind::Colour)
        {
            const std::uint32_t c = FMaterials[index].Colour;
            pbr["baseColorFactor"] = {SrgbToLinear((c >> 16) & 0xFF), SrgbToLinear((c >> 8) & 0xFF),
                                      SrgbToLinear(c & 0xFF), alpha};
        }
        else if (kind == TMaterialKind::Texture)
        {
            if (v.Translucent)
                pbr["baseColorFactor"] = {1.0, 1.0, 1.0, alpha};
            pbr["baseColorTexture"] = {{"index", TextureFor(v.Material)}};
        }
        else
            pbr["baseColorFactor"] = {1.0, 0.0, 1.0, alpha};
        pbr["metallicFactor"] = 0.0;
        const std::string name = index < FModel.Materials.size()
                                     ? Latin1ToUtf8(FModel.Materials[index])
                                     : std::string(kGltfBeyondListMaterial);
        json material = {{"name", name}, {"pbrMetallicRoughness", pbr}};
        if (v.Translucent)
            material["alphaMode"] = "BLEND";
        else if (kind == TMaterialKind::Texture && FMaterials[index].CutOut)
            material["alphaMode"] = "MASK";
        if (v.DoubleSided)
            material["doubleSided"] = true;
        if (v.Unlit)
        {
            material["extensions"] = {{kUnlit, json::object()}};
            FUsesUnlit = true;
        }
        FJson["materials"].push_back(std::move(material));
        return static_cast<int>(FVariants.size()) - 1;
    }

    int TextureFor(int material)
    {
        // Materials that reach the same material file share its texture: one image.
        const TMaterialLook& m = FMaterials[static_cast<std::size_t>(material)];
        const auto it = std::find(FTextures.begin(), FTextures.end(), m.Texture.get());
        if (it != FTextures.end())
            return static_cast<int>(it - FTextures.begin());
        FTextures.push_back(m.Texture.get());
        const std::vector<std::uint32_t>& texels = m.Texture->Texels;
        std::vector<std::uint32_t> abgr(texels.size());
        for (std::size_t i = 0; i < abgr.size(); ++i)
        {
            const std::uint32_t c = texels[i];
            abgr[i] = (c & 0xFF00FF00) | ((c >> 16) & 0xFF) | ((c & 0xFF) << 16);
        }
        FImages.push_back(EncodePng(m.Width, m.Height, abgr.data()));
        if (!FJson.contains("samplers"))
            FJson["samplers"] = json::array({{{"magFilter", kNearest},
                                              {"minFilter", kNearest},
                                              {"wrapS", kRepeat},
                                              {"wrapT", kRepeat}}});
        FJson["images"].push_back(
            {{"name", Latin1ToUtf8(FModel.Materials[static_cast<std::size_t>(material)])}});
        FJson["textures"].push_back(
            {{"sampler", 0}, {"source", static_cast<int>(FImages.size()) - 1}});
        return static_cast<int>(FTextures.size()) - 1;
    }

    void BuildJson(TGltfContainer container)
    {
        FJson["asset"] = {{"version", "2.0"}, {"generator", "Quillmark"}};
        FJson["scene"] = 0;

        // Vertex data views; images are placed after the build, once their sizes are known.
        int positions = -1, normals = -1, texcoords = -1, indices = -1;
        if (FVertexTotal > 0)
        {
            positions = AddView(FPositionsAt, FVertexTotal * 12, kArrayBuffer, 12);
            normals = AddView(FNormalsAt, FVertexTotal * 12, kArrayBuffer, 12);
        }
        if (FTexTotal > 0)
            texcoords = AddView(FTexAt, FTexTotal * 8, kArrayBuffer, 8);
        if (FIndexBytes > 0)
            indices = AddView(FIndicesAt, FIndexBytes, kElementArrayBuffer, 0);
        if (FAnimationBytes > 0)
            FAnimationView = AddView(FAnimationsAt, FAnimationBytes, 0, 0);

        for (int m = 0; m < FMeshes.Count(); ++m)
        {
            TMeshPlan& plan = FPlans[static_cast<std::size_t>(m)];
            if (plan.Primitives.empty())
                continue;
            json primitives = json::array();
            for (const TPrimitive& p : plan.Primitives)
            {
                json attributes = json::object();
                attributes["POSITION"] =
                    AddAccessor(positions, p.VertexFirst * 12, kFloat, p.VertexCount, "VEC3");
                json& position = FAccessors.back();
                position["min"] = {p.Min[0], p.Min[1], p.Min[2]};
                position["max"] = {p.Max[0], p.Max[1], p.Max[2]};
                attributes["NORMAL"] =
                    AddAccessor(normals, p.VertexFirst * 12, kFloat, p.VertexCount, "VEC3");
                if (p.Textured)
                    attributes["TEXCOORD_0"] =
                        AddAccessor(texcoords, p.TexFirst * 8, kFloat, p.VertexCount, "VEC2");
                const int index = AddAccessor(indices, p.IndexByteFirst,
                                              p.WideIndices() ? kUnsignedInt : kUnsignedShort,
                                              p.IndexCount, "SCALAR");
                primitives.push_back({{"attributes", std::move(attributes)},
                                      {"indices", index},
                                      {"material", MaterialFor(p.Variant)}});
            }
            plan.GltfMesh = static_cast<int>(FJson["meshes"].size());
            FJson["meshes"].push_back({{"name", Latin1ToUtf8(FMeshes.Get(m).Name)},
                                       {"primitives", std::move(primitives)}});
        }

        if (!FAccessors.empty())
            FJson["accessors"] = std::move(FAccessors);
        BuildNodes();
        BuildAnimations();
        if (FUsesUnlit)
            FJson["extensionsUsed"] = {kUnlit};

        // Images: in the buffer of a .glb, as data URIs in a .gltf.
        std::uint64_t end = FImagesAt;
        for (std::size_t i = 0; i < FImages.size(); ++i)
        {
            json& image = FJson["images"][i];
            if (container == TGltfContainer::Binary)
            {
                image["bufferView"] = AddView(end, FImages[i].size(), 0, 0);
                image["mimeType"] = "image/png";
                end += (FImages[i].size() + 3) / 4 * 4;
            }
            else
                image["uri"] = "data:image/png;base64," + Base64(FImages[i]);
        }
        if (container == TGltfContainer::Binary)
        {
            FBuffer.resize(static_cast<std::size_t>(end));
            std::uint64_t at = FImagesAt;
            for (const std::string& png : FImages)
            {
                std::memcpy(FBuffer.data() + at, png.data(), png.size());
                at += (png.size() + 3) / 4 * 4;
            }
        }
        if (!FBuffer.empty())
        {
            json buffer = {{"byteLength", FBuffer.size()}};
            if (container == TGltfContainer::Text)
                buffer["uri"] = "data:application/octet-stream;base64," +
                                Base64(std::string_view(FBuffer.data(), FBuffer.size()));
            FJson["buffers"] = json::array({std::move(buffer)});
        }
    }

    void BuildNodes()
    {
        const int n = FNodes.Count();
        const std::vector<std::vector<int>> children = Children();
        const TPose rest = RestPose(FNodes);
        json nodes = json::array();
        for (int i = 0; i < n; ++i)
        {
            const TNodePose& local = rest[static_cast<std::size_t>(i)];
            json j = {{"name", Latin1ToUtf8(FNodes.Get(i).Name)}};
            if (local.X != 0 || local.Y != 0 || local.Z != 0)
                j["translation"] = {local.X, local.Y, local.Z};
            const auto q = RotationQuaternion(local.Pitch, local.Yaw, local.Roll);
            if (q[0] != 0 || q[1] != 0 || q[2] != 0)
                j["rotation"] = {q[0], q[1], q[2], q[3]};
            for (const int c : children[static_cast<std::size_t>(i)])
                j["children"].push_back(c);
            nodes.push_back(std::move(j));
        }

        // The nodes that carry the meshes, each a child of its hierarchy node.
        std::vector<bool> named(static_cast<std::size_t>(FMeshes.Count()), false);
        for (int i = 0; i < n; ++i)
        {
            const T3DONode& node = FNodes.Get(i);
            if (node.MeshIndex == -1)
                continue;
            if (node.MeshIndex < -1 || node.MeshIndex >= FMeshes.Count())
            {
                Warn(kGltfNodeMeshBeyondFormat, node.Name);
                continue;
            }
            named[static_cast<std::size_t>(node.MeshIndex)] = true;
            AddCarrier(nodes, i, node.MeshIndex);
        }
        std::vector<int> roots;
        for (int m = 0; m < FMeshes.Count(); ++m)
            if (!named[static_cast<std::size_t>(m)])
            {
                if (n > 0)
                    AddCarrier(nodes, 0, m);
                else
                    roots.push_back(AddCarrier(nodes, -1, m));
            }

        for (int i = 0; i < n; ++i)
            if (FNodes.Get(i).ParentIndex == -1)
                roots.push_back(i);
        json axes = {{"name", "game axes"},
                     {"rotation", {-std::sqrt(0.5), 0.0, 0.0, std::sqrt(0.5)}}};
        if (!roots.empty())
            axes["children"] = roots;
        FJson["scenes"] = json::array({{{"nodes", {nodes.size()}}}});
        nodes.push_back(std::move(axes));
        FJson["nodes"] = std::move(nodes);
    }

    int AddCarrier(json& nodes, int parent, int mesh)
    {
        json j = {{"name", Latin1ToUtf8(FMeshes.Get(mesh).Name)}};
        if (parent >= 0)
        {
            const T3DONode& node = FNodes.Get(parent);
            if (node.PivotX != 0 || node.PivotY != 0 || node.PivotZ != 0)
                j["translation"] = {node.PivotX, node.PivotY, node.PivotZ};
        }
        const int gltfMesh = FPlans[static_cast<std::size_t>(mesh)].GltfMesh;
        if (gltfMesh >= 0)
            j["mesh"] = gltfMesh;
        const int index = static_cast<int>(nodes.size());
        nodes.push_back(std::move(j));
        if (parent >= 0)
            nodes[static_cast<std::size_t>(parent)]["children"].push_back(index);
        return index;
    }

    // ---- Animations

    void PlanAnimations()
    {
        std::uint64_t budget = LoaderMemoryBudget() / 4;
        budget = std::min<std::uint64_t>(budget, std::uint64_t{1} << 30);
        for (const TGltfAnimation& a : FAnimations)
        {
            TAnimationPlan plan;
            const std::vector<int> keyNodes = KeyNodesFor(*a.Key, FNodes);
            for (std::size_t i = 0; i < keyNodes.size(); ++i)
                if (keyNodes[i] >= 0)
                    plan.Channels.push_back({static_cast<int>(i), keyNodes[i]});
            plan.Samples = static_cast<std::uint64_t>(a.Key->Frames) + 1;
            const std::uint64_t bytes = plan.Samples * (4 + plan.Channels.size() * (12 + 16));
            if (bytes > budget - std::min(budget, FAnimationBytes))
                Fail(kGltfAnimationTooLongFormat, a.Name);
            plan.At = FAnimationBytes;
            FAnimationBytes += bytes;
            FAnimationPlans.push_back(std::move(plan));
        }
    }

    // Every whole frame from 0 to FRAMES, as the game's looping playback shows it: the last
    // sample is the first again, so the animation loops where the game's does.
    void FillAnimations()
    {
        for (std::size_t a = 0; a < FAnimations.size(); ++a)
        {
            const TGltfAnimation& animation = FAnimations[a];
            const TKeyframes& key = *animation.Key;
            const TAnimationPlan& plan = FAnimationPlans[a];
            float* times = Floats(FAnimationsAt + plan.At);
            for (std::uint64_t f = 0; f < plan.Samples; ++f)
            {
                times[f] = static_cast<float>(static_cast<double>(f) / key.Fps);
                if (!std::isfinite(times[f]) || (f > 0 && !(times[f] > times[f - 1])))
                    Fail(kGltfAnimationTimesFormat, animation.Name);
            }
            for (std::size_t c = 0; c < plan.Channels.size(); ++c)
            {
                const TKeyNode& node =
                    key.Nodes[static_cast<std::size_t>(plan.Channels[c].KeyNode)];
                float* translation = Floats(FAnimationsAt + plan.TranslationsAt(c));
                float* rotation = Floats(FAnimationsAt + plan.RotationsAt(c));
                std::array<double, 4> last{0, 0, 0, 1};
                for (std::uint64_t f = 0; f < plan.Samples; ++f)
                {
                    const TNodePose p = EvaluateKeyNode(node, KeyTime(key, static_cast<double>(f)));
                    *translation++ = CheckedFloat(p.X, animation.Name);
                    *translation++ = CheckedFloat(p.Y, animation.Name);
                    *translation++ = CheckedFloat(p.Z, animation.Name);
                    std::array<double, 4> q = RotationQuaternion(p.Pitch, p.Yaw, p.Roll);
                    // q and -q are one rotation: keep the sign of the sample before, so that
                    // interpolating between them takes the short way.
                    if (q[0] * last[0] + q[1] * last[1] + q[2] * last[2] + q[3] * last[3] < 0)
                        for (double& v : q)
                            v = -v;
                    for (const double v : q)
                        *rotation++ = CheckedFloat(v, animation.Name);
                    last = q;
                }
            }
        }
    }

    void BuildAnimations()
    {
        if (FAnimations.empty())
            return;
        json animations = json::array();
        for (std::size_t a = 0; a < FAnimations.size(); ++a)
        {
            const TGltfAnimation& animation = FAnimations[a];
            const TAnimationPlan& plan = FAnimationPlans[a];
            const int times = AddAnimationAccessor(plan.At, plan.Samples, "SCALAR");
            json& input = FJson["accessors"].back();
            input["min"] = {0.0};
            input["max"] = {static_cast<double>(Floats(FAnimationsAt + plan.At)[plan.Samples - 1])};
            json channels = json::array();
            json samplers = json::array();
            for (std::size_t c = 0; c < plan.Channels.size(); ++c)
            {
                const int node = plan.Channels[c].Node;
                for (const auto& [path, at, type] :
                     {std::tuple{"translation", plan.TranslationsAt(c), "VEC3"},
                      std::tuple{"rotation", plan.RotationsAt(c), "VEC4"}})
                {
                    const int output = AddAnimationAccessor(at, plan.Samples, type);
                    channels.push_back({{"sampler", samplers.size()},
                                        {"target", {{"node", node}, {"path", path}}}});
                    samplers.push_back(
                        {{"input", times}, {"interpolation", "LINEAR"}, {"output", output}});
                }
            }
            json markers = json::array();
            for (const TKeyMarker& m : animation.Key->Markers)
                markers.push_back({{"frame", m.Frame}, {"type", m.Type}});
            json entry = {{"name", Latin1ToUtf8(animation.Name)},
                          {"channels", std::move(channels)},
                          {"samplers", std::move(samplers)}};
            entry["extras"] = {{"markers", std::move(markers)}};
            animations.push_back(std::move(entry));
        }
        FJson["animations"] = std::move(animations);
    }

    // Accessors are moved into the JSON before the nodes are built; these follow them there.
    int AddAnimationAccessor(std::uint64_t offset, std::uint64_t count, const char* type)
    {
        json a = json::object();
        a["bufferView"] = FAnimationView;
        a["byteOffset"] = offset;
        a["componentType"] = kFloat;
        a["count"] = count;
        a["type"] = type;
        json& accessors = FJson["accessors"];
        accessors.push_back(std::move(a));
        return static_cast<int>(accessors.size()) - 1;
    }

    // ---- Containers

    void WriteGlb(const TByteSink& sink)
    {
        std::string text = Dump();
        text.resize((text.size() + 3) / 4 * 4, ' ');
        const std::uint64_t binary = FBuffer.empty() ? 0 : 8 + FBuffer.size();
        const std::uint64_t total = 12 + 8 + text.size() + binary;
        if (total > std::numeric_limits<std::uint32_t>::max())
            throw EModelError(kGltfTooLarge);
        std::string head;
        const auto put = [&head](std::uint32_t v)
        {
            for (int i = 0; i < 4; ++i)
                head.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        };
        put(0x46546C67); // "glTF"
        put(2);
        put(static_cast<std::uint32_t>(total));
        put(static_cast<std::uint32_t>(text.size()));
        put(0x4E4F534A); // "JSON"
        sink(head);
        sink(text);
        if (binary > 0)
        {
            head.clear();
            put(static_cast<std::uint32_t>(FBuffer.size()));
            put(0x004E4942); // "BIN\0"
            sink(head);
            sink(std::string_view(FBuffer.data(), FBuffer.size()));
        }
    }

    void WriteText(const TByteSink& sink) { sink(Dump()); }

    // Names went in as UTF-8 (Latin1ToUtf8), so dumping cannot meet a byte it must refuse.
    std::string Dump() const { return FJson.dump(); }

    const T3DO& FModel;
    const TNodeList& FNodes;
    const TMeshList& FMeshes;
    const std::vector<TMaterialLook>& FMaterials;
    std::vector<std::string>* FWarnings;
    const std::vector<TGltfAnimation>& FAnimations;

    std::vector<TMaterialKind> FKinds; // per model material, after checking the texture
    std::vector<TMeshPlan> FPlans;
    std::uint64_t FVertexTotal = 0, FTexTotal = 0, FIndexBytes = 0;
    std::uint64_t FPositionsAt = 0, FNormalsAt = 0, FTexAt = 0, FIndicesAt = 0, FImagesAt = 0;
    std::uint64_t FAnimationsAt = 0, FAnimationBytes = 0;
    std::vector<TAnimationPlan> FAnimationPlans; // per animation
    int FAnimationView = -1;
    std::vector<char> FBuffer;

    json FJson;
    json FAccessors = json::array();
    std::vector<TVariant> FVariants;    // glTF material i
    std::vector<const TRenderTexture*> FTextures; // glTF texture i, by the looks' texels
    std::vector<std::string> FImages;   // PNG bytes, one per texture
    bool FUsesUnlit = false;
};
} // namespace

std::optional<TGltfContainer> GltfContainerForName(std::string_view fileName)
{
    const std::string name = LowerCase(fileName);
    if (name.ends_with(".glb"))
        return TGltfContainer::Binary;
    if (name.ends_with(".gltf"))
        return TGltfContainer::Text;
    return std::nullopt;
}

void WriteGltf(const T3DO& model, const TNodeList& nodes, int geoSetIndex,
               const std::vector<TMaterialLook>& materials, TGltfContainer container,
               const TByteSink& sink, std::vector<std::string>* warnings,
               const std::vector<TGltfAnimation>& animations)
{
    TGltfWriter writer(model, nodes, geoSetIndex, materials, warnings, animations);
    writer.Write(container, sink);
}

std::string GltfBytes(const T3DO& model, const TNodeList& nodes, int geoSetIndex,
                      const std::vector<TMaterialLook>& materials, TGltfContainer container,
                      std::vector<std::string>* warnings,
                      const std::vector<TGltfAnimation>& animations)
{
    std::string bytes;
    WriteGltf(
        model, nodes, geoSetIndex, materials, container,
        [&bytes](std::string_view piece) { bytes += piece; }, warnings, animations);
    return bytes;
}

void WriteGltfFile(const std::string& fileName, const T3DO& model, const TNodeList& nodes,
                   int geoSetIndex, const std::vector<TMaterialLook>& materials,
                   TGltfContainer container, std::vector<std::string>* warnings,
                   const std::vector<TGltfAnimation>& animations)
{
    WriteFileReplacing(fileName,
                       [&](const TByteSink& sink) {
                           WriteGltf(model, nodes, geoSetIndex, materials, container, sink,
                                     warnings, animations);
                       });
}
