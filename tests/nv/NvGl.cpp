#include "tests/nv/NvGl.h"

#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"

#include <SDL.h>

#include <cstdlib>

namespace {

struct Holder {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    NvGlExtras extras = {};
    GLuint fbo[2] = {};
    GLuint color[2] = {};
    bool ok = false;
};

Holder* Make() {
    Holder* h = new Holder;
    if (!std::getenv("DISPLAY")) return h;
    setenv("ZUMBRIX_EMULATE_NV", "1", 1);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return h;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    h->window = SDL_CreateWindow("nv tests", 0, 0, kNvTargetSize, kNvTargetSize,
                                 SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!h->window) return h;
    h->context = SDL_GL_CreateContext(h->window);
    if (!h->context) return h;
    SDL_GL_MakeCurrent(h->window, h->context);
    LoadLibraries();
    ProbeExtensions(nullptr);
    if (!NvCombinersEmulated()) // the probe hands the table over; make sure it did
        InstallNvEmulation(GL, GLFlags);
    auto proc = [](const char* name) { return SDL_GL_GetProcAddress(name); };
    h->extras.glGenProgramsARB = reinterpret_cast<PFNGLGENPROGRAMSARBPROC>(proc("glGenProgramsARB"));
    h->extras.glBindProgramARB = reinterpret_cast<PFNGLBINDPROGRAMARBPROC>(proc("glBindProgramARB"));
    h->extras.glDeleteProgramsARB = reinterpret_cast<PFNGLDELETEPROGRAMSARBPROC>(proc("glDeleteProgramsARB"));
    h->extras.glProgramStringARB = reinterpret_cast<PFNGLPROGRAMSTRINGARBPROC>(proc("glProgramStringARB"));
    h->extras.glClampColorARB = reinterpret_cast<PFNGLCLAMPCOLORARBPROC>(proc("glClampColorARB"));
    h->extras.glSecondaryColor3ubEXT =
        reinterpret_cast<PFNGLSECONDARYCOLOR3UBEXTPROC>(proc("glSecondaryColor3ubEXT"));
    h->extras.glFogCoordfEXT = reinterpret_cast<PFNGLFOGCOORDFEXTPROC>(proc("glFogCoordfEXT"));
    for (int i = 0; i < 2; i++) {
        GL.glGenTextures(1, &h->color[i]);
        GL.glBindTexture(GL_TEXTURE_2D, h->color[i]);
        GL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        GL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        GL.glTexImage2D(GL_TEXTURE_2D, 0, i ? GL_RGBA32F_ARB : GL_RGBA8, kNvTargetSize, kNvTargetSize, 0,
                        GL_RGBA, GL_FLOAT, nullptr);
        GL.glGenFramebuffers(1, &h->fbo[i]);
        GL.glBindFramebuffer(GL_FRAMEBUFFER, h->fbo[i]);
        GL.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, h->color[i], 0);
    }
    GL.glBindTexture(GL_TEXTURE_2D, 0);
    h->ok = true;
    return h;
}

Holder& Get() {
    static Holder* h = Make();
    return *h;
}

} // namespace

const NvGlExtras* NvGlContext() {
    Holder& h = Get();
    return h.ok ? &h.extras : nullptr;
}

void NvBindTarget(bool floatTarget) {
    Holder& h = Get();
    GL.glBindFramebuffer(GL_FRAMEBUFFER, h.fbo[floatTarget ? 1 : 0]);
    GL.glViewport(0, 0, kNvTargetSize, kNvTargetSize);
    GL.glMatrixMode(GL_PROJECTION);
    GL.glLoadIdentity();
    GL.glOrtho(0, kNvTargetSize, 0, kNvTargetSize, -10, 10);
    GL.glMatrixMode(GL_MODELVIEW);
    GL.glLoadIdentity();
    if (h.extras.glClampColorARB) {
        GLboolean clamp = floatTarget ? GL_FALSE : GL_TRUE;
        h.extras.glClampColorARB(GL_CLAMP_VERTEX_COLOR_ARB, clamp);
        h.extras.glClampColorARB(GL_CLAMP_FRAGMENT_COLOR_ARB, clamp);
    }
    GL.glClearColor(0, 0, 0, 0);
    GL.glClear(GL_COLOR_BUFFER_BIT);
}

std::vector<float> NvReadTarget() {
    std::vector<float> pixels(size_t(kNvTargetSize) * kNvTargetSize * 4);
    GL.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    GL.glReadPixels(0, 0, kNvTargetSize, kNvTargetSize, GL_RGBA, GL_FLOAT, pixels.data());
    return pixels;
}

void NvResetState() {
    GL.glDisable(GL_REGISTER_COMBINERS_NV);
    GL.glDisable(GL_PER_STAGE_CONSTANTS_NV);
    GL.glDisable(GL_VERTEX_PROGRAM_NV);
    GL.glDisable(GL_FOG);
    GL.glDisable(GL_LIGHTING);
    GL.glDisable(GL_BLEND);
    GL.glDisable(GL_DEPTH_TEST);
    GL.glDisable(GL_CULL_FACE);
    for (int u = 3; u >= 0; u--) {
        GL.glActiveTextureARB(GL_TEXTURE0_ARB + u);
        GL.glDisable(GL_TEXTURE_1D);
        GL.glDisable(GL_TEXTURE_2D);
        GL.glDisable(GL_TEXTURE_3D);
        GL.glDisable(GL_TEXTURE_CUBE_MAP_ARB);
        GL.glBindTexture(GL_TEXTURE_2D, 0);
        GL.glMatrixMode(GL_TEXTURE);
        GL.glLoadIdentity();
    }
    GL.glMatrixMode(GL_MODELVIEW);
    for (int i = 0; i < 24; i++)
        GL.glTrackMatrixNV(GL_VERTEX_PROGRAM_NV, GLuint(i * 4), GL_NONE, GL_IDENTITY_NV);
    for (int i = 0; i < 16; i++)
        GL.glDisableClientState(GL_VERTEX_ATTRIB_ARRAY0_NV + i);
    GL.glColor4f(1, 1, 1, 1);
    GL.glShadeModel(GL_SMOOTH);
}
