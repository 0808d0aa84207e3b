// Any bytes given to the material reader end in a material or in its own exception, never in a
// crash or a read out of bounds; every texture level and cel of an accepted material decodes
// to a picture of its announced size.
#include "formats/material.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const TColormap grey = TColormap::GreyRamp();
    try
    {
        const TMaterial m(std::string_view(reinterpret_cast<const char*>(data), size));
        const auto& textures = m.Textures();
        for (std::size_t t = 0; t < textures.size(); ++t)
            for (int level = 0; level < textures[t].MipCount; ++level)
            {
                const TArgbImage image = DecodeTexture(m, static_cast<int>(t), grey, level);
                if (image.Width != static_cast<int>(textures[t].LevelWidth(level)) ||
                    image.Pixels.size() != static_cast<std::size_t>(image.Width) *
                                               static_cast<std::size_t>(image.Height))
                    std::abort();
            }
        for (std::size_t c = 0; c < m.Cels().size(); ++c)
        {
            const TArgbImage image = DecodeCel(m, static_cast<int>(c), grey);
            if (image.Pixels.empty())
                std::abort();
        }
    }
    catch (const EMaterialError&)
    {
    }
    return 0;
}
