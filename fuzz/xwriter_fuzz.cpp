// Whatever the loader accepts, the .X writer turns into text and the glTF writer into a .glb,
// or each ends with a clean exception.
#include "formats/gltfexport.h"
#include "model/loader.h"
#include "model/model.h"
#include "formats/xexport.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TSilentProgress progress;
    TLoadedModel m;
    try
    {
        m = Parse3DO(std::string_view(reinterpret_cast<const char*>(data), size), progress);
    }
    catch (const std::exception&)
    {
        return 0;
    }
    for (int g = 0; g < m.Model->Count() && g < 4; ++g)
    {
        try
        {
            const std::string text = XText(*m.Model, *m.Nodes, g);
            // Every line ends in CR LF, and the text ends with the closing brace.
            if (text.size() < 3 || text.compare(text.size() - 3, 3, "}\r\n") != 0)
                std::abort();
        }
        catch (const std::exception&)
        {
        }
    }

    // Three materials when the model names none: a texture, a colour and a missing one.
    if (m.Model->Materials.empty())
        m.Model->Materials = {"t.mat", "c.mat", "lost.mat"};
    const std::vector<TMaterialLook> materials = {
        {"t.mat", TMaterialKind::Texture, 0, 2, 2,
         std::make_shared<const TRenderTexture>(
             TRenderTexture{2, 2, {0, 0xFF102030, 0xFFFFFFFF, 0}}),
         true},
        {"c.mat", TMaterialKind::Colour, 0xFF808080, 0, 0, {}, false}};
    for (int g = 0; g < m.Model->Count() && g < 4; ++g)
    {
        try
        {
            const std::string glb =
                GltfBytes(*m.Model, *m.Nodes, g, materials, TGltfContainer::Binary);
            // The header's length is the file's.
            if (glb.size() < 20 || glb.compare(0, 4, "glTF") != 0 ||
                (static_cast<std::uint8_t>(glb[8]) | static_cast<std::uint8_t>(glb[9]) << 8 |
                 static_cast<std::uint8_t>(glb[10]) << 16 |
                 static_cast<std::uint32_t>(static_cast<std::uint8_t>(glb[11])) << 24) !=
                    glb.size())
                std::abort();
        }
        catch (const std::exception&)
        {
        }
    }
    return 0;
}
