#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"

#include <SDL.h>

#include "Mirel3d/Mirel3dOpengl/GLTables.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglTexture.h"
#include "platform/DebugSink.h"

T3dOpenglContext::T3dOpenglContext() : Cache(std::make_shared<T3dGLStateCache>()) {}

void T3dOpenglContext::ShareStateCache(T3dOpenglContext* other) {
    if (other) Cache = other->Cache;
}

T3dOpenglContext::~T3dOpenglContext() {
    // Off-screen targets live on the main GL context; they are deleted only
    // while that context is current (otherwise they go with it).
    if (Framebuffer && GLContext && SDL_GL_GetCurrentContext() == GLContext) {
        GLint bound = 0;
        GL.glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
        if (GLuint(bound) == Framebuffer) GL.glBindFramebuffer(GL_FRAMEBUFFER, 0);
        GL.glDeleteFramebuffers(1, &Framebuffer);
        if (ColorTexture) GL.glDeleteTextures(1, &ColorTexture);
        if (DepthTexture) GL.glDeleteTextures(1, &DepthTexture);
        if (DepthStencilBuffer && GL.glDeleteRenderbuffers) GL.glDeleteRenderbuffers(1, &DepthStencilBuffer);
    }
    if (OwnsGLContext && GLContext) {
        if (SDL_GL_GetCurrentContext() == GLContext)
            SDL_GL_MakeCurrent(static_cast<SDL_Window*>(Window), nullptr);
        SDL_GL_DeleteContext(GLContext);
    }
}

// ---------------------------------------------------------------------------
// Current context, initialisation

bool T3dOpenglContext::MakeCurrent() {
    if (!GLContext) return false;
    bool ok = SDL_GL_MakeCurrent(static_cast<SDL_Window*>(Window), GLContext) == 0;
    if (!ok) {
        DebugOutput("MakeCurrent failed\n");
        return false;
    }
    // An off-screen context draws into its framebuffer object, every other
    // context into the window's buffers.
    if (GL.glBindFramebuffer) GL.glBindFramebuffer(GL_FRAMEBUFFER, Framebuffer);
    return true;
}

void T3dOpenglContext::Init(const T3dDeviceMode& mode) {
    Mode = mode;
    if (!mode.NoOffscreen && Usable(GLFlags.Pbuffer) &&
        (mode.Kind == ckPbuffer || mode.Kind == ckRenderTexture)) {
        CreateOffscreenBuffer();
        ReadCapabilities();
        return;
    }
    Cache->MatrixKind = mkNone;
    if (mode.Kind != ckWindow) {
        // A shared context draws into the first context's buffers.
        ReadCapabilities();
        return;
    }
    InitWindow(mode);
}

void T3dOpenglContext::InitWindow(const T3dDeviceMode& mode) {
    SDL_Window* window = static_cast<SDL_Window*>(Window);
    DC = Window;
    if (mode.Fullscreen && window) {
        if (mode.Width > 0 && mode.Height > 0 && Device && Device->GetDisplayChanger()) {
            int display = SDL_GetWindowDisplayIndex(window);
            SDL_DisplayMode want{0, mode.Width, mode.Height, mode.RefreshRate, nullptr};
            SDL_DisplayMode closest;
            if (SDL_GetClosestDisplayMode(display < 0 ? 0 : display, &want, &closest))
                SDL_SetWindowDisplayMode(window, &closest);
            SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
        }
        // Every full-screen context: no frame, covering the screen.
        SDL_SetWindowBordered(window, SDL_FALSE);
        SDL_SetWindowPosition(window, 0, 0);
        SDL_DisplayMode desktop;
        int display = SDL_GetWindowDisplayIndex(window);
        if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &desktop) == 0)
            SDL_SetWindowSize(window, desktop.w, desktop.h);
    }

    T3dPixelformats* formats = Device ? Device->GetPixelFormats(DC) : nullptr;
    if (formats && formats->Count() > 0 && window) {
        SetPixelFormatIndex(formats->ChooseForWindow(mode));
        const T3dPixelformat& f = formats->Item(0);
        // Hand the chosen configuration to SDL, asking for a compatibility
        // context of the window's visual.
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, f.RedBits);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, f.GreenBits);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, f.BlueBits);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, f.AlphaBits);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, f.DepthBits);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, f.StencilBits);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, f.DoubleBuffer ? 1 : 0);
        SDL_GL_SetAttribute(SDL_GL_STEREO, f.Stereo ? 1 : 0);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
        SDL_GLContext context = SDL_GL_CreateContext(window);
        if (!context) throw Exception("Cant init glMode");
        GLContext = context;
        OwnsGLContext = true;
        if (SDL_GL_MakeCurrent(window, context) != 0) throw Exception("Cant init glMode");
        GL.glEnable(GL_DEPTH_TEST);
        TRefPtr<I3dContext> main;
        Device->GetMainContext(main);
        if (!main) ProbeExtensions(WindowSystemExtensions(DC));
        // A fresh context draws into the window.
        if (GL.glBindFramebuffer) GL.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    if (!GLContext) return;
    ReadCapabilities();
    if (Usable(GLFlags.SwapControl)) SDL_GL_SetSwapInterval(mode.VSync ? 1 : 0);
    GL.glEnable(GL_CULL_FACE);
    GL.glClear(GL_COLOR_BUFFER_BIT);
}

// The off-screen target: a framebuffer object on the current GL context with
// an RGBA colour texture, and a depth texture (bind flag bit 4) or a combined
// depth/stencil buffer when depth or stencil bits are asked for.
void T3dOpenglContext::CreateOffscreenBuffer() {
    Width = Mode.Width;
    Height = Mode.Height;
    if (!SDL_GL_GetCurrentContext() || !GL.glGenFramebuffers) return;
    if (Width < 1 || Height < 1) throw EPBufferException("Cant create pbuffer");
    GLint previousFramebuffer = 0, previousTexture = 0;
    GL.glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previousFramebuffer);
    GL.glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    GL.glGetError();

    GL.glGenFramebuffers(1, &Framebuffer);
    GL.glBindFramebuffer(GL_FRAMEBUFFER, Framebuffer);
    GL.glGenTextures(1, &ColorTexture);
    GL.glBindTexture(GL_TEXTURE_2D, ColorTexture);
    GL.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, Width, Height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    GL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    GL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    GL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    GL.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, ColorTexture, 0);
    if (Mode.BindFlags & bindDepth) {
        GL.glGenTextures(1, &DepthTexture);
        GL.glBindTexture(GL_TEXTURE_2D, DepthTexture);
        GL.glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, Width, Height, 0, GL_DEPTH_COMPONENT,
                        GL_UNSIGNED_INT, nullptr);
        GL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        GL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        GL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        GL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        GL.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, DepthTexture, 0);
    } else if ((Mode.DepthBits > 0 || Mode.StencilBits > 0) && GL.glGenRenderbuffers) {
        GL.glGenRenderbuffers(1, &DepthStencilBuffer);
        GL.glBindRenderbuffer(GL_RENDERBUFFER, DepthStencilBuffer);
        GL.glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, Width, Height);
        GL.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                     DepthStencilBuffer);
        GL.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                     DepthStencilBuffer);
    }
    GL.glDrawBuffer(GL_COLOR_ATTACHMENT0);
    GL.glReadBuffer(GL_COLOR_ATTACHMENT0);
    GLenum status = GL.glCheckFramebufferStatus(GL_FRAMEBUFFER);
    GL.glBindTexture(GL_TEXTURE_2D, GLuint(previousTexture));
    if (status != GL_FRAMEBUFFER_COMPLETE || GL.glGetError() != 0) {
        GL.glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previousFramebuffer));
        GL.glDeleteFramebuffers(1, &Framebuffer);
        GL.glDeleteTextures(1, &ColorTexture);
        if (DepthTexture) GL.glDeleteTextures(1, &DepthTexture);
        if (DepthStencilBuffer) GL.glDeleteRenderbuffers(1, &DepthStencilBuffer);
        Framebuffer = ColorTexture = DepthTexture = DepthStencilBuffer = 0;
        throw EPBufferException("Cant create pbuffer");
    }
    // The target is its own drawing surface: switching to it binds it.
    DC = this;
    GL.glEnable(GL_DEPTH_TEST);
    // With every target on one GL context, leaving the new one bound would
    // redirect the current context's drawing: the previous binding returns.
    GL.glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previousFramebuffer));
}

void T3dOpenglContext::ReadCapabilities() {
    if (!GL.glGetString || !SDL_GL_GetCurrentContext()) return;
    Caps.Vendor = reinterpret_cast<const char*>(GL.glGetString(GL_VENDOR));
    Caps.Renderer = reinterpret_cast<const char*>(GL.glGetString(GL_RENDERER));
    Caps.Version = reinterpret_cast<const char*>(GL.glGetString(GL_VERSION));
    GLint v = 1;
    if (Usable(GLFlags.Multitexture)) GL.glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &v);
    Caps.TextureUnits = Usable(GLFlags.Multitexture) ? v : 1;
    Caps.BlendMatrices = Usable(GLFlags.BlendMatrices) ? 2 : 1;
    GL.glGetIntegerv(GL_MAX_TEXTURE_SIZE, &Caps.MaxTextureSize);
    GLint dims[2] = {0, 0};
    GL.glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
    Caps.MaxViewportWidth = dims[0];
    Caps.MaxViewportHeight = dims[1];
    Caps.Combiners = Usable(GLFlags.ARBCombine);
    Caps.Dot3 = Usable(GLFlags.Dot3);
    Caps.VolumeTextures = Usable(GLFlags.Texture3D);
    if (Caps.VolumeTextures) {
        GLint s = 0;
        GL.glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &s);
        Caps.Max3DTextureSize[0] = Caps.Max3DTextureSize[1] = Caps.Max3DTextureSize[2] = s;
    }
    Caps.CubeMaps = Usable(GLFlags.CubeMap);
    if (Caps.CubeMaps) GL.glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE_ARB, &Caps.MaxCubeMapSize);
    Caps.ShadowTextures = Usable(GLFlags.SGIXShadow) || Usable(GLFlags.ARBShadow);
    Caps.RenderToTexture = Usable(GLFlags.RenderTexture);
    Caps.RenderToDepthTexture = Usable(GLFlags.RenderDepthTexture);
    Caps.VertexPrograms = Usable(GLFlags.VertexProgram);
    Caps.TextureShaders = Usable(GLFlags.TextureShader);
}

void T3dOpenglContext::EndScene() {
    if (InPoly) throw EEndsceneExeption("Called Endscene without a EndPoly");
    if (!InScene) throw EEndsceneExeption("Called Endscene without a beginscene");
    InScene = false;
}

void T3dOpenglContext::Clear(uint8_t mask) {
    GLbitfield bits = 0;
    if (mask & 1) bits |= GL_COLOR_BUFFER_BIT;
    if (mask & 2) bits |= GL_DEPTH_BUFFER_BIT;
    if (mask & 4) bits |= GL_STENCIL_BUFFER_BIT;
    GL.glClear(bits);
}

void T3dOpenglContext::SwapBuffers() {
    if (Window && !Framebuffer) SDL_GL_SwapWindow(static_cast<SDL_Window*>(Window));
}

void T3dOpenglContext::SetClearValues(const T3dClearValues& v) {
    if (v.Flags & 1) GL.glClearColor(v.Color.r, v.Color.g, v.Color.b, v.Color.a);
    if (v.Flags & 2) GL.glClearDepth(v.Depth);
    if (v.Flags & 4) GL.glClearStencil(v.Stencil);
    if (v.Flags & 8) GL.glClearAccum(v.Accum.r, v.Accum.g, v.Accum.b, v.Accum.a);
}

I3dDevice* T3dOpenglContext::GetDevice() {
    return Device;
}
void T3dOpenglContext::SetDevice(I3dDevice* device) {
    Device = dynamic_cast<T3dOpenGLDevice*>(device);
}

void T3dOpenglContext::SetWindow(T3dWindowHandle window) {
    if (window != Window && !DC) DC = Window;
    Window = window;
}

// ---------------------------------------------------------------------------
// Viewport and sizes

void T3dOpenglContext::SetViewport(const T3dViewport& v) {
    if (v.Flags & 1) {
        GL.glViewport(v.X, v.Y, v.Width, v.Height);
        if (v.Height - v.Y != 0) Aspect = float(v.Width - v.X) / float(v.Height - v.Y);
    }
    if (v.Flags & 2) GL.glDepthRange(v.DepthNear, v.DepthFar);
    if (v.Flags & 4) GL.glScissor(v.X, v.Y, v.Width, v.Height);
    if (v.Flags & 8) {
        if (v.ScissorEnabled)
            GL.glEnable(GL_SCISSOR_TEST);
        else
            GL.glDisable(GL_SCISSOR_TEST);
    }
}

void T3dOpenglContext::ResetViewport() {
    float range[2] = {0.0f, 1.0f};
    GL.glGetFloatv(GL_DEPTH_RANGE, range);
    T3dViewport v{};
    v.X = v.Y = 0;
    v.DepthNear = range[0];
    v.DepthFar = range[1];
    if (FixedSize) {
        v.Flags = 0x0F;
        v.Width = Width;
        v.Height = Height;
        v.ScissorEnabled = true;
    } else {
        v.Flags = 0x0B;
        v.Width = GetWidth();
        v.Height = GetHeight();
        v.ScissorEnabled = false;
    }
    SetViewport(v);
}

int32_t T3dOpenglContext::GetWidth() {
    if (FixedSize) return Width;
    int w = 0, h = 0;
    if (Window) SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(Window), &w, &h);
    return w;
}

int32_t T3dOpenglContext::GetHeight() {
    if (FixedSize) return Height;
    int w = 0, h = 0;
    if (Window) SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(Window), &w, &h);
    return h;
}

void T3dOpenglContext::SetDepthRange(float zNear, float zFar) {
    GL.glDepthRange(zNear, zFar);
}

void T3dOpenglContext::GetDepthRange(float& zNear, float& zFar) {
    float range[2] = {0.0f, 1.0f};
    GL.glGetFloatv(GL_DEPTH_RANGE, range);
    zNear = range[0];
    zFar = range[1];
}

// ---------------------------------------------------------------------------
// Texture units

// A unit equal to CurrentUnit is taken as active. Otherwise the unit is
// switched when multitexturing is usable and the hardware has it. When the
// current matrix kind is a texture matrix, the texture matrix now current in
// GL is the new unit's, so the remembered kind follows.
bool T3dOpenglContext::ActivateUnit(int32_t unit) {
    if (unit < 1 || unit > 8) return false;
    if (unit == Cache->CurrentUnit) return true;
    if (!Usable(GLFlags.Multitexture) || Caps.TextureUnits < unit) return false;
    GL.glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit - 1));
    Cache->CurrentUnit = uint8_t(unit);
    if (Cache->MatrixKind >= mkTexture0 && Cache->MatrixKind <= mkTexture7)
        Cache->MatrixKind = T3dMatrixKind(mkTexture0 + unit - 1);
    return true;
}

void T3dOpenglContext::SetTexture(int32_t unit, I3dTexture* texture) {
    GL.glGetError();
    if (!ActivateUnit(unit)) return;
    if (texture) {
        GLenum target = TextureTargetOf(texture->GetKind());
        if (target != Cache->UnitTarget[unit]) GL.glDisable(Cache->UnitTarget[unit]);
        Cache->UnitTarget[unit] = target;
        texture->Bind();
        CheckGLError<ESetTextureExeption>("setTexture failed");
    } else {
        GL.glDisable(Cache->UnitTarget[unit]);
    }
}

void T3dOpenglContext::SetCoordGeneration(int32_t unit, T3dTexGenCoord coord, T3dTexGenMode mode,
                                          const float plane[4]) {
    if (!ActivateUnit(unit) || coord > gcQ) return;
    GLenum glCoord = kTexGenCoord[coord];
    if (mode == tgOff) {
        GL.glDisable(kTexGenSwitch[coord]);
    } else if (mode <= tgNormalMap) {
        GL.glTexGeni(glCoord, GL_TEXTURE_GEN_MODE, GLint(kTexGenMode[mode]));
        if (mode == tgEyeLinear) GL.glTexGenfv(glCoord, GL_EYE_PLANE, plane);
        if (mode == tgObjectLinear) GL.glTexGenfv(glCoord, GL_OBJECT_PLANE, plane);
        GL.glEnable(kTexGenSwitch[coord]);
    }
    CheckGLError<ETextureCoordExeption>("setCoordGeneration failed");
}

void T3dOpenglContext::SetCombineColor(int32_t unit, const T3dColor& color) {
    if (!ActivateUnit(unit)) return;
    GL.glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, &color.r);
}

static bool CombinersAdvertised() {
    return Advertised(GLFlags.EXTCombine) || Advertised(GLFlags.ARBCombine);
}

// The three arguments of one channel's combiner (RGB or alpha, chosen by the
// name tables): the first always, the others only when given a source.
static void SetCombineArguments(const GLenum* sourceNames, const GLenum* operandNames,
                                const T3dCombineSource (&sources)[3],
                                const T3dCombineOperand (&operands)[3]) {
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && sources[i] == csNone) continue;
        GL.glTexEnvi(GL_TEXTURE_ENV, sourceNames[i], GLint(CombineSourceGL(sources[i])));
        GL.glTexEnvi(GL_TEXTURE_ENV, operandNames[i], GLint(CombineOperandGL(operands[i])));
    }
}

void T3dOpenglContext::SetRGBMode(int32_t unit, T3dCombineSource src0, T3dCombineOperand op0,
                                  T3dCombineSource src1, T3dCombineOperand op1, T3dCombineSource src2,
                                  T3dCombineOperand op2, T3dCombineFunction func, float scale) {
    if (!ActivateUnit(unit)) return;
    if (CombinersAdvertised()) {
        if (func == cmDecal) func = cmReplace;
        GL.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
        SetCombineArguments(kSourceRGB, kOperandRGB, {src0, src1, src2}, {op0, op1, op2});
        GLenum f = CombineFunctionGL(func);
        if ((func == cmDot3RGB || func == cmDot3RGBA) && !Usable(GLFlags.Dot3)) f = GL_REPLACE;
        GL.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GLint(f));
        GL.glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, scale);
    } else {
        GL.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GLint(EnvModeGL(func)));
    }
    CheckGLError<ESetRGBModeExeption>("SetRGBMode failed");
}

void T3dOpenglContext::SetAlphaMode(int32_t unit, T3dCombineSource src0, T3dCombineOperand op0,
                                    T3dCombineSource src1, T3dCombineOperand op1, T3dCombineSource src2,
                                    T3dCombineOperand op2, T3dCombineFunction func, float scale) {
    if (!ActivateUnit(unit)) return;
    if (CombinersAdvertised()) {
        if (func == cmDecal) func = cmReplace;
        GL.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
        SetCombineArguments(kSourceAlpha, kOperandAlpha, {src0, src1, src2}, {op0, op1, op2});
        GL.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GLint(CombineFunctionGL(func)));
        GL.glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, scale);
    }
    CheckGLError<ESetAlphaModeExeption>("SetAlphaMode failed");
}

void T3dOpenglContext::SetRGBArgument(int32_t unit, int32_t argument, T3dCombineSource source,
                                      T3dCombineOperand operand) {
    if (!ActivateUnit(unit) || argument < 0 || argument > 3) return;
    GL.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    GL.glTexEnvi(GL_TEXTURE_ENV, kSourceRGB[argument], GLint(CombineSourceGL(source)));
    GL.glTexEnvi(GL_TEXTURE_ENV, kOperandRGB[argument], GLint(CombineOperandGL(operand)));
}

void T3dOpenglContext::SetAlphaArgument(int32_t unit, int32_t argument, T3dCombineSource source,
                                        T3dCombineOperand operand) {
    if (!ActivateUnit(unit) || argument < 0 || argument > 3) return;
    GL.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    GL.glTexEnvi(GL_TEXTURE_ENV, kSourceAlpha[argument], GLint(CombineSourceGL(source)));
    GL.glTexEnvi(GL_TEXTURE_ENV, kOperandAlpha[argument], GLint(CombineOperandGL(operand)));
}

void T3dOpenglContext::SetRGBFunction(int32_t unit, T3dCombineFunction func) {
    if (!ActivateUnit(unit)) return;
    GL.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GLint(CombineFunctionGL(func)));
}

void T3dOpenglContext::SetAlphaFunction(int32_t unit, T3dCombineFunction func) {
    if (!ActivateUnit(unit)) return;
    GL.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GLint(CombineFunctionGL(func)));
}

void T3dOpenglContext::SetRGBScale(int32_t unit, float scale) {
    if (!ActivateUnit(unit)) return;
    GL.glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, scale);
}

void T3dOpenglContext::SetAlphaScale(int32_t unit, float scale) {
    if (!ActivateUnit(unit)) return;
    GL.glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, scale);
}

// ---------------------------------------------------------------------------
// Stencil, blending, depth, alpha, colour

void T3dOpenglContext::EnableStencil(bool enable) {
    if (enable)
        GL.glEnable(GL_STENCIL_TEST);
    else
        GL.glDisable(GL_STENCIL_TEST);
}

void T3dOpenglContext::SetStencilFunc(T3dCompareFunc func, int32_t ref, uint32_t mask) {
    GL.glStencilFunc(CompareFuncGL(func), ref, mask);
}

void T3dOpenglContext::SetStencilMask(uint32_t mask) {
    GL.glStencilMask(mask);
}

void T3dOpenglContext::SetStencilOp(T3dStencilOp fail, T3dStencilOp depthFail, T3dStencilOp pass) {
    GL.glStencilOp(StencilOpGL(fail), StencilOpGL(depthFail), StencilOpGL(pass));
}

void T3dOpenglContext::SetBlendMode(T3dBlendFactor src, T3dBlendFactor dst) {
    GL.glGetError();
    if (src == bfZero && dst == bfZero) {
        GL.glDisable(GL_BLEND);
        return;
    }
    GL.glBlendFunc(BlendFactorGL(src), BlendFactorGL(dst));
    GL.glEnable(GL_BLEND);
}

void T3dOpenglContext::SetBlendEquation(T3dBlendEquation e) {
    if (!Usable(GLFlags.BlendMinmax) || !GL.glBlendEquationEXT) return;
    if ((e == beSubtract || e == beReverseSubtract) && !Usable(GLFlags.BlendSubtract)) e = beAdd;
    GL.glBlendEquationEXT(BlendEquationGL(e));
}

void T3dOpenglContext::SetAlphaTest(T3dCompareFunc func, float ref) {
    if (func == cfOff) {
        GL.glDisable(GL_ALPHA_TEST);
        return;
    }
    GL.glEnable(GL_ALPHA_TEST);
    GL.glAlphaFunc(CompareFuncGL(func), ref);
}

void T3dOpenglContext::SetDepthMode(T3dDepthMode mode) {
    switch (mode) {
    case dmReadWrite:
        GL.glEnable(GL_DEPTH_TEST);
        GL.glDepthMask(GL_TRUE);
        break;
    case dmReadOnly:
        GL.glEnable(GL_DEPTH_TEST);
        GL.glDepthMask(GL_FALSE);
        break;
    default:
        GL.glDisable(GL_DEPTH_TEST);
        break;
    }
    CheckGLError<EDepthmodeExeption>("Depthmode Failed");
}

void T3dOpenglContext::SetDepthFunc(T3dCompareFunc func) {
    if (func != cfOff) GL.glDepthFunc(CompareFuncGL(func));
}

void T3dOpenglContext::SetColorMask(bool r, bool g, bool b, bool a) {
    GL.glColorMask(r, g, b, a);
}

void T3dOpenglContext::SetColor(const T3dColor& color) {
    GL.glColor4fv(&color.r);
}

void T3dOpenglContext::SetLineWidth(float width) {
    GL.glLineWidth(width);
    CheckGLError<ELineException>("Linewidth failed");
}

void T3dOpenglContext::SetPointSize(float size) {
    GL.glPointSize(size);
    CheckGLError<EPointException>("PointSize failed");
}

// ---------------------------------------------------------------------------
// Lighting, materials, clip planes

void T3dOpenglContext::ReleaseLights() {
    for (int32_t i = 1; i <= 8; i++) {
        if (LightTaken[i]) {
            LightTaken[i] = false;
            GL.glDisable(GLenum(GL_LIGHT0 + i - 1));
        }
    }
}

void T3dOpenglContext::EnableLighting(bool enable) {
    if (enable)
        GL.glEnable(GL_LIGHTING);
    else
        GL.glDisable(GL_LIGHTING);
}

void T3dOpenglContext::EnableLight(int32_t light, bool enable) {
    if (light < 1 || light > 8) return;
    if (enable)
        GL.glEnable(GLenum(GL_LIGHT0 + light - 1));
    else
        GL.glDisable(GLenum(GL_LIGHT0 + light - 1));
}

void T3dOpenglContext::SetLightColor(int32_t light, T3dColorComponent component, const T3dColor& color) {
    if (light < 1 || light > 8 || component > ccEmission) return;
    GL.glLightfv(GLenum(GL_LIGHT0 + light - 1), kColorComponent[component], &color.r);
}

void T3dOpenglContext::SetLightPosition(int32_t light, const float position[4]) {
    if (light < 1 || light > 8) return;
    GL.glLightfv(GLenum(GL_LIGHT0 + light - 1), GL_POSITION, position);
}

void T3dOpenglContext::SetSpotCutoff(int32_t light, float cutoff) {
    if (light < 1 || light > 8) return;
    GL.glLightf(GLenum(GL_LIGHT0 + light - 1), GL_SPOT_CUTOFF, cutoff);
}

void T3dOpenglContext::SetSpotExponent(int32_t light, float exponent) {
    if (light < 1 || light > 8) return;
    GL.glLightf(GLenum(GL_LIGHT0 + light - 1), GL_SPOT_EXPONENT, exponent);
}

void T3dOpenglContext::SetSpotDirection(int32_t light, const TVector3& d) {
    if (light < 1 || light > 8) return;
    GL.glLightfv(GLenum(GL_LIGHT0 + light - 1), GL_SPOT_DIRECTION, &d.x);
}

void T3dOpenglContext::SetAmbientLight(const T3dColor& color) {
    GL.glLightModelfv(GL_LIGHT_MODEL_AMBIENT, &color.r);
}

void T3dOpenglContext::SetLocalViewer(bool on) {
    GL.glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, on ? 1 : 0);
}

void T3dOpenglContext::SetTwoSidedLighting(bool on) {
    GL.glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, on ? 1 : 0);
}

void T3dOpenglContext::SetSeparateSpecular(bool on) {
    if (!Usable(GLFlags.SeparateSpecular)) return;
    GL.glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, on ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR);
}

void T3dOpenglContext::SetMaterial(T3dMaterialFace face, const T3dColor& ambient, const T3dColor& diffuse,
                                   const T3dColor& specular, const T3dColor& emission, float shininess) {
    GLenum f = MaterialFaceGL(face);
    GL.glMaterialfv(f, GL_AMBIENT, &ambient.r);
    GL.glMaterialfv(f, GL_DIFFUSE, &diffuse.r);
    GL.glMaterialfv(f, GL_SPECULAR, &specular.r);
    GL.glMaterialfv(f, GL_EMISSION, &emission.r);
    GL.glMaterialf(f, GL_SHININESS, shininess);
}

void T3dOpenglContext::SetMaterialRecord(const T3dMaterial& m) {
    SetMaterial(m.Face, m.Ambient, m.Diffuse, m.Specular, m.Emission, m.Shininess);
    CheckGLError<Exception>("");
}

void T3dOpenglContext::SetMaterialColor(T3dMaterialFace face, T3dColorComponent component,
                                        const T3dColor& color) {
    if (component > ccEmission) return;
    GL.glMaterialfv(MaterialFaceGL(face), kColorComponent[component], &color.r);
}

void T3dOpenglContext::SetMaterialShininess(T3dMaterialFace face, float shininess) {
    GL.glMaterialf(MaterialFaceGL(face), GL_SHININESS, shininess);
}

void T3dOpenglContext::EnableClipPlane(int32_t plane, bool enable) {
    if (plane < 1 || plane > 6) return;
    if (enable)
        GL.glEnable(GLenum(GL_CLIP_PLANE0 + plane - 1));
    else
        GL.glDisable(GLenum(GL_CLIP_PLANE0 + plane - 1));
}

void T3dOpenglContext::SetClipPlaneRecord(int32_t plane, bool eyeSpace, const double equation[4]) {
    if (plane < 1 || plane > 6) return;
    // In eye space the plane is given with an identity model-view matrix.
    if (eyeSpace) {
        PushMatrix(mkModelview);
        LoadIdentity(mkModelview);
    }
    GL.glClipPlane(GLenum(GL_CLIP_PLANE0 + plane - 1), equation);
    if (eyeSpace) PopMatrix(mkModelview);
}

void T3dOpenglContext::SetClipPlane(int32_t plane, bool eyeSpace, float a, float b, float c, float d) {
    const double equation[4] = {a, b, c, d};
    SetClipPlaneRecord(plane, eyeSpace, equation);
}

// ---------------------------------------------------------------------------
// Read-back (rows packed without padding, so width * height * size bytes)

void T3dOpenglContext::Read(GLenum buffer, int32_t x, int32_t y, int32_t w, int32_t h, GLenum format,
                            void* out) {
    if (w <= 0 || h <= 0 || !out) return;
    if (buffer) GL.glReadBuffer(Framebuffer ? GLenum(GL_COLOR_ATTACHMENT0) : buffer);
    GLint alignment = 4;
    GL.glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    GL.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    GL.glReadPixels(x, y, w, h, format, GL_UNSIGNED_BYTE, out);
    GL.glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}

void T3dOpenglContext::ReadFront(int32_t x, int32_t y, int32_t w, int32_t h, void* buffer) {
    Read(GL_FRONT, x, y, w, h, GL_RGBA, buffer);
}
void T3dOpenglContext::ReadFrontRGBA(int32_t x, int32_t y, int32_t w, int32_t h, void* buffer) {
    Read(GL_FRONT, x, y, w, h, GL_RGBA, buffer);
}
void T3dOpenglContext::ReadBack(int32_t x, int32_t y, int32_t w, int32_t h, void* buffer) {
    Read(GL_BACK, x, y, w, h, GL_RGBA, buffer);
}
void T3dOpenglContext::ReadStencil(int32_t x, int32_t y, int32_t w, int32_t h, void* buffer) {
    Read(0, x, y, w, h, GL_STENCIL_INDEX, buffer);
}
void T3dOpenglContext::ReadDepth(int32_t x, int32_t y, int32_t w, int32_t h, void* buffer) {
    Read(0, x, y, w, h, GL_DEPTH_COMPONENT, buffer);
}
