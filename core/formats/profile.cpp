#include "formats/profile.h"

#include "base/U_String.h"
#include "base/platform.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace
{

std::string UnableToWrite(const std::string& fileName)
{
    std::string text(kUnableToWriteFormat);
    return text.replace(text.find("%s"), 2, fileName);
}

std::string_view Trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// One line of the file with its line end, exactly as read.
struct TLine
{
    std::string Text;
    std::string_view Body() const
    {
        std::string_view s(Text);
        if (!s.empty() && s.back() == '\n')
            s.remove_suffix(1);
        if (!s.empty() && s.back() == '\r')
            s.remove_suffix(1);
        return s;
    }
    bool HasEnd() const { return !Text.empty() && Text.back() == '\n'; }
};

std::vector<TLine> SplitLines(const std::string& content)
{
    std::vector<TLine> lines;
    std::size_t start = 0;
    while (start < content.size())
    {
        std::size_t end = content.find('\n', start);
        end = end == std::string::npos ? content.size() : end + 1;
        lines.push_back({content.substr(start, end - start)});
        start = end;
    }
    return lines;
}

// The section a line opens, or nothing when it is not a section line.
std::optional<std::string_view> SectionName(const TLine& line)
{
    const std::string_view s = Trim(line.Body());
    if (s.empty() || s.front() != '[')
        return std::nullopt;
    const std::size_t close = s.find(']');
    return Trim(s.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// The key of a "key=value" line, or nothing.
std::optional<std::string_view> KeyName(const TLine& line)
{
    const std::string_view s = line.Body();
    const std::size_t eq = s.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return Trim(s.substr(0, eq));
}

// Where a section's lines lie: [First, Last) are the lines after its header up to the next
// section; Header is npos when the section does not exist.
struct TSectionSpan
{
    std::size_t Header = std::string::npos, First = 0, Last = 0;
};

TSectionSpan FindSection(const std::vector<TLine>& lines, std::string_view section)
{
    TSectionSpan span;
    for (std::size_t i = 0; i < lines.size(); ++i)
    {
        const auto name = SectionName(lines[i]);
        if (!name)
            continue;
        if (span.Header != std::string::npos)
        {
            span.Last = i;
            return span;
        }
        if (SameText(*name, Trim(section)))
            span = {i, i + 1, lines.size()};
    }
    return span;
}

std::size_t FindKey(const std::vector<TLine>& lines, const TSectionSpan& span, std::string_view key)
{
    for (std::size_t i = span.First; i < span.Last; ++i)
    {
        const auto name = KeyName(lines[i]);
        if (name && SameText(*name, Trim(key)))
            return i;
    }
    return std::string::npos;
}

// Reads the whole file; nothing when it does not exist. Throws when it exists but cannot be read.
std::optional<std::string> ReadFile(const std::string& fileName)
{
    const std::filesystem::path path = PathFromUtf8(fileName);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
    {
        if (ec)
            throw EProfileError(fileName);
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path, ec))
        throw EProfileError(fileName);
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        throw EProfileError(fileName);
    return std::move(content).str();
}

void ReplaceFile(const std::string& fileName, const std::string& content)
{
    const std::filesystem::path path = PathFromUtf8(fileName);
    std::error_code ec;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ec); // a failure shows below
    TReplacingFile file(fileName, [&fileName](int) { throw EProfileError(fileName); });
    file.Write(content);
    file.Commit();
}

} // namespace

EProfileError::EProfileError(const std::string& fileName)
    : std::runtime_error(UnableToWrite(fileName))
{
}

void WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& fileName)
{
    const std::string content = ReadFile(fileName).value_or(std::string());
    std::vector<TLine> lines = SplitLines(content);
    const std::size_t firstEnd = content.find('\n');
    const std::string eol =
        firstEnd != std::string::npos && firstEnd > 0 && content[firstEnd - 1] == '\r' ? "\r\n"
                                                                                       : "\n";
    const std::string keyLine = std::string(Trim(key)) + "=" + std::string(value) + eol;

    // A line that gets a neighbour after it needs a line end of its own.
    const auto terminate = [&](std::size_t i)
    {
        if (!lines[i].HasEnd())
            lines[i].Text += eol;
    };

    const TSectionSpan span = FindSection(lines, section);
    if (span.Header == std::string::npos)
    {
        if (!lines.empty())
            terminate(lines.size() - 1);
        lines.push_back({"[" + std::string(Trim(section)) + "]" + eol});
        lines.push_back({keyLine});
    }
    else if (const std::size_t at = FindKey(lines, span, key); at != std::string::npos)
    {
        const bool hadEnd = lines[at].HasEnd();
        lines[at].Text = keyLine;
        if (!hadEnd)
            lines[at].Text.resize(lines[at].Text.size() - eol.size());
    }
    else
    {
        std::size_t last = span.Header;
        for (std::size_t i = span.First; i < span.Last; ++i)
            if (!Trim(lines[i].Body()).empty())
                last = i;
        terminate(last);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last + 1), {keyLine});
    }

    std::string out;
    out.reserve(content.size() + keyLine.size() + section.size() + 4);
    for (const TLine& line : lines)
        out += line.Text;
    ReplaceFile(fileName, out);
}

std::optional<std::string> ReadPrivateProfileString(std::string_view section, std::string_view key,
                                                    const std::string& fileName)
{
    const std::filesystem::path path = PathFromUtf8(fileName);
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    if (!in || std::filesystem::is_directory(path, ec))
        return std::nullopt;
    const std::string content((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    const std::vector<TLine> lines = SplitLines(content);
    const TSectionSpan span = FindSection(lines, section);
    if (span.Header == std::string::npos)
        return std::nullopt;
    const std::size_t at = FindKey(lines, span, key);
    if (at == std::string::npos)
        return std::nullopt;
    const std::string_view body = lines[at].Body();
    return std::string(Trim(body.substr(body.find('=') + 1)));
}

void TSettingsFile::WriteString(std::string_view section, std::string_view key,
                                std::string_view value)
{
    WritePrivateProfileString(section, key, value, FFileName);
}

void TSettingsFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}
