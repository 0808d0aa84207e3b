// Colour roles go to the settings file in list order and come back from it at start-up.
#include "view/colors.h"
#include "base/platform.h"
#include "formats/profile.h"
#include "test_environment.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{
namespace fs = std::filesystem;

class ColorsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const TColorRole& role : ColorRoles)
            *role.Variable = 0;
    }
    void TearDown() override
    {
        for (const TColorRole& role : ColorRoles)
            *role.Variable = 0;
    }
    TTempDir FTemp{"quillmark_colors"};
    const fs::path FDir = FTemp.Path();
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

#ifdef _WIN32
// Windows keeps settings in the roaming application-data folder.
TEST_F(ColorsTest, SettingsFileIsInTheApplicationDataFolder)
{
    TTestEnvironment env;
    env.Set("APPDATA", "C:\\Users\\u\\AppData\\Roaming");
    EXPECT_EQ(SettingsFileName(), "C:\\Users\\u\\AppData\\Roaming\\Quillmark\\quillmark.ini");
}
#else
// Linux follows the XDG base directories; a relative folder there is not taken.
TEST_F(ColorsTest, SettingsFileFollowsXdgConfigHome)
{
    TTestEnvironment env;
    env.Set("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(SettingsFileName(), "/cfg/Quillmark/quillmark.ini");
    env.Set("XDG_CONFIG_HOME", "");
    env.Set("HOME", "/home/u");
    EXPECT_EQ(SettingsFileName(), "/home/u/.config/Quillmark/quillmark.ini");
    env.Set("XDG_CONFIG_HOME", "relative/cfg");
    EXPECT_EQ(SettingsFileName(), "/home/u/.config/Quillmark/quillmark.ini");
}
#endif
} // namespace
