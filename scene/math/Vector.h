// Operations on vectors. All of them are 3-component unless the name says
// otherwise; results are returned by value so an input may also be the target.
#pragma once

#include "scene/math/MathTypes.h"

class TVector {
public:
    static TVector2 Make2(float x, float y);
    static TVector3 Make3(float x, float y, float z);
    static TVector4 Make4(float x, float y, float z, float w);

    static TVector3 Add(const TVector3& a, const TVector3& b);      // a + b
    static TVector3 Subtract(const TVector3& a, const TVector3& b); // a - b
    static TVector3 Scale(const TVector3& a, float s);              // a * s
    static TVector4 Scale4(const TVector4& a, float s);             // all four components * s

    static float Length(const TVector3& a);
    static float Dot(const TVector3& a, const TVector3& b);
    static TVector3 Cross(const TVector3& a, const TVector3& b);

    // Unit vector along a. A zero length is replaced by 1e-7, so the zero
    // vector normalises to the zero vector (never to NaN).
    static TVector3 Normalize(const TVector3& a);

    // (radius*sin(theta)*cos(phi), radius*sin(theta)*sin(phi), radius*cos(theta)), radians.
    static TVector3 FromSpherical(float radius, float phi, float theta);
};
