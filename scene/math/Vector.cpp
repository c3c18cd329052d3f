#include "scene/math/Vector.h"

#include <cmath>

TVector2 TVector::Make2(float x, float y) {
    return {x, y};
}
TVector3 TVector::Make3(float x, float y, float z) {
    return {x, y, z};
}
TVector4 TVector::Make4(float x, float y, float z, float w) {
    return {x, y, z, w};
}

TVector3 TVector::Add(const TVector3& a, const TVector3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
TVector3 TVector::Subtract(const TVector3& a, const TVector3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
TVector3 TVector::Scale(const TVector3& a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
TVector4 TVector::Scale4(const TVector4& a, float s) {
    return {a.x * s, a.y * s, a.z * s, a.w * s};
}

float TVector::Length(const TVector3& a) {
    double x = a.x, y = a.y, z = a.z;
    return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

float TVector::Dot(const TVector3& a, const TVector3& b) {
    return static_cast<float>(double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z);
}

TVector3 TVector::Cross(const TVector3& a, const TVector3& b) {
    return {static_cast<float>(double(a.y) * b.z - double(a.z) * b.y),
            static_cast<float>(double(a.z) * b.x - double(a.x) * b.z),
            static_cast<float>(double(a.x) * b.y - double(a.y) * b.x)};
}

TVector3 TVector::Normalize(const TVector3& a) {
    float l = Length(a);
    if (l == 0.0f) l = 1e-7f;
    float r = 1.0f / l; // the reciprocal is rounded to a float before scaling
    return {a.x * r, a.y * r, a.z * r};
}

TVector3 TVector::FromSpherical(float radius, float phi, float theta) {
    double st = std::sin(double(theta));
    return {static_cast<float>(radius * st * std::cos(double(phi))),
            static_cast<float>(radius * st * std::sin(double(phi))),
            static_cast<float>(radius * std::cos(double(theta)))};
}
