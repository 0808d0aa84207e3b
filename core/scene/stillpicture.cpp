// Still pictures of a model.
#include "scene/stillpicture.h"

#include "formats/xexport.h"
#include "scene/previewscene.h"

#include <functional>

namespace
{
// The screen depth the preview is assumed to run at.
constexpr int kBitsPerPixel = 32;
// The preview's speed bar at its first position.
constexpr int kRotationSpeed = 1;
// How much of the picture's width or height a fitted model takes.
constexpr double kFitFill = 0.9;

TFrameBuffer Draw(const TStillPicture& picture, const std::function<HRESULT(TXMesh&)>& read)
{
    TPreviewScene scene(&BuiltinD3DPlatform());
    scene.SetFaceLooks(picture.Looks);
    scene.Build(nullptr); // the picture is taken from the device, not shown
    scene.CreateDevice(picture.Driver, picture.Width, picture.Height, kBitsPerPixel);
    const bool background = picture.Background.Kind != TBackgroundKind::bkCleared;
    DXCheck(scene.Device()->SetCoverage(background));
    // Read once the device is made, where the preview loads its file.
    TXMesh mesh;
    DXCheck(read(mesh));
    if (picture.Fit)
    {
        scene.LoadModelFitted(mesh, kRotationSpeed, kFitFill);
        scene.DrawFrame();
    }
    else
    {
        scene.LoadModel(mesh);
        scene.SetRotationSpeed(kRotationSpeed);
        scene.RenderFrame();
    }

    TFrameBuffer frame = scene.Device()->GetFrameBuffer();
    if (background && frame.Coverage.size() != frame.Pixels.size())
        throw EDirectX(kNoCoverage);
    const std::uint32_t fill = picture.Background.Kind == TBackgroundKind::bkColour
                                   ? 0xFF000000u | (picture.Background.Rgb & 0xFFFFFFu)
                                   : 0;
    for (std::size_t i = 0; i < frame.Pixels.size(); ++i)
        frame.Pixels[i] = !background || frame.Coverage[i] ? 0xFF000000u | frame.Pixels[i] : fill;
    return frame;
}
} // namespace

TFrameBuffer DrawStillPicture(const T3DO& model, const TNodeList& nodes, int geoSet,
                              const TStillPicture& picture)
{
    return DrawStillPicture(XText(model, nodes, geoSet), picture);
}

TFrameBuffer DrawStillPicture(const T3DO& model, const TNodeList& nodes, int geoSet,
                              const TPose& pose, const TStillPicture& picture)
{
    std::vector<float> positions;
    PosedXPositions(PosingGeoSet(model, geoSet), nodes, pose, positions);
    const std::string text = XText(model, nodes, geoSet);
    return Draw(picture,
                [&](TXMesh& mesh)
                {
                    const HRESULT result = ReadXData(text, mesh);
                    if (result == D3DRM_OK && mesh.Positions.size() == positions.size())
                        mesh.Positions = positions;
                    return result;
                });
}

TFrameBuffer DrawStillPicture(std::string_view xText, const TStillPicture& picture)
{
    return Draw(picture, [xText](TXMesh& mesh) { return ReadXData(xText, mesh); });
}

TFrameBuffer DrawStillXFile(const std::string& fileName, const TStillPicture& picture)
{
    return Draw(picture, [&fileName](TXMesh& mesh) { return ReadXFile(fileName, mesh); });
}
