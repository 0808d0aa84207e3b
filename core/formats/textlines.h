// The game's small text files (keys, puppets) as numbered lines of words, with the text rules the
// model loader keeps: lines end at CR, LF or CR LF, byte 26 ends the text, keywords compare in any
// case. Also the strict number fields these files hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

// Walks the lines that hold words: "#" starts a comment that runs to the end of the line, and
// lines with nothing else are skipped. Words are runs of characters other than space and tab.
class TTextLines
{
public:
    explicit TTextLines(std::string_view text);

    // Moves to the next line with words; false at the end of the text.
    bool Next();
    // The current line's number, counting from 1; after the end, the number one past the last.
    int Line() const { return FLine; }
    int Count() const { return static_cast<int>(FWords.size()); }
    // Word i of the current line, from 0; empty past the last.
    std::string_view Word(int i) const;
    // Whether the first words are these, in any case.
    bool Starts(std::initializer_list<std::string_view> words) const;
    // Bytes after the current line.
    std::size_t Remaining() const { return FText.size() - FPos; }

private:
    std::string_view FText;
    std::size_t FPos = 0;
    int FLine = 0;
    int FNextLine = 1;
    std::vector<std::string_view> FWords;
};

// A whole decimal number with an optional sign, in the 32-bit range.
std::optional<std::int32_t> ReadInteger(std::string_view word);
// Hexadecimal digits of either case, with or without "0x", at most 32 bits.
std::optional<std::uint32_t> ReadHex(std::string_view word);
// A finite decimal number: sign, digits, a point and digits, an exponent; "." whatever the locale.
std::optional<double> ReadNumber(std::string_view word);
