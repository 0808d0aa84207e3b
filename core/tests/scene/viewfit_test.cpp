#include "scene/viewfit.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
std::vector<D3DVECTOR> Cube(float cx, float cy, float cz)
{
    std::vector<D3DVECTOR> corners;
    for (const float x : {-1.0f, 1.0f})
        for (const float y : {-1.0f, 1.0f})
            for (const float z : {-1.0f, 1.0f})
                corners.push_back({cx + x, cy + y, cz + z});
    return corners;
}
} // namespace

TEST(ViewFit, PutsTheOutermostLinesOfSightAtTheAskedShare)
{
    TViewFit fit;
    // Square picture, field 0.5, 90%: the sides may be 0.45 across per unit ahead. The near
    // face's corners (+-1, +-1, -1) touch them when 1 = 0.45 (-1 - t): t = -29/9.
    ASSERT_TRUE(FitPointsInView(Cube(0, 0, 0), 100, 100, 0.5, 0.9, fit));
    EXPECT_NEAR(fit.Eye.x, 0, 1e-6);
    EXPECT_NEAR(fit.Eye.y, 0, 1e-6);
    EXPECT_FLOAT_EQ(fit.Eye.z, -29.0f / 9);
    EXPECT_FLOAT_EQ(fit.Nearest, 20.0f / 9);

    // Moved points move the eye with them.
    ASSERT_TRUE(FitPointsInView(Cube(5, 2, 0), 100, 100, 0.5, 0.9, fit));
    EXPECT_FLOAT_EQ(fit.Eye.x, 5);
    EXPECT_FLOAT_EQ(fit.Eye.y, 2);
    EXPECT_FLOAT_EQ(fit.Eye.z, -29.0f / 9);

    // Twice as wide as high: x may take 0.9 per unit, so the height decides (x alone would
    // need only t = -19/9).
    ASSERT_TRUE(FitPointsInView(Cube(0, 0, 0), 200, 100, 0.5, 0.9, fit));
    EXPECT_FLOAT_EQ(fit.Eye.z, -29.0f / 9);
    // Twice as high as wide: 0.225 across per unit, 1 = 0.225 (-1 - t) gives t = -49/9.
    ASSERT_TRUE(FitPointsInView(Cube(0, 0, 0), 100, 200, 0.5, 0.9, fit));
    EXPECT_FLOAT_EQ(fit.Eye.z, -49.0f / 9);

    // Perspective: (1, 0, 0) and (-1, 0, 2) with the full field (0.5 per unit) are seen from
    // (0.5, 0, -1): 0.5 / 1 to the right, -1.5 / 3 to the left.
    ASSERT_TRUE(FitPointsInView({{1, 0, 0}, {-1, 0, 2}}, 100, 100, 0.5, 1.0, fit));
    EXPECT_FLOAT_EQ(fit.Eye.x, 0.5f);
    EXPECT_NEAR(fit.Eye.y, 0, 1e-6);
    EXPECT_FLOAT_EQ(fit.Eye.z, -1);
    EXPECT_FLOAT_EQ(fit.Nearest, 1);
    // The looser axis is centred on the lines of sight, not on the points: with (0, 0.2, 0)
    // and (0, -0.2, 1) added, 0.2 - y = (y + 0.2) / 2 gives y = 1/15.
    ASSERT_TRUE(FitPointsInView({{1, 0, 0}, {-1, 0, 2}, {0, 0.2f, 0}, {0, -0.2f, 1}}, 100, 100, 0.5,
                                1.0, fit));
    EXPECT_FLOAT_EQ(fit.Eye.x, 0.5f);
    EXPECT_FLOAT_EQ(fit.Eye.y, 1.0f / 15);
    EXPECT_FLOAT_EQ(fit.Eye.z, -1);

    // Nothing, or everything on one line of sight, cannot be framed.
    EXPECT_FALSE(FitPointsInView({}, 100, 100, 0.5, 0.9, fit));
    EXPECT_FALSE(FitPointsInView({{1, 2, 3}, {1, 2, 3}}, 100, 100, 0.5, 0.9, fit));
}
