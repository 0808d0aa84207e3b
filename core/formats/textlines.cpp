// The game's small text files as lines of words.
#include "formats/textlines.h"

#include "base/U_String.h"

#include <fast_float/fast_float.h>

#include <cmath>
#include <string>
#include <system_error>

TTextLines::TTextLines(std::string_view text) : FText(text)
{
    const std::size_t eof = FText.find('\x1A');
    if (eof != std::string_view::npos)
        FText = FText.substr(0, eof);
}

bool TTextLines::Next()
{
    while (FPos < FText.size())
    {
        FLine = FNextLine++;
        std::size_t end = FPos;
        while (end < FText.size() && FText[end] != '\r' && FText[end] != '\n')
            ++end;
        std::string_view line = FText.substr(FPos, end - FPos);
        FPos = end;
        if (FPos < FText.size() && FText[FPos++] == '\r' && FPos < FText.size() &&
            FText[FPos] == '\n')
            ++FPos;
        const std::size_t comment = line.find('#');
        if (comment != std::string_view::npos)
            line = line.substr(0, comment);
        FWords.clear();
        std::size_t i = 0;
        while (i < line.size())
        {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
                ++i;
            const std::size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                ++i;
            if (i > start)
                FWords.push_back(line.substr(start, i - start));
        }
        if (!FWords.empty())
            return true;
    }
    FLine = FNextLine;
    FWords.clear();
    return false;
}

std::string_view TTextLines::Word(int i) const
{
    return i >= 0 && i < Count() ? FWords[static_cast<std::size_t>(i)] : std::string_view();
}

bool TTextLines::Starts(std::initializer_list<std::string_view> words) const
{
    int i = 0;
    for (const std::string_view w : words)
        if (!SameText(Word(i++), w))
            return false;
    return true;
}

std::optional<std::int32_t> ReadInteger(std::string_view word)
{
    std::size_t i = 0;
    bool negative = false;
    if (!word.empty() && (word[0] == '+' || word[0] == '-'))
    {
        negative = word[0] == '-';
        ++i;
    }
    if (i == word.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < word.size(); ++i)
    {
        if (word[i] < '0' || word[i] > '9')
            return std::nullopt;
        value = value * 10 + (word[i] - '0');
        if (value > 2147483648ll)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 2147483647ll)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::uint32_t> ReadHex(std::string_view word)
{
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X'))
        word.remove_prefix(2);
    if (word.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : word)
    {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<double> ReadNumber(std::string_view word)
{
    bool negative = false;
    if (!word.empty() && (word[0] == '+' || word[0] == '-'))
    {
        negative = word[0] == '-';
        word.remove_prefix(1);
    }
    // fast_float takes "inf" and "nan" too; a digit or a point must start a number here.
    if (word.empty() || !((word[0] >= '0' && word[0] <= '9') || word[0] == '.'))
        return std::nullopt;
    // fast_float wants a digit before the point.
    std::string text;
    if (word[0] == '.')
    {
        text.reserve(word.size() + 1);
        text.push_back('0');
        text.append(word);
        word = text;
    }
    double value = 0;
    const auto result = fast_float::from_chars(word.data(), word.data() + word.size(), value);
    if (result.ec != std::errc() || result.ptr != word.data() + word.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return negative ? -value : value;
}
