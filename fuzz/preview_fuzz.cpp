// Whatever the loader accepts, drawn as the textured preview draws it: the .X writer's text read
// back, the looks of the faces laid on (they must fit the mesh face for face and corner for
// corner), and the software rasterizer's picture of it, lit, from in front.
#include "game/facelooks.h"
#include "model/loader.h"
#include "model/model.h"
#include "raster/softraster.h"
#include "formats/xexport.h"
#include "formats/xreader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TSilentProgress progress;
    TLoadedModel m;
    std::string text;
    try
    {
        m = Parse3DO(std::string_view(reinterpret_cast<const char*>(data), size), progress);
        if (m.Model->Count() == 0)
            return 0;
        text = XText(*m.Model, *m.Nodes, 0);
    }
    catch (const std::exception&)
    {
        return 0;
    }
    TXMesh x;
    if (ReadXData(text, x) != 0)
        return 0;

    // Three materials when the model names none: a texture with a cut-out texel, a colour and
    // a missing one.
    if (m.Model->Materials.empty())
        m.Model->Materials = {"t.mat", "c.mat", "lost.mat"};
    const std::vector<TMaterialLook> materials = {
        {"t.mat",
         TMaterialKind::Texture,
         0,
         2,
         3,
         std::make_shared<const TRenderTexture>(
             TRenderTexture{2, 3, {0, 0xFF102030, 0xFFFFFFFF, 0x80A0B0C0, 1, 2}}),
         true},
        {"c.mat", TMaterialKind::Colour, 0xFF808080, 0, 0, {}, false}};
    TFaceLooks looks = BuildFaceLooks(*m.Model, 0, materials);
    if (looks.FaceTextures.size() != x.FaceCount() ||
        looks.TexCoords.size() != 2 * x.Indices.size() ||
        looks.FaceColors.size() != 3 * x.FaceCount())
        std::abort();

    auto mesh = std::make_shared<TRenderMesh>();
    mesh->Positions = std::move(x.Positions);
    mesh->FaceSizes = std::move(x.FaceSizes);
    mesh->Indices = std::move(x.Indices);
    mesh->FaceColors = std::move(looks.FaceColors);
    mesh->Looks = std::move(looks);

    // The finite vertices' box, 2.5 of its sizes in front of the camera.
    float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    bool any = false;
    for (std::size_t i = 0; i + 2 < mesh->Positions.size(); i += 3)
    {
        const float* p = &mesh->Positions[i];
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            continue;
        for (int a = 0; a < 3; ++a)
        {
            low[a] = any ? std::min(low[a], p[a]) : p[a];
            high[a] = any ? std::max(high[a], p[a]) : p[a];
        }
        any = true;
    }
    const float extent = std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2], 1e-3f});
    TRenderView view;
    view.Width = 48;
    view.Height = 36;
    view.Back = 5000;
    view.Shades = 256;
    view.Lights.Ambient[0] = view.Lights.Ambient[1] = view.Lights.Ambient[2] = 0.1f;
    view.Lights.Directional.push_back({{0.3f, -0.3f, 1}, {0.9f, 0.9f, 0.9f}});
    view.View.M[9] = -(low[0] + high[0]) / 2;
    view.View.M[10] = -(low[1] + high[1]) / 2;
    view.View.M[11] = -(low[2] + high[2]) / 2 + 2.5f * extent;
    view.Items.push_back({mesh, TMatrix43{}});
    TSoftwareRasterizer rasterizer(48, 36);
    rasterizer.SetThreadCount(1);
    rasterizer.Clear(0, 0, 48, 36, 0xFF000000u);
    rasterizer.Render(view);
    return 0;
}
