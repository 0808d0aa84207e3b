// A model checked against the game's own reader.
#include "game/gamecheck.h"

#include "base/U_String.h"
#include "game/materialreport.h"
#include "model/pose.h"

#include <algorithm>
#include <cstdint>

namespace
{
// Where a finding is, and what a face takes, as the messages name them; the %s take numbers and
// names in order.
constexpr const char* kPlaceMesh = "geoset %s, mesh %s '%s'";
constexpr const char* kPlaceFace = "%s, face %s";
constexpr const char* kPlaceNode = "node %s '%s'";
constexpr const char* kPlaceMaterial = "material %s '%s'";
constexpr const char* kOtherMesh = "mesh %s '%s'";
constexpr const char* kMaterialNumber = "material %s";
constexpr const char* kMaterialUnfit = "a material number outside 16 bits";
constexpr const char* kVertexUnfit = "a vertex number outside 0 to 65535";
constexpr const char* kTexVertexUnfit = "a texture vertex number outside 0 to 65535";
constexpr const char* kVertexAtCorner = "vertex %s (corner %s)";
constexpr const char* kTexVertexAtCorner = "texture vertex %s (corner %s)";
constexpr const char* kErrorLine = "error: %s";
constexpr const char* kWarningLine = "warning: %s";

std::string Number(long long value)
{
    return std::to_string(value);
}

bool ValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();)
    {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80           ? 1
                                   : (c >> 5) == 0x6  ? 2
                                   : (c >> 4) == 0xE  ? 3
                                   : (c >> 3) == 0x1E ? 4
                                                      : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// Messages carry names from files (bytes, shown as Latin-1) or from the user (UTF-8).
std::string ShownText(std::string_view text)
{
    return ValidUtf8(text) ? std::string(text) : Latin1ToUtf8(text);
}

// Characters as the user counts them: code points of a UTF-8 name, else bytes.
std::size_t CharacterCount(std::string_view text)
{
    if (!ValidUtf8(text))
        return text.size();
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(),
                      [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool PowerOfTwo(int side)
{
    return side > 0 && (side & (side - 1)) == 0;
}

// The name a mesh was given in the file; a mesh made in code has only its stored name.
const std::string& WrittenName(const T3DOMesh& mesh)
{
    return mesh.WrittenName.empty() ? mesh.Name : mesh.WrittenName;
}

class TChecker
{
public:
    TChecker(const T3DO& model, const TNodeList& nodes, const TModelMaterials* materials)
        : FModel(model), FNodes(nodes), FMaterials(materials)
    {
    }

    std::vector<TGameFinding> Run(std::string_view fileName)
    {
        if (FModel.Count() > kGameGeoSets)
            Add(fsError, "geosets", FormatText(kCheckGeoSets, {Number(FModel.Count())}));
        for (int g = 0; g < FModel.Count(); ++g)
        {
            const TMeshList& meshes = FModel.Get(g).Meshes;
            for (int m = 0; m < meshes.Count(); ++m)
                CheckMesh(g, m, meshes);
        }
        CheckNodes();
        if (FMaterials)
            CheckMaterials();
        CheckFileName(fileName);
        std::stable_partition(FFindings.begin(), FFindings.end(),
                              [](const TGameFinding& f) { return f.Severity == fsError; });
        return std::move(FFindings);
    }

private:
    TGameFinding& Add(TFindingSeverity severity, const char* code, std::string message)
    {
        TGameFinding finding;
        finding.Severity = severity;
        finding.Code = code;
        finding.Message = std::move(message);
        FFindings.push_back(std::move(finding));
        return FFindings.back();
    }

    TGameFinding& AddAtMesh(TFindingSeverity severity, const char* code, std::string message, int g,
                            int m)
    {
        TGameFinding& finding = Add(severity, code, std::move(message));
        finding.GeoSet = g;
        finding.Mesh = m;
        return finding;
    }

    static std::string MeshPlace(int g, int m, const T3DOMesh& mesh)
    {
        return FormatText(kPlaceMesh, {Number(g), Number(m), Latin1ToUtf8(WrittenName(mesh))});
    }

    void CheckMesh(int g, int m, const TMeshList& meshes)
    {
        const T3DOMesh& mesh = meshes.Get(m);
        const std::string place = MeshPlace(g, m, mesh);
        const int vertices = mesh.Vertices.Count();
        const int texVertices = mesh.TexVertices.Count();
        if (vertices > kGameMeshVertices)
            AddAtMesh(fsError, "mesh-vertices",
                      FormatText(kCheckMeshVertices, {place, Number(vertices)}), g, m);
        if (texVertices > kGameMeshTexVertices)
            AddAtMesh(fsError, "mesh-texture-vertices",
                      FormatText(kCheckMeshTexVertices, {place, Number(texVertices)}), g, m);
        if (mesh.Faces.Count() > kGameMeshFaces)
            AddAtMesh(fsError, "mesh-faces",
                      FormatText(kCheckMeshFaces, {place, Number(mesh.Faces.Count())}), g, m);
        const std::size_t nameLength = WrittenName(mesh).size();
        if (nameLength > static_cast<std::size_t>(kGameNameLength))
            AddAtMesh(fsWarning, "mesh-name-length",
                      FormatText(kCheckMeshNameLength,
                                 {place, Number(static_cast<long long>(nameLength))}),
                      g, m);
        CheckNameCollision(g, m, meshes, place);
        int f = 0;
        for (const T3DOFace& face : mesh.Faces)
            CheckFace(g, m, f++, face, place, vertices, texVertices);
    }

    // Deliberate: only names the cut makes equal. Names equal as written (the game lower-cases
    // them) are the author's choice, not something the game does to them.
    void CheckNameCollision(int g, int m, const TMeshList& meshes, const std::string& place)
    {
        const std::string& name = WrittenName(meshes.Get(m));
        const std::string cut = LowerCase(std::string_view(name).substr(0, kGameNameLength));
        for (int other = 0; other < m; ++other)
        {
            const std::string& otherName = WrittenName(meshes.Get(other));
            if (otherName.size() <= static_cast<std::size_t>(kGameNameLength) &&
                name.size() <= static_cast<std::size_t>(kGameNameLength))
                continue;
            if (LowerCase(std::string_view(otherName).substr(0, kGameNameLength)) != cut ||
                SameText(otherName, name))
                continue;
            AddAtMesh(fsWarning, "mesh-name-collision",
                      FormatText(kCheckMeshNameCollision,
                                 {place, FormatText(kOtherMesh,
                                                    {Number(other), Latin1ToUtf8(otherName)})}),
                      g, m);
            return;
        }
    }

    // Whether the game is known not to read the face's texture vertices: a colour material.
    // Deliberate: a missing material becomes dflt.mat, a texture, and it is not known that the
    // game's own renderer skips faces of material -1, so their corners count.
    bool ColourMaterial(const T3DOFace& face) const
    {
        if (!FMaterials || (face.Unfit & kFaceUnfitMaterial) || face.Material < 0 ||
            static_cast<std::size_t>(face.Material) >= FMaterials->Looks.size() ||
            static_cast<std::size_t>(face.Material) >= FModel.Materials.size())
            return false;
        return FMaterials->Looks[static_cast<std::size_t>(face.Material)].Kind ==
               TMaterialKind::Colour;
    }

    void CheckFace(int g, int m, int f, const T3DOFace& face, const std::string& meshPlace,
                   int vertices, int texVertices)
    {
        const auto add = [&](const char* code, std::string message)
        { AddAtMesh(fsError, code, std::move(message), g, m).Face = f; };
        // Most faces are fine: their place is written only for a finding.
        const auto place = [&] { return FormatText(kPlaceFace, {meshPlace, Number(f)}); };
        const int corners = face.VertexCount();
        if (corners == 0 || corners > kGameFaceCorners)
            add("face-corners", FormatText(kCheckFaceCorners, {place(), Number(corners)}));

        const auto materials = static_cast<long long>(FModel.Materials.size());
        if ((face.Unfit & kFaceUnfitMaterial) || face.Material < -1 || face.Material >= materials)
            add("material-index",
                FormatText(kCheckMaterialIndex,
                           {place(),
                            (face.Unfit & kFaceUnfitMaterial)
                                ? std::string(kMaterialUnfit)
                                : FormatText(kMaterialNumber, {Number(face.Material)}),
                            Number(materials)}));

        // A number kept in 16 bits says nothing of the one written: name none.
        const auto beyond = [&](bool vertex, int count) -> std::string
        {
            if ((face.Unfit & (vertex ? kFaceUnfitVertex : kFaceUnfitTexVertex)) &&
                count <= 0x10000)
                return vertex ? kVertexUnfit : kTexVertexUnfit;
            for (int k = 0; k < corners; ++k)
            {
                const int index = vertex ? face.VertexIndexAt(k) : face.TexVertexIndex(k);
                if (index >= count)
                    return FormatText(vertex ? kVertexAtCorner : kTexVertexAtCorner,
                                      {Number(index), Number(k)});
            }
            return {};
        };
        if (const std::string which = beyond(true, vertices); !which.empty())
            add("vertex-index", FormatText(kCheckVertexIndex, {place(), which, Number(vertices)}));
        if (!ColourMaterial(face))
            if (const std::string which = beyond(false, texVertices); !which.empty())
                add("texture-vertex-index",
                    FormatText(kCheckTexVertexIndex, {place(), which, Number(texVertices)}));
    }

    void CheckNodes()
    {
        for (int n = 0; n < FNodes.Count(); ++n)
        {
            const T3DONode& node = FNodes.Get(n);
            if (node.NameLength <= static_cast<std::uint32_t>(kGameNameLength))
                continue;
            const std::string place = FormatText(kPlaceNode, {Number(n), Latin1ToUtf8(node.Name)});
            Add(fsError, "node-name-length",
                FormatText(kCheckNodeNameLength, {place, Number(node.NameLength)}))
                .Node = n;
        }
        if (FNodes.Count() > kGameAnimatedNodes)
            Add(fsWarning, "hierarchy-nodes",
                FormatText(kCheckHierarchyNodes, {Number(FNodes.Count())}));
    }

    void CheckMaterials()
    {
        const std::size_t count = std::min(FMaterials->Looks.size(), FMaterials->Sources.size());
        for (std::size_t i = 0; i < count; ++i)
        {
            const TMaterialLook& look = FMaterials->Looks[i];
            const TMaterialSource& source = FMaterials->Sources[i];
            const std::string place = FormatText(
                kPlaceMaterial, {Number(static_cast<long long>(i)), Latin1ToUtf8(look.Name)});
            if (look.Kind == TMaterialKind::Missing && !source.Origin)
                Add(fsWarning, "material-missing", FormatText(kCheckMaterialMissing, {place}));
            else if (look.Kind == TMaterialKind::Missing)
                Add(fsWarning, "material-unreadable",
                    FormatText(kCheckMaterialUnreadable,
                               {place, ShownText(DescribeOrigin(*source.Origin)),
                                ShownText(source.Problem)}));
            else if (look.Kind == TMaterialKind::Texture &&
                     (!PowerOfTwo(look.Width) || !PowerOfTwo(look.Height)))
                Add(fsWarning, "texture-size",
                    FormatText(kCheckTextureSize,
                               {place, Number(look.Width), Number(look.Height)}));
        }
    }

    void CheckFileName(std::string_view fileName)
    {
        const std::size_t slash = fileName.find_last_of("/\\");
        const std::string_view name =
            slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
        const std::size_t length = CharacterCount(name);
        if (length > static_cast<std::size_t>(kGameNameLength))
            Add(fsWarning, "file-name-length",
                FormatText(kCheckFileNameLength,
                           {ShownText(name), Number(static_cast<long long>(length))}));
    }

    const T3DO& FModel;
    const TNodeList& FNodes;
    const TModelMaterials* FMaterials;
    std::vector<TGameFinding> FFindings;
};
} // namespace

std::vector<TGameFinding> CheckModelForGame(const T3DO& model, const TNodeList& nodes,
                                            const TModelLocation& location,
                                            const TModelMaterials* materials)
{
    const bool entry = !location.ArchiveName.empty() || location.Archive;
    return TChecker(model, nodes, materials).Run(entry ? location.EntryName : location.FileName);
}

std::vector<TGameFinding> CheckModelWithGameFolder(const T3DO& model, const TNodeList& nodes,
                                                   const TModelLocation& location,
                                                   const std::string& gameFolder,
                                                   std::vector<std::string>* warnings)
{
    // The colormap plays no part in a finding, and the default one never throws; that there is
    // none is no news here.
    const TFoundMaterials found =
        FindModelMaterials(model.Materials, location, gameFolder, {}, false);
    if (warnings)
        for (const std::string& warning : found.Warnings)
            if (warning != kNoColormap)
                warnings->push_back(warning);
    return CheckModelForGame(model, nodes, location, &found.Materials);
}

void CheckKeyForGame(const TKeyframes& key, std::string_view keyName, const TNodeList& nodes,
                     std::vector<TGameFinding>& findings)
{
    const std::string name = ShownText(keyName);
    const std::string count = Number(nodes.Count());
    const auto add = [&](TFindingSeverity severity, const char* code, std::string message, int node)
    {
        TGameFinding& finding = findings.emplace_back();
        finding.Severity = severity;
        finding.Code = code;
        finding.Message = std::move(message);
        finding.Node = node;
    };
    for (const TKeyFinding& fit : KeyFit(key, nodes))
    {
        if (fit.Kind == kfJointsDiffer)
        {
            add(fsWarning, "key-joints", FormatText(kCheckKeyJoints, {name, Number(key.Joints), count}),
                -1);
            continue;
        }
        const TKeyNode& kn = key.Nodes[static_cast<std::size_t>(fit.KeyNode)];
        const std::string index = Number(kn.Index);
        if (fit.Kind == kfNodeBeyondModel)
            add(fsError, "key-node",
                FormatText(kCheckKeyNode, {name, index, Latin1ToUtf8(kn.Name), count}), kn.Index);
        else
            add(fsWarning, "key-node-name",
                FormatText(kCheckKeyNodeName, {name, index, Latin1ToUtf8(kn.Name), index,
                                               Latin1ToUtf8(nodes.Get(kn.Index).Name)}),
                kn.Index);
    }
    // The reader leaves out a node beyond the key's joint table; beyond the model it is an error.
    for (const TLeftOutKeyNode& left : key.LeftOut)
        if (left.Index < 0 || left.Index >= nodes.Count())
            add(fsError, "key-node",
                FormatText(kCheckKeyNode, {name, Number(left.Index), Latin1ToUtf8(left.Name), count}),
                left.Index);
    std::stable_partition(findings.begin(), findings.end(),
                          [](const TGameFinding& f) { return f.Severity == fsError; });
}

TGameFinding LoadFailure(std::string_view message)
{
    TGameFinding finding;
    finding.Code = "load";
    finding.Message = ShownText(message);
    return finding;
}

std::string FindingLine(const TGameFinding& finding)
{
    return FormatText(finding.Severity == fsError ? kErrorLine : kWarningLine, {finding.Message});
}

int ErrorCount(const std::vector<TGameFinding>& findings)
{
    return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                          [](const TGameFinding& f)
                                          { return f.Severity == fsError; }));
}

std::string FindingsSummary(const std::vector<TGameFinding>& findings)
{
    const int errors = ErrorCount(findings);
    // Deliberate: always "errors" and "warnings", so that scripts can read the line.
    return FormatText(kCheckSummary,
                      {Number(errors), Number(static_cast<long long>(findings.size()) - errors)});
}
