// Exceptions shared by the core units; what() is the exact text the user reads.
#pragma once

#include <stdexcept>
#include <string>

inline constexpr const char* kListIndexOutOfBounds = "List index out of bounds";

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
