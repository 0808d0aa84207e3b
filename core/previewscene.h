// The 3D preview's scene: the frames, lights, device settings and camera framing that the
// retained-mode window control sets up, for the control and for the command line, which draws
// the same first frame without a window. Every step raises EDirectX on a failed call, and the
// calls are made in the order the control has always made them.
#pragma once

#include "d3drm.h"

// Scene root, camera at (0, 0, -15) looking along +Z, a light frame at (2, 0, 22) holding a
// directional light (0.9 grey, shining along the frame's +Z) and an ambient one (0.1 grey),
// and an empty model frame at the origin.
void BuildPreviewScene(const LPDIRECT3DRM& d3drm, LPDIRECT3DRMFRAME& scene,
                       LPDIRECT3DRMFRAME& camera, LPDIRECT3DRMFRAME& modelFrame);

// A device on `driver` (nullptr: the default one) of the given size, its window device and a
// viewport over all of it seen from `camera`, reaching 5000 units ahead. On a failure after
// the device is made, what was made is released before the error is raised.
void BuildPreviewDevice(const LPDIRECT3DRM& d3drm, const LPDIRECTDRAWCLIPPER& clipper,
                        const GUID* driver, int width, int height, const LPDIRECT3DRMFRAME& camera,
                        LPDIRECT3DRMDEVICE& device, LPDIRECT3DRMWINDEVICE& winDevice,
                        LPDIRECT3DRMVIEWPORT& viewport);

// Flat, lit, solid rendering and the shades (and library texture defaults) suiting a screen
// of `bitsPerPixel`; depths other than 1, 16, 24 and 32 keep the defaults.
void SetPreviewQuality(const LPDIRECT3DRM& d3drm, const LPDIRECT3DRMDEVICE& device,
                       int bitsPerPixel);

// Takes the model frame out of the scene and puts a new, empty one in its place.
void ReplaceModelFrame(const LPDIRECT3DRM& d3drm, const LPDIRECT3DRMFRAME& scene,
                       LPDIRECT3DRMFRAME& modelFrame);

// Loads the meshes of a DirectX file into `builder`, doubles their size and shows them in
// the model frame.
void AddModelMeshes(const LPDIRECT3DRMMESHBUILDER& builder, const std::string& fileName,
                    const LPDIRECT3DRMFRAME& modelFrame);

// Where ResetView puts model and camera for a model box, in single precision: the box's
// centre goes to the origin and the camera steps back by twice (largest extent + 1).
struct TPreviewFraming
{
    D3DVECTOR Center;
    D3DVECTOR CameraPosition;
};

TPreviewFraming FrameModelBox(const D3DRMBOX& box);

// The box of everything in the model frame (a scratch mesh builder, released also when a
// step fails).
D3DRMBOX ModelBox(const LPDIRECT3DRM& d3drm, const LPDIRECT3DRMFRAME& modelFrame);

// Centres the model without rotation and places the camera to look at it from the left,
// above and in front. Neither frame's motion changes.
void ApplyPreviewFraming(const TPreviewFraming& framing, const LPDIRECT3DRMFRAME& scene,
                         const LPDIRECT3DRMFRAME& camera, const LPDIRECT3DRMFRAME& modelFrame);

// One frame: advance the scene's motion by a step, clear, render and show.
void RenderPreviewFrame(const LPDIRECT3DRMFRAME& scene, const LPDIRECT3DRMVIEWPORT& viewport,
                        const LPDIRECT3DRMDEVICE& device);
