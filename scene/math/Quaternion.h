// Operations on rotation quaternions stored (w, x, y, z). Angles in degrees.
#pragma once

#include "scene/math/MathTypes.h"

class TQuaternion {
public:
    static TQuat Make(float w, float x, float y, float z);

    // (cos h, x sin h, y sin h, z sin h) with h = angleDeg * pi / 360; the axis is
    // used as given.
    static TQuat FromAxisAngle(float angleDeg, float x, float y, float z);

    // angleDeg = 2 acos(w) in degrees and axis = (x, y, z) normalised; a
    // quaternion without a vector part gives angle 0 about (1, 0, 0). w outside
    // [-1, 1] (a non-unit input) is clamped, so the angle is always finite.
    static void ToAxisAngle(const TQuat& q, float& angleDeg, TVector3& axis);

    // Four-component dot product in double precision.
    static double Dot(const TQuat& a, const TQuat& b);

    // Spherical interpolation without a sign flip towards the shorter arc. When
    // the angle's sine is below 0.001 (equal or opposite inputs) the result is q0
    // exactly. t outside [0, 1] extrapolates.
    static TQuat Slerp(const TQuat& q0, const TQuat& q1, float t);

    // Rotation matrix of q. With row-vector points it turns a point the opposite
    // way to TMatrix::Rotation of the same axis and angle.
    static TMatrix4 ToMatrix(const TQuat& q);
};
