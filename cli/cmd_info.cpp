// quillmark-cli info: the model as one JSON object.
#include "commands.h"
#include "entrynames.h"
#include "modelinput.h"
#include "terminal.h"

#include "base/U_String.h"
#include "model/loader.h"
#include "model/model.h"

#include <nlohmann/json.hpp>

#include <iostream>

namespace
{
using json = nlohmann::ordered_json;

json Triple(double a, double b, double c)
{
    return json::array({a, b, c});
}

json MeshJson(const T3DOMesh& m, bool full)
{
    json j;
    j["name"] = Latin1ToUtf8(m.Name);
    j["radius"] = m.Radius;
    j["geometry_mode"] = m.GeometryMode;
    j["lighting_mode"] = m.LightingMode;
    j["texture_mode"] = m.TextureMode;
    j["vertices"] = m.Vertices.Count();
    j["texture_vertices"] = m.TexVertices.Count();
    j["faces"] = m.Faces.Count();
    j["node_index"] = m.NodeIndex;
    j["min"] = Triple(m.MinX, m.MinY, m.MinZ);
    j["max"] = Triple(m.MaxX, m.MaxY, m.MaxZ);
    j["offset"] = Triple(m.OffsetX, m.OffsetY, m.OffsetZ);
    if (full)
    {
        json vertices = json::array();
        for (const T3DOVertex& v : m.Vertices)
            vertices.push_back({v.X, v.Y, v.Z, v.ExtraValue, v.NormalX, v.NormalY, v.NormalZ});
        j["vertex_list"] = std::move(vertices);
        json texVertices = json::array();
        for (const TTEXVertex& t : m.TexVertices)
            texVertices.push_back({t.U, t.V});
        j["tex_vertex_list"] = std::move(texVertices);
        json faces = json::array();
        for (const T3DOFace& f : m.Faces)
        {
            json face;
            face["material"] = f.Material;
            face["geometry_mode"] = f.GeometryMode;
            face["lighting_mode"] = f.LightingMode;
            face["texture_mode"] = f.TextureMode;
            face["extra_light"] = f.ExtraLight;
            json vi = json::array();
            json ti = json::array();
            for (int k = 0; k < f.VertexCount(); ++k)
            {
                vi.push_back(f.VertexIndex(k));
                ti.push_back(f.TexVertexIndex(k));
            }
            face["vertex_index"] = std::move(vi);
            face["tex_vertex_index"] = std::move(ti);
            face["normal"] = Triple(f.NormalX, f.NormalY, f.NormalZ);
            faces.push_back(std::move(face));
        }
        j["face_list"] = std::move(faces);
    }
    return j;
}

json ModelJson(const TLoadedModel& loaded, const std::vector<std::string>& warnings, bool full)
{
    const T3DO& model = *loaded.Model;
    json j;
    j["version"] = static_cast<double>(model.Version);
    j["radius"] = model.Radius;
    j["insert_offset"] = Triple(model.InsertOffsetX, model.InsertOffsetY, model.InsertOffsetZ);
    j["min"] = Triple(model.MinX, model.MinY, model.MinZ);
    j["max"] = Triple(model.MaxX, model.MaxY, model.MaxZ);
    j["warnings"] = warnings;
    json geosets = json::array();
    for (const T3DOGeoSet& g : model)
    {
        json meshes = json::array();
        for (const T3DOMesh& m : g.Meshes)
            meshes.push_back(MeshJson(m, full));
        geosets.push_back({{"meshes", std::move(meshes)}});
    }
    j["geosets"] = std::move(geosets);
    json nodes = json::array();
    for (const T3DONode& n : *loaded.Nodes)
    {
        json node;
        node["name"] = Latin1ToUtf8(n.Name);
        node["mesh"] = n.MeshIndex;
        node["parent"] = n.ParentIndex;
        node["child"] = n.ChildIndex;
        node["sibling"] = n.SiblingIndex;
        node["child_count"] = n.ChildCount;
        node["position"] = Triple(n.X, n.Y, n.Z);
        node["rotation"] = Triple(n.RotationA, n.RotationB, n.RotationC);
        node["pivot"] = Triple(n.PivotX, n.PivotY, n.PivotZ);
        nodes.push_back(std::move(node));
    }
    j["nodes"] = std::move(nodes);
    return j;
}

class TInfoCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.Model("MODEL.3do", FModel);
        parser.Flag("--full", FFull);
    }

    // Failures to read the model are part of the JSON answer, on stdout.
    int Run(const TSharedOptions& shared) override
    {
        TSilentProgress progress;
        try
        {
            const TLoadedModel loaded = ParseModel(LocateModel(FModel, shared), progress);
            std::cout << ModelJson(loaded, progress.Warnings, FFull).dump() << "\n";
            return 0;
        }
        catch (const std::exception& e)
        {
            std::cout << json{{"error", Latin1ToUtf8(ErrorText(e))}}.dump() << "\n";
            return 1;
        }
    }

private:
    std::string FModel;
    bool FFull = false;
};

const TCommandRegistrar<TInfoCommand> kInfo("info");
} // namespace
