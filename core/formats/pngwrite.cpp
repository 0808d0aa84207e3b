// A small PNG encoder: one IHDR, one zlib-compressed IDAT, IEND.
#include "formats/pngwrite.h"

#include "base/errors.h"
#include "base/platform.h"

#include <zlib.h>

#include <algorithm>
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
    // The rows are compressed one by one straight into the IDAT chunk, so a large picture is
    // never held a second time uncompressed.
    const std::size_t chunkAt = out.size();
    PutU32(out, 0); // the length, once known
    out.append("IDAT");
    z_stream z{};
    if (deflateInit(&z, 6) != Z_OK)
        throw std::runtime_error(kOutOfMemory);
    // Each row: filter type 0 (none), then R, G, B, A per pixel.
    std::vector<Bytef> row(1 + 4 * w);
    std::size_t used = out.size();
    constexpr std::size_t kRoom = 1 << 16;
    for (std::size_t y = 0; y < h; ++y)
    {
        for (std::size_t x = 0; x < w; ++x)
        {
            const std::uint32_t p = rgba[y * w + x];
            Bytef* at = &row[1 + 4 * x];
            at[0] = static_cast<Bytef>(p);
            at[1] = static_cast<Bytef>(p >> 8);
            at[2] = static_cast<Bytef>(p >> 16);
            at[3] = static_cast<Bytef>(p >> 24);
        }
        z.next_in = row.data();
        z.avail_in = static_cast<uInt>(row.size());
        const int flush = y + 1 == h ? Z_FINISH : Z_NO_FLUSH;
        int result = Z_OK;
        do
        {
            if (out.size() - used < kRoom)
                out.resize(used + std::max(kRoom, used / 2));
            const auto room = static_cast<uInt>(std::min<std::size_t>(out.size() - used, 1u << 30));
            z.next_out = reinterpret_cast<Bytef*>(out.data() + used);
            z.avail_out = room;
            result = deflate(&z, flush);
            used += room - z.avail_out;
        } while (result != Z_STREAM_ERROR &&
                 (flush == Z_FINISH ? result != Z_STREAM_END : z.avail_out == 0));
        if (result == Z_STREAM_ERROR)
        {
            deflateEnd(&z);
            throw std::runtime_error(kOutOfMemory);
        }
    }
    deflateEnd(&z);
    out.resize(used);
    const std::size_t dataSize = used - chunkAt - 8;
    for (int i = 0; i < 4; ++i)
        out[chunkAt + static_cast<std::size_t>(i)] = static_cast<char>(dataSize >> (24 - 8 * i));
    // The CRC covers the type and the data, not the length.
    uLong crc = crc32(0L, Z_NULL, 0);
    for (std::size_t at = chunkAt + 4; at < used;)
    {
        const std::size_t piece = std::min<std::size_t>(used - at, 1u << 30);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(out.data() + at), static_cast<uInt>(piece));
        at += piece;
    }
    PutU32(out, static_cast<std::uint32_t>(crc));
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
