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
#include <map>
#include <memory>
#include <stdexcept>

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

// Each material file of one model read and decoded once, and the budget of its textures.
class TMaterialDecoder
{
public:
    TMaterialDecoder(const TAssetSource& source, const TColormap& colormap, std::uint64_t budget)
        : FSource(source), FColormap(colormap), FBudget(budget)
    {
    }

    // The look (but its name) and what is known of the material found at `origin`.
    void Decode(const TAssetOrigin& origin, const std::string& name, TMaterialLook& look,
                TMaterialSource& where)
    {
        const auto [at, added] = FDone.try_emplace(FSource.ContentKey(origin));
        TDecoded& done = at->second;
        if (added)
            Add(origin, name, done);
        const std::string kept = std::move(look.Name);
        look = done.Look;
        look.Name = kept;
        where.Problem = done.Problem;
        where.CelCount = done.CelCount;
        where.Warnings = done.Warnings;
    }

    const std::string& BudgetWarning() const { return FBudgetWarning; }

private:
    struct TDecoded
    {
        TMaterialLook Look;
        std::string Problem;
        int CelCount = 0;
        std::vector<std::string> Warnings;
    };

    void Add(const TAssetOrigin& origin, const std::string& name, TDecoded& d)
    {
        // Deliberate: a broken material is one missing texture, never a failed model.
        try
        {
            const TMaterial material(FSource.Read(origin));
            d.Look = LookOf(material, name);
            d.CelCount = static_cast<int>(material.Cels().size());
            d.Warnings = material.Warnings();
        }
        catch (const std::runtime_error& e)
        {
            d.Look = {};
            d.Problem = e.what();
        }
    }

    TMaterialLook LookOf(const TMaterial& material, const std::string& name)
    {
        TMaterialLook look;
        look.Colour = CelColour(material, 0, FColormap);
        const TMatCel& cel = material.Cels().front();
        if (!material.IsTextured() || !cel.Textured)
        {
            look.Kind = TMaterialKind::Colour;
            return look;
        }
        const TMatTexture& source = material.Textures()[static_cast<std::size_t>(cel.TextureIndex)];
        look.Kind = TMaterialKind::Texture;
        look.Width = static_cast<int>(source.Width);
        look.Height = static_cast<int>(source.Height);
        const std::uint64_t bytes = std::uint64_t{source.Width} * source.Height * 4;
        if (!FBudgetWarning.empty() || FSpent + bytes > FBudget)
        {
            if (FBudgetWarning.empty())
                FBudgetWarning = FormatText(kTextureBudgetSpent, {name});
            return look;
        }
        FSpent += bytes;
        auto texture = std::make_shared<TRenderTexture>();
        texture->Width = look.Width;
        texture->Height = look.Height;
        texture->Texels = DecodeCel(material, 0, FColormap).Pixels;
        look.CutOut = std::any_of(texture->Texels.begin(), texture->Texels.end(),
                                  [](std::uint32_t texel) { return texel >> 24 != 0xFF; });
        look.Texture = std::move(texture);
        return look;
    }

    const TAssetSource& FSource;
    const TColormap& FColormap;
    std::uint64_t FBudget;
    std::uint64_t FSpent = 0;
    std::string FBudgetWarning;
    std::map<std::string, TDecoded> FDone; // by ContentKey
};
} // namespace

TModelColormap LoadModelColormap(const TAssetSource& source, const std::string& choice)
{
    TModelColormap result;
    if (choice.empty())
    {
        const std::optional<TAssetOrigin> origin = source.Find(kDefaultColormapPath);
        if (!origin)
        {
            result.Warnings.push_back(kNoColormap);
            return result;
        }
        try
        {
            result.Colormap = TColormap(source.Read(*origin));
        }
        catch (const std::runtime_error& e)
        {
            // Deliberate: the default colormap only colours the picture; one that cannot be
            // read (a broken file, an archive entry cut short) is one that is missing.
            result.Colormap = TColormap::GreyRamp();
            result.Warnings.push_back(
                FormatText(kColormapUnreadable, {DescribeOrigin(*origin), e.what()}));
            return result;
        }
        result.Origin = DescribeOrigin(*origin);
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
    if (!BudgetWarning.empty())
        warnings.push_back(BudgetWarning);
    return warnings;
}

TModelMaterials ResolveModelMaterials(const std::vector<std::string>& names,
                                      const TAssetSource& source, const TColormap& colormap,
                                      std::uint64_t textureBudget)
{
    TModelMaterials result;
    result.Looks.reserve(names.size());
    result.Sources.reserve(names.size());
    TMaterialDecoder decoder(source, colormap, textureBudget);
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
            decoder.Decode(*where.Origin, name, look, where);
        }
        result.Looks.push_back(std::move(look));
        result.Sources.push_back(std::move(where));
    }
    result.BudgetWarning = decoder.BudgetWarning();
    return result;
}
