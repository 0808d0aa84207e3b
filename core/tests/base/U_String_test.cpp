#include "base/U_String.h"

#include "base/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
template <class Parser> std::vector<std::string> Fields(const std::string& line)
{
    Parser p(line);
    std::vector<std::string> out;
    for (int i = 1; i < p.Count(); ++i)
        out.push_back(p.Strings(i));
    return out;
}

using V = std::vector<std::string>;

std::vector<std::string> SplitterFields(const std::string& line, bool comma)
{
    TFieldSplitter s;
    if (comma)
        s.SplitWithComma(line);
    else
        s.Split(line);
    std::vector<std::string> out;
    for (int i = 1; i <= s.FieldCount(); ++i)
        out.emplace_back(s.Field(i));
    return out;
}
} // namespace

TEST(StringParser, ItemZeroIsTheWholeLineAndBlankRunsMakeNoFields)
{
    TStringParser empty("");
    EXPECT_EQ(empty.Count(), 1);
    EXPECT_EQ(empty.Strings(0), "");

    TStringParser spaces("   ");
    EXPECT_EQ(spaces.Count(), 1);
    EXPECT_EQ(spaces.Strings(0), "   ");

    TStringParser geoset("GEOSET 0");
    ASSERT_EQ(geoset.Count(), 3);
    EXPECT_EQ(geoset.Strings(0), "GEOSET 0");
    EXPECT_EQ(geoset.Strings(1), "GEOSET");
    EXPECT_EQ(geoset.Strings(2), "0");

    EXPECT_EQ(Fields<TStringParser>("a\tb c\r"), (V{"a", "b", "c"}));
    EXPECT_EQ(Fields<TStringParser>("  lead  mid\n\ntrail  "), (V{"lead", "mid", "trail"}));
    EXPECT_EQ(Fields<TStringParser>("0, 0"), (V{"0,", "0"}));
    // Control characters other than the four blanks and quotes belong to fields.
    EXPECT_EQ(Fields<TStringParser>("a\x01"
                                    "b \"q\""),
              (V{"a\x01"
                 "b",
                 "\"q\""}));
}

TEST(StringParser, ReadingAMissingFieldFailsWithTheListMessage)
{
    TStringParser p("one two");
    EXPECT_THROW(p.Strings(3), EListError);
    EXPECT_THROW(p.Strings(-1), EListError);
    try
    {
        p.Strings(5);
        FAIL();
    }
    catch (const EListError& e)
    {
        EXPECT_STREQ(e.what(), "List index out of bounds");
    }
}

TEST(StringParserWithComma, CommaRules)
{
    EXPECT_EQ(Fields<TStringParserWithComma>(
                  "  3:  0  0x0000  4  3  0  0.0000  3  0, 0  1,1  2, 2"),
              (V{"3:", "0", "0x0000", "4", "3", "0", "0.0000", "3", "0", "0", "1", "1", "2", "2"}));
    EXPECT_EQ(Fields<TStringParserWithComma>("1,2"), (V{"1", "2"}));
    EXPECT_EQ(Fields<TStringParserWithComma>("1,2,"), (V{"1", "2"}));
    EXPECT_EQ(Fields<TStringParserWithComma>("1 ,2"), (V{"1", ",2"}));
    EXPECT_EQ(Fields<TStringParserWithComma>(",5"), (V{"", "5"}));
    EXPECT_EQ(Fields<TStringParserWithComma>(" ,5"), (V{",5"}));
    // A run at the start of the line has its first comma tested; one after a blank has not.
    EXPECT_EQ(Fields<TStringParserWithComma>(",,"), (V{"", ""}));
    EXPECT_EQ(Fields<TStringParserWithComma>(" ,,"), (V{","}));
    EXPECT_EQ(Fields<TStringParserWithComma>("0,"), (V{"0"}));
    EXPECT_EQ(Fields<TStringParserWithComma>("1 , 2"), (V{"1", "", "2"}));
    EXPECT_EQ(Fields<TStringParserWithComma>("1,,2"), (V{"1", "", "2"}));
    EXPECT_EQ(Fields<TStringParserWithComma>("1 ,"), (V{"1", ""}));
    // Only one trailing comma is dropped.
    EXPECT_EQ(Fields<TStringParserWithComma>("7,, x"), (V{"7", "", "x"}));
    EXPECT_EQ(Fields<TStringParserWithComma>("a,\tb"), (V{"a", "b"}));
}

TEST(FieldSplitter, AgreesWithTheParserClassesOnAwkwardLines)
{
    const std::vector<std::string> lines = {
        "",       "   ",    "GEOSET 0", "a\tb c\r",  "0, 0",    "1,2,",   "1 ,2",  ",5",
        " ,5",    "1 , 2",  "1,,2",     ",,,",       ", , ,",   "a,b,c,", " x,y ", "\r\n,\t,",
        "  0:  3  0x0000  4  3  0  0.0000  4  0, 0  1, 1  2,2  3 3"};
    for (const std::string& line : lines)
    {
        EXPECT_EQ(SplitterFields(line, false), Fields<TStringParser>(line)) << line;
        EXPECT_EQ(SplitterFields(line, true), Fields<TStringParserWithComma>(line)) << line;
    }
    TFieldSplitter s;
    s.Split("a b");
    EXPECT_THROW(s.Field(3), EListError);
    EXPECT_THROW(s.Field(0), EListError);
}

TEST(CaseFolding, OnlyAsciiLettersFold)
{
    // Names are bytes: Latin-1 letters stay as they are, whatever the locale says.
    EXPECT_EQ(LowerCase("AZaz@[`{09 \\/"), "azaz@[`{09 \\/");
    EXPECT_EQ(LowerCase("\xC0\xC9\xDE"), "\xC0\xC9\xDE");
    EXPECT_TRUE(SameText("Mat\\A.MAT", "mat\\a.mat"));
    EXPECT_FALSE(SameText("\xC9", "\xE9"));
}

TEST(TrimLeadingSpaces, StripsOnlySpacesAndCutsAt999)
{
    EXPECT_EQ(TrimLeadingSpaces("   12.50"), "12.50");
    EXPECT_EQ(TrimLeadingSpaces("\t5"), "\t5");
    EXPECT_EQ(TrimLeadingSpaces(""), "");
    EXPECT_EQ(TrimLeadingSpaces("    "), "");
    EXPECT_EQ(TrimLeadingSpaces(" a b "), "a b ");
    const std::string longText = "  " + std::string(1200, 'x');
    EXPECT_EQ(TrimLeadingSpaces(longText), std::string(999, 'x'));
}

TEST(NumberFields, IntegersAreDecimalOrDollarHexAndFailWithTheirText)
{
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("$ffffffff"), -1);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("+12"), 12);
    EXPECT_EQ(StrToInt("  7"), 7);
    for (const char* bad : {"", "$", "-", "+", "$100000000", "12a", "-$1", "1 ", " "})
        EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
}

TEST(NumberFields, RealsAcceptTheNumberGrammarAndTolerateGarbage)
{
    EXPECT_EQ(StrToReal("1.5"), 1.5);
    EXPECT_EQ(StrToReal("-.25"), -0.25);
    EXPECT_EQ(StrToReal("+2e3"), 2000);
    EXPECT_EQ(StrToReal("3E-2"), 0.03);
    EXPECT_EQ(StrToReal("  4"), 4);
    EXPECT_TRUE(std::signbit(StrToReal("-0.0")));
    // Malformed reals are not reported; the well-formed prefix counts.
    EXPECT_EQ(StrToReal("1.5abc"), 1.5);
    EXPECT_EQ(StrToReal("7."), 7);
    EXPECT_EQ(StrToReal("2e"), 2);
    EXPECT_EQ(StrToReal("abc"), 0);
    EXPECT_EQ(StrToReal("nan"), 0);
    EXPECT_EQ(StrToReal(""), 0);
    EXPECT_TRUE(std::isinf(StrToReal("1e999")));
}
