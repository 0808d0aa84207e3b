#include "formats/gltfexport.h"

#include "base/platform.h"
#include "formats/pngwrite.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <random>

namespace
{
using json = nlohmann::json;
using TVec = std::array<double, 3>;
using TMat = std::array<double, 16>; // column-major 4x4, v' = M v

// ---- An independent reading of glTF: containers, accessors, node transforms.

struct TGltf
{
    json J;
    std::string Bin;
};

std::uint32_t U32(const std::string& s, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

std::string Unbase64(std::string_view text)
{
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text)
    {
        if (c == '=')
            break;
        bits = (bits << 6) | static_cast<std::uint32_t>(digits.find(c));
        count += 6;
        if (count >= 8)
        {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

TGltf Read(const std::string& bytes)
{
    TGltf g;
    if (bytes.rfind("glTF", 0) == 0)
    {
        EXPECT_EQ(U32(bytes, 4), 2u);
        EXPECT_EQ(U32(bytes, 8), bytes.size());
        const std::uint32_t jsonLength = U32(bytes, 12);
        EXPECT_EQ(U32(bytes, 16), 0x4E4F534Au);
        EXPECT_EQ(jsonLength % 4, 0u);
        g.J = json::parse(bytes.substr(20, jsonLength));
        const std::size_t bin = 20 + jsonLength;
        if (bin < bytes.size())
        {
            EXPECT_EQ(U32(bytes, bin + 4), 0x004E4942u);
            g.Bin = bytes.substr(bin + 8, U32(bytes, bin));
        }
        return g;
    }
    g.J = json::parse(bytes);
    if (g.J.contains("buffers"))
    {
        const std::string uri = g.J["buffers"][0]["uri"];
        const std::string prefix = "data:application/octet-stream;base64,";
        EXPECT_EQ(uri.rfind(prefix, 0), 0u);
        g.Bin = Unbase64(std::string_view(uri).substr(prefix.size()));
    }
    return g;
}

// Elements of an accessor as doubles, `width` per element.
std::vector<double> Elements(const TGltf& g, int accessor, int width)
{
    const json& a = g.J["accessors"][static_cast<std::size_t>(accessor)];
    const json& view = g.J["bufferViews"][a["bufferView"].get<std::size_t>()];
    const int type = a["componentType"];
    const std::size_t size = type == 5126 || type == 5125 ? 4 : 2;
    const std::size_t stride = view.value("byteStride", size * static_cast<std::size_t>(width));
    const std::size_t base = view.value("byteOffset", std::size_t{0}) + a.value("byteOffset", 0u);
    std::vector<double> out;
    for (std::size_t e = 0; e < a["count"].get<std::size_t>(); ++e)
        for (std::size_t c = 0; c < static_cast<std::size_t>(width); ++c)
        {
            const char* p = g.Bin.data() + base + e * stride + c * size;
            if (type == 5126)
            {
                float f;
                std::memcpy(&f, p, 4);
                out.push_back(f);
            }
            else if (type == 5125)
            {
                std::uint32_t v;
                std::memcpy(&v, p, 4);
                out.push_back(v);
            }
            else
            {
                std::uint16_t v;
                std::memcpy(&v, p, 2);
                out.push_back(v);
            }
        }
    return out;
}

TMat Identity()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

TMat Mul(const TMat& a, const TMat& b)
{
    TMat r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                r[c * 4 + row] += a[k * 4 + row] * b[c * 4 + k];
    return r;
}

TVec Apply(const TMat& m, const TVec& v)
{
    TVec r;
    for (int row = 0; row < 3; ++row)
        r[row] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row];
    return r;
}

TMat Translation(double x, double y, double z)
{
    TMat m = Identity();
    m[12] = x, m[13] = y, m[14] = z;
    return m;
}

// glTF's local transform T * R of a node (no scale is ever written).
TMat Local(const json& node)
{
    TMat m = Identity();
    if (node.contains("rotation"))
    {
        const double x = node["rotation"][0], y = node["rotation"][1], z = node["rotation"][2],
                     w = node["rotation"][3];
        m = {1 - 2 * (y * y + z * z),
             2 * (x * y + z * w),
             2 * (x * z - y * w),
             0,
             2 * (x * y - z * w),
             1 - 2 * (x * x + z * z),
             2 * (y * z + x * w),
             0,
             2 * (x * z + y * w),
             2 * (y * z - x * w),
             1 - 2 * (x * x + y * y),
             0,
             0,
             0,
             0,
             1};
    }
    if (node.contains("translation"))
        m = Mul(Translation(node["translation"][0], node["translation"][1], node["translation"][2]),
                m);
    return m;
}

// Every node's world matrix in game axes (the axis root undone: game = (x, -z, y)).
std::vector<TMat> GameWorld(const json& j)
{
    const std::size_t n = j["nodes"].size();
    std::vector<int> parent(n, -1);
    for (std::size_t i = 0; i < n; ++i)
        for (const int c : j["nodes"][i].value("children", std::vector<int>{}))
        {
            EXPECT_EQ(parent[static_cast<std::size_t>(c)], -1) << "node with two parents";
            parent[static_cast<std::size_t>(c)] = static_cast<int>(i);
        }
    const TMat toGame = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1};
    std::vector<TMat> world(n);
    for (std::size_t i = 0; i < n; ++i)
    {
        TMat m = Identity();
        for (int k = static_cast<int>(i); k >= 0; k = parent[static_cast<std::size_t>(k)])
            m = Mul(Local(j["nodes"][static_cast<std::size_t>(k)]), m);
        world[i] = Mul(toGame, m);
    }
    return world;
}

struct TInstance
{
    int Node; // glTF node that carries the mesh
    std::string Mesh;
    std::vector<TVec> Positions; // game coordinates, over all primitives in order
};

std::vector<TInstance> Instances(const TGltf& g)
{
    const std::vector<TMat> world = GameWorld(g.J);
    std::vector<TInstance> out;
    for (std::size_t i = 0; i < g.J["nodes"].size(); ++i)
    {
        const json& node = g.J["nodes"][i];
        if (!node.contains("mesh"))
            continue;
        const json& mesh = g.J["meshes"][node["mesh"].get<std::size_t>()];
        TInstance inst{static_cast<int>(i), mesh["name"], {}};
        for (const json& p : mesh["primitives"])
        {
            const std::vector<double> v = Elements(g, p["attributes"]["POSITION"], 3);
            for (std::size_t k = 0; k < v.size(); k += 3)
                inst.Positions.push_back(Apply(world[i], {v[k], v[k + 1], v[k + 2]}));
        }
        out.push_back(inst);
    }
    return out;
}

// ---- Models built in code.

T3DONode Node(const std::string& name, int mesh, int parent, TVec pos, TVec pitchYawRoll,
              TVec pivot)
{
    T3DONode n;
    n.Name = name;
    n.MeshIndex = mesh;
    n.ParentIndex = parent;
    n.ChildIndex = n.SiblingIndex = -1;
    n.X = pos[0], n.Y = pos[1], n.Z = pos[2];
    n.RotationA = pitchYawRoll[0], n.RotationB = pitchYawRoll[1], n.RotationC = pitchYawRoll[2];
    n.PivotX = pivot[0], n.PivotY = pivot[1], n.PivotZ = pivot[2];
    return n;
}

void AddFace(T3DOMesh& mesh, int material, std::vector<int> corners, TVec normal = {0, 0, 1},
             std::uint32_t flags = 0, int lighting = 3)
{
    T3DOFace f;
    f.Material = static_cast<std::int16_t>(material);
    f.Flags = flags;
    f.LightingMode = static_cast<std::int16_t>(lighting);
    f.SetVertexCount(static_cast<int>(corners.size()));
    for (std::size_t k = 0; k < corners.size(); ++k)
        f.SetCorner(static_cast<int>(k), static_cast<std::uint16_t>(corners[k]),
                    static_cast<std::uint16_t>(corners[k]));
    f.NormalX = normal[0], f.NormalY = normal[1], f.NormalZ = normal[2];
    mesh.Faces.Add(std::move(f));
}

// A mesh with the given vertices and one face through all of them.
T3DOMesh Polygon(const std::string& name, const std::vector<TVec>& vertices)
{
    T3DOMesh mesh;
    mesh.Name = name;
    mesh.LightingMode = 3;
    std::vector<int> corners;
    for (const TVec& v : vertices)
    {
        corners.push_back(mesh.Vertices.Count());
        mesh.Vertices.Add({v[0], v[1], v[2]});
        mesh.TexVertices.Add({v[0], v[1]});
    }
    AddFace(mesh, 0, corners);
    return mesh;
}

struct TModel
{
    T3DO Model;
    TNodeList Nodes;
    std::vector<TMaterialLook> Materials;

    explicit TModel(int meshCount = 0)
    {
        Model.Materials = {"m.mat"};
        Model.Add(T3DOGeoSet());
        for (int m = 0; m < meshCount; ++m)
            Meshes().Add(Polygon("mesh" + std::to_string(m), {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}));
    }
    TMeshList& Meshes() { return Model.Get(0).Meshes; }
    TGltf Export(TGltfContainer c = TGltfContainer::Binary,
                 std::vector<std::string>* warnings = nullptr) const
    {
        return Read(GltfBytes(Model, Nodes, 0, Materials, c, warnings));
    }
};

// The game's composition, written with matrices: J_i = J_parent T(pos) Rz(yaw) Rx(pitch)
// Ry(roll); a vertex of node i's mesh goes to J_i (v + pivot).
TMat Rot(int axis, double degrees)
{
    const double r = degrees * 3.14159265358979323846 / 180, c = std::cos(r), s = std::sin(r);
    TMat m = Identity();
    const int a = (axis + 1) % 3, b = (axis + 2) % 3;
    m[a * 4 + a] = c, m[a * 4 + b] = s, m[b * 4 + a] = -s, m[b * 4 + b] = c;
    return m;
}

TMat Joint(const TNodeList& nodes, int i)
{
    const T3DONode& n = nodes.Get(i);
    const TMat local = Mul(Mul(Translation(n.X, n.Y, n.Z), Rot(2, n.RotationB)),
                           Mul(Rot(0, n.RotationA), Rot(1, n.RotationC)));
    return n.ParentIndex < 0 ? local : Mul(Joint(nodes, n.ParentIndex), local);
}

void ExpectNear(const TVec& got, const TVec& want, double tolerance = 1e-5)
{
    for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(got[static_cast<std::size_t>(a)], want[static_cast<std::size_t>(a)], tolerance)
            << "axis " << a << " of (" << got[0] << ", " << got[1] << ", " << got[2] << ")";
}

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
    return "no error";
}
} // namespace

TEST(GltfExport, HierarchyPlacesPivotsOnTheirOwnMeshOnly)
{
    // Node 0 without a mesh; node 1 turned by yaw 90 with a pivot; node 2 below it.
    for (const TGltfContainer container : {TGltfContainer::Binary, TGltfContainer::Text})
    {
        TModel m(2);
        m.Nodes.Add(Node("root", -1, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));
        m.Nodes.Add(Node("upper", 0, 0, {1, 0, 0}, {0, 90, 0}, {0, 1, 0}));
        m.Nodes.Add(Node("l\xF6wer", 1, 1, {0, 2, 0}, {0, 0, 0}, {0, 0, 0}));
        m.Nodes.Get(0).ChildIndex = 1;
        m.Nodes.Get(1).ChildIndex = 2;
        const TGltf g = m.Export(container);
        const json& nodes = g.J["nodes"];
        // Hierarchy nodes first, in order and named; then the mesh carriers; the axis root last.
        ASSERT_EQ(nodes.size(), 6u);
        EXPECT_EQ(nodes[0]["name"], "root");
        EXPECT_EQ(nodes[1]["name"], "upper");
        EXPECT_EQ(nodes[2]["name"], "l\u00F6wer"); // name bytes read as Latin-1
        EXPECT_EQ(g.J["scenes"][0]["nodes"], json::array({5}));
        EXPECT_EQ(nodes[5]["children"], json::array({0}));
        EXPECT_EQ(nodes[0]["children"], json::array({1}));
        const std::vector<TInstance> inst = Instances(g);
        ASSERT_EQ(inst.size(), 2u);
        EXPECT_EQ(inst[0].Mesh, "mesh0");
        EXPECT_EQ(inst[1].Mesh, "mesh1");
        ExpectNear(inst[0].Positions[0], {0, 0, 0});
        ExpectNear(inst[1].Positions[0], {-1, 0, 0});
        // The other corners, (1,0,0) and (0,1,0) of each mesh, turned by 90 degrees of yaw.
        ExpectNear(inst[0].Positions[1], {0, 1, 0});
        ExpectNear(inst[1].Positions[2], {-2, 0, 0});
    }
}

TEST(GltfExport, RotationOrderIsYawPitchRollAboutZXY)
{
    const auto turned = [](TVec pitchYawRoll)
    {
        TModel m;
        m.Meshes().Add(Polygon("axes", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}));
        m.Nodes.Add(Node("n", 0, -1, {0, 0, 0}, pitchYawRoll, {0, 0, 0}));
        const std::vector<TInstance> inst = Instances(m.Export());
        EXPECT_EQ(inst.size(), 1u);
        return inst.at(0).Positions;
    };
    std::vector<TVec> p = turned({90, 90, 0});
    ExpectNear(p[0], {0, 1, 0});
    ExpectNear(p[1], {0, 0, 1});
    ExpectNear(p[2], {1, 0, 0});
    p = turned({0, 0, 90});
    ExpectNear(p[0], {0, 0, -1});
    ExpectNear(p[1], {0, 1, 0});
    ExpectNear(p[2], {1, 0, 0});
    p = turned({30, 45, 60});
    ExpectNear(p[0], {0.047367, 0.659740, -0.750000});
    ExpectNear(p[1], {-0.612372, 0.612372, 0.500000});
    ExpectNear(p[2], Apply(Mul(Mul(Rot(2, 45), Rot(0, 30)), Rot(1, 60)), {0, 0, 1}), 1e-6);
}

TEST(GltfExport, DeepAndDetachedHierarchiesMatchTheGamesComposition)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> angle(-180, 180), offset(-2, 2);
    TModel m;
    const int count = 30;
    for (int i = 0; i < count; ++i)
    {
        // A chain with side branches from node 0; nodes 20.. form a tree of their own.
        const int parent = i == 0 || i == 20 ? -1 : i % 5 == 0 ? i - 3 : i - 1;
        m.Nodes.Add(Node("n" + std::to_string(i), i == 7 ? -1 : i, parent,
                         {offset(rng), offset(rng), offset(rng)},
                         {angle(rng), angle(rng), angle(rng)},
                         {offset(rng), offset(rng), offset(rng)}));
        m.Meshes().Add(Polygon("mesh" + std::to_string(i),
                               {{offset(rng), offset(rng), offset(rng)}, {1, 0, 0}, {0, 1, 0}}));
    }
    const TGltf g = m.Export();
    // Node 0 and node 20 are the two trees under the axis root.
    const json& axes = g.J["nodes"][g.J["scenes"][0]["nodes"][0].get<std::size_t>()];
    EXPECT_EQ(axes["children"], json::array({0, 20}));
    const std::vector<TInstance> inst = Instances(g);
    ASSERT_EQ(inst.size(), static_cast<std::size_t>(count));
    std::map<std::string, int> seen;
    for (const TInstance& in : inst)
    {
        const int mesh = std::stoi(in.Mesh.substr(4));
        ++seen[in.Mesh];
        // Mesh 7 is named by no node: it hangs on node 0, as the views place it.
        const int node = mesh == 7 ? 0 : mesh;
        const T3DONode& n = m.Nodes.Get(node);
        const TMat joint = Joint(m.Nodes, node);
        const T3DOMesh& source = m.Meshes().Get(mesh);
        for (int k = 0; k < 3; ++k)
        {
            const T3DOVertex& v = source.Vertices.Get(k);
            ExpectNear(in.Positions[static_cast<std::size_t>(k)],
                       Apply(joint, {v.X + n.PivotX, v.Y + n.PivotY, v.Z + n.PivotZ}), 1e-4);
        }
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(count));
}

TEST(GltfExport, FacesAreFannedAndSplitPerMaterialVariant)
{
    TModel m;
    m.Model.Materials = {"tex.mat", "red.mat", "lost.mat", "holes.mat"};
    auto texels = std::make_shared<TRenderTexture>(
        TRenderTexture{64, 32, std::vector<std::uint32_t>(64 * 32, 0xFF000000)});
    texels->Texels[0] = 0x80102030;       // a r g b
    texels->Texels[64 * 31] = 0xFFA0B0C0; // first texel of the bottom row
    const TMaterialLook tex{"tex.mat", TMaterialKind::Texture, 0, 64, 32, texels, false};
    const TMaterialLook holes{"holes.mat", TMaterialKind::Texture, 0, 2, 1,
                              std::make_shared<const TRenderTexture>(
                                  TRenderTexture{2, 1, {0, 0xFFFFFFFF}}),
                              true};
    m.Materials = {tex, {"red.mat", TMaterialKind::Colour, 0xFF804000, 0, 0, {}, false}};
    m.Materials.push_back({}); // lost.mat: missing
    m.Materials.push_back(holes);

    T3DOMesh mesh;
    mesh.Name = "body";
    mesh.LightingMode = 3;
    for (const TVec v : {TVec{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {1, 3, 0}, {-1, 1, 0}})
        mesh.Vertices.Add({v[0], v[1], v[2]});
    for (const auto& [u, v] :
         {std::pair{0.0, 0.0}, {64.0, 0.0}, {64.0, 32.0}, {-16.0, 48.0}, {128.0, 8.0}})
        mesh.TexVertices.Add({u, v});
    AddFace(mesh, 0, {0, 1, 2, 3, 4}, {0, 0, 2});   // pentagon, textured
    AddFace(mesh, 1, {0, 1, 2, 3}, {0, 0, 0});      // quad, colour, normal from the corners
    AddFace(mesh, -1, {0, 1, 2});                   // no material: left out
    AddFace(mesh, 1, {0, 1});                       // too few corners: left out
    AddFace(mesh, 1, {0, 2, 3}, {0, 0, 1}, 0x1);    // double-sided variant
    AddFace(mesh, 2, {0, 1, 2}, {0, 0, 1}, 0x2);    // translucent, missing material
    AddFace(mesh, 3, {0, 1, 2}, {0, 0, 1}, 0x0, 0); // cut-out texture, unlit
    AddFace(mesh, 1, {1, 2, 3}, {0, 0, 1});         // joins the first colour primitive
    AddFace(mesh, 4, {0, 1, 2});                    // beyond the list: placeholder, warned
    AddFace(mesh, -2, {1, 2, 3});                   // likewise, one warning for both
    m.Meshes().Add(std::move(mesh));
    m.Nodes.Add(Node("n", 0, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));

    std::vector<std::string> warnings;
    const TGltf g = m.Export(TGltfContainer::Binary, &warnings);
    EXPECT_EQ(warnings, std::vector<std::string>{"Mesh 'body' has faces whose material is beyond "
                                                 "the material list; they are exported with the "
                                                 "placeholder material"});
    ASSERT_EQ(g.J["meshes"].size(), 1u);
    EXPECT_EQ(g.J["meshes"][0]["name"], "body");
    const json& prims = g.J["meshes"][0]["primitives"];
    ASSERT_EQ(prims.size(), 6u);

    // Pentagon: five corners, fanned around corner 0, UVs in texture units, normal made unit.
    const json& p0 = prims[0];
    EXPECT_EQ(Elements(g, p0["indices"], 1), (std::vector<double>{0, 1, 2, 0, 2, 3, 0, 3, 4}));
    EXPECT_EQ(Elements(g, p0["attributes"]["TEXCOORD_0"], 2),
              (std::vector<double>{0, 0, 1, 0, 1, 1, -0.25, 1.5, 2, 0.25}));
    EXPECT_EQ(Elements(g, p0["attributes"]["NORMAL"], 3)[2], 1.0);
    EXPECT_EQ(Elements(g, p0["attributes"]["POSITION"], 3)[6], 3.0);
    const json& accessor = g.J["accessors"][p0["attributes"]["POSITION"].get<std::size_t>()];
    EXPECT_EQ(accessor["min"], json::array({-1.0, 0.0, 0.0}));
    EXPECT_EQ(accessor["max"], json::array({3.0, 3.0, 0.0}));

    // Colour quad and the later colour triangle: one primitive, no texture coordinates; the
    // zero normal comes from the corners (counter-clockwise seen from +Z).
    const json& p1 = prims[1];
    EXPECT_FALSE(p1["attributes"].contains("TEXCOORD_0"));
    EXPECT_EQ(Elements(g, p1["indices"], 1), (std::vector<double>{0, 1, 2, 0, 2, 3, 4, 5, 6}));
    const std::vector<double> normals = Elements(g, p1["attributes"]["NORMAL"], 3);
    ASSERT_EQ(normals.size(), 7u * 3);
    for (std::size_t k = 0; k < normals.size(); ++k)
        EXPECT_EQ(normals[k], k % 3 == 2 ? 1.0 : 0.0) << k;

    const auto material = [&](std::size_t prim) -> const json&
    { return g.J["materials"][prims[prim]["material"].get<std::size_t>()]; };
    EXPECT_EQ(material(0)["name"], "tex.mat");
    EXPECT_FALSE(material(0).contains("alphaMode"));
    EXPECT_FALSE(material(0).contains("doubleSided"));
    // Colours are sRGB in the model and linear in glTF: 0x80 -> 0.2158605, 0x40 -> 0.0512695.
    const json& factor = material(1)["pbrMetallicRoughness"]["baseColorFactor"];
    EXPECT_NEAR(factor[0].get<double>(), 0.2158605, 1e-6);
    EXPECT_NEAR(factor[1].get<double>(), 0.0512695, 1e-6);
    EXPECT_EQ(factor[2], 0.0);
    EXPECT_EQ(factor[3], 1.0);
    EXPECT_EQ(material(2)["name"], "red.mat");
    EXPECT_EQ(material(2)["doubleSided"], true);
    EXPECT_EQ(material(3)["name"], "lost.mat");
    EXPECT_EQ(material(3)["alphaMode"], "BLEND");
    EXPECT_EQ(material(3)["pbrMetallicRoughness"]["baseColorFactor"],
              json::array({1.0, 0.0, 1.0, 90.0 / 255.0}));
    EXPECT_EQ(material(4)["name"], "holes.mat");
    EXPECT_EQ(material(4)["alphaMode"], "MASK");
    EXPECT_TRUE(material(4)["extensions"].contains("KHR_materials_unlit"));
    EXPECT_EQ(g.J["extensionsUsed"], json::array({"KHR_materials_unlit"}));
    EXPECT_FALSE(material(1).contains("extensions"));
    EXPECT_EQ(material(5)["name"], "beyond the material list");
    EXPECT_EQ(material(5)["pbrMetallicRoughness"]["baseColorFactor"],
              json::array({1.0, 0.0, 1.0, 1.0}));
    EXPECT_EQ(Elements(g, prims[5]["indices"], 1), (std::vector<double>{0, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(prims[5]["attributes"].contains("TEXCOORD_0"));

    // Textures: nearest and repeat; cel 0 as PNG with red and blue in PNG order.
    EXPECT_EQ(g.J["samplers"], json::parse(R"([{"magFilter":9728,"minFilter":9728,
                                                 "wrapS":10497,"wrapT":10497}])"));
    const json& image = g.J["images"][g.J["textures"][0]["source"].get<std::size_t>()];
    EXPECT_EQ(image["mimeType"], "image/png");
    const json& view = g.J["bufferViews"][image["bufferView"].get<std::size_t>()];
    std::vector<std::uint32_t> abgr(64 * 32, 0xFF000000);
    abgr[0] = 0x80302010;
    abgr[64 * 31] = 0xFFC0B0A0;
    EXPECT_EQ(g.Bin.substr(view["byteOffset"], view["byteLength"]), EncodePng(64, 32, abgr.data()));
}

TEST(GltfExport, StoredNormalDecidesTheFrontAndEmptyPartsStayValid)
{
    TModel m;
    m.Meshes().Add(Polygon("flipped", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, -1, 0}}));
    m.Meshes().Get(0).Faces.Get(0).NormalZ = -1;
    T3DOMesh empty;
    empty.Name = "nothing";
    AddFace(empty, -1, {});
    m.Meshes().Add(std::move(empty));
    m.Nodes.Add(Node("a", 0, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));
    m.Nodes.Add(Node("b", 1, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));
    const TGltf g = m.Export();
    const json& p = g.J["meshes"][0]["primitives"][0];
    EXPECT_EQ(Elements(g, p["indices"], 1), (std::vector<double>{0, 2, 1, 0, 3, 2}));
    // The mesh without faces is no glTF mesh; its node stays, named, without one.
    EXPECT_EQ(g.J["meshes"].size(), 1u);
    EXPECT_EQ(g.J["nodes"][3]["name"], "nothing");
    EXPECT_FALSE(g.J["nodes"][3].contains("mesh"));

    // Nothing to draw at all: no buffer and no views.
    TModel none;
    none.Meshes().Add(T3DOMesh());
    const TGltf n = none.Export(TGltfContainer::Text);
    EXPECT_FALSE(n.J.contains("buffers"));
    EXPECT_FALSE(n.J.contains("bufferViews"));
    EXPECT_EQ(n.J["nodes"].size(), 2u); // the mesh's node on the axis root
}

// Materials that reached one material file share its texels: one image. A texture the texture
// budget left undecoded is exported as missing, without a warning of its own.
TEST(GltfExport, OneImagePerTextureAndUndecodedTexturesAreMissing)
{
    TModel m(1);
    m.Model.Materials = {"a.mat", "b.mat", "big.mat"};
    T3DOMesh& mesh = m.Meshes().Get(0);
    AddFace(mesh, 1, {0, 1, 2});
    AddFace(mesh, 2, {0, 1, 2});
    for (int k = 0; k < 3; ++k)
        mesh.TexVertices.Add({0, 0});
    m.Nodes.Add(Node("n", 0, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));
    const auto texels = std::make_shared<const TRenderTexture>(TRenderTexture{1, 1, {0xFF102030}});
    m.Materials = {{"a.mat", TMaterialKind::Texture, 0, 1, 1, texels, false},
                   {"b.mat", TMaterialKind::Texture, 0, 1, 1, texels, false},
                   {"big.mat", TMaterialKind::Texture, 0, 4096, 4096, nullptr, false}};
    std::vector<std::string> warnings;
    const TGltf g = m.Export(TGltfContainer::Binary, &warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(g.J["images"].size(), 1u);
    ASSERT_EQ(g.J["materials"].size(), 3u);
    for (const json& material : g.J["materials"])
    {
        const json& pbr = material["pbrMetallicRoughness"];
        if (material["name"] == "big.mat")
            EXPECT_EQ(pbr["baseColorFactor"], json::array({1.0, 0.0, 1.0, 1.0}));
        else
            EXPECT_EQ(pbr["baseColorTexture"]["index"], 0) << material["name"];
    }
}

TEST(GltfExport, BrokenModelsEndWithAMessage)
{
    const auto error = [](const std::function<void(TModel&)>& breakIt)
    {
        TModel m(2);
        m.Nodes.Add(Node("root", 0, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));
        m.Nodes.Add(Node("arm", 1, 0, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));
        m.Nodes.Add(Node("spare", -1, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));
        breakIt(m);
        return ErrorText([&] { m.Export(); });
    };
    EXPECT_EQ(error([](TModel&) {}), "no error");
    // Names that are not UTF-8 are still written, their stray bytes replaced.
    EXPECT_EQ(error([](TModel& m) { m.Nodes.Get(1).Name = "arm\xE9"; }), "no error");
    // A cycle among nodes that carry no mesh is still a cycle.
    EXPECT_EQ(error([](TModel& m) { m.Nodes.Get(2).ParentIndex = 2; }), kParentChainCycle);
    EXPECT_EQ(error([](TModel& m) { m.Nodes.Get(1).ParentIndex = 3; }),
              "Hierarchy node 'arm' links to a node outside the node list");
    EXPECT_EQ(error([](TModel& m) { m.Nodes.Get(2).SiblingIndex = -2; }),
              "Hierarchy node 'spare' links to a node outside the node list");
    EXPECT_EQ(error([](TModel& m) { m.Meshes().Get(1).Faces.Get(0).SetCorner(2, 3, 0); }),
              "Mesh 'mesh1' has a face corner beyond its vertex list");
    EXPECT_EQ(
        error([](TModel& m)
              { m.Meshes().Get(1).Vertices.Get(2).Y = std::numeric_limits<double>::quiet_NaN(); }),
        "'mesh1' holds a number that is infinite or not a number");
    EXPECT_EQ(error([](TModel& m) { m.Meshes().Get(0).Vertices.Get(0).X = 1e300; }),
              "'mesh0' holds a number that is infinite or not a number");
    EXPECT_EQ(error([](TModel& m)
                    { m.Nodes.Get(1).RotationC = std::numeric_limits<double>::infinity(); }),
              "'arm' holds a number that is infinite or not a number");
    EXPECT_EQ(error(
                  [](TModel& m) {
                      m.Meshes().Get(0).Faces.Get(0).NormalX =
                          std::numeric_limits<double>::quiet_NaN();
                  }),
              "'mesh0' holds a number that is infinite or not a number");
    // Texture vertices count only for texture materials.
    const auto badUv = [](TModel& m)
    {
        m.Meshes().Get(0).Faces.Get(0).SetCorner(1, 1, 9);
        m.Materials = {{"m.mat", TMaterialKind::Colour, 0xFF000000, 0, 0, {}, false}};
    };
    EXPECT_EQ(error(badUv), "no error");
    EXPECT_EQ(error(
                  [&](TModel& m)
                  {
                      badUv(m);
                      m.Materials[0] = {"m.mat", TMaterialKind::Texture, 0, 1, 1,
                                        std::make_shared<const TRenderTexture>(
                                            TRenderTexture{1, 1, {0}}),
                                        false};
                  }),
              "Mesh 'mesh0' has a face corner beyond its texture vertex list");
    EXPECT_EQ(ErrorText(
                  []
                  {
                      TModel m(1);
                      GltfBytes(m.Model, m.Nodes, 1, {}, TGltfContainer::Binary);
                  }),
              "List index out of bounds");
}

TEST(GltfExport, FileIsWrittenWholeOrNotAtAll)
{
    namespace fs = std::filesystem;
    const TTempDir temp("quillmark_gltf");
    const fs::path& dir = temp.Path();
    const std::string file = Utf8FromPath(dir / "out.glb");
    TModel m(1);
    m.Nodes.Add(Node("n", 0, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));
    WriteGltfFile(file, m.Model, m.Nodes, 0, {}, TGltfContainer::Binary);
    const auto contents = [&]
    {
        std::ifstream in(dir / "out.glb", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    const std::string written = contents();
    EXPECT_EQ(written, GltfBytes(m.Model, m.Nodes, 0, {}, TGltfContainer::Binary));

    m.Nodes.Get(0).ParentIndex = 0;
    EXPECT_THROW(WriteGltfFile(file, m.Model, m.Nodes, 0, {}, TGltfContainer::Binary), EModelError);
    EXPECT_EQ(contents(), written);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    EXPECT_EQ(GltfContainerForName("a/b.GLB"), TGltfContainer::Binary);
    EXPECT_EQ(GltfContainerForName("x.gltf"), TGltfContainer::Text);
    EXPECT_EQ(GltfContainerForName("x.x"), std::nullopt);
    EXPECT_EQ(GltfContainerForName("glb"), std::nullopt);
}

TEST(GltfExport, AnimationsSampleTheKeyAtEveryFrameAsTheGamePlaysIt)
{
    TModel m(2);
    m.Nodes.Add(Node("root", -1, -1, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}));
    m.Nodes.Add(Node("arm", 0, 0, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}));
    m.Nodes.Add(Node("hand", 1, 1, {0, 2, 0}, {0, 0, 0}, {0, 0, 0}));
    m.Nodes.Get(0).ChildIndex = 1;
    m.Nodes.Get(0).ChildCount = 1;
    m.Nodes.Get(1).ChildIndex = 2;
    m.Nodes.Get(1).ChildCount = 1;
    // Node 1: from frame 0 moving 0.5 along x and turning 10 degrees of yaw per frame from 350;
    // from frame 3 still at (0, 2, 0), pitched 30 degrees. Node 2 is left alone.
    TKeyframes key;
    key.Frames = 5;
    key.Fps = 10;
    key.Joints = 3;
    key.Markers = {{2.5, 1}};
    TKeyNode arm;
    arm.Index = 1;
    TKeyEntry e0;
    e0.Flags = kKeyEntryMoves | kKeyEntryTurns;
    e0.X = 1, e0.DX = 0.5, e0.Yaw = 350, e0.DYaw = 10;
    TKeyEntry e1;
    e1.Frame = 3, e1.Y = 2, e1.Pitch = 30, e1.DYaw = 99;
    arm.Entries = {e0, e1};
    key.Nodes = {arm};

    const TGltf g = Read(GltfBytes(m.Model, m.Nodes, 0, m.Materials, TGltfContainer::Binary,
                                   nullptr, {{"wave", &key}}));
    ASSERT_EQ(g.J["animations"].size(), 1u);
    const json& a = g.J["animations"][0];
    EXPECT_EQ(a["name"], "wave");
    EXPECT_EQ(a["extras"]["markers"], json::parse(R"([{"frame": 2.5, "type": 1}])"));
    ASSERT_EQ(a["channels"].size(), 2u);
    const auto sampler = [&](const std::string& path)
    {
        for (const json& c : a["channels"])
            if (c["target"]["path"] == path)
            {
                EXPECT_EQ(c["target"]["node"], 1);
                return a["samplers"][c["sampler"].get<std::size_t>()];
            }
        ADD_FAILURE() << "no " << path << " channel";
        return json();
    };
    const json translation = sampler("translation"), rotation = sampler("rotation");
    EXPECT_EQ(translation["interpolation"], "LINEAR");
    const std::vector<double> times = Elements(g, translation["input"], 1);
    ASSERT_EQ(times.size(), 6u);
    const std::vector<double> t = Elements(g, translation["output"], 3);
    const std::vector<double> r = Elements(g, rotation["output"], 4);
    // Frame 5 is frame 0 again: the game loops.
    const double x[] = {1, 1.5, 2, 0, 0, 1}, y[] = {0, 0, 0, 2, 2, 0};
    const double pitch[] = {0, 0, 0, 30, 30, 0}, yaw[] = {350, 360, 370, 0, 0, 350};
    for (std::size_t f = 0; f < 6; ++f)
    {
        EXPECT_NEAR(times[f], f / 10.0, 1e-7);
        ExpectNear({t[3 * f], t[3 * f + 1], t[3 * f + 2]}, {x[f], y[f], 0});
        // The sampled pose places node 2's mesh where the game's composition does.
        json posed = g.J;
        posed["nodes"][1]["translation"] = {t[3 * f], t[3 * f + 1], t[3 * f + 2]};
        posed["nodes"][1]["rotation"] = {r[4 * f], r[4 * f + 1], r[4 * f + 2], r[4 * f + 3]};
        TNodeList expected = m.Nodes;
        T3DONode& n = expected.Get(1);
        n.X = x[f], n.Y = y[f], n.RotationA = pitch[f], n.RotationB = yaw[f];
        const TVec corner = Apply(GameWorld(posed)[4], {1, 0, 0});
        ExpectNear(corner, Apply(Joint(expected, 2), {1, 0, 0}), 1e-5);
        // Neighbouring rotations on the same side, so interpolation takes the short way.
        if (f > 0)
        {
            EXPECT_GT(r[4 * f] * r[4 * f - 4] + r[4 * f + 1] * r[4 * f - 3] +
                          r[4 * f + 2] * r[4 * f - 2] + r[4 * f + 3] * r[4 * f - 1],
                      0);
        }
    }

    // Without animations the file is what it always was.
    EXPECT_EQ(GltfBytes(m.Model, m.Nodes, 0, m.Materials, TGltfContainer::Text),
              GltfBytes(m.Model, m.Nodes, 0, m.Materials, TGltfContainer::Text, nullptr, {}));
    EXPECT_FALSE(m.Export().J.contains("animations"));
}
