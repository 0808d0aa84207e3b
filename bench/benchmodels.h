// The models every benchmark measures, so that their rows compare: synthetic .3do files of
// about 1 MB (15 meshes, 5,400 faces: a model of real size), 10 MB and 100 MB, and the .X
// files the preview makes of them. Made on first use in the temporary directory.
#pragma once

#include "model/loader.h"
#include "model/model.h"
#include "synthetic3do.h"
#include "formats/xexport.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <string>

namespace benchmodels
{
// Sizes in MB of the models; the first is the one of real size.
constexpr int kRealSized = 1;
constexpr int kSizes[] = {1, 10, 100};

inline std::string TempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

inline std::string Model3DO(int megabytes)
{
    return synthetic::Ensure(TempPath("quillmark_bench_" + std::to_string(megabytes) + "mb.3do"),
                             megabytes);
}

// Model3DO(megabytes) loaded, once per process.
inline TLoadedModel& Loaded(int megabytes)
{
    static std::map<int, TLoadedModel> models;
    auto it = models.find(megabytes);
    if (it == models.end())
    {
        TSilentProgress progress;
        it = models.emplace(megabytes, Parse3DOFile(Model3DO(megabytes), progress)).first;
    }
    return it->second;
}

// Geoset 0 of Model3DO(megabytes) written as the preview writes it; made anew once per process
// so that it always matches the writer being measured.
inline std::string ModelX(int megabytes)
{
    const std::string xFile = TempPath("quillmark_bench_" + std::to_string(megabytes) + "mb.x");
    static bool made[1024] = {};
    if (!made[megabytes])
    {
        TSilentProgress progress;
        const TLoadedModel loaded = Parse3DOFile(Model3DO(megabytes), progress);
        WriteXFile(xFile, *loaded.Model, *loaded.Nodes, 0);
        made[megabytes] = true;
    }
    return xFile;
}

inline std::uint64_t FileSize(const std::string& name)
{
    return static_cast<std::uint64_t>(std::filesystem::file_size(name));
}

// Peak resident memory of the process since the last ResetPeak, in bytes.
inline double PeakBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) * 1024.0;
    return 0;
}

// Gives freed memory back and starts a new peak at the present resident size.
inline void ResetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}
} // namespace benchmodels
