// Any bytes given to the loader end in a model or in an exception, never in a crash or hang;
// the game check of whatever loads never fails.
#include "game/gamecheck.h"
#include "model/loader.h"
#include "model/model.h"

#include <cstdint>
#include <exception>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TSilentProgress progress;
    TLoadedModel m;
    try
    {
        m = Parse3DO(std::string_view(reinterpret_cast<const char*>(data), size), progress);
    }
    catch (const std::exception&)
    {
        return 0;
    }
    TModelLocation location;
    location.FileName = "fuzz.3do";
    (void)CheckModelForGame(*m.Model, *m.Nodes, location, nullptr);
    return 0;
}
