// Line tokenizers for the 3DO loader and their number fields.
#include "base/U_String.h"

#include "base/errors.h"

#include <fast_float/fast_float.h>

#include <cstring>

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

bool StartsWithText(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    const auto upper = [](char c)
    { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (upper(text[i]) != upper(prefix[i]))
            return false;
    return true;
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && StartsWithText(a, b);
}

std::string LowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string Latin1ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (const unsigned char c : bytes)
    {
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
        else
        {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool IsControlByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

std::string PrintableName(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes)
    {
        if (IsControlByte(c))
        {
            const auto u = static_cast<unsigned char>(c);
            text += "\\x";
            text += kHex[u >> 4];
            text += kHex[u & 15];
        }
        else
            text += c;
    }
    return text;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args)
{
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i)
    {
        if (pattern.compare(i, 2, "%s") == 0 && next != args.end())
        {
            out += *next++;
            ++i;
        }
        else
            out += pattern[i];
    }
    return out;
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

std::int32_t StrToInt(std::string_view field)
{
    auto fail = [&]() -> std::int32_t
    {
        std::string text(kInvalidIntegerFormat);
        text.replace(text.find("%s"), 2, field);
        throw EConvertError(text);
    };
    std::size_t i = 0;
    while (i < field.size() && field[i] == ' ')
        ++i;
    if (i == field.size())
        return fail();
    if (field[i] == '$')
    {
        ++i;
        if (i == field.size())
            return fail();
        std::uint64_t value = 0;
        for (; i < field.size(); ++i)
        {
            const int digit = HexDigitValue(field[i]);
            if (digit < 0)
                return fail();
            value = value * 16 + static_cast<std::uint64_t>(digit);
            if (value > 0xFFFFFFFFull)
                return fail();
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    bool negative = false;
    if (field[i] == '+' || field[i] == '-')
    {
        negative = field[i] == '-';
        ++i;
    }
    if (i == field.size())
        return fail();
    std::int64_t value = 0;
    for (; i < field.size(); ++i)
    {
        const char c = field[i];
        if (c < '0' || c > '9')
            return fail();
        value = value * 10 + (c - '0');
        if (value > 2147483648ll)
            return fail();
    }
    if (negative)
        value = -value;
    if (value > 2147483647ll)
        return fail();
    return static_cast<std::int32_t>(value);
}

double StrToReal(std::string_view field)
{
    const char* p = field.data();
    const char* end = p + field.size();
    while (p < end && *p == ' ')
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
    {
        negative = *p == '-';
        ++p;
    }
    // Find the longest prefix of the form digits [. digits] [e [sign] digits].
    const char* start = p;
    const char* q = p;
    while (q < end && *q >= '0' && *q <= '9')
        ++q;
    bool haveDigits = q > start;
    if (q + 1 < end && *q == '.' && q[1] >= '0' && q[1] <= '9')
    {
        q += 2;
        while (q < end && *q >= '0' && *q <= '9')
            ++q;
        haveDigits = true;
    }
    if (!haveDigits)
        return negative ? -0.0 : 0.0;
    if (q < end && (*q == 'e' || *q == 'E'))
    {
        const char* e = q + 1;
        if (e < end && (*e == '+' || *e == '-'))
            ++e;
        if (e < end && *e >= '0' && *e <= '9')
        {
            while (e < end && *e >= '0' && *e <= '9')
                ++e;
            q = e;
        }
    }
    double value = 0;
    if (*start == '.')
    {
        // fast_float wants a digit before the point.
        char buf[512];
        const std::size_t len = static_cast<std::size_t>(q - start);
        if (len + 1 < sizeof(buf))
        {
            buf[0] = '0';
            std::memcpy(buf + 1, start, len);
            fast_float::from_chars(buf, buf + len + 1, value);
        }
        else
        {
            std::string s = "0" + std::string(start, q);
            fast_float::from_chars(s.data(), s.data() + s.size(), value);
        }
    }
    else
        fast_float::from_chars(start, q, value);
    return negative ? -value : value;
}
