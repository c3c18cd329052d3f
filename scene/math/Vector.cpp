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

TVector3 TVector::FromSpherical(float radius, float phi, float theta) {
    double st = std::sin(double(theta));
    return {static_cast<float>(radius * st * std::cos(double(phi))),
            static_cast<float>(radius * st * std::sin(double(phi))),
            static_cast<float>(radius * std::cos(double(theta)))};
}
