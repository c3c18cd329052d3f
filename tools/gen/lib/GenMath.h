// Small vector and rotation helpers for the content generators.
//
// Conventions are those of the engine's scene files: y is up, a camera or a
// spot light looks along its node's -z axis, and points are row vectors, so
// a rotation is written as the three rows that the x, y and z axes turn into
// (p' = p.x * row0 + p.y * row1 + p.z * row2). Applying A and then B is
// Multiply(A, B).
#pragma once

#include <cmath>

constexpr float kGenPi = 3.14159265358979323846f;

struct V3 {
    float x = 0, y = 0, z = 0;
};

inline V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline V3 operator-(V3 a) {
    return {-a.x, -a.y, -a.z};
}
inline V3 operator*(V3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline V3 operator*(float s, V3 a) {
    return a * s;
}
inline float Dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline V3 Cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(V3 a) {
    return std::sqrt(Dot(a, a));
}
// Unit vector along a; the zero vector stays zero.
inline V3 Normalize(V3 a) {
    float l = Length(a);
    return l > 1e-20f ? a * (1.0f / l) : V3{};
}
inline V3 Lerp(V3 a, V3 b, float t) {
    return a + (b - a) * t;
}
inline float Radians(float degrees) {
    return degrees * kGenPi / 180.0f;
}

// A rotation as the images of the x, y and z axes (rows).
struct TRotation {
    V3 row[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

inline V3 Apply(V3 p, const TRotation& r) {
    return r.row[0] * p.x + r.row[1] * p.y + r.row[2] * p.z;
}
// a first, then b.
inline TRotation Multiply(const TRotation& a, const TRotation& b) {
    return {{Apply(a.row[0], b), Apply(a.row[1], b), Apply(a.row[2], b)}};
}
// A right-handed turn by `degrees` about `axis` (counter-clockwise when the
// axis points at the viewer).
TRotation AxisAngle(V3 axis, float degrees);
// The rotation of something that looks along `forward` with `up` roughly up:
// its -z axis turns into forward, its y axis towards up.
TRotation LookRotation(V3 forward, V3 up = {0, 1, 0});
// The quaternion (x, y, z, w) that a scene file stores for the rotation: the
// loader's matrix of it has the rotation's rows.
void ToFileQuaternion(const TRotation& r, float q[4]);

// Where a node stands: a position and a rotation.
struct TPose {
    V3 position;
    TRotation rotation;
};
inline TPose At(V3 position) {
    return {position, TRotation{}};
}
inline TPose LookAt(V3 eye, V3 target, V3 up = {0, 1, 0}) {
    return {eye, LookRotation(target - eye, up)};
}
