// A minimal PNG writer for the command line's rendered pictures (8-bit RGB, no Qt).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height pixels, rows top to bottom, each 0xAARRGGBB (alpha ignored).
// Throws EInOutError ("Cannot write FILE") when the file cannot be written.
void WritePng(const std::string& fileName, int width, int height,
              const std::vector<std::uint32_t>& pixels);
