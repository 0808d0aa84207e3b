// quillmark-cli: inspects and converts 3DO models without a window.
#include "commands.h"

#include "platform.h"

#include <cstdio>
#include <exception>

std::vector<TCommand>& CommandTable()
{
    static std::vector<TCommand> table;
    return table;
}

namespace
{
void PrintUsage()
{
    std::fprintf(stderr, "usage: quillmark-cli COMMAND ...\n");
    for (const TCommand& c : CommandTable())
        std::fprintf(stderr, "  quillmark-cli %s %s\n", c.Name.c_str(), c.Usage.c_str());
}
} // namespace

// File names arrive as UTF-8 on every system: on Windows the program's manifest makes UTF-8 its
// code page.
int main(int argc, char** argv)
{
    SetBinaryStandardOutput();
    if (argc < 2)
    {
        PrintUsage();
        return 2;
    }
    const std::string name = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const TCommand& c : CommandTable())
    {
        if (c.Name == name)
        {
            try
            {
                return c.Run(args);
            }
            catch (const std::exception& e)
            {
                std::fprintf(stderr, "%s\n", e.what());
                return 1;
            }
        }
    }
    PrintUsage();
    return 2;
}
