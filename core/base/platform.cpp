// What differs between the systems we build for.
#include "base/platform.h"

#include "base/errors.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cfenv>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shlobj.h>

#include <fcntl.h>
#include <float.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

std::filesystem::path PathFromUtf8(std::string_view name)
{
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

namespace
{
// An environment value that names an absolute folder, without a trailing separator.
std::optional<std::string> AbsoluteFolderVariable(const char* name)
{
    const std::optional<std::string> value = EnvironmentValue(name);
    if (!value || !PathFromUtf8(*value).is_absolute())
        return std::nullopt;
    std::string folder = *value;
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return folder;
}

} // namespace

#ifdef _WIN32

namespace
{
std::wstring Wide(std::string_view utf8)
{
    return PathFromUtf8(utf8).wstring();
}

std::string Utf8(const wchar_t* wide)
{
    return Utf8FromPath(fs::path(wide));
}

// The C library's number for a system error, so that messages name the same cause alike.
int ErrnoFromSystemError(DWORD error)
{
    switch (error)
    {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
        return EINVAL;
    default:
        return EIO;
    }
}

// Windows says "not found" where a part of the path is a file, not a folder; Linux says "not
// a directory". The nearest existing ancestor tells which.
int RefinedOpenError(const std::string& name, int error)
{
    if (error != ENOENT)
        return error;
    std::error_code ec;
    for (fs::path p = PathFromUtf8(name).parent_path(); !p.empty() && p != p.parent_path();
         p = p.parent_path())
    {
        const fs::file_status status = fs::status(p, ec);
        if (fs::exists(status))
            return fs::is_directory(status) ? ENOENT : ENOTDIR;
    }
    return error;
}

std::string KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        folder = Utf8(path);
    CoTaskMemFree(path);
    return folder;
}
} // namespace

std::string ProgramDirectory()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
        {
            buffer.resize(n);
            return Utf8FromPath(fs::path(buffer).parent_path()) + "\\";
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string UserFolder(TUserFolder kind)
{
    const bool settings = kind == TUserFolder::ufSettings;
    std::optional<std::string> base = AbsoluteFolderVariable(settings ? "APPDATA" : "LOCALAPPDATA");
    if (!base)
        base = KnownFolder(settings ? FOLDERID_RoamingAppData : FOLDERID_LocalAppData);
    if (base->empty())
        return {};
    return *base + "\\Quillmark\\";
}

bool MakeFolder(const std::string& folder)
{
    std::error_code ec;
    fs::create_directories(PathFromUtf8(folder), ec);
    return CanCreateFilesIn(folder);
}

bool CanCreateFilesIn(const std::string& folder)
{
    // The folder's read-only attribute says nothing about who may write into it: try.
    if (folder.empty())
        return false;
    std::string probe = folder;
    if (!probe.empty() && probe.back() != '\\' && probe.back() != '/')
        probe += '\\';
    probe += ".quillmark-probe-" + std::to_string(ProcessId());
    const HANDLE h = CreateFileW(Wide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_EXISTS;
    CloseHandle(h);
    return true;
}

TPathKind PathKind(const std::string& name)
{
    std::error_code ec;
    const fs::file_status status = fs::status(PathFromUtf8(name), ec);
    if (ec || !fs::exists(status))
        return TPathKind::pkNone;
    if (fs::is_regular_file(status))
        return TPathKind::pkFile;
    if (fs::is_directory(status))
        return TPathKind::pkFolder;
    return TPathKind::pkOther;
}

bool IsLink(const std::string& name)
{
    const DWORD attributes = GetFileAttributesW(Wide(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::uint64_t AvailableSystemMemory()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return 0;
    return status.ullAvailPhys;
}

void ReleaseFreeMemory()
{
    // The Windows heap gives large blocks back by itself.
}

int ProcessId()
{
    return _getpid();
}

std::optional<std::string> EnvironmentValue(const char* name)
{
    const wchar_t* value = _wgetenv(Wide(name).c_str());
    if (!value)
        return std::nullopt;
    return Utf8(value);
}

void SetEnvironmentValue(const char* name, const std::optional<std::string>& value)
{
    // An empty value removes a variable on Windows.
    _wputenv_s(Wide(name).c_str(), value ? Wide(*value).c_str() : L"");
}

void DisableFloatingPointTraps()
{
    _controlfp(_MCW_EM, _MCW_EM);
}

void SetBinaryStandardOutput()
{
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

TReplacingFile::TReplacingFile(const std::string& fileName, TFileErrorHandler onError,
                               TSpecialFiles special)
    : FOnError(std::move(onError)), FFinalName(fileName),
      FRefuseSpecial(special == TSpecialFiles::sfRefuse)
{
    if (const TPathKind existing = PathKind(fileName); existing == TPathKind::pkFolder)
        Fail(EISDIR);
    else if (existing == TPathKind::pkOther)
    {
        if (FRefuseSpecial)
            Fail(EEXIST);
        // Deliberate: a device or pipe is written in place, never replaced by a file.
        FHandle = _wopen(Wide(fileName).c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY | _O_NOINHERIT);
        if (FHandle < 0)
            Fail(errno);
        return;
    }
    for (unsigned attempt = 0;; ++attempt)
    {
        FTempName = fileName + ".tmp" + std::to_string(ProcessId()) + "-" + std::to_string(attempt);
        FHandle =
            _wopen(Wide(FTempName).c_str(),
                   _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        if (FHandle >= 0)
            return;
        const int error = errno;
        if (error != EEXIST || attempt >= 100)
        {
            FTempName.clear();
            Fail(RefinedOpenError(fileName, error));
        }
    }
}

void TReplacingFile::Discard()
{
    if (FHandle >= 0)
        _close(FHandle);
    FHandle = -1;
    if (!FTempName.empty())
        _wunlink(Wide(FTempName).c_str());
    FTempName.clear();
}

void TReplacingFile::Write(std::string_view bytes)
{
    while (!bytes.empty())
    {
        const unsigned piece = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int n = _write(FHandle, bytes.data(), piece);
        if (n < 0)
            Fail(errno);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void TReplacingFile::Commit()
{
    const int handle = FHandle;
    FHandle = -1;
    if (_close(handle) != 0)
        Fail(errno);
    if (FTempName.empty())
        return;
    // One put there since the file was opened is not replaced either.
    if (FRefuseSpecial && PathKind(FFinalName) == TPathKind::pkOther)
        Fail(EEXIST);
    // rename() will not replace an existing file on Windows.
    if (!MoveFileExW(Wide(FTempName).c_str(), Wide(FFinalName).c_str(), MOVEFILE_REPLACE_EXISTING))
        Fail(ErrnoFromSystemError(GetLastError()));
    FTempName.clear();
}

#else // POSIX

namespace
{
// The home folder: $HOME when absolute, else the account's.
std::optional<std::string> HomeFolder()
{
    if (auto home = AbsoluteFolderVariable("HOME"))
        return home;
    std::string buffer(16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return std::string(found->pw_dir);
    return std::nullopt;
}

// The parent folder of `name` as written, "." when it has none.
fs::path ParentOf(const std::string& name)
{
    const fs::path parent = PathFromUtf8(name).parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// Where writing `name` really goes: the end of its chain of symbolic links.
std::string LinkTarget(std::string name)
{
    for (int hops = 0; hops < 40; ++hops)
    {
        std::error_code ec;
        const fs::path path = PathFromUtf8(name);
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            break;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            break;
        name = Utf8FromPath(target.is_absolute() ? target : ParentOf(name) / target);
    }
    return name;
}
} // namespace

std::string ProgramDirectory()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.is_absolute())
        return {};
    return Utf8FromPath(exe.parent_path()) + "/";
}

std::string UserFolder(TUserFolder kind)
{
    const bool settings = kind == TUserFolder::ufSettings;
    if (auto base = AbsoluteFolderVariable(settings ? "XDG_CONFIG_HOME" : "XDG_CACHE_HOME"))
        return *base + (settings ? "/Quillmark/" : "/quillmark/");
    if (auto home = HomeFolder())
        return *home + (settings ? "/.config/Quillmark/" : "/.cache/quillmark/");
    return {};
}

bool MakeFolder(const std::string& folder)
{
    // One level at a time, each private to the user, as the XDG folders should be.
    for (std::size_t pos = 1; pos <= folder.size(); ++pos)
    {
        if (pos < folder.size() && folder[pos] != '/')
            continue;
        const std::string part = folder.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return CanCreateFilesIn(folder);
}

bool CanCreateFilesIn(const std::string& folder)
{
    return !folder.empty() && ::access(folder.c_str(), W_OK) == 0;
}

bool IsLink(const std::string& name)
{
    struct stat info
    {
    };
    return ::lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::uint64_t AvailableSystemMemory()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string line;
    const std::string_view key = "MemAvailable:";
    while (std::getline(meminfo, line))
    {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        const char* p = line.data() + key.size();
        const char* end = line.data() + line.size();
        while (p < end && *p == ' ')
            ++p;
        std::uint64_t kb = 0;
        std::from_chars(p, end, kb);
        return kb * 1024;
    }
    return 0;
}

void ReleaseFreeMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

int ProcessId()
{
    return static_cast<int>(::getpid());
}

std::optional<std::string> EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

void SetEnvironmentValue(const char* name, const std::optional<std::string>& value)
{
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

void DisableFloatingPointTraps()
{
#if defined(__GLIBC__)
    if (fegetexcept() & (FE_INVALID | FE_DIVBYZERO))
        fedisableexcept(FE_INVALID | FE_DIVBYZERO);
#endif
}

void SetBinaryStandardOutput() {}

TPathKind PathKind(const std::string& name)
{
    struct stat status;
    if (::stat(name.c_str(), &status) != 0)
        return TPathKind::pkNone;
    if (S_ISREG(status.st_mode))
        return TPathKind::pkFile;
    return S_ISDIR(status.st_mode) ? TPathKind::pkFolder : TPathKind::pkOther;
}

TReplacingFile::TReplacingFile(const std::string& fileName, TFileErrorHandler onError,
                               TSpecialFiles special)
    : FOnError(std::move(onError)), FFinalName(LinkTarget(fileName)),
      FRefuseSpecial(special == TSpecialFiles::sfRefuse)
{
    struct stat old;
    const bool exists = ::stat(FFinalName.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode) && FRefuseSpecial)
        Fail(S_ISDIR(old.st_mode) ? EISDIR : EEXIST);
    if (exists && !S_ISREG(old.st_mode))
    {
        // Deliberate: a device or pipe is written in place, never replaced by a file.
        FHandle = ::open(FFinalName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (FHandle < 0)
            Fail(errno);
        return;
    }
    for (unsigned attempt = 0;; ++attempt)
    {
        FTempName =
            FFinalName + ".tmp" + std::to_string(ProcessId()) + "-" + std::to_string(attempt);
        FHandle = ::open(FTempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (FHandle >= 0)
            break;
        const int error = errno;
        if (error != EEXIST || attempt >= 100)
        {
            FTempName.clear();
            Fail(error);
        }
    }
    if (exists && ::fchmod(FHandle, old.st_mode & 07777) != 0)
        Fail(errno);
}

void TReplacingFile::Discard()
{
    if (FHandle >= 0)
        ::close(FHandle);
    FHandle = -1;
    if (!FTempName.empty())
        ::unlink(FTempName.c_str());
    FTempName.clear();
}

void TReplacingFile::Write(std::string_view bytes)
{
    while (!bytes.empty())
    {
        const ssize_t n = ::write(FHandle, bytes.data(), bytes.size());
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            Fail(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void TReplacingFile::Commit()
{
    const int handle = FHandle;
    FHandle = -1;
    if (::close(handle) != 0)
        Fail(errno);
    if (FTempName.empty())
        return;
    // One put there since the file was opened is not replaced either.
    if (FRefuseSpecial && PathKind(FFinalName) == TPathKind::pkOther)
        Fail(EEXIST);
    if (::rename(FTempName.c_str(), FFinalName.c_str()) != 0)
        Fail(errno);
    FTempName.clear();
}

#endif

TReplacingFile::~TReplacingFile()
{
    Discard();
}

void TReplacingFile::Fail(int error)
{
    Discard();
    FOnError(error);
    // The handler must throw; carrying on would write to a file that is not there.
    std::terminate();
}

namespace
{
[[noreturn]] void ThrowIOError(int error)
{
    std::string text(kIOErrorFormat);
    text.replace(text.find("%d"), 2, std::to_string(error));
    throw EInOutError(text);
}
} // namespace

void WriteFileReplacing(const std::string& fileName,
                        const std::function<void(const TByteSink& sink)>& produce)
{
    TReplacingFile file(fileName, ThrowIOError);
    produce([&file](std::string_view bytes) { file.Write(bytes); });
    file.Commit();
}
