// Colour roles go to the settings file in list order and come back from it at start-up.
#include "colors.h"
#include "profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

class ColorsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FDir = fs::temp_directory_path() / ("quillmark_colors_" + std::to_string(::getpid()));
        fs::remove_all(FDir);
        fs::create_directories(FDir);
        for (const TColorRole& role : ColorRoles)
            *role.Variable = 0;
    }
    void TearDown() override
    {
        fs::remove_all(FDir);
        for (const TColorRole& role : ColorRoles)
            *role.Variable = 0;
    }
    fs::path FDir;
};

TEST_F(ColorsTest, RolesAreWrittenInListOrder)
{
    const std::string file = (FDir / "q.ini").string();
    VertexColor = 255;
    BackgroundColor = 16711680;
    SelPolygonColor = -1;
    WriteColorRoles(file);
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "[COLORS]\nBackground=16711680\nGrid Marks=0\nInformation Text=0\n"
                       "Multiple Selection=0\nPolygon Wire=0\nSelected Polygon=-1\n"
                       "Selected Vertex=0\nVertex=255\n");
}

TEST_F(ColorsTest, ReadBackSetsOnlyWellFormedKeys)
{
    const std::string file = (FDir / "q.ini").string();
    std::ofstream(file) << "[COLORS]\nGrid Marks=255\nVertex=12x\nBackground=-5\n"
                           "Polygon Wire=99999999999\n";
    PolygonWireColor = 7;
    ReadColorRoles(file);
    EXPECT_EQ(GridMarksColor, 255);
    EXPECT_EQ(BackgroundColor, -5);
    EXPECT_EQ(VertexColor, 0);
    EXPECT_EQ(PolygonWireColor, 7);
    EXPECT_EQ(InfoTextColor, 0);

    ReadColorRoles((FDir / "missing.ini").string());
    EXPECT_EQ(GridMarksColor, 255);
}

TEST_F(ColorsTest, SettingsFileFollowsXdgConfigHome)
{
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(SettingsFileName(), "/cfg/Quillmark/quillmark.ini");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(SettingsFileName(), "/home/u/.config/Quillmark/quillmark.ini");
    if (old)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
}
} // namespace
