// The recording stand-in for the retained-mode layer.
#include "d3drmfake.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

HRESULT TFakeLog::Call(const std::string& method, const std::string& text)
{
    Calls.push_back(text);
    const auto it = Failures.find(method);
    return it == Failures.end() ? 0 : it->second;
}

std::string TFakeLog::Label(const char* prefix)
{
    return prefix + std::to_string(++Counter);
}

std::vector<std::string> TFakeLog::Since(std::size_t from) const
{
    return {Calls.begin() + static_cast<std::ptrdiff_t>(std::min(from, Calls.size())), Calls.end()};
}

int TFakeLog::Count(const std::string& prefix) const
{
    int n = 0;
    for (const std::string& c : Calls)
        n += c.rfind(prefix, 0) == 0 || c.find("." + prefix) != std::string::npos;
    return n;
}

std::string Num(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

TFakeNamed::TFakeNamed(TFakeLogPtr log, const char* prefix)
    : Log(std::move(log)), Name(Log->Label(prefix))
{
}

std::string NameOf(const std::shared_ptr<TFakeNamed>& named, bool present)
{
    return named ? named->Name : (present ? "?" : "nil");
}

TFakeLight::TFakeLight(TFakeLogPtr log, D3DRMLIGHTTYPE type, D3DVECTOR color)
    : TFakeNamed(std::move(log), "L"), Type(type), Color(color)
{
}

TFakeMeshBuilder::TFakeMeshBuilder(TFakeLogPtr log) : TFakeNamed(std::move(log), "B") {}

HRESULT TFakeMeshBuilder::Load(const std::string& fileName, const char*, D3DRMLOADOPTIONS, void*,
                               void*)
{
    if (Log->OnLoad)
        Log->OnLoad();
    return Log->Call("Load", Name + ".Load(" + fileName + ")");
}

HRESULT TFakeMeshBuilder::LoadMesh(const TXMesh& mesh)
{
    if (Log->OnLoad)
        Log->OnLoad();
    return Log->Call("LoadMesh", Name + ".LoadMesh(" + std::to_string(mesh.FaceCount()) + " faces)");
}

HRESULT TFakeMeshBuilder::Scale(D3DVALUE x, D3DVALUE y, D3DVALUE z)
{
    return Log->Call("Scale", Name + ".Scale(" + Num(x) + ", " + Num(y) + ", " + Num(z) + ")");
}

HRESULT TFakeMeshBuilder::AddFrame(const LPDIRECT3DRMFRAME& frame)
{
    return Log->Call("AddFrame", Name + ".AddFrame(" + NameOf(frame) + ")");
}

HRESULT TFakeMeshBuilder::SetFaceLooks(const TFaceLooks& looks)
{
    return Log->Call("SetFaceLooks", Name + ".SetFaceLooks(" +
                                         std::to_string(looks.FaceTextures.size()) + " faces, " +
                                         std::to_string(looks.Textures.size()) + " textures)");
}

HRESULT TFakeMeshBuilder::GetVertices(std::vector<float>& positions)
{
    positions.clear();
    return Log->Call("GetVertices", Name + ".GetVertices");
}

HRESULT TFakeMeshBuilder::SetVertices(const std::vector<float>& positions)
{
    return Log->Call("SetVertices",
                     Name + ".SetVertices(" + std::to_string(positions.size() / 3) + " vertices)");
}

HRESULT TFakeMeshBuilder::GetBox(D3DRMBOX& box)
{
    box = Log->Box;
    return Log->Call("GetBox", Name + ".GetBox");
}

TFakeFrame::TFakeFrame(TFakeLogPtr log) : TFakeNamed(std::move(log), "F") {}

HRESULT TFakeFrame::AddLight(const LPDIRECT3DRMLIGHT& light)
{
    Lights.push_back(light);
    return Log->Call("AddLight", Name + ".AddLight(" + NameOf(light) + ")");
}

HRESULT TFakeFrame::AddVisual(const LPDIRECT3DRMMESHBUILDER& visual)
{
    Visuals.push_back(visual);
    return Log->Call("AddVisual", Name + ".AddVisual(" + NameOf(visual) + ")");
}

HRESULT TFakeFrame::DeleteChild(const LPDIRECT3DRMFRAME& child)
{
    std::erase(Children, child);
    return Log->Call("DeleteChild", Name + ".DeleteChild(" + NameOf(child) + ")");
}

HRESULT TFakeFrame::Move(D3DVALUE delta)
{
    return Log->Call("Move", Name + ".Move(" + Num(delta) + ")");
}

HRESULT TFakeFrame::SetPosition(const LPDIRECT3DRMFRAME& ref, D3DVALUE x, D3DVALUE y, D3DVALUE z)
{
    Position = {x, y, z};
    return Log->Call("SetPosition", Name + ".SetPosition(" + NameOf(ref) + ", " + Num(x) + ", " +
                                        Num(y) + ", " + Num(z) + ")");
}

HRESULT TFakeFrame::SetOrientation(const LPDIRECT3DRMFRAME& ref, D3DVALUE dx, D3DVALUE dy,
                                   D3DVALUE dz, D3DVALUE ux, D3DVALUE uy, D3DVALUE uz)
{
    Direction = {dx, dy, dz};
    Up = {ux, uy, uz};
    return Log->Call("SetOrientation", Name + ".SetOrientation(" + NameOf(ref) + ", " + Num(dx) +
                                           ", " + Num(dy) + ", " + Num(dz) + ", " + Num(ux) + ", " +
                                           Num(uy) + ", " + Num(uz) + ")");
}

HRESULT TFakeFrame::SetRotation(const LPDIRECT3DRMFRAME& ref, D3DVALUE x, D3DVALUE y, D3DVALUE z,
                                D3DVALUE theta)
{
    Theta = theta;
    return Log->Call("SetRotation", Name + ".SetRotation(" + NameOf(ref) + ", " + Num(x) + ", " +
                                        Num(y) + ", " + Num(z) + ", " + Num(theta) + ")");
}

HRESULT TFakeFrame::SetVelocity(const LPDIRECT3DRMFRAME& ref, D3DVALUE x, D3DVALUE y, D3DVALUE z,
                                BOOL withRotation)
{
    Velocity = {x, y, z};
    return Log->Call("SetVelocity", Name + ".SetVelocity(" + NameOf(ref) + ", " + Num(x) + ", " +
                                        Num(y) + ", " + Num(z) + ", " + Num(withRotation) + ")");
}

HRESULT TFakeFrame::GetPosition(const LPDIRECT3DRMFRAME&, D3DVECTOR& position)
{
    position = Position;
    return Log->Call("GetPosition", Name + ".GetPosition");
}

HRESULT TFakeFrame::GetOrientation(const LPDIRECT3DRMFRAME&, D3DVECTOR& direction, D3DVECTOR& up)
{
    direction = Direction;
    up = Up;
    return Log->Call("GetOrientation", Name + ".GetOrientation");
}

TFakeDevice::TFakeDevice(TFakeLogPtr log, HWND window, int width, int height)
    : TFakeNamed(std::move(log), "D"), Window(window), Width(width), Height(height)
{
}

TFakeDevice::~TFakeDevice()
{
    Log->Calls.push_back(Name + ".Destroyed");
}

HRESULT TFakeDevice::QueryInterface(LPDIRECT3DRMWINDEVICE& winDevice)
{
    winDevice = LPDIRECT3DRMWINDEVICE(shared_from_this(), static_cast<IDirect3DRMWinDevice*>(this));
    return Log->Call("QueryInterface", Name + ".QueryInterface(WinDevice)");
}

HRESULT TFakeDevice::Update()
{
    const HRESULT result = Log->Call("Update", Name + ".Update");
    if (result == 0 && Window)
        Window->Present(Picture());
    return result;
}

HRESULT TFakeDevice::SetDither(BOOL dither)
{
    Dither = dither;
    return Log->Call("SetDither", Name + ".SetDither(" + Num(dither) + ")");
}

HRESULT TFakeDevice::SetQuality(D3DRMRENDERQUALITY quality)
{
    Quality = quality;
    return Log->Call("SetQuality", Name + ".SetQuality(" + Num(quality) + ")");
}

HRESULT TFakeDevice::SetShades(DWORD shades)
{
    Shades = shades;
    return Log->Call("SetShades", Name + ".SetShades(" + Num(shades) + ")");
}

HRESULT TFakeDevice::SetCoverage(BOOL coverage)
{
    return Log->Call("SetCoverage", Name + ".SetCoverage(" + Num(coverage) + ")");
}

HRESULT TFakeDevice::HandlePaint(HDC dc)
{
    const HRESULT result = Log->Call("HandlePaint", Name + ".HandlePaint");
    if (result == 0 && dc)
        dc->Present(Picture());
    return result;
}

HRESULT TFakeDevice::HandleActivate(WORD wparam)
{
    return Log->Call("HandleActivate", Name + ".HandleActivate(" + Num(wparam) + ")");
}

const TFrameBuffer& TFakeDevice::Picture()
{
    Frame.Width = Width;
    Frame.Height = Height;
    Frame.Pixels.assign(static_cast<std::size_t>(Width) * Height, Log->PaintColor);
    return Frame;
}

TFakeViewport::TFakeViewport(TFakeLogPtr log) : TFakeNamed(std::move(log), "V") {}

TFakeViewport::~TFakeViewport()
{
    Log->Calls.push_back(Name + ".Destroyed");
}

HRESULT TFakeViewport::Clear()
{
    return Log->Call("Clear", Name + ".Clear");
}

HRESULT TFakeViewport::Render(const LPDIRECT3DRMFRAME& scene)
{
    return Log->Call("Render", Name + ".Render(" + NameOf(scene) + ")");
}

HRESULT TFakeViewport::SetBack(D3DVALUE back)
{
    Back = back;
    return Log->Call("SetBack", Name + ".SetBack(" + Num(back) + ")");
}

TFakeClipper::TFakeClipper(TFakeLogPtr log) : TFakeNamed(std::move(log), "C") {}

HRESULT TFakeClipper::SetHWnd(DWORD flags, HWND window)
{
    Window = window;
    return Log->Call("SetHWnd",
                     Name + ".SetHWnd(" + Num(flags) + ", " + (window ? "window" : "nil") + ")");
}

TFakeDirect3D::TFakeDirect3D(TFakeLogPtr log) : TFakeNamed(std::move(log), "E") {}

HRESULT TFakeDirect3D::EnumDevices(const LPD3DENUMDEVICESCALLBACK& callback, void* context)
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

TFakeDirectDraw::TFakeDirectDraw(TFakeLogPtr log) : TFakeNamed(std::move(log), "DD") {}

HRESULT TFakeDirectDraw::QueryInterface(LPDIRECT3D& direct3D)
{
    direct3D = std::make_shared<TFakeDirect3D>(Log);
    return Log->Call("QueryInterface", Name + ".QueryInterface(Direct3D)");
}

TFakeD3DRM::TFakeD3DRM(TFakeLogPtr log) : TFakeNamed(std::move(log), "RM") {}

HRESULT TFakeD3DRM::CreateFrame(const LPDIRECT3DRMFRAME& parent, LPDIRECT3DRMFRAME& frame)
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

HRESULT TFakeD3DRM::CreateLightRGB(D3DRMLIGHTTYPE type, D3DVALUE r, D3DVALUE g, D3DVALUE b,
                                   LPDIRECT3DRMLIGHT& light)
{
    auto created = std::make_shared<TFakeLight>(Log, type, D3DVECTOR{r, g, b});
    light = created;
    return Log->Call("CreateLightRGB", "CreateLightRGB(" + Num(type) + ", " + Num(r) + ", " +
                                           Num(g) + ", " + Num(b) + ") -> " + created->Name);
}

HRESULT TFakeD3DRM::CreateMeshBuilder(LPDIRECT3DRMMESHBUILDER& builder)
{
    auto created = std::make_shared<TFakeMeshBuilder>(Log);
    builder = created;
    return Log->Call("CreateMeshBuilder", "CreateMeshBuilder -> " + created->Name);
}

HRESULT TFakeD3DRM::CreateDeviceFromClipper(const LPDIRECTDRAWCLIPPER& clipper, const GUID* guid,
                                            int width, int height, LPDIRECT3DRMDEVICE& device)
{
    const std::string text = "CreateDeviceFromClipper(" + NameOf(clipper) + ", " +
                             (guid ? "guid " + Num(guid->Data1) : std::string("nil")) + ", " +
                             Num(width) + ", " + Num(height) + ")";
    // A failing call makes no device, so no name is used up.
    const auto failure = Log->Failures.find("CreateDeviceFromClipper");
    if (failure != Log->Failures.end() && failure->second != 0)
        return Log->Call("CreateDeviceFromClipper", text);
    auto created =
        std::make_shared<TFakeDevice>(Log, clipper ? clipper->GetHWnd() : nullptr, width, height);
    device = created;
    return Log->Call("CreateDeviceFromClipper", text + " -> " + created->Name);
}

HRESULT TFakeD3DRM::CreateViewport(const LPDIRECT3DRMDEVICE& device,
                                   const LPDIRECT3DRMFRAME& camera, DWORD x, DWORD y, DWORD w,
                                   DWORD h, LPDIRECT3DRMVIEWPORT& viewport)
{
    const std::string text = "CreateViewport(" + NameOf(device) + ", " + NameOf(camera) + ", " +
                             Num(x) + ", " + Num(y) + ", " + Num(w) + ", " + Num(h) + ")";
    if (Log->Failures.count("CreateViewport"))
        return Log->Call("CreateViewport", text);
    auto created = std::make_shared<TFakeViewport>(Log);
    viewport = created;
    return Log->Call("CreateViewport", text + " -> " + created->Name);
}

HRESULT TFakeD3DRM::SetDefaultTextureColors(DWORD colors)
{
    return Log->Call("SetDefaultTextureColors", "SetDefaultTextureColors(" + Num(colors) + ")");
}

HRESULT TFakeD3DRM::SetDefaultTextureShades(DWORD shades)
{
    return Log->Call("SetDefaultTextureShades", "SetDefaultTextureShades(" + Num(shades) + ")");
}

HRESULT TFakePlatform::Direct3DRMCreate(LPDIRECT3DRM& d3drm)
{
    d3drm = std::make_shared<TFakeD3DRM>(Log);
    return Log->Call("Direct3DRMCreate", "Direct3DRMCreate");
}

HRESULT TFakePlatform::DirectDrawCreate(const GUID*, LPDIRECTDRAW& directDraw, void*)
{
    directDraw = std::make_shared<TFakeDirectDraw>(Log);
    return Log->Call("DirectDrawCreate", "DirectDrawCreate");
}

HRESULT TFakePlatform::DirectDrawCreateClipper(DWORD, LPDIRECTDRAWCLIPPER& clipper, void*)
{
    auto created = std::make_shared<TFakeClipper>(Log);
    clipper = created;
    return Log->Call("DirectDrawCreateClipper", "DirectDrawCreateClipper -> " + created->Name);
}

TFakeDriver FakeDriver(std::uint32_t id, const std::string& name, DWORD depths, bool hardware)
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
