// The retained-mode window control: a widget that owns a 3D scene, its camera and lights, and
// the device and viewport sized to it, renders one frame per idle call and lists the drivers.
#pragma once

#include "scene/drivertable.h"
#include "scene/framepace.h"
#include "scene/previewscene.h"

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

inline constexpr const char* kInvalidDriverNameIndex = "Invalid driver name index";

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
    // Added: the looks the next models loaded give their faces (TPreviewScene::SetFaceLooks).
    void SetFaceLooks(TFaceLooks looks) { FPreview.SetFaceLooks(std::move(looks)); }
    // Centres the model and moves the camera back so that all of it is in view.
    void ResetView();
    // Added: `step` steps of motion (the paced loop's share of a second), one by default.
    void RenderFrame(D3DVALUE step = 1.0f);
    // The application idle handler; the host installs it with SetApplicationIdleHandler.
    // Added: at most one frame per refresh of the control's screen, its motion scaled by the
    // time since the last one (framepace.h); with QUILLMARK_NO_FRAME_CAP=1 one frame per call,
    // a step each, as before.
    void IdleHandler(QObject* sender, bool& done);
    // Added: the clock the paced loop reads (seconds); tests give their own.
    using TFrameClock = std::function<double()>;
    void SetFrameClock(TFrameClock clock)
    {
        FClock = std::move(clock);
        FPacer.Pause();
    }
    bool FrameCapped() const { return FFrameCap; }
    // Added: lets go of the model and what the device holds for it (a closed preview).
    void ReleaseModel();
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
    const LPDIRECT3DRMFRAME& Scene() const { return FPreview.Scene(); }
    const LPDIRECT3DRMFRAME& Camera() const { return FPreview.Camera(); }
    const LPDIRECT3DRMFRAME& ModelFrame() const { return FPreview.ModelFrame(); }
    // What tests and the benchmarks look at.
    int PaintFailures() const { return FPaintFailures; }
    int RenderFailures() const { return FRenderFailures; }
    int DriverIndex() const { return FDriverIndex; }
    const GUID* DriverGUID() const { return FDriverGUID; }
    const LPDIRECT3DRMDEVICE& Device() const { return FPreview.Device(); }

    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);

    // Added: the preview's scene, for a model posed in place.
    TPreviewScene& Preview() { return FPreview; }

    TNotifyEvent OnBuildScene;
    // Added: called before each frame is rendered; an animated preview poses its model there.
    TNotifyEvent OnBeforeFrame;
    TNotifyEvent OnClick;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;

protected:
    // Bits per pixel of the screen the control is on; tests override it.
    virtual int ScreenBitsPerPixel() const;
    // Added: refreshes per second of that screen (0 when it does not tell); tests override it.
    virtual double ScreenRefreshRate() const;

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Present(const TFrameBuffer& frame) override;
    void Paint();
    void PaintPlaceholder();
    bool OwnerMinimized() const;

    // The root object, clipper, frames, device and viewport.
    TPreviewScene FPreview;
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
    // Added: the paced loop (see IdleHandler) and the timer that wakes it for the next frame.
    bool FFrameCap = !FrameCapDisabled();
    TFramePacer FPacer;
    TFrameClock FClock = SteadySeconds;
    QTimer FWakeTimer;
};
