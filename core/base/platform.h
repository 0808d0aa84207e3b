// What differs between the systems we build for: how file names are spelled, where per-user
// files live, how a file is replaced, how much memory there is. Everything else in core is
// written once against the standard library.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// File names travel through the program as UTF-8 text. A path built from a plain std::string
// would take the system's narrow code page on Windows, so convert only through these two.
std::filesystem::path PathFromUtf8(std::string_view name);
std::string Utf8FromPath(const std::filesystem::path& path);

// The folder holding the running program, ending in a separator; empty when the system does
// not tell.
std::string ProgramDirectory();

enum class TUserFolder
{
    ufSettings, // roams with the user on Windows
    ufCache     // stays on this machine
};

// The program's own per-user folder of that kind, absolute and ending in a separator; empty
// when the system names none. Not created here.
// Linux: $XDG_CONFIG_HOME/Quillmark/ or ~/.config/Quillmark/ for settings, $XDG_CACHE_HOME/
// quillmark/ or ~/.cache/quillmark/ for the cache; a variable counts only when it holds an
// absolute path, and ~ is $HOME when absolute, else the account's home directory.
// Windows: %APPDATA%\Quillmark\ and %LOCALAPPDATA%\Quillmark\, or the system's own folders
// of those kinds when the variable holds no absolute path.
std::string UserFolder(TUserFolder kind);

// Creates the folder and any missing parents (private to the user on Linux); true when a new
// file can then be created in it.
bool MakeFolder(const std::string& folder);

// True when a new file can be created in the folder.
bool CanCreateFilesIn(const std::string& folder);

// True when the name is a symbolic link (on Windows any reparse point, junctions too), which a
// write below it or onto it would follow.
bool IsLink(const std::string& name);

// What stands at a name, as a write to it would find it (a symbolic link followed); told
// without opening it, so a pipe or device is never woken.
enum class TPathKind
{
    pkNone,
    pkFile,   // a regular file
    pkFolder,
    pkOther   // a pipe, socket or device
};
TPathKind PathKind(const std::string& name);

// Bytes of memory the system can give the program now without swapping; 0 when it does not
// tell.
std::uint64_t AvailableSystemMemory();

// Hands the heap's free memory back to the system now, so that a big model's memory shows as
// given back once it is freed (glibc keeps freed memory for the process otherwise). Elsewhere
// nothing to do.
void ReleaseFreeMemory();

int ProcessId();

// An environment variable as UTF-8; nothing when it is not set.
std::optional<std::string> EnvironmentValue(const char* name);
// Sets the variable, or removes it when given nothing.
void SetEnvironmentValue(const char* name, const std::optional<std::string>& value);

// Floating-point invalid operations and divisions by zero give infinities and NaNs, not traps.
// Traps are off by default on x86-64; this makes sure nothing turned them on.
void DisableFloatingPointTraps();

// Standard output and error pass every byte unchanged (Windows would turn LF into CR LF).
void SetBinaryStandardOutput();

// Receives a file's bytes in pieces, in order.
using TByteSink = std::function<void(std::string_view bytes)>;

inline constexpr const char* kIOErrorFormat = "I/O error %d";

// Writes to FileName what `produce` hands its sink through a TReplacingFile, so the file is
// complete or not there at all. Throws EInOutError("I/O error N", N the system error code) when
// the file cannot be created, written, closed or renamed, and whatever `produce` throws.
void WriteFileReplacing(const std::string& fileName,
                        const std::function<void(const TByteSink& sink)>& produce);

// Receives the system's error number (an errno value, the same number on every system for the
// same cause) when a step of TReplacingFile fails, and throws the caller's exception.
using TFileErrorHandler = std::function<void(int error)>;

// What TReplacingFile does with an existing pipe or device of the file's name.
enum class TSpecialFiles
{
    sfWriteInPlace, // a command's output may be a pipe or a device
    sfRefuse        // fail with EEXIST without ever opening it (files from an archive)
};

// Writes a file under a temporary name beside it, which takes the file's name in one step
// once complete, so a failure leaves the previous file whole and no partial one. An existing
// device or pipe is written in place instead, or refused. On Linux a symbolic link is followed
// and its target replaced (the link stays), and the new file gets the old file's permissions.
// Failures go to the handler, which must throw; the temporary file is removed unless
// committed.
class TReplacingFile
{
public:
    TReplacingFile(const std::string& fileName, TFileErrorHandler onError,
                   TSpecialFiles special = TSpecialFiles::sfWriteInPlace);
    ~TReplacingFile();
    TReplacingFile(const TReplacingFile&) = delete;
    TReplacingFile& operator=(const TReplacingFile&) = delete;

    void Write(std::string_view bytes);
    // Closes the file and gives the complete text its name.
    void Commit();

private:
    // Closes and removes what was written.
    void Discard();
    [[noreturn]] void Fail(int error);

    TFileErrorHandler FOnError;
    std::string FFinalName;
    std::string FTempName; // empty when writing in place or once committed
    int FHandle = -1;
    bool FRefuseSpecial = false;
};
