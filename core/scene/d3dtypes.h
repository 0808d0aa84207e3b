// The value types the retained-mode layer and its device drivers share: numbers, vectors
// and their arithmetic, GUIDs, driver descriptions, render quality and finished pictures.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

using D3DVALUE = float;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BOOL = int;

struct D3DVECTOR
{
    D3DVALUE x = 0, y = 0, z = 0;
};

// Vector arithmetic for the layer and the drivers alike, so that both work out the same
// numbers in the same order.
inline D3DVECTOR VectorSub(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

inline D3DVECTOR VectorCross(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline D3DVALUE VectorDot(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline D3DVALUE VectorLength(const D3DVECTOR& v)
{
    return std::sqrt(VectorDot(v, v));
}

inline D3DVECTOR VectorScale(const D3DVECTOR& v, D3DVALUE s)
{
    return {v.x * s, v.y * s, v.z * s};
}

struct GUID
{
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0, Data3 = 0;
    std::array<std::uint8_t, 8> Data4 = {};
    friend bool operator==(const GUID&, const GUID&) = default;
};

// Colour models and render depths of a driver description.
using D3DCOLORMODEL = DWORD;
inline constexpr D3DCOLORMODEL D3DCOLOR_MONO = 1;
inline constexpr D3DCOLORMODEL D3DCOLOR_RGB = 2;

inline constexpr DWORD DDBD_1 = 0x4000;
inline constexpr DWORD DDBD_2 = 0x2000;
inline constexpr DWORD DDBD_4 = 0x1000;
inline constexpr DWORD DDBD_8 = 0x800;
inline constexpr DWORD DDBD_16 = 0x400;
inline constexpr DWORD DDBD_24 = 0x200;
inline constexpr DWORD DDBD_32 = 0x100;

// The part of a Direct3D device description the driver list looks at. A description with
// colour model 0 means "not available this way" (no hardware, or no emulation).
struct D3DDEVICEDESC
{
    DWORD dwSize = sizeof(D3DDEVICEDESC);
    DWORD dwFlags = 0;
    D3DCOLORMODEL dcmColorModel = 0;
    DWORD dwDevCaps = 0;
    DWORD dwDeviceRenderBitDepth = 0;
    DWORD dwDeviceZBufferBitDepth = 0;
    DWORD dwMaxBufferSize = 0;
    DWORD dwMaxVertexCount = 0;
};

// Render quality: shade mode | lighting | fill mode.
using D3DRMRENDERQUALITY = DWORD;
inline constexpr DWORD D3DRMSHADE_FLAT = 0;
inline constexpr DWORD D3DRMSHADE_GOURAUD = 1;
inline constexpr DWORD D3DRMSHADE_PHONG = 2;
inline constexpr DWORD D3DRMSHADE_MASK = 7;
inline constexpr DWORD D3DRMLIGHT_OFF = 0 * 8;
inline constexpr DWORD D3DRMLIGHT_ON = 1 * 8;
inline constexpr DWORD D3DRMLIGHT_MASK = 7 * 8;
inline constexpr DWORD D3DRMFILL_POINTS = 0 * 64;
inline constexpr DWORD D3DRMFILL_WIREFRAME = 1 * 64;
inline constexpr DWORD D3DRMFILL_SOLID = 2 * 64;
inline constexpr DWORD D3DRMFILL_MASK = 7 * 64;
inline constexpr D3DRMRENDERQUALITY D3DRMRENDER_FLAT =
    D3DRMSHADE_FLAT | D3DRMLIGHT_ON | D3DRMFILL_SOLID; // 0x88

// A finished picture: Width x Height pixels, rows top to bottom, each 0xFFRRGGBB (the layout
// of QImage::Format_RGB32).
struct TFrameBuffer
{
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
    // Added: per pixel, 1 where a Render drew and 0 where only a Clear did; empty when the last
    // Render did not ask for it (TRenderView::Coverage) or the driver cannot tell.
    std::vector<std::uint8_t> Coverage;
};
