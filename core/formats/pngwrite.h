// A small PNG encoder for the pictures quillmark-cli writes.
#pragma once

#include <cstdint>
#include <string>

inline constexpr const char* kPngWriteFailed = "Cannot write %s";
inline constexpr const char* kPngEmpty = "PNG image must not be empty";

// The PNG file bytes of a width x height RGBA image (8 bits per channel, no interlace).
// Pixels are 0xAABBGGRR (red in the low byte), row after row from the top.
std::string EncodePng(int width, int height, const std::uint32_t* rgba);

// Encodes and writes the image to `file`. Throws EInOutError(kPngWriteFailed with the file
// name) when the file cannot be written.
void WritePng(const std::string& file, int width, int height, const std::uint32_t* rgba);
