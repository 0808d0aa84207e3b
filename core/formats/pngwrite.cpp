// A small PNG encoder: one IHDR, one zlib-compressed IDAT, IEND.
#include "formats/pngwrite.h"

#include "base/errors.h"
#include "base/platform.h"

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace
{
void PutU32(std::string& out, std::uint32_t v)
{
    out.push_back(static_cast<char>(v >> 24));
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

void PutChunk(std::string& out, const char* type, const std::string& data)
{
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.append(type, 4);
    out.append(data);
    // The CRC covers the type and the data, not the length.
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    const uLong crc = crc32(0L, bytes, static_cast<uInt>(4 + data.size()));
    PutU32(out, static_cast<std::uint32_t>(crc));
}
} // namespace

std::string EncodePng(int width, int height, const std::uint32_t* rgba)
{
    if (width <= 0 || height <= 0)
        throw std::invalid_argument(kPngEmpty);
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);

    // Each row: filter type 0 (none), then R, G, B, A per pixel.
    std::vector<Bytef> raw;
    raw.reserve(h * (1 + 4 * w));
    for (std::size_t y = 0; y < h; ++y)
    {
        raw.push_back(0);
        for (std::size_t x = 0; x < w; ++x)
        {
            const std::uint32_t p = rgba[y * w + x];
            raw.push_back(static_cast<Bytef>(p));
            raw.push_back(static_cast<Bytef>(p >> 8));
            raw.push_back(static_cast<Bytef>(p >> 16));
            raw.push_back(static_cast<Bytef>(p >> 24));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, raw.data(),
                  static_cast<uLong>(raw.size()), 6) != Z_OK)
        throw std::runtime_error(kOutOfMemory);
    packed.resize(packedSize);

    std::string header;
    PutU32(header, static_cast<std::uint32_t>(width));
    PutU32(header, static_cast<std::uint32_t>(height));
    header.push_back(8); // bit depth
    header.push_back(6); // colour type: truecolour with alpha
    header.push_back(0); // compression
    header.push_back(0); // filter
    header.push_back(0); // no interlace

    std::string out = "\x89PNG\r\n\x1a\n";
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", std::string());
    return out;
}

void WritePng(const std::string& file, int width, int height, const std::uint32_t* rgba)
{
    const std::string bytes = EncodePng(width, height, rgba);
    std::ofstream out(PathFromUtf8(file), std::ios::binary | std::ios::trunc);
    if (out)
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out)
        out.close();
    if (!out)
    {
        const std::string_view text = kPngWriteFailed;
        const std::size_t at = text.find("%s");
        throw EInOutError(std::string(text.substr(0, at)) + file +
                          std::string(text.substr(at + 2)));
    }
}
