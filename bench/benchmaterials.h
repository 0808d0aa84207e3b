// The materials the benchmark models name (mat0.mat .. mat16.mat), made as the game's are: 8-bit
// textures of 64 to 256 texels a side with their mip chains (every fifth one with cut-out
// texels), and a colormap, in a folder laid out as the game's (mat/, misc/cmp/). Made on first
// use in the temporary directory.
#pragma once

#include "game/assets.h"
#include "benchmodels.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace benchmaterials
{
constexpr int kMaterials = 17;

inline void PutU32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void PutFloat(std::string& out, float v)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    PutU32(out, bits);
}

// One 8-bit texture material: header, a texture cel, the texture block and 4 mip levels.
inline std::string Material(int index)
{
    const std::uint32_t width = 64u << (index % 3), height = 64u << ((index / 3) % 3);
    const bool transparent = index % 5 == 0;
    std::string s = "MAT ";
    for (const std::uint32_t v : {0x32u, 2u, 1u, 1u, 0u, 8u})
        PutU32(s, v);
    s.append(4 * 12, '\0');
    PutU32(s, 8);                                      // texture cel
    PutU32(s, static_cast<std::uint32_t>(16 + index)); // its untextured colour
    for (int k = 0; k < 4; ++k)
        PutFloat(s, 1.0f);
    for (const std::uint32_t v : {0u, 0u, 0u, 0u})
        PutU32(s, v);
    for (const std::uint32_t v : {width, height, transparent ? 1u : 0u, 0u, 0u, 4u})
        PutU32(s, v);
    for (int level = 0; level < 4; ++level)
        for (std::uint32_t y = 0; y < (height >> level); ++y)
            for (std::uint32_t x = 0; x < (width >> level); ++x)
                s += static_cast<char>((x / 8 + y / 8) % 2 == 0 ? 1 + (x + y + index) % 255
                                                                : (transparent ? 0 : 200));
    return s;
}

inline std::string Colormap()
{
    std::string s = "CMP ";
    PutU32(s, 0x1E);
    PutU32(s, 0);
    for (int k = 0; k < 3; ++k)
        PutFloat(s, 1.0f);
    s.append(40, '\0');
    for (int i = 0; i < 256; ++i)
        for (const int c : {i, 255 - i, 7 * i % 256})
            s += static_cast<char>(c);
    for (int row = 0; row < 64; ++row)
        for (int i = 0; i < 256; ++i)
            s += static_cast<char>(i);
    return s;
}

// The folder holding mat/mat0.mat .. mat/mat16.mat and misc/cmp/dflt.cmp; a model file in its
// 3do/ folder finds them there.
inline std::string GameFolder()
{
    const std::filesystem::path root = benchmodels::TempPath("quillmark_bench_game");
    static bool made = false;
    if (!made)
    {
        std::filesystem::create_directories(root / "mat");
        std::filesystem::create_directories(root / "misc" / "cmp");
        for (int i = 0; i < kMaterials; ++i)
            std::ofstream(root / "mat" / ("mat" + std::to_string(i) + ".mat"), std::ios::binary)
                << Material(i);
        std::ofstream(root / "misc" / "cmp" / "dflt.cmp", std::ios::binary) << Colormap();
        made = true;
    }
    return root.string();
}

// Where a model in the game folder's 3do/ folder would be.
inline TModelLocation ModelInGameFolder()
{
    TModelLocation location;
    location.FileName = GameFolder() + "/3do/quillmark_bench.3do";
    return location;
}
} // namespace benchmaterials
