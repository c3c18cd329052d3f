#include "scene/math/ExtendedMatrix.h"

#include "scene/math/Matrix.h"
#include "scene/math/Vector.h"

#include <cmath>

// Unit vector along v, or the zero vector when v has no usable length (a
// degenerate triangle): the basis then stays finite instead of turning NaN.
static TVector3 NormalizeOrZero(const TVector3& v) {
    double x = v.x, y = v.y, z = v.z;
    double l = std::sqrt(x * x + y * y + z * z);
    if (!(l > 0.0) || !std::isfinite(l)) return {0.0f, 0.0f, 0.0f};
    return {static_cast<float>(x / l), static_cast<float>(y / l), static_cast<float>(z / l)};
}

static TVector3 Column(const TMatrix3& m, int c) {
    return {m.m[c], m.m[3 + c], m.m[6 + c]};
}

static void SetColumn(TMatrix3& m, int c, const TVector3& v) {
    m.m[c] = v.x;
    m.m[3 + c] = v.y;
    m.m[6 + c] = v.z;
}

TMatrix3 TExtendedMatrix::TangentBasis(const TVector3& p0, const TVector3& p1, const TVector3& p2,
                                       const TVector2& t0, const TVector2& t1, const TVector2& t2,
                                       const TVector3& n) {
    TMatrix3 r = TMatrix::Identity3();
    const float pos0[3] = {p0.x, p0.y, p0.z};
    const float pos1[3] = {p1.x, p1.y, p1.z};
    const float pos2[3] = {p2.x, p2.y, p2.z};
    // Row k: how the k coordinate changes with u and v, from the plane through
    // the three (position k, u, v) points.
    for (int k = 0; k < 3; k++) {
        TVector3 e1 = {pos1[k] - pos0[k], t1.x - t0.x, t1.y - t0.y};
        TVector3 e2 = {pos2[k] - pos0[k], t2.x - t0.x, t2.y - t0.y};
        TVector3 c = TVector::Cross(e1, e2);
        if (std::fabs(c.x) > 1e-8f) {
            r.m[3 * k] = -c.y / c.x;
            r.m[3 * k + 1] = -c.z / c.x;
        }
    }
    TVector3 tangent = NormalizeOrZero(Column(r, 0));
    TVector3 binormal = NormalizeOrZero(Column(r, 1));
    TVector3 normal = NormalizeOrZero(TVector::Cross(tangent, binormal));
    binormal = TVector::Cross(normal, tangent);
    if (TVector::Dot(normal, n) < 0.0f) normal = TVector::Scale(normal, -1.0f);
    SetColumn(r, 0, TVector::Scale(tangent, -1.0f));
    SetColumn(r, 1, binormal);
    SetColumn(r, 2, normal);
    return r;
}
