// The OpenGL loader: one function pointer per entry point the engine uses,
// fetched at run time (GL through SDL_GL_GetProcAddress, GLU from
// "libGLU.so.1"), and one capability flag per feature, set by the extension
// probe once the first rendering context is current.
//
// Every other file of the device layer calls OpenGL only through `GL.name`
// and consults only `GLFlags`. A pointer whose library or driver lacks the
// entry point stays null.
#pragma once

#include <cstdint>

#include <GL/gl.h>
#include <GL/glext.h>

// Core entry points (OpenGL 1.1 plus a few read-back helpers).
#define ZUMBRIX_GL_CORE(X)                                                                                   \
    X(glBegin)                                                                                               \
    X(glEnd)                                                                                                 \
    X(glVertex2f) X(glVertex2fv) X(glVertex3f) X(glVertex3fv) X(glVertex4f) X(glVertex4fv) X(glNormal3f) X(  \
        glNormal3fv) X(glColor3f) X(glColor3fv) X(glColor4f) X(glColor4fv) X(glColor4ub) X(glTexCoord1f)     \
        X(glTexCoord2f) X(glTexCoord3f) X(glTexCoord4f) X(glTexCoord2fv) X(glTexCoord3fv) X(glEnable) X(     \
            glDisable) X(glGetIntegerv) X(glGetFloatv) X(glGetString) X(glGetError) X(glHint)                \
            X(glShadeModel) X(glColorMask) X(glDepthFunc) X(glDepthMask) X(glDepthRange) X(glAlphaFunc) X(   \
                glBlendFunc) X(glCullFace) X(glFrontFace) X(glPolygonMode) X(glPolygonOffset) X(glLineWidth) \
                X(glPointSize) X(glScissor) X(glViewport) X(glClipPlane) X(glFogf) X(glFogi) X(              \
                    glStencilFunc) X(glStencilMask) X(glStencilOp) X(glPushAttrib) X(glPopAttrib)            \
                    X(glPushClientAttrib) X(glPopClientAttrib) X(glPushName) X(glPopName) X(glMatrixMode) X( \
                        glLoadIdentity) X(glLoadMatrixf) X(glMultMatrixf) X(glTranslatef) X(glRotatef)       \
                        X(glScalef) X(glOrtho) X(glFrustum) X(glPushMatrix) X(glPopMatrix) X(glLightf) X(    \
                            glLightfv) X(glLightModelf) X(glLightModelfv) X(glLightModeli) X(glMaterialf)    \
                            X(glMaterialfv) X(glColorMaterial) X(glGenTextures) X(glDeleteTextures) X(       \
                                glBindTexture) X(glTexImage2D) X(glTexSubImage2D) X(glCopyTexImage2D)        \
                                X(glCopyTexSubImage2D) X(glTexParameteri) X(glTexEnvf) X(glTexEnvfv) X(      \
                                    glTexEnvi) X(glTexGeni) X(glTexGenfv)                                    \
                                    X(glClear) X(glClearColor) X(glClearDepth)                               \
                                        X(glClearStencil) X(glClearAccum) X(glReadBuffer) X(glReadPixels) X( \
                                            glDrawBuffer) X(glGenLists)                                      \
                                            X(glNewList) X(glEndList) X(glCallList)                          \
                                                X(glCallLists) X(glListBase) X(glEnableClientState) X(       \
                                                    glDisableClientState) X(glVertexPointer)                 \
                                                    X(glNormalPointer) X(glColorPointer)                     \
                                                        X(glTexCoordPointer) X(glIndexPointer)               \
                                                            X(glEdgeFlagPointer) X(glInterleavedArrays) X(   \
                                                                glDrawArrays) X(glDrawElements)              \
                                                                X(glPixelStorei) X(glFinish) X(glFlush) X(   \
                                                                    glIsEnabled) X(glGetTexLevelParameteriv) \
                                                                    X(glGetTexParameteriv) X(glGetTexImage)  \
                                                                        X(glGetTexEnviv) X(glGetLightfv)     \
                                                                            X(glGetMaterialfv)               \
                                                                                X(glGetClipPlane)            \
                                                                                    X(glGetPointerv)         \
                                                                                        X(glGetBooleanv)     \
                                                                                            X(glGetTexGeniv)

// Extension entry points with their pointer types.
#define ZUMBRIX_GL_EXT(X)                                                                                    \
    X(glTexImage3D, PFNGLTEXIMAGE3DPROC)                                                                     \
    X(glActiveTextureARB, PFNGLACTIVETEXTUREARBPROC)                                                         \
    X(glClientActiveTextureARB, PFNGLCLIENTACTIVETEXTUREARBPROC)                                             \
    X(glMultiTexCoord1fARB, PFNGLMULTITEXCOORD1FARBPROC)                                                     \
    X(glMultiTexCoord2fARB, PFNGLMULTITEXCOORD2FARBPROC)                                                     \
    X(glMultiTexCoord3fARB, PFNGLMULTITEXCOORD3FARBPROC)                                                     \
    X(glMultiTexCoord4fARB, PFNGLMULTITEXCOORD4FARBPROC)                                                     \
    X(glMultiTexCoord2fvARB, PFNGLMULTITEXCOORD2FVARBPROC)                                                   \
    X(glTexImage3DEXT, PFNGLTEXIMAGE3DEXTPROC)                                                               \
    X(glTexSubImage3D, PFNGLTEXSUBIMAGE3DPROC)                                                               \
    X(glLockArraysEXT, PFNGLLOCKARRAYSEXTPROC)                                                               \
    X(glUnlockArraysEXT, PFNGLUNLOCKARRAYSEXTPROC)                                                           \
    X(glDrawRangeElementsEXT, PFNGLDRAWRANGEELEMENTSEXTPROC)                                                 \
    X(glBlendEquationEXT, PFNGLBLENDEQUATIONEXTPROC)                                                         \
    X(glSecondaryColor3fEXT, PFNGLSECONDARYCOLOR3FEXTPROC)                                                   \
    X(glSecondaryColor3ubEXT, PFNGLSECONDARYCOLOR3UBEXTPROC)                                                 \
    X(glSecondaryColorPointerEXT, PFNGLSECONDARYCOLORPOINTEREXTPROC)                                         \
    X(glVertexArrayRangeNV, PFNGLVERTEXARRAYRANGENVPROC)                                                     \
    X(glFlushVertexArrayRangeNV, PFNGLFLUSHVERTEXARRAYRANGENVPROC)                                           \
    X(glMapControlPointsNV, PFNGLMAPCONTROLPOINTSNVPROC)                                                     \
    X(glMapParameterivNV, PFNGLMAPPARAMETERIVNVPROC)                                                         \
    X(glMapParameterfvNV, PFNGLMAPPARAMETERFVNVPROC)                                                         \
    X(glEvalMapsNV, PFNGLEVALMAPSNVPROC)                                                                     \
    X(glGenFencesNV, PFNGLGENFENCESNVPROC)                                                                   \
    X(glDeleteFencesNV, PFNGLDELETEFENCESNVPROC)                                                             \
    X(glSetFenceNV, PFNGLSETFENCENVPROC)                                                                     \
    X(glTestFenceNV, PFNGLTESTFENCENVPROC)                                                                   \
    X(glFinishFenceNV, PFNGLFINISHFENCENVPROC)                                                               \
    X(glIsFenceNV, PFNGLISFENCENVPROC)                                                                       \
    X(glGetFenceNV, PFNGLGETFENCEIVNVPROC)                                                                   \
    X(glBindProgramNV, PFNGLBINDPROGRAMNVPROC)                                                               \
    X(glDeleteProgramsNV, PFNGLDELETEPROGRAMSNVPROC)                                                         \
    X(glExecuteProgramNV, PFNGLEXECUTEPROGRAMNVPROC)                                                         \
    X(glGenProgramsNV, PFNGLGENPROGRAMSNVPROC)                                                               \
    X(glLoadProgramNV, PFNGLLOADPROGRAMNVPROC)                                                               \
    X(glProgramParameter4fNV, PFNGLPROGRAMPARAMETER4FNVPROC)                                                 \
    X(glProgramParameter4dNV, PFNGLPROGRAMPARAMETER4DNVPROC)                                                 \
    X(glProgramParameter4fvNV, PFNGLPROGRAMPARAMETER4FVNVPROC)                                               \
    X(glProgramParameter4dvNV, PFNGLPROGRAMPARAMETER4DVNVPROC)                                               \
    X(glProgramParameters4fvNV, PFNGLPROGRAMPARAMETERS4FVNVPROC)                                             \
    X(glProgramParameters4dvNV, PFNGLPROGRAMPARAMETERS4DVNVPROC)                                             \
    X(glTrackMatrixNV, PFNGLTRACKMATRIXNVPROC)                                                               \
    X(glVertexAttribPointerNV, PFNGLVERTEXATTRIBPOINTERNVPROC)                                               \
    X(glVertexAttrib3fNV, PFNGLVERTEXATTRIB3FNVPROC)                                                         \
    X(glCombinerParameterivNV, PFNGLCOMBINERPARAMETERIVNVPROC)                                               \
    X(glCombinerParameterfvNV, PFNGLCOMBINERPARAMETERFVNVPROC)                                               \
    X(glCombinerParameterfNV, PFNGLCOMBINERPARAMETERFNVPROC)                                                 \
    X(glCombinerParameteriNV, PFNGLCOMBINERPARAMETERINVPROC)                                                 \
    X(glCombinerInputNV, PFNGLCOMBINERINPUTNVPROC)                                                           \
    X(glCombinerOutputNV, PFNGLCOMBINEROUTPUTNVPROC)                                                         \
    X(glFinalCombinerInputNV, PFNGLFINALCOMBINERINPUTNVPROC)                                                 \
    X(glCombinerStageParameterfvNV, PFNGLCOMBINERSTAGEPARAMETERFVNVPROC)                                     \
    X(glGenFramebuffers, PFNGLGENFRAMEBUFFERSPROC)                                                           \
    X(glDeleteFramebuffers, PFNGLDELETEFRAMEBUFFERSPROC)                                                     \
    X(glBindFramebuffer, PFNGLBINDFRAMEBUFFERPROC)                                                           \
    X(glFramebufferTexture2D, PFNGLFRAMEBUFFERTEXTURE2DPROC)                                                 \
    X(glCheckFramebufferStatus, PFNGLCHECKFRAMEBUFFERSTATUSPROC)                                             \
    X(glGenRenderbuffers, PFNGLGENRENDERBUFFERSPROC)                                                         \
    X(glDeleteRenderbuffers, PFNGLDELETERENDERBUFFERSPROC)                                                   \
    X(glBindRenderbuffer, PFNGLBINDRENDERBUFFERPROC)                                                         \
    X(glRenderbufferStorage, PFNGLRENDERBUFFERSTORAGEPROC)                                                   \
    X(glFramebufferRenderbuffer, PFNGLFRAMEBUFFERRENDERBUFFERPROC)                                           \
    X(glGenQueriesARB, PFNGLGENQUERIESARBPROC)                                                               \
    X(glDeleteQueriesARB, PFNGLDELETEQUERIESARBPROC)                                                         \
    X(glBeginQueryARB, PFNGLBEGINQUERYARBPROC)                                                               \
    X(glEndQueryARB, PFNGLENDQUERYARBPROC)                                                                   \
    X(glGetQueryObjectuivARB, PFNGLGETQUERYOBJECTUIVARBPROC)

using TGluPerspective = void (*)(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);
using TGluLookAt = void (*)(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
                            GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ);
using TGluBuild2DMipmaps = GLint (*)(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                                     GLenum format, GLenum type, const void* data);

struct T3dGLEntryPoints {
#define ZUMBRIX_GL_DECLARE_CORE(name) decltype(&::name) name = nullptr;
#define ZUMBRIX_GL_DECLARE_EXT(name, type) type name = nullptr;
    ZUMBRIX_GL_CORE(ZUMBRIX_GL_DECLARE_CORE)
    ZUMBRIX_GL_EXT(ZUMBRIX_GL_DECLARE_EXT)
#undef ZUMBRIX_GL_DECLARE_CORE
#undef ZUMBRIX_GL_DECLARE_EXT
    // GLU, from "libGLU.so.1".
    TGluPerspective gluPerspective = nullptr;
    TGluLookAt gluLookAt = nullptr;
    TGluBuild2DMipmaps gluBuild2DMipmaps = nullptr;
    // Fetched and never called.
    void* glDrawMeshNV = nullptr;
};

// Capability flag bits.
constexpr uint8_t glfUsable = 2;
constexpr uint8_t glfAdvertised = 4;

inline bool Usable(uint8_t flag) {
    return (flag & glfUsable) != 0;
}
inline bool Advertised(uint8_t flag) {
    return (flag & glfAdvertised) != 0;
}

// One byte per feature, 0 until the probe runs. A feature found in the
// extension list gets 6 (usable and advertised). On Linux the window-system
// flags describe GLX and framebuffer objects: WGLExtensionString = the GLX
// extension list could be read, WGLPixelFormat = GLX frame-buffer
// configurations exist, Pbuffer / RenderTexture / RenderDepthTexture = off-
// screen targets through framebuffer objects, SwapControl = SDL's swap
// interval, BufferRegion = 0 (unsupported).
struct T3dGLFlags {
    uint8_t TextureCompression = 0;
    uint8_t SeparateSpecular = 0;
    uint8_t EXTCombine = 0;
    uint8_t ARBCombine = 0;
    uint8_t Dot3 = 0;
    uint8_t Multitexture = 0;
    uint8_t CubeMap = 0;
    uint8_t Texture3D = 0;
    uint8_t MirroredRepeat = 0;
    uint8_t EdgeClamp = 0;
    uint8_t BorderClamp = 0;
    uint8_t CompiledVertexArray = 0;
    uint8_t DrawRangeElements = 0;
    uint8_t BlendMinmax = 0;
    uint8_t BlendSubtract = 0;
    uint8_t SecondaryColor = 0;
    uint8_t GenerateMipmap = 0;
    uint8_t VertexArrayRange = 0;
    uint8_t VertexArrayRange2 = 0;
    uint8_t Evaluators = 0;
    uint8_t Fence = 0;
    uint8_t VertexProgram = 0;
    uint8_t TextureShader = 0;
    uint8_t ShadowFuncs = 0;
    uint8_t ARBShadow = 0;
    uint8_t SGIXShadow = 0;
    uint8_t WGLExtensionString = 0;
    uint8_t WGLPixelFormat = 0;
    uint8_t BufferRegion = 0;
    uint8_t Pbuffer = 0;
    uint8_t RenderTexture = 0;
    uint8_t RenderDepthTexture = 0;
    uint8_t SwapControl = 0;
    uint8_t BlendMatrices = 0; // never set by the probe
    // Not flags of their own in the probe order, recorded so that the NV
    // emulation and `mirel glinfo` can see what the driver lists.
    uint8_t RegisterCombiners = 0;
    uint8_t RegisterCombiners2 = 0;
    uint8_t FramebufferObject = 0;
};

extern T3dGLEntryPoints GL;
extern T3dGLFlags GLFlags;

// Loads the GL library through SDL and GLU with dlopen, then fetches every
// core entry point. False only when neither library could be loaded. Calling
// it again refetches the pointers.
bool LoadLibraries();

// Sets the flags and fetches the extension entry points; needs a current
// context. `windowSystemList` is the GLX extension list (null when it cannot
// be read). Ends by handing the table to the NV emulation when it is built in.
void ProbeExtensions(const char* windowSystemList);

// Whole-word test: true when `name` (non-empty, no blank) is one of the
// blank-separated words of `list`.
bool HasExtension(const char* list, const char* name);

// Name and value of every flag in declaration order, for reports.
struct T3dGLFlagInfo {
    const char* Name;
    uint8_t Value;
};
int GetGLFlagList(T3dGLFlagInfo* out, int capacity);
