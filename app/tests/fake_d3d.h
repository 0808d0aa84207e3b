// A recording stand-in for the 3D layer: every call is written to a shared log as text
// ("F2.SetPosition(F1, 0, 0, -15)"), and any method can be told to fail with a code.
#pragma once

#include "d3drm.h"
#include "testsupport.h"

#include <QApplication>
#include <QCursor>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct TFakeDriver
{
    GUID Guid;
    std::string Description;
    std::string Name;
    D3DDEVICEDESC HWDesc;
    D3DDEVICEDESC HELDesc;
};

struct TFakeLog
{
    std::vector<std::string> Calls;
    std::map<std::string, HRESULT> Failures; // method name -> code it returns
    std::vector<TFakeDriver> Drivers;        // what EnumDevices reports
    int DriversOffered = 0;
    D3DRMBOX Box;                           // what GetBox reports
    std::uint32_t PaintColor = 0xFF336699u; // the picture HandlePaint presents
    Qt::CursorShape CursorDuringLoad = Qt::ArrowCursor;
    bool CursorOverriddenDuringLoad = false;
    int Counter = 0;

    HRESULT Call(const std::string& method, const std::string& text)
    {
        Calls.push_back(text);
        const auto it = Failures.find(method);
        return it == Failures.end() ? 0 : it->second;
    }
    std::string Label(const char* prefix) { return prefix + std::to_string(++Counter); }

    // The calls logged since `from`, for checking one step.
    std::vector<std::string> Since(std::size_t from) const
    {
        return {Calls.begin() + static_cast<std::ptrdiff_t>(std::min(from, Calls.size())),
                Calls.end()};
    }
    int Count(const std::string& prefix) const
    {
        int n = 0;
        for (const std::string& c : Calls)
            n += c.rfind(prefix, 0) == 0 || c.find("." + prefix) != std::string::npos;
        return n;
    }
};

using TFakeLogPtr = std::shared_ptr<TFakeLog>;

inline std::string Num(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

class TFakeNamed
{
public:
    TFakeNamed(TFakeLogPtr log, const char* prefix) : Log(std::move(log)), Name(Log->Label(prefix))
    {
    }
    virtual ~TFakeNamed() = default;
    TFakeLogPtr Log;
    std::string Name;
};

template <class T> std::string NameOf(const std::shared_ptr<T>& p)
{
    auto named = std::dynamic_pointer_cast<TFakeNamed>(p);
    return named ? named->Name : (p ? "?" : "nil");
}

class TFakeLight : public IDirect3DRMLight, public TFakeNamed
{
public:
    TFakeLight(TFakeLogPtr log, D3DRMLIGHTTYPE type, D3DVECTOR color)
        : TFakeNamed(std::move(log), "L"), Type(type), Color(color)
    {
    }
    D3DRMLIGHTTYPE GetType() override { return Type; }
    D3DVECTOR GetColor() override { return Color; }
    D3DRMLIGHTTYPE Type;
    D3DVECTOR Color;
};

class TFakeMeshBuilder : public IDirect3DRMMeshBuilder, public TFakeNamed
{
public:
    explicit TFakeMeshBuilder(TFakeLogPtr log) : TFakeNamed(std::move(log), "B") {}
    HRESULT Load(const std::string& fileName, const char*, D3DRMLOADOPTIONS, void*, void*) override
    {
        const QCursor* cursor = QApplication::overrideCursor();
        Log->CursorOverriddenDuringLoad = cursor != nullptr;
        Log->CursorDuringLoad = cursor ? cursor->shape() : Qt::ArrowCursor;
        return Log->Call("Load", Name + ".Load(" + fileName + ")");
    }
    HRESULT Scale(D3DVALUE x, D3DVALUE y, D3DVALUE z) override
    {
        return Log->Call("Scale", Name + ".Scale(" + Num(x) + ", " + Num(y) + ", " + Num(z) + ")");
    }
    HRESULT AddFrame(const LPDIRECT3DRMFRAME& frame) override
    {
        return Log->Call("AddFrame", Name + ".AddFrame(" + NameOf(frame) + ")");
    }
    HRESULT GetBox(D3DRMBOX& box) override
    {
        box = Log->Box;
        return Log->Call("GetBox", Name + ".GetBox");
    }
    int GetVertexCount() override { return 0; }
    int GetFaceCount() override { return 0; }
};

class TFakeFrame : public IDirect3DRMFrame, public TFakeNamed
{
public:
    explicit TFakeFrame(TFakeLogPtr log) : TFakeNamed(std::move(log), "F") {}

    HRESULT AddLight(const LPDIRECT3DRMLIGHT& light) override
    {
        Lights.push_back(light);
        return Log->Call("AddLight", Name + ".AddLight(" + NameOf(light) + ")");
    }
    HRESULT AddVisual(const LPDIRECT3DRMMESHBUILDER& visual) override
    {
        Visuals.push_back(visual);
        return Log->Call("AddVisual", Name + ".AddVisual(" + NameOf(visual) + ")");
    }
    HRESULT DeleteChild(const LPDIRECT3DRMFRAME& child) override
    {
        std::erase(Children, child);
        return Log->Call("DeleteChild", Name + ".DeleteChild(" + NameOf(child) + ")");
    }
    HRESULT Move(D3DVALUE delta) override
    {
        return Log->Call("Move", Name + ".Move(" + Num(delta) + ")");
    }
    HRESULT SetPosition(const LPDIRECT3DRMFRAME& ref, D3DVALUE x, D3DVALUE y, D3DVALUE z) override
    {
        Position = {x, y, z};
        return Log->Call("SetPosition", Name + ".SetPosition(" + NameOf(ref) + ", " + Num(x) +
                                            ", " + Num(y) + ", " + Num(z) + ")");
    }
    HRESULT SetOrientation(const LPDIRECT3DRMFRAME& ref, D3DVALUE dx, D3DVALUE dy, D3DVALUE dz,
                           D3DVALUE ux, D3DVALUE uy, D3DVALUE uz) override
    {
        Direction = {dx, dy, dz};
        Up = {ux, uy, uz};
        return Log->Call("SetOrientation", Name + ".SetOrientation(" + NameOf(ref) + ", " +
                                               Num(dx) + ", " + Num(dy) + ", " + Num(dz) + ", " +
                                               Num(ux) + ", " + Num(uy) + ", " + Num(uz) + ")");
    }
    HRESULT SetRotation(const LPDIRECT3DRMFRAME& ref, D3DVALUE x, D3DVALUE y, D3DVALUE z,
                        D3DVALUE theta) override
    {
        Theta = theta;
        return Log->Call("SetRotation", Name + ".SetRotation(" + NameOf(ref) + ", " + Num(x) +
                                            ", " + Num(y) + ", " + Num(z) + ", " + Num(theta) +
                                            ")");
    }
    HRESULT SetVelocity(const LPDIRECT3DRMFRAME& ref, D3DVALUE x, D3DVALUE y, D3DVALUE z,
                        BOOL withRotation) override
    {
        Velocity = {x, y, z};
        return Log->Call("SetVelocity", Name + ".SetVelocity(" + NameOf(ref) + ", " + Num(x) +
                                            ", " + Num(y) + ", " + Num(z) + ", " +
                                            Num(withRotation) + ")");
    }
    HRESULT GetPosition(const LPDIRECT3DRMFRAME&, D3DVECTOR& position) override
    {
        position = Position;
        return Log->Call("GetPosition", Name + ".GetPosition");
    }
    HRESULT GetOrientation(const LPDIRECT3DRMFRAME&, D3DVECTOR& direction, D3DVECTOR& up) override
    {
        direction = Direction;
        up = Up;
        return Log->Call("GetOrientation", Name + ".GetOrientation");
    }
    LPDIRECT3DRMFRAME GetParent() override { return Parent.lock(); }
    int GetChildCount() override { return static_cast<int>(Children.size()); }

    std::weak_ptr<IDirect3DRMFrame> Parent;
    std::vector<LPDIRECT3DRMFRAME> Children;
    std::vector<LPDIRECT3DRMLIGHT> Lights;
    std::vector<LPDIRECT3DRMMESHBUILDER> Visuals;
    D3DVECTOR Position, Direction{0, 0, 1}, Up{0, 1, 0}, Velocity;
    float Theta = 0;
};

class TFakeDevice : public IDirect3DRMDevice,
                    public IDirect3DRMWinDevice,
                    public TFakeNamed,
                    public std::enable_shared_from_this<TFakeDevice>
{
public:
    TFakeDevice(TFakeLogPtr log, HWND window, int width, int height)
        : TFakeNamed(std::move(log), "D"), Window(window), Width(width), Height(height)
    {
    }
    ~TFakeDevice() override { Log->Calls.push_back(Name + ".Destroyed"); }

    HRESULT QueryInterface(LPDIRECT3DRMWINDEVICE& winDevice) override
    {
        winDevice =
            LPDIRECT3DRMWINDEVICE(shared_from_this(), static_cast<IDirect3DRMWinDevice*>(this));
        return Log->Call("QueryInterface", Name + ".QueryInterface(WinDevice)");
    }
    HRESULT Update() override
    {
        const HRESULT result = Log->Call("Update", Name + ".Update");
        if (result == 0 && Window)
            Window->Present(Picture());
        return result;
    }
    DWORD GetWidth() override { return static_cast<DWORD>(Width); }
    DWORD GetHeight() override { return static_cast<DWORD>(Height); }
    BOOL GetDither() override { return Dither; }
    D3DRMRENDERQUALITY GetQuality() override { return Quality; }
    DWORD GetShades() override { return Shades; }
    HRESULT SetDither(BOOL dither) override
    {
        Dither = dither;
        return Log->Call("SetDither", Name + ".SetDither(" + Num(dither) + ")");
    }
    HRESULT SetQuality(D3DRMRENDERQUALITY quality) override
    {
        Quality = quality;
        return Log->Call("SetQuality", Name + ".SetQuality(" + Num(quality) + ")");
    }
    HRESULT SetShades(DWORD shades) override
    {
        Shades = shades;
        return Log->Call("SetShades", Name + ".SetShades(" + Num(shades) + ")");
    }
    const TFrameBuffer& GetFrameBuffer() override { return Frame; }
    HRESULT HandlePaint(HDC dc) override
    {
        const HRESULT result = Log->Call("HandlePaint", Name + ".HandlePaint");
        if (result == 0 && dc)
            dc->Present(Picture());
        return result;
    }
    HRESULT HandleActivate(WORD wparam) override
    {
        return Log->Call("HandleActivate", Name + ".HandleActivate(" + Num(wparam) + ")");
    }

    const TFrameBuffer& Picture()
    {
        Frame.Width = Width;
        Frame.Height = Height;
        Frame.Pixels.assign(static_cast<std::size_t>(Width) * Height, Log->PaintColor);
        return Frame;
    }

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
    explicit TFakeViewport(TFakeLogPtr log) : TFakeNamed(std::move(log), "V") {}
    ~TFakeViewport() override { Log->Calls.push_back(Name + ".Destroyed"); }
    HRESULT Clear() override { return Log->Call("Clear", Name + ".Clear"); }
    HRESULT Render(const LPDIRECT3DRMFRAME& scene) override
    {
        return Log->Call("Render", Name + ".Render(" + NameOf(scene) + ")");
    }
    HRESULT SetBack(D3DVALUE back) override
    {
        Back = back;
        return Log->Call("SetBack", Name + ".SetBack(" + Num(back) + ")");
    }
    D3DVALUE GetBack() override { return Back; }
    D3DVALUE Back = 100;
};

class TFakeClipper : public IDirectDrawClipper, public TFakeNamed
{
public:
    explicit TFakeClipper(TFakeLogPtr log) : TFakeNamed(std::move(log), "C") {}
    HRESULT SetHWnd(DWORD flags, HWND window) override
    {
        Window = window;
        return Log->Call("SetHWnd", Name + ".SetHWnd(" + Num(flags) + ", " +
                                        (window ? "window" : "nil") + ")");
    }
    HWND GetHWnd() override { return Window; }
    HWND Window = nullptr;
};

class TFakeDirect3D : public IDirect3D, public TFakeNamed
{
public:
    explicit TFakeDirect3D(TFakeLogPtr log) : TFakeNamed(std::move(log), "E") {}
    HRESULT EnumDevices(const LPD3DENUMDEVICESCALLBACK& callback, void* context) override
    {
        const HRESULT result = Log->Call("EnumDevices", Name + ".EnumDevices");
        if (result != 0)
            return result;
        for (const TFakeDriver& d : Log->Drivers)
        {
            ++Log->DriversOffered;
            if (callback(&d.Guid, d.Description, d.Name, d.HWDesc, d.HELDesc, context) ==
                D3DENUMRET_CANCEL)
                break;
        }
        return 0;
    }
};

class TFakeDirectDraw : public IDirectDraw, public TFakeNamed
{
public:
    explicit TFakeDirectDraw(TFakeLogPtr log) : TFakeNamed(std::move(log), "DD") {}
    HRESULT QueryInterface(LPDIRECT3D& direct3D) override
    {
        direct3D = std::make_shared<TFakeDirect3D>(Log);
        return Log->Call("QueryInterface", Name + ".QueryInterface(Direct3D)");
    }
};

class TFakeD3DRM : public IDirect3DRM, public TFakeNamed
{
public:
    explicit TFakeD3DRM(TFakeLogPtr log) : TFakeNamed(std::move(log), "RM") {}

    HRESULT CreateFrame(const LPDIRECT3DRMFRAME& parent, LPDIRECT3DRMFRAME& frame) override
    {
        auto created = std::make_shared<TFakeFrame>(Log);
        if (auto parentFrame = std::dynamic_pointer_cast<TFakeFrame>(parent))
        {
            created->Parent = parentFrame;
            parentFrame->Children.push_back(created);
        }
        frame = created;
        return Log->Call("CreateFrame", "CreateFrame(" + NameOf(parent) + ") -> " + created->Name);
    }
    HRESULT CreateLightRGB(D3DRMLIGHTTYPE type, D3DVALUE r, D3DVALUE g, D3DVALUE b,
                           LPDIRECT3DRMLIGHT& light) override
    {
        auto created = std::make_shared<TFakeLight>(Log, type, D3DVECTOR{r, g, b});
        light = created;
        return Log->Call("CreateLightRGB", "CreateLightRGB(" + Num(type) + ", " + Num(r) + ", " +
                                               Num(g) + ", " + Num(b) + ") -> " + created->Name);
    }
    HRESULT CreateMeshBuilder(LPDIRECT3DRMMESHBUILDER& builder) override
    {
        auto created = std::make_shared<TFakeMeshBuilder>(Log);
        builder = created;
        return Log->Call("CreateMeshBuilder", "CreateMeshBuilder -> " + created->Name);
    }
    HRESULT CreateDeviceFromClipper(const LPDIRECTDRAWCLIPPER& clipper, const GUID* guid, int width,
                                    int height, LPDIRECT3DRMDEVICE& device) override
    {
        const std::string text = "CreateDeviceFromClipper(" + NameOf(clipper) + ", " +
                                 (guid ? "guid " + Num(guid->Data1) : std::string("nil")) + ", " +
                                 Num(width) + ", " + Num(height) + ")";
        const HRESULT failure = Log->Failures.count("CreateDeviceFromClipper")
                                    ? Log->Failures["CreateDeviceFromClipper"]
                                    : 0;
        if (failure != 0)
            return Log->Call("CreateDeviceFromClipper", text);
        auto created = std::make_shared<TFakeDevice>(Log, clipper ? clipper->GetHWnd() : nullptr,
                                                     width, height);
        device = created;
        return Log->Call("CreateDeviceFromClipper", text + " -> " + created->Name);
    }
    HRESULT CreateViewport(const LPDIRECT3DRMDEVICE& device, const LPDIRECT3DRMFRAME& camera,
                           DWORD x, DWORD y, DWORD w, DWORD h,
                           LPDIRECT3DRMVIEWPORT& viewport) override
    {
        const std::string text = "CreateViewport(" + NameOf(device) + ", " + NameOf(camera) + ", " +
                                 Num(x) + ", " + Num(y) + ", " + Num(w) + ", " + Num(h) + ")";
        if (Log->Failures.count("CreateViewport"))
            return Log->Call("CreateViewport", text);
        auto created = std::make_shared<TFakeViewport>(Log);
        viewport = created;
        return Log->Call("CreateViewport", text + " -> " + created->Name);
    }
    HRESULT SetDefaultTextureColors(DWORD colors) override
    {
        return Log->Call("SetDefaultTextureColors", "SetDefaultTextureColors(" + Num(colors) + ")");
    }
    HRESULT SetDefaultTextureShades(DWORD shades) override
    {
        return Log->Call("SetDefaultTextureShades", "SetDefaultTextureShades(" + Num(shades) + ")");
    }
};

class TFakePlatform : public TD3DPlatform
{
public:
    explicit TFakePlatform(TFakeLogPtr log) : Log(std::move(log)) {}
    HRESULT Direct3DRMCreate(LPDIRECT3DRM& d3drm) override
    {
        d3drm = std::make_shared<TFakeD3DRM>(Log);
        return Log->Call("Direct3DRMCreate", "Direct3DRMCreate");
    }
    HRESULT DirectDrawCreate(const GUID*, LPDIRECTDRAW& directDraw, void*) override
    {
        directDraw = std::make_shared<TFakeDirectDraw>(Log);
        return Log->Call("DirectDrawCreate", "DirectDrawCreate");
    }
    HRESULT DirectDrawCreateClipper(DWORD, LPDIRECTDRAWCLIPPER& clipper, void*) override
    {
        auto created = std::make_shared<TFakeClipper>(Log);
        clipper = created;
        return Log->Call("DirectDrawCreateClipper", "DirectDrawCreateClipper -> " + created->Name);
    }
    TFakeLogPtr Log;
};

// A driver description that renders at the given depths in emulation (`hardware` false) or
// in hardware.
inline TFakeDriver FakeDriver(std::uint32_t id, const std::string& name, DWORD depths,
                              bool hardware = false)
{
    TFakeDriver d;
    d.Guid.Data1 = id;
    d.Name = name;
    d.Description = name + " driver";
    D3DDEVICEDESC& desc = hardware ? d.HWDesc : d.HELDesc;
    desc.dcmColorModel = D3DCOLOR_RGB;
    desc.dwDeviceRenderBitDepth = depths;
    return d;
}

// The texts of the message boxes shown so far.
inline std::vector<std::string> MessageTexts(const TFakeDialogs& dialogs)
{
    std::vector<std::string> texts;
    for (const auto& message : dialogs.Messages)
        texts.push_back(message.second.toStdString());
    return texts;
}
