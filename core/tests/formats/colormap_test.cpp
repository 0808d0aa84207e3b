#include "formats/colormap.h"

#include "game_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{
std::string Message(const std::string& bytes)
{
    try
    {
        TColormap c(bytes);
    }
    catch (const EColormapError& e)
    {
        return e.what();
    }
    return "accepted";
}
} // namespace

TEST(Colormap, ReadsPaletteAndLightTables)
{
    const std::string file = Cmp();
    ASSERT_EQ(file.size(), 17216u);
    const TColormap c(file);
    EXPECT_TRUE(c.Warnings().empty());
    EXPECT_EQ(c.Colour(5), 0xFF05FA23u);
    EXPECT_EQ(c.Colour(0), 0xFF00FF00u);
    EXPECT_EQ(c.Colour(255), 0xFFFF00F9u);
    EXPECT_EQ(c.ArgbTable()[200], 0xFFC83778u);
    ASSERT_TRUE(c.HasLightTables());
    EXPECT_EQ(c.LightTables().size(), 16384u);
    EXPECT_EQ(c.LitIndex(10, 5), 0);
    EXPECT_EQ(c.Colour(c.LitIndex(10, 5)), 0xFF00FF00u);
    EXPECT_EQ(c.LitIndex(32, 5), 5);
    EXPECT_EQ(c.LitIndex(63, 200), 200);
    // Levels outside 0..63 take the nearest row.
    EXPECT_EQ(c.LitIndex(-7, 5), 0);
    EXPECT_EQ(c.LitIndex(1000, 5), 5);
}

TEST(Colormap, RejectsFilesTheGameCannotUse)
{
    std::string badMagic = Cmp();
    badMagic[3] = '\0';
    const std::string noTables = Cmp(0x1E, 1);
    const struct
    {
        std::string bytes;
        const char* message;
    } cases[] = {
        {"", "Not a colormap file"},
        {"CMP", "Not a colormap file"},
        {badMagic, "Not a colormap file"},
        {Cmp().substr(0, 17215), "Colormap file is truncated"},
        {noTables, "Colormap file is truncated: its transparency tables are missing"},
        {noTables + std::string(65535, '\0'),
         "Colormap file is truncated: its transparency tables are missing"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Message(c.bytes), c.message) << "size " << c.bytes.size();
}

TEST(Colormap, AcceptsOddFilesWithTheirWarnings)
{
    const std::string unknownVersion = "Unexpected colormap version";
    const std::string unknownFlags = "Colormap has unknown flags";
    const std::string laterLayout =
        "Colormap has a later engine's layout: only its palette is used";
    const struct
    {
        std::string bytes;
        std::vector<std::string> warnings;
        bool lightTables;
    } cases[] = {
        {Cmp(0x1E, 1) + std::string(65536, '\0'), {}, true},
        {Cmp() + "trailing", {}, true},
        {Cmp(0x1E, 0, 0x7FC00000), {}, true}, // NaN tint: ignored
        {Cmp(0x14), {unknownVersion}, true},
        {Cmp(0x1E, 0x10), {unknownFlags}, true},
        {Cmp(0x1E, 4), {laterLayout}, false},
        {Cmp(0, 0x84), {unknownVersion, unknownFlags, laterLayout}, false},
    };
    for (const auto& c : cases)
    {
        const TColormap cmp(c.bytes);
        EXPECT_EQ(cmp.Warnings(), c.warnings) << "size " << c.bytes.size();
        EXPECT_EQ(cmp.HasLightTables(), c.lightTables);
        EXPECT_EQ(cmp.Colour(5), 0xFF05FA23u);
        // Without usable light tables every level is full brightness.
        EXPECT_EQ(cmp.LitIndex(10, 5), c.lightTables ? 0 : 5);
    }
}

TEST(Colormap, GreyRampStandsInForAMissingColormap)
{
    const TColormap c = TColormap::GreyRamp();
    EXPECT_EQ(c.Colour(0), 0xFF000000u);
    EXPECT_EQ(c.Colour(128), 0xFF808080u);
    EXPECT_EQ(c.Colour(255), 0xFFFFFFFFu);
    EXPECT_FALSE(c.HasLightTables());
    EXPECT_TRUE(c.Warnings().empty());
}
