#include "formats/material.h"

#include "base/bytesource.h"

#include <algorithm>

namespace
{
constexpr std::size_t kHeaderBytes = 76;
constexpr std::uint32_t kVersion = 0x32;
constexpr std::uint32_t kTypeHasPalette = 0x1;
constexpr std::uint32_t kColourCel = 0;
constexpr std::uint32_t kTextureCel = 8;
constexpr std::size_t kColourCelBytes = 24;
constexpr std::size_t kTextureCelBytes = 40;
constexpr std::size_t kTextureHeaderBytes = 24;

void Warn(std::vector<std::string>& warnings, const char* text)
{
    if (std::find(warnings.begin(), warnings.end(), text) == warnings.end())
        warnings.emplace_back(text);
}

// Little-endian reads that end the file with kMaterialTruncated instead of running past it.
class TMatReader
{
public:
    explicit TMatReader(std::string_view data) : FData(data) {}

    std::uint64_t Remaining() const { return FData.size() - FPos; }
    void Need(std::uint64_t count) const
    {
        if (count > Remaining())
            throw EMaterialError(kMaterialTruncated);
    }
    std::uint32_t U32()
    {
        Need(4);
        const std::uint32_t value = LoadLe32(FData.data() + FPos);
        FPos += 4;
        return value;
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    void Skip(std::uint64_t count)
    {
        Need(count);
        FPos += static_cast<std::size_t>(count);
    }
    const std::uint8_t* Take(std::uint64_t count)
    {
        Need(count);
        const auto* at = reinterpret_cast<const std::uint8_t*>(FData.data()) + FPos;
        FPos += static_cast<std::size_t>(count);
        return at;
    }

private:
    std::string_view FData;
    std::size_t FPos = 0;
};

bool SameLayout(const TMatChannel& c, std::uint32_t bits, std::uint32_t shift)
{
    return c.Bits == bits && (bits == 0 || c.Shift == shift);
}

bool IsRgb565(const TMatColourFormat& f)
{
    return SameLayout(f.Red, 5, 11) && SameLayout(f.Green, 6, 5) && SameLayout(f.Blue, 5, 0) &&
           f.Alpha.Bits == 0;
}

bool IsArgb1555(const TMatColourFormat& f)
{
    return SameLayout(f.Red, 5, 10) && SameLayout(f.Green, 5, 5) && SameLayout(f.Blue, 5, 0) &&
           SameLayout(f.Alpha, 1, 15);
}

bool DescribesNoChannels(const TMatColourFormat& f)
{
    return f.Red.Bits == 0 && f.Green.Bits == 0 && f.Blue.Bits == 0 && f.Alpha.Bits == 0;
}

// Checks the colour-format block and says which rule decodes the texels; the 16-bit engine
// rule is refined per texture by its transparent flag.
TTexelRule ReadFormatRule(const TMatColourFormat& f)
{
    const std::uint32_t bpp = f.Bpp;
    if (f.ColorMode > 2 || (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) ||
        (f.ColorMode == 0) != (bpp == 8))
        throw EMaterialError(kMaterialColourFormat);
    if (bpp == 8)
        return trIndexed8;
    // The game ignores the channel fields of 16-bit files, so one that leaves them empty
    // still shows as the game shows it.
    if (bpp == 16 && (IsRgb565(f) || IsArgb1555(f) || DescribesNoChannels(f)))
        return trRgb565;
    for (const TMatChannel* c : {&f.Red, &f.Green, &f.Blue, &f.Alpha})
        if (c->Bits > 8 || std::uint64_t{c->Shift} + c->Bits > bpp)
            throw EMaterialError(kMaterialChannelLayout);
    return trHeader;
}

bool IsPowerOfTwo(std::uint32_t v)
{
    return (v & (v - 1)) == 0;
}

std::uint64_t LevelBytes(std::uint32_t width, std::uint32_t height, int level, std::uint32_t bpp)
{
    return std::uint64_t{width >> level} * (height >> level) * (bpp / 8);
}

TMatCel ReadCel(TMatReader& in, bool texturedMaterial, std::int32_t textureCount)
{
    // Each record's own type sets its size; a type that disagrees with the material's would
    // put readers that size records by the material type out of step.
    const std::uint32_t celType = in.U32();
    if (celType != kColourCel && celType != kTextureCel)
        throw EMaterialError(kMaterialCelType);
    TMatCel cel;
    cel.Textured = celType == kTextureCel;
    if (cel.Textured != texturedMaterial)
        throw EMaterialError(kMaterialCelKind);
    in.Need((cel.Textured ? kTextureCelBytes : kColourCelBytes) - 4);
    const std::uint32_t colourIndex = in.U32();
    if (colourIndex > 255)
        throw EMaterialError(kMaterialColourIndex);
    cel.ColourIndex = static_cast<std::uint8_t>(colourIndex);
    in.Skip(16);
    if (cel.Textured)
    {
        in.Skip(12);
        cel.TextureIndex = in.I32();
        if (cel.TextureIndex < 0 || cel.TextureIndex >= textureCount)
            throw EMaterialError(kMaterialTextureIndex);
    }
    return cel;
}

TMatTexture ReadTexture(TMatReader& in, const TMatColourFormat& format, TTexelRule formatRule,
                        std::vector<std::string>& warnings)
{
    in.Need(kTextureHeaderBytes);
    TMatTexture texture;
    texture.Width = in.U32();
    texture.Height = in.U32();
    const std::uint32_t transparent = in.U32();
    in.Skip(4);
    texture.ColourKey = in.U32();
    const std::uint32_t mipCount = in.U32();
    if (texture.Width == 0 || texture.Height == 0 || texture.Width > kMaxTextureSide ||
        texture.Height > kMaxTextureSide)
        throw EMaterialError(kMaterialTextureSize);
    if (mipCount == 0)
        throw EMaterialError(kMaterialNoMipLevels);
    if (mipCount > 32 || (texture.Width >> (mipCount - 1)) == 0 ||
        (texture.Height >> (mipCount - 1)) == 0)
        throw EMaterialError(kMaterialMipTooSmall);
    if (transparent > 1)
        Warn(warnings, kMaterialTransparentFlag);
    texture.Transparent = transparent != 0;
    if (!IsPowerOfTwo(texture.Width) || !IsPowerOfTwo(texture.Height))
        Warn(warnings, kMaterialNotPowerOfTwo);
    if (mipCount > kMaxMipLevels)
        Warn(warnings, kMaterialExtraMipLevels);
    texture.MipCount = static_cast<int>(std::min<std::uint32_t>(mipCount, kMaxMipLevels));

    texture.Rule = formatRule;
    if (formatRule == trRgb565)
    {
        // The game picks the 16-bit layout by this flag alone.
        if (texture.Transparent)
            texture.Rule = trArgb1555;
        if (texture.Transparent && IsRgb565(format))
            Warn(warnings, kMaterialRgb565Transparent);
        if (!texture.Transparent && IsArgb1555(format))
            Warn(warnings, kMaterialArgb1555Opaque);
    }

    std::uint64_t keptBytes = 0, allBytes = 0;
    for (int level = 0; level < static_cast<int>(mipCount); ++level)
    {
        const std::uint64_t size = LevelBytes(texture.Width, texture.Height, level, format.Bpp);
        allBytes += size;
        if (level < texture.MipCount)
            keptBytes += size;
    }
    in.Need(allBytes);
    const std::uint8_t* texels = in.Take(keptBytes);
    texture.Texels.assign(texels, texels + keptBytes);
    in.Skip(allBytes - keptBytes);
    return texture;
}
} // namespace

TMaterial::TMaterial(std::string_view data)
{
    if (data.size() < 4 || data.substr(0, 4) != "MAT ")
        throw EMaterialError(kNotAMaterial);
    TMatReader in(data);
    in.Skip(4);
    if (in.U32() != kVersion)
        throw EMaterialError(kMaterialVersion);
    in.Need(kHeaderBytes - 8);
    FType = in.U32();
    if (FType > 3)
        throw EMaterialError(kMaterialType);
    const std::int32_t celCount = in.I32();
    if (celCount < 1 || celCount > kMaxMaterialCels)
        throw EMaterialError(kMaterialCelCount);
    const std::int32_t textureCount = in.I32();
    if (textureCount < 0 || textureCount > kMaxMaterialTextures)
        throw EMaterialError(kMaterialTextureCount);
    if (IsTextured() && textureCount == 0)
        throw EMaterialError(kMaterialNoTextures);
    if (!IsTextured() && textureCount > 0)
        Warn(FWarnings, kMaterialColourHasTextures);

    FFormat.ColorMode = in.U32();
    FFormat.Bpp = in.U32();
    std::uint32_t fields[12];
    for (std::uint32_t& field : fields)
        field = in.U32();
    // Bits, shifts and losses come as three R, G, B triplets, then alpha's three.
    FFormat.Red = {fields[0], fields[3], fields[6]};
    FFormat.Green = {fields[1], fields[4], fields[7]};
    FFormat.Blue = {fields[2], fields[5], fields[8]};
    FFormat.Alpha = {fields[9], fields[10], fields[11]};
    const TTexelRule formatRule = ReadFormatRule(FFormat);

    FCels.reserve(static_cast<std::size_t>(celCount));
    for (int i = 0; i < celCount; ++i)
        FCels.push_back(ReadCel(in, IsTextured(), textureCount));
    if (IsTextured() && celCount != textureCount)
        Warn(FWarnings, kMaterialCelsNotTextures);

    FTextures.reserve(static_cast<std::size_t>(textureCount));
    for (int i = 0; i < textureCount; ++i)
        FTextures.push_back(ReadTexture(in, FFormat, formatRule, FWarnings));

    if ((FType & kTypeHasPalette) != 0)
    {
        if (in.Remaining() < kPaletteBytes)
            throw EMaterialError(kMaterialPaletteTruncated);
        const std::uint8_t* rgb = in.Take(kPaletteBytes);
        std::copy(rgb, rgb + kPaletteBytes, FPalette.begin());
        FHasPalette = true;
    }
    if (in.Remaining() > 0)
        Warn(FWarnings, kMaterialTrailingData);
}

namespace
{
// Widening tables for one channel: value v of `bits` bits scaled exactly to 0..255, so full
// intensity stays full (31 -> 255, not the loss shift's 248).
struct TChannelDecoder
{
    std::uint32_t Shift = 0, Mask = 0;
    std::array<std::uint8_t, 256> Wide{};

    TChannelDecoder(std::uint32_t bits, std::uint32_t shift, std::uint8_t absent)
    {
        if (bits == 0)
        {
            Wide[0] = absent;
            return;
        }
        Shift = shift;
        Mask = (1u << bits) - 1;
        for (std::uint32_t v = 0; v <= Mask; ++v)
            Wide[v] = static_cast<std::uint8_t>((v * 255 + Mask / 2) / Mask);
    }
    std::uint32_t operator()(std::uint32_t texel) const { return Wide[(texel >> Shift) & Mask]; }
};

template <int Bytes>
void DecodeDirect(const std::uint8_t* src, std::size_t count, const TMatChannel (&layout)[4],
                  std::uint32_t* out)
{
    const TChannelDecoder r(layout[0].Bits, layout[0].Shift, 0);
    const TChannelDecoder g(layout[1].Bits, layout[1].Shift, 0);
    const TChannelDecoder b(layout[2].Bits, layout[2].Shift, 0);
    const TChannelDecoder a(layout[3].Bits, layout[3].Shift, 255);
    for (std::size_t i = 0; i < count; ++i, src += Bytes)
    {
        std::uint32_t texel = 0;
        for (int k = 0; k < Bytes; ++k)
            texel |= std::uint32_t{src[k]} << (8 * k);
        out[i] = a(texel) << 24 | r(texel) << 16 | g(texel) << 8 | b(texel);
    }
}

const TMatTexture& TextureAt(const TMaterial& material, int texture)
{
    if (texture < 0 || static_cast<std::size_t>(texture) >= material.Textures().size())
        throw EListError();
    return material.Textures()[static_cast<std::size_t>(texture)];
}

const TMatCel& CelAt(const TMaterial& material, int cel)
{
    if (cel < 0 || static_cast<std::size_t>(cel) >= material.Cels().size())
        throw EListError();
    return material.Cels()[static_cast<std::size_t>(cel)];
}
} // namespace

void DecodeTexture(const TMaterial& material, int texture, const TColormap& colormap, int level,
                   std::span<std::uint32_t> out)
{
    const TMatTexture& t = TextureAt(material, texture);
    if (level < 0 || level >= t.MipCount)
        throw EListError();
    const std::size_t count = std::size_t{t.LevelWidth(level)} * t.LevelHeight(level);
    if (out.size() < count)
        throw EListError();
    const std::uint32_t bpp = material.Format().Bpp;
    std::size_t offset = 0;
    for (int k = 0; k < level; ++k)
        offset += static_cast<std::size_t>(LevelBytes(t.Width, t.Height, k, bpp));
    const std::uint8_t* src = t.Texels.data() + offset;

    switch (t.Rule)
    {
    case trIndexed8:
    {
        std::array<std::uint32_t, 256> table = colormap.ArgbTable();
        // Deliberate: the key is index 0 whatever the block's colour key says, as the game's
        // 3D-card path does.
        if (t.Transparent)
            table[0] &= 0x00FFFFFFu;
        for (std::size_t i = 0; i < count; ++i)
            out[i] = table[src[i]];
        break;
    }
    case trRgb565:
    {
        const TMatChannel layout[4] = {{5, 11, 0}, {6, 5, 0}, {5, 0, 0}, {0, 0, 0}};
        DecodeDirect<2>(src, count, layout, out.data());
        break;
    }
    case trArgb1555:
    {
        const TMatChannel layout[4] = {{5, 10, 0}, {5, 5, 0}, {5, 0, 0}, {1, 15, 0}};
        DecodeDirect<2>(src, count, layout, out.data());
        break;
    }
    case trHeader:
    {
        const TMatColourFormat& f = material.Format();
        const TMatChannel layout[4] = {f.Red, f.Green, f.Blue, f.Alpha};
        if (bpp == 16)
            DecodeDirect<2>(src, count, layout, out.data());
        else if (bpp == 24)
            DecodeDirect<3>(src, count, layout, out.data());
        else
            DecodeDirect<4>(src, count, layout, out.data());
        break;
    }
    }
}

TArgbImage DecodeTexture(const TMaterial& material, int texture, const TColormap& colormap,
                         int level)
{
    const TMatTexture& t = TextureAt(material, texture);
    if (level < 0 || level >= t.MipCount)
        throw EListError();
    TArgbImage image;
    image.Width = static_cast<int>(t.LevelWidth(level));
    image.Height = static_cast<int>(t.LevelHeight(level));
    image.Pixels.resize(std::size_t{t.LevelWidth(level)} * t.LevelHeight(level));
    DecodeTexture(material, texture, colormap, level, image.Pixels);
    return image;
}

std::uint32_t CelColour(const TMaterial& material, int cel, const TColormap& colormap)
{
    return colormap.Colour(CelAt(material, cel).ColourIndex);
}

TArgbImage DecodeCel(const TMaterial& material, int cel, const TColormap& colormap, int level)
{
    const TMatCel& c = CelAt(material, cel);
    if (c.Textured)
        return DecodeTexture(material, c.TextureIndex, colormap, level);
    return TArgbImage{1, 1, {colormap.Colour(c.ColourIndex)}};
}
