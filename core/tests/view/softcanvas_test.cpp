#include "view/softcanvas.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <utility>

namespace
{
constexpr std::int32_t kPen = 0x0000FF;
constexpr std::int32_t kBack = 0xFFFFFF;

std::set<std::pair<int, int>> Inked(const TSoftCanvas& c)
{
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < c.Height(); ++y)
        for (int x = 0; x < c.Width(); ++x)
            if (c.Pixel(x, y) == kPen)
                out.insert({x, y});
    return out;
}
} // namespace

TEST(SoftCanvas, LinesLeaveOutTheirEndPixel)
{
    TSoftCanvas c(8, 8, kBack);
    c.SetPenColor(kPen);
    c.MoveTo(0, 0);
    c.LineTo(4, 2);
    EXPECT_EQ(Inked(c), (std::set<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 1}, {3, 2}}));
    c.LineTo(4, 6); // continues from (4, 2)
    EXPECT_EQ(c.Pixel(4, 2), kPen);
    EXPECT_EQ(c.Pixel(4, 5), kPen);
    EXPECT_EQ(c.Pixel(4, 6), kBack);
}

TEST(SoftCanvas, PolygonIsAClosedOutline)
{
    TSoftCanvas c(8, 8, kBack);
    c.SetPenColor(kPen);
    const TCanvasPoint square[] = {{1, 1}, {5, 1}, {5, 4}, {1, 4}};
    c.Polygon(square);
    std::set<std::pair<int, int>> expected;
    for (int x = 1; x <= 5; ++x)
        expected.insert({x, 1}), expected.insert({x, 4});
    for (int y = 1; y <= 4; ++y)
        expected.insert({1, y}), expected.insert({5, y});
    EXPECT_EQ(Inked(c), expected);

    TSoftCanvas d(8, 8, kBack);
    d.SetPenColor(kPen);
    const TCanvasPoint one[] = {{3, 3}};
    d.Polygon(one);
    EXPECT_TRUE(Inked(d).empty());
    const TCanvasPoint two[] = {{0, 6}, {3, 6}};
    d.Polygon(two);
    EXPECT_EQ(Inked(d), (std::set<std::pair<int, int>>{{0, 6}, {1, 6}, {2, 6}, {3, 6}}));
}

TEST(SoftCanvas, RectangleRightAndBottomAreExclusive)
{
    TSoftCanvas c(8, 8, kBack);
    c.SetPenColor(kPen);
    c.Rectangle(1, 2, 5, 6); // outline of columns 1..4, rows 2..5
    std::set<std::pair<int, int>> expected;
    for (int x = 1; x <= 4; ++x)
        expected.insert({x, 2}), expected.insert({x, 5});
    for (int y = 2; y <= 5; ++y)
        expected.insert({1, y}), expected.insert({4, y});
    EXPECT_EQ(Inked(c), expected);
}

TEST(SoftCanvas, EverythingOutsideIsClipped)
{
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    TSoftCanvas c(6, 4, kBack);
    c.SetPenColor(kPen);
    c.MoveTo(kMin, 2);
    c.LineTo(kMax, 2);
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(c.Pixel(x, 2), kPen);
    c.MoveTo(kMax, kMax);
    c.LineTo(kMin, kMin); // passes the buffer's diagonal
    EXPECT_EQ(c.Pixel(1, 1), kPen);
    c.Rectangle(kMin, kMin, kMax, kMax);
    c.SetPixel(-1, 0, kPen);
    c.SetPixel(6, 0, kPen);
    EXPECT_EQ(c.Pixel(0, 0), kPen);
    EXPECT_EQ(c.Pixel(5, 0), kBack);
    EXPECT_THROW(c.Pixel(6, 0), EListError);
}

TEST(SoftCanvas, PixelsAreRgbaWithRedInTheLowByte)
{
    TSoftCanvas c(1, 1, 0x00332211);
    EXPECT_EQ(c.Pixels()[0], 0xFF332211u);
    c.SetPixel(0, 0, 0x7F0000FF); // the top byte of a colour is ignored
    EXPECT_EQ(c.Pixels()[0], 0xFF0000FFu);
}
