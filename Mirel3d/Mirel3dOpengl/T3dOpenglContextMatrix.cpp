// The matrix operations of T3dOpenglContext. Every operation first makes its
// matrix kind current unless the context believes it already is.
#include <SDL.h>

#include "Mirel3d/Mirel3dOpengl/GLTables.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"

static bool IsModelview(T3dMatrixKind k) {
    return k >= mkModelview && k <= mkModelview3;
}
static bool IsTexture(T3dMatrixKind k) {
    return k >= mkTexture0 && k <= mkTexture7;
}

// mkModelview needs one blend matrix, mkModelview1..3 need 2..4 (never in
// practice); texture kinds need the unit.
bool T3dOpenglContext::MatrixKindAvailable(T3dMatrixKind kind) const {
    if (kind == mkProjection) return true;
    if (IsModelview(kind)) return Caps.BlendMatrices >= 1 + (kind - mkModelview);
    if (IsTexture(kind)) return Caps.TextureUnits >= 1 + (kind - mkTexture0);
    return false;
}

static GLenum ModelviewGL(T3dMatrixKind kind) {
    return kind == mkModelview ? GLenum(GL_MODELVIEW) : GLenum(GL_MODELVIEW1_ARB);
}

void T3dOpenglContext::SetMatrixMode(T3dMatrixKind kind) {
    bool available = true;
    if (kind == mkProjection) {
        GL.glMatrixMode(GL_PROJECTION);
    } else if (IsModelview(kind)) {
        available = MatrixKindAvailable(kind);
        if (available) GL.glMatrixMode(ModelviewGL(kind));
    } else if (IsTexture(kind)) {
        GL.glMatrixMode(GL_TEXTURE);
        available = MatrixKindAvailable(kind);
        int32_t unit = 1 + (kind - mkTexture0);
        if (Usable(GLFlags.Multitexture) && available) {
            GL.glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit - 1));
            Cache->CurrentUnit = uint8_t(unit);
        }
    }
    CheckGLError<Exception>("fel");
    if (available) Cache->MatrixKind = kind;
}

void T3dOpenglContext::Perspective(T3dMatrixKind kind, float fovY, float aspect, float zNear, float zFar) {
    SelectMatrix(kind);
    FieldOfView = fovY;
    Aspect = aspect;
    GL.gluPerspective(fovY, aspect, zNear, zFar);
}

void T3dOpenglContext::Ortho(T3dMatrixKind kind, float left, float right, float top, float bottom,
                             float zNear, float zFar) {
    SelectMatrix(kind);
    GL.glOrtho(left, right, bottom, top, zNear, zFar);
}

void T3dOpenglContext::LoadIdentity(T3dMatrixKind kind) {
    SelectMatrix(kind);
    GL.glLoadIdentity();
}

void T3dOpenglContext::TranslateMatrix(T3dMatrixKind kind, float x, float y, float z) {
    SelectMatrix(kind);
    GL.glTranslatef(x, y, z);
    CheckGLError<EMatrixExeption>("TranslateMatrix failed");
}

void T3dOpenglContext::RotateMatrix(T3dMatrixKind kind, float angle, float x, float y, float z) {
    SelectMatrix(kind);
    GL.glRotatef(angle, x, y, z);
    CheckGLError<EMatrixExeption>("RotateMatrix failed");
}

void T3dOpenglContext::ScaleMatrix(T3dMatrixKind kind, float x, float y, float z) {
    SelectMatrix(kind);
    GL.glScalef(x, y, z);
    CheckGLError<EMatrixExeption>("ScaleMatrix failed");
}

void T3dOpenglContext::LookAt(T3dMatrixKind kind, const TVector3& eye, const TVector3& centre,
                              const TVector3& up) {
    SelectMatrix(kind);
    GL.gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, up.x, up.y, up.z);
}

void T3dOpenglContext::MultMatrix(T3dMatrixKind kind, const T3dMatrix& m) {
    SelectMatrix(kind);
    GL.glMultMatrixf(m.m);
}

void T3dOpenglContext::LoadMatrix(T3dMatrixKind kind, const T3dMatrix& m) {
    SelectMatrix(kind);
    GL.glLoadMatrixf(m.m);
}

// Reads a matrix. Reading a model-view or texture matrix may change the GL
// matrix mode or the active unit; the remembered kind and unit follow so
// that they always match GL.
void T3dOpenglContext::GetMatrix(T3dMatrixKind kind, T3dMatrix& out) {
    if (kind == mkProjection) {
        GL.glGetFloatv(GL_PROJECTION_MATRIX, out.m);
    } else if (IsModelview(kind)) {
        if (!MatrixKindAvailable(kind)) return;
        GL.glMatrixMode(ModelviewGL(kind));
        Cache->MatrixKind = kind;
        GL.glGetFloatv(GL_MODELVIEW_MATRIX, out.m);
    } else if (IsTexture(kind)) {
        if (!MatrixKindAvailable(kind)) return;
        int32_t unit = 1 + (kind - mkTexture0);
        if (unit != Cache->CurrentUnit && Usable(GLFlags.Multitexture)) {
            GL.glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit - 1));
            Cache->CurrentUnit = uint8_t(unit);
            // The GL matrix mode is unchanged: only when it is the texture
            // matrix does the current matrix become this unit's.
            if (IsTexture(Cache->MatrixKind)) Cache->MatrixKind = kind;
        }
        GL.glGetFloatv(GL_TEXTURE_MATRIX, out.m);
    }
}

void T3dOpenglContext::PushMatrix(T3dMatrixKind kind) {
    SelectMatrix(kind);
    GL.glPushMatrix();
    CheckGLError<EMatrixExeption>("PushMatrix failed");
}

void T3dOpenglContext::PopMatrix(T3dMatrixKind kind) {
    SelectMatrix(kind);
    GL.glPopMatrix();
    CheckGLError<EMatrixExeption>("PopMatrix failed");
}

// Restores the saved matrix and keeps it saved.
void T3dOpenglContext::PeekMatrix(T3dMatrixKind kind) {
    SelectMatrix(kind);
    GL.glPopMatrix();
    CheckGLError<EMatrixExeption>("PopMatrix failed inside PeekMatrix");
    GL.glPushMatrix();
    CheckGLError<EMatrixExeption>("PushMatrix failed inside PeekMatrix");
}
