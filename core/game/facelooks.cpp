// The looks of a geometry set's faces from the model's materials.
#include "game/facelooks.h"

#include "base/U_String.h"

#include <algorithm>
#include <map>
#include <memory>

namespace
{
constexpr std::uint32_t kMagenta = 0xFFFF00FFu;
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr int kPlaceholderSquare = 8;

std::shared_ptr<const TRenderTexture> Placeholder()
{
    auto texture = std::make_shared<TRenderTexture>();
    texture->Width = texture->Height = kPlaceholderSide;
    texture->Texels.resize(kPlaceholderSide * kPlaceholderSide);
    for (int y = 0; y < kPlaceholderSide; ++y)
        for (int x = 0; x < kPlaceholderSide; ++x)
            texture->Texels[static_cast<std::size_t>(y * kPlaceholderSide + x)] =
                (x / kPlaceholderSquare + y / kPlaceholderSquare) % 2 == 0 ? kMagenta : kBlack;
    return texture;
}

// A texture material left undecoded by the texture budget.
bool OverBudget(const TMaterialLook& look)
{
    return look.Kind == TMaterialKind::Texture && !look.Texture;
}

void PushColour(std::vector<float>& colours, std::uint32_t argb)
{
    colours.insert(colours.end(), {static_cast<float>(argb >> 16 & 0xFF) / 255.0f,
                                   static_cast<float>(argb >> 8 & 0xFF) / 255.0f,
                                   static_cast<float>(argb & 0xFF) / 255.0f});
}

// The textures faces use, each once: the materials' own (shared, never copied; materials that
// reach the same file share one), and the placeholder.
class TTextureTable
{
public:
    explicit TTextureTable(TFaceLooks& looks) : FLooks(looks) {}

    std::int32_t Material(const TMaterialLook& look)
    {
        const auto [at, added] = FIndex.try_emplace(look.Texture.get(), -1);
        if (added)
            at->second = Add(look.Texture);
        return at->second;
    }

    std::int32_t Placeholder()
    {
        if (FPlaceholder < 0)
            FPlaceholder = Add(::Placeholder());
        return FPlaceholder;
    }

private:
    std::int32_t Add(std::shared_ptr<const TRenderTexture> texture)
    {
        FLooks.Textures.push_back(std::move(texture));
        return static_cast<std::int32_t>(FLooks.Textures.size() - 1);
    }

    TFaceLooks& FLooks;
    std::map<const TRenderTexture*, std::int32_t> FIndex;
    std::int32_t FPlaceholder = -1;
};
} // namespace

TFaceLooks BuildFaceLooks(const T3DO& model, int geoSet,
                          const std::vector<TMaterialLook>& materials,
                          std::vector<std::string>* warnings)
{
    const TMeshList& meshes = model.Get(geoSet).Meshes;
    const std::size_t listed = model.Materials.size();
    const std::size_t known = std::min(listed, materials.size());
    TFaceLooks looks;
    if (std::none_of(materials.begin(), materials.begin() + static_cast<std::ptrdiff_t>(known),
                     [](const TMaterialLook& m) { return m.Kind != TMaterialKind::Missing; }))
        return looks;

    std::size_t faceCount = 0, cornerCount = 0;
    for (const T3DOMesh& mesh : meshes)
        for (const T3DOFace& face : mesh.Faces)
        {
            ++faceCount;
            cornerCount += face.VertexCount();
        }
    looks.FaceTextures.reserve(faceCount);
    looks.FaceFlags.reserve(faceCount);
    looks.FaceColors.reserve(3 * faceCount);
    looks.TexCoords.reserve(2 * cornerCount);

    TTextureTable textures(looks);
    auto warn = [&](const char* format, const std::string& name)
    {
        if (warnings)
            warnings->push_back(FormatText(format, {name}));
    };
    for (const T3DOMesh& mesh : meshes)
    {
        bool beyondList = false, beyondTexVertices = false;
        for (const T3DOFace& face : mesh.Faces)
        {
            const int corners = face.VertexCount();
            const int geometry = std::min(mesh.GeometryMode, face.GeometryMode);
            const int lighting = std::min(mesh.LightingMode, face.LightingMode);
            int material = face.Material;
            if (material < -1 || (material >= 0 && static_cast<std::size_t>(material) >= listed))
            {
                beyondList = true;
                material = -1;
            }
            std::uint8_t flags = 0;
            if (face.Flags & kModelFaceDoubleSided)
                flags |= kFaceDoubleSided;
            if (face.Flags & kModelFaceTranslucent)
                flags |= kFaceTranslucent;
            if (lighting <= 0)
                flags |= kFaceFullBright;

            std::int32_t texture = -1;
            float width = 1, height = 1;
            std::uint32_t colour = 0xFFFFFFFFu;
            if (geometry <= 0 || material < 0)
                flags |= kFaceHidden;
            else if (static_cast<std::size_t>(material) >= known ||
                     materials[static_cast<std::size_t>(material)].Kind == TMaterialKind::Missing)
            {
                if (geometry >= 4)
                {
                    texture = textures.Placeholder();
                    width = height = kPlaceholderSide;
                }
                else
                    colour = kMagenta;
            }
            else
            {
                const TMaterialLook& look = materials[static_cast<std::size_t>(material)];
                if (geometry >= 4 && UsableTexture(look))
                {
                    texture = textures.Material(look);
                    width = static_cast<float>(look.Width);
                    height = static_cast<float>(look.Height);
                }
                else if (geometry >= 4 && OverBudget(look))
                {
                    texture = textures.Placeholder();
                    width = height = kPlaceholderSide;
                }
                else
                    colour = look.Colour;
            }
            looks.FaceTextures.push_back(texture);
            looks.FaceFlags.push_back(flags);
            PushColour(looks.FaceColors, colour);
            // The .X writer writes the corners last to first.
            for (int k = corners - 1; k >= 0; --k)
            {
                float u = 0, v = 0;
                if (texture >= 0)
                {
                    const int index = face.TexVertexIndex(k);
                    if (index < mesh.TexVertices.Count())
                    {
                        const TTEXVertex& t = mesh.TexVertices.Get(index);
                        u = static_cast<float>(t.U / width);
                        v = static_cast<float>(t.V / height);
                    }
                    else // Deliberate: the model loaded; one wrong corner must not hide it
                        beyondTexVertices = true;
                }
                looks.TexCoords.insert(looks.TexCoords.end(), {u, v});
            }
        }
        if (beyondList)
            warn(kFaceMaterialBeyondList, mesh.Name);
        if (beyondTexVertices)
            warn(kFaceTexVertexBeyondList, mesh.Name);
    }
    return looks;
}

std::vector<std::string> TModelLooks::Warnings() const
{
    std::vector<std::string> warnings = Found.Warnings;
    const std::vector<std::string> missing = Found.Materials.Warnings();
    warnings.insert(warnings.end(), missing.begin(), missing.end());
    warnings.insert(warnings.end(), FaceWarnings.begin(), FaceWarnings.end());
    return warnings;
}

TModelLooks LoadModelLooks(const T3DO& model, std::optional<int> geoSet,
                           const TModelLocation& location, const std::string& gameFolder,
                           const std::string& colormap, bool saved)
{
    if (geoSet)
        model.Get(*geoSet);
    TModelLooks result;
    if (model.Materials.empty())
        return result; // nothing to find, and no colormap to warn about
    result.Found = FindModelMaterials(model.Materials, location, gameFolder, colormap, saved);
    if (geoSet)
        result.Faces =
            BuildFaceLooks(model, *geoSet, result.Found.Materials.Looks, &result.FaceWarnings);
    return result;
}
