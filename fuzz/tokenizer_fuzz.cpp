// Both line tokenizers and the loader's allocation-free splitter must agree on any line.
#include "base/U_String.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const TStringParser plain(line);
    const TStringParserWithComma comma(line);
    TFieldSplitter splitter;
    splitter.Split(line);
    if (splitter.FieldCount() != plain.Count() - 1)
        std::abort();
    for (int i = 1; i < plain.Count() && i <= TFieldSplitter::kMaxFields; ++i)
        if (splitter.Field(i) != plain.Strings(i))
            std::abort();
    splitter.SplitWithComma(line);
    if (splitter.FieldCount() != comma.Count() - 1)
        std::abort();
    for (int i = 1; i < comma.Count() && i <= TFieldSplitter::kMaxFields; ++i)
        if (splitter.Field(i) != comma.Strings(i))
            std::abort();
    if (plain.Strings(0) != line || comma.Strings(0) != line)
        std::abort();
    TrimLeadingSpaces(line);
    return 0;
}
