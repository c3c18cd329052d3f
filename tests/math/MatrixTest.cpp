// Matrix conventions checked with worked numbers: row-vector points, the order
// of Multiply, OpenGL element order, and inversion.
#include "scene/math/Math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

void ExpectPoint(const TVector3& p, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(p.x, x, tol);
    EXPECT_NEAR(p.y, y, tol);
    EXPECT_NEAR(p.z, z, tol);
}

void ExpectMatrixNear(const TMatrix4& a, const TMatrix4& b, float tol) {
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

TMatrix4 Make(std::initializer_list<float> v) {
    TMatrix4 m = {};
    int i = 0;
    for (float f : v)
        m.m[i++] = f;
    return m;
}

} // namespace

TEST(Matrix, TranslationLivesInElements12To14) {
    TMatrix4 t = TMatrix::Translation(2, 3, 4);
    EXPECT_EQ(t.m[12], 2.0f);
    EXPECT_EQ(t.m[13], 3.0f);
    EXPECT_EQ(t.m[14], 4.0f);
    EXPECT_EQ(t.m[3], 0.0f);
    EXPECT_EQ(t.m[15], 1.0f);
    ExpectPoint(TMatrix::TransformPoint({1, 1, 1}, t), 3, 4, 5);
}

TEST(Matrix, RotationMatchesOpenGlForAUnitAxis) {
    // glRotatef(90, 0, 0, 1) maps x to y: column-vector M * (1,0,0) = (0,1,0),
    // which in OpenGL element order means m[1] = 1 and m[4] = -1.
    TMatrix4 r = TMatrix::Rotation(90, 0, 0, 1);
    EXPECT_NEAR(r.m[0], 0.0f, 1e-7f);
    EXPECT_NEAR(r.m[1], 1.0f, 1e-7f);
    EXPECT_NEAR(r.m[4], -1.0f, 1e-7f);
    EXPECT_NEAR(r.m[5], 0.0f, 1e-7f);
    EXPECT_EQ(r.m[10], 1.0f);
    EXPECT_EQ(r.m[15], 1.0f);
    ExpectPoint(TMatrix::TransformPoint({1, 0, 0}, r), 0, 1, 0);
    // 90 degrees about x turns y into z.
    ExpectPoint(TMatrix::TransformPoint({0, 1, 0}, TMatrix::Rotation(90, 1, 0, 0)), 0, 0, 1);
    // The axis is used as given: at 180 degrees about (2, 0, 0),
    // m[0] = x^2 + c (1 - x^2) = 4 + (-1)(1 - 4) = 7.
    EXPECT_NEAR(TMatrix::Rotation(180, 2, 0, 0).m[0], 7.0f, 1e-5f);
}

TEST(Matrix, MultiplyAppliesTheFirstMatrixFirst) {
    TMatrix4 m = TMatrix::Multiply(TMatrix::Translation(1, 0, 0), TMatrix::Rotation(90, 0, 0, 1));
    // Translate (0,0,0) to (1,0,0), then rotate it to (0,1,0).
    ExpectPoint(TMatrix::TransformPoint({0, 0, 0}, m), 0, 1, 0);
    // The other order rotates first (origin stays) and then translates.
    TMatrix4 n = TMatrix::Multiply(TMatrix::Rotation(90, 0, 0, 1), TMatrix::Translation(1, 0, 0));
    ExpectPoint(TMatrix::TransformPoint({0, 0, 0}, n), 1, 0, 0);
    ExpectPoint(TMatrix::TransformPoint({1, 0, 0}, n), 1, 1, 0);
}

TEST(Matrix, MultiplyIsThePlainArrayProduct) {
    TMatrix4 a, b;
    for (int i = 0; i < 16; i++) {
        a.m[i] = static_cast<float>(i + 1);
        b.m[i] = static_cast<float>(16 - i);
    }
    TMatrix4 r = TMatrix::Multiply(a, b);
    // out[0] = a0*b0 + a1*b4 + a2*b8 + a3*b12 = 1*16 + 2*12 + 3*8 + 4*4 = 80
    EXPECT_EQ(r.m[0], 80.0f);
    // out[7] = a4*b3 + a5*b7 + a6*b11 + a7*b15 = 5*13 + 6*9 + 7*5 + 8*1 = 162
    EXPECT_EQ(r.m[7], 162.0f);
    // The target may be one of the inputs.
    TMatrix4 c = a;
    c = TMatrix::Multiply(c, b);
    EXPECT_EQ(std::memcmp(&c, &r, sizeof r), 0);
}

TEST(Matrix, RotateAndTranslateActLikeOpenGlOnACurrentMatrix) {
    // glLoadIdentity; glTranslatef(5,0,0); glRotatef(90,0,0,1): a vertex is
    // rotated first, then translated.
    TMatrix4 m = TMatrix::Rotate(TMatrix::Translate(TMatrix::Identity(), 5, 0, 0), 90, 0, 0, 1);
    ExpectPoint(TMatrix::TransformPoint({1, 0, 0}, m), 5, 1, 0);
}

TEST(Matrix, TransposeSwapsRowsAndColumns) {
    TMatrix4 t = TMatrix::Transpose(TMatrix::Translation(7, 8, 9));
    EXPECT_EQ(t.m[3], 7.0f);
    EXPECT_EQ(t.m[7], 8.0f);
    EXPECT_EQ(t.m[11], 9.0f);
    EXPECT_EQ(t.m[12], 0.0f);
}

TEST(Matrix, InverseTimesMatrixIsIdentity) {
    TMatrix4 m = TMatrix::Multiply(
        TMatrix::Multiply(TMatrix::Rotation(33, 0.6f, 0.0f, 0.8f), TMatrix::Translation(3, -2, 7)),
        TMatrix::Rotation(-71, 0, 1, 0));
    m.m[0] *= 2.0f; // not orthogonal any more
    TMatrix4 inv;
    ASSERT_TRUE(TMatrix::Invert(m, inv));
    ExpectMatrixNear(TMatrix::Multiply(inv, m), TMatrix::Identity(), 1e-5f);
    ExpectMatrixNear(TMatrix::Multiply(m, inv), TMatrix::Identity(), 1e-5f);
    // A translation's inverse moves back.
    TMatrix4 ti = TMatrix::Invert(TMatrix::Translation(1, 2, 3));
    ExpectPoint(TMatrix::TransformPoint({1, 2, 3}, ti), 0, 0, 0);
}

TEST(Matrix, InvertNeedsPivotingWhenTheDiagonalStartsWithZero) {
    // A permutation matrix: every diagonal entry is 0, so elimination without
    // row swaps would divide by zero. Its inverse is its transpose.
    TMatrix4 p = Make({0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1});
    TMatrix4 inv;
    ASSERT_TRUE(TMatrix::Invert(p, inv));
    TMatrix4 pt = TMatrix::Transpose(p);
    EXPECT_EQ(std::memcmp(&inv, &pt, sizeof inv), 0);
    // Partial pivoting picks the largest entry: inverting a matrix whose first
    // pivot is tiny stays accurate.
    TMatrix4 m = Make({1e-7f, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    ASSERT_TRUE(TMatrix::Invert(m, inv));
    ExpectMatrixNear(TMatrix::Multiply(m, inv), TMatrix::Identity(), 1e-6f);
}

TEST(Matrix, InvertOfASingularMatrixLeavesTheOutputUntouched) {
    TMatrix4 m = TMatrix::Translation(1, 2, 3);
    for (int r = 0; r < 4; r++)
        m.m[4 * r + 2] = 0.0f; // all-zero column 2
    TMatrix4 out;
    for (int i = 0; i < 16; i++)
        out.m[i] = 42.0f + static_cast<float>(i);
    TMatrix4 before = out;
    EXPECT_FALSE(TMatrix::Invert(m, out));
    EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);
    // Rank deficiency that shows only after elimination (two equal rows).
    TMatrix4 twin = Make({1, 2, 3, 0, 1, 2, 3, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    EXPECT_FALSE(TMatrix::Invert(twin, out));
    EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);
    // The value form falls back to the identity.
    TMatrix4 id = TMatrix::Identity();
    TMatrix4 fallback = TMatrix::Invert(twin);
    EXPECT_EQ(std::memcmp(&fallback, &id, sizeof id), 0);
}

TEST(Matrix, InvertInPlace) {
    TMatrix4 m = TMatrix::Rotation(40, 0, 1, 0);
    TMatrix4 copy = m;
    ASSERT_TRUE(TMatrix::Invert(m, m));
    ExpectMatrixNear(TMatrix::Multiply(copy, m), TMatrix::Identity(), 1e-6f);
}
