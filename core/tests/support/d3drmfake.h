// A recording stand-in for the retained-mode layer, for tests of the code that drives it: every
// call is written to one log as text ("F2.SetPosition(F1, 0, 0, -15)"), any method can be told
// to fail with a code, and what the layer would report (drivers, a model box, a picture) is
// scripted. Install it with SetD3DPlatform(std::make_shared<TFakePlatform>(log)).
#pragma once

#include "scene/d3drm.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A driver as EnumDevices reports it.
struct TFakeDriver
{
    GUID Guid;
    std::string Description;
    std::string Name;
    D3DDEVICEDESC HWDesc;
    D3DDEVICEDESC HELDesc;
};

// What the fake objects share: the log of calls, the failures to inject and the script.
// Objects are named by kind and creation order: RM1, F2, L3, B4, D5, V6, C7, DD8, E9 ...
struct TFakeLog
{
    std::vector<std::string> Calls;
    std::map<std::string, HRESULT> Failures; // method name -> code it returns
    std::vector<TFakeDriver> Drivers;        // what EnumDevices reports
    int DriversOffered = 0;
    D3DRMBOX Box;                           // what GetBox reports
    std::uint32_t PaintColor = 0xFF336699u; // the picture Update and HandlePaint present
    std::function<void()> OnLoad;           // runs when a mesh builder loads a file
    int Counter = 0;

    // Logs `text` and returns the failure set for `method`, or 0.
    HRESULT Call(const std::string& method, const std::string& text);
    // The next object name with this prefix.
    std::string Label(const char* prefix);
    // The calls logged since `from`, for checking one step.
    std::vector<std::string> Since(std::size_t from) const;
    // How many calls start with `prefix` or name it as their method ("D11.Update").
    int Count(const std::string& prefix) const;
};

using TFakeLogPtr = std::shared_ptr<TFakeLog>;

// A number as the log writes it (%g).
std::string Num(double v);

class TFakeNamed
{
public:
    TFakeNamed(TFakeLogPtr log, const char* prefix);
    virtual ~TFakeNamed() = default;
    TFakeLogPtr Log;
    std::string Name;
};

// The log name of a fake object, "nil" for none and "?" for an object that is not a fake.
std::string NameOf(const std::shared_ptr<TFakeNamed>& named, bool present);
template <class T> std::string NameOf(const std::shared_ptr<T>& p)
{
    return NameOf(std::dynamic_pointer_cast<TFakeNamed>(p), p != nullptr);
}

class TFakeLight : public IDirect3DRMLight, public TFakeNamed
{
public:
    TFakeLight(TFakeLogPtr log, D3DRMLIGHTTYPE type, D3DVECTOR color);
    D3DRMLIGHTTYPE GetType() override { return Type; }
    D3DVECTOR GetColor() override { return Color; }
    D3DRMLIGHTTYPE Type;
    D3DVECTOR Color;
};

class TFakeMeshBuilder : public IDirect3DRMMeshBuilder, public TFakeNamed
{
public:
    explicit TFakeMeshBuilder(TFakeLogPtr log);
    HRESULT Load(const std::string& fileName, const char*, D3DRMLOADOPTIONS, void*, void*) override;
    HRESULT LoadMesh(const TXMesh& mesh) override;
    HRESULT Scale(D3DVALUE x, D3DVALUE y, D3DVALUE z) override;
    HRESULT AddFrame(const LPDIRECT3DRMFRAME& frame) override;
    HRESULT SetFaceLooks(const TFaceLooks& looks) override;
    HRESULT GetVertices(std::vector<float>& positions) override;
    HRESULT SetVertices(const std::vector<float>& positions) override;
    HRESULT GetBox(D3DRMBOX& box) override;
    int GetVertexCount() override { return 0; }
    int GetFaceCount() override { return 0; }
};

// Keeps what it was told, so tests can read the scene back.
class TFakeFrame : public IDirect3DRMFrame, public TFakeNamed
{
public:
    explicit TFakeFrame(TFakeLogPtr log);
    HRESULT AddLight(const LPDIRECT3DRMLIGHT& light) override;
    HRESULT AddVisual(const LPDIRECT3DRMMESHBUILDER& visual) override;
    HRESULT DeleteChild(const LPDIRECT3DRMFRAME& child) override;
    HRESULT Move(D3DVALUE delta) override;
    HRESULT SetPosition(const LPDIRECT3DRMFRAME& ref, D3DVALUE x, D3DVALUE y, D3DVALUE z) override;
    HRESULT SetOrientation(const LPDIRECT3DRMFRAME& ref, D3DVALUE dx, D3DVALUE dy, D3DVALUE dz,
                           D3DVALUE ux, D3DVALUE uy, D3DVALUE uz) override;
    HRESULT SetRotation(const LPDIRECT3DRMFRAME& ref, D3DVALUE x, D3DVALUE y, D3DVALUE z,
                        D3DVALUE theta) override;
    HRESULT SetVelocity(const LPDIRECT3DRMFRAME& ref, D3DVALUE x, D3DVALUE y, D3DVALUE z,
                        BOOL withRotation) override;
    HRESULT GetPosition(const LPDIRECT3DRMFRAME&, D3DVECTOR& position) override;
    HRESULT GetOrientation(const LPDIRECT3DRMFRAME&, D3DVECTOR& direction, D3DVECTOR& up) override;
    LPDIRECT3DRMFRAME GetParent() override { return Parent.lock(); }
    int GetChildCount() override { return static_cast<int>(Children.size()); }

    std::weak_ptr<IDirect3DRMFrame> Parent;
    std::vector<LPDIRECT3DRMFRAME> Children;
    std::vector<LPDIRECT3DRMLIGHT> Lights;
    std::vector<LPDIRECT3DRMMESHBUILDER> Visuals;
    D3DVECTOR Position, Direction{0, 0, 1}, Up{0, 1, 0}, Velocity;
    float Theta = 0;
};

// Presents a picture of the log's PaintColor; its destruction is logged ("D5.Destroyed").
class TFakeDevice : public IDirect3DRMDevice,
                    public IDirect3DRMWinDevice,
                    public TFakeNamed,
                    public std::enable_shared_from_this<TFakeDevice>
{
public:
    TFakeDevice(TFakeLogPtr log, HWND window, int width, int height);
    ~TFakeDevice() override;

    HRESULT QueryInterface(LPDIRECT3DRMWINDEVICE& winDevice) override;
    HRESULT Update() override;
    DWORD GetWidth() override { return static_cast<DWORD>(Width); }
    DWORD GetHeight() override { return static_cast<DWORD>(Height); }
    BOOL GetDither() override { return Dither; }
    D3DRMRENDERQUALITY GetQuality() override { return Quality; }
    DWORD GetShades() override { return Shades; }
    HRESULT SetDither(BOOL dither) override;
    HRESULT SetQuality(D3DRMRENDERQUALITY quality) override;
    HRESULT SetShades(DWORD shades) override;
    const TFrameBuffer& GetFrameBuffer() override { return Frame; }
    HRESULT SetCoverage(BOOL coverage) override;
    HRESULT HandlePaint(HDC dc) override;
    HRESULT HandleActivate(WORD wparam) override;

    const TFrameBuffer& Picture();

    HWND Window;
    int Width, Height;
    BOOL Dither = 1;
    D3DRMRENDERQUALITY Quality = 0;
    DWORD Shades = 32;
    TFrameBuffer Frame;
};

class TFakeViewport : public IDirect3DRMViewport, public TFakeNamed
{
public:
    explicit TFakeViewport(TFakeLogPtr log);
    ~TFakeViewport() override;
    HRESULT Clear() override;
    HRESULT Render(const LPDIRECT3DRMFRAME& scene) override;
    HRESULT SetBack(D3DVALUE back) override;
    D3DVALUE GetBack() override { return Back; }
    D3DVALUE Back = 100;
};

class TFakeClipper : public IDirectDrawClipper, public TFakeNamed
{
public:
    explicit TFakeClipper(TFakeLogPtr log);
    HRESULT SetHWnd(DWORD flags, HWND window) override;
    HWND GetHWnd() override { return Window; }
    HWND Window = nullptr;
};

class TFakeDirect3D : public IDirect3D, public TFakeNamed
{
public:
    explicit TFakeDirect3D(TFakeLogPtr log);
    HRESULT EnumDevices(const LPD3DENUMDEVICESCALLBACK& callback, void* context) override;
};

class TFakeDirectDraw : public IDirectDraw, public TFakeNamed
{
public:
    explicit TFakeDirectDraw(TFakeLogPtr log);
    HRESULT QueryInterface(LPDIRECT3D& direct3D) override;
};

class TFakeD3DRM : public IDirect3DRM, public TFakeNamed
{
public:
    explicit TFakeD3DRM(TFakeLogPtr log);
    HRESULT CreateFrame(const LPDIRECT3DRMFRAME& parent, LPDIRECT3DRMFRAME& frame) override;
    HRESULT CreateLightRGB(D3DRMLIGHTTYPE type, D3DVALUE r, D3DVALUE g, D3DVALUE b,
                           LPDIRECT3DRMLIGHT& light) override;
    HRESULT CreateMeshBuilder(LPDIRECT3DRMMESHBUILDER& builder) override;
    HRESULT CreateDeviceFromClipper(const LPDIRECTDRAWCLIPPER& clipper, const GUID* guid, int width,
                                    int height, LPDIRECT3DRMDEVICE& device) override;
    HRESULT CreateViewport(const LPDIRECT3DRMDEVICE& device, const LPDIRECT3DRMFRAME& camera,
                           DWORD x, DWORD y, DWORD w, DWORD h,
                           LPDIRECT3DRMVIEWPORT& viewport) override;
    HRESULT SetDefaultTextureColors(DWORD colors) override;
    HRESULT SetDefaultTextureShades(DWORD shades) override;
};

class TFakePlatform : public TD3DPlatform
{
public:
    explicit TFakePlatform(TFakeLogPtr log) : Log(std::move(log)) {}
    HRESULT Direct3DRMCreate(LPDIRECT3DRM& d3drm) override;
    HRESULT DirectDrawCreate(const GUID*, LPDIRECTDRAW& directDraw, void*) override;
    HRESULT DirectDrawCreateClipper(DWORD, LPDIRECTDRAWCLIPPER& clipper, void*) override;
    TFakeLogPtr Log;
};

// A driver description that renders at the given depths in emulation (`hardware` false) or
// in hardware.
TFakeDriver FakeDriver(std::uint32_t id, const std::string& name, DWORD depths,
                       bool hardware = false);
