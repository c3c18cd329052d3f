// Operations on vectors. All of them are 3-component unless the name says
// otherwise; results are returned by value so an input may also be the target.
#pragma once

#include <cmath>

#include "scene/math/MathTypes.h"

class TVector {
public:
    static TVector2 Make2(float x, float y);
    static TVector3 Make3(float x, float y, float z);
    static TVector4 Make4(float x, float y, float z, float w);

    // The small operations are defined here so that the geometry loops
    // (tangent space, bounds) inline them.
    static TVector3 Add(const TVector3& a, const TVector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    static TVector3 Subtract(const TVector3& a, const TVector3& b) {
        return {a.x - b.x, a.y - b.y, a.z - b.z};
    }
    static TVector3 Scale(const TVector3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
    static TVector4 Scale4(const TVector4& a, float s) { return {a.x * s, a.y * s, a.z * s, a.w * s}; }

    // Length, dot and cross products are computed in double precision.
    static float Length(const TVector3& a) {
        double x = a.x, y = a.y, z = a.z;
        return static_cast<float>(std::sqrt(x * x + y * y + z * z));
    }
    static float Dot(const TVector3& a, const TVector3& b) {
        return static_cast<float>(double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z);
    }
    static TVector3 Cross(const TVector3& a, const TVector3& b) {
        return {static_cast<float>(double(a.y) * b.z - double(a.z) * b.y),
                static_cast<float>(double(a.z) * b.x - double(a.x) * b.z),
                static_cast<float>(double(a.x) * b.y - double(a.y) * b.x)};
    }

    // Unit vector along a. A zero length is replaced by 1e-7, so the zero
    // vector normalises to the zero vector (never to NaN).
    static TVector3 Normalize(const TVector3& a) {
        float l = Length(a);
        if (l == 0.0f) l = 1e-7f;
        float r = 1.0f / l; // the reciprocal is rounded to a float before scaling
        return {a.x * r, a.y * r, a.z * r};
    }

    // (radius*sin(theta)*cos(phi), radius*sin(theta)*sin(phi), radius*cos(theta)), radians.
    static TVector3 FromSpherical(float radius, float phi, float theta);
};
