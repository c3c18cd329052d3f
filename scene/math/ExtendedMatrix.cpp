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

TMatrix3 TExtendedMatrix::TangentBasisUnoriented(const TVector3& p0, const TVector3& p1, const TVector3& p2,
                                                 const TVector2& t0, const TVector2& t1, const TVector2& t2) {
    TMatrix3 r = {{1, 0, 0, 0, 1, 0, 0, 0, 1}};
    const float pos0[3] = {p0.x, p0.y, p0.z};
    const float pos1[3] = {p1.x, p1.y, p1.z};
    const float pos2[3] = {p2.x, p2.y, p2.z};
    // Row k: how the k coordinate changes with u and v, from the plane through
    // the three (position k, u, v) points: the normal of that plane is the
    // cross product of its edges, whose x part depends on u and v alone.
    const float du1 = t1.x - t0.x, dv1 = t1.y - t0.y, du2 = t2.x - t0.x, dv2 = t2.y - t0.y;
    const float cx = static_cast<float>(double(du1) * dv2 - double(dv1) * du2);
    if (std::fabs(cx) > 1e-8f) {
        for (int k = 0; k < 3; k++) {
            const float e1 = pos1[k] - pos0[k], e2 = pos2[k] - pos0[k];
            const float cy = static_cast<float>(double(dv1) * e2 - double(e1) * dv2);
            const float cz = static_cast<float>(double(e1) * du2 - double(du1) * e2);
            r.m[3 * k] = -cy / cx;
            r.m[3 * k + 1] = -cz / cx;
        }
    }
    TVector3 tangent = NormalizeOrZero(Column(r, 0));
    TVector3 binormal = NormalizeOrZero(Column(r, 1));
    TVector3 normal = NormalizeOrZero(TVector::Cross(tangent, binormal));
    binormal = TVector::Cross(normal, tangent);
    SetColumn(r, 0, TVector::Scale(tangent, -1.0f));
    SetColumn(r, 1, binormal);
    SetColumn(r, 2, normal);
    return r;
}

TMatrix3 TExtendedMatrix::OrientTangentBasis(const TMatrix3& basis, const TVector3& n) {
    TMatrix3 r = basis;
    if (TVector::Dot(Column(r, 2), n) < 0.0f) SetColumn(r, 2, TVector::Scale(Column(r, 2), -1.0f));
    return r;
}

TMatrix3 TExtendedMatrix::TangentBasis(const TVector3& p0, const TVector3& p1, const TVector3& p2,
                                       const TVector2& t0, const TVector2& t1, const TVector2& t2,
                                       const TVector3& n) {
    return OrientTangentBasis(TangentBasisUnoriented(p0, p1, p2, t0, t1, t2), n);
}
