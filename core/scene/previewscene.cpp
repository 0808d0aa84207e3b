// The 3D preview's scene.
#include "scene/previewscene.h"

#include "scene/dxerror.h"
#include "scene/viewfit.h"
#include "formats/xreader.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// The viewport's field, which the preview never changes.
constexpr double kViewportField = 0.5;
// A fitted model is first shown this large, and its nearest point kept at least this far
// ahead of the camera: twice the viewport's front.
constexpr double kFitExtent = 10;
constexpr double kFitNearest = 2;

// The vertices of the faces a driver draws (three corners or more, all finite, not hidden by
// `looks` when they fit the mesh), each once.
std::vector<D3DVECTOR> DrawnVertices(const TXMesh& mesh, const TFaceLooks& looks)
{
    std::vector<bool> drawn(mesh.VertexCount(), false);
    const bool hiding = looks.FaceFlags.size() == mesh.FaceCount();
    std::size_t first = 0;
    for (std::size_t f = 0; f < mesh.FaceCount(); ++f)
    {
        const std::uint32_t size = mesh.FaceSizes[f];
        const std::size_t end = first + size;
        bool counted = size >= 3 && !(hiding && (looks.FaceFlags[f] & kFaceHidden));
        for (std::size_t i = first; i < end && counted; ++i)
            for (int axis = 0; axis < 3; ++axis)
                counted = counted && std::isfinite(mesh.Positions[3 * mesh.Indices[i] + axis]);
        for (std::size_t i = first; i < end && counted; ++i)
            drawn[mesh.Indices[i]] = true;
        first = end;
    }
    std::vector<D3DVECTOR> vertices;
    for (std::size_t v = 0; v < drawn.size(); ++v)
        if (drawn[v])
            vertices.push_back(
                {mesh.Positions[3 * v], mesh.Positions[3 * v + 1], mesh.Positions[3 * v + 2]});
    return vertices;
}

double Dot(const D3DVECTOR& a, double x, double y, double z)
{
    return a.x * x + a.y * y + a.z * z;
}

// Where ResetView puts model and camera for a model box, in single precision: the box's
// centre goes to the origin and the camera steps back by twice (largest extent + 1).
struct TPreviewFraming
{
    D3DVECTOR Center;
    D3DVECTOR CameraPosition;
};

TPreviewFraming FrameModelBox(const D3DRMBOX& box)
{
    TPreviewFraming framing;
    framing.Center.x = (box.min.x + box.max.x) * 0.5f;
    framing.Center.y = (box.min.y + box.max.y) * 0.5f;
    framing.Center.z = (box.min.z + box.max.z) * 0.5f;
    // X first, then only a strictly larger extent replaces it.
    float size = box.max.x - box.min.x;
    if (box.max.y - box.min.y > size)
        size = box.max.y - box.min.y;
    if (box.max.z - box.min.z > size)
        size = box.max.z - box.min.z;
    size = (size + 1) * 2;
    framing.CameraPosition.x = static_cast<float>(-0.3 * size);
    framing.CameraPosition.y = static_cast<float>(0.3 * size);
    framing.CameraPosition.z = -size;
    return framing;
}

// The box of everything in the model frame (a scratch mesh builder, released also when a step
// fails).
D3DRMBOX ModelBox(const LPDIRECT3DRM& d3drm, const LPDIRECT3DRMFRAME& modelFrame)
{
    LPDIRECT3DRMMESHBUILDER builder;
    DXCheck(d3drm->CreateMeshBuilder(builder));
    D3DRMBOX box;
    HRESULT kept = 0;
    if (!DXFailed(kept, builder->AddFrame(modelFrame)))
        DXFailed(kept, builder->GetBox(box));
    COMRelease(builder);
    DXCheck(kept);
    return box;
}

// OnLoading(true) while it lives.
class TLoadingScope
{
public:
    explicit TLoadingScope(const std::function<void(bool)>& onLoading) : FOnLoading(onLoading)
    {
        if (FOnLoading)
            FOnLoading(true);
    }
    ~TLoadingScope()
    {
        if (FOnLoading)
            FOnLoading(false);
    }
    TLoadingScope(const TLoadingScope&) = delete;
    TLoadingScope& operator=(const TLoadingScope&) = delete;

private:
    const std::function<void(bool)>& FOnLoading;
};
} // namespace

D3DVALUE RotationPerFrame(int position)
{
    return static_cast<D3DVALUE>(position * 0.0025L);
}

TPreviewScene::TPreviewScene(TD3DPlatform* platform) : FPlatform(platform)
{
    DXCheck(FPlatform ? FPlatform->Direct3DRMCreate(FD3DRM) : Direct3DRMCreate(FD3DRM));
}

TPreviewScene::~TPreviewScene()
{
    COMRelease(FD3DRM);
}

void TPreviewScene::Build(HWND window)
{
    DXCheck(FPlatform ? FPlatform->DirectDrawCreateClipper(0, FClipper, nullptr)
                      : DirectDrawCreateClipper(0, FClipper, nullptr));
    DXCheck(FClipper->SetHWnd(0, window));

    DXCheck(FD3DRM->CreateFrame(nullptr, FScene));
    DXCheck(FD3DRM->CreateFrame(FScene, FCamera));
    DXCheck(FCamera->SetPosition(FScene, 0, 0, 0));

    // Both lights hang on one frame; the directional one shines along its +Z.
    LPDIRECT3DRMFRAME lightFrame;
    LPDIRECT3DRMLIGHT light;
    DXCheck(FD3DRM->CreateFrame(FScene, lightFrame));
    DXCheck(FD3DRM->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 0.9f, 0.9f, 0.9f, light));
    DXCheck(lightFrame->AddLight(light));
    COMRelease(light);
    DXCheck(FD3DRM->CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.1f, 0.1f, 0.1f, light));
    DXCheck(lightFrame->AddLight(light));
    COMRelease(light);
    DXCheck(lightFrame->SetPosition(FScene, 2, 0, 22));
    COMRelease(lightFrame);

    DXCheck(FD3DRM->CreateFrame(FScene, FModelFrame));

    DXCheck(FCamera->SetPosition(FScene, 0, 0, -15));
    DXCheck(FCamera->SetOrientation(FScene, 0, 0, 1, 0, 1, 0));
    DXCheck(FModelFrame->SetPosition(FScene, 0, 0, 0));
    DXCheck(FModelFrame->SetOrientation(FScene, 0, 0, 1, 0, 1, 0));
}

void TPreviewScene::BuildDeviceAndViewport(const GUID* driver, int width, int height)
{
    DXCheck(FD3DRM->CreateDeviceFromClipper(FClipper, driver, width, height, FDevice));
    DXCheck(FDevice->QueryInterface(FWinDevice));
    const DWORD w = FDevice->GetWidth();
    const DWORD h = FDevice->GetHeight();
    // Release what was built before raising, so that no stale device remains.
    HRESULT kept = 0;
    if (DXFailed(kept, FD3DRM->CreateViewport(FDevice, FCamera, 0, 0, w, h, FViewport)))
    {
        COMRelease(FWinDevice);
        COMRelease(FDevice);
        DXCheck(kept);
    }
    if (DXFailed(kept, FViewport->SetBack(5000.0f)))
    {
        COMRelease(FViewport);
        COMRelease(FWinDevice);
        COMRelease(FDevice);
        DXCheck(kept);
    }
}

void TPreviewScene::CreateDevice(const GUID* driver, int width, int height, int bitsPerPixel)
{
    BuildDeviceAndViewport(driver, width, height);
    DXCheck(FDevice->SetQuality(D3DRMRENDER_FLAT));
    switch (bitsPerPixel)
    {
    case 1:
        DXCheck(FDevice->SetShades(4));
        DXCheck(FD3DRM->SetDefaultTextureShades(4));
        break;
    case 16:
        DXCheck(FDevice->SetShades(32));
        DXCheck(FD3DRM->SetDefaultTextureColors(64));
        DXCheck(FD3DRM->SetDefaultTextureShades(32));
        break;
    case 24:
    case 32:
        DXCheck(FDevice->SetShades(256));
        DXCheck(FD3DRM->SetDefaultTextureColors(64));
        DXCheck(FD3DRM->SetDefaultTextureShades(256));
        break;
    default:
        break;
    }
}

void TPreviewScene::RecreateDevice(const GUID* driver, int width, int height, bool force)
{
    if (!FDevice)
        return;
    if (width == static_cast<int>(FDevice->GetWidth()) &&
        height == static_cast<int>(FDevice->GetHeight()) && !force)
        return;
    const BOOL dither = FDevice->GetDither();
    const D3DRMRENDERQUALITY quality = FDevice->GetQuality();
    const DWORD shades = FDevice->GetShades();
    COMRelease(FViewport);
    COMRelease(FWinDevice);
    COMRelease(FDevice);
    BuildDeviceAndViewport(driver, width, height);
    DXCheck(FDevice->SetQuality(quality));
    DXCheck(FDevice->SetDither(dither));
    DXCheck(FDevice->SetShades(shades));
}

void TPreviewScene::LoadModel(const std::string& fileName, D3DVALUE scale)
{
    LoadModelWith([&](IDirect3DRMMeshBuilder& builder)
                  { return builder.Load(fileName, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr); },
                  scale);
}

void TPreviewScene::LoadModel(const TXMesh& mesh, D3DVALUE scale)
{
    LoadModelWith([&](IDirect3DRMMeshBuilder& builder) { return builder.LoadMesh(mesh); }, scale);
}

void TPreviewScene::LoadModelWith(const std::function<HRESULT(IDirect3DRMMeshBuilder&)>& load,
                                  D3DVALUE scale)
{
    DXCheck(FScene->DeleteChild(FModelFrame));
    COMRelease(FModelFrame);
    FModelVisual.reset();
    DXCheck(FD3DRM->CreateFrame(FScene, FModelFrame));
    DXCheck(FModelFrame->SetOrientation(FScene, 0, 0, 1, 0, 1, 0));
    LPDIRECT3DRMMESHBUILDER builder;
    DXCheck(FD3DRM->CreateMeshBuilder(builder));
    {
        const TLoadingScope loading(OnLoading);
        DXCheck(load(*builder));
        if (!FFaceLooks.Empty())
        {
            // Deliberate: looks made for another file are left off; the model still shows.
            const HRESULT result = builder->SetFaceLooks(FFaceLooks);
            if (result != D3DRMERR_BADVALUE)
                DXCheck(result);
        }
        DXCheck(builder->Scale(scale, scale, scale));
        DXCheck(FModelFrame->AddVisual(builder));
    }
    FModelVisual = builder;
    FModelScale = scale;
    COMRelease(builder);
    ResetView();
}

void TPreviewScene::ReleaseModel(const GUID* driver)
{
    if (!FScene || !FModelFrame)
        return;
    DXCheck(FScene->DeleteChild(FModelFrame));
    COMRelease(FModelFrame);
    DXCheck(FD3DRM->CreateFrame(FScene, FModelFrame));
    DXCheck(FModelFrame->SetOrientation(FScene, 0, 0, 1, 0, 1, 0));
    // A driver keeps working memory as large as the largest model it drew.
    if (FDevice)
        RecreateDevice(driver, static_cast<int>(FDevice->GetWidth()),
                       static_cast<int>(FDevice->GetHeight()), true);
    FModelVisual.reset();
}

void TPreviewScene::PoseModel(const std::vector<float>& positions)
{
    if (!FModelVisual)
        return;
    DXCheck(FModelVisual->SetVertices(positions));
    DXCheck(FModelVisual->Scale(FModelScale, FModelScale, FModelScale));
}

void TPreviewScene::SetModelVerticesRaw(const std::vector<float>& positions)
{
    if (FModelVisual)
        DXCheck(FModelVisual->SetVertices(positions));
}

std::vector<float> TPreviewScene::ModelVerticesRaw() const
{
    std::vector<float> positions;
    if (FModelVisual)
        DXCheck(FModelVisual->GetVertices(positions));
    return positions;
}

void TPreviewScene::ResetView()
{
    const TPreviewFraming framing = FrameModelBox(ModelBox(FD3DRM, FModelFrame));
    const D3DVECTOR& c = framing.Center;
    const D3DVECTOR& eye = framing.CameraPosition;
    DXCheck(FModelFrame->SetOrientation(FScene, 0, 0, 1, 0, 1, 0));
    DXCheck(FModelFrame->SetPosition(FScene, -c.x, -c.y, -c.z));
    // From the left, above and in front, looking at the origin.
    DXCheck(FCamera->SetPosition(FScene, eye.x, eye.y, eye.z));
    DXCheck(FCamera->SetOrientation(FScene, 0.3f, -0.3f, 1, 0, 1, 0));
}

void TPreviewScene::SetRotationSpeed(int position)
{
    DXCheck(FModelFrame->SetRotation(FScene, 0, -1, 0, RotationPerFrame(position)));
}

float TPreviewScene::FitCamera(const std::vector<D3DVECTOR>& points, D3DVALUE scale, double fill)
{
    D3DVECTOR modelDir, modelUp, modelPos, cameraDir, cameraUp;
    DXCheck(FModelFrame->GetOrientation(FScene, modelDir, modelUp));
    DXCheck(FModelFrame->GetPosition(FScene, modelPos));
    DXCheck(FCamera->GetOrientation(FScene, cameraDir, cameraUp));
    D3DVECTOR modelSide, cameraSide;
    D3DRMVectorCrossProduct(&modelSide, &modelUp, &modelDir);
    D3DRMVectorCrossProduct(&cameraSide, &cameraUp, &cameraDir);
    std::vector<D3DVECTOR> seen;
    seen.reserve(points.size());
    for (const D3DVECTOR& v : points)
    {
        // As the builder holds it, then placed by the model frame.
        const double x = static_cast<double>(v.x * scale), y = static_cast<double>(v.y * scale),
                     z = static_cast<double>(v.z * scale);
        const double sx = modelPos.x + x * modelSide.x + y * modelUp.x + z * modelDir.x;
        const double sy = modelPos.y + x * modelSide.y + y * modelUp.y + z * modelDir.y;
        const double sz = modelPos.z + x * modelSide.z + y * modelUp.z + z * modelDir.z;
        seen.push_back({static_cast<float>(Dot(cameraSide, sx, sy, sz)),
                        static_cast<float>(Dot(cameraUp, sx, sy, sz)),
                        static_cast<float>(Dot(cameraDir, sx, sy, sz))});
    }
    TViewFit fit;
    if (!FitPointsInView(seen, static_cast<int>(FDevice->GetWidth()),
                         static_cast<int>(FDevice->GetHeight()), kViewportField, fill, fit))
        return 0;
    const D3DVECTOR& e = fit.Eye;
    DXCheck(FCamera->SetPosition(FScene, e.x * cameraSide.x + e.y * cameraUp.x + e.z * cameraDir.x,
                                 e.x * cameraSide.y + e.y * cameraUp.y + e.z * cameraDir.y,
                                 e.x * cameraSide.z + e.y * cameraUp.z + e.z * cameraDir.z));
    return fit.Nearest;
}

void TPreviewScene::LoadModelFitted(const TXMesh& mesh, int position, double fill)
{
    const std::vector<D3DVECTOR> vertices = DrawnVertices(mesh, FFaceLooks);
    // The picture does not change with the model's size, only what the viewport clips.
    double extent = 0;
    if (!vertices.empty())
    {
        D3DRMBOX box{vertices[0], vertices[0]};
        for (const D3DVECTOR& c : vertices)
        {
            box.min = {std::min(box.min.x, c.x), std::min(box.min.y, c.y),
                       std::min(box.min.z, c.z)};
            box.max = {std::max(box.max.x, c.x), std::max(box.max.y, c.y),
                       std::max(box.max.z, c.z)};
        }
        extent = std::max({static_cast<double>(box.max.x) - box.min.x,
                           static_cast<double>(box.max.y) - box.min.y,
                           static_cast<double>(box.max.z) - box.min.z});
    }
    constexpr double largest = std::numeric_limits<D3DVALUE>::max();
    double scale = extent > 0 && kFitExtent / extent < largest ? kFitExtent / extent : kModelScale;
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        LoadModel(mesh, static_cast<D3DVALUE>(scale));
        SetRotationSpeed(position);
        DXCheck(FScene->Move(1.0f));
        const float nearest = FitCamera(vertices, static_cast<D3DVALUE>(scale), fill);
        // Scaled up, everything ahead of the camera moves away from it in proportion.
        if (nearest <= 0 || nearest >= kFitNearest || scale * kFitNearest / nearest >= largest)
            break;
        scale *= kFitNearest / nearest;
    }
}

void TPreviewScene::RenderFrame(D3DVALUE step)
{
    if (!FDevice || !FViewport || !FScene)
        return;
    DXCheck(FScene->Move(step));
    DrawFrame();
}

void TPreviewScene::DrawFrame()
{
    if (!FDevice || !FViewport || !FScene)
        return;
    DXCheck(FViewport->Clear());
    DXCheck(FViewport->Render(FScene));
    DXCheck(FDevice->Update());
}

void TPreviewScene::Release()
{
    if (FViewport)
        COMRelease(FViewport);
    if (FWinDevice)
        COMRelease(FWinDevice);
    if (FDevice)
        COMRelease(FDevice);
    FModelVisual.reset();
    // Deliberate: no presence test, so a preview whose scene was never built reports each
    // missing frame and the clipper.
    COMRelease(FModelFrame);
    COMRelease(FCamera);
    COMRelease(FScene);
    COMRelease(FClipper);
}
