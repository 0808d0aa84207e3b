// The profile writer keeps the file around the one key it changes; the reader finds keys.
#include "formats/profile.h"

#include "base/platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

class ProfileTest : public ::testing::Test
{
protected:
    std::string File(const char* name = "test.ini") const { return (FDir / name).string(); }
    static void Put(const std::string& fileName, const std::string& content)
    {
        std::ofstream(fileName, std::ios::binary) << content;
    }
    static std::string Get(const std::string& fileName)
    {
        std::ifstream in(fileName, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::vector<std::string> Entries() const { return FTemp.Entries(); }
    TTempDir FTemp{"quillmark_profile"};
    const fs::path FDir = FTemp.Path();
};

TEST_F(ProfileTest, NewFileGetsSectionAndKey)
{
    const std::string file = (FDir / "sub" / "dir" / "q.ini").string();
    WritePrivateProfileString("COLORS", "Grid Marks", "255", file);
    EXPECT_EQ(Get(file), "[COLORS]\nGrid Marks=255\n");
}

TEST_F(ProfileTest, ExistingKeyIsUpdatedInPlaceKeepingEveryOtherLine)
{
    const std::string file = File();
    Put(file, "; my colours\r\n[Other]\r\nGrid Marks=7\r\n\r\n[colors]\r\n  grid marks = 12 \r\n"
              "Vertex=3\r\nodd line without equals\r\n");
    WritePrivateProfileString("COLORS", "Grid Marks", "-1", file);
    EXPECT_EQ(Get(file), "; my colours\r\n[Other]\r\nGrid Marks=7\r\n\r\n[colors]\r\n"
                         "Grid Marks=-1\r\nVertex=3\r\nodd line without equals\r\n");

    // Mixed line ends: every line but the changed one keeps its own, byte for byte.
    Put(file, "[colors]\r\nGrid Marks=1\nVertex=3\r\n; note\n\n[Other]\r\nx=y");
    WritePrivateProfileString("COLORS", "Vertex", "4", file);
    EXPECT_EQ(Get(file), "[colors]\r\nGrid Marks=1\nVertex=4\r\n; note\n\n[Other]\r\nx=y");
}

TEST_F(ProfileTest, NewKeyGoesAfterTheLastLineOfItsSection)
{
    const std::string file = File();
    Put(file, "[COLORS]\nBackground=0\n\n[Next]\na=b\n");
    WritePrivateProfileString("COLORS", "Vertex", "255", file);
    EXPECT_EQ(Get(file), "[COLORS]\nBackground=0\nVertex=255\n\n[Next]\na=b\n");
}

TEST_F(ProfileTest, NewSectionIsAppendedWithTheFileLineEnds)
{
    const std::string file = File();
    Put(file, "[A]\r\nx=1"); // no final line end
    WritePrivateProfileString("COLORS", "Background", "16711680", file);
    EXPECT_EQ(Get(file), "[A]\r\nx=1\r\n[COLORS]\r\nBackground=16711680\r\n");
}

TEST_F(ProfileTest, LastKeyWithoutLineEndIsReplacedWithoutOne)
{
    const std::string file = File();
    Put(file, "[COLORS]\nVertex=1");
    WritePrivateProfileString("COLORS", "vertex", "2", file);
    EXPECT_EQ(Get(file), "[COLORS]\nvertex=2");
    WritePrivateProfileString("COLORS", "Background", "3", file);
    EXPECT_EQ(Get(file), "[COLORS]\nvertex=2\nBackground=3\n");
}

TEST_F(ProfileTest, BinaryBytesElsewhereSurvive)
{
    const std::string file = File();
    const std::string junk("\x01\x00\xff garbage\n", 12);
    Put(file, junk + "[COLORS]\nVertex=1\n");
    WritePrivateProfileString("COLORS", "Vertex", "9", file);
    EXPECT_EQ(Get(file), junk + "[COLORS]\nVertex=9\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"test.ini"});
}

TEST_F(ProfileTest, UnwritableLocationRaisesTheMessageAndKeepsNoHalfFile)
{
    // A regular file where a directory should be defeats even a root user.
    const std::string blocker = File("blocker");
    Put(blocker, "x");
    const std::string file = blocker + "/q.ini";
    try
    {
        WritePrivateProfileString("COLORS", "Vertex", "1", file);
        FAIL() << "no error";
    }
    catch (const EProfileError& e)
    {
        EXPECT_STREQ(e.what(), ("Unable to write to " + file).c_str());
    }

    // A directory in the file's place cannot be replaced; it stays as it was.
    const std::string dir = File("isdir");
    fs::create_directories(dir);
    EXPECT_THROW(WritePrivateProfileString("COLORS", "Vertex", "1", dir), EProfileError);
    EXPECT_TRUE(fs::is_directory(dir));
}

#ifndef _WIN32
// Permissions and symbolic links as Linux has them: a private settings file stays private, and
// a settings file linked from elsewhere (a dotfiles folder) stays a link to the written file.
TEST_F(ProfileTest, WritingKeepsTheFileModeAndWritesThroughASymbolicLink)
{
    const std::string target = File("real.ini");
    Put(target, "[COLORS]\r\nVertex=1\r\n");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directory(FDir / "links");
    const fs::path link = FDir / "links" / "q.ini";
    fs::create_symlink("../real.ini", link);

    WritePrivateProfileString("COLORS", "Vertex", "2", link.string());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), "../real.ini");
    EXPECT_EQ(Get(target), "[COLORS]\r\nVertex=2\r\n");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"links", "real.ini"}));

    // A link to a file not yet there creates the file it names.
    fs::create_symlink("new.ini", FDir / "dangling.ini");
    WritePrivateProfileString("COLORS", "Vertex", "3", (FDir / "dangling.ini").string());
    EXPECT_TRUE(fs::is_symlink(FDir / "dangling.ini"));
    EXPECT_EQ(Get(File("new.ini")), "[COLORS]\nVertex=3\n");
}
#endif

TEST_F(ProfileTest, SettingsFileWritesDecimalText)
{
    const std::string file = File();
    TSettingsFile settings(file);
    settings.WriteInteger("COLORS", "Background", -16777216);
    settings.WriteInteger("COLORS", "Vertex", 255);
    EXPECT_EQ(Get(file), "[COLORS]\nBackground=-16777216\nVertex=255\n");
}

TEST_F(ProfileTest, ReaderFindsKeysWithoutRegardToCase)
{
    const std::string file = File();
    Put(file, "[Other]\r\nVertex=1\r\n[ Colors ]\r\n VERTEX = 42 \r\n");
    EXPECT_EQ(ReadPrivateProfileString("COLORS", "Vertex", file), "42");
    EXPECT_EQ(ReadPrivateProfileString("Other", "vertex", file), "1");
    EXPECT_FALSE(ReadPrivateProfileString("COLORS", "Background", file));
    EXPECT_FALSE(ReadPrivateProfileString("Missing", "Vertex", file));
    EXPECT_FALSE(ReadPrivateProfileString("COLORS", "Vertex", File("absent.ini")));
}
} // namespace
