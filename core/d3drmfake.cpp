// Recording wrappers around the built-in retained-mode layer.
#include "d3drmfake.h"

#include <algorithm>
#include <utility>

namespace
{
using TState = TRecordingPlatform::TState;
using TStatePtr = std::shared_ptr<TState>;

// Base of every wrapper: the shared log and the object it stands for. Destruction is the
// last Release.
template <class TInterface> class TWrapper
{
public:
    TWrapper(TStatePtr state, std::shared_ptr<TInterface> inner, const char* name)
        : FState(std::move(state)), FInner(std::move(inner)), FName(name)
    {
    }
    ~TWrapper() { FState->Log.push_back(std::string(FName) + "::Release"); }
    TWrapper(const TWrapper&) = delete;
    TWrapper& operator=(const TWrapper&) = delete;

    const std::shared_ptr<TInterface>& Inner() const { return FInner; }

protected:
    HRESULT Enter(const char* method) { return FState->Enter(std::string(FName) + "::" + method); }

    TStatePtr FState;
    std::shared_ptr<TInterface> FInner;
    const char* FName;
};

// The wrapped object behind a wrapper; objects that are not wrappers pass unchanged, so the
// real layer can reject them.
template <class TWrapperType, class TInterface>
std::shared_ptr<TInterface> Unwrap(const std::shared_ptr<TInterface>& object)
{
    if (const auto wrapper = std::dynamic_pointer_cast<TWrapperType>(object))
        return wrapper->Inner();
    return object;
}

// Runs `create`, which makes an object of the real layer, and on success hands out that
// object in its recording wrapper.
template <class TFake, class TObject, class TCreate>
HRESULT Wrapped(const TStatePtr& state, std::shared_ptr<TObject>& out, TCreate&& create)
{
    std::shared_ptr<TObject> inner;
    const HRESULT r = create(inner);
    if (r == D3DRM_OK)
        out = std::make_shared<TFake>(state, inner);
    return r;
}

class TFakeLight : public IDirect3DRMLight, public TWrapper<IDirect3DRMLight>
{
public:
    TFakeLight(TStatePtr s, LPDIRECT3DRMLIGHT inner)
        : TWrapper(std::move(s), std::move(inner), "IDirect3DRMLight")
    {
    }
    D3DRMLIGHTTYPE GetType() override { return FInner->GetType(); }
    D3DVECTOR GetColor() override { return FInner->GetColor(); }
};

class TFakeFrame;

class TFakeMeshBuilder : public IDirect3DRMMeshBuilder, public TWrapper<IDirect3DRMMeshBuilder>
{
public:
    TFakeMeshBuilder(TStatePtr s, LPDIRECT3DRMMESHBUILDER inner)
        : TWrapper(std::move(s), std::move(inner), "IDirect3DRMMeshBuilder")
    {
    }
    HRESULT Load(const std::string& fileName, const char* objectName, D3DRMLOADOPTIONS options,
                 void* callback, void* arg) override
    {
        if (const HRESULT r = Enter("Load"))
            return r;
        return FInner->Load(fileName, objectName, options, callback, arg);
    }
    HRESULT Scale(D3DVALUE sx, D3DVALUE sy, D3DVALUE sz) override
    {
        if (const HRESULT r = Enter("Scale"))
            return r;
        return FInner->Scale(sx, sy, sz);
    }
    HRESULT AddFrame(const LPDIRECT3DRMFRAME& frame) override;
    HRESULT GetBox(D3DRMBOX& box) override
    {
        if (const HRESULT r = Enter("GetBox"))
            return r;
        return FInner->GetBox(box);
    }
    int GetVertexCount() override { return FInner->GetVertexCount(); }
    int GetFaceCount() override { return FInner->GetFaceCount(); }
};

class TFakeFrame : public IDirect3DRMFrame, public TWrapper<IDirect3DRMFrame>
{
public:
    TFakeFrame(TStatePtr s, LPDIRECT3DRMFRAME inner)
        : TWrapper(std::move(s), std::move(inner), "IDirect3DRMFrame")
    {
    }
    HRESULT AddLight(const LPDIRECT3DRMLIGHT& light) override
    {
        if (const HRESULT r = Enter("AddLight"))
            return r;
        return FInner->AddLight(Unwrap<TFakeLight>(light));
    }
    HRESULT AddVisual(const LPDIRECT3DRMMESHBUILDER& visual) override
    {
        if (const HRESULT r = Enter("AddVisual"))
            return r;
        return FInner->AddVisual(Unwrap<TFakeMeshBuilder>(visual));
    }
    HRESULT DeleteChild(const LPDIRECT3DRMFRAME& child) override
    {
        if (const HRESULT r = Enter("DeleteChild"))
            return r;
        return FInner->DeleteChild(Unwrap<TFakeFrame>(child));
    }
    HRESULT Move(D3DVALUE delta) override
    {
        if (const HRESULT r = Enter("Move"))
            return r;
        return FInner->Move(delta);
    }
    HRESULT SetPosition(const LPDIRECT3DRMFRAME& reference, D3DVALUE x, D3DVALUE y,
                        D3DVALUE z) override
    {
        if (const HRESULT r = Enter("SetPosition"))
            return r;
        return FInner->SetPosition(Unwrap<TFakeFrame>(reference), x, y, z);
    }
    HRESULT SetOrientation(const LPDIRECT3DRMFRAME& reference, D3DVALUE dx, D3DVALUE dy,
                           D3DVALUE dz, D3DVALUE ux, D3DVALUE uy, D3DVALUE uz) override
    {
        if (const HRESULT r = Enter("SetOrientation"))
            return r;
        return FInner->SetOrientation(Unwrap<TFakeFrame>(reference), dx, dy, dz, ux, uy, uz);
    }
    HRESULT SetRotation(const LPDIRECT3DRMFRAME& reference, D3DVALUE x, D3DVALUE y, D3DVALUE z,
                        D3DVALUE theta) override
    {
        if (const HRESULT r = Enter("SetRotation"))
            return r;
        return FInner->SetRotation(Unwrap<TFakeFrame>(reference), x, y, z, theta);
    }
    HRESULT SetVelocity(const LPDIRECT3DRMFRAME& reference, D3DVALUE x, D3DVALUE y, D3DVALUE z,
                        BOOL withRotation) override
    {
        if (const HRESULT r = Enter("SetVelocity"))
            return r;
        return FInner->SetVelocity(Unwrap<TFakeFrame>(reference), x, y, z, withRotation);
    }
    HRESULT GetPosition(const LPDIRECT3DRMFRAME& reference, D3DVECTOR& position) override
    {
        if (const HRESULT r = Enter("GetPosition"))
            return r;
        return FInner->GetPosition(Unwrap<TFakeFrame>(reference), position);
    }
    HRESULT GetOrientation(const LPDIRECT3DRMFRAME& reference, D3DVECTOR& direction,
                           D3DVECTOR& up) override
    {
        if (const HRESULT r = Enter("GetOrientation"))
            return r;
        return FInner->GetOrientation(Unwrap<TFakeFrame>(reference), direction, up);
    }
    LPDIRECT3DRMFRAME GetParent() override
    {
        LPDIRECT3DRMFRAME parent = FInner->GetParent();
        return parent ? std::make_shared<TFakeFrame>(FState, parent) : nullptr;
    }
    int GetChildCount() override { return FInner->GetChildCount(); }
};

HRESULT TFakeMeshBuilder::AddFrame(const LPDIRECT3DRMFRAME& frame)
{
    if (const HRESULT r = Enter("AddFrame"))
        return r;
    return FInner->AddFrame(Unwrap<TFakeFrame>(frame));
}

class TFakeWinDevice : public IDirect3DRMWinDevice, public TWrapper<IDirect3DRMWinDevice>
{
public:
    TFakeWinDevice(TStatePtr s, LPDIRECT3DRMWINDEVICE inner)
        : TWrapper(std::move(s), std::move(inner), "IDirect3DRMWinDevice")
    {
    }
    HRESULT HandlePaint(HDC dc) override
    {
        if (const HRESULT r = Enter("HandlePaint"))
            return r;
        return FInner->HandlePaint(dc);
    }
    HRESULT HandleActivate(WORD wparam) override
    {
        if (const HRESULT r = Enter("HandleActivate"))
            return r;
        return FInner->HandleActivate(wparam);
    }
};

class TFakeDevice : public IDirect3DRMDevice, public TWrapper<IDirect3DRMDevice>
{
public:
    TFakeDevice(TStatePtr s, LPDIRECT3DRMDEVICE inner)
        : TWrapper(std::move(s), std::move(inner), "IDirect3DRMDevice")
    {
    }
    HRESULT QueryInterface(LPDIRECT3DRMWINDEVICE& winDevice) override
    {
        if (const HRESULT r = Enter("QueryInterface"))
            return r;
        return Wrapped<TFakeWinDevice>(FState, winDevice,
                                       [&](LPDIRECT3DRMWINDEVICE& inner)
                                       { return FInner->QueryInterface(inner); });
    }
    HRESULT Update() override
    {
        if (const HRESULT r = Enter("Update"))
            return r;
        return FInner->Update();
    }
    DWORD GetWidth() override { return FInner->GetWidth(); }
    DWORD GetHeight() override { return FInner->GetHeight(); }
    BOOL GetDither() override { return FInner->GetDither(); }
    D3DRMRENDERQUALITY GetQuality() override { return FInner->GetQuality(); }
    DWORD GetShades() override { return FInner->GetShades(); }
    HRESULT SetDither(BOOL dither) override
    {
        if (const HRESULT r = Enter("SetDither"))
            return r;
        return FInner->SetDither(dither);
    }
    HRESULT SetQuality(D3DRMRENDERQUALITY quality) override
    {
        if (const HRESULT r = Enter("SetQuality"))
            return r;
        return FInner->SetQuality(quality);
    }
    HRESULT SetShades(DWORD shades) override
    {
        if (const HRESULT r = Enter("SetShades"))
            return r;
        return FInner->SetShades(shades);
    }
    const TFrameBuffer& GetFrameBuffer() override { return FInner->GetFrameBuffer(); }
};

class TFakeViewport : public IDirect3DRMViewport, public TWrapper<IDirect3DRMViewport>
{
public:
    TFakeViewport(TStatePtr s, LPDIRECT3DRMVIEWPORT inner)
        : TWrapper(std::move(s), std::move(inner), "IDirect3DRMViewport")
    {
    }
    HRESULT Clear() override
    {
        if (const HRESULT r = Enter("Clear"))
            return r;
        return FInner->Clear();
    }
    HRESULT Render(const LPDIRECT3DRMFRAME& scene) override
    {
        if (const HRESULT r = Enter("Render"))
            return r;
        return FInner->Render(Unwrap<TFakeFrame>(scene));
    }
    HRESULT SetBack(D3DVALUE back) override
    {
        if (const HRESULT r = Enter("SetBack"))
            return r;
        return FInner->SetBack(back);
    }
    D3DVALUE GetBack() override { return FInner->GetBack(); }
};

class TFakeClipper : public IDirectDrawClipper, public TWrapper<IDirectDrawClipper>
{
public:
    TFakeClipper(TStatePtr s, LPDIRECTDRAWCLIPPER inner)
        : TWrapper(std::move(s), std::move(inner), "IDirectDrawClipper")
    {
    }
    HRESULT SetHWnd(DWORD flags, HWND window) override
    {
        if (const HRESULT r = Enter("SetHWnd"))
            return r;
        return FInner->SetHWnd(flags, window);
    }
    HWND GetHWnd() override { return FInner->GetHWnd(); }
};

class TFakeDirect3D : public IDirect3D, public TWrapper<IDirect3D>
{
public:
    TFakeDirect3D(TStatePtr s, LPDIRECT3D inner)
        : TWrapper(std::move(s), std::move(inner), "IDirect3D")
    {
    }
    HRESULT EnumDevices(const LPD3DENUMDEVICESCALLBACK& callback, void* context) override
    {
        if (const HRESULT r = Enter("EnumDevices"))
            return r;
        return FInner->EnumDevices(callback, context);
    }
};

class TFakeDirectDraw : public IDirectDraw, public TWrapper<IDirectDraw>
{
public:
    TFakeDirectDraw(TStatePtr s, LPDIRECTDRAW inner)
        : TWrapper(std::move(s), std::move(inner), "IDirectDraw")
    {
    }
    HRESULT QueryInterface(LPDIRECT3D& direct3D) override
    {
        if (const HRESULT r = Enter("QueryInterface"))
            return r;
        return Wrapped<TFakeDirect3D>(
            FState, direct3D, [&](LPDIRECT3D& inner) { return FInner->QueryInterface(inner); });
    }
};

class TFakeD3DRM : public IDirect3DRM, public TWrapper<IDirect3DRM>
{
public:
    TFakeD3DRM(TStatePtr s, LPDIRECT3DRM inner)
        : TWrapper(std::move(s), std::move(inner), "IDirect3DRM")
    {
    }
    HRESULT CreateFrame(const LPDIRECT3DRMFRAME& parent, LPDIRECT3DRMFRAME& frame) override
    {
        if (const HRESULT r = Enter("CreateFrame"))
            return r;
        return Wrapped<TFakeFrame>(
            FState, frame,
            [&](LPDIRECT3DRMFRAME& inner)
            { return FInner->CreateFrame(Unwrap<TFakeFrame>(parent), inner); });
    }
    HRESULT CreateLightRGB(D3DRMLIGHTTYPE type, D3DVALUE red, D3DVALUE green, D3DVALUE blue,
                           LPDIRECT3DRMLIGHT& light) override
    {
        if (const HRESULT r = Enter("CreateLightRGB"))
            return r;
        return Wrapped<TFakeLight>(FState, light,
                                   [&](LPDIRECT3DRMLIGHT& inner) {
                                       return FInner->CreateLightRGB(type, red, green, blue, inner);
                                   });
    }
    HRESULT CreateMeshBuilder(LPDIRECT3DRMMESHBUILDER& builder) override
    {
        if (const HRESULT r = Enter("CreateMeshBuilder"))
            return r;
        return Wrapped<TFakeMeshBuilder>(FState, builder,
                                         [&](LPDIRECT3DRMMESHBUILDER& inner)
                                         { return FInner->CreateMeshBuilder(inner); });
    }
    HRESULT CreateDeviceFromClipper(const LPDIRECTDRAWCLIPPER& clipper, const GUID* driverGuid,
                                    int width, int height, LPDIRECT3DRMDEVICE& device) override
    {
        if (const HRESULT r = Enter("CreateDeviceFromClipper"))
            return r;
        return Wrapped<TFakeDevice>(FState, device,
                                    [&](LPDIRECT3DRMDEVICE& inner)
                                    {
                                        return FInner->CreateDeviceFromClipper(
                                            Unwrap<TFakeClipper>(clipper), driverGuid, width,
                                            height, inner);
                                    });
    }
    HRESULT CreateViewport(const LPDIRECT3DRMDEVICE& device, const LPDIRECT3DRMFRAME& camera,
                           DWORD x, DWORD y, DWORD width, DWORD height,
                           LPDIRECT3DRMVIEWPORT& viewport) override
    {
        if (const HRESULT r = Enter("CreateViewport"))
            return r;
        return Wrapped<TFakeViewport>(FState, viewport,
                                      [&](LPDIRECT3DRMVIEWPORT& inner)
                                      {
                                          return FInner->CreateViewport(Unwrap<TFakeDevice>(device),
                                                                        Unwrap<TFakeFrame>(camera),
                                                                        x, y, width, height, inner);
                                      });
    }
    HRESULT SetDefaultTextureColors(DWORD colors) override
    {
        if (const HRESULT r = Enter("SetDefaultTextureColors"))
            return r;
        return FInner->SetDefaultTextureColors(colors);
    }
    HRESULT SetDefaultTextureShades(DWORD shades) override
    {
        if (const HRESULT r = Enter("SetDefaultTextureShades"))
            return r;
        return FInner->SetDefaultTextureShades(shades);
    }
};
} // namespace

HRESULT TRecordingPlatform::TState::Enter(const std::string& call)
{
    Log.push_back(call);
    const auto it = Failures.find(call);
    if (it == Failures.end())
        return 0;
    if (it->second.Countdown == 0)
        return it->second.Code; // every call
    if (--it->second.Countdown > 0)
        return 0;
    const HRESULT code = it->second.Code;
    Failures.erase(it);
    return code;
}

TRecordingPlatform::TRecordingPlatform()
    : FState(std::make_shared<TState>()), FInner(CreateBuiltinD3DPlatform())
{
}

HRESULT TRecordingPlatform::Direct3DRMCreate(LPDIRECT3DRM& d3drm)
{
    if (const HRESULT r = FState->Enter("Direct3DRMCreate"))
        return r;
    return Wrapped<TFakeD3DRM>(
        FState, d3drm, [&](LPDIRECT3DRM& inner) { return FInner->Direct3DRMCreate(inner); });
}

HRESULT TRecordingPlatform::DirectDrawCreate(const GUID* guid, LPDIRECTDRAW& directDraw,
                                             void* outer)
{
    if (const HRESULT r = FState->Enter("DirectDrawCreate"))
        return r;
    return Wrapped<TFakeDirectDraw>(FState, directDraw,
                                    [&](LPDIRECTDRAW& inner)
                                    { return FInner->DirectDrawCreate(guid, inner, outer); });
}

HRESULT TRecordingPlatform::DirectDrawCreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER& clipper,
                                                    void* outer)
{
    if (const HRESULT r = FState->Enter("DirectDrawCreateClipper"))
        return r;
    return Wrapped<TFakeClipper>(FState, clipper,
                                 [&](LPDIRECTDRAWCLIPPER& inner)
                                 { return FInner->DirectDrawCreateClipper(flags, inner, outer); });
}

void TRecordingPlatform::FailCall(const std::string& call, HRESULT code, int occurrence)
{
    FState->Failures[call] = {std::max(occurrence, 1), code};
}

void TRecordingPlatform::FailAlways(const std::string& call, HRESULT code)
{
    FState->Failures[call] = {0, code};
}

void TRecordingPlatform::ClearFailures()
{
    FState->Failures.clear();
}

int TRecordingPlatform::Count(const std::string& call) const
{
    return static_cast<int>(std::count(FState->Log.begin(), FState->Log.end(), call));
}
