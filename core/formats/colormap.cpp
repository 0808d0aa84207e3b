#include "formats/colormap.h"

#include "base/bytesource.h"

#include <algorithm>

namespace
{
constexpr std::size_t kPaletteOffset = 0x40;
constexpr std::size_t kLightOffset = 0x340;
constexpr std::size_t kLightBytes = 64 * 256;
constexpr std::size_t kTransparencyBytes = 256 * 256;
constexpr std::size_t kMinimumSize = kLightOffset + kLightBytes;
constexpr std::uint32_t kGameVersion = 0x1E;
constexpr std::uint32_t kFlagTransparency = 0x1;
constexpr std::uint32_t kFlagLaterLayout = 0x4;
} // namespace

TColormap::TColormap(std::string_view data)
{
    if (data.size() < 4 || data.substr(0, 4) != "CMP ")
        throw EColormapError(kNotAColormap);
    if (data.size() < kMinimumSize)
        throw EColormapError(kColormapTruncated);
    const std::uint32_t version = LoadLe32(data.data() + 4);
    const std::uint32_t flags = LoadLe32(data.data() + 8);
    // The viewer never uses the transparency tables, but the game reads them, so a file that
    // announces them and stops short is broken.
    if ((flags & kFlagTransparency) != 0 && data.size() < kMinimumSize + kTransparencyBytes)
        throw EColormapError(kColormapNoTransparencyTables);
    if (version != kGameVersion)
        FWarnings.emplace_back(kColormapUnusualVersion);
    if ((flags & ~(kFlagTransparency | kFlagLaterLayout)) != 0)
        FWarnings.emplace_back(kColormapUnknownFlags);
    SetPalette(reinterpret_cast<const std::uint8_t*>(data.data()) + kPaletteOffset);
    // The two engine generations disagree on what follows the palette in such files.
    if ((flags & kFlagLaterLayout) != 0)
        FWarnings.emplace_back(kColormapLaterLayout);
    else
        FLight.assign(data.begin() + kLightOffset, data.begin() + kLightOffset + kLightBytes);
}

TColormap TColormap::FromPalette(const std::array<std::uint8_t, kPaletteBytes>& rgb)
{
    TColormap result;
    result.SetPalette(rgb.data());
    return result;
}

TColormap TColormap::GreyRamp()
{
    std::array<std::uint8_t, kPaletteBytes> rgb{};
    for (std::size_t i = 0; i < 256; ++i)
        rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = static_cast<std::uint8_t>(i);
    return FromPalette(rgb);
}

std::uint8_t TColormap::LitIndex(int level, std::uint8_t index) const
{
    if (FLight.empty())
        return index;
    const auto row = static_cast<std::size_t>(std::clamp(level, 0, kLightLevels - 1));
    return FLight[row * 256 + index];
}

void TColormap::SetPalette(const std::uint8_t* rgb)
{
    for (std::size_t i = 0; i < 256; ++i)
        FArgb[i] = 0xFF000000u | std::uint32_t{rgb[3 * i]} << 16 |
                   std::uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
}
