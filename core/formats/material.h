// The game's materials (.mat): flat colours and textures, each with one or more cels and a mip
// chain. Read from a file's bytes in memory; decoded to 32-bit pixels through a colormap.
#pragma once

#include "formats/colormap.h"
#include "base/errors.h"

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kMaxMaterialCels = 16;
inline constexpr int kMaxMaterialTextures = 256;
inline constexpr std::uint32_t kMaxTextureSide = 4096;
inline constexpr int kMaxMipLevels = 4;

inline constexpr const char* kNotAMaterial = "Not a material file";
inline constexpr const char* kMaterialTruncated = "Material file is truncated";
inline constexpr const char* kMaterialVersion = "Unsupported material version";
inline constexpr const char* kMaterialType = "Unsupported material type";
inline constexpr const char* kMaterialCelCount = "Material cel count is out of range";
inline constexpr const char* kMaterialTextureCount = "Material texture count is out of range";
inline constexpr const char* kMaterialNoTextures = "Textured material has no textures";
inline constexpr const char* kMaterialColourFormat = "Unsupported material colour format";
inline constexpr const char* kMaterialChannelLayout =
    "Material colour channel does not fit in its texel";
inline constexpr const char* kMaterialCelType = "Unknown material cel type";
inline constexpr const char* kMaterialCelKind =
    "Material cel type does not match the material type";
inline constexpr const char* kMaterialTextureIndex = "Material cel texture index is out of range";
inline constexpr const char* kMaterialColourIndex = "Material cel colour index is out of range";
inline constexpr const char* kMaterialTextureSize = "Material texture size is out of range";
inline constexpr const char* kMaterialNoMipLevels = "Material texture has no mip levels";
inline constexpr const char* kMaterialMipTooSmall =
    "Material texture has more mip levels than its size allows";
inline constexpr const char* kMaterialPaletteTruncated = "Material palette is truncated";
// Warnings: the material is still used.
inline constexpr const char* kMaterialColourHasTextures =
    "Colour material carries texture data, which no cel shows";
inline constexpr const char* kMaterialCelsNotTextures =
    "Material cel count differs from its texture count";
inline constexpr const char* kMaterialTransparentFlag =
    "Material texture transparency flag is not 0 or 1: read as transparent";
inline constexpr const char* kMaterialNotPowerOfTwo = "Material texture size is not a power of two";
inline constexpr const char* kMaterialExtraMipLevels =
    "Material texture has more than 4 mip levels: only the first 4 are kept";
inline constexpr const char* kMaterialRgb565Transparent =
    "RGB565 texture is marked transparent: shown as ARGB1555, as the game does";
inline constexpr const char* kMaterialArgb1555Opaque =
    "ARGB1555 texture is not marked transparent: shown as RGB565, as the game does";
inline constexpr const char* kMaterialTrailingData = "Material file has data after its end";

// A file that cannot be read as a material; what() is one of the texts above.
class EMaterialError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One colour channel of the header's colour-format block.
struct TMatChannel
{
    std::uint32_t Bits = 0, Shift = 0, Loss = 0;
};

struct TMatColourFormat
{
    std::uint32_t ColorMode = 0; // 0 indexed, 1 RGB, 2 RGBA
    std::uint32_t Bpp = 8;       // bits per texel: 8, 16, 24 or 32
    TMatChannel Red, Green, Blue, Alpha;
};

// How a texture's texels become pixels.
enum TTexelRule : std::uint8_t
{
    trIndexed8, // palette index through the colormap; index 0 cut out when transparent
    trRgb565,   // the game's 16-bit rule for opaque textures
    trArgb1555, // the game's 16-bit rule for transparent textures
    trHeader,   // channels where the header's colour-format block puts them
};

// One cel (frame) of a material: a texture, or a flat palette colour. A textured cel's
// ColourIndex is the colour the game uses when the face is drawn untextured.
struct TMatCel
{
    bool Textured = false;
    std::uint8_t ColourIndex = 0;
    int TextureIndex = -1; // into TMaterial::Textures(); -1 for a colour cel
};

// One texture block with its mip chain, largest level first.
struct TMatTexture
{
    std::uint32_t Width = 0, Height = 0; // of level 0
    bool Transparent = false;
    std::uint32_t ColourKey = 0; // as stored; 8-bit decoding keys index 0, as the game does
    int MipCount = 0;            // levels kept: 1 .. 4
    TTexelRule Rule = trIndexed8;
    std::vector<std::uint8_t> Texels; // every kept level, back to back, rows top first

    std::uint32_t LevelWidth(int level) const { return Width >> level; }
    std::uint32_t LevelHeight(int level) const { return Height >> level; }
};

// A decoded picture: 0xAARRGGBB per pixel (not premultiplied), rows top first.
struct TArgbImage
{
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels;
};

// A material as read from a .mat file. Holds copies, never the bytes it was read from.
// Textures a colour material carries are read and kept, though no cel shows them.
// Deliberate: more than 4 mip levels is accepted with a warning and only 4 are kept; the
// game has 4 slots, and a picture beats a refusal.
class TMaterial
{
public:
    // Reads a .mat file. Throws EMaterialError for a file the game could not use or that
    // readers would disagree about; anything it can use but finds odd is noted in Warnings().
    explicit TMaterial(std::string_view data);

    std::uint32_t Type() const { return FType; }
    bool IsTextured() const { return (FType & 2) != 0; }
    const TMatColourFormat& Format() const { return FFormat; }
    const std::vector<TMatCel>& Cels() const { return FCels; }
    const std::vector<TMatTexture>& Textures() const { return FTextures; }
    // The palette some files append (768 bytes R, G, B); the game draws with the colormap's.
    bool HasPalette() const { return FHasPalette; }
    const std::array<std::uint8_t, kPaletteBytes>& Palette() const { return FPalette; }
    const std::vector<std::string>& Warnings() const { return FWarnings; }

private:
    std::uint32_t FType = 0;
    TMatColourFormat FFormat;
    std::vector<TMatCel> FCels;
    std::vector<TMatTexture> FTextures;
    bool FHasPalette = false;
    std::array<std::uint8_t, kPaletteBytes> FPalette{};
    std::vector<std::string> FWarnings;
};

// Decodes mip level `level` of texture `texture` into `out`, which must hold
// LevelWidth(level) * LevelHeight(level) pixels. A cut-out texel keeps its colour with alpha 0;
// channels of n bits widen exactly (31 of 5 bits becomes 255). Throws EListError for a texture
// or level out of range, or an `out` too small.
void DecodeTexture(const TMaterial& material, int texture, const TColormap& colormap, int level,
                   std::span<std::uint32_t> out);
TArgbImage DecodeTexture(const TMaterial& material, int texture, const TColormap& colormap,
                         int level = 0);
// Cel `cel`'s flat colour, palette[ColourIndex], opaque.
std::uint32_t CelColour(const TMaterial& material, int cel, const TColormap& colormap);
// Cel `cel`'s picture: its texture at `level`, or 1 x 1 of its colour for a colour cel.
// Throws EListError for a cel, or a textured cel's level, out of range.
TArgbImage DecodeCel(const TMaterial& material, int cel, const TColormap& colormap, int level = 0);
