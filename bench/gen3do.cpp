// gen3do: writes a synthetic .3do model of a requested size for benchmarks.
#include "synthetic3do.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4)
    {
        std::fprintf(stderr, "usage: gen3do OUT.3do MEGABYTES [GEOSETS]\n");
        return 2;
    }
    try
    {
        synthetic::Generate(argv[1], std::atof(argv[2]), argc == 4 ? std::atoi(argv[3]) : 1);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
