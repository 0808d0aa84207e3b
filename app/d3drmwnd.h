// The retained-mode window control: a widget that owns a 3D scene, its camera and lights, and
// the device and viewport sized to it, renders one frame per idle call and lists the drivers.
#pragma once

#include "d3drm.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

// One 3D driver as enumeration reported it.
struct TDriverInfo
{
    GUID Guid;
    std::string Description;
    std::string Name;
    D3DDEVICEDESC HWDesc;
    D3DDEVICEDESC HELDesc;
};

inline constexpr int kMaxDrivers = 8;
inline constexpr const char* kInvalidDriverNameIndex = "Invalid driver name index";

// The driver table, shared by every control and filled once per run.
extern std::array<TDriverInfo, kMaxDrivers> DriverTable;
extern int DriverTableCount;
extern bool DriversEnumerated;

// The render-depth bit (DDBD_*) for a screen depth in bits per pixel; 0 for depths no driver
// renders to.
DWORD RenderDepthFlag(int bitsPerPixel);

// Enumeration callback: records a driver whose usable description (the hardware one when it
// has a colour model, else the emulation one) renders to a depth in `*context` (a DWORD of
// DDBD_* bits). Asks to stop once the table is full.
HRESULT EnumDevicesCallback(const GUID* guid, const std::string& description,
                            const std::string& name, const D3DDEVICEDESC& hwDesc,
                            const D3DDEVICEDESC& helDesc, void* context);

// The general failure of a bad driver index.
class EDriverIndexError : public std::runtime_error
{
public:
    EDriverIndexError() : std::runtime_error(kInvalidDriverNameIndex) {}
};

// A widget hosting a retained-mode scene. It owns every 3D object it creates (released in
// the destructor, the root object last); the host form drives it through InitScene, the
// model and view calls and the driver list. Failed 3D calls raise EDirectX; calls made from
// its own event handlers are reported through RunCommand. The widget is the window that
// the clipper binds, so its devices present into it.
class TD3DRMWindow : public QWidget, private TRenderTarget
{
public:
    using TNotifyEvent = std::function<void(TD3DRMWindow* sender)>;
    // Key is the virtual key code (37..40 arrows, 32 space, 'A'..'Z'); a handler may change it.
    using TKeyEvent =
        std::function<void(TD3DRMWindow* sender, int& key, Qt::KeyboardModifiers shift)>;

    // `designing` stands for the form designer: such a control only draws its placeholder.
    explicit TD3DRMWindow(QWidget* owner = nullptr, bool designing = false);
    ~TD3DRMWindow() override;

    // Builds clipper, scene, lights, camera, model frame, device and viewport, then fires
    // OnBuildScene. The host calls it once its own controls are laid out.
    void InitScene();
    // Replaces the model with the meshes of a DirectX file and frames the camera on it.
    void LoadModel(const std::string& fileName);
    // Centres the model and moves the camera back so that all of it is in view.
    void ResetView();
    void RenderFrame();
    // The application idle handler; the host installs it with SetApplicationIdleHandler.
    void IdleHandler(QObject* sender, bool& done);
    // Hands an activation (low word of wParam: 0 inactive, 1 active, 2 click-active) to the
    // window device.
    void HandleActivate(std::uint32_t wParam);
    // Rebuilds device and viewport at the current size (always when `force`).
    void RecreateDevice(bool force);

    bool HasFailed() const { return FRenderFailures > 2 || FPaintFailures > 2; }
    int DriverCount() const { return DriverTableCount; }
    // Raises EDriverIndexError outside 0 .. DriverCount-1.
    std::string DriverNames(int index) const;
    std::string DriverName() const;
    // Switches to the driver of that name (letter case ignored); an unknown name picks the
    // default driver. Nothing happens when the name is the current one.
    void SetDriverName(const std::string& name);
    void SetDriverIndex(int index);

    bool Initialized() const { return FInitialized; }
    int FrameCount() const { return FFrameCount; }
    const LPDIRECT3DRMFRAME& Scene() const { return FScene; }
    const LPDIRECT3DRMFRAME& Camera() const { return FCamera; }
    const LPDIRECT3DRMFRAME& ModelFrame() const { return FModelFrame; }
    // What tests and the benchmarks look at.
    int PaintFailures() const { return FPaintFailures; }
    int RenderFailures() const { return FRenderFailures; }
    int DriverIndex() const { return FDriverIndex; }
    const GUID* DriverGUID() const { return FDriverGUID; }
    const LPDIRECT3DRMDEVICE& Device() const { return FDevice; }

    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);

    TNotifyEvent OnBuildScene;
    TNotifyEvent OnClick;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;

protected:
    // Bits per pixel of the screen the control is on; tests override it.
    virtual int ScreenBitsPerPixel() const;

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Present(const TFrameBuffer& frame) override;
    void EnumerateDrivers();
    void CreateDevice();
    // Steps 1 to 4 of device creation, releasing what was built when a step fails.
    void BuildDeviceAndViewport();
    void Paint();
    void PaintPlaceholder();
    bool OwnerMinimized() const;

    LPDIRECT3DRM FD3DRM;
    LPDIRECTDRAWCLIPPER FClipper;
    LPDIRECT3DRMDEVICE FDevice;
    LPDIRECT3DRMWINDEVICE FWinDevice;
    LPDIRECT3DRMFRAME FCamera;
    LPDIRECT3DRMFRAME FScene;
    LPDIRECT3DRMVIEWPORT FViewport;
    LPDIRECT3DRMFRAME FModelFrame;
    int FPaintFailures = 0;
    int FRenderFailures = 0;
    bool FInitialized = false;
    int FFrameCount = 0;
    int FBitsPerPixel = 0;
    int FDriverIndex = 0;
    const GUID* FDriverGUID = nullptr;

    bool FDesigning = false;
    QColor FColor;
    bool FMousePressed = false;
    // Added: the canvas a paint hands to the device; set only inside paintEvent.
    class QPainter* FPainter = nullptr;
};
