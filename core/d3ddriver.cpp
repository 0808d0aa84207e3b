// The table of device drivers, the built-in software rasterizer first.
#include "d3ddriver.h"

#include "softraster.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace
{
struct TDriverTable
{
    std::vector<TDriverRegistration> Drivers;
    GUID Default = kSoftwareDriverGuid;
};

TDriverTable& Table()
{
    static TDriverTable table = []
    {
        TDriverTable t;
        TDriverRegistration software;
        software.Guid = kSoftwareDriverGuid;
        software.Description = kSoftwareDriverDescription;
        software.Name = kSoftwareDriverName;
        software.HELDesc.dcmColorModel = D3DCOLOR_RGB;
        software.HELDesc.dwDeviceRenderBitDepth = DDBD_8 | DDBD_16 | DDBD_24 | DDBD_32;
        software.HELDesc.dwDeviceZBufferBitDepth = DDBD_32;
        software.Factory = [](int width, int height)
        { return CreateSoftwareDriver(width, height); };
        t.Drivers.push_back(std::move(software));
        return t;
    }();
    return table;
}
} // namespace

void RegisterD3DDriver(TDriverRegistration driver)
{
    auto& drivers = Table().Drivers;
    for (std::size_t i = 1; i < drivers.size(); ++i)
        if (drivers[i].Guid == driver.Guid)
        {
            drivers[i] = std::move(driver);
            return;
        }
    drivers.push_back(std::move(driver));
}

bool UnregisterD3DDriver(const GUID& guid)
{
    auto& drivers = Table().Drivers;
    for (std::size_t i = 1; i < drivers.size(); ++i)
        if (drivers[i].Guid == guid)
        {
            drivers.erase(drivers.begin() + static_cast<std::ptrdiff_t>(i));
            if (Table().Default == guid)
                Table().Default = kSoftwareDriverGuid;
            return true;
        }
    return false;
}

void SetDefaultD3DDriver(const GUID& guid)
{
    Table().Default = guid;
}

std::vector<TDriverRegistration> D3DDrivers()
{
    return Table().Drivers;
}

const TDriverRegistration* FindD3DDriver(const GUID* guid)
{
    const GUID wanted = guid ? *guid : Table().Default;
    const auto& drivers = Table().Drivers;
    const auto it = std::find_if(drivers.begin(), drivers.end(),
                                 [&](const auto& d) { return d.Guid == wanted; });
    return it == drivers.end() ? nullptr : &*it;
}
