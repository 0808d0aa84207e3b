// The bytes of a file or of a buffer.
#include "base/bytesource.h"

#include "base/errors.h"
#include "base/platform.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>

namespace
{
class TFileSource : public TByteSource
{
public:
    TFileSource(std::ifstream stream, std::uint64_t size) : FStream(std::move(stream)), FSize(size)
    {
    }
    std::uint64_t Size() const override { return FSize; }
    void ReadAt(std::uint64_t offset, char* dest, std::size_t count) const override
    {
        if (count == 0)
            return;
        if (offset > FSize || count > FSize - offset)
            throw EInOutError(kReadBeyondEnd);
        const std::lock_guard<std::mutex> lock(FLock);
        FStream.clear();
        FStream.seekg(static_cast<std::streamoff>(offset));
        FStream.read(dest, static_cast<std::streamsize>(count));
        if (!FStream || static_cast<std::size_t>(FStream.gcount()) != count)
            throw EInOutError(kReadBeyondEnd);
    }

private:
    mutable std::mutex FLock;
    mutable std::ifstream FStream;
    std::uint64_t FSize;
};

class TMemorySource : public TByteSource
{
public:
    explicit TMemorySource(std::string bytes) : FBytes(std::move(bytes)) {}
    std::uint64_t Size() const override { return FBytes.size(); }
    void ReadAt(std::uint64_t offset, char* dest, std::size_t count) const override
    {
        if (offset > FBytes.size() || count > FBytes.size() - offset)
            throw EInOutError(kReadBeyondEnd);
        if (count != 0)
            std::memcpy(dest, FBytes.data() + offset, count);
    }

private:
    std::string FBytes;
};
} // namespace

std::unique_ptr<TByteSource> OpenFileSource(const std::string& fileName)
{
    const std::filesystem::path path = PathFromUtf8(fileName);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        throw EInOutError(kFileNotFound);
    if (std::filesystem::is_directory(status))
        throw EInOutError(kFileAccessDenied);
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
        throw EInOutError(kFileAccessDenied);
    stream.seekg(0, std::ios::end);
    const std::streamoff end = stream.tellg();
    if (!stream || end < 0)
        throw EInOutError(kFileAccessDenied);
    stream.seekg(0);
    return std::make_unique<TFileSource>(std::move(stream), static_cast<std::uint64_t>(end));
}

std::unique_ptr<TByteSource> MakeMemorySource(std::string bytes)
{
    return std::make_unique<TMemorySource>(std::move(bytes));
}
