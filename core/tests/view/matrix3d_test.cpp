#include "view/matrix3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Matrix3D, IdentityHandsEveryFinitePointBack)
{
    TMatrix3D m;
    m.SetIdentity();
    const double big = std::numeric_limits<double>::max() / 2;
    const double tiny = std::numeric_limits<double>::denorm_min();
    const double points[][3] = {{1.5, -2.25, 3.0}, {big, -big, tiny}, {-tiny, 1e-300, 1e300}};
    for (const auto& p : points)
    {
        double x = p[0], y = p[1], z = p[2];
        m.TransformPoint(x, y, z);
        EXPECT_EQ(x, p[0]);
        EXPECT_EQ(y, p[1]);
        EXPECT_EQ(z, p[2]);
    }
}

TEST(Matrix3D, NegativeZeroComesBackPositive)
{
    TMatrix3D m;
    m.SetIdentity();
    double x = -0.0, y = -0.0, z = -0.0;
    m.TransformPoint(x, y, z);
    EXPECT_EQ(x, 0.0);
    EXPECT_FALSE(std::signbit(x));
    EXPECT_FALSE(std::signbit(y));
    EXPECT_FALSE(std::signbit(z));
}

TEST(Matrix3D, OriginMapsToTranslationWhateverColumnThree)
{
    TMatrix3D m;
    m.SetIdentity();
    m.M[3][0] = 4;
    m.M[3][1] = -5;
    m.M[3][2] = 6.5;
    m.M[3][3] = 123;
    double x = 0, y = 0, z = 0;
    m.TransformPoint(x, y, z);
    EXPECT_EQ(x, 4);
    EXPECT_EQ(y, -5);
    EXPECT_EQ(z, 6.5);
}

TEST(Matrix3D, ColumnThreeTakesNoPart)
{
    TMatrix3D m;
    m.SetIdentity();
    m.M[0][3] = 7;
    m.M[1][3] = -8;
    m.M[2][3] = 9;
    m.M[3][3] = 0;
    double x = 2, y = 3, z = -4;
    m.TransformPoint(x, y, z);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 3);
    EXPECT_EQ(z, -4);
}

TEST(Matrix3D, RowVectorsMultiplyFromTheLeft)
{
    // Rows are the images of the unit vectors: x -> (0, 1, 0), y -> (0, 0, 2), z -> (3, 0, 0).
    TMatrix3D m;
    m.M[0][1] = 1;
    m.M[1][2] = 2;
    m.M[2][0] = 3;
    m.M[3][0] = 10;
    double x = 1, y = 2, z = 3;
    m.TransformPoint(x, y, z);
    EXPECT_EQ(x, 3 * 3 + 10);
    EXPECT_EQ(y, 1);
    EXPECT_EQ(z, 2 * 2);
}

TEST(Matrix3D, InputIsReadBeforeAnyOutputIsWritten)
{
    // Exchanges x and y: writing x' before y' is computed would lose the old x.
    TMatrix3D m;
    m.M[0][1] = 1;
    m.M[1][0] = 1;
    m.M[2][2] = 1;
    double x = 1, y = 2, z = 3;
    m.TransformPoint(x, y, z);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 1);
    EXPECT_EQ(z, 3);
}

TEST(Matrix3D, StorageIsZeroUntilSetIdentity)
{
    TMatrix3D m;
    double x = 1, y = 2, z = 3;
    m.TransformPoint(x, y, z);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(z, 0);
    m.SetIdentity();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(m.M[r][c], r == c ? 1.0 : 0.0) << r << "," << c;
}
