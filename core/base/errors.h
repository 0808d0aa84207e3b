// Exceptions shared by the core units; what() is the exact text the user reads.
#pragma once

#include <stdexcept>
#include <string>

inline constexpr const char* kListIndexOutOfBounds = "List index out of bounds";
// Texts that several units raise alike.
inline constexpr const char* kOutOfMemory = "Out of memory";
inline constexpr const char* kFileNotFound = "File not found";
inline constexpr const char* kFileAccessDenied = "File access denied";
// The system's error number in place of the %s.
inline constexpr const char* kIOError = "I/O error %s";

// A list or field access outside 0 .. Count-1.
class EListError : public std::runtime_error
{
public:
    EListError() : std::runtime_error(kListIndexOutOfBounds) {}
};

// A field that is not a valid integer, a file that cannot be read, and other conversion errors.
class EConvertError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A model that breaks a structural limit (too many face corners, a cyclic parent chain).
class EModelError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// An input/output failure ("File not found", "I/O error 28", ...).
class EInOutError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
