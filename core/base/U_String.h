// Line tokenizers for the 3DO loader, the number fields they give, case-insensitive text
// comparison, and a small trimming helper for formatted numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kInvalidIntegerFormat = "'%s' is not a valid integer value";

// Whether a and b are the same text but for the case of ASCII letters (in every locale).
bool SameText(std::string_view a, std::string_view b);
// Whether `text` starts with `prefix` but for the case of ASCII letters.
bool StartsWithText(std::string_view text, std::string_view prefix);
// `text` with the ASCII letters in lower case and every other byte as it is (in every locale).
std::string LowerCase(std::string_view text);

// Names and messages carry a file's bytes; shown or written as text, each byte is the character
// of the same code (U+0000 .. U+00FF), in UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);

// Whether a byte of a name, taken as Latin-1, is a control character: C0, DEL or C1 (0x80 ..
// 0x9F). A terminal obeys these instead of showing them.
bool IsControlByte(char c);
// A name's bytes with each control character as \xNN (upper-case hex), every other byte as it
// is: a name in a message never moves the cursor, rings a bell or starts an escape sequence.
std::string PrintableName(std::string_view bytes);

// The value of a hexadecimal digit of either case, or -1.
int HexDigitValue(char c);

// `pattern` with each "%s" replaced by the next of `args`, in order; extra "%s" stay.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);

// S without its leading spaces (32 only), at most 999 characters long.
std::string TrimLeadingSpaces(std::string_view s);

// Item 0 is the whole line; items 1.. are the maximal runs of non-blank characters.
// Reading an item that does not exist throws EListError.
class TStringParser
{
public:
    explicit TStringParser(std::string_view line);
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int index) const;
    const std::string& operator[](int index) const { return Strings(index); }

private:
    std::vector<std::string> FItems;
};

// As TStringParser, but a comma also ends a field (see SplitFieldsWithComma).
class TStringParserWithComma
{
public:
    explicit TStringParserWithComma(std::string_view line);
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int index) const;
    const std::string& operator[](int index) const { return Strings(index); }

private:
    std::vector<std::string> FItems;
};

// Allocation-free splitting with exactly the rules of the two parser classes, for the
// loader's hot path. Fields are views into the line; at most kMaxFields are kept, and
// TotalCount() tells how many the line really has.
class TFieldSplitter
{
public:
    static constexpr int kMaxFields = 1024;

    void Split(std::string_view line);          // TStringParser rules
    void SplitWithComma(std::string_view line); // TStringParserWithComma rules

    // Field n counted as in the parsers: 1 is the first field. Throws EListError when absent.
    std::string_view Field(int n) const;
    int FieldCount() const { return FTotal; }

private:
    void Push(std::string_view field);
    std::string_view FFields[kMaxFields];
    int FTotal = 0;
};

// Parses an integer field as the loader does; throws EConvertError otherwise.
std::int32_t StrToInt(std::string_view field);
// Parses a real field as the loader does; malformed text gives the value of its longest
// well-formed prefix (0 when there is none).
double StrToReal(std::string_view field);
