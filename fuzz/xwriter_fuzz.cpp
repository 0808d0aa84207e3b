// Whatever the loader accepts, the .X writer turns into text or a clean exception.
#include "loader.h"
#include "model.h"
#include "xexport.h"

#include <cstdint>
#include <cstdlib>
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
    for (int g = 0; g < m.Model->Count() && g < 4; ++g)
    {
        try
        {
            const std::string text = XText(*m.Model, *m.Nodes, g);
            // Every line ends in CR LF, and the text ends with the closing brace.
            if (text.size() < 3 || text.compare(text.size() - 3, 3, "}\r\n") != 0)
                std::abort();
        }
        catch (const std::exception&)
        {
        }
    }
    return 0;
}
