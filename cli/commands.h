// Sub-commands of quillmark-cli. Each command file registers itself with a TCommandRegistrar.
#pragma once

#include <functional>
#include <string>
#include <vector>

using TCommandFn = std::function<int(const std::vector<std::string>& args)>;

struct TCommand
{
    std::string Name;
    std::string Usage;
    TCommandFn Run;
};

std::vector<TCommand>& CommandTable();

struct TCommandRegistrar
{
    TCommandRegistrar(std::string name, std::string usage, TCommandFn run)
    {
        CommandTable().push_back({std::move(name), std::move(usage), std::move(run)});
    }
};
