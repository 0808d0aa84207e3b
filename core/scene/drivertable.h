// The driver table: the 3D drivers enumeration found for the screen's depth, shared by every
// preview and filled once per run, and the lookup of a driver by name. Not the registry of
// drivers a device can be made on (d3ddriver.h), which enumeration reads.
#pragma once

#include "scene/d3drm.h"

#include <array>
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

// The driver table, shared by every preview and filled once per run.
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

// Fills the table with the drivers that draw at a screen of `bitsPerPixel`, unless that was
// done (or tried) before in this run.
void EnumerateDrivers(int bitsPerPixel);

// Whether two driver names are the same, letter case ignored.
bool SameDriverName(const std::string& a, const std::string& b);
// The last table entry named `name` (letter case ignored), or -1.
int FindDriver(const std::string& name);
