// The emulated NV entry points and the draw hook. See NvEmulation.h.
//
// The real driver functions the emulation needs are fetched here with
// SDL_GL_GetProcAddress, independently of the entry-point table (whose
// pointers the emulation replaces with its own wrappers).
#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/NvCombinerCompiler.h"
#include "Mirel3d/Mirel3dOpengl/NvCombinerState.h"
#include "Mirel3d/Mirel3dOpengl/NvVertexProgramTranslator.h"
#include "Mirel3d/Mirel3dOpengl/PixelWork.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglVertexProgram.h"
#include "platform/Format.h"

#include <GL/glx.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Real driver functions.

struct RealGL {
#define NV_REAL_CORE_LIST(X)                                                                                 \
    X(glEnable)                                                                                              \
    X(glDisable)                                                                                             \
    X(glIsEnabled)                                                                                           \
    X(glGetError)                                                                                            \
    X(glGetIntegerv)                                                                                         \
    X(glGetFloatv)                                                                                           \
    X(glGetString)                                                                                           \
    X(glPushAttrib) X(glPopAttrib) X(glEnableClientState) X(glDisableClientState) X(glBegin) X(glDrawArrays) \
        X(glDrawElements) X(glCallList) X(glCallLists) X(glVertexPointer) X(glNormalPointer)                 \
            X(glColorPointer) X(glTexCoordPointer) X(glVertex3f) X(glNormal3f) X(glColor3f) X(glBindTexture) \
                X(glTexParameteri) X(glDeleteTextures) X(glGetTexParameteriv) X(glGetTexLevelParameteriv)
#define NV_REAL_EXT_LIST(X)                                                                                  \
    X(glDrawRangeElementsEXT, PFNGLDRAWRANGEELEMENTSEXTPROC)                                                 \
    X(glActiveTextureARB, PFNGLACTIVETEXTUREARBPROC)                                                         \
    X(glClientActiveTextureARB, PFNGLCLIENTACTIVETEXTUREARBPROC)                                             \
    X(glMultiTexCoord3fARB, PFNGLMULTITEXCOORD3FARBPROC)                                                     \
    X(glSecondaryColorPointerEXT, PFNGLSECONDARYCOLORPOINTEREXTPROC)                                         \
    X(glSecondaryColor3fEXT, PFNGLSECONDARYCOLOR3FEXTPROC)                                                   \
    X(glFogCoordPointerEXT, PFNGLFOGCOORDPOINTEREXTPROC)                                                     \
    X(glFogCoordfEXT, PFNGLFOGCOORDFEXTPROC)                                                                 \
    X(glGenProgramsARB, PFNGLGENPROGRAMSARBPROC)                                                             \
    X(glDeleteProgramsARB, PFNGLDELETEPROGRAMSARBPROC)                                                       \
    X(glBindProgramARB, PFNGLBINDPROGRAMARBPROC) X(glProgramStringARB, PFNGLPROGRAMSTRINGARBPROC)            \
        X(glProgramEnvParameter4fvARB, PFNGLPROGRAMENVPARAMETER4FVARBPROC)                                   \
            X(glGetProgramivARB, PFNGLGETPROGRAMIVARBPROC)                                                   \
                X(glVertexAttribPointerARB, PFNGLVERTEXATTRIBPOINTERARBPROC)                                 \
                    X(glEnableVertexAttribArrayARB, PFNGLENABLEVERTEXATTRIBARRAYARBPROC)                     \
                        X(glDisableVertexAttribArrayARB, PFNGLDISABLEVERTEXATTRIBARRAYARBPROC)               \
                            X(glVertexAttrib3fARB, PFNGLVERTEXATTRIB3FARBPROC)
#define NV_REAL_CORE(name) decltype(&::name) name = nullptr;
#define NV_REAL_EXT(name, type) type name = nullptr;
    NV_REAL_CORE_LIST(NV_REAL_CORE)
    NV_REAL_EXT_LIST(NV_REAL_EXT)
#undef NV_REAL_CORE
#undef NV_REAL_EXT
};

RealGL real;
bool combinersEmulated = false;
bool programsEmulated = false;
bool shadowTargets = false; // ARB_fragment_program_shadow: depth comparison in programs
int textureUnitCount = 4;   // units GL has (at most kNvTextureUnits are followed)
int programsCompiled = 0;
int vertexProgramsLoaded = 0;

void* Proc(const char* name) {
    void* p = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GL_GetProcAddress(name) : nullptr;
    if (!p) p = reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
    return p;
}

void FetchReal() {
#define NV_FETCH_CORE(name) real.name = reinterpret_cast<decltype(&::name)>(Proc(#name));
#define NV_FETCH_EXT(name, type) real.name = reinterpret_cast<type>(Proc(#name));
    NV_REAL_CORE_LIST(NV_FETCH_CORE)
    NV_REAL_EXT_LIST(NV_FETCH_EXT)
#undef NV_FETCH_CORE
#undef NV_FETCH_EXT
}

// ---------------------------------------------------------------------------
// Per-context state.

constexpr int kTrackSlots = kNvProgramParameters / 4;
constexpr int kAttribStackDepth = 16;

struct TrackedMatrix {
    GLenum matrix = GL_NONE;
    GLenum transform = GL_IDENTITY_NV;
};

struct CachedProgram {
    NvCombinerProgramKey key;
    GLuint program;
};

struct ContextState {
    void* glContext = nullptr;
    NvCombinerState combiners;
    bool shapeDirty = true;        // stages / inputs / outputs changed since the last draw
    uint32_t constantsDirty = ~0u; // bit per env parameter slot to upload
    NvCombinerUsage usage = {1, false};
    uint8_t lastTargets[kNvTextureUnits] = {};
    uint8_t lastFog = 0;
    GLuint boundFragmentProgram = 0;
    bool fragmentProgramOn = false; // our fragment program is enabled
    std::unordered_map<uint64_t, std::vector<CachedProgram>> cache;
    int cached = 0;
    std::string lastText;

    TrackedMatrix tracked[kTrackSlots];
    int trackedCount = 0;

    uint8_t attribStack[kAttribStackDepth] = {};
    bool attribPushed[kAttribStackDepth] = {};
    // The combiner registers, stages and constants belong to the texture
    // attribute group, as the extension places them.
    NvCombinerState combinerStack[kAttribStackDepth];
    bool combinersPushed[kAttribStackDepth] = {};
    int attribDepth = 0;

    GLenum pendingError = GL_NO_ERROR;

    // The texture targets enabled on units 0-3 (bits: 1 1D, 2 2D, 4 3D, 8 cube
    // map), followed through the wrapped glEnable / glDisable /
    // glActiveTextureARB; read from GL again after glPopAttrib.
    uint8_t textureEnables[kNvTextureUnits] = {};
    GLenum activeUnit = GL_TEXTURE0_ARB;
    bool texturesKnown = false;
    // Per unit: whether the 2D texture bound there compares depths (bit set
    // in compareOn), valid for the units whose bit is set in compareKnown.
    // Binding a texture, changing a comparison or deleting a texture makes
    // it unknown; it is read from GL again when a program needs it.
    uint8_t compareKnown = 0;
    uint8_t compareOn = 0;

    ContextState() { NvCombinerStateReset(combiners); }
};

std::vector<std::unique_ptr<ContextState>> contexts;
ContextState* lastState = nullptr;

ContextState& State() {
    void* current = reinterpret_cast<void*>(glXGetCurrentContext());
    if (lastState && lastState->glContext == current) return *lastState;
    for (auto& c : contexts)
        if (c->glContext == current) {
            lastState = c.get();
            return *c;
        }
    contexts.push_back(std::make_unique<ContextState>());
    contexts.back()->glContext = current;
    lastState = contexts.back().get();
    return *lastState;
}

void SetError(GLenum error) {
    ContextState& s = State();
    if (error != GL_NO_ERROR && s.pendingError == GL_NO_ERROR) s.pendingError = error;
}

// ---------------------------------------------------------------------------
// Register combiners.

void APIENTRY EmuCombinerParameterfvNV(GLenum pname, const GLfloat* params) {
    ContextState& s = State();
    uint32_t error = NvCombinerParameterfv(s.combiners, pname, params);
    SetError(error);
    if (error) return;
    if (pname == GL_CONSTANT_COLOR0_NV || pname == GL_CONSTANT_COLOR1_NV) {
        s.constantsDirty |= 1u << (pname - GL_CONSTANT_COLOR0_NV);
    } else {
        s.shapeDirty = true;
    }
}

void APIENTRY EmuCombinerParameterfNV(GLenum pname, GLfloat param) {
    if (pname == GL_CONSTANT_COLOR0_NV || pname == GL_CONSTANT_COLOR1_NV) {
        SetError(GL_INVALID_ENUM); // a colour needs the vector form
        return;
    }
    GLfloat v[4] = {param, 0, 0, 0};
    EmuCombinerParameterfvNV(pname, v);
}

void APIENTRY EmuCombinerParameterivNV(GLenum pname, const GLint* params) {
    GLfloat v[4] = {float(params[0]), 0, 0, 0};
    if (pname == GL_CONSTANT_COLOR0_NV || pname == GL_CONSTANT_COLOR1_NV)
        for (int i = 0; i < 4; i++) // integer colours: the full positive range maps to [0, 1]
            v[i] = float(double(params[i]) / 2147483647.0);
    EmuCombinerParameterfvNV(pname, v);
}

void APIENTRY EmuCombinerParameteriNV(GLenum pname, GLint param) {
    if (pname == GL_CONSTANT_COLOR0_NV || pname == GL_CONSTANT_COLOR1_NV) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    GLfloat v[4] = {float(param), 0, 0, 0};
    EmuCombinerParameterfvNV(pname, v);
}

void APIENTRY EmuCombinerInputNV(GLenum stage, GLenum portion, GLenum variable, GLenum input, GLenum mapping,
                                 GLenum componentUsage) {
    ContextState& s = State();
    uint32_t error =
        NvCombinerInputSet(s.combiners, stage, portion, variable, input, mapping, componentUsage);
    SetError(error);
    s.shapeDirty |= error == 0;
}

void APIENTRY EmuCombinerOutputNV(GLenum stage, GLenum portion, GLenum abOutput, GLenum cdOutput,
                                  GLenum sumOutput, GLenum scale, GLenum bias, GLboolean abDotProduct,
                                  GLboolean cdDotProduct, GLboolean muxSum) {
    ContextState& s = State();
    uint32_t error = NvCombinerOutputSet(s.combiners, stage, portion, abOutput, cdOutput, sumOutput, scale,
                                         bias, abDotProduct != 0, cdDotProduct != 0, muxSum != 0);
    SetError(error);
    s.shapeDirty |= error == 0;
}

void APIENTRY EmuFinalCombinerInputNV(GLenum variable, GLenum input, GLenum mapping, GLenum componentUsage) {
    ContextState& s = State();
    uint32_t error = NvFinalCombinerInputSet(s.combiners, variable, input, mapping, componentUsage);
    SetError(error);
    s.shapeDirty |= error == 0;
}

void APIENTRY EmuCombinerStageParameterfvNV(GLenum stage, GLenum pname, const GLfloat* params) {
    ContextState& s = State();
    uint32_t error = NvCombinerStageParameterfv(s.combiners, stage, pname, params);
    SetError(error);
    if (error == 0)
        s.constantsDirty |= 1u << (2 + 2 * (stage - GL_COMBINER0_NV) + (pname - GL_CONSTANT_COLOR0_NV));
}

uint8_t TargetBit(GLenum cap) {
    switch (cap) {
    case GL_TEXTURE_1D:
        return 1;
    case GL_TEXTURE_2D:
        return 2;
    case GL_TEXTURE_3D:
        return 4;
    case GL_TEXTURE_CUBE_MAP_ARB:
        return 8;
    default:
        return 0;
    }
}

// Reads the enabled texture targets of units 0-3 and the active unit from GL.
void QueryTextures(ContextState& s) {
    GLint active = GL_TEXTURE0_ARB;
    real.glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    static const GLenum caps[4] = {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP_ARB};
    for (int u = 0; u < kNvTextureUnits; u++)
        s.textureEnables[u] = 0;
    for (int u = 0; u < textureUnitCount; u++) {
        real.glActiveTextureARB(GL_TEXTURE0_ARB + u);
        s.textureEnables[u] = 0;
        for (GLenum cap : caps)
            if (real.glIsEnabled(cap)) s.textureEnables[u] |= TargetBit(cap);
    }
    real.glActiveTextureARB(GLenum(active));
    s.activeUnit = GLenum(active);
    s.texturesKnown = true;
}

// Whether the 2D texture bound on a unit is a depth texture that compares.
bool QueryCompare(int unit) {
    GLint active = GL_TEXTURE0_ARB;
    real.glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    real.glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit));
    GLint mode = 0, format = 0;
    real.glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB, &mode);
    real.glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    real.glActiveTextureARB(GLenum(active));
    bool depth = format == GL_DEPTH_COMPONENT || format == GL_DEPTH_COMPONENT16 ||
                 format == GL_DEPTH_COMPONENT24 || format == GL_DEPTH_COMPONENT32;
    return depth && mode == GL_COMPARE_R_TO_TEXTURE_ARB;
}

// The target a texture unit samples, by the fixed-function priority.
uint8_t UnitTarget(ContextState& s, int unit) {
    uint8_t bits = s.textureEnables[unit];
    if (bits & 8) return ntCube;
    if (bits & 4) return nt3D;
    if (bits & 2) {
        if (!shadowTargets) return nt2D;
        uint8_t bit = uint8_t(1u << unit);
        if (!(s.compareKnown & bit)) {
            if (QueryCompare(unit))
                s.compareOn |= bit;
            else
                s.compareOn &= uint8_t(~bit);
            s.compareKnown |= bit;
        }
        return (s.compareOn & bit) ? ntShadow2D : nt2D;
    }
    if (bits & 1) return nt1D;
    return ntNone;
}

GLuint FindOrCompile(ContextState& s, const NvCombinerProgramKey& key) {
    uint64_t hash = NvCombinerKeyHash(key);
    std::vector<CachedProgram>& bucket = s.cache[hash];
    for (const CachedProgram& c : bucket)
        if (NvCombinerKeyEqual(c.key, key)) return c.program;
    s.lastText = NvCompileCombiners(key);
    GLuint program = 0;
    real.glGenProgramsARB(1, &program);
    real.glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, program);
    while (real.glGetError() != GL_NO_ERROR) {
    }
    real.glProgramStringARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(s.lastText.size()),
                            s.lastText.data());
    if (real.glGetError() != GL_NO_ERROR) {
        const char* message = reinterpret_cast<const char*>(real.glGetString(GL_PROGRAM_ERROR_STRING_ARB));
        throw ENvProgramError(
            Format("The driver rejected the generated combiner program: %s", message ? message : ""));
    }
    programsCompiled++;
    s.cached++;
    bucket.push_back(CachedProgram{key, program});
    return program;
}

void UpdateCombiners(ContextState& s) {
    const NvCombinerState& st = s.combiners;
    if (!st.enabled) {
        if (s.fragmentProgramOn) {
            real.glDisable(GL_FRAGMENT_PROGRAM_ARB);
            s.fragmentProgramOn = false;
        }
        return;
    }
    if (s.shapeDirty) s.usage = NvCombinerUsageOf(st);
    // The texture targets and fog mode the program depends on.
    uint8_t targets[kNvTextureUnits] = {};
    if (!s.texturesKnown) QueryTextures(s);
    for (int u = 0; u < kNvTextureUnits; u++)
        if (s.usage.textureUnits & (1u << u)) targets[u] = UnitTarget(s, u);
    uint8_t fog = nfOff;
    if (s.usage.fog && real.glIsEnabled(GL_FOG)) {
        GLint mode = GL_EXP;
        real.glGetIntegerv(GL_FOG_MODE, &mode);
        fog = mode == GL_LINEAR ? nfLinear : mode == GL_EXP2 ? nfExp2 : nfExp;
    }
    if (s.shapeDirty || std::memcmp(targets, s.lastTargets, sizeof(targets)) != 0 || fog != s.lastFog) {
        NvCombinerProgramKey key;
        NvCombinerMakeKey(key, st, targets, NvFogMode(fog), !DrawAllWork());
        GLuint program = FindOrCompile(s, key);
        real.glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, program);
        s.boundFragmentProgram = program;
        std::memcpy(s.lastTargets, targets, sizeof(targets));
        s.lastFog = fog;
        s.shapeDirty = false;
    }
    if (!s.fragmentProgramOn) {
        real.glEnable(GL_FRAGMENT_PROGRAM_ARB);
        real.glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, s.boundFragmentProgram);
        s.fragmentProgramOn = true;
    }
    if (s.constantsDirty) {
        float env[kNvCombinerEnvParameters][4];
        NvCombinerEnvParameters(st, env);
        for (int i = 0; i < kNvCombinerEnvParameters; i++)
            if (s.constantsDirty & (1u << i))
                real.glProgramEnvParameter4fvARB(GL_FRAGMENT_PROGRAM_ARB, GLuint(i), env[i]);
        s.constantsDirty = 0;
    }
}

// ---------------------------------------------------------------------------
// Vertex programs.

void APIENTRY EmuGenProgramsNV(GLsizei n, GLuint* ids) {
    real.glGenProgramsARB(n, ids);
}

void APIENTRY EmuDeleteProgramsNV(GLsizei n, const GLuint* ids) {
    real.glDeleteProgramsARB(n, ids);
}

void APIENTRY EmuBindProgramNV(GLenum target, GLuint id) {
    if (target != GL_VERTEX_PROGRAM_NV) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    real.glBindProgramARB(GL_VERTEX_PROGRAM_ARB, id);
}

void APIENTRY EmuExecuteProgramNV(GLenum, GLuint, const GLfloat*) {
    SetError(GL_INVALID_OPERATION);
}

void APIENTRY EmuLoadProgramNV(GLenum target, GLuint id, GLsizei len, const GLubyte* program) {
    if (target != GL_VERTEX_PROGRAM_NV) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    if (len < 0 || !program) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    std::string text;
    try {
        text =
            NvTranslateVertexProgram(std::string_view(reinterpret_cast<const char*>(program), size_t(len)));
    } catch (const ENvProgramError& e) {
        SetError(GL_INVALID_OPERATION);
        throw ENvProgramError(Format("Vertex program %u: %s", id, e.what()));
    }
    GLint previous = 0;
    real.glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &previous);
    real.glBindProgramARB(GL_VERTEX_PROGRAM_ARB, id);
    while (real.glGetError() != GL_NO_ERROR) {
    }
    real.glProgramStringARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, GLsizei(text.size()),
                            text.data());
    vertexProgramsLoaded++;
    GLenum error = real.glGetError();
    real.glBindProgramARB(GL_VERTEX_PROGRAM_ARB, GLuint(previous));
    if (error != GL_NO_ERROR) {
        SetError(GL_INVALID_OPERATION);
        const char* message = reinterpret_cast<const char*>(real.glGetString(GL_PROGRAM_ERROR_STRING_ARB));
        throw ENvProgramError(
            Format("Vertex program %u: the driver rejected the translation: %s", id, message ? message : ""));
    }
}

void APIENTRY EmuProgramParameter4fvNV(GLenum target, GLuint index, const GLfloat* v) {
    if (target != GL_VERTEX_PROGRAM_NV) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    if (index >= GLuint(kNvProgramParameters)) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    real.glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, index, v);
}

void APIENTRY EmuProgramParameter4fNV(GLenum target, GLuint index, GLfloat x, GLfloat y, GLfloat z,
                                      GLfloat w) {
    GLfloat v[4] = {x, y, z, w};
    EmuProgramParameter4fvNV(target, index, v);
}

void APIENTRY EmuProgramParameter4dNV(GLenum target, GLuint index, GLdouble x, GLdouble y, GLdouble z,
                                      GLdouble w) {
    GLfloat v[4] = {GLfloat(x), GLfloat(y), GLfloat(z), GLfloat(w)};
    EmuProgramParameter4fvNV(target, index, v);
}

void APIENTRY EmuProgramParameter4dvNV(GLenum target, GLuint index, const GLdouble* d) {
    GLfloat v[4] = {GLfloat(d[0]), GLfloat(d[1]), GLfloat(d[2]), GLfloat(d[3])};
    EmuProgramParameter4fvNV(target, index, v);
}

void APIENTRY EmuProgramParameters4fvNV(GLenum target, GLuint index, GLsizei count, const GLfloat* v) {
    if (count < 0 || index + GLuint(count) > GLuint(kNvProgramParameters)) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    for (GLsizei i = 0; i < count; i++)
        EmuProgramParameter4fvNV(target, index + GLuint(i), v + 4 * i);
}

void APIENTRY EmuProgramParameters4dvNV(GLenum target, GLuint index, GLsizei count, const GLdouble* v) {
    if (count < 0 || index + GLuint(count) > GLuint(kNvProgramParameters)) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    for (GLsizei i = 0; i < count; i++)
        EmuProgramParameter4dvNV(target, index + GLuint(i), v + 4 * i);
}

void APIENTRY EmuTrackMatrixNV(GLenum target, GLuint address, GLenum matrix, GLenum transform) {
    if (target != GL_VERTEX_PROGRAM_NV) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    if (address % 4 != 0 || address >= GLuint(kNvProgramParameters)) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    bool matrixOk = matrix == GL_NONE || matrix == GL_MODELVIEW || matrix == GL_PROJECTION ||
                    matrix == GL_TEXTURE || matrix == GL_MODELVIEW_PROJECTION_NV ||
                    (matrix >= GL_TEXTURE0_ARB && matrix <= GL_TEXTURE7_ARB) ||
                    (matrix >= GL_MATRIX0_NV && matrix <= GL_MATRIX7_NV);
    bool transformOk = transform == GL_IDENTITY_NV || transform == GL_INVERSE_NV ||
                       transform == GL_TRANSPOSE_NV || transform == GL_INVERSE_TRANSPOSE_NV;
    if (!matrixOk || !transformOk) {
        SetError(GL_INVALID_ENUM);
        return;
    }
    ContextState& s = State();
    TrackedMatrix& t = s.tracked[address / 4];
    if (t.matrix == GL_NONE && matrix != GL_NONE)
        s.trackedCount++;
    else if (t.matrix != GL_NONE && matrix == GL_NONE)
        s.trackedCount--;
    t.matrix = matrix;
    t.transform = transform;
}

// Column-major 4x4 helpers.
void Multiply(const float a[16], const float b[16], float out[16]) {
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++) {
            float sum = 0;
            for (int k = 0; k < 4; k++)
                sum += a[k * 4 + r] * b[c * 4 + k];
            out[c * 4 + r] = sum;
        }
}

void Transpose(const float m[16], float out[16]) {
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++)
            out[c * 4 + r] = m[r * 4 + c];
}

// General inverse by cofactors; a singular matrix gives zeros.
void Inverse(const float m[16], float out[16]) {
    double inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    double scale = det != 0.0 ? 1.0 / det : 0.0;
    for (int i = 0; i < 16; i++)
        out[i] = float(inv[i] * scale);
}

void ReadTextureMatrix(GLenum unit, float out[16]) {
    GLint active = GL_TEXTURE0_ARB;
    real.glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    real.glActiveTextureARB(unit);
    real.glGetFloatv(GL_TEXTURE_MATRIX, out);
    real.glActiveTextureARB(GLenum(active));
}

void UpdateTrackedMatrices(ContextState& s) {
    if (s.trackedCount == 0 || !real.glIsEnabled(GL_VERTEX_PROGRAM_ARB)) return;
    for (int slot = 0; slot < kTrackSlots; slot++) {
        const TrackedMatrix& t = s.tracked[slot];
        if (t.matrix == GL_NONE) continue;
        float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        switch (t.matrix) {
        case GL_MODELVIEW:
            real.glGetFloatv(GL_MODELVIEW_MATRIX, m);
            break;
        case GL_PROJECTION:
            real.glGetFloatv(GL_PROJECTION_MATRIX, m);
            break;
        case GL_TEXTURE:
            real.glGetFloatv(GL_TEXTURE_MATRIX, m);
            break;
        case GL_MODELVIEW_PROJECTION_NV: {
            float mv[16], p[16];
            real.glGetFloatv(GL_MODELVIEW_MATRIX, mv);
            real.glGetFloatv(GL_PROJECTION_MATRIX, p);
            Multiply(p, mv, m);
            break;
        }
        default:
            if (t.matrix >= GL_TEXTURE0_ARB && t.matrix <= GL_TEXTURE7_ARB) ReadTextureMatrix(t.matrix, m);
            break; // program matrices are not kept: identity
        }
        float result[16];
        switch (t.transform) {
        case GL_TRANSPOSE_NV:
            Transpose(m, result);
            break;
        case GL_INVERSE_NV:
            Inverse(m, result);
            break;
        case GL_INVERSE_TRANSPOSE_NV: {
            float inv[16];
            Inverse(m, inv);
            Transpose(inv, result);
            break;
        }
        default:
            std::memcpy(result, m, sizeof(result));
            break;
        }
        // Register address + r holds row r.
        for (int r = 0; r < 4; r++) {
            float row[4] = {result[r], result[4 + r], result[8 + r], result[12 + r]};
            real.glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, GLuint(slot * 4 + r), row);
        }
    }
}

// Attribute arrays and current values by the NV aliasing.
void WithClientUnit(int unit, void (*f)(void*), void* arg) {
    GLint previous = GL_TEXTURE0_ARB;
    real.glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &previous);
    real.glClientActiveTextureARB(GL_TEXTURE0_ARB + GLenum(unit));
    f(arg);
    real.glClientActiveTextureARB(GLenum(previous));
}

struct PointerArgs {
    GLint size;
    GLenum type;
    GLsizei stride;
    const void* pointer;
};

void APIENTRY EmuVertexAttribPointerNV(GLuint index, GLint size, GLenum type, GLsizei stride,
                                       const void* pointer) {
    if (index >= 16) {
        SetError(GL_INVALID_VALUE);
        return;
    }
    switch (index) {
    case 0:
        real.glVertexPointer(size, type, stride, pointer);
        break;
    case 2:
        real.glNormalPointer(type, stride, pointer);
        break;
    case 3:
        real.glColorPointer(size, type, stride, pointer);
        break;
    case 4:
        real.glSecondaryColorPointerEXT(3, type, stride, pointer);
        break;
    case 5:
        real.glFogCoordPointerEXT(type, stride, pointer);
        break;
    default:
        if (index >= 8) {
            PointerArgs args = {size, type, stride, pointer};
            WithClientUnit(
                int(index - 8),
                [](void* p) {
                    PointerArgs* a = static_cast<PointerArgs*>(p);
                    real.glTexCoordPointer(a->size, a->type, a->stride, a->pointer);
                },
                &args);
        } else {
            // Unsigned bytes are normalised to [0, 1] as colours are.
            real.glVertexAttribPointerARB(index, size, type, type == GL_UNSIGNED_BYTE, stride, pointer);
        }
        break;
    }
}

void APIENTRY EmuVertexAttrib3fNV(GLuint index, GLfloat x, GLfloat y, GLfloat z) {
    switch (index) {
    case 0:
        real.glVertex3f(x, y, z);
        break;
    case 2:
        real.glNormal3f(x, y, z);
        break;
    case 3:
        real.glColor3f(x, y, z);
        break;
    case 4:
        real.glSecondaryColor3fEXT(x, y, z);
        break;
    case 5:
        real.glFogCoordfEXT(x);
        break;
    default:
        if (index >= 8 && index < 16)
            real.glMultiTexCoord3fARB(GL_TEXTURE0_ARB + (index - 8), x, y, z);
        else if (index < 16)
            real.glVertexAttrib3fARB(index, x, y, z);
        else
            SetError(GL_INVALID_VALUE);
        break;
    }
}

// Switches the array that an NV attribute array name stands for.
bool AttribArrayState(GLenum array, bool enable) {
    if (array < GL_VERTEX_ATTRIB_ARRAY0_NV || array > GL_VERTEX_ATTRIB_ARRAY15_NV) return false;
    GLuint index = array - GL_VERTEX_ATTRIB_ARRAY0_NV;
    auto client = enable ? real.glEnableClientState : real.glDisableClientState;
    switch (index) {
    case 0:
        client(GL_VERTEX_ARRAY);
        break;
    case 2:
        client(GL_NORMAL_ARRAY);
        break;
    case 3:
        client(GL_COLOR_ARRAY);
        break;
    case 4:
        client(GL_SECONDARY_COLOR_ARRAY_EXT);
        break;
    case 5:
        client(GL_FOG_COORDINATE_ARRAY_EXT);
        break;
    default:
        if (index >= 8) {
            GLint previous = GL_TEXTURE0_ARB;
            real.glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &previous);
            real.glClientActiveTextureARB(GL_TEXTURE0_ARB + (index - 8));
            client(GL_TEXTURE_COORD_ARRAY);
            real.glClientActiveTextureARB(GLenum(previous));
        } else if (enable) {
            real.glEnableVertexAttribArrayARB(index);
        } else {
            real.glDisableVertexAttribArrayARB(index);
        }
        break;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Wrapped core entry points.

void APIENTRY WrapEnableClientState(GLenum array) {
    if (!(programsEmulated && AttribArrayState(array, true))) real.glEnableClientState(array);
}

void APIENTRY WrapDisableClientState(GLenum array) {
    if (!(programsEmulated && AttribArrayState(array, false))) real.glDisableClientState(array);
}

bool SetCap(GLenum cap, bool on) {
    if (!combinersEmulated) return false;
    ContextState& s = State();
    if (cap == GL_REGISTER_COMBINERS_NV) {
        s.combiners.enabled = on;
        if (!on && s.fragmentProgramOn) {
            real.glDisable(GL_FRAGMENT_PROGRAM_ARB);
            s.fragmentProgramOn = false;
        }
        return true;
    }
    if (cap == GL_PER_STAGE_CONSTANTS_NV) {
        if (s.combiners.perStageConstants != on) {
            s.constantsDirty = ~0u;
            s.shapeDirty = true; // the program reads other slots
        }
        s.combiners.perStageConstants = on;
        return true;
    }
    return false;
}

// Follows the texture enables of units 0-3 for the combiner programs.
void NoteTextureEnable(GLenum cap, bool on) {
    uint8_t bit = TargetBit(cap);
    if (!bit || !combinersEmulated) return;
    ContextState& s = State();
    GLuint unit = s.activeUnit - GL_TEXTURE0_ARB;
    if (!s.texturesKnown || unit >= GLuint(kNvTextureUnits)) return;
    if (on)
        s.textureEnables[unit] |= bit;
    else
        s.textureEnables[unit] &= uint8_t(~bit);
}

void APIENTRY WrapEnable(GLenum cap) {
    if (!SetCap(cap, true)) {
        real.glEnable(cap);
        NoteTextureEnable(cap, true);
    }
}

void APIENTRY WrapDisable(GLenum cap) {
    if (!SetCap(cap, false)) {
        real.glDisable(cap);
        NoteTextureEnable(cap, false);
    }
}

void APIENTRY WrapBindTexture(GLenum target, GLuint texture) {
    real.glBindTexture(target, texture);
    ContextState& s = State();
    GLuint unit = s.activeUnit - GL_TEXTURE0_ARB;
    if (target == GL_TEXTURE_2D && unit < GLuint(kNvTextureUnits)) s.compareKnown &= uint8_t(~(1u << unit));
}

void APIENTRY WrapTexParameteri(GLenum target, GLenum pname, GLint param) {
    real.glTexParameteri(target, pname, param);
    // The texture may be bound on other units as well.
    if (pname == GL_TEXTURE_COMPARE_MODE_ARB) State().compareKnown = 0;
}

void APIENTRY WrapDeleteTextures(GLsizei n, const GLuint* textures) {
    real.glDeleteTextures(n, textures);
    State().compareKnown = 0;
}

void APIENTRY WrapActiveTextureARB(GLenum unit) {
    real.glActiveTextureARB(unit);
    if (combinersEmulated) State().activeUnit = unit;
}

GLboolean APIENTRY WrapIsEnabled(GLenum cap) {
    if (combinersEmulated && cap == GL_REGISTER_COMBINERS_NV) return State().combiners.enabled;
    if (combinersEmulated && cap == GL_PER_STAGE_CONSTANTS_NV) return State().combiners.perStageConstants;
    return real.glIsEnabled(cap);
}

GLenum APIENTRY WrapGetError() {
    ContextState& s = State();
    if (s.pendingError != GL_NO_ERROR) {
        GLenum e = s.pendingError;
        s.pendingError = GL_NO_ERROR;
        return e;
    }
    return real.glGetError();
}

// The enable bits of the emulated capabilities follow glPushAttrib /
// glPopAttrib(GL_ENABLE_BIT) as the native ones would.
void APIENTRY WrapPushAttrib(GLbitfield mask) {
    real.glPushAttrib(mask);
    ContextState& s = State();
    if (s.attribDepth < kAttribStackDepth) {
        s.attribPushed[s.attribDepth] = (mask & GL_ENABLE_BIT) != 0;
        s.attribStack[s.attribDepth] = uint8_t(s.combiners.enabled | (s.combiners.perStageConstants << 1));
        s.combinersPushed[s.attribDepth] = (mask & GL_TEXTURE_BIT) != 0;
        if (mask & GL_TEXTURE_BIT) s.combinerStack[s.attribDepth] = s.combiners;
    }
    s.attribDepth++;
}

void APIENTRY WrapPopAttrib() {
    real.glPopAttrib();
    ContextState& s = State();
    // The pop restores the fragment program enable of the push; the engine
    // uses fragment programs only through the emulation, so that is ours.
    // Texture enables and the active unit may have changed too.
    s.fragmentProgramOn = real.glIsEnabled(GL_FRAGMENT_PROGRAM_ARB) != 0;
    s.texturesKnown = false;
    s.compareKnown = 0;
    if (s.attribDepth == 0) return;
    s.attribDepth--;
    if (s.attribDepth < kAttribStackDepth && s.combinersPushed[s.attribDepth]) {
        // The enables follow the enable group below, not this one.
        const uint8_t enabled = s.combiners.enabled, perStage = s.combiners.perStageConstants;
        s.combiners = s.combinerStack[s.attribDepth];
        s.combiners.enabled = enabled;
        s.combiners.perStageConstants = perStage;
        s.shapeDirty = true;
        s.constantsDirty = ~0u;
    }
    if (s.attribDepth < kAttribStackDepth && s.attribPushed[s.attribDepth]) {
        uint8_t bits = s.attribStack[s.attribDepth];
        SetCap(GL_REGISTER_COMBINERS_NV, (bits & 1) != 0);
        SetCap(GL_PER_STAGE_CONSTANTS_NV, (bits & 2) != 0);
    }
}

void APIENTRY WrapBegin(GLenum mode) {
    NvEmulationBeforeDraw();
    real.glBegin(mode);
}

void APIENTRY WrapDrawArrays(GLenum mode, GLint first, GLsizei count) {
    NvEmulationBeforeDraw();
    real.glDrawArrays(mode, first, count);
}

void APIENTRY WrapDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
    NvEmulationBeforeDraw();
    real.glDrawElements(mode, count, type, indices);
}

void APIENTRY WrapDrawRangeElementsEXT(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type,
                                       const void* indices) {
    NvEmulationBeforeDraw();
    real.glDrawRangeElementsEXT(mode, start, end, count, type, indices);
}

void APIENTRY WrapCallList(GLuint list) {
    NvEmulationBeforeDraw();
    real.glCallList(list);
}

void APIENTRY WrapCallLists(GLsizei n, GLenum type, const void* lists) {
    NvEmulationBeforeDraw();
    real.glCallLists(n, type, lists);
}

bool ForcedByEnvironment() {
    const char* v = std::getenv("ZUMBRIX_EMULATE_NV");
    return v && std::strcmp(v, "1") == 0;
}

} // namespace

void InstallNvEmulation(T3dGLEntryPoints& gl, T3dGLFlags& flags) {
    // The device makes its vertex programs through this factory.
    GVertexProgramFactory = CreateOpenglVertexProgram;
    FetchReal();
    // The probe runs when a device's first context is current: start it fresh.
    NvEmulationContextDestroyed(reinterpret_cast<void*>(glXGetCurrentContext()));
    const char* extensions =
        reinterpret_cast<const char*>(real.glGetString ? real.glGetString(GL_EXTENSIONS) : nullptr);
    if (!extensions) extensions = "";
    bool forced = ForcedByEnvironment();
    bool haveFragment = HasExtension(extensions, "GL_ARB_fragment_program") && real.glProgramStringARB &&
                        real.glActiveTextureARB;
    bool haveVertex = HasExtension(extensions, "GL_ARB_vertex_program") && real.glProgramStringARB &&
                      real.glVertexAttribPointerARB;
    bool nativeCombiners = HasExtension(extensions, "GL_NV_register_combiners") && gl.glCombinerInputNV;
    bool nativePrograms = HasExtension(extensions, "GL_NV_vertex_program") && gl.glLoadProgramNV;
    combinersEmulated = haveFragment && (forced || !nativeCombiners);
    shadowTargets = HasExtension(extensions, "GL_ARB_fragment_program_shadow");
    GLint units = 1;
    if (real.glActiveTextureARB) real.glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    textureUnitCount = std::max(1, std::min(int(units), kNvTextureUnits));
    programsEmulated = haveVertex && (forced || !nativePrograms);
    if (combinersEmulated) {
        gl.glCombinerParameterfvNV = EmuCombinerParameterfvNV;
        gl.glCombinerParameterfNV = EmuCombinerParameterfNV;
        gl.glCombinerParameterivNV = EmuCombinerParameterivNV;
        gl.glCombinerParameteriNV = EmuCombinerParameteriNV;
        gl.glCombinerInputNV = EmuCombinerInputNV;
        gl.glCombinerOutputNV = EmuCombinerOutputNV;
        gl.glFinalCombinerInputNV = EmuFinalCombinerInputNV;
        gl.glCombinerStageParameterfvNV = EmuCombinerStageParameterfvNV;
        gl.glActiveTextureARB = WrapActiveTextureARB;
        gl.glBindTexture = WrapBindTexture;
        gl.glTexParameteri = WrapTexParameteri;
        gl.glDeleteTextures = WrapDeleteTextures;
        flags.RegisterCombiners |= glfUsable;
        flags.RegisterCombiners2 |= glfUsable;
    }
    if (programsEmulated) {
        gl.glGenProgramsNV = EmuGenProgramsNV;
        gl.glDeleteProgramsNV = EmuDeleteProgramsNV;
        gl.glBindProgramNV = EmuBindProgramNV;
        gl.glExecuteProgramNV = EmuExecuteProgramNV;
        gl.glLoadProgramNV = EmuLoadProgramNV;
        gl.glProgramParameter4fNV = EmuProgramParameter4fNV;
        gl.glProgramParameter4dNV = EmuProgramParameter4dNV;
        gl.glProgramParameter4fvNV = EmuProgramParameter4fvNV;
        gl.glProgramParameter4dvNV = EmuProgramParameter4dvNV;
        gl.glProgramParameters4fvNV = EmuProgramParameters4fvNV;
        gl.glProgramParameters4dvNV = EmuProgramParameters4dvNV;
        gl.glTrackMatrixNV = EmuTrackMatrixNV;
        gl.glVertexAttribPointerNV = EmuVertexAttribPointerNV;
        gl.glVertexAttrib3fNV = EmuVertexAttrib3fNV;
        gl.glEnableClientState = WrapEnableClientState;
        gl.glDisableClientState = WrapDisableClientState;
        flags.VertexProgram |= glfUsable;
    }
    if (combinersEmulated || programsEmulated) {
        gl.glEnable = WrapEnable;
        gl.glDisable = WrapDisable;
        gl.glIsEnabled = WrapIsEnabled;
        gl.glGetError = WrapGetError;
        gl.glPushAttrib = WrapPushAttrib;
        gl.glPopAttrib = WrapPopAttrib;
        gl.glBegin = WrapBegin;
        gl.glDrawArrays = WrapDrawArrays;
        gl.glDrawElements = WrapDrawElements;
        if (real.glDrawRangeElementsEXT && gl.glDrawRangeElementsEXT)
            gl.glDrawRangeElementsEXT = WrapDrawRangeElementsEXT;
        gl.glCallList = WrapCallList;
        gl.glCallLists = WrapCallLists;
    }
}

bool NvCombinersEmulated() {
    return combinersEmulated;
}
bool NvVertexProgramsEmulated() {
    return programsEmulated;
}

void NvEmulationBeforeDraw() {
    if (!combinersEmulated && !programsEmulated) return;
    ContextState& s = State();
    if (combinersEmulated) UpdateCombiners(s);
    if (programsEmulated) UpdateTrackedMatrices(s);
}

void NvEmulationContextDestroyed(void* glContext) {
    for (size_t i = 0; i < contexts.size(); i++)
        if (contexts[i]->glContext == glContext) {
            if (lastState == contexts[i].get()) lastState = nullptr;
            contexts.erase(contexts.begin() + long(i));
            return;
        }
}

const NvCombinerState* NvEmulationCombinerState() {
    if (!combinersEmulated || !glXGetCurrentContext()) return nullptr;
    return &State().combiners;
}

NvEmulationStats NvEmulationGetStats() {
    NvEmulationStats stats = {programsCompiled, 0, vertexProgramsLoaded};
    if (glXGetCurrentContext()) stats.programsCached = State().cached;
    return stats;
}

const char* NvEmulationLastProgramText() {
    if (!glXGetCurrentContext()) return "";
    return State().lastText.c_str();
}
