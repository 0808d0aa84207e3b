// Sub-commands of quillmark-cli. Each command file registers itself with a TCommandRegistrar.
#pragma once

#include "options.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// One command: it declares its file names and options to the parser, which fills them, and
// then runs on them.
class TCommand
{
public:
    virtual ~TCommand() = default;
    // Only declares; nothing may happen here, as the usage is read the same way.
    virtual void Declare(TOptionParser& parser) = 0;
    // The exit status. Errors are raised with the user's text.
    virtual int Run(const TSharedOptions& shared) = 0;
    // Added: lines the command's --help prints after its usage line (none by default).
    virtual std::string HelpNotes() const { return {}; }
};

struct TCommandEntry
{
    std::string Name;
    std::function<std::unique_ptr<TCommand>()> Make;
};

std::vector<TCommandEntry>& CommandTable();

template <class TCommandClass> struct TCommandRegistrar
{
    explicit TCommandRegistrar(std::string name)
    {
        CommandTable().push_back(
            {std::move(name), [] { return std::make_unique<TCommandClass>(); }});
    }
};
