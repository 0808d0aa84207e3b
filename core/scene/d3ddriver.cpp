// The registry of device drivers, the built-in software rasterizer first.
#include "scene/d3ddriver.h"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <utility>

namespace
{
// Devices are also made on other threads (thumbnails) while the user-interface thread may
// register a driver: the registry is locked, and a deque keeps a registration where it is when
// others are added, so a device can be made from the one FindD3DDriver gave.
struct TDriverRegistry
{
    TDriverRegistry() { Drivers.push_back(SoftwareDriverRegistration()); }

    std::deque<TDriverRegistration> Drivers;
    GUID Default = kSoftwareDriverGuid;
    std::mutex Lock;
};

TDriverRegistry& Registry()
{
    static TDriverRegistry registry;
    return registry;
}
} // namespace

void RegisterD3DDriver(TDriverRegistration driver)
{
    const std::lock_guard lock(Registry().Lock);
    auto& drivers = Registry().Drivers;
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
    const std::lock_guard lock(Registry().Lock);
    auto& drivers = Registry().Drivers;
    for (std::size_t i = 1; i < drivers.size(); ++i)
        if (drivers[i].Guid == guid)
        {
            drivers.erase(drivers.begin() + static_cast<std::ptrdiff_t>(i));
            if (Registry().Default == guid)
                Registry().Default = kSoftwareDriverGuid;
            return true;
        }
    return false;
}

void SetDefaultD3DDriver(const GUID& guid)
{
    const std::lock_guard lock(Registry().Lock);
    Registry().Default = guid;
}

bool IsSoftwareOpenGLRenderer(std::string_view renderer)
{
    std::string lower(renderer);
    for (char& c : lower)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    // "Software Rasterizer" is how Mesa's swrast names itself.
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"})
        if (lower.find(name) != std::string::npos)
            return true;
    return false;
}

std::vector<TDriverRegistration> D3DDrivers()
{
    const std::lock_guard lock(Registry().Lock);
    return {Registry().Drivers.begin(), Registry().Drivers.end()};
}

const TDriverRegistration* FindD3DDriver(const GUID* guid)
{
    const std::lock_guard lock(Registry().Lock);
    const GUID wanted = guid ? *guid : Registry().Default;
    const auto& drivers = Registry().Drivers;
    const auto it = std::find_if(drivers.begin(), drivers.end(),
                                 [&](const auto& d) { return d.Guid == wanted; });
    return it == drivers.end() ? nullptr : &*it;
}
