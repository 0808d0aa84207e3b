// The table of device drivers, the built-in software rasterizer first.
#include "scene/d3ddriver.h"

#include "raster/softraster.h"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

namespace
{
// Devices are also made on other threads (thumbnails) while the user-interface thread may
// register a driver: the table is locked, and a deque keeps a registration where it is when
// others are added, so a device can be made from the one FindD3DDriver gave.
struct TDriverTable
{
    TDriverTable()
    {
        TDriverRegistration software;
        software.Guid = kSoftwareDriverGuid;
        software.Description = kSoftwareDriverDescription;
        software.Name = kSoftwareDriverName;
        software.HELDesc.dcmColorModel = D3DCOLOR_RGB;
        software.HELDesc.dwDeviceRenderBitDepth = DDBD_8 | DDBD_16 | DDBD_24 | DDBD_32;
        software.HELDesc.dwDeviceZBufferBitDepth = DDBD_32;
        software.Factory = [](int width, int height)
        { return CreateSoftwareDriver(width, height); };
        Drivers.push_back(std::move(software));
    }

    std::deque<TDriverRegistration> Drivers;
    GUID Default = kSoftwareDriverGuid;
    std::mutex Lock;
};

TDriverTable& Table()
{
    static TDriverTable table;
    return table;
}
} // namespace

void RegisterD3DDriver(TDriverRegistration driver)
{
    const std::lock_guard lock(Table().Lock);
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
    const std::lock_guard lock(Table().Lock);
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
    const std::lock_guard lock(Table().Lock);
    Table().Default = guid;
}

std::vector<TDriverRegistration> D3DDrivers()
{
    const std::lock_guard lock(Table().Lock);
    return {Table().Drivers.begin(), Table().Drivers.end()};
}

const TDriverRegistration* FindD3DDriver(const GUID* guid)
{
    const std::lock_guard lock(Table().Lock);
    const GUID wanted = guid ? *guid : Table().Default;
    const auto& drivers = Table().Drivers;
    const auto it = std::find_if(drivers.begin(), drivers.end(),
                                 [&](const auto& d) { return d.Guid == wanted; });
    return it == drivers.end() ? nullptr : &*it;
}
