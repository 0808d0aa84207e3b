// The 3D preview's scene steps.
#include "previewscene.h"

#include "dxerror.h"

void BuildPreviewScene(const LPDIRECT3DRM& d3drm, LPDIRECT3DRMFRAME& scene,
                       LPDIRECT3DRMFRAME& camera, LPDIRECT3DRMFRAME& modelFrame)
{
    DXCheck(d3drm->CreateFrame(nullptr, scene));
    DXCheck(d3drm->CreateFrame(scene, camera));
    DXCheck(camera->SetPosition(scene, 0, 0, 0));

    // Both lights hang on one frame; the directional one shines along its +Z.
    LPDIRECT3DRMFRAME lightFrame;
    LPDIRECT3DRMLIGHT light;
    DXCheck(d3drm->CreateFrame(scene, lightFrame));
    DXCheck(d3drm->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 0.9f, 0.9f, 0.9f, light));
    DXCheck(lightFrame->AddLight(light));
    COMRelease(light);
    DXCheck(d3drm->CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.1f, 0.1f, 0.1f, light));
    DXCheck(lightFrame->AddLight(light));
    COMRelease(light);
    DXCheck(lightFrame->SetPosition(scene, 2, 0, 22));
    COMRelease(lightFrame);

    DXCheck(d3drm->CreateFrame(scene, modelFrame));

    DXCheck(camera->SetPosition(scene, 0, 0, -15));
    DXCheck(camera->SetOrientation(scene, 0, 0, 1, 0, 1, 0));
    DXCheck(modelFrame->SetPosition(scene, 0, 0, 0));
    DXCheck(modelFrame->SetOrientation(scene, 0, 0, 1, 0, 1, 0));
}

void BuildPreviewDevice(const LPDIRECT3DRM& d3drm, const LPDIRECTDRAWCLIPPER& clipper,
                        const GUID* driver, int width, int height, const LPDIRECT3DRMFRAME& camera,
                        LPDIRECT3DRMDEVICE& device, LPDIRECT3DRMWINDEVICE& winDevice,
                        LPDIRECT3DRMVIEWPORT& viewport)
{
    DXCheck(d3drm->CreateDeviceFromClipper(clipper, driver, width, height, device));
    DXCheck(device->QueryInterface(winDevice));
    const DWORD w = device->GetWidth();
    const DWORD h = device->GetHeight();
    // Release what was built before raising, so that no stale device remains.
    HRESULT kept = 0;
    if (DXFailed(kept, d3drm->CreateViewport(device, camera, 0, 0, w, h, viewport)))
    {
        COMRelease(winDevice);
        COMRelease(device);
        DXCheck(kept);
    }
    if (DXFailed(kept, viewport->SetBack(5000.0f)))
    {
        COMRelease(viewport);
        COMRelease(winDevice);
        COMRelease(device);
        DXCheck(kept);
    }
}

void SetPreviewQuality(const LPDIRECT3DRM& d3drm, const LPDIRECT3DRMDEVICE& device,
                       int bitsPerPixel)
{
    DXCheck(device->SetQuality(D3DRMRENDER_FLAT));
    switch (bitsPerPixel)
    {
    case 1:
        DXCheck(device->SetShades(4));
        DXCheck(d3drm->SetDefaultTextureShades(4));
        break;
    case 16:
        DXCheck(device->SetShades(32));
        DXCheck(d3drm->SetDefaultTextureColors(64));
        DXCheck(d3drm->SetDefaultTextureShades(32));
        break;
    case 24:
    case 32:
        DXCheck(device->SetShades(256));
        DXCheck(d3drm->SetDefaultTextureColors(64));
        DXCheck(d3drm->SetDefaultTextureShades(256));
        break;
    default:
        break;
    }
}

void ReplaceModelFrame(const LPDIRECT3DRM& d3drm, const LPDIRECT3DRMFRAME& scene,
                       LPDIRECT3DRMFRAME& modelFrame)
{
    DXCheck(scene->DeleteChild(modelFrame));
    COMRelease(modelFrame);
    DXCheck(d3drm->CreateFrame(scene, modelFrame));
    DXCheck(modelFrame->SetOrientation(scene, 0, 0, 1, 0, 1, 0));
}

void AddModelMeshes(const LPDIRECT3DRMMESHBUILDER& builder, const std::string& fileName,
                    const LPDIRECT3DRMFRAME& modelFrame)
{
    DXCheck(builder->Load(fileName, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr));
    DXCheck(builder->Scale(2, 2, 2));
    DXCheck(modelFrame->AddVisual(builder));
}

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

void ApplyPreviewFraming(const TPreviewFraming& framing, const LPDIRECT3DRMFRAME& scene,
                         const LPDIRECT3DRMFRAME& camera, const LPDIRECT3DRMFRAME& modelFrame)
{
    const D3DVECTOR& c = framing.Center;
    const D3DVECTOR& eye = framing.CameraPosition;
    DXCheck(modelFrame->SetOrientation(scene, 0, 0, 1, 0, 1, 0));
    DXCheck(modelFrame->SetPosition(scene, -c.x, -c.y, -c.z));
    // From the left, above and in front, looking at the origin.
    DXCheck(camera->SetPosition(scene, eye.x, eye.y, eye.z));
    DXCheck(camera->SetOrientation(scene, 0.3f, -0.3f, 1, 0, 1, 0));
}

void RenderPreviewFrame(const LPDIRECT3DRMFRAME& scene, const LPDIRECT3DRMVIEWPORT& viewport,
                        const LPDIRECT3DRMDEVICE& device)
{
    DXCheck(scene->Move(1.0f));
    DXCheck(viewport->Clear());
    DXCheck(viewport->Render(scene));
    DXCheck(device->Update());
}
