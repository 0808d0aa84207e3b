// Any bytes given to the puppet reader end in a puppet or in its own exception, never in a crash
// or an allocation the bytes do not back. What it accepts keeps its rules: each mode's actions
// named once (in any case), bases that are other modes, no more actions than the limit.
#include "base/U_String.h"
#include "formats/puppet.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace
{
void Check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TPuppet pup;
    try
    {
        pup = ReadPuppet(std::string_view(reinterpret_cast<const char*>(data), size));
    }
    catch (const EPuppetError&)
    {
        return 0;
    }
    std::size_t actions = 0;
    for (const TPuppetMode& mode : pup.Modes)
    {
        Check(mode.Number >= 0);
        if (mode.BasedOn)
        {
            Check(*mode.BasedOn != mode.Number);
            bool known = false;
            for (const TPuppetMode& other : pup.Modes)
                known = known || other.Number == *mode.BasedOn;
            Check(known);
        }
        actions += mode.Actions.size();
        // Small tables only: the pairwise check must not be the slow part.
        for (std::size_t a = 0; a < mode.Actions.size() && a < 64; ++a)
            for (std::size_t b = a + 1; b < mode.Actions.size() && b < 64; ++b)
                Check(!SameText(mode.Actions[a].Name, mode.Actions[b].Name));
        for (const TPuppetAction& action : mode.Actions)
            Check(!action.Name.empty() && !action.Key.empty());
    }
    Check(actions <= kMaxPuppetActions && pup.Joints.size() <= kMaxPuppetActions);
    return 0;
}
