// A new, empty folder in the temporary directory for one test, removed with all it holds when
// the test ends, however it ends.
#pragma once

#include "base/platform.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

class TTempDir
{
public:
    explicit TTempDir(const std::string& prefix)
    {
        // Tests of one program may run in parallel processes: the process id keeps them apart.
        static int count = 0;
        FPath = std::filesystem::temp_directory_path() /
                (prefix + "_" + std::to_string(ProcessId()) + "_" + std::to_string(++count));
        std::filesystem::remove_all(FPath);
        std::filesystem::create_directories(FPath);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    ~TTempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }

    const std::filesystem::path& Path() const { return FPath; }

    // The names in the folder, sorted: to see that no stray file is left behind.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(FPath))
            names.push_back(Utf8FromPath(e.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path FPath;
};
