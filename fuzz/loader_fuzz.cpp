// Any bytes given to the loader end in a model or in an exception, never in a crash or hang.
#include "model/loader.h"
#include "model/model.h"

#include <cstdint>
#include <exception>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TSilentProgress progress;
    try
    {
        const TLoadedModel m =
            Parse3DO(std::string_view(reinterpret_cast<const char*>(data), size), progress);
        (void)m;
    }
    catch (const std::exception&)
    {
    }
    return 0;
}
