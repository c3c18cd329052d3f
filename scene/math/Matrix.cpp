#include "scene/math/Matrix.h"

#include "scene/math/MathFunctions.h"

#include <cmath>

TMatrix4 TMatrix::Identity() {
    TMatrix4 r = {};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

TMatrix3 TMatrix::Identity3() {
    TMatrix3 r = {};
    r.m[0] = r.m[4] = r.m[8] = 1.0f;
    return r;
}

TMatrix4 TMatrix::Translation(float x, float y, float z) {
    TMatrix4 r = Identity();
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

TMatrix4 TMatrix::Rotation(float angleDeg, float x, float y, float z) {
    double s, c;
    SinCos(DegToRad(angleDeg), s, c);
    double t = 1.0 - c;
    double dx = x, dy = y, dz = z;
    TMatrix4 r = {};
    r.m[0] = static_cast<float>(dx * dx + c * (1.0 - dx * dx));
    r.m[1] = static_cast<float>(t * dx * dy + s * dz);
    r.m[2] = static_cast<float>(t * dx * dz - s * dy);
    r.m[4] = static_cast<float>(t * dx * dy - s * dz);
    r.m[5] = static_cast<float>(dy * dy + c * (1.0 - dy * dy));
    r.m[6] = static_cast<float>(t * dy * dz + s * dx);
    r.m[8] = static_cast<float>(t * dx * dz + s * dy);
    r.m[9] = static_cast<float>(t * dy * dz - s * dx);
    r.m[10] = static_cast<float>(dz * dz + c * (1.0 - dz * dz));
    r.m[15] = 1.0f;
    return r;
}

TMatrix4 TMatrix::Multiply(const TMatrix4& a, const TMatrix4& b) {
    TMatrix4 r; // a temporary, so a or b may be the caller's target
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            double sum = 0.0;
            for (int k = 0; k < 4; k++)
                sum += double(a.m[4 * i + k]) * b.m[4 * k + j];
            r.m[4 * i + j] = static_cast<float>(sum);
        }
    return r;
}

TMatrix4 TMatrix::Rotate(const TMatrix4& m, float angleDeg, float x, float y, float z) {
    return Multiply(Rotation(angleDeg, x, y, z), m);
}

TMatrix4 TMatrix::Translate(const TMatrix4& m, float x, float y, float z) {
    return Multiply(Translation(x, y, z), m);
}

TMatrix4 TMatrix::Transpose(const TMatrix4& m) {
    TMatrix4 r;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            r.m[4 * i + j] = m.m[4 * j + i];
    return r;
}

TVector3 TMatrix::TransformPoint(const TVector3& p, const TMatrix4& m) {
    float out[3];
    for (int j = 0; j < 3; j++)
        out[j] = static_cast<float>(double(p.x) * m.m[j] + double(p.y) * m.m[4 + j] +
                                    double(p.z) * m.m[8 + j] + m.m[12 + j]);
    return {out[0], out[1], out[2]};
}

bool TMatrix::Invert(const TMatrix4& m, TMatrix4& out) {
    // a: working copy of m, b: the identity beside it; rows are a[r][0..3].
    double a[4][4], b[4][4];
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            a[r][c] = m.m[4 * r + c];
            b[r][c] = r == c ? 1.0 : 0.0;
        }
    for (int col = 0; col < 4; col++) {
        // Partial pivoting: the earliest row with the strictly largest magnitude.
        int pivot = col;
        double best = std::fabs(a[col][col]);
        for (int r = col + 1; r < 4; r++)
            if (std::fabs(a[r][col]) > best) {
                best = std::fabs(a[r][col]);
                pivot = r;
            }
        if (!(best > 0.0)) return false; // singular (or NaN): out stays as it was
        if (pivot != col)
            for (int c = 0; c < 4; c++) {
                double t = a[col][c];
                a[col][c] = a[pivot][c];
                a[pivot][c] = t;
                t = b[col][c];
                b[col][c] = b[pivot][c];
                b[pivot][c] = t;
            }
        double inv = 1.0 / a[col][col];
        for (int c = 0; c < 4; c++) {
            a[col][c] *= inv;
            b[col][c] *= inv;
        }
        for (int r = col + 1; r < 4; r++) {
            double f = a[r][col];
            if (f == 0.0) continue;
            for (int c = 0; c < 4; c++) {
                a[r][c] -= f * a[col][c];
                b[r][c] -= f * b[col][c];
            }
        }
    }
    // Backward pass: clear the entries above the diagonal.
    for (int col = 3; col > 0; col--)
        for (int r = col - 1; r >= 0; r--) {
            double f = a[r][col];
            if (f == 0.0) continue;
            for (int c = 0; c < 4; c++) {
                a[r][c] -= f * a[col][c];
                b[r][c] -= f * b[col][c];
            }
        }
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            out.m[4 * r + c] = static_cast<float>(b[r][c]);
    return true;
}

TMatrix4 TMatrix::Invert(const TMatrix4& m) {
    TMatrix4 r = Identity();
    Invert(m, r);
    return r;
}
