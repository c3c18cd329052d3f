// The plain records of the geometry code: vectors, matrices, quaternions and
// colours, all made of 32-bit floats and laid out exactly as listed (they are
// handed to OpenGL and read from files as they are).
//
// Conventions used by every operation on these records:
// - TMatrix4 holds 16 floats in OpenGL element order: m[12], m[13], m[14] are
//   the translation, m[3], m[7], m[11] are 0 for affine matrices.
// - Points are row vectors: p'[j] = p.x*m[j] + p.y*m[4+j] + p.z*m[8+j] + m[12+j].
// - TMatrix::Multiply(A, B) transforms by A first, then by B.
// - TQuat is stored (w, x, y, z), scalar part first.
// - TMatrix3 (a tangent basis) stores row r in m[3r], m[3r+1], m[3r+2].
#pragma once

struct TVector2 {
    float x, y;
};

struct TVector3 {
    float x, y, z;
};

struct TVector4 {
    float x, y, z, w;
};

struct TMatrix3 {
    float m[9];
};

struct TMatrix4 {
    float m[16];
};

struct TQuat {
    float w, x, y, z;
};

struct TColor4 {
    float r, g, b, a;
};

static_assert(sizeof(TVector3) == 12 && sizeof(TVector4) == 16 && sizeof(TMatrix4) == 64);
static_assert(sizeof(TQuat) == 16 && sizeof(TColor4) == 16 && sizeof(TMatrix3) == 36);
