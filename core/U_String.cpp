// Line tokenizers for the 3DO loader.
#include "U_String.h"

#include "errors.h"

namespace
{
// Space, tab, LF or CR, tested with one shift: bits 32, 9, 10 and 13.
inline bool Blank(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u <= 32 && ((0x100002600ull >> u) & 1) != 0;
}

// Shared scanner for both splitting rules; `emit` receives each field as a view of `line`.
// A field is a run of non-blanks. Under the comma rule a comma followed by a non-blank also
// ends a field (the comma is dropped), and a trailing comma is dropped from the run's last
// field, which may leave it empty.
template <class Emit> void ScanFields(std::string_view line, bool commaRule, Emit&& emit)
{
    const char* const text = line.data();
    const std::size_t n = line.size();
    std::size_t i = 0;
    for (;;)
    {
        while (i < n && Blank(text[i]))
            ++i;
        if (i == n)
            return;
        // Deliberate quirk kept: only a run that follows a blank has its first character
        // exempt from the comma test; a run at the very start of the line has not.
        std::size_t start = i;
        if (i > 0)
            ++i;
        if (commaRule)
        {
            for (; i < n && !Blank(text[i]); ++i)
                if (text[i] == ',' && i + 1 < n && !Blank(text[i + 1]))
                {
                    emit(std::string_view(text + start, i - start));
                    start = i + 1;
                }
            if (text[i - 1] == ',')
            {
                emit(std::string_view(text + start, i - 1 - start));
                continue;
            }
        }
        else
            while (i < n && !Blank(text[i]))
                ++i;
        emit(std::string_view(text + start, i - start));
    }
}

const std::string& ItemAt(const std::vector<std::string>& items, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= items.size())
        throw EListError();
    return items[static_cast<std::size_t>(index)];
}
} // namespace

bool IsSpace(char c)
{
    return Blank(c);
}

std::string TrimLeadingSpaces(std::string_view s)
{
    std::size_t start = 0;
    while (start < s.size() && s[start] == ' ')
        ++start;
    return std::string(s.substr(start, 999));
}

TStringParser::TStringParser(std::string_view line)
{
    FItems.emplace_back(line);
    ScanFields(line, false, [this](std::string_view f) { FItems.emplace_back(f); });
}

const std::string& TStringParser::Strings(int index) const
{
    return ItemAt(FItems, index);
}

TStringParserWithComma::TStringParserWithComma(std::string_view line)
{
    FItems.emplace_back(line);
    ScanFields(line, true, [this](std::string_view f) { FItems.emplace_back(f); });
}

const std::string& TStringParserWithComma::Strings(int index) const
{
    return ItemAt(FItems, index);
}

void TFieldSplitter::Push(std::string_view field)
{
    if (FTotal < kMaxFields)
        FFields[FTotal] = field;
    ++FTotal;
}

void TFieldSplitter::Split(std::string_view line)
{
    FTotal = 0;
    ScanFields(line, false, [this](std::string_view f) { Push(f); });
}

void TFieldSplitter::SplitWithComma(std::string_view line)
{
    FTotal = 0;
    ScanFields(line, true, [this](std::string_view f) { Push(f); });
}

std::string_view TFieldSplitter::Field(int n) const
{
    if (n < 1 || n > FTotal || n > kMaxFields)
        throw EListError();
    return FFields[n - 1];
}
