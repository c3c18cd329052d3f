#include "scene/math/Quaternion.h"

#include "scene/math/MathFunctions.h"

#include <cmath>

TQuat TQuaternion::Make(float w, float x, float y, float z) {
    return {w, x, y, z};
}

TQuat TQuaternion::FromAxisAngle(float angleDeg, float x, float y, float z) {
    double h = double(angleDeg) * 3.14159265358979323846 / 360.0;
    double s, c;
    SinCos(h, s, c);
    return {static_cast<float>(c), static_cast<float>(x * s), static_cast<float>(y * s),
            static_cast<float>(z * s)};
}

void TQuaternion::ToAxisAngle(const TQuat& q, float& angleDeg, TVector3& axis) {
    double s2 = double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z;
    if (s2 > 0.0) {
        angleDeg = static_cast<float>(RadToDeg(2.0 * ArcCos(q.w))); // ArcCos clamps a non-unit w
        double r = 1.0 / std::sqrt(s2);
        axis = {static_cast<float>(q.x * r), static_cast<float>(q.y * r), static_cast<float>(q.z * r)};
    } else {
        angleDeg = 0.0f;
        axis = {1.0f, 0.0f, 0.0f};
    }
}

double TQuaternion::Dot(const TQuat& a, const TQuat& b) {
    return double(a.w) * b.w + double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
}

TQuat TQuaternion::Slerp(const TQuat& q0, const TQuat& q1, float t) {
    double d = Dot(q0, q1);
    if (!(d >= -1.0)) d = -1.0; // also catches NaN, which then returns q0 below
    if (d > 1.0) d = 1.0;
    double theta = std::acos(d);
    double st = std::sin(theta);
    if (!(st >= 0.001)) return q0;
    double w0 = std::sin(theta * (1.0 - t)) / st;
    double w1 = std::sin(theta * t) / st;
    return {static_cast<float>(q0.w * w0 + q1.w * w1), static_cast<float>(q0.x * w0 + q1.x * w1),
            static_cast<float>(q0.y * w0 + q1.y * w1), static_cast<float>(q0.z * w0 + q1.z * w1)};
}

TMatrix4 TQuaternion::ToMatrix(const TQuat& q) {
    double w = q.w, x = q.x, y = q.y, z = q.z;
    TMatrix4 r = {};
    r.m[0] = static_cast<float>(1.0 - 2.0 * y * y - 2.0 * z * z);
    r.m[1] = static_cast<float>(2.0 * x * y - 2.0 * w * z);
    r.m[2] = static_cast<float>(2.0 * x * z + 2.0 * w * y);
    r.m[4] = static_cast<float>(2.0 * x * y + 2.0 * w * z);
    r.m[5] = static_cast<float>(1.0 - 2.0 * x * x - 2.0 * z * z);
    r.m[6] = static_cast<float>(2.0 * y * z - 2.0 * w * x);
    r.m[8] = static_cast<float>(2.0 * x * z - 2.0 * w * y);
    r.m[9] = static_cast<float>(2.0 * y * z + 2.0 * w * x);
    r.m[10] = static_cast<float>(1.0 - 2.0 * x * x - 2.0 * y * y);
    r.m[15] = 1.0f;
    return r;
}
