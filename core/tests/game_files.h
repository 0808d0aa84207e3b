// The tests' own writers of the game's files, independent of the readers: GOB archives,
// colormaps and materials, byte by byte.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TTestMember
{
    std::string Name; // written as given, NUL-padded to 128 bytes (cut at 128)
    std::string Data;
};

inline void PutU32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline std::string WriteTestGob(const std::vector<TTestMember>& members)
{
    std::string out = "GOB ";
    PutU32(out, 20);
    PutU32(out, 12);
    PutU32(out, static_cast<std::uint32_t>(members.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(16 + 136 * members.size());
    for (const TTestMember& m : members)
    {
        PutU32(out, offset);
        PutU32(out, static_cast<std::uint32_t>(m.Data.size()));
        std::string name = m.Name.substr(0, 128);
        name.resize(128, '\0');
        out += name;
        offset += static_cast<std::uint32_t>(m.Data.size());
    }
    for (const TTestMember& m : members)
        out += m.Data;
    return out;
}

// Materials: colour-format blocks are mode, bpp, then R, G, B bits, shifts, losses, then
// alpha's three.
using TFormat = std::array<std::uint32_t, 14>;
inline constexpr TFormat kIndexed = {0, 8};
inline constexpr TFormat kRgb565 = {1, 16, 5, 6, 5, 11, 5, 0, 3, 2, 3, 0, 0, 0};
inline constexpr TFormat kArgb1555 = {2, 16, 5, 5, 5, 10, 5, 0, 3, 3, 3, 1, 15, 7};

inline std::string MatHeader(std::uint32_t type, std::uint32_t cels, std::uint32_t textures,
                             const TFormat& format = kIndexed)
{
    std::string s = "MAT ";
    PutU32(s, 0x32);
    PutU32(s, type);
    PutU32(s, cels);
    PutU32(s, textures);
    for (const std::uint32_t v : format)
        PutU32(s, v);
    return s;
}

inline std::string MatRecord(std::uint32_t type, std::uint32_t colourIndex)
{
    std::string s;
    PutU32(s, type);
    PutU32(s, colourIndex);
    for (int k = 0; k < 4; ++k)
        PutU32(s, 0x3F800000);
    return s;
}

inline std::string ColourCel(std::uint32_t colourIndex)
{
    return MatRecord(0, colourIndex);
}

inline std::string TextureCel(std::uint32_t colourIndex, std::uint32_t textureIndex)
{
    std::string s = MatRecord(8, colourIndex);
    for (const std::uint32_t v : {0u, 0u, 0u, textureIndex})
        PutU32(s, v);
    return s;
}

inline std::string TextureHeader(std::uint32_t width, std::uint32_t height,
                                 std::uint32_t transparent, std::uint32_t mipCount)
{
    std::string s;
    for (const std::uint32_t v : {width, height, transparent, 0u, 0u, mipCount})
        PutU32(s, v);
    return s;
}

// The minimal colormap: palette entry i = (i, 255 - i, 7i mod 256); light row L maps every
// index to itself from row 32 up and to 0 below.
inline std::string Cmp(std::uint32_t version = 0x1E, std::uint32_t flags = 0,
                       std::uint32_t tint = 0x3F800000)
{
    std::string s = "CMP ";
    PutU32(s, version);
    PutU32(s, flags);
    for (int k = 0; k < 3; ++k)
        PutU32(s, tint);
    s.append(40, '\0');
    for (int i = 0; i < 256; ++i)
    {
        s.push_back(static_cast<char>(i));
        s.push_back(static_cast<char>(255 - i));
        s.push_back(static_cast<char>(7 * i % 256));
    }
    for (int row = 0; row < 64; ++row)
        for (int i = 0; i < 256; ++i)
            s.push_back(static_cast<char>(row >= 32 ? i : 0));
    return s;
}
