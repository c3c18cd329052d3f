// Vectors, colours, the tangent basis and the scalar helpers.
#include "scene/math/Math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

TEST(Vector, CrossDotLength) {
    TVector3 c = TVector::Cross({1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(c.x, 0.0f);
    EXPECT_EQ(c.y, 0.0f);
    EXPECT_EQ(c.z, 1.0f);
    c = TVector::Cross({1, 2, 3}, {4, 5, 6}); // (2*6-3*5, 3*4-1*6, 1*5-2*4)
    EXPECT_EQ(c.x, -3.0f);
    EXPECT_EQ(c.y, 6.0f);
    EXPECT_EQ(c.z, -3.0f);
    EXPECT_EQ(TVector::Dot({1, 2, 3}, {4, 5, 6}), 32.0f);
    EXPECT_EQ(TVector::Length({3, 4, 12}), 13.0f);
    TVector3 s = TVector::Subtract(TVector::Add({1, 2, 3}, {1, 1, 1}), TVector::Scale({1, 1, 1}, 2));
    EXPECT_EQ(s.x, 0.0f);
    EXPECT_EQ(s.z, 2.0f);
    TVector4 s4 = TVector::Scale4({1, 2, 3, 4}, 0.5f);
    EXPECT_EQ(s4.w, 2.0f);
}

TEST(Vector, NormalizeAndItsZeroGuard) {
    TVector3 n = TVector::Normalize({0, 3, 4});
    EXPECT_FLOAT_EQ(n.y, 0.6f);
    EXPECT_FLOAT_EQ(n.z, 0.8f);
    TVector3 z = TVector::Normalize({0, 0, 0});
    EXPECT_EQ(z.x, 0.0f);
    EXPECT_EQ(z.y, 0.0f);
    EXPECT_EQ(z.z, 0.0f);
    EXPECT_FALSE(std::isnan(z.x));
}

TEST(Vector, FromSpherical) {
    // theta measured from +z, phi around it from +x.
    TVector3 p = TVector::FromSpherical(2.0f, static_cast<float>(M_PI / 2), static_cast<float>(M_PI / 2));
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.y, 2.0f, 1e-6f);
    EXPECT_NEAR(p.z, 0.0f, 1e-6f);
    TVector3 top = TVector::FromSpherical(3.0f, 1.0f, 0.0f);
    EXPECT_EQ(top.z, 3.0f);
}

TEST(Colors, LuminanceWeightsAndClamp) {
    EXPECT_EQ(TColors::Luminance(TColors::White), 1.0f); // 1.0002 clamped
    EXPECT_FLOAT_EQ(TColors::Luminance(TColors::MakeColor(1, 0, 0, 0)), 0.3412f);
    EXPECT_FLOAT_EQ(TColors::Luminance(0, 1, 0), 0.498f);
    EXPECT_FLOAT_EQ(TColors::Luminance(0, 0, 1), 0.161f);
    TColor4 g = TColors::Grey({0, 1, 0, 0.25f});
    EXPECT_FLOAT_EQ(g.r, 0.498f);
    EXPECT_FLOAT_EQ(g.b, 0.498f);
    EXPECT_EQ(g.a, 0.25f);
    EXPECT_EQ(TColors::Black.a, 1.0f);
    EXPECT_EQ(TColors::Black.r, 0.0f);
}

TEST(Colors, ScaleLeavesAlphaToTheCallerAndModulateMultipliesAll) {
    TColor4 out = {9, 9, 9, 0.7f};
    TColors::Scale({0.5f, 1, 0.25f, 0.1f}, 2.0f, out);
    EXPECT_EQ(out.r, 1.0f);
    EXPECT_EQ(out.g, 2.0f);
    EXPECT_EQ(out.b, 0.5f);
    EXPECT_EQ(out.a, 0.7f);
    TColor4 m = TColors::Modulate({0.5f, 0.5f, 1, 0.5f}, {0.5f, 1, 0, 0.5f});
    EXPECT_EQ(m.r, 0.25f);
    EXPECT_EQ(m.b, 0.0f);
    EXPECT_EQ(m.a, 0.25f);
}

namespace {
TVector3 Col(const TMatrix3& m, int c) {
    return {m.m[c], m.m[3 + c], m.m[6 + c]};
}
} // namespace

TEST(TangentBasis, FlatQuadInXyPlane) {
    // u grows with x, v grows with y: tangent +x, binormal +y, normal +z. Column 0
    // is stored negated.
    TMatrix3 m =
        TExtendedMatrix::TangentBasis({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0}, {1, 0}, {0, 1}, {0, 0, 1});
    TVector3 t = Col(m, 0), b = Col(m, 1), n = Col(m, 2);
    EXPECT_NEAR(t.x, -1.0f, 1e-6f);
    EXPECT_NEAR(t.y, 0.0f, 1e-6f);
    EXPECT_NEAR(b.y, 1.0f, 1e-6f);
    EXPECT_NEAR(n.z, 1.0f, 1e-6f);
    // A reference normal on the other side flips the normal column only.
    TMatrix3 f =
        TExtendedMatrix::TangentBasis({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0}, {1, 0}, {0, 1}, {0, 0, -1});
    EXPECT_NEAR(Col(f, 2).z, -1.0f, 1e-6f);
    EXPECT_NEAR(Col(f, 0).x, -1.0f, 1e-6f);
    EXPECT_NEAR(Col(f, 1).y, 1.0f, 1e-6f);
}

TEST(TangentBasis, ScaledTextureStillGivesUnitColumns) {
    // u runs 0..4 along the z axis, v 0..2 along x: tangent +z, binormal +x.
    TMatrix3 m =
        TExtendedMatrix::TangentBasis({0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0}, {4, 0}, {0, 2}, {0, 1, 0});
    TVector3 t = Col(m, 0), b = Col(m, 1), n = Col(m, 2);
    EXPECT_NEAR(t.z, -1.0f, 1e-6f);
    EXPECT_NEAR(b.x, 1.0f, 1e-6f);
    EXPECT_NEAR(n.y, 1.0f, 1e-6f); // cross(+z, +x) = +y, already towards N
}

TEST(TangentBasis, DegenerateTrianglesStayFinite) {
    // All three points equal, all texture coordinates equal, and a sliver.
    TMatrix3 cases[3] = {
        TExtendedMatrix::TangentBasis({1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {0, 0}, {1, 0}, {0, 1}, {0, 0, 1}),
        TExtendedMatrix::TangentBasis({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.5f, 0.5f}, {0.5f, 0.5f},
                                      {0.5f, 0.5f}, {0, 0, 1}),
        TExtendedMatrix::TangentBasis({0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 0}, {1, 0}, {2, 0}, {0, 0, 0}),
    };
    for (const TMatrix3& m : cases)
        for (float v : m.m)
            EXPECT_TRUE(std::isfinite(v));
}

TEST(Scalars, PowersAndRemainders) {
    EXPECT_EQ(IntPower(2.0, 10), 1024.0);
    EXPECT_EQ(IntPower(2.0, -2), 0.25);
    EXPECT_EQ(IntPower(7.5, 0), 1.0);
    EXPECT_EQ(IntPower(1.0, std::numeric_limits<int32_t>::min()), 1.0);
    EXPECT_EQ(IntPower(-1.0, std::numeric_limits<int32_t>::min()), 1.0);
    EXPECT_EQ(Power(5.0, 0.0), 1.0);
    EXPECT_EQ(Power(0.0, 0.0), 1.0);
    EXPECT_EQ(Power(0.0, 3.5), 0.0);
    EXPECT_EQ(Power(-2.0, 3.0), -8.0); // integral exponent goes through IntPower
    EXPECT_NEAR(Power(2.0, 0.5), std::sqrt(2.0), 1e-15);
    EXPECT_TRUE(std::isnan(Power(-2.0, 0.5)));
    EXPECT_EQ(FloatRemainder(5.0, 3.0), 2.0);
    EXPECT_EQ(FloatRemainder(-5.0, 3.0), -2.0); // sign of x
    EXPECT_EQ(FloatRemainder(5.0f, -3.0f), 2.0f);
    EXPECT_EQ(Log2(8.0), 3.0);
}

TEST(Scalars, Angles) {
    EXPECT_DOUBLE_EQ(DegToRad(180.0), M_PI);
    EXPECT_DOUBLE_EQ(RadToDeg(M_PI / 2), 90.0);
    double s, c;
    SinCos(M_PI / 6, s, c);
    EXPECT_NEAR(s, 0.5, 1e-15);
    EXPECT_NEAR(c, std::sqrt(3.0) / 2, 1e-15);
    EXPECT_DOUBLE_EQ(ArcCos(0.5), M_PI / 3);
    EXPECT_EQ(ArcCos(1.0000001), 0.0); // rounding past the range gives a finite angle
    EXPECT_DOUBLE_EQ(ArcCos(-1.5), M_PI);
    EXPECT_DOUBLE_EQ(ArcTan2(1.0, -1.0), 3 * M_PI / 4);
}
