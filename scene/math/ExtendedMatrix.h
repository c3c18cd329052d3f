// The per-triangle tangent basis used to light bump-mapped surfaces.
#pragma once

#include "scene/math/MathTypes.h"

class TExtendedMatrix {
public:
    // Tangent basis of the triangle (p0, p1, p2) with texture coordinates
    // (t0, t1, t2) and reference normal n. Column 0 (m[0], m[3], m[6]) is the
    // negated tangent, column 1 the binormal, column 2 the normal turned towards
    // n. A degenerate triangle gives a finite result (zero columns where no
    // direction exists), never NaN.
    static TMatrix3 TangentBasis(const TVector3& p0, const TVector3& p1, const TVector3& p2,
                                 const TVector2& t0, const TVector2& t1, const TVector2& t2,
                                 const TVector3& n);

    // The same basis before it is turned towards a reference normal: the
    // tangent and binormal columns do not depend on it, and the normal column
    // is negated when it points away from the reference. Builders that use
    // one triangle for several reference normals compute this once.
    static TMatrix3 TangentBasisUnoriented(const TVector3& p0, const TVector3& p1, const TVector3& p2,
                                           const TVector2& t0, const TVector2& t1, const TVector2& t2);
    // Negates the normal column of an unoriented basis when it points away from n.
    static TMatrix3 OrientTangentBasis(const TMatrix3& basis, const TVector3& n);
};
