// Any bytes given to the .X reader end in a result code, never in a crash or a read out of
// bounds; an accepted file always gives a mesh whose indices are in range.
#include "formats/xreader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TXMesh mesh;
    if (ReadXData(std::string_view(reinterpret_cast<const char*>(data), size), mesh) != D3DRM_OK)
        return 0;
    std::size_t corners = 0;
    for (const std::uint32_t s : mesh.FaceSizes)
        corners += s;
    if (corners != mesh.Indices.size() || mesh.FaceMaterials.size() != mesh.FaceCount())
        std::abort();
    for (const std::uint32_t i : mesh.Indices)
        if (i >= mesh.VertexCount())
            std::abort();
    for (const std::uint32_t m : mesh.FaceMaterials)
        if (m >= mesh.Materials.size())
            std::abort();
    return 0;
}
