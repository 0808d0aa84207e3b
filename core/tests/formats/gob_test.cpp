#include "formats/gob.h"

#include "base/errors.h"
#include "game_files.h"
#include "base/platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
// The two-member archive of the formats brief, laid out byte by byte (296 bytes).
std::string TwoMemberGob()
{
    std::string gob("GOB \x14\0\0\0\x0C\0\0\0\x02\0\0\0", 16);
    auto entry = [&gob](std::uint32_t offset, std::uint32_t length, std::string name)
    {
        PutU32(gob, offset);
        PutU32(gob, length);
        name.resize(128, '\0');
        gob += name;
    };
    entry(0x120, 5, "3do\\mat\\a.mat");
    entry(293, 3, "MISC\\CMP\\X.CMP");
    gob += "helloabc";
    return gob;
}

TGobArchive FromBytes(std::string bytes)
{
    return TGobArchive(MakeMemorySource(std::move(bytes)));
}

std::string ErrorOf(std::string bytes)
{
    try
    {
        FromBytes(std::move(bytes));
    }
    catch (const EArchiveError& e)
    {
        return e.what();
    }
    return "(accepted)";
}

template <class F> std::string ThrownBy(F f)
{
    try
    {
        f();
    }
    catch (const std::runtime_error& e)
    {
        return e.what();
    }
    return "(no error)";
}

void SetU32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    std::string le;
    PutU32(le, value);
    bytes.replace(at, 4, le);
}
} // namespace

TEST(Gob, ReadsTheTwoMemberArchive)
{
    const std::string bytes = TwoMemberGob();
    ASSERT_EQ(bytes.size(), 296u);
    const TGobArchive gob = FromBytes(bytes);
    ASSERT_EQ(gob.Count(), 2u);
    EXPECT_EQ(gob.Entry(0).Name, "3do\\mat\\a.mat");
    EXPECT_EQ(gob.Entry(1).Name, "MISC\\CMP\\X.CMP");
    EXPECT_EQ(gob.Entry(1).Offset, 293u);
    EXPECT_EQ(gob.Entry(1).Size, 3u);
    EXPECT_EQ(gob.Entry(0).Problem, gpNone);
    EXPECT_FALSE(gob.Entry(0).Unsafe);
    EXPECT_TRUE(gob.Warnings().empty());
    EXPECT_THROW(gob.Entry(2), EListError);

    ASSERT_EQ(gob.Find("3do/mat/A.MAT"), 0u);
    EXPECT_EQ(gob.Read(0), "hello");
    ASSERT_EQ(gob.Find("misc\\cmp\\x.cmp"), 1u);
    EXPECT_EQ(gob.Read(1), "abc");
    EXPECT_FALSE(gob.Find("3do/mat/a.ma"));
    EXPECT_FALSE(gob.Find("3do/mat/a.mat2"));
    EXPECT_FALSE(gob.Find(""));

    // A zero-length member and an empty archive are legal.
    const TGobArchive empty = FromBytes(WriteTestGob({{"a.txt", ""}}));
    EXPECT_EQ(empty.Read(0), "");
    EXPECT_EQ(FromBytes(WriteTestGob({})).Count(), 0u);
}

TEST(Gob, RejectsFilesThatAreNoUsableArchive)
{
    std::string bytes = TwoMemberGob();
    SetU32(bytes, 0x0C, 0xFFFFFFFF);
    EXPECT_EQ(ErrorOf(bytes),
              "Broken GOB archive: 4294967295 entries do not fit in the file (296 bytes)");
    bytes = TwoMemberGob();
    SetU32(bytes, 0x0C, 3); // 16 + 3 * 136 > 296
    EXPECT_EQ(ErrorOf(bytes), "Broken GOB archive: 3 entries do not fit in the file (296 bytes)");

    bytes = TwoMemberGob();
    SetU32(bytes, 4, 0x15);
    EXPECT_EQ(ErrorOf(bytes), "Unsupported GOB archive version 21 (expected 20)");

    bytes = TwoMemberGob();
    bytes[3] = '\x0A';
    EXPECT_EQ(ErrorOf(bytes), "Not a Jedi Knight GOB archive: this is a Dark Forces GOB");
    EXPECT_EQ(ErrorOf("GOO \x14\0\0\0"), "Not a Jedi Knight GOB archive");
    EXPECT_EQ(ErrorOf("GOB"), "Not a Jedi Knight GOB archive");
    EXPECT_EQ(ErrorOf(""), "Not a Jedi Knight GOB archive");
    EXPECT_EQ(ErrorOf(TwoMemberGob().substr(0, 15)),
              "Broken GOB archive: the file ends inside its header");

    bytes = TwoMemberGob();
    SetU32(bytes, 8, 8);
    EXPECT_EQ(ErrorOf(bytes), "Broken GOB archive: index offset 8 is outside the file (296 bytes)");
    SetU32(bytes, 8, 293); // the count would end past the file
    EXPECT_EQ(ErrorOf(bytes),
              "Broken GOB archive: index offset 293 is outside the file (296 bytes)");
    SetU32(bytes, 8, 292); // a count of 0x6362616F ("oabc") at the very end
    EXPECT_EQ(ErrorOf(bytes),
              "Broken GOB archive: 1667391855 entries do not fit in the file (296 bytes)");
}

TEST(Gob, ListsBrokenEntriesButRefusesToReadThem)
{
    std::string bytes = TwoMemberGob();
    SetU32(bytes, 0x98 + 4, 4); // entry 1 runs one byte past the end
    TGobArchive gob = FromBytes(bytes);
    ASSERT_EQ(gob.Count(), 2u);
    EXPECT_EQ(gob.Read(0), "hello");
    EXPECT_EQ(gob.Entry(1).Problem, gpPastEnd);
    EXPECT_EQ(ThrownBy([&] { gob.Read(1); }),
              "Broken archive entry: MISC\\CMP\\X.CMP (its data runs past the end of the archive)");

    bytes = TwoMemberGob();
    bytes.replace(0x18, 128, std::string(128, 'n')); // entry 0's name has no NUL
    gob = FromBytes(bytes);
    ASSERT_EQ(gob.Count(), 2u);
    EXPECT_EQ(gob.Entry(0).Name, std::string(128, 'n'));
    EXPECT_EQ(ThrownBy([&] { gob.Read(0); }), "Broken archive entry: " + std::string(128, 'n') +
                                                  " (its name does not end within 128 bytes)");
    EXPECT_EQ(gob.Read(1), "abc");

    bytes = TwoMemberGob();
    SetU32(bytes, 0x98 + 4, 0x80000000);
    bytes[0x98 + 8] = '\0';
    bytes[0x98 + 9] = 'X'; // only the part before the first NUL counts
    gob = FromBytes(bytes);
    EXPECT_EQ(gob.Entry(1).Name, "");
    EXPECT_EQ(ThrownBy([&] { gob.Read(1); }), "Broken archive entry: #2 (its name is empty)");
    EXPECT_FALSE(gob.Find("X"));
    bytes[0x98 + 8] = 'y';
    bytes[0x98 + 9] = '\x1B';
    gob = FromBytes(bytes);
    EXPECT_EQ(ThrownBy([&] { gob.Read(1); }),
              "Broken archive entry: y\\x1BSC\\CMP\\X.CMP (its length of 2147483648 bytes is 2 GB "
              "or more)");
}

TEST(Gob, FirstOfDuplicatesWinsAndOverlapsOnlyWarn)
{
    std::string bytes = TwoMemberGob();
    bytes.replace(0x98 + 8, 14, std::string("3DO/MAT/A.MAT\0", 14));
    const TGobArchive gob = FromBytes(bytes);
    ASSERT_EQ(gob.Count(), 2u);
    EXPECT_EQ(gob.Find("3do\\mat\\a.mat"), 0u);
    EXPECT_FALSE(gob.Entry(0).Duplicate);
    EXPECT_TRUE(gob.Entry(1).Duplicate);
    EXPECT_EQ(
        gob.Warnings(),
        std::vector<std::string>{"Duplicate archive entry: 3DO/MAT/A.MAT (the first one is used)"});

    // Entry 1 shares bytes with entry 0, entry 2 lies on the index; all stay readable.
    bytes = TwoMemberGob();
    bytes.replace(12, 4, std::string("\x03\0\0\0", 4));
    bytes.insert(0x120, 136, '\0');
    SetU32(bytes, 0x10, 0x120 + 136);
    SetU32(bytes, 0x98, 0x120 + 136 + 2);
    bytes.replace(0x120, 8, std::string("\x0C\0\0\0\x04\0\0\0", 8));
    bytes.replace(0x128, 5, "c.txt");
    const TGobArchive overlapping = FromBytes(bytes);
    EXPECT_EQ(overlapping.Warnings(),
              (std::vector<std::string>{
                  "Overlapping archive entry: c.txt (overlaps the archive's header or index)",
                  "Overlapping archive entry: MISC\\CMP\\X.CMP (overlaps 3do\\mat\\a.mat)"}));
    EXPECT_EQ(overlapping.Read(1), "llo");
    EXPECT_EQ(overlapping.Read(2), std::string("\x03\0\0\0", 4));

    // A flood of warnings is cut short with a count.
    std::vector<TTestMember> same(30, {"same.txt", "x"});
    const TGobArchive flood = FromBytes(WriteTestGob(same));
    ASSERT_EQ(flood.Warnings().size(), kGobMaxWarnings + 1);
    EXPECT_EQ(flood.Warnings().back(), "9 more archive warnings not shown");
}

TEST(Gob, UnsafeNamesAreListedButGetNoExtractionPath)
{
    std::string bytes = TwoMemberGob();
    bytes.replace(0x18, 13, std::string("..\\evil.txt\0\0", 13));
    const TGobArchive gob = FromBytes(bytes);
    ASSERT_EQ(gob.Count(), 2u);
    EXPECT_EQ(gob.Entry(0).Name, "..\\evil.txt");
    EXPECT_TRUE(gob.Entry(0).Unsafe);
    EXPECT_FALSE(gob.Entry(1).Unsafe);
    EXPECT_EQ(UnsafeEntryReason("..\\evil.txt"),
              "Unsafe archive entry name: ..\\evil.txt (a \"..\" component would leave the target "
              "folder)");
    EXPECT_EQ(ThrownBy([] { ExtractionPath("..\\evil.txt"); }), UnsafeEntryReason("..\\evil.txt"));
    EXPECT_EQ(ExtractionPath("MISC\\CMP\\X.CMP"), "MISC/CMP/X.CMP");

    const std::vector<std::pair<std::string, const char*>> unsafe = {
        {"", kUnsafeEmpty},
        {"/etc/passwd", kUnsafeLeadingSeparator},
        {"\\3do\\a.3do", kUnsafeLeadingSeparator},
        {"c:\\a.3do", kUnsafeColon},
        {"a.3do:stream", kUnsafeColon},
        {std::string("3do\\a\x01.3do"), kUnsafeControl},
        {"a\\b\\..\\..\\..\\c", kUnsafeParent},
        {"a\\..", kUnsafeParent},
        {"a\\\\b", kUnsafeEmptyComponent},
        {"3do\\", kUnsafeEmptyComponent},
        {".\\a", kUnsafeEmptyComponent},
        {"a\\.. \\b", kUnsafeTrailingDot},
        {"a.\\b", kUnsafeTrailingDot},
        {"CON", kUnsafeDevice},
        {"mat\\nul.mat", kUnsafeDevice},
        {"Lpt1.txt", kUnsafeDevice},
        {"COM\xB9", kUnsafeDevice},       // superscript one, Latin-1
        {"lpt\xC2\xB2.txt", kUnsafeDevice}, // superscript two, UTF-8
        {"a\\CONIN$", kUnsafeDevice},
        {"conout$ .log", kUnsafeDevice},
        {"3do\\what?.3do", kUnsafeWindowsCharacter},
        {"a<b>", kUnsafeWindowsCharacter}};
    for (const auto& [name, reason] : unsafe)
        EXPECT_EQ(UnsafeEntryReason(name),
                  "Unsafe archive entry name: " +
                      (name == "3do\\a\x01.3do" ? "3do\\a\\x01.3do" : name) + " (" + reason + ")")
            << name;
    // C1 bytes are control characters too: 0x9B starts an escape sequence on some terminals.
    EXPECT_EQ(UnsafeEntryReason("a\x9B" "2J\x80.3do"),
              "Unsafe archive entry name: a\\x9B2J\\x80.3do (it holds a control character)");
    for (const std::string name :
         {"..a", "a..b\\c", "com10", "console.txt", "3do\\mat\\.a", "COM\xB4", "caf\xE9\xA0.mat"})
        EXPECT_EQ(UnsafeEntryReason(name), "") << name;
}

TEST(Gob, MatchesCommandLineNames)
{
    const TGobArchive gob = FromBytes(WriteTestGob({{"3do\\ky.3do", "1"},
                                                    {"3DO\\GEN\\KY.3DO", "2"},
                                                    {"3do\\mat\\kyhead.mat", "3"},
                                                    {"3do\\mat\\kyhead.mat", "4"},
                                                    {"top.3do", "5"},
                                                    {"3do\\top.3do", "6"}}));
    EXPECT_EQ(gob.Match("3do/KY.3do"), 0u);
    EXPECT_EQ(gob.Match("3do\\gen/ky.3do"), 1u);
    EXPECT_EQ(gob.Match("KYHEAD.MAT"), 2u); // the duplicate counts once
    EXPECT_EQ(gob.Match("top.3do"), 4u);    // a whole name beats a file name elsewhere
    EXPECT_EQ(ThrownBy([&] { gob.Match("ky.3do"); }),
              "Ambiguous archive entry: ky.3do (2 matches)");
    EXPECT_EQ(ThrownBy([&] { gob.Match("mat/kyhead.mat"); }),
              "Archive entry not found: mat/kyhead.mat");
    EXPECT_EQ(ThrownBy([&] { gob.Match("y.3do"); }), "Archive entry not found: y.3do");
    EXPECT_EQ(ThrownBy([&] { gob.Match(""); }), "Archive entry not found: ");
}

TEST(Gob, OpensFilesByUtf8Name)
{
    namespace fs = std::filesystem;
    const TTempDir temp("quillmark_gob");
    const fs::path& dir = temp.Path();
    const std::string name = Utf8FromPath(dir) + "/r\xC3\xA9sum\xC3\xA9.gob";
    {
        std::ofstream out(PathFromUtf8(name), std::ios::binary);
        out << TwoMemberGob();
    }
    {
        const std::unique_ptr<TGobArchive> gob = TGobArchive::Open(name);
        EXPECT_EQ(gob->FileSize(), 296u);
        EXPECT_EQ(gob->Read(1), "abc");
        EXPECT_EQ(gob->Read(0), "hello");
    } // Windows keeps an open file from being removed.
    EXPECT_EQ(ThrownBy([&] { TGobArchive::Open(Utf8FromPath(dir) + "/none.gob"); }),
              "File not found");
    EXPECT_EQ(ThrownBy([&] { TGobArchive::Open(Utf8FromPath(dir)); }), "File access denied");
}

TEST(Gob, LargeIndexStaysCompactAndEveryNameIsFound)
{
    std::vector<TTestMember> members;
    for (int i = 0; i < 20000; ++i)
        members.push_back({"3do\\mat\\M" + std::to_string(i * 7919 % 20000) + ".mat", ""});
    const TGobArchive gob = FromBytes(WriteTestGob(members));
    ASSERT_EQ(gob.Count(), 20000u);
    EXPECT_LE(gob.IndexMemory(), 2 * 136 * 20000u);
    for (int i = 0; i < 20000; i += 97)
        EXPECT_EQ(gob.Find("3DO/MAT/m" + std::to_string(i * 7919 % 20000) + ".MAT"),
                  static_cast<std::size_t>(i));
    EXPECT_TRUE(gob.Warnings().empty());
}
