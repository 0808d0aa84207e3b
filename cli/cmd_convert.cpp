// quillmark-cli convert: writes one geoset of a model as the preview's .X file.
#include "commands.h"

#include "U_String.h"
#include "loader.h"
#include "model.h"
#include "xexport.h"

#include <cstdio>

namespace
{
constexpr const char* kConvertUsage = "FILE.3do OUT.x [--geoset N]";

int Usage()
{
    std::fprintf(stderr, "usage: quillmark-cli convert %s\n", kConvertUsage);
    return 2;
}

int RunConvert(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    std::string geoSet = "0";
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        if (args[i] == "--geoset")
        {
            if (i + 1 >= args.size())
                return Usage();
            geoSet = args[++i];
        }
        else
            files.push_back(args[i]);
    }
    if (files.size() != 2)
        return Usage();
    // Read like a model's own integer fields, so a bad number gets the same message.
    const std::int32_t index = StrToInt(geoSet);
    TSilentProgress progress;
    const TLoadedModel loaded = Parse3DOFile(files[0], progress);
    WriteXFile(files[1], *loaded.Model, *loaded.Nodes, index);
    return 0;
}

const TCommandRegistrar kConvert("convert", kConvertUsage, RunConvert);
} // namespace
