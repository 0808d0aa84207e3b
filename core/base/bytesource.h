// The bytes of a file or of a buffer, read at any offset and from any thread, and the
// little-endian numbers the game's files store in them.
#pragma once

#include "base/errors.h"

#include <cstdint>
#include <memory>
#include <string>

inline constexpr const char* kReadBeyondEnd = "Read beyond end of file";

// Random access to the bytes of a file or of a buffer. ReadAt may be called from several
// threads at once.
class TByteSource
{
public:
    virtual ~TByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Fills dest with `count` bytes from `offset`; throws EInOutError (kReadBeyondEnd) when
    // they cannot all be read.
    virtual void ReadAt(std::uint64_t offset, char* dest, std::size_t count) const = 0;
};

// Opens a file (UTF-8 name) for reading; throws EInOutError (kFileNotFound, kFileAccessDenied).
std::unique_ptr<TByteSource> OpenFileSource(const std::string& fileName);
std::unique_ptr<TByteSource> MakeMemorySource(std::string bytes);

// The unsigned 32-bit little-endian number in the four bytes at `bytes`.
inline std::uint32_t LoadLe32(const char* bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}
