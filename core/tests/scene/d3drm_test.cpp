#include "scene/d3drm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr float kTol = 1e-5f;

void ExpectVec(const D3DVECTOR& v, float x, float y, float z, float tol = kTol)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

LPDIRECT3DRM Root()
{
    LPDIRECT3DRM d3drm;
    EXPECT_EQ(Direct3DRMCreate(d3drm), D3DRM_OK);
    return d3drm;
}

LPDIRECT3DRMFRAME Frame(const LPDIRECT3DRM& d3drm, const LPDIRECT3DRMFRAME& parent)
{
    LPDIRECT3DRMFRAME frame;
    EXPECT_EQ(d3drm->CreateFrame(parent, frame), D3DRM_OK);
    return frame;
}

std::string TempFile(const std::string& name, const std::string& text)
{
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

class TCapture : public TRenderTarget
{
public:
    void Present(const TFrameBuffer& frame) override
    {
        ++Count;
        Last = frame;
    }
    int Count = 0;
    TFrameBuffer Last;
};

const GUID kFakeGuid = {0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};

// A driver that keeps what it is asked to draw.
class TRecordingDriver : public TDeviceDriver
{
public:
    TRecordingDriver(int w, int h, std::vector<TRenderView>& log) : FLog(log)
    {
        FFrame.Width = w;
        FFrame.Height = h;
        FFrame.Pixels.assign(static_cast<std::size_t>(w * h), 0xFF010203u);
    }
    void Clear(int, int, int, int, std::uint32_t) override {}
    void Render(const TRenderView& view) override { FLog.push_back(view); }
    const TFrameBuffer& Frame() override { return FFrame; }

private:
    std::vector<TRenderView>& FLog;
    TFrameBuffer FFrame;
};
} // namespace

TEST(D3DRMVector, CrossProductAndModulus)
{
    D3DVECTOR r;
    const D3DVECTOR up{0, 1, 0}, dir{0, 0, 1}, a{1, 2, 3}, b{4, 5, 6}, c{3, 4, 12};
    EXPECT_EQ(D3DRMVectorCrossProduct(&r, &up, &dir), &r);
    ExpectVec(r, 1, 0, 0);
    D3DRMVectorCrossProduct(&r, &a, &b);
    ExpectVec(r, -3, 6, -3);
    EXPECT_FLOAT_EQ(D3DRMVectorModulus(&c), 13.0f);
}

TEST(D3DRMFrame, OrientationIsNormalisedAndSquared)
{
    const auto d3drm = Root();
    const auto scene = Frame(d3drm, nullptr);
    const auto camera = Frame(d3drm, scene);
    ASSERT_EQ(camera->SetOrientation(scene, 0.3f, -0.3f, 1, 0, 1, 0), D3DRM_OK);
    D3DVECTOR dir, up;
    ASSERT_EQ(camera->GetOrientation(scene, dir, up), D3DRM_OK);
    // dir / |dir| with |dir| = sqrt(1.18); up made square to it: Z x normalize(up x Z).
    ExpectVec(dir, 0.276172f, -0.276172f, 0.920575f);
    ExpectVec(up, 0.079357f, 0.961106f, 0.264522f);

    EXPECT_EQ(camera->SetOrientation(scene, 0, 0, 0, 0, 1, 0), D3DRMERR_BADVALUE);
    EXPECT_EQ(camera->SetOrientation(scene, 0, 2, 0, 0, 1, 0), D3DRMERR_BADVALUE);
}

TEST(D3DRMFrame, PositionsRelativeToARotatedReference)
{
    const auto d3drm = Root();
    const auto scene = Frame(d3drm, nullptr);
    const auto a = Frame(d3drm, scene);
    // A looks along world +X, so its X axis is up x dir = (0, 0, -1).
    ASSERT_EQ(a->SetOrientation(scene, 1, 0, 0, 0, 1, 0), D3DRM_OK);
    ASSERT_EQ(a->SetPosition(scene, 10, 0, 0), D3DRM_OK);
    const auto b = Frame(d3drm, scene);
    ASSERT_EQ(b->SetPosition(a, 1, 0, 2), D3DRM_OK);
    D3DVECTOR p;
    ASSERT_EQ(b->GetPosition(scene, p), D3DRM_OK);
    ExpectVec(p, 12, 0, -1);
    ASSERT_EQ(b->GetPosition(a, p), D3DRM_OK);
    ExpectVec(p, 1, 0, 2);
    ASSERT_EQ(b->GetPosition(nullptr, p), D3DRM_OK);
    ExpectVec(p, 12, 0, -1);

    // A child of A placed at the scene origin sits at -10 along A's Z axis.
    const auto c = Frame(d3drm, a);
    ASSERT_EQ(c->SetPosition(scene, 0, 0, 0), D3DRM_OK);
    ASSERT_EQ(c->GetPosition(a, p), D3DRM_OK);
    ExpectVec(p, 0, 0, -10);
    D3DVECTOR dir, up;
    ASSERT_EQ(c->GetOrientation(scene, dir, up), D3DRM_OK);
    ExpectVec(dir, 1, 0, 0); // inherits A's orientation
    ExpectVec(up, 0, 1, 0);
}

TEST(D3DRMFrame, RotationAndVelocityAdvancePerMove)
{
    const auto d3drm = Root();
    const auto scene = Frame(d3drm, nullptr);
    const auto model = Frame(d3drm, scene);
    const float pi = 3.14159265358979f;
    ASSERT_EQ(model->SetPosition(scene, 1, 2, 3), D3DRM_OK);
    ASSERT_EQ(model->SetRotation(scene, 0, 1, 0, pi / 2), D3DRM_OK);
    ASSERT_EQ(scene->Move(1.0f), D3DRM_OK);
    D3DVECTOR dir, up, p;
    model->GetOrientation(scene, dir, up);
    // Z turns into (a x Z) = +X for a quarter turn about +Y.
    ExpectVec(dir, 1, 0, 0);
    ExpectVec(up, 0, 1, 0);
    model->GetPosition(scene, p);
    ExpectVec(p, 1, 2, 3); // turns about its own origin
    scene->Move(0.5f);
    scene->Move(0.5f);
    model->GetOrientation(scene, dir, up);
    ExpectVec(dir, 0, 0, -1);

    // A zero axis stops the turning.
    ASSERT_EQ(model->SetRotation(scene, 0, 0, 0, 1.0f), D3DRM_OK);
    scene->Move(1.0f);
    model->GetOrientation(scene, dir, up);
    ExpectVec(dir, 0, 0, -1);

    // Velocity in the reference frame's axes, scaled by the step.
    const auto a = Frame(d3drm, scene);
    ASSERT_EQ(a->SetOrientation(scene, 1, 0, 0, 0, 1, 0), D3DRM_OK);
    const auto camera = Frame(d3drm, scene);
    ASSERT_EQ(camera->SetVelocity(scene, 1, 2, 3, 0), D3DRM_OK);
    scene->Move(1.0f);
    scene->Move(0.5f);
    camera->GetPosition(scene, p);
    ExpectVec(p, 1.5f, 3, 4.5f);
    ASSERT_EQ(camera->SetVelocity(a, 0, 0, 1, 0), D3DRM_OK);
    scene->Move(1.0f);
    camera->GetPosition(scene, p);
    ExpectVec(p, 2.5f, 3, 4.5f);
}

TEST(D3DRMFrame, ChildrenAndRelease)
{
    const auto d3drm = Root();
    auto scene = Frame(d3drm, nullptr);
    auto child = Frame(d3drm, scene);
    const auto stranger = Frame(d3drm, nullptr);
    EXPECT_EQ(scene->GetChildCount(), 1);
    EXPECT_EQ(child->GetParent(), scene);
    EXPECT_EQ(scene->DeleteChild(stranger), D3DRMERR_NOTFOUND);
    EXPECT_EQ(scene->DeleteChild(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(scene->DeleteChild(child), D3DRM_OK);
    EXPECT_EQ(scene->GetChildCount(), 0);
    EXPECT_EQ(child->GetParent(), nullptr);

    // The scene owns its children: releasing the last outside reference frees them all.
    const std::weak_ptr<IDirect3DRMFrame> watch = Frame(d3drm, scene);
    EXPECT_FALSE(watch.expired());
    COMRelease(scene);
    EXPECT_EQ(scene, nullptr);
    EXPECT_TRUE(watch.expired());
}

TEST(D3DRMMeshBuilder, LoadResultsScaleAndBox)
{
    const auto d3drm = Root();
    LPDIRECT3DRMMESHBUILDER builder;
    ASSERT_EQ(d3drm->CreateMeshBuilder(builder), D3DRM_OK);
    EXPECT_EQ(builder->Load("/nonexistent/model.x", nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr),
              D3DRMERR_FILENOTFOUND);
    const std::string bad = TempFile("quillmark_bad.x", "xof 0302txt 0064\nMesh { 2; 0;0;0;; }");
    EXPECT_EQ(builder->Load(bad, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr), D3DRMERR_BADFILE);
    const std::string binary = TempFile("quillmark_bin.x", "xof 0302bin 0064\x01\x02");
    EXPECT_EQ(builder->Load(binary, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr),
              D3DRMERR_BADFILE);
    const std::string good =
        TempFile("quillmark_good.x", "xof 0302txt 0064\r\nMesh {\r\n 3;\r\n -1.0;0.0;2.0;,\r\n"
                                     " 3.0;1.0;0.0;,\r\n 0.0;-2.0;1.0;,\r\n\r\n 1;\r\n"
                                     " 3;2,1,0;,\r\n}\r\n");
    ASSERT_EQ(builder->Load(good, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr), D3DRM_OK);
    EXPECT_EQ(builder->GetVertexCount(), 3);
    EXPECT_EQ(builder->GetFaceCount(), 1);
    ASSERT_EQ(builder->Scale(2, 2, 2), D3DRM_OK);
    D3DRMBOX box;
    ASSERT_EQ(builder->GetBox(box), D3DRM_OK);
    ExpectVec(box.min, -2, -4, 0);
    ExpectVec(box.max, 6, 2, 4);

    // AddFrame places children's visuals in the frame's coordinates, without the frame's own
    // placement.
    const auto scene = Frame(d3drm, nullptr);
    const auto model = Frame(d3drm, scene);
    const auto part = Frame(d3drm, model);
    model->SetPosition(scene, 100, 100, 100);
    part->SetPosition(model, 10, 0, 0);
    ASSERT_EQ(part->AddVisual(builder), D3DRM_OK);
    LPDIRECT3DRMMESHBUILDER collector;
    d3drm->CreateMeshBuilder(collector);
    D3DRMBOX empty;
    ASSERT_EQ(collector->GetBox(empty), D3DRM_OK);
    ExpectVec(empty.max, 0, 0, 0);
    ASSERT_EQ(collector->AddFrame(model), D3DRM_OK);
    ASSERT_EQ(collector->GetBox(box), D3DRM_OK);
    ExpectVec(box.min, 8, -4, 0);
    ExpectVec(box.max, 16, 2, 4);
    EXPECT_EQ(collector->GetFaceCount(), 1);
    for (const std::string& f : {bad, binary, good})
        std::remove(f.c_str());
}

TEST(D3DRMMeshBuilder, FaceLooksFitTheMeshFollowItAndGoWithTheNextLoad)
{
    // A triangle and a quad (7 corners); then a second file with one triangle.
    const std::string two =
        TempFile("quillmark_looks.x", "xof 0302txt 0064\nMesh { 4; 0;0;1;, 1;0;1;, 1;1;1;, 0;1;1;;"
                                      " 2; 3;0,1,2;, 4;0,1,2,3;; }\n");
    const std::string one =
        TempFile("quillmark_plain.x", "xof 0302txt 0064\nMesh { 3; 0;0;1;, 1;0;1;, 1;1;1;; 1;"
                                      " 3;0,1,2;; }\n");
    const auto d3drm = Root();
    LPDIRECT3DRMMESHBUILDER builder;
    ASSERT_EQ(d3drm->CreateMeshBuilder(builder), D3DRM_OK);
    ASSERT_EQ(builder->Load(two, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr), D3DRM_OK);
    TFaceLooks looks;
    looks.FaceTextures = {0, -1};
    looks.FaceFlags = {kFaceTranslucent, kFaceDoubleSided};
    looks.TexCoords.assign(14, 0.5f);
    looks.FaceColors = {1, 1, 1, 0.5f, 0, 0};
    looks.Textures.push_back(std::make_shared<TRenderTexture>(TRenderTexture{2, 1, {1, 2}}));
    for (auto spoil :
         std::vector<std::function<void(TFaceLooks&)>>{
             [](TFaceLooks& l) { l.FaceFlags.pop_back(); },
             [](TFaceLooks& l) { l.TexCoords.pop_back(); },
             [](TFaceLooks& l) { l.FaceColors.pop_back(); },
             [](TFaceLooks& l) { l.FaceTextures[1] = 1; },
             [](TFaceLooks& l) { l.FaceTextures[1] = -2; },
             [](TFaceLooks& l) {
                 l.Textures[0] = std::make_shared<TRenderTexture>(TRenderTexture{2, 2, {1, 2}});
             }})
    {
        TFaceLooks bad = looks;
        spoil(bad);
        EXPECT_EQ(builder->SetFaceLooks(bad), D3DRMERR_BADVALUE);
    }
    ASSERT_EQ(builder->SetFaceLooks(looks), D3DRM_OK);
    ASSERT_EQ(builder->Scale(2, 2, 2), D3DRM_OK);

    // What a driver is given: the builder on its own, then gathered after a plain mesh.
    std::vector<TRenderView> log;
    TDriverRegistration recording;
    recording.Guid = kFakeGuid;
    recording.Factory = [&](int w, int h) { return std::make_unique<TRecordingDriver>(w, h, log); };
    RegisterD3DDriver(recording);
    LPDIRECTDRAWCLIPPER clipper;
    DirectDrawCreateClipper(0, clipper, nullptr);
    LPDIRECT3DRMDEVICE device;
    ASSERT_EQ(d3drm->CreateDeviceFromClipper(clipper, &kFakeGuid, 4, 4, device), D3DRM_OK);
    const auto scene = Frame(d3drm, nullptr);
    const auto camera = Frame(d3drm, scene);
    const auto model = Frame(d3drm, scene);
    const auto other = Frame(d3drm, nullptr);
    LPDIRECT3DRMVIEWPORT viewport;
    ASSERT_EQ(d3drm->CreateViewport(device, camera, 0, 0, 4, 4, viewport), D3DRM_OK);
    ASSERT_EQ(model->AddVisual(builder), D3DRM_OK);
    auto drawn = [&](const LPDIRECT3DRMFRAME& root)
    {
        log.clear();
        EXPECT_EQ(viewport->Render(root), D3DRM_OK);
        return log.at(0).Items.at(0).Mesh;
    };
    auto mesh = drawn(scene);
    EXPECT_EQ(mesh->FaceColors, looks.FaceColors);
    EXPECT_EQ(mesh->Looks.FaceFlags, looks.FaceFlags);
    EXPECT_EQ(mesh->Looks.TexCoords, looks.TexCoords);
    EXPECT_FLOAT_EQ(mesh->Positions[2], 2.0f); // scaled, looks and all

    LPDIRECT3DRMMESHBUILDER gathered;
    ASSERT_EQ(d3drm->CreateMeshBuilder(gathered), D3DRM_OK);
    ASSERT_EQ(gathered->Load(one, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr), D3DRM_OK);
    ASSERT_EQ(gathered->AddFrame(scene), D3DRM_OK);
    ASSERT_EQ(other->AddVisual(gathered), D3DRM_OK);
    mesh = drawn(other);
    EXPECT_EQ(mesh->Looks.FaceTextures, (std::vector<std::int32_t>{-1, 0, -1}));
    EXPECT_EQ(mesh->Looks.FaceFlags,
              (std::vector<std::uint8_t>{0, kFaceTranslucent, kFaceDoubleSided}));
    ASSERT_EQ(mesh->Looks.TexCoords.size(), 20u);
    EXPECT_EQ(mesh->Looks.TexCoords[5], 0.0f);
    EXPECT_EQ(mesh->Looks.TexCoords[6], 0.5f);
    EXPECT_EQ(mesh->Looks.Textures, looks.Textures);
    EXPECT_EQ(mesh->FaceColors, (std::vector<float>{1, 1, 1, 1, 1, 1, 0.5f, 0, 0}));

    ASSERT_EQ(builder->Load(two, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr), D3DRM_OK);
    mesh = drawn(scene);
    EXPECT_TRUE(mesh->Looks.Empty());
    EXPECT_EQ(mesh->FaceColors, (std::vector<float>{1, 1, 1, 1, 1, 1}));
    COMRelease(viewport);
    COMRelease(device);
    EXPECT_TRUE(UnregisterD3DDriver(kFakeGuid));
    for (const std::string& f : {two, one})
        std::remove(f.c_str());
}

TEST(D3DRMDevice, CreationChecksAndPresentation)
{
    const auto d3drm = Root();
    LPDIRECTDRAWCLIPPER clipper;
    ASSERT_EQ(DirectDrawCreateClipper(0, clipper, nullptr), DD_OK);
    TCapture window;
    ASSERT_EQ(clipper->SetHWnd(0, &window), DD_OK);
    LPDIRECT3DRMDEVICE device;
    EXPECT_EQ(d3drm->CreateDeviceFromClipper(nullptr, nullptr, 10, 10, device),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(d3drm->CreateDeviceFromClipper(clipper, nullptr, 0, 10, device), DDERR_INVALIDPARAMS);
    EXPECT_EQ(d3drm->CreateDeviceFromClipper(clipper, &kFakeGuid, 10, 10, device),
              DDERR_INVALIDDIRECTDRAWGUID);
    ASSERT_EQ(d3drm->CreateDeviceFromClipper(clipper, nullptr, 12, 10, device), D3DRM_OK);
    EXPECT_EQ(device->GetWidth(), 12u);
    EXPECT_EQ(device->GetHeight(), 10u);
    EXPECT_EQ(device->SetShades(3), D3DRMERR_BADVALUE);
    ASSERT_EQ(device->SetShades(256), D3DRM_OK);
    EXPECT_EQ(device->GetShades(), 256u);
    ASSERT_EQ(device->SetQuality(D3DRMRENDER_FLAT), D3DRM_OK);
    EXPECT_EQ(device->GetQuality(), 0x88u);

    const auto scene = Frame(d3drm, nullptr);
    const auto camera = Frame(d3drm, scene);
    LPDIRECT3DRMVIEWPORT viewport;
    EXPECT_EQ(d3drm->CreateViewport(device, camera, 0, 0, 13, 10, viewport), DDERR_INVALIDPARAMS);
    ASSERT_EQ(d3drm->CreateViewport(device, camera, 0, 0, 12, 10, viewport), D3DRM_OK);
    EXPECT_EQ(viewport->SetBack(0.5f), D3DRMERR_BADVALUE);
    ASSERT_EQ(viewport->SetBack(5000.0f), D3DRM_OK);
    EXPECT_EQ(viewport->GetBack(), 5000.0f);

    ASSERT_EQ(viewport->Clear(), D3DRM_OK);
    ASSERT_EQ(viewport->Render(scene), D3DRM_OK);
    EXPECT_EQ(window.Count, 0);
    ASSERT_EQ(device->Update(), D3DRM_OK);
    EXPECT_EQ(window.Count, 1);
    EXPECT_EQ(window.Last.Width, 12);
    EXPECT_EQ(window.Last.Pixels.size(), 120u);

    LPDIRECT3DRMWINDEVICE winDevice;
    ASSERT_EQ(device->QueryInterface(winDevice), D3DRM_OK);
    TCapture canvas;
    EXPECT_EQ(winDevice->HandlePaint(nullptr), DDERR_INVALIDPARAMS);
    ASSERT_EQ(winDevice->HandlePaint(&canvas), D3DRM_OK);
    EXPECT_EQ(canvas.Count, 1);
    EXPECT_EQ(winDevice->HandleActivate(1), D3DRM_OK);
    // The window interface keeps the device alive on its own.
    const std::weak_ptr<IDirect3DRMDevice> watch = device;
    COMRelease(viewport);
    COMRelease(device);
    EXPECT_FALSE(watch.expired());
    COMRelease(winDevice);
    EXPECT_TRUE(watch.expired());
}

TEST(D3DRMDevice, RendersTheLitSceneThroughTheCamera)
{
    // The camera 4 units in front of a white square facing it; one light along +Z at 0.9
    // and ambient 0.1: the square's pixels are fully lit, the rest black.
    const auto d3drm = Root();
    LPDIRECTDRAWCLIPPER clipper;
    DirectDrawCreateClipper(0, clipper, nullptr);
    LPDIRECT3DRMDEVICE device;
    ASSERT_EQ(d3drm->CreateDeviceFromClipper(clipper, nullptr, 8, 8, device), D3DRM_OK);
    device->SetShades(256);
    const auto scene = Frame(d3drm, nullptr);
    const auto camera = Frame(d3drm, scene);
    camera->SetPosition(scene, 5, 0, -4);
    const auto lights = Frame(d3drm, scene);
    LPDIRECT3DRMLIGHT light;
    d3drm->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 0.9f, 0.9f, 0.9f, light);
    lights->AddLight(light);
    d3drm->CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.1f, 0.1f, 0.1f, light);
    lights->AddLight(light);
    const auto model = Frame(d3drm, scene);
    model->SetPosition(scene, 5, 0, 0);
    LPDIRECT3DRMMESHBUILDER builder;
    d3drm->CreateMeshBuilder(builder);
    const std::string file =
        TempFile("quillmark_square.x", "xof 0302txt 0064\nMesh { 4; -1;-1;0;, -1;1;0;, 1;1;0;, "
                                       "1;-1;0;; 1; 4;0,1,2,3;; }\n");
    ASSERT_EQ(builder->Load(file, nullptr, D3DRMLOAD_FROMFILE, nullptr, nullptr), D3DRM_OK);
    model->AddVisual(builder);
    LPDIRECT3DRMVIEWPORT viewport;
    ASSERT_EQ(d3drm->CreateViewport(device, camera, 0, 0, 8, 8, viewport), D3DRM_OK);
    viewport->Clear();
    ASSERT_EQ(viewport->Render(scene), D3DRM_OK);
    // Half-size 1 at distance 4: 0.25 of x/z, 2 pixels either side of the centre.
    const TFrameBuffer& f = device->GetFrameBuffer();
    int lit = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
        {
            const bool inside = x >= 2 && x <= 5 && y >= 2 && y <= 5;
            EXPECT_EQ(f.Pixels[y * 8 + x], inside ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
            lit += inside;
        }
    EXPECT_EQ(lit, 16);
    std::remove(file.c_str());
}

TEST(D3DRMDrivers, EnumerationAndRegisteredDriver)
{
    struct TSeen
    {
        GUID Guid;
        std::string Name, Description;
        D3DDEVICEDESC HW, HEL;
    };
    auto enumerate = []
    {
        std::vector<TSeen> seen;
        LPDIRECTDRAW dd;
        EXPECT_EQ(DirectDrawCreate(nullptr, dd, nullptr), DD_OK);
        LPDIRECT3D d3d;
        EXPECT_EQ(dd->QueryInterface(d3d), DD_OK);
        EXPECT_EQ(d3d->EnumDevices(
                      [&](const GUID* g, const std::string& desc, const std::string& name,
                          const D3DDEVICEDESC& hw, const D3DDEVICEDESC& hel, void*)
                      {
                          seen.push_back({*g, name, desc, hw, hel});
                          return D3DENUMRET_OK;
                      },
                      nullptr),
                  0);
        return seen;
    };
    const auto builtin = enumerate();
    ASSERT_EQ(builtin.size(), 1u);
    EXPECT_EQ(builtin[0].Name, "RGB Emulation");
    EXPECT_EQ(builtin[0].HW.dcmColorModel, 0u);
    EXPECT_EQ(builtin[0].HEL.dcmColorModel, D3DCOLOR_RGB);
    EXPECT_TRUE(builtin[0].HEL.dwDeviceRenderBitDepth & DDBD_32);
    EXPECT_TRUE(builtin[0].HEL.dwDeviceRenderBitDepth & DDBD_16);
    EXPECT_FALSE(builtin[0].HEL.dwDeviceRenderBitDepth & DDBD_1);

    std::vector<TRenderView> log;
    TDriverRegistration fake;
    fake.Guid = kFakeGuid;
    fake.Name = "Fake HAL";
    fake.Description = "Recording driver";
    fake.HWDesc.dcmColorModel = D3DCOLOR_RGB;
    fake.HWDesc.dwDeviceRenderBitDepth = DDBD_16;
    fake.Factory = [&](int w, int h) { return std::make_unique<TRecordingDriver>(w, h, log); };
    RegisterD3DDriver(fake);
    const auto both = enumerate();
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[1].Guid, kFakeGuid);
    EXPECT_EQ(both[1].Description, "Recording driver");

    const auto d3drm = Root();
    LPDIRECTDRAWCLIPPER clipper;
    DirectDrawCreateClipper(0, clipper, nullptr);
    LPDIRECT3DRMDEVICE device;
    ASSERT_EQ(d3drm->CreateDeviceFromClipper(clipper, &kFakeGuid, 4, 3, device), D3DRM_OK);
    EXPECT_EQ(device->GetFrameBuffer().Pixels[0], 0xFF010203u);
    const auto scene = Frame(d3drm, nullptr);
    const auto camera = Frame(d3drm, scene);
    const auto lights = Frame(d3drm, scene);
    lights->SetOrientation(scene, 1, 0, 0, 0, 1, 0);
    LPDIRECT3DRMLIGHT light;
    d3drm->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 0.9f, 0.8f, 0.7f, light);
    lights->AddLight(light);
    d3drm->CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.1f, 0.1f, 0.1f, light);
    lights->AddLight(light);
    camera->SetPosition(scene, 0, 0, -15);
    LPDIRECT3DRMVIEWPORT viewport;
    ASSERT_EQ(d3drm->CreateViewport(device, camera, 0, 0, 4, 3, viewport), D3DRM_OK);
    viewport->SetBack(5000);
    ASSERT_EQ(viewport->Render(scene), D3DRM_OK);
    ASSERT_EQ(log.size(), 1u);
    const TRenderView& v = log[0];
    EXPECT_EQ(v.Width, 4);
    EXPECT_EQ(v.Back, 5000.0f);
    EXPECT_FLOAT_EQ(v.Lights.Ambient[0], 0.1f);
    ASSERT_EQ(v.Lights.Directional.size(), 1u);
    EXPECT_NEAR(v.Lights.Directional[0].Direction[0], 1.0f, kTol); // the light frame's Z axis
    EXPECT_FLOAT_EQ(v.Lights.Directional[0].Color[1], 0.8f);
    EXPECT_NEAR(v.View.M[11], 15.0f, kTol); // the scene origin lies 15 ahead of the camera

    // The registered driver can be the default one; unregistering restores the built-in.
    SetDefaultD3DDriver(kFakeGuid);
    LPDIRECT3DRMDEVICE byDefault;
    ASSERT_EQ(d3drm->CreateDeviceFromClipper(clipper, nullptr, 4, 3, byDefault), D3DRM_OK);
    EXPECT_EQ(byDefault->GetFrameBuffer().Pixels[0], 0xFF010203u);
    EXPECT_TRUE(UnregisterD3DDriver(kFakeGuid));
    EXPECT_FALSE(UnregisterD3DDriver(kFakeGuid));
    EXPECT_EQ(enumerate().size(), 1u);
    ASSERT_EQ(d3drm->CreateDeviceFromClipper(clipper, nullptr, 4, 3, byDefault), D3DRM_OK);
    EXPECT_EQ(byDefault->GetFrameBuffer().Pixels[0], 0xFF000000u);
}

TEST(D3DRMPlatform, AFakePlatformServesTheEntryPoints)
{
    class TFailingPlatform : public TD3DPlatform
    {
    public:
        HRESULT Direct3DRMCreate(LPDIRECT3DRM&) override { return DDERR_OUTOFMEMORY; }
        HRESULT DirectDrawCreate(const GUID*, LPDIRECTDRAW&, void*) override
        {
            return DDERR_NODIRECTDRAWHW;
        }
        HRESULT DirectDrawCreateClipper(DWORD, LPDIRECTDRAWCLIPPER&, void*) override
        {
            return DDERR_NOCLIPPERATTACHED;
        }
    };
    SetD3DPlatform(std::make_shared<TFailingPlatform>());
    LPDIRECT3DRM d3drm;
    LPDIRECTDRAW dd;
    LPDIRECTDRAWCLIPPER clipper;
    EXPECT_EQ(Direct3DRMCreate(d3drm), DDERR_OUTOFMEMORY);
    EXPECT_EQ(d3drm, nullptr);
    EXPECT_EQ(DirectDrawCreate(nullptr, dd, nullptr), DDERR_NODIRECTDRAWHW);
    EXPECT_EQ(DirectDrawCreateClipper(0, clipper, nullptr), DDERR_NOCLIPPERATTACHED);
    SetD3DPlatform(nullptr);
    EXPECT_EQ(Direct3DRMCreate(d3drm), D3DRM_OK);
    EXPECT_NE(d3drm, nullptr);
}

TEST(D3DRMDrivers, SoftwareOpenGLRenderersAreKnownByName)
{
    for (const char* renderer : {"llvmpipe (LLVM 15.0.6, 256 bits)", "Gallium 0.4 on softpipe",
                                 "Mesa OffScreen swrast", "Software Rasterizer"})
        EXPECT_TRUE(IsSoftwareOpenGLRenderer(renderer)) << renderer;
    for (const char* renderer : {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)",
                                 "NVIDIA GeForce RTX 3060/PCIe/SSE2", "AMD Radeon RX 6600 (radeonsi)",
                                 ""})
        EXPECT_FALSE(IsSoftwareOpenGLRenderer(renderer)) << renderer;
}
