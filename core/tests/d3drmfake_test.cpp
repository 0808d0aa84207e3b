#include "d3drmfake.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
// Installs a recording platform for one test and restores the built-in one afterwards.
class RecordingPlatformTest : public ::testing::Test
{
protected:
    void SetUp() override { SetD3DPlatform(Platform); }
    void TearDown() override { SetD3DPlatform(nullptr); }

    std::shared_ptr<TRecordingPlatform> Platform = std::make_shared<TRecordingPlatform>();
};

class TCapture : public TRenderTarget
{
public:
    void Present(const TFrameBuffer& frame) override { Last = frame; }
    TFrameBuffer Last;
};
} // namespace

TEST_F(RecordingPlatformTest, LogsCallsAndReleasesInOrder)
{
    LPDIRECT3DRM d3drm;
    ASSERT_EQ(Direct3DRMCreate(d3drm), D3DRM_OK);
    LPDIRECT3DRMFRAME scene, camera;
    ASSERT_EQ(d3drm->CreateFrame(nullptr, scene), D3DRM_OK);
    ASSERT_EQ(d3drm->CreateFrame(scene, camera), D3DRM_OK);
    ASSERT_EQ(camera->SetPosition(scene, 0, 0, -15), D3DRM_OK);
    COMRelease(camera);
    COMRelease(scene);
    const std::vector<std::string> expected = {
        "Direct3DRMCreate",          "IDirect3DRM::CreateFrame",
        "IDirect3DRM::CreateFrame",  "IDirect3DRMFrame::SetPosition",
        "IDirect3DRMFrame::Release", "IDirect3DRMFrame::Release"};
    EXPECT_EQ(Platform->Log(), expected);
}

TEST_F(RecordingPlatformTest, InjectedFailuresSkipTheRealCall)
{
    LPDIRECT3DRM d3drm;
    Direct3DRMCreate(d3drm);
    Platform->FailCall("IDirect3DRM::CreateFrame", D3DRMERR_BADALLOC, 2);
    LPDIRECT3DRMFRAME first, second, third;
    EXPECT_EQ(d3drm->CreateFrame(nullptr, first), D3DRM_OK);
    EXPECT_EQ(d3drm->CreateFrame(first, second), D3DRMERR_BADALLOC);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(first->GetChildCount(), 0);
    EXPECT_EQ(d3drm->CreateFrame(first, third), D3DRM_OK); // only the second call failed
    EXPECT_EQ(first->GetChildCount(), 1);

    Platform->FailAlways("IDirect3DRMFrame::Move", DDERR_GENERIC);
    EXPECT_EQ(first->Move(1), DDERR_GENERIC);
    EXPECT_EQ(first->Move(1), DDERR_GENERIC);
    Platform->ClearFailures();
    EXPECT_EQ(first->Move(1), D3DRM_OK);
    EXPECT_EQ(Platform->Count("IDirect3DRMFrame::Move"), 3);

    Platform->FailCall("DirectDrawCreateClipper", DDERR_OUTOFMEMORY);
    LPDIRECTDRAWCLIPPER clipper;
    EXPECT_EQ(DirectDrawCreateClipper(0, clipper, nullptr), DDERR_OUTOFMEMORY);
    EXPECT_EQ(DirectDrawCreateClipper(0, clipper, nullptr), DD_OK);
}

TEST_F(RecordingPlatformTest, WrappedObjectsWorkTogetherLikeTheRealOnes)
{
    LPDIRECT3DRM d3drm;
    Direct3DRMCreate(d3drm);
    LPDIRECTDRAWCLIPPER clipper;
    DirectDrawCreateClipper(0, clipper, nullptr);
    TCapture window;
    clipper->SetHWnd(0, &window);
    LPDIRECT3DRMFRAME scene, camera, lights;
    d3drm->CreateFrame(nullptr, scene);
    d3drm->CreateFrame(scene, camera);
    d3drm->CreateFrame(scene, lights);
    EXPECT_EQ(camera->GetParent()->GetChildCount(), 2);
    LPDIRECT3DRMLIGHT light;
    ASSERT_EQ(d3drm->CreateLightRGB(D3DRMLIGHT_AMBIENT, 1, 1, 1, light), D3DRM_OK);
    ASSERT_EQ(lights->AddLight(light), D3DRM_OK);
    LPDIRECT3DRMDEVICE device;
    ASSERT_EQ(d3drm->CreateDeviceFromClipper(clipper, nullptr, 4, 4, device), D3DRM_OK);
    LPDIRECT3DRMWINDEVICE winDevice;
    ASSERT_EQ(device->QueryInterface(winDevice), D3DRM_OK);
    LPDIRECT3DRMVIEWPORT viewport;
    ASSERT_EQ(d3drm->CreateViewport(device, camera, 0, 0, 4, 4, viewport), D3DRM_OK);
    ASSERT_EQ(viewport->Render(scene), D3DRM_OK);
    ASSERT_EQ(device->Update(), D3DRM_OK);
    EXPECT_EQ(window.Last.Width, 4);
    TCapture canvas;
    ASSERT_EQ(winDevice->HandlePaint(&canvas), D3DRM_OK);
    EXPECT_EQ(canvas.Last.Pixels.size(), 16u);

    LPDIRECTDRAW dd;
    ASSERT_EQ(DirectDrawCreate(nullptr, dd, nullptr), DD_OK);
    LPDIRECT3D d3d;
    ASSERT_EQ(dd->QueryInterface(d3d), DD_OK);
    int drivers = 0;
    ASSERT_EQ(d3d->EnumDevices(
                  [&](const GUID*, const std::string&, const std::string&, const D3DDEVICEDESC&,
                      const D3DDEVICEDESC&, void*)
                  {
                      ++drivers;
                      return D3DENUMRET_OK;
                  },
                  nullptr),
              0);
    EXPECT_EQ(drivers, 1);
    EXPECT_EQ(Platform->Count("IDirect3D::EnumDevices"), 1);
}
