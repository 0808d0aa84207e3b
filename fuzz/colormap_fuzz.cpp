// Any bytes given to the colormap reader end in a colormap or in its own exception, never in a
// crash or a read out of bounds; light tables are whole or absent.
#include "formats/colormap.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try
    {
        const TColormap cmp(std::string_view(reinterpret_cast<const char*>(data), size));
        if (!cmp.LightTables().empty() && cmp.LightTables().size() != 64 * 256)
            std::abort();
        unsigned sum = 0;
        for (int level = -1; level <= 64; ++level)
            sum += cmp.LitIndex(level, static_cast<std::uint8_t>(level));
        for (const std::uint32_t c : cmp.ArgbTable())
            if (c >> 24 != 0xFF)
                std::abort();
        (void)sum;
    }
    catch (const EColormapError&)
    {
    }
    return 0;
}
