// The looks of a geometry set's faces from the model's materials.
#include "game/facelooks.h"

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace
{
constexpr std::uint32_t kMagenta = 0xFFFF00FFu;
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr int kPlaceholderSquare = 8;

std::string Format(const char* pattern, std::string_view name)
{
    std::string text(pattern);
    text.replace(text.find("%s"), 2, name);
    return text;
}

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

bool UsableTexture(const TMaterialLook& look)
{
    return look.Kind == TMaterialKind::Texture && look.Texture && look.Width > 0 &&
           look.Height > 0 && look.Texture->Width == look.Width &&
           look.Texture->Height == look.Height &&
           look.Texture->Texels.size() ==
               static_cast<std::size_t>(look.Width) * static_cast<std::size_t>(look.Height);
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
            warnings->push_back(Format(format, name));
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

TModelLooks LoadModelLooks(const T3DO& model, std::optional<int> geoSet,
                           const TModelLocation& location, const std::string& gameFolder,
                           const std::string& colormap)
{
    if (geoSet)
        model.Get(*geoSet); // a geoset outside the model fails before any file is read
    TModelLooks result;
    if (model.Materials.empty())
        return result; // nothing to find, and no colormap to warn about
    const TAssetSource source = ModelAssetSource(location, gameFolder);
    result.Warnings = source.Warnings();
    TModelColormap loaded = LoadModelColormap(source, colormap);
    result.ColormapOrigin = loaded.Origin;
    result.Warnings.insert(result.Warnings.end(), loaded.Warnings.begin(), loaded.Warnings.end());
    result.Materials = ResolveModelMaterials(model.Materials, source, loaded.Colormap);
    const std::vector<std::string> missing = result.Materials.Warnings();
    result.Warnings.insert(result.Warnings.end(), missing.begin(), missing.end());
    if (geoSet)
        result.Faces = BuildFaceLooks(model, *geoSet, result.Materials.Looks, &result.Warnings);
    return result;
}

TModelLooks LoadSavedModelLooks(const T3DO& model, std::optional<int> geoSet,
                                const TModelLocation& location, const TGameSettings& saved)
{
    if (saved.Colormap.empty())
        return LoadModelLooks(model, geoSet, location, saved.Folder, {});
    if (geoSet)
        model.Get(*geoSet); // not taken for a colormap problem
    std::string reason;
    try
    {
        return LoadModelLooks(model, geoSet, location, saved.Folder, saved.Colormap);
    }
    catch (const std::runtime_error& e)
    {
        reason = e.what();
    }
    TModelLooks result = LoadModelLooks(model, geoSet, location, saved.Folder, {});
    result.Warnings.insert(result.Warnings.begin(), reason);
    return result;
}
