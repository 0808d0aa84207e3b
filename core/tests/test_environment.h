// Environment variables set for one test and put back afterwards, on any system.
#pragma once

#include "base/platform.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

class TTestEnvironment
{
public:
    TTestEnvironment() = default;
    TTestEnvironment(const TTestEnvironment&) = delete;
    TTestEnvironment& operator=(const TTestEnvironment&) = delete;
    ~TTestEnvironment()
    {
        for (auto it = FSaved.rbegin(); it != FSaved.rend(); ++it)
            SetEnvironmentValue(it->first.c_str(), it->second);
    }

    void Set(const char* name, const std::optional<std::string>& value)
    {
        FSaved.emplace_back(name, EnvironmentValue(name));
        SetEnvironmentValue(name, value);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};
