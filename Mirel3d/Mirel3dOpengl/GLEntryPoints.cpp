#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"

#include <SDL.h>
#include <cstring>
#include <dlfcn.h>

#if __has_include("Mirel3d/Mirel3dOpengl/NvEmulation.h")
#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"
#define ZUMBRIX_HAVE_NV_EMULATION 1
#endif

T3dGLEntryPoints GL;
T3dGLFlags GLFlags;

namespace {

void* gGLLibrary = nullptr; // set when SDL could not load GL and we opened it ourselves
bool gSdlGL = false;        // GL loaded through SDL
void* gGluLibrary = nullptr;

using TGetProc = void* (*)(const char*);
TGetProc gGlxGetProcAddress = nullptr;

void* FetchGL(const char* name) {
    if (gSdlGL) return SDL_GL_GetProcAddress(name);
    void* p = nullptr;
    if (gGlxGetProcAddress) p = gGlxGetProcAddress(name);
    if (!p && gGLLibrary) p = dlsym(gGLLibrary, name);
    return p;
}

template <class T> void Fetch(T& pointer, const char* name) {
    pointer = reinterpret_cast<T>(FetchGL(name));
}

// Sets a flag to 6 when the extension is listed, else 0.
uint8_t Listed(const char* list, const char* name) {
    return HasExtension(list, name) ? 6 : 0;
}

} // namespace

bool HasExtension(const char* list, const char* name) {
    if (!list || !name || !*name || std::strchr(name, ' ')) return false;
    size_t len = std::strlen(name);
    const char* p = list;
    while ((p = std::strstr(p, name)) != nullptr) {
        bool startOk = p == list || p[-1] == ' ';
        bool endOk = p[len] == ' ' || p[len] == '\0';
        if (startOk && endOk) return true;
        p += len;
    }
    return false;
}

bool LoadLibraries() {
    // GL: through SDL when its video part runs, otherwise opened directly.
    gSdlGL = false;
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GL_LoadLibrary(nullptr) == 0) {
        gSdlGL = true;
    } else {
        if (!gGLLibrary) gGLLibrary = dlopen("libGL.so.1", RTLD_NOW | RTLD_GLOBAL);
        gGlxGetProcAddress =
            gGLLibrary ? reinterpret_cast<TGetProc>(dlsym(gGLLibrary, "glXGetProcAddressARB")) : nullptr;
    }
    if (!gGluLibrary) gGluLibrary = dlopen("libGLU.so.1", RTLD_NOW | RTLD_GLOBAL);
    if (!gSdlGL && !gGLLibrary && !gGluLibrary) return false;

#define ZUMBRIX_GL_FETCH_CORE(name) Fetch(GL.name, #name);
    ZUMBRIX_GL_CORE(ZUMBRIX_GL_FETCH_CORE)
#undef ZUMBRIX_GL_FETCH_CORE
    // OpenGL 1.2 lists glTexImage3D in the library; the probe replaces it.
    Fetch(GL.glTexImage3D, "glTexImage3D");
    if (gGluLibrary) {
        GL.gluPerspective = reinterpret_cast<TGluPerspective>(dlsym(gGluLibrary, "gluPerspective"));
        GL.gluLookAt = reinterpret_cast<TGluLookAt>(dlsym(gGluLibrary, "gluLookAt"));
        GL.gluBuild2DMipmaps = reinterpret_cast<TGluBuild2DMipmaps>(dlsym(gGluLibrary, "gluBuild2DMipmaps"));
    }
    return true;
}

void ProbeExtensions(const char* ws) {
    T3dGLFlags& f = GLFlags;
    // (1) The GL extension list.
    const char* ext = reinterpret_cast<const char*>(GL.glGetString ? GL.glGetString(GL_EXTENSIONS) : nullptr);
    if (!ext) ext = "";

    // (2)
    f.TextureCompression = Listed(ext, "GL_ARB_texture_compression");
    f.SeparateSpecular = Listed(ext, "GL_EXT_separate_specular_color");
    f.EXTCombine = Listed(ext, "GL_EXT_texture_env_combine");
    f.ARBCombine = Listed(ext, "GL_ARB_texture_env_combine");
    f.Dot3 = Listed(ext, "GL_ARB_texture_env_dot3");

    // (3) Multitexture: usable exactly when all seven entry points exist.
    f.Multitexture = 0;
    Fetch(GL.glActiveTextureARB, "glActiveTextureARB");
    Fetch(GL.glClientActiveTextureARB, "glClientActiveTextureARB");
    Fetch(GL.glMultiTexCoord1fARB, "glMultiTexCoord1fARB");
    Fetch(GL.glMultiTexCoord2fARB, "glMultiTexCoord2fARB");
    Fetch(GL.glMultiTexCoord3fARB, "glMultiTexCoord3fARB");
    Fetch(GL.glMultiTexCoord4fARB, "glMultiTexCoord4fARB");
    Fetch(GL.glMultiTexCoord2fvARB, "glMultiTexCoord2fvARB");
    if (GL.glActiveTextureARB && GL.glClientActiveTextureARB && GL.glMultiTexCoord1fARB &&
        GL.glMultiTexCoord2fARB && GL.glMultiTexCoord3fARB && GL.glMultiTexCoord4fARB &&
        GL.glMultiTexCoord2fvARB)
        f.Multitexture = glfUsable;
    if (HasExtension(ext, "GL_ARB_multitexture")) f.Multitexture |= glfAdvertised;

    // (4)
    f.CubeMap =
        HasExtension(ext, "GL_ARB_texture_cube_map") || HasExtension(ext, "GL_EXT_texture_cube_map") ? 6 : 0;
    Fetch(GL.glTexImage3DEXT, "glTexImage3DEXT");
    if (!GL.glTexImage3DEXT)
        GL.glTexImage3DEXT = reinterpret_cast<PFNGLTEXIMAGE3DEXTPROC>(FetchGL("glTexImage3D"));
    GL.glTexImage3D = reinterpret_cast<PFNGLTEXIMAGE3DPROC>(GL.glTexImage3DEXT);
    f.Texture3D = Listed(ext, "GL_EXT_texture3D");
    Fetch(GL.glTexSubImage3D, "glTexSubImage3D");

    // (5)
    f.MirroredRepeat = Listed(ext, "GL_IBM_texture_mirrored_repeat");
    f.EdgeClamp = Listed(ext, "GL_EXT_texture_edge_clamp");
    f.BorderClamp = Listed(ext, "GL_ARB_texture_border_clamp");
    f.CompiledVertexArray = Listed(ext, "GL_EXT_compiled_vertex_array");
    if (f.CompiledVertexArray) {
        Fetch(GL.glLockArraysEXT, "glLockArraysEXT");
        Fetch(GL.glUnlockArraysEXT, "glUnlockArraysEXT");
    }
    f.DrawRangeElements = Listed(ext, "GL_EXT_draw_range_elements");
    if (f.DrawRangeElements) Fetch(GL.glDrawRangeElementsEXT, "glDrawRangeElementsEXT");
    f.BlendMinmax = Listed(ext, "GL_EXT_blend_minmax");
    if (f.BlendMinmax) Fetch(GL.glBlendEquationEXT, "glBlendEquationEXT");
    f.BlendSubtract = Listed(ext, "GL_EXT_blend_subtract");

    // (6)
    Fetch(GL.glSecondaryColor3fEXT, "glSecondaryColor3fEXT");
    Fetch(GL.glSecondaryColor3ubEXT, "glSecondaryColor3ubEXT");
    Fetch(GL.glSecondaryColorPointerEXT, "glSecondaryColorPointerEXT");
    f.SecondaryColor = Listed(ext, "GL_EXT_secondary_color");
    f.GenerateMipmap = Listed(ext, "GL_SGIS_generate_mipmap");
    f.VertexArrayRange = Listed(ext, "GL_NV_vertex_array_range");
    if (f.VertexArrayRange) {
        Fetch(GL.glVertexArrayRangeNV, "glVertexArrayRangeNV");
        Fetch(GL.glFlushVertexArrayRangeNV, "glFlushVertexArrayRangeNV");
    }
    f.VertexArrayRange2 = Listed(ext, "GL_NV_vertex_array_range2");
    f.Evaluators = Listed(ext, "GL_NV_evaluators");
    if (f.Evaluators) {
        Fetch(GL.glMapControlPointsNV, "glMapControlPointsNV");
        Fetch(GL.glMapParameterivNV, "glMapParameterivNV");
        Fetch(GL.glMapParameterfvNV, "glMapParameterfvNV");
        Fetch(GL.glEvalMapsNV, "glEvalMapsNV");
    }
    f.Fence = Listed(ext, "GL_NV_fence");
    if (f.Fence) {
        Fetch(GL.glGenFencesNV, "glGenFencesNV");
        Fetch(GL.glDeleteFencesNV, "glDeleteFencesNV");
        Fetch(GL.glSetFenceNV, "glSetFenceNV");
        Fetch(GL.glTestFenceNV, "glTestFenceNV");
        Fetch(GL.glFinishFenceNV, "glFinishFenceNV");
        Fetch(GL.glIsFenceNV, "glIsFenceNV");
        Fetch(GL.glGetFenceNV, "glGetFenceNV");
    }
    f.VertexProgram = Listed(ext, "GL_NV_vertex_program");
    if (f.VertexProgram) {
        Fetch(GL.glBindProgramNV, "glBindProgramNV");
        Fetch(GL.glDeleteProgramsNV, "glDeleteProgramsNV");
        Fetch(GL.glExecuteProgramNV, "glExecuteProgramNV");
        Fetch(GL.glGenProgramsNV, "glGenProgramsNV");
        Fetch(GL.glLoadProgramNV, "glLoadProgramNV");
        Fetch(GL.glProgramParameter4fNV, "glProgramParameter4fNV");
        Fetch(GL.glProgramParameter4dNV, "glProgramParameter4dNV");
        Fetch(GL.glProgramParameter4fvNV, "glProgramParameter4fvNV");
        Fetch(GL.glProgramParameter4dvNV, "glProgramParameter4dvNV");
        Fetch(GL.glProgramParameters4fvNV, "glProgramParameters4fvNV");
        Fetch(GL.glProgramParameters4dvNV, "glProgramParameters4dvNV");
        Fetch(GL.glTrackMatrixNV, "glTrackMatrixNV");
        Fetch(GL.glVertexAttribPointerNV, "glVertexAttribPointerNV");
        Fetch(GL.glVertexAttrib3fNV, "glVertexAttrib3fNV");
    }
    f.TextureShader = Listed(ext, "GL_NV_texture_shader");
    f.ShadowFuncs = Listed(ext, "GL_EXT_shadow_funcs");
    f.ARBShadow = Listed(ext, "GL_ARB_shadow");
    f.SGIXShadow = Listed(ext, "GL_SGIX_shadow");
    f.RegisterCombiners = Listed(ext, "GL_NV_register_combiners");
    if (f.RegisterCombiners) {
        Fetch(GL.glCombinerParameterivNV, "glCombinerParameterivNV");
        Fetch(GL.glCombinerParameterfvNV, "glCombinerParameterfvNV");
        Fetch(GL.glCombinerParameterfNV, "glCombinerParameterfNV");
        Fetch(GL.glCombinerParameteriNV, "glCombinerParameteriNV");
        Fetch(GL.glCombinerInputNV, "glCombinerInputNV");
        Fetch(GL.glCombinerOutputNV, "glCombinerOutputNV");
        Fetch(GL.glFinalCombinerInputNV, "glFinalCombinerInputNV");
    }
    f.RegisterCombiners2 = Listed(ext, "GL_NV_register_combiners2");
    if (f.RegisterCombiners2) Fetch(GL.glCombinerStageParameterfvNV, "glCombinerStageParameterfvNV");

    // Framebuffer objects stand in for pbuffers and render-to-texture.
    f.FramebufferObject = 0;
    if (HasExtension(ext, "GL_ARB_framebuffer_object")) {
        Fetch(GL.glGenFramebuffers, "glGenFramebuffers");
        Fetch(GL.glDeleteFramebuffers, "glDeleteFramebuffers");
        Fetch(GL.glBindFramebuffer, "glBindFramebuffer");
        Fetch(GL.glFramebufferTexture2D, "glFramebufferTexture2D");
        Fetch(GL.glCheckFramebufferStatus, "glCheckFramebufferStatus");
        Fetch(GL.glGenRenderbuffers, "glGenRenderbuffers");
        Fetch(GL.glDeleteRenderbuffers, "glDeleteRenderbuffers");
        Fetch(GL.glBindRenderbuffer, "glBindRenderbuffer");
        Fetch(GL.glRenderbufferStorage, "glRenderbufferStorage");
        Fetch(GL.glFramebufferRenderbuffer, "glFramebufferRenderbuffer");
        f.FramebufferObject = 6;
    } else if (HasExtension(ext, "GL_EXT_framebuffer_object")) {
        Fetch(GL.glGenFramebuffers, "glGenFramebuffersEXT");
        Fetch(GL.glDeleteFramebuffers, "glDeleteFramebuffersEXT");
        Fetch(GL.glBindFramebuffer, "glBindFramebufferEXT");
        Fetch(GL.glFramebufferTexture2D, "glFramebufferTexture2DEXT");
        Fetch(GL.glCheckFramebufferStatus, "glCheckFramebufferStatusEXT");
        Fetch(GL.glGenRenderbuffers, "glGenRenderbuffersEXT");
        Fetch(GL.glDeleteRenderbuffers, "glDeleteRenderbuffersEXT");
        Fetch(GL.glBindRenderbuffer, "glBindRenderbufferEXT");
        Fetch(GL.glRenderbufferStorage, "glRenderbufferStorageEXT");
        Fetch(GL.glFramebufferRenderbuffer, "glFramebufferRenderbufferEXT");
        f.FramebufferObject = 6;
    }
    bool fbo = f.FramebufferObject && GL.glGenFramebuffers && GL.glBindFramebuffer &&
               GL.glFramebufferTexture2D && GL.glCheckFramebufferStatus && GL.glDeleteFramebuffers;
    if (!fbo) f.FramebufferObject = 0;

    // (7) The window-system list; without it no window-system feature is probed.
    f.WGLExtensionString = 0;
    f.WGLPixelFormat = f.BufferRegion = f.Pbuffer = f.RenderTexture = f.RenderDepthTexture = f.SwapControl =
        0;
    if (ws) {
        f.WGLExtensionString = 6;
        // (8) Frame-buffer configurations (GLX 1.3) are what pixel formats are
        // enumerated from; buffer regions do not exist.
        f.WGLPixelFormat = 6;
        f.BufferRegion = 0;
        // Off-screen contexts are framebuffer objects; binding their texture is
        // a plain glBindTexture, so both halves of the pbuffer test hold.
        if (fbo) {
            f.Pbuffer = 6;
            f.Pbuffer = glfUsable;
            f.RenderTexture = 6;
            f.RenderDepthTexture = HasExtension(ext, "GL_ARB_depth_texture") ? 6 : glfUsable;
        }
        f.SwapControl = 6; // SDL_GL_SetSwapInterval
    }

    // Occlusion queries count the fragments a pass writes (the benchmark's
    // pixel-work figures); nothing else uses them.
    if (HasExtension(ext, "GL_ARB_occlusion_query")) {
        Fetch(GL.glGenQueriesARB, "glGenQueriesARB");
        Fetch(GL.glDeleteQueriesARB, "glDeleteQueriesARB");
        Fetch(GL.glBeginQueryARB, "glBeginQueryARB");
        Fetch(GL.glEndQueryARB, "glEndQueryARB");
        Fetch(GL.glGetQueryObjectuivARB, "glGetQueryObjectuivARB");
    }

    // (9)
    GL.glDrawMeshNV = FetchGL("glDrawMeshNV");

#ifdef ZUMBRIX_HAVE_NV_EMULATION
    InstallNvEmulation(GL, GLFlags);
#endif
}

int GetGLFlagList(T3dGLFlagInfo* out, int capacity) {
    const T3dGLFlags& f = GLFlags;
    const T3dGLFlagInfo all[] = {
        {"TextureCompression", f.TextureCompression},
        {"SeparateSpecular", f.SeparateSpecular},
        {"EXTCombine", f.EXTCombine},
        {"ARBCombine", f.ARBCombine},
        {"Dot3", f.Dot3},
        {"Multitexture", f.Multitexture},
        {"CubeMap", f.CubeMap},
        {"Texture3D", f.Texture3D},
        {"MirroredRepeat", f.MirroredRepeat},
        {"EdgeClamp", f.EdgeClamp},
        {"BorderClamp", f.BorderClamp},
        {"CompiledVertexArray", f.CompiledVertexArray},
        {"DrawRangeElements", f.DrawRangeElements},
        {"BlendMinmax", f.BlendMinmax},
        {"BlendSubtract", f.BlendSubtract},
        {"SecondaryColor", f.SecondaryColor},
        {"GenerateMipmap", f.GenerateMipmap},
        {"VertexArrayRange", f.VertexArrayRange},
        {"VertexArrayRange2", f.VertexArrayRange2},
        {"Evaluators", f.Evaluators},
        {"Fence", f.Fence},
        {"VertexProgram", f.VertexProgram},
        {"TextureShader", f.TextureShader},
        {"ShadowFuncs", f.ShadowFuncs},
        {"ARBShadow", f.ARBShadow},
        {"SGIXShadow", f.SGIXShadow},
        {"WGLExtensionString", f.WGLExtensionString},
        {"WGLPixelFormat", f.WGLPixelFormat},
        {"BufferRegion", f.BufferRegion},
        {"Pbuffer", f.Pbuffer},
        {"RenderTexture", f.RenderTexture},
        {"RenderDepthTexture", f.RenderDepthTexture},
        {"SwapControl", f.SwapControl},
        {"BlendMatrices", f.BlendMatrices},
        {"RegisterCombiners", f.RegisterCombiners},
        {"RegisterCombiners2", f.RegisterCombiners2},
        {"FramebufferObject", f.FramebufferObject},
    };
    int n = int(sizeof all / sizeof all[0]);
    for (int i = 0; i < n && i < capacity; i++)
        out[i] = all[i];
    return n;
}
