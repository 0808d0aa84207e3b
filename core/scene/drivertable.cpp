// The driver table.
#include "scene/drivertable.h"

#include "base/U_String.h"
#include "scene/dxerror.h"

std::array<TDriverInfo, kMaxDrivers> DriverTable;
int DriverTableCount = 0;
bool DriversEnumerated = false;

DWORD RenderDepthFlag(int bitsPerPixel)
{
    switch (bitsPerPixel)
    {
    case 1:
        return DDBD_1;
    case 2:
        return DDBD_2;
    case 4:
        return DDBD_4;
    case 8:
        return DDBD_8;
    case 16:
        return DDBD_16;
    case 24:
        return DDBD_24;
    case 32:
        return DDBD_32;
    default:
        return 0;
    }
}

HRESULT EnumDevicesCallback(const GUID* guid, const std::string& description,
                            const std::string& name, const D3DDEVICEDESC& hwDesc,
                            const D3DDEVICEDESC& helDesc, void* context)
{
    const DWORD depthFlag = *static_cast<const DWORD*>(context);
    const D3DDEVICEDESC& desc = hwDesc.dcmColorModel != 0 ? hwDesc : helDesc;
    // Added: the bound check, so that an enumerator ignoring the stop cannot overrun.
    if ((desc.dwDeviceRenderBitDepth & depthFlag) != 0 && DriverTableCount < kMaxDrivers)
    {
        TDriverInfo& entry = DriverTable[DriverTableCount];
        entry.Guid = guid ? *guid : GUID{};
        entry.HWDesc = hwDesc;
        entry.HELDesc = helDesc;
        entry.Description = description;
        entry.Name = name;
        ++DriverTableCount;
    }
    return DriverTableCount < kMaxDrivers ? D3DENUMRET_OK : D3DENUMRET_CANCEL;
}

void EnumerateDrivers(int bitsPerPixel)
{
    if (DriversEnumerated)
        return;
    // Declared in this order so that, when a step raises, Direct3D goes before DirectDraw.
    LPDIRECTDRAW directDraw;
    LPDIRECT3D direct3D;
    DXCheck(DirectDrawCreate(nullptr, directDraw, nullptr));
    DXCheck(directDraw->QueryInterface(direct3D));
    DriversEnumerated = true;
    DWORD depthFlag = RenderDepthFlag(bitsPerPixel);
    DXCheck(direct3D->EnumDevices(EnumDevicesCallback, &depthFlag));
    COMRelease(direct3D);
    COMRelease(directDraw);
}

int FindDriver(const std::string& name)
{
    int index = -1;
    for (int i = 0; i < DriverTableCount; ++i)
    {
        if (SameText(DriverTable[i].Name, name))
            index = i;
    }
    return index;
}
