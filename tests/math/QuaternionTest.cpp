// Quaternions: storage order, the sense of rotation against TMatrix::Rotation,
// axis/angle round trips and spherical interpolation.
#include "scene/math/Math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

bool SameBits(const TQuat& a, const TQuat& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectQuatNear(const TQuat& q, float w, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(q.w, w, tol);
    EXPECT_NEAR(q.x, x, tol);
    EXPECT_NEAR(q.y, y, tol);
    EXPECT_NEAR(q.z, z, tol);
}

} // namespace

TEST(Quaternion, StoredScalarFirst) {
    TQuat q = TQuaternion::Make(1, 2, 3, 4);
    const float* f = &q.w;
    EXPECT_EQ(f[0], 1.0f);
    EXPECT_EQ(f[3], 4.0f);
    // 90 degrees about z: (cos 45, 0, 0, sin 45).
    ExpectQuatNear(TQuaternion::FromAxisAngle(90, 0, 0, 1), std::sqrt(0.5f), 0, 0, std::sqrt(0.5f));
}

TEST(Quaternion, MatrixTurnsOppositeToRotation) {
    TVector3 p = {1, 0, 0};
    TVector3 byQuat =
        TMatrix::TransformPoint(p, TQuaternion::ToMatrix(TQuaternion::FromAxisAngle(90, 0, 0, 1)));
    TVector3 byRot = TMatrix::TransformPoint(p, TMatrix::Rotation(90, 0, 0, 1));
    EXPECT_NEAR(byQuat.x, 0.0f, 1e-6f);
    EXPECT_NEAR(byQuat.y, -1.0f, 1e-6f);
    EXPECT_NEAR(byRot.y, 1.0f, 1e-6f);
    // For any axis and angle the quaternion matrix is the transpose (inverse)
    // of the rotation matrix.
    const float s = 1.0f / std::sqrt(3.0f);
    TMatrix4 q = TQuaternion::ToMatrix(TQuaternion::FromAxisAngle(47, s, s, s));
    TMatrix4 r = TMatrix::Transpose(TMatrix::Rotation(47, s, s, s));
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(q.m[i], r.m[i], 1e-6f) << i;
}

TEST(Quaternion, AxisAngleRoundTrip) {
    float angle;
    TVector3 axis;
    TQuaternion::ToAxisAngle(TQuaternion::FromAxisAngle(120, 0, 0.6f, 0.8f), angle, axis);
    EXPECT_NEAR(angle, 120.0f, 1e-4f);
    EXPECT_NEAR(axis.x, 0.0f, 1e-6f);
    EXPECT_NEAR(axis.y, 0.6f, 1e-6f);
    EXPECT_NEAR(axis.z, 0.8f, 1e-6f);

    // The identity: angle 0 about (1, 0, 0), and back to (1, 0, 0, 0).
    TQuaternion::ToAxisAngle(TQuaternion::Make(1, 0, 0, 0), angle, axis);
    EXPECT_EQ(angle, 0.0f);
    EXPECT_EQ(axis.x, 1.0f);
    EXPECT_EQ(axis.y, 0.0f);
    EXPECT_EQ(axis.z, 0.0f);
    EXPECT_TRUE(
        SameBits(TQuaternion::FromAxisAngle(angle, axis.x, axis.y, axis.z), TQuaternion::Make(1, 0, 0, 0)));
}

TEST(Quaternion, AxisAngleOfANonUnitQuaternionStaysFinite) {
    float angle;
    TVector3 axis;
    TQuaternion::ToAxisAngle(TQuaternion::Make(2.0f, 0, 1, 0), angle, axis); // w > 1
    EXPECT_EQ(angle, 0.0f);
    EXPECT_EQ(axis.y, 1.0f);
    TQuaternion::ToAxisAngle(TQuaternion::Make(-1.5f, 0, 0, 3), angle, axis); // w < -1
    EXPECT_NEAR(angle, 360.0f, 1e-4f);
    EXPECT_EQ(axis.z, 1.0f);
}

TEST(Quaternion, MatrixRoundTripsThroughAxisAngle) {
    // quaternion -> matrix and axis/angle -> rotation matrix agree (transposed).
    TQuat q = TQuaternion::FromAxisAngle(-65, 0.48f, 0.6f, 0.64f);
    float angle;
    TVector3 axis;
    TQuaternion::ToAxisAngle(q, angle, axis);
    TMatrix4 a = TQuaternion::ToMatrix(q);
    TMatrix4 b = TMatrix::Transpose(TMatrix::Rotation(angle, axis.x, axis.y, axis.z));
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(a.m[i], b.m[i], 1e-5f) << i;
}

TEST(Quaternion, DotIsInDoublePrecision) {
    TQuat a = TQuaternion::Make(1e8f, 1, 0, 0);
    TQuat b = TQuaternion::Make(1e8f, 1, 0, 0);
    EXPECT_EQ(TQuaternion::Dot(a, b), 1e16 + 1.0);
}

TEST(Quaternion, SlerpEndpointsAndMidpoint) {
    TQuat q0 = TQuaternion::FromAxisAngle(0, 0, 0, 1);
    TQuat q1 = TQuaternion::FromAxisAngle(90, 0, 0, 1);
    TQuat a = TQuaternion::Slerp(q0, q1, 0.0f);
    TQuat b = TQuaternion::Slerp(q0, q1, 1.0f);
    ExpectQuatNear(a, q0.w, q0.x, q0.y, q0.z);
    ExpectQuatNear(b, q1.w, q1.x, q1.y, q1.z);
    // Halfway is the 45 degree rotation.
    TQuat m = TQuaternion::Slerp(q0, q1, 0.5f);
    TQuat e = TQuaternion::FromAxisAngle(45, 0, 0, 1);
    ExpectQuatNear(m, e.w, e.x, e.y, e.z);
    // Negative t extrapolates past q0.
    TQuat x = TQuaternion::Slerp(q0, q1, -1.0f);
    TQuat ex = TQuaternion::FromAxisAngle(-90, 0, 0, 1);
    ExpectQuatNear(x, ex.w, ex.x, ex.y, ex.z);
}

TEST(Quaternion, SlerpDoesNotTakeTheShorterArc) {
    // q1 and -q1 are the same rotation, but without a sign flip slerp towards
    // -q1 goes the long way round: halfway lands on a different rotation.
    TQuat q0 = TQuaternion::Make(1, 0, 0, 0);
    TQuat q1 = TQuaternion::FromAxisAngle(90, 0, 0, 1);
    TQuat n1 = TQuaternion::Make(-q1.w, -q1.x, -q1.y, -q1.z);
    TQuat m = TQuaternion::Slerp(q0, n1, 0.5f);
    TQuat e = TQuaternion::FromAxisAngle(-135, 0, 0, 1); // (cos 67.5, 0, 0, -sin 67.5)
    ExpectQuatNear(m, e.w, e.x, e.y, e.z);
}

TEST(Quaternion, SlerpOfEqualOrOppositeQuaternionsReturnsTheFirst) {
    TQuat q = TQuaternion::FromAxisAngle(30, 0, 1, 0);
    TQuat neg = TQuaternion::Make(-q.w, -q.x, -q.y, -q.z);
    for (float t : {-2.0f, 0.0f, 0.3f, 1.0f, 5.0f}) {
        EXPECT_TRUE(SameBits(TQuaternion::Slerp(q, q, t), q));
        EXPECT_TRUE(SameBits(TQuaternion::Slerp(q, neg, t), q));
    }
    // A dot product pushed past 1 by a non-unit input is clamped, not NaN.
    TQuat big = TQuaternion::Make(1.5f, 0, 0, 0);
    EXPECT_TRUE(SameBits(TQuaternion::Slerp(big, big, 0.5f), big));
}
