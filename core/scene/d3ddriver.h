// The device driver interface of the retained-mode layer: what a driver is given to draw
// (meshes, placements, lights, camera), the rules every driver draws by, and the registry of
// drivers a device can be made on. The software rasterizer and the OpenGL driver implement it;
// the layer (d3drm.h) flattens its scene into a TRenderView for them.
#pragma once

#include "model/model.h"
#include "scene/d3dtypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Added: a texture faces share: Width x Height texels, each 0xAARRGGBB, rows from the top.
struct TRenderTexture
{
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Texels;
};

// Added: what a face is beyond its place and flat colour (TFaceLooks::FaceFlags). The first two
// are the model's own bits of a face's type field.
inline constexpr std::uint8_t kFaceDoubleSided = kModelFaceDoubleSided; // seen from either side
inline constexpr std::uint8_t kFaceTranslucent = kModelFaceTranslucent; // at kTranslucentAlpha
inline constexpr std::uint8_t kFaceFullBright = 0x4; // lights play no part
inline constexpr std::uint8_t kFaceHidden = 0x8;     // not drawn

// Added: how each face of a mesh looks, as the game draws it. Empty: every face in its flat
// colour, lit and culled as the design draws it.
struct TFaceLooks
{
    std::vector<std::int32_t> FaceTextures; // per face: index into Textures, -1 for flat colour
    std::vector<std::uint8_t> FaceFlags;    // per face: kFace... bits
    // Per corner, in the order of TRenderMesh::Indices: u, v in widths and heights of the
    // face's texture, origin at its top left, +v down; the texture repeats.
    std::vector<float> TexCoords;
    std::vector<std::shared_ptr<const TRenderTexture>> Textures;
    // Per face RGB (0 .. 1): attaching the looks to a mesh builder puts these in place of the
    // mesh's FaceColors (a textured face's colour is white: the light alone).
    std::vector<float> FaceColors;

    bool Empty() const { return FaceTextures.empty(); }
};

// A scene flattened for one Render: what a driver needs to draw it.
struct TRenderMesh
{
    // Vertex positions (x, y, z each), face sizes, corner indices (faces one after another,
    // each drawn as a fan from its first corner) and one RGB colour per face (0 .. 1).
    std::vector<float> Positions;
    std::vector<std::uint32_t> FaceSizes;
    std::vector<std::uint32_t> Indices;
    std::vector<float> FaceColors;
    // Added: how the faces look; its FaceColors are left empty (they are in FaceColors above).
    TFaceLooks Looks;
    // Changes whenever the mesh builder changes the geometry, so drivers that keep a copy of a
    // mesh (uploaded to a graphics card) know when to make it anew.
    std::uint64_t Version = 0;
};

// A row-vector transform: p' = p * M, with the rows of M the X, Y, Z axes and the origin.
struct TMatrix43
{
    std::array<float, 12> M = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
};

struct TRenderItem
{
    std::shared_ptr<const TRenderMesh> Mesh;
    TMatrix43 World; // mesh coordinates to scene coordinates
};

struct TRenderLights
{
    float Ambient[3] = {0, 0, 0};
    struct TDirectional
    {
        float Direction[3]; // unit vector in scene coordinates: where the light shines to
        float Color[3];
    };
    std::vector<TDirectional> Directional;
};

// What a driver is to draw, and how the built-in one draws it (another driver should match):
// - camera coordinates: x right, y up, z ahead; only Front <= z <= Back is drawn;
// - screen: sx = X + Width / 2 + (x / z) * k, sy = Y + Height / 2 - (y / z) * k with
//   k = Height / (2 * Field) pixels; a pixel is covered when its centre is inside;
// - depth: the largest 1/z wins, the first drawn on a tie;
// - faces of fewer than 3 corners draw nothing; the others draw as fans from corner 0;
//   a face whose normal (v1 - v0) x (v2 - v0) (Newell's for more corners) points away from
//   the eye is not drawn;
// - flat lighting (when Quality has D3DRMLIGHT_ON): per channel, ambient plus each
//   directional colour times max(0, -normal . direction), capped at 1, times the face colour,
//   quantized to Shades steps (rastershared.h has these rules); with lights off, the face colour.
// Added, for meshes with Looks (rastershared.h has the arithmetic):
// - a hidden face draws nothing; a double-sided face is drawn seen from behind too, lit as if
//   its normal pointed at the eye; a full-bright face is drawn as with lights off;
// - a textured face shows its texture's nearest texel (repeating), texture coordinates
//   interpolated perspective-correctly; a texel with alpha below 128 is not drawn at all; each
//   channel is the texel's times the face's lit white (FaceColor of white), rounded;
// - translucent faces are drawn after every opaque face of the view, item by item in face
//   order, with the same depth test and depth write, each channel blended as
//   (new * 90 + old * 165) / 255, rounded.
struct TRenderView
{
    int X = 0, Y = 0, Width = 0, Height = 0; // the viewport's rectangle on the device
    float Front = 1, Back = 100, Field = 0.5f;
    TMatrix43 View; // scene coordinates to camera coordinates
    TRenderLights Lights;
    D3DRMRENDERQUALITY Quality = D3DRMRENDER_FLAT;
    DWORD Shades = 32;
    std::vector<TRenderItem> Items;
    // Added: also mark the pixels drawn (TFrameBuffer::Coverage). Only still pictures with a
    // background of their own need it; a window does not pay for it.
    bool Coverage = false;
};

// The implementation of a device for one driver.
class TDeviceDriver
{
public:
    virtual ~TDeviceDriver() = default;
    virtual void Clear(int x, int y, int width, int height, std::uint32_t color) = 0;
    virtual void Render(const TRenderView& view) = 0;
    // The picture drawn so far.
    virtual const TFrameBuffer& Frame() = 0;
};

using TDeviceDriverFactory = std::function<std::unique_ptr<TDeviceDriver>(int width, int height)>;

struct TDriverRegistration
{
    GUID Guid;
    std::string Description;
    std::string Name;
    D3DDEVICEDESC HWDesc;
    D3DDEVICEDESC HELDesc;
    TDeviceDriverFactory Factory;
};

// The built-in software driver (emulation): flat shading, depth test, deterministic output.
inline constexpr GUID kSoftwareDriverGuid = {
    0x51756C6D, 0x5357, 0x0001, {0x80, 0x00, 0x51, 0x75, 0x69, 0x6C, 0x6C, 0x31}};
inline constexpr const char* kSoftwareDriverName = "RGB Emulation";
inline constexpr const char* kSoftwareDriverDescription = "Quillmark software rasterizer";

// The built-in driver's entry, which the registry starts with. The software rasterizer makes it
// (raster/softraster.cpp), so the registry does not reach up to the rasterizer for it.
TDriverRegistration SoftwareDriverRegistration();

// The registry of drivers a device can be made on. Not the preview's driver table
// (drivertable.h), which lists those of the registry that draw at the screen's depth.

// Adds a driver that EnumDevices lists after the built-in one and CreateDeviceFromClipper
// accepts by GUID. A GUID already registered replaces that entry.
void RegisterD3DDriver(TDriverRegistration driver);
// Removes a registered driver (the built-in one stays). Returns whether one was removed.
bool UnregisterD3DDriver(const GUID& guid);
// Makes a driver the one used for a null GUID (the built-in one until changed).
void SetDefaultD3DDriver(const GUID& guid);
// Added: whether an OpenGL renderer string names one that draws on the processor (Mesa's
// llvmpipe, softpipe, swrast: virtual machines, remote desktops, no graphics driver). There
// the built-in driver is several times faster, so OpenGL is not made the default.
bool IsSoftwareOpenGLRenderer(std::string_view renderer);
// The drivers in the order EnumDevices lists them: the built-in one, then the registered ones.
std::vector<TDriverRegistration> D3DDrivers();
// The driver of `guid` (nullptr: the default driver), or nullptr when there is none. The
// entry stays valid until the next registration change.
const TDriverRegistration* FindD3DDriver(const GUID* guid);
