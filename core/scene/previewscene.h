// The 3D preview's scene: the frames, lights, device and camera framing that the retained-mode
// window control owns and that still pictures are drawn with, without a window. Every step
// raises EDirectX on a failed call, and makes its calls in the control's order.
#pragma once

#include "scene/d3drm.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Radians per rendered frame for a position of the speed bar: 0.0025 per step, worked out in
// extended precision and handed over as a single.
D3DVALUE RotationPerFrame(int position);

// The loaded model is shown at twice the size of its file's coordinates.
inline constexpr D3DVALUE kModelScale = 2;

// The objects of one preview. The root object is made with the scene and released last, when
// it goes; Release lets go of the rest first.
class TPreviewScene
{
public:
    // The objects come from `platform`, or from the installed one (D3DPlatform) when null.
    explicit TPreviewScene(TD3DPlatform* platform = nullptr);
    ~TPreviewScene();
    TPreviewScene(const TPreviewScene&) = delete;
    TPreviewScene& operator=(const TPreviewScene&) = delete;

    // A clipper bound to `window`, then the scene root and camera, a light frame with a
    // directional light (0.9 grey, shining along the frame's +Z) and an ambient one (0.1 grey)
    // at (2, 0, 22), and an empty model frame at the origin; the camera at (0, 0, -15) looks
    // along +Z.
    void Build(HWND window);
    // A device on `driver` (nullptr: the default one) of the given size, its window device, a
    // viewport over all of it reaching 5000 units ahead, then flat lit solid rendering and the
    // shades (and library texture defaults) for a screen of `bitsPerPixel`. On a failure after
    // the device is made, what was made is released before the error is raised.
    void CreateDevice(const GUID* driver, int width, int height, int bitsPerPixel);
    // Rebuilds device and viewport at the given size, keeping quality, dither and shades.
    // Nothing happens without a device, or when the size is the device's and not `force`.
    void RecreateDevice(const GUID* driver, int width, int height, bool force);
    // Replaces the model with the meshes of a DirectX file at `scale` times their size, then
    // frames it (ResetView). The new, empty model frame stays when the file fails to load.
    void LoadModel(const std::string& fileName, D3DVALUE scale = kModelScale);
    // Added: the same with a mesh already read (ReadXData), for pictures drawn from memory.
    void LoadModel(const TXMesh& mesh, D3DVALUE scale = kModelScale);
    // Centres the model without rotation and places the camera to look at all of it from the
    // left, above and in front. Neither frame's motion changes.
    void ResetView();
    // Turns the model about the scene's downward axis by RotationPerFrame(position) per frame.
    void SetRotationSpeed(int position);
    // One frame: advance the scene's motion by a step (Added: or by `step` steps, the paced
    // preview's share of a second), then DrawFrame.
    void RenderFrame(D3DVALUE step = 1.0f);
    // Clear, render and show. Only once device, viewport and scene exist.
    void DrawFrame();
    // Added: for a still picture of the first frame. Loads the mesh as LoadModel does, turns it
    // one step at SetRotationSpeed(position) and moves the camera, keeping its direction, so
    // that the drawn faces fill `fill` of the device's picture, centred (FitPointsInView). The
    // model is shown at the size that keeps it clear of the viewport's front. A model with
    // nothing to draw keeps ResetView's framing. Follow with DrawFrame: the step is taken.
    void LoadModelFitted(const TXMesh& mesh, int position, double fill);
    // Added: the looks (textures, colours, sides) every later LoadModel and LoadModelFitted
    // gives the model's faces, until set again; empty (the default): the design's white faces.
    // Looks that do not fit the file's mesh are left off, and the model is shown without them.
    void SetFaceLooks(TFaceLooks looks) { FFaceLooks = std::move(looks); }
    const TFaceLooks& FaceLooks() const { return FFaceLooks; }
    // Added: lets go of the model (an empty model frame takes its place) and rebuilds the device
    // so that nothing sized to the model stays, for a preview that is closed. Nothing happens
    // before the scene is built.
    void ReleaseModel(const GUID* driver);
    // Added: the loaded model's vertices replaced in place, faces and looks kept, for a model
    // posed anew each frame: `positions` as its file would give them (scaled here as the load
    // scaled them), or, Raw, as they are shown. Another count than the model's raises
    // EDirectX(D3DRMERR_BADVALUE); without a model nothing happens.
    void PoseModel(const std::vector<float>& positions);
    void SetModelVerticesRaw(const std::vector<float>& positions);
    // The shown vertices (empty without a model): what SetModelVerticesRaw puts back.
    std::vector<float> ModelVerticesRaw() const;
    // Releases viewport, window device and device where present, then the model frame,
    // camera, scene and clipper; a missing one of these four is reported.
    void Release();

    // Called with true before the model file is read and with false after, also on failure.
    std::function<void(bool loading)> OnLoading;

    const LPDIRECT3DRM& D3DRM() const { return FD3DRM; }
    const LPDIRECT3DRMDEVICE& Device() const { return FDevice; }
    const LPDIRECT3DRMWINDEVICE& WinDevice() const { return FWinDevice; }
    const LPDIRECT3DRMVIEWPORT& Viewport() const { return FViewport; }
    const LPDIRECT3DRMFRAME& Scene() const { return FScene; }
    const LPDIRECT3DRMFRAME& Camera() const { return FCamera; }
    const LPDIRECT3DRMFRAME& ModelFrame() const { return FModelFrame; }

private:
    // LoadModel with `load` filling the new mesh builder.
    void LoadModelWith(const std::function<HRESULT(IDirect3DRMMeshBuilder&)>& load,
                       D3DVALUE scale);
    void BuildDeviceAndViewport(const GUID* driver, int width, int height);
    // Places the camera for FitPointsInView on the model's points at `scale`, where the model
    // frame is now; the points' nearest distance, or 0 when the camera stays.
    float FitCamera(const std::vector<D3DVECTOR>& points, D3DVALUE scale, double fill);

    TD3DPlatform* FPlatform;
    LPDIRECT3DRM FD3DRM;
    LPDIRECTDRAWCLIPPER FClipper;
    LPDIRECT3DRMDEVICE FDevice;
    LPDIRECT3DRMWINDEVICE FWinDevice;
    LPDIRECT3DRMFRAME FCamera;
    LPDIRECT3DRMFRAME FScene;
    LPDIRECT3DRMVIEWPORT FViewport;
    LPDIRECT3DRMFRAME FModelFrame;
    TFaceLooks FFaceLooks;
    // Added: the loaded model's mesh builder, kept beside the frame that shows it, and its scale.
    LPDIRECT3DRMMESHBUILDER FModelVisual;
    D3DVALUE FModelScale = kModelScale;
};
