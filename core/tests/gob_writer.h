// The tests' own GOB writer, independent of the reader: header, index right after it, then the
// members' bytes in index order.
#pragma once

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
