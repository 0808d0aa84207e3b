// The platform unit: per-user folders, file replacement, file names in any script.
#include "base/platform.h"
#include "temp_dir.h"

#include "test_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

class PlatformFileTest : public ::testing::Test
{
protected:
    std::string Name(const char* name) const { return Utf8FromPath(FDir / PathFromUtf8(name)); }
    std::vector<std::string> Entries() const { return FTemp.Entries(); }
    static void Put(const std::string& name, const std::string& content)
    {
        std::ofstream(PathFromUtf8(name), std::ios::binary) << content;
    }
    static std::string Get(const std::string& name)
    {
        std::ifstream in(PathFromUtf8(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    TTempDir FTemp{"quillmark_platform"};
    const fs::path FDir = FTemp.Path();
};

struct TFileError
{
    int Error;
};

void ThrowFileError(int error)
{
    throw TFileError{error};
}

TEST_F(PlatformFileTest, ReplacingFileTakesTheNameOnlyWhenCommitted)
{
    const std::string name = Name("out.x");
    Put(name, "the previous, longer content");
    {
        TReplacingFile file(name, ThrowFileError);
        file.Write("new\r\n");
        file.Write("text\n");
        EXPECT_EQ(Get(name), "the previous, longer content");
        file.Commit();
    }
    // Bytes as given: no line end is translated on any system.
    EXPECT_EQ(Get(name), "new\r\ntext\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"out.x"});

    {
        TReplacingFile abandoned(name, ThrowFileError);
        abandoned.Write("never committed");
    }
    EXPECT_EQ(Get(name), "new\r\ntext\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"out.x"});

    try
    {
        TReplacingFile missing(Name("no/such/folder.x"), ThrowFileError);
        FAIL() << "no error";
    }
    catch (const TFileError& e)
    {
        EXPECT_EQ(e.Error, ENOENT);
    }
}

TEST_F(PlatformFileTest, FileNamesInAnyScript)
{
    const std::string name = Name("Модель — 模型.x");
    for (const char* text : {"first", "second"})
    {
        TReplacingFile file(name, ThrowFileError);
        file.Write(text);
        file.Commit();
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"Модель — 模型.x"});
    // The loader opens files through the C library by their UTF-8 name (on Windows that takes
    // the program's UTF-8 code page).
    std::FILE* f = std::fopen(name.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, f), 6u);
    std::fclose(f);
    EXPECT_EQ(std::string(buffer), "second");
}

#ifndef _WIN32
// Permissions and symbolic links as Linux has them: the replaced file keeps its mode, and a
// chain of links, relative or absolute, still leads to the written file.
TEST_F(PlatformFileTest, ReplacingKeepsTheModeAndWritesThroughSymbolicLinks)
{
    fs::create_directory(FDir / "real");
    const std::string target = Name("real/file.txt");
    Put(target, "old");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(target, mode);
    fs::create_symlink("real/file.txt", FDir / "hop");
    fs::create_symlink(FDir / "hop", FDir / "link");

    TReplacingFile file(Name("link"), ThrowFileError);
    file.Write("new");
    file.Commit();
    EXPECT_EQ(Get(target), "new");
    EXPECT_EQ(fs::status(target).permissions(), mode);
    EXPECT_TRUE(fs::is_symlink(FDir / "hop"));
    EXPECT_TRUE(fs::is_symlink(FDir / "link"));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"hop", "link", "real"}));
}
#endif

TEST_F(PlatformFileTest, FoldersAreMadeAndTestedForWriting)
{
    const std::string nested = Utf8FromPath(FDir / "a" / "b" / "");
    EXPECT_FALSE(CanCreateFilesIn(nested));
    EXPECT_TRUE(MakeFolder(nested));
    EXPECT_TRUE(fs::is_directory(FDir / "a" / "b"));
    EXPECT_TRUE(CanCreateFilesIn(nested));
    EXPECT_FALSE(CanCreateFilesIn(""));
#ifndef _WIN32
    // Per-user folders are private to the user on Linux.
    EXPECT_EQ(fs::status(FDir / "a").permissions(), fs::perms::owner_all);
#endif
}

#ifdef _WIN32
// Windows names the application-data folders in the environment, else through the system.
TEST(Platform, UserFoldersAreTheApplicationDataFolders)
{
    TTestEnvironment env;
    env.Set("APPDATA", "C:\\Users\\u\\AppData\\Roaming");
    env.Set("LOCALAPPDATA", "D:\\Local\\");
    EXPECT_EQ(UserFolder(TUserFolder::ufSettings), "C:\\Users\\u\\AppData\\Roaming\\Quillmark\\");
    EXPECT_EQ(UserFolder(TUserFolder::ufCache), "D:\\Local\\Quillmark\\");
    env.Set("APPDATA", "relative");
    env.Set("LOCALAPPDATA", std::nullopt);
    for (const TUserFolder kind : {TUserFolder::ufSettings, TUserFolder::ufCache})
    {
        const std::string folder = UserFolder(kind);
        EXPECT_TRUE(PathFromUtf8(folder).is_absolute()) << folder;
        EXPECT_TRUE(folder.ends_with("\\Quillmark\\")) << folder;
        EXPECT_EQ(folder.find("relative"), std::string::npos) << folder;
    }
}
#else
// Linux follows the XDG base directories; a relative folder is never taken.
TEST(Platform, UserFoldersFollowTheXdgBaseDirectories)
{
    TTestEnvironment env;
    env.Set("XDG_CONFIG_HOME", "/cfg/");
    env.Set("XDG_CACHE_HOME", "/var/cache/u");
    EXPECT_EQ(UserFolder(TUserFolder::ufSettings), "/cfg/Quillmark/");
    EXPECT_EQ(UserFolder(TUserFolder::ufCache), "/var/cache/u/quillmark/");
    env.Set("XDG_CONFIG_HOME", "relative");
    env.Set("XDG_CACHE_HOME", "");
    env.Set("HOME", "/home/u");
    EXPECT_EQ(UserFolder(TUserFolder::ufSettings), "/home/u/.config/Quillmark/");
    EXPECT_EQ(UserFolder(TUserFolder::ufCache), "/home/u/.cache/quillmark/");
    // Without a usable HOME, the account's home folder.
    env.Set("HOME", "relative-home");
    const std::string settings = UserFolder(TUserFolder::ufSettings);
    EXPECT_EQ(settings.front(), '/');
    EXPECT_TRUE(settings.ends_with("/.config/Quillmark/")) << settings;
    EXPECT_EQ(settings.find("relative-home"), std::string::npos);
}
#endif

TEST(Platform, EnvironmentValuesAreUtf8)
{
    TTestEnvironment env;
    env.Set("QUILLMARK_PLATFORM_TEST", "Модель ✓");
    EXPECT_EQ(EnvironmentValue("QUILLMARK_PLATFORM_TEST"), "Модель ✓");
    env.Set("QUILLMARK_PLATFORM_TEST", std::nullopt);
    EXPECT_EQ(EnvironmentValue("QUILLMARK_PLATFORM_TEST"), std::nullopt);
}

TEST(Platform, AvailableMemoryIsAPlausibleFigure)
{
    const std::uint64_t bytes = AvailableSystemMemory();
    EXPECT_GT(bytes, std::uint64_t{1} << 20);
    EXPECT_LT(bytes, std::uint64_t{1} << 50);
}
} // namespace
