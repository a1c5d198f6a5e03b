#include "Geometry.h"

#include <gtest/gtest.h>

namespace {

// The ground's first three corners and the light the program uses.
constexpr float kGround[9] = {400, -150, -200, -400, -150, -200, -400, -150, 200};
constexpr float kLight[4] = {0, 350, 50, 1};

void transform(const float* m, const float* p, float* out)
{
    float h[4];
    for (int row = 0; row < 4; ++row)
        h[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
    for (int i = 0; i < 3; ++i)
        out[i] = h[i] / h[3];
}

TEST(Normalize, ScalesToUnitLengthAndLeavesZeroAlone)
{
    float v[3] = {3, 0, 4};
    Normalize(v);
    EXPECT_FLOAT_EQ(v[0], 0.6f);
    EXPECT_FLOAT_EQ(v[2], 0.8f);

    float zero[3] = {0, 0, 0};
    Normalize(zero);
    EXPECT_EQ(zero[0], 0.0f);
    EXPECT_EQ(zero[1], 0.0f);
    EXPECT_EQ(zero[2], 0.0f);
}

TEST(FaceNormal, CounterClockwiseCornersFaceTheViewer)
{
    const float ccw[9] = {0, 0, 0, 10, 0, 0, 10, 10, 0};
    const float cw[9] = {10, 10, 0, 10, 0, 0, 0, 0, 0};
    float n[3];
    FaceNormal(ccw, n);
    EXPECT_FLOAT_EQ(n[2], 1.0f);
    FaceNormal(cw, n);
    EXPECT_FLOAT_EQ(n[2], -1.0f);
}

TEST(FaceNormal, DegenerateCornersGiveTheZeroVector)
{
    const float line[9] = {0, 0, 0, 1, 1, 1, 2, 2, 2};
    const float repeated[9] = {5, 5, 5, 5, 5, 5, 1, 2, 3};
    for (const float* corners : {line, repeated}) {
        float n[3] = {9, 9, 9};
        FaceNormal(corners, n);
        EXPECT_EQ(n[0], 0.0f);
        EXPECT_EQ(n[1], 0.0f);
        EXPECT_EQ(n[2], 0.0f);
    }
}

TEST(ShadowMatrix, GroundMatrixHasTheWorkedValue)
{
    float m[16];
    MakeShadowMatrix(kGround, kLight, m);
    const float expected[16] = {500, 0, 0, 0, 0, 150, -50, -1, 0, 0, 500, 0, 0, -52500, -7500, 350};
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(m[i], expected[i]) << "entry " << i;

    const float p[3] = {10, 0, 20};
    float q[3];
    transform(m, p, q);
    EXPECT_NEAR(q[0], 14.2857f, 1e-4);
    EXPECT_NEAR(q[1], -150.0f, 1e-4);
    EXPECT_NEAR(q[2], 7.1429f, 1e-4);
}

TEST(ShadowMatrix, PointsOnThePlaneStayPut)
{
    float m[16];
    MakeShadowMatrix(kGround, kLight, m);
    const float p[3] = {-123, -150, 77};
    float q[3];
    transform(m, p, q);
    EXPECT_NEAR(q[0], -123.0f, 1e-3);
    EXPECT_NEAR(q[1], -150.0f, 1e-3);
    EXPECT_NEAR(q[2], 77.0f, 1e-3);
}

} // namespace
