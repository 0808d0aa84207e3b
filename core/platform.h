// What differs between the systems we build for: how file names are spelled, where per-user
// files live, how a file is replaced, how much memory there is. Everything else in core is
// written once against the standard library.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// File names travel through the program as UTF-8 text. A path built from a plain std::string
// would take the system's narrow code page on Windows, so convert only through these two.
std::filesystem::path PathFromUtf8(std::string_view name);
std::string Utf8FromPath(const std::filesystem::path& path);
