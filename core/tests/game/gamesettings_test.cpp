#include "game/gamesettings.h"

#include "base/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

TEST(GameSettings, ReadsTheGameSectionAndKeepsDefaultsForWhatIsMissing)
{
    const fs::path file = fs::temp_directory_path() /
                          ("quillmark_game_" + std::to_string(std::random_device{}()) + ".ini");
    const std::string name = Utf8FromPath(file);
    TGameSettings none = ReadGameSettings(name); // no file
    EXPECT_EQ(none.Folder, "");
    EXPECT_EQ(none.Colormap, "");
    EXPECT_TRUE(none.Textures);

    std::ofstream(file, std::ios::binary)
        << "[COLORS]\r\nFolder=wrong\r\n[game]\r\n folder = /games/Jedi Knight/Résumé \r\n"
           "Colormap=misc/cmp/01narsh.cmp\r\nTextures=0\r\n";
    const TGameSettings read = ReadGameSettings(name);
    EXPECT_EQ(read.Folder, "/games/Jedi Knight/Résumé");
    EXPECT_EQ(read.Colormap, "misc/cmp/01narsh.cmp");
    EXPECT_FALSE(read.Textures);

    std::ofstream(file, std::ios::binary) << "[GAME]\nTextures=1\n";
    EXPECT_TRUE(ReadGameSettings(name).Textures);
    EXPECT_EQ(ReadGameSettings(name).Folder, "");
    fs::remove(file);
}
