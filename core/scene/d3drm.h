// Our own retained-mode 3D layer: the DirectDraw and Direct3D Retained Mode operations the
// preview window uses, behind abstract interfaces so that a recording fake can stand in.
//
// Objects are held in std::shared_ptr; "Release" is COMRelease (dxerror.h), which resets the
// pointer. Frames own their children and their visuals and lights; a child refers to its
// parent weakly, so nothing leaks. Every call returns a result code (0 for success, the codes
// of dxerror.h for failures) and never raises.
//
// Pictures: a device draws into its own TFrameBuffer; Update hands it to the window bound to
// the clipper (SetHWnd with a TRenderTarget), HandlePaint to the canvas it is given.
// Drivers: a device draws through a TDeviceDriver; d3ddriver.h has the interface, the drawing
// rules and the registry of drivers (the built-in software rasterizer first).
// Fakes: SetD3DPlatform replaces the factories behind the entry points (the tests' support
// library has a recording, failure-injecting one: core/tests/support/d3drmfake.h).
#pragma once

#include "scene/d3ddriver.h"
#include "scene/d3dtypes.h"
#include "scene/dxerror.h"
#include "formats/xreader.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct D3DRMBOX
{
    D3DVECTOR min, max;
};

inline constexpr HRESULT D3DENUMRET_CANCEL = 0;
inline constexpr HRESULT D3DENUMRET_OK = 1;

// Called once per driver; return D3DENUMRET_OK to go on, D3DENUMRET_CANCEL to stop.
using LPD3DENUMDEVICESCALLBACK = std::function<HRESULT(
    const GUID* guid, const std::string& description, const std::string& name,
    const D3DDEVICEDESC& hwDesc, const D3DDEVICEDESC& helDesc, void* context)>;

using D3DRMLIGHTTYPE = DWORD;
inline constexpr D3DRMLIGHTTYPE D3DRMLIGHT_AMBIENT = 0;
inline constexpr D3DRMLIGHTTYPE D3DRMLIGHT_POINT = 1;
inline constexpr D3DRMLIGHTTYPE D3DRMLIGHT_SPOT = 2;
inline constexpr D3DRMLIGHTTYPE D3DRMLIGHT_DIRECTIONAL = 3;
inline constexpr D3DRMLIGHTTYPE D3DRMLIGHT_PARALLELPOINT = 4;

using D3DRMLOADOPTIONS = DWORD;
inline constexpr D3DRMLOADOPTIONS D3DRMLOAD_FROMFILE = 0;

// ---------------------------------------------------------------------------------------------
// Windows: where a device's pictures go.

// A window (or a paint event's canvas) that shows pictures. The Qt widget implements it;
// the command line implements it to capture a frame. The layer never owns a target: whoever
// binds one (clipper SetHWnd, HandlePaint) keeps it alive while it is bound.
class TRenderTarget
{
public:
    virtual ~TRenderTarget() = default;
    virtual void Present(const TFrameBuffer& frame) = 0;
};

// The platform's window and device-context handles.
using HWND = TRenderTarget*;
using HDC = TRenderTarget*;

// ---------------------------------------------------------------------------------------------
// The interfaces. Each stands for the platform interface of the same name.

class IDirect3DRMFrame;
class IDirect3DRMMeshBuilder;
class IDirect3DRMLight;
class IDirect3DRMDevice;
class IDirect3DRMWinDevice;
class IDirect3DRMViewport;
class IDirectDrawClipper;
class IDirect3D;

using LPDIRECT3DRMFRAME = std::shared_ptr<IDirect3DRMFrame>;
using LPDIRECT3DRMMESHBUILDER = std::shared_ptr<IDirect3DRMMeshBuilder>;
using LPDIRECT3DRMLIGHT = std::shared_ptr<IDirect3DRMLight>;
using LPDIRECT3DRMDEVICE = std::shared_ptr<IDirect3DRMDevice>;
using LPDIRECT3DRMWINDEVICE = std::shared_ptr<IDirect3DRMWinDevice>;
using LPDIRECT3DRMVIEWPORT = std::shared_ptr<IDirect3DRMViewport>;
using LPDIRECTDRAWCLIPPER = std::shared_ptr<IDirectDrawClipper>;
using LPDIRECT3D = std::shared_ptr<IDirect3D>;

class IDirect3DRMLight
{
public:
    virtual ~IDirect3DRMLight() = default;
    virtual D3DRMLIGHTTYPE GetType() = 0;
    virtual D3DVECTOR GetColor() = 0; // red, green, blue in x, y, z
};

// A mesh builder: geometry loaded from a .X file, usable as a frame's visual. A builder added
// to a frame stays shared with it: later changes to the builder show in the frame.
class IDirect3DRMMeshBuilder
{
public:
    virtual ~IDirect3DRMMeshBuilder() = default;
    // Replaces the contents with the meshes of a DirectX text file. D3DRMERR_FILENOTFOUND
    // when it cannot be opened, D3DRMERR_BADFILE when it is not a well-formed text .X file.
    // The object name, texture callback and its argument are accepted and ignored.
    virtual HRESULT Load(const std::string& fileName, const char* objectName,
                         D3DRMLOADOPTIONS options, void* textureCallback, void* arg) = 0;
    // Added: replaces the contents with a mesh already read (ReadXData), as Load does with the
    // mesh of a file; for pictures drawn from .X text in memory.
    virtual HRESULT LoadMesh(const TXMesh& mesh) = 0;
    virtual HRESULT Scale(D3DVALUE sx, D3DVALUE sy, D3DVALUE sz) = 0;
    // Adds the visuals of the frame and of all frames below it, placed in the frame's own
    // coordinates (the frame's own position and orientation are not applied).
    virtual HRESULT AddFrame(const LPDIRECT3DRMFRAME& frame) = 0;
    // Added: how each face of the mesh looks (TFaceLooks, d3ddriver.h); the looks' FaceColors
    // take the place of the faces' colours. The looks stay through Scale and AddFrame (into
    // another builder) and go with the next Load. Looks that do not fit the mesh (a count, a
    // texture index or a texture's size) are D3DRMERR_BADVALUE and change nothing.
    virtual HRESULT SetFaceLooks(const TFaceLooks& looks) = 0;
    // Added: the vertex positions (x, y, z each), and all of them replaced by as many new ones,
    // faces and looks kept: a model posed anew each frame. Any other count is
    // D3DRMERR_BADVALUE and changes nothing.
    virtual HRESULT GetVertices(std::vector<float>& positions) = 0;
    virtual HRESULT SetVertices(const std::vector<float>& positions) = 0;
    // The bounding box of the vertices; all zero for an empty builder.
    virtual HRESULT GetBox(D3DRMBOX& box) = 0;
    virtual int GetVertexCount() = 0;
    virtual int GetFaceCount() = 0;
};

// A frame of the scene hierarchy. A reference frame of nullptr means world coordinates
// (those of an unmoved root frame). Orientation: direction is the frame's Z axis, up its Y
// axis, both given in the reference frame; left-handed, so X = up x direction. A reference
// frame that is not one of this layer's frames is D3DRMERR_BADOBJECT.
class IDirect3DRMFrame
{
public:
    virtual ~IDirect3DRMFrame() = default;
    virtual HRESULT AddLight(const LPDIRECT3DRMLIGHT& light) = 0;
    virtual HRESULT AddVisual(const LPDIRECT3DRMMESHBUILDER& visual) = 0;
    // Unlinks a direct child; D3DRMERR_NOTFOUND when it is not one. A null child is
    // DDERR_INVALIDPARAMS.
    virtual HRESULT DeleteChild(const LPDIRECT3DRMFRAME& child) = 0;
    // Advances this frame and every frame below it by `delta` steps of velocity and rotation.
    virtual HRESULT Move(D3DVALUE delta) = 0;
    virtual HRESULT SetPosition(const LPDIRECT3DRMFRAME& reference, D3DVALUE x, D3DVALUE y,
                                D3DVALUE z) = 0;
    // A zero direction or an up vector parallel to it is D3DRMERR_BADVALUE.
    virtual HRESULT SetOrientation(const LPDIRECT3DRMFRAME& reference, D3DVALUE dx, D3DVALUE dy,
                                   D3DVALUE dz, D3DVALUE ux, D3DVALUE uy, D3DVALUE uz) = 0;
    // Each Move(1) turns the frame by theta radians about the axis (given in the reference
    // frame) through its own origin. A zero axis stops the turning.
    virtual HRESULT SetRotation(const LPDIRECT3DRMFRAME& reference, D3DVALUE x, D3DVALUE y,
                                D3DVALUE z, D3DVALUE theta) = 0;
    // Each Move(1) shifts the frame by (x, y, z) of the reference frame. withRotation is
    // accepted and ignored.
    virtual HRESULT SetVelocity(const LPDIRECT3DRMFRAME& reference, D3DVALUE x, D3DVALUE y,
                                D3DVALUE z, BOOL withRotation) = 0;
    virtual HRESULT GetPosition(const LPDIRECT3DRMFRAME& reference, D3DVECTOR& position) = 0;
    virtual HRESULT GetOrientation(const LPDIRECT3DRMFRAME& reference, D3DVECTOR& direction,
                                   D3DVECTOR& up) = 0;
    virtual LPDIRECT3DRMFRAME GetParent() = 0;
    virtual int GetChildCount() = 0;
};

// The window-message side of a device.
class IDirect3DRMWinDevice
{
public:
    virtual ~IDirect3DRMWinDevice() = default;
    // Hands the last finished picture to the canvas (a null canvas is DDERR_INVALIDPARAMS).
    virtual HRESULT HandlePaint(HDC dc) = 0;
    virtual HRESULT HandleActivate(WORD wparam) = 0;
};

// A rendering device of one driver, drawing into its own picture of a fixed size.
class IDirect3DRMDevice
{
public:
    virtual ~IDirect3DRMDevice() = default;
    // The window-message interface of the same device (the platform's QueryInterface for
    // IID_IDirect3DRMWinDevice).
    virtual HRESULT QueryInterface(LPDIRECT3DRMWINDEVICE& winDevice) = 0;
    // Shows the picture rendered since the last Update in the clipper's window.
    virtual HRESULT Update() = 0;
    virtual DWORD GetWidth() = 0;
    virtual DWORD GetHeight() = 0;
    virtual BOOL GetDither() = 0;
    virtual D3DRMRENDERQUALITY GetQuality() = 0;
    virtual DWORD GetShades() = 0;
    virtual HRESULT SetDither(BOOL dither) = 0;
    virtual HRESULT SetQuality(D3DRMRENDERQUALITY quality) = 0;
    // Number of shading steps between dark and fully lit (a power of two, 1 .. 256; other
    // values are D3DRMERR_BADVALUE).
    virtual HRESULT SetShades(DWORD shades) = 0;
    // The last picture rendered (what Update shows next).
    virtual const TFrameBuffer& GetFrameBuffer() = 0;
    // Added: whether Render also marks the pixels it draws (TFrameBuffer::Coverage); off until
    // set.
    virtual HRESULT SetCoverage(BOOL coverage) = 0;
};

// A view of a scene through a camera frame onto a rectangle of a device. The camera looks
// along its Z axis with its Y axis up; front clip 1, field 0.5 (the view plane's half height
// at distance 1), back clip 100 until SetBack.
class IDirect3DRMViewport
{
public:
    virtual ~IDirect3DRMViewport() = default;
    // Fills the rectangle with the background (black) and resets its depth.
    virtual HRESULT Clear() = 0;
    // Draws the hierarchy below `scene` (usually the root frame) with its lights.
    virtual HRESULT Render(const LPDIRECT3DRMFRAME& scene) = 0;
    // The back clipping distance; it must lie beyond the front (else D3DRMERR_BADVALUE).
    virtual HRESULT SetBack(D3DVALUE back) = 0;
    virtual D3DVALUE GetBack() = 0;
};

// DirectDraw's clipper: here only the binding to a window.
class IDirectDrawClipper
{
public:
    virtual ~IDirectDrawClipper() = default;
    virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
    virtual HWND GetHWnd() = 0;
};

class IDirect3D
{
public:
    virtual ~IDirect3D() = default;
    // Lists every driver: the built-in ones, then the registered ones in order.
    virtual HRESULT EnumDevices(const LPD3DENUMDEVICESCALLBACK& callback, void* context) = 0;
};

class IDirectDraw
{
public:
    virtual ~IDirectDraw() = default;
    // The platform's QueryInterface for IID_IDirect3D.
    virtual HRESULT QueryInterface(LPDIRECT3D& direct3D) = 0;
};

using LPDIRECTDRAW = std::shared_ptr<IDirectDraw>;

// The retained-mode root object.
class IDirect3DRM
{
public:
    virtual ~IDirect3DRM() = default;
    // A frame; with a parent it becomes that frame's child.
    virtual HRESULT CreateFrame(const LPDIRECT3DRMFRAME& parent, LPDIRECT3DRMFRAME& frame) = 0;
    virtual HRESULT CreateLightRGB(D3DRMLIGHTTYPE type, D3DVALUE red, D3DVALUE green, D3DVALUE blue,
                                   LPDIRECT3DRMLIGHT& light) = 0;
    virtual HRESULT CreateMeshBuilder(LPDIRECT3DRMMESHBUILDER& builder) = 0;
    // A device of the driver `driverGuid` (nullptr: the default driver) presenting in the
    // clipper's window. An unknown GUID is DDERR_INVALIDDIRECTDRAWGUID; a size below 1 or
    // above 8192 is DDERR_INVALIDPARAMS.
    virtual HRESULT CreateDeviceFromClipper(const LPDIRECTDRAWCLIPPER& clipper,
                                            const GUID* driverGuid, int width, int height,
                                            LPDIRECT3DRMDEVICE& device) = 0;
    // A rectangle that does not lie within the device is DDERR_INVALIDPARAMS.
    virtual HRESULT CreateViewport(const LPDIRECT3DRMDEVICE& device,
                                   const LPDIRECT3DRMFRAME& camera, DWORD x, DWORD y, DWORD width,
                                   DWORD height, LPDIRECT3DRMVIEWPORT& viewport) = 0;
    virtual HRESULT SetDefaultTextureColors(DWORD colors) = 0;
    virtual HRESULT SetDefaultTextureShades(DWORD shades) = 0;
};

using LPDIRECT3DRM = std::shared_ptr<IDirect3DRM>;

// ---------------------------------------------------------------------------------------------
// Library entry points, served by the current platform object.

// The factories behind the entry points. The built-in platform gives the real layer; a test
// installs a fake with SetD3DPlatform and restores the built-in one with SetD3DPlatform(nullptr).
class TD3DPlatform
{
public:
    virtual ~TD3DPlatform() = default;
    virtual HRESULT Direct3DRMCreate(LPDIRECT3DRM& d3drm) = 0;
    virtual HRESULT DirectDrawCreate(const GUID* guid, LPDIRECTDRAW& directDraw, void* outer) = 0;
    virtual HRESULT DirectDrawCreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER& clipper,
                                            void* outer) = 0;
};

void SetD3DPlatform(std::shared_ptr<TD3DPlatform> platform);
TD3DPlatform& D3DPlatform();
// Added: the built-in platform whatever is installed, for work on other threads (thumbnails),
// which must neither reach a test's fake nor read the platform while it is being replaced.
// It keeps no state of its own, so any thread may use it.
TD3DPlatform& BuiltinD3DPlatform();

HRESULT Direct3DRMCreate(LPDIRECT3DRM& d3drm);
HRESULT DirectDrawCreate(const GUID* guid, LPDIRECTDRAW& directDraw, void* outer);
HRESULT DirectDrawCreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER& clipper, void* outer);

// result = a x b (the usual component formula); returns result.
D3DVECTOR* D3DRMVectorCrossProduct(D3DVECTOR* result, const D3DVECTOR* a, const D3DVECTOR* b);
D3DVALUE D3DRMVectorModulus(const D3DVECTOR* v);
