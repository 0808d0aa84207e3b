// quillmark-cli: inspects, converts and draws 3DO models without a window.
#include "commands.h"
#include "terminal.h"

#include "base/platform.h"

#include <cstdio>
#include <exception>

std::vector<TCommandEntry>& CommandTable()
{
    static std::vector<TCommandEntry> table;
    return table;
}

namespace
{
// "quillmark-cli NAME FILES [OPTIONS]", as the command declares them.
std::string CommandUsage(const TCommandEntry& entry)
{
    TOptionParser parser;
    entry.Make()->Declare(parser);
    return "quillmark-cli " + entry.Name + " " + parser.Usage();
}

void PrintUsage(std::FILE* to)
{
    std::fprintf(to, "usage: quillmark-cli COMMAND ...\n");
    for (const TCommandEntry& c : CommandTable())
        std::fprintf(to, "  %s\n", CommandUsage(c).c_str());
}
} // namespace

// File names arrive as UTF-8 on every system: on Windows the program's manifest makes UTF-8 its
// code page.
int main(int argc, char** argv)
{
    SetBinaryStandardOutput();
    if (argc < 2)
    {
        PrintUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h")
    {
        PrintUsage(stdout);
        return 0;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const TCommandEntry& entry : CommandTable())
    {
        if (entry.Name != name)
            continue;
        const std::unique_ptr<TCommand> command = entry.Make();
        TOptionParser parser;
        command->Declare(parser);
        if (TOptionParser::AsksForHelp(args))
        {
            std::printf("usage: %s\n%s", CommandUsage(entry).c_str(),
                        command->HelpNotes().c_str());
            return 0;
        }
        try
        {
            parser.Parse(args);
        }
        catch (const EUsage& e)
        {
            PrintError(e.what());
            std::fprintf(stderr, "usage: %s\n", CommandUsage(entry).c_str());
            return 2;
        }
        try
        {
            return command->Run(parser.Shared());
        }
        catch (const EUsage& e)
        {
            // Added: options that do not go together, which only the command can tell.
            std::fprintf(stderr, "%s\nusage: %s\n", e.what(), CommandUsage(entry).c_str());
            return 2;
        }
        catch (const std::exception& e)
        {
            PrintError(ErrorText(e));
            return 1;
        }
    }
    PrintError(FormatText(kUnknownCommand, {name}));
    PrintUsage(stderr);
    return 2;
}
