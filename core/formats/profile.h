// Private profile files ("[section]" lines followed by "key=value" lines): a writer that
// changes one key in place and keeps every other byte of the file, and the matching reader.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

inline constexpr const char* kUnableToWriteFormat = "Unable to write to %s";

// A profile file that could not be written; what() names the file.
class EProfileError : public std::runtime_error
{
public:
    explicit EProfileError(const std::string& fileName);
};

// Sets `key` of `section` to `value` in fileName. Section names and keys match without regard
// to case and to blanks around them. A missing key is added after the last non-blank line of
// its section, a missing section at the end of the file; the file and its directory are
// created when needed. Every other line, and the file's line ends (CR LF or LF), stay as they
// were. The new content goes to a temporary file that then replaces the old one, so a failure
// leaves the old file whole (TReplacingFile: a symbolic link is written through to its target,
// and the file keeps its permissions). Throws EProfileError.
void WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& fileName);

// The value of `key` in `section` with blanks around it removed; nothing when the file, the
// section or the key does not exist. Never throws for a missing or unreadable file.
std::optional<std::string> ReadPrivateProfileString(std::string_view section, std::string_view key,
                                                    const std::string& fileName);

// The object through which the program writes its settings, one key at a time.
class TSettingsFile
{
public:
    explicit TSettingsFile(std::string fileName) : FFileName(std::move(fileName)) {}
    const std::string& FileName() const { return FFileName; }
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Writes the value as signed decimal text.
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);

private:
    std::string FFileName;
};
