// Line tokenizers for the 3DO loader.
#include "U_String.h"

#include "errors.h"

namespace
{
// Shared scanner for both splitting rules; `emit` receives each field as a view of `line`.
template <class Emit> void ScanFields(std::string_view line, bool commaRule, Emit&& emit)
{
    if (line.empty())
        return;
    std::size_t fieldStart = 0;
    std::size_t fieldLen = 0;
    bool inside = !IsSpace(line[0]);
    if (inside)
    {
        fieldStart = 0;
        fieldLen = 0;
    }
    auto flush = [&](bool force) {
        std::string_view field = line.substr(fieldStart, fieldLen);
        if (commaRule && !field.empty() && field.back() == ',')
        {
            field.remove_suffix(1);
            emit(field);
        }
        else if (force || !field.empty())
            emit(field);
    };
    for (std::size_t i = 0; i < line.size(); ++i)
    {
        const char c = line[i];
        if (!inside)
        {
            if (!IsSpace(c))
            {
                // The character that starts a field is not tested for the comma rule.
                fieldStart = i;
                fieldLen = 1;
                inside = true;
            }
            continue;
        }
        if (IsSpace(c))
        {
            flush(false);
            fieldLen = 0;
            inside = false;
            continue;
        }
        if (fieldLen == 0)
            fieldStart = i;
        ++fieldLen;
        if (commaRule && c == ',' && i + 1 < line.size() && !IsSpace(line[i + 1]))
        {
            flush(true);
            fieldLen = 0;
        }
    }
    if (inside && fieldLen > 0)
        flush(false);
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
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
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
