// Operations on 4x4 matrices (see MathTypes.h for the element order and the
// row-vector convention). Angles are in degrees.
#pragma once

#include "scene/math/MathTypes.h"

class TMatrix {
public:
    static TMatrix4 Identity();
    static TMatrix3 Identity3();

    // Identity with m[12..14] = (x, y, z).
    static TMatrix4 Translation(float x, float y, float z);

    // The matrix OpenGL builds for glRotate(angleDeg, x, y, z); the axis is used
    // as given, without normalising it.
    static TMatrix4 Rotation(float angleDeg, float x, float y, float z);

    // out[4i+j] = sum_k a[4i+k] * b[4k+j]: a point transformed by the result is
    // transformed by a first and then by b (as OpenGL matrices: b * a).
    static TMatrix4 Multiply(const TMatrix4& a, const TMatrix4& b);

    // Multiply(Rotation(...), m) and Multiply(Translation(...), m): what
    // glRotate / glTranslate do to the current matrix m.
    static TMatrix4 Rotate(const TMatrix4& m, float angleDeg, float x, float y, float z);
    static TMatrix4 Translate(const TMatrix4& m, float x, float y, float z);

    static TMatrix4 Transpose(const TMatrix4& m);

    // Row-vector transform of a point (the w column of the result is ignored).
    static TVector3 TransformPoint(const TVector3& p, const TMatrix4& m);

    // Gauss-Jordan inversion with partial pivoting (the first row with the
    // strictly largest absolute entry in the column is the pivot). Returns false
    // and leaves out untouched when a column has no non-zero pivot; out may be
    // the same record as m.
    static bool Invert(const TMatrix4& m, TMatrix4& out);

    // Convenience form: the inverse, or the identity when m is singular.
    static TMatrix4 Invert(const TMatrix4& m);
};
