// Test-only: writes .glb and .gltf files for the validator test. Every geoset of each sample
// given, with placeholder materials and with a texture for every material, then generated
// models with deep and detached hierarchies, rotations, pivots, two geosets and every kind of
// material and face variant, and animations. usage: gltf_test_models OUTDIR [MODEL.3do ...]
#include "formats/gltfexport.h"
#include "model/loader.h"
#include "model/model.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace
{
void Export(const std::string& base, const T3DO& model, const TNodeList& nodes, int geoSet,
            const std::vector<TMaterialLook>& materials,
            const std::vector<TGltfAnimation>& animations = {})
{
    for (const auto& [ending, container] :
         {std::pair{".glb", TGltfContainer::Binary}, std::pair{".gltf", TGltfContainer::Text}})
    {
        std::vector<std::string> warnings;
        WriteGltfFile(base + ending, model, nodes, geoSet, materials, container, &warnings,
                      animations);
        for (const std::string& w : warnings)
            std::printf("%s%s: %s\n", base.c_str(), ending, w.c_str());
    }
}

std::vector<std::uint32_t> Checker(int width, int height, bool holes)
{
    std::vector<std::uint32_t> texels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const bool dark = ((x / 4) + (y / 4)) % 2 != 0;
            texels.push_back(holes && dark ? 0x00000000 : dark ? 0xFF203060 : 0xFFE0C080);
        }
    return texels;
}

TMaterialLook Texture(const std::string& name, int width, int height, bool cutOut)
{
    TMaterialLook m;
    m.Name = name;
    m.Kind = TMaterialKind::Texture;
    m.Width = width;
    m.Height = height;
    m.Texture = std::make_shared<const TRenderTexture>(
        TRenderTexture{width, height, Checker(width, height, cutOut)});
    m.CutOut = cutOut;
    return m;
}

void AddFace(T3DOMesh& mesh, int material, std::uint32_t flags, int lighting,
             std::vector<int> corners, double nx, double ny, double nz)
{
    T3DOFace f;
    f.Material = static_cast<std::int16_t>(material);
    f.Flags = flags;
    f.GeometryMode = 4;
    f.LightingMode = static_cast<std::int16_t>(lighting);
    f.SetVertexCount(static_cast<int>(corners.size()));
    for (std::size_t k = 0; k < corners.size(); ++k)
        f.SetCorner(static_cast<int>(k), static_cast<std::uint16_t>(corners[k]),
                    static_cast<std::uint16_t>(corners[k] % 4));
    f.NormalX = nx;
    f.NormalY = ny;
    f.NormalZ = nz;
    mesh.Faces.Add(std::move(f));
}

// A box of half-size s whose faces cycle through materials and variants.
T3DOMesh Box(const std::string& name, double s, int variant)
{
    T3DOMesh mesh;
    mesh.Name = name;
    mesh.LightingMode = 3;
    for (int i = 0; i < 8; ++i)
        mesh.Vertices.Add({(i & 1) ? s : -s, (i & 2) ? s : -s, (i & 4) ? s : -s});
    for (const auto& [u, v] : {std::pair{0.0, 0.0}, {64.0, 0.0}, {64.0, 32.0}, {-8.5, 70.0}})
        mesh.TexVertices.Add({u, v});
    const int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    const double normals[6][3] = {{0, 0, -1}, {0, 0, 1},  {0, -1, 0},
                                  {0, 1, 0},  {-1, 0, 0}, {1, 0, 0}};
    const std::uint32_t flags[] = {0x0, 0x1, 0x2, 0x3, 0x10, 0x0};
    for (int k = 0; k < 6; ++k)
    {
        const int material = (k + variant) % 5 - (k == 5 ? 6 : 0); // the last side: -1 or -2
        const double scale = k == 4 ? 0.0 : 1.0; // a zero normal, worked out from the corners
        AddFace(mesh, material < -1 ? -1 : material, flags[(k + variant) % 6],
                (k + variant) % 3 == 0 ? 0 : 3,
                {sides[k][0], sides[k][1], sides[k][2], sides[k][3]}, normals[k][0] * scale,
                normals[k][1] * scale, normals[k][2] * scale);
    }
    // A pentagon fan over the top, a two-corner face and a face with a reversed normal.
    mesh.Vertices.Add({0, 0, 2 * s});
    AddFace(mesh, 2, 0, 3, {4, 5, 8, 7, 6}, 0, 0, 1);
    AddFace(mesh, 1, 0, 3, {0, 1}, 0, 0, 1);
    AddFace(mesh, 0, 0, 3, {0, 1, 2}, 0, 0, 1);
    return mesh;
}

T3DONode Node(const std::string& name, int mesh, int parent, double x, double y, double z,
              double pitch, double yaw, double roll, double px, double py, double pz)
{
    T3DONode n;
    n.Name = name;
    n.MeshIndex = mesh;
    n.ParentIndex = parent;
    n.ChildIndex = n.SiblingIndex = -1;
    n.X = x, n.Y = y, n.Z = z;
    n.RotationA = pitch, n.RotationB = yaw, n.RotationC = roll;
    n.PivotX = px, n.PivotY = py, n.PivotZ = pz;
    return n;
}

// Links every node's first child and next sibling from the parent links.
void LinkChildren(TNodeList& nodes)
{
    for (int i = nodes.Count() - 1; i >= 0; --i)
    {
        T3DONode& n = nodes.Get(i);
        if (n.ParentIndex < 0)
            continue;
        T3DONode& parent = nodes.Get(n.ParentIndex);
        n.SiblingIndex = parent.ChildIndex;
        parent.ChildIndex = i;
        ++parent.ChildCount;
    }
}

void Generated(const std::string& dir)
{
    T3DO model;
    model.Materials = {"tex.mat", "holes.mat", "red.mat", "lost.mat", "npot.mat"};
    const std::vector<TMaterialLook> materials = {
        Texture("tex.mat", 64, 32, false), Texture("holes.mat", 16, 16, true),
        TMaterialLook{"red.mat", TMaterialKind::Colour, 0xFFC02010, 0, 0, {}, false},
        TMaterialLook{}, Texture("npot.mat", 24, 40, false)};

    const int depth = 40;
    TNodeList nodes;
    nodes.Add(Node("root", -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    for (int i = 1; i <= depth; ++i)
        nodes.Add(Node("joint" + std::to_string(i), i - 1, i - 1, 0.1 * (i % 3), 0.2, 0.05,
                       17.0 * i, -23.0 * i + 5, 31.0 * (i % 7), 0.01 * (i % 4), -0.02, 0.03));
    // A side branch, a node without a mesh, and a subtree the chain from node 0 never reaches.
    nodes.Add(Node("branch", depth, 3, 0.3, 0, 0, 90, 90, 0, 0, 0.1, 0));
    nodes.Add(Node("empty", -1, 2, 0, 0, 1, 0, 0, 90, 0, 0, 0));
    nodes.Add(Node("detached", depth + 1, -1, 5, 5, 5, 30, 45, 60, 1, 2, 3));
    nodes.Add(Node("detached child", depth + 2, depth + 3, 0, 1, 0, -90, 0, 0, 0, 0, 0));
    LinkChildren(nodes);

    for (int g = 0; g < 2; ++g)
    {
        T3DOGeoSet geoSet;
        // The second geoset has one mesh more than the nodes name: it hangs on node 0.
        const int meshes = depth + 3 + g;
        for (int m = 0; m < meshes; ++m)
            geoSet.Meshes.Add(Box("mesh" + std::to_string(m), 0.05 / (g + 1), m + g));
        model.Add(std::move(geoSet));
    }
    for (int g = 0; g < 2; ++g)
        Export(dir + "/generated_geoset" + std::to_string(g), model, nodes, g, materials);

    // Two animations: one turning the chain with free-running angles, moving some joints and
    // jumping at its second entries, with markers; one that animates only a node the walk from
    // node 0 never reaches (no channels) and a root at an odd frame rate.
    TKeyframes swing;
    swing.Frames = 48;
    swing.Fps = 15;
    swing.Joints = nodes.Count();
    swing.Markers = {{12, 1}, {36, 2}};
    for (int i = 1; i <= depth; i += 3)
    {
        TKeyNode n;
        n.Index = i;
        TKeyEntry a;
        a.Flags = i % 2 ? 0x3 : 0x2;
        a.Pitch = 350;
        a.DPitch = 7.5;
        a.DX = 0.01 * i;
        TKeyEntry b;
        b.Frame = 30;
        b.Yaw = -i;
        b.Z = 0.2;
        n.Entries = {a, b};
        swing.Nodes.push_back(n);
    }
    TKeyframes odd;
    odd.Frames = 7;
    odd.Fps = 0.3;
    odd.Joints = nodes.Count();
    for (const int index : {0, depth + 3})
    {
        TKeyNode n;
        n.Index = index;
        TKeyEntry a;
        a.Flags = 0x3;
        a.DY = 1;
        a.DRoll = 400;
        n.Entries = {a};
        odd.Nodes.push_back(n);
    }
    Export(dir + "/generated_animated", model, nodes, 0, materials,
           {{"swing", &swing}, {"odd", &odd}});

    // Every material as a placeholder, and a model without any node.
    Export(dir + "/generated_placeholders", model, nodes, 0, {});
    Export(dir + "/generated_no_nodes", model, TNodeList(), 1, materials);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: gltf_test_models OUTDIR [MODEL.3do ...]\n");
        return 2;
    }
    const std::string dir = argv[1];
    try
    {
        for (int a = 2; a < argc; ++a)
        {
            TSilentProgress progress;
            const TLoadedModel loaded = Parse3DOFile(argv[a], progress);
            std::vector<TMaterialLook> textured;
            for (const std::string& name : loaded.Model->Materials)
                textured.push_back(Texture(name, 64, 64, false));
            std::string base = argv[a];
            base = dir + "/" + base.substr(base.find_last_of('/') + 1);
            for (int g = 0; g < loaded.Model->Count(); ++g)
            {
                Export(base + "_geoset" + std::to_string(g), *loaded.Model, *loaded.Nodes, g, {});
                Export(base + "_textured" + std::to_string(g), *loaded.Model, *loaded.Nodes, g,
                       textured);
            }
        }
        Generated(dir);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
