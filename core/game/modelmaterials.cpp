// A model's materials and colormap through the asset source.
#include "game/modelmaterials.h"

#include "base/U_String.h"
#include "base/errors.h"
#include "formats/material.h"
#include "base/platform.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace
{
std::optional<std::string> ReadDiskFile(const std::string& fileName)
{
    std::error_code error;
    const std::filesystem::path path = PathFromUtf8(fileName);
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TMaterialLook LookOf(const std::string& name, const TMaterial& material, const TColormap& colormap)
{
    TMaterialLook look;
    look.Name = name;
    look.Colour = CelColour(material, 0, colormap);
    if (!material.IsTextured() || !material.Cels().front().Textured)
    {
        look.Kind = TMaterialKind::Colour;
        return look;
    }
    TArgbImage image = DecodeCel(material, 0, colormap);
    look.Kind = TMaterialKind::Texture;
    look.Width = image.Width;
    look.Height = image.Height;
    look.Texels = std::move(image.Pixels);
    look.CutOut = std::any_of(look.Texels.begin(), look.Texels.end(),
                              [](std::uint32_t texel) { return texel >> 24 != 0xFF; });
    return look;
}
} // namespace

TModelColormap LoadModelColormap(const TAssetSource& source, const std::string& choice)
{
    TModelColormap result;
    if (choice.empty())
    {
        const std::optional<TAsset> asset = source.Load(kDefaultColormapPath);
        if (!asset)
        {
            result.Warnings.push_back(kNoColormap);
            return result;
        }
        try
        {
            result.Colormap = TColormap(asset->Bytes);
        }
        catch (const EColormapError& e)
        {
            // Deliberate: the default colormap only colours the picture; a broken one must not
            // stop the model from showing.
            result.Warnings.push_back(
                FormatText(kColormapUnusable, {kDefaultColormapPath, e.what()}));
            result.Warnings.push_back(kNoColormap);
            return result;
        }
        result.Origin = DescribeOrigin(asset->Origin);
    }
    else if (const std::optional<std::string> bytes = ReadDiskFile(choice))
    {
        result.Colormap = TColormap(*bytes);
        result.Origin = choice;
    }
    else
    {
        const bool bare = choice.find_first_of("/\\") == std::string::npos;
        const std::string gamePath = bare ? std::string(kColormapFolder) + "/" + choice : choice;
        const std::optional<TAsset> asset = source.Load(gamePath);
        if (!asset)
            throw EInOutError(FormatText(kColormapNotFound, {choice}));
        result.Colormap = TColormap(asset->Bytes);
        result.Origin = DescribeOrigin(asset->Origin);
    }
    for (const std::string& warning : result.Colormap.Warnings())
        result.Warnings.push_back(FormatText(kColormapUnusable, {result.Origin, warning}));
    return result;
}

int TModelMaterials::UsableCount() const
{
    return static_cast<int>(std::count_if(Looks.begin(), Looks.end(),
                                          [](const TMaterialLook& l)
                                          { return l.Kind != TMaterialKind::Missing; }));
}

std::vector<std::string> TModelMaterials::Warnings() const
{
    std::vector<std::string> warnings;
    for (std::size_t i = 0; i < Looks.size(); ++i)
    {
        if (Looks[i].Kind != TMaterialKind::Missing)
            continue;
        if (Sources[i].Origin)
            warnings.push_back(FormatText(kMaterialUnusable, {Looks[i].Name, Sources[i].Problem}));
        else
            warnings.push_back(FormatText(kMaterialNotFound, {Looks[i].Name}));
    }
    return warnings;
}

TModelMaterials ResolveModelMaterials(const std::vector<std::string>& names,
                                      const TAssetSource& source, const TColormap& colormap)
{
    TModelMaterials result;
    result.Looks.reserve(names.size());
    result.Sources.reserve(names.size());
    for (const std::string& name : names)
    {
        TMaterialLook look;
        look.Name = name;
        TMaterialSource where;
        TResolvedAsset found = ResolveMaterial(source, name);
        if (!found.Origin)
            where.LookedIn = std::move(found.LookedIn);
        else
        {
            where.Origin = std::move(found.Origin);
            // Deliberate: a broken material is one missing texture, never a failed model.
            try
            {
                const TMaterial material(source.Read(*where.Origin));
                look = LookOf(name, material, colormap);
                where.CelCount = static_cast<int>(material.Cels().size());
                where.Warnings = material.Warnings();
            }
            catch (const std::runtime_error& e)
            {
                where.Problem = e.what();
            }
        }
        result.Looks.push_back(std::move(look));
        result.Sources.push_back(std::move(where));
    }
    return result;
}
