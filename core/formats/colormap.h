// The game's colormap (.cmp): the 256-colour palette that 8-bit textures and colour materials
// index, and the light tables that darken a palette index. Read from a file's bytes in memory.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kNotAColormap = "Not a colormap file";
inline constexpr const char* kColormapTruncated = "Colormap file is truncated";
inline constexpr const char* kColormapNoTransparencyTables =
    "Colormap file is truncated: its transparency tables are missing";
// Warnings: the colormap is still used.
inline constexpr const char* kColormapUnusualVersion = "Unexpected colormap version";
inline constexpr const char* kColormapUnknownFlags = "Colormap has unknown flags";
inline constexpr const char* kColormapLaterLayout =
    "Colormap has a later engine's layout: only its palette is used";

inline constexpr int kLightLevels = 64;
inline constexpr std::size_t kPaletteBytes = 768;

// A file that cannot be read as a colormap; what() is one of the texts above.
class EColormapError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A palette with its light tables. Holds copies, never the bytes it was read from. Its tint is
// not kept: a model viewer draws with the colormap as the game's first, untinted one.
class TColormap
{
public:
    // Reads a .cmp file. Throws EColormapError for a file the game could not use; anything it
    // can use but finds odd is noted in Warnings().
    explicit TColormap(std::string_view data);
    // A colormap of just this palette (768 bytes R, G, B per entry), without light tables.
    static TColormap FromPalette(const std::array<std::uint8_t, kPaletteBytes>& rgb);
    // Palette entry i = (i, i, i): the stand-in when no colormap is found.
    static TColormap GreyRamp();

    // Palette entry `index` as an opaque 0xAARRGGBB pixel.
    std::uint32_t Colour(std::uint8_t index) const { return FArgb[index]; }
    // All 256 entries as Colour() gives them: an 8-bit texel decodes by one lookup.
    const std::array<std::uint32_t, 256>& ArgbTable() const { return FArgb; }

    // False when the file has none the game would use; then LitIndex is the identity.
    bool HasLightTables() const { return !FLight.empty(); }
    // The palette index colour `index` becomes at light level `level` (0 dark .. 63 full
    // brightness; levels outside are clamped).
    std::uint8_t LitIndex(int level, std::uint8_t index) const;
    // 64 rows of 256 palette indices, darkest row first; empty without light tables.
    std::span<const std::uint8_t> LightTables() const { return FLight; }

    const std::vector<std::string>& Warnings() const { return FWarnings; }

private:
    TColormap() = default;
    void SetPalette(const std::uint8_t* rgb);

    std::array<std::uint32_t, 256> FArgb{};
    std::vector<std::uint8_t> FLight;
    std::vector<std::string> FWarnings;
};
