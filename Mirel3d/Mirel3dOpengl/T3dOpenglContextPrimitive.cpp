// Immediate-mode drawing of T3dOpenglContext (I3dPrimitiveContext).
#include "Mirel3d/Mirel3dOpengl/GLTables.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"

void T3dOpenglContext::BeginPoly(T3dPrimitiveKind kind) {
    if (!InScene && !InPoly) throw ENoSceneException("Not inside scene");
    InPoly = true;
    GL.glBegin(PrimitiveGL(kind));
}

void T3dOpenglContext::EndPoly() {
    if (!InPoly) throw EEndpolyExeption("Called endpoly without a beginpoly call");
    GL.glEnd();
    InPoly = false;
    CheckGLError<EEndpolyExeption>("Begin/end poly failed");
}

void T3dOpenglContext::Vertex3(float x, float y, float z) {
    GL.glVertex3f(x, y, z);
}
void T3dOpenglContext::Vertex4(float x, float y, float z, float w) {
    GL.glVertex4f(x, y, z, w);
}
void T3dOpenglContext::Normal3(float x, float y, float z) {
    GL.glNormal3f(x, y, z);
}
void T3dOpenglContext::Color4(float r, float g, float b, float a) {
    GL.glColor4f(r, g, b, a);
}

void T3dOpenglContext::ColorPacked(uint32_t argb) {
    GL.glColor4ub(GLubyte(argb >> 16), GLubyte(argb >> 8), GLubyte(argb), GLubyte(argb >> 24));
}

void T3dOpenglContext::SecondaryColor3(float r, float g, float b, float) {
    if (GL.glSecondaryColor3fEXT) GL.glSecondaryColor3fEXT(r, g, b);
}

void T3dOpenglContext::SecondaryColorPacked(uint32_t argb) {
    if (GL.glSecondaryColor3ubEXT)
        GL.glSecondaryColor3ubEXT(GLubyte(argb >> 16), GLubyte(argb >> 8), GLubyte(argb));
}

// Unit 1 uses the plain call; another unit the multitexture call when the
// hardware has that unit.
void T3dOpenglContext::TexCoord1(int32_t unit, float s) {
    if (unit == 1)
        GL.glTexCoord1f(s);
    else if (unit > 1 && unit <= 8 && Caps.TextureUnits >= unit && GL.glMultiTexCoord1fARB)
        GL.glMultiTexCoord1fARB(GLenum(GL_TEXTURE0_ARB + unit - 1), s);
}

void T3dOpenglContext::TexCoord2(int32_t unit, float s, float t) {
    if (unit == 1)
        GL.glTexCoord2f(s, t);
    else if (unit > 1 && unit <= 8 && Caps.TextureUnits >= unit && GL.glMultiTexCoord2fARB)
        GL.glMultiTexCoord2fARB(GLenum(GL_TEXTURE0_ARB + unit - 1), s, t);
}

void T3dOpenglContext::TexCoord3(int32_t unit, float s, float t, float r) {
    if (unit == 1)
        GL.glTexCoord3f(s, t, r);
    else if (unit > 1 && unit <= 8 && Caps.TextureUnits >= unit && GL.glMultiTexCoord3fARB)
        GL.glMultiTexCoord3fARB(GLenum(GL_TEXTURE0_ARB + unit - 1), s, t, r);
}

void T3dOpenglContext::TexCoord4(int32_t unit, float s, float t, float r, float q) {
    if (unit == 1)
        GL.glTexCoord4f(s, t, r, q);
    else if (unit > 1 && unit <= 8 && Caps.TextureUnits >= unit && GL.glMultiTexCoord4fARB)
        GL.glMultiTexCoord4fARB(GLenum(GL_TEXTURE0_ARB + unit - 1), s, t, r, q);
}

// Interleaved float arrays: position (3), normal (3), texture coordinates of
// unit 1 (2) and colour (4, with colour material), at consecutive offsets.
void T3dOpenglContext::SetVertexArrays(const T3dVertexArraySource& source) {
    GLsizei stride = GLsizei(source.Stride * 4);
    const float* p = source.Values;
    int offset = 0;
    auto array = [&](bool wanted, bool& on, GLenum client) {
        if (wanted) {
            GL.glEnableClientState(client);
            on = true;
        } else if (on) {
            GL.glDisableClientState(client);
            on = false;
        }
    };
    bool pos = source.Flags & 0x01, nrm = source.Flags & 0x02, tex = source.Flags & 0x20,
         col = source.Flags & 0x08;
    array(pos, VertexArrayOn, GL_VERTEX_ARRAY);
    if (pos) {
        GL.glVertexPointer(3, GL_FLOAT, stride, p + offset);
        offset += 3;
    }
    array(nrm, NormalArrayOn, GL_NORMAL_ARRAY);
    if (nrm) {
        GL.glNormalPointer(GL_FLOAT, stride, p + offset);
        offset += 3;
    }
    if (GL.glClientActiveTextureARB) GL.glClientActiveTextureARB(GL_TEXTURE0_ARB);
    array(tex, TexCoordArrayOn, GL_TEXTURE_COORD_ARRAY);
    if (tex) {
        GL.glTexCoordPointer(2, GL_FLOAT, stride, p + offset);
        offset += 2;
    }
    array(col, ColorArrayOn, GL_COLOR_ARRAY);
    if (col) {
        GL.glEnable(GL_COLOR_MATERIAL);
        GL.glColorPointer(4, GL_FLOAT, stride, p + offset);
    }
}

void T3dOpenglContext::LockVertexList(I3dValueList* list) {
    if (!Advertised(GLFlags.CompiledVertexArray) || !GL.glLockArraysEXT || !list) return;
    GL.glLockArraysEXT(0, list->GetCount());
    CheckGLError<Exception>("LockVertexList failed");
}

void T3dOpenglContext::UnLockVertexList() {
    if (!Advertised(GLFlags.CompiledVertexArray) || !GL.glUnlockArraysEXT) return;
    GL.glUnlockArraysEXT();
    CheckGLError<Exception>("UnLockVertexList failed");
}

// The group's index range must lie within the index list's values.
void T3dOpenglContext::DrawIndexed(const T3dFaceGroup& g) {
    if (!IndexList) return;
    T3dValueArray& values = IndexList->GetValues();
    int64_t used = int64_t(IndexList->GetCount()) * IndexList->GetValueCount();
    if (g.FirstIndex < 0 || g.IndexCount < 0 || int64_t(g.FirstIndex) + g.IndexCount > used)
        throw EIndexOutOfRange(Format("Face group indices %d..%d lie outside the index list of %lld values",
                                      g.FirstIndex, g.FirstIndex + g.IndexCount, (long long)used));
    GL.glDrawElements(PrimitiveGL(g.Primitive), g.IndexCount, GL_UNSIGNED_INT, values.data() + g.FirstIndex);
}
