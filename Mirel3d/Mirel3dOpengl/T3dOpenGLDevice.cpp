#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"
#include "demo/core/HiResTimer.h"

T3dVertexProgramFactory GVertexProgramFactory = nullptr;

T3dOpenGLDevice::T3dOpenGLDevice() {
    Timer = TRefPtr<ITimer>(new THiResTimer());
}

T3dOpenGLDevice::~T3dOpenGLDevice() {
    // Release the stack and the current context before the list, and the
    // main context last: shared and off-screen contexts use its GL context.
    ObjectBuffer.Reset();
    for (auto& c : ContextStack)
        c.Reset();
    CurrentContext.Reset();
    TRefPtr<I3dContext> main = MainContext;
    MainContext.Reset();
    for (auto it = Contexts.rbegin(); it != Contexts.rend(); ++it)
        it->Reset();
    Contexts.clear();
}

// Same GL context and same drawing surface: only the viewport is reset.
void T3dOpenGLDevice::MakeContextCurrent(I3dContext* c) {
    if (CurrentContext && c) {
        auto cur = QueryAs<I3dOpenglContext>(CurrentContext);
        auto next = QueryAs<I3dOpenglContext>(c);
        if (cur && next && cur->GetGLContext() == next->GetGLContext() && cur->GetDC() == next->GetDC()) {
            c->ResetViewport();
            CurrentContext = c;
            return;
        }
    }
    if (CurrentContext) CurrentContext->Deactivate();
    if (!c) {
        CurrentContext.Reset();
        return;
    }
    c->MakeCurrent();
    c->ResetViewport();
    CurrentContext = c;
}

// Buffer regions do not exist on this platform (the flag stays 0), so no
// storage area is ever made and out is left untouched.
void T3dOpenGLDevice::CreateStorageArea(uint8_t, TRefPtr<I3dStorageArea>&) {}

void T3dOpenGLDevice::CreateContext(T3dWindowHandle window, const T3dDeviceMode& mode,
                                    TRefPtr<I3dContext>& out) {
    TRefPtr<T3dOpenglContext> context(new T3dOpenglContext());
    bool first = Contexts.empty();
    if (!first && mode.Kind != ckWindow) {
        PruneTargets();
        // Shared (or off-screen) context on the first context's GL context.
        auto firstGL = QueryAs<I3dOpenglContext>(Contexts[0]);
        context->SetGLContext(firstGL->GetGLContext());
        // One GL context, one GL state: one belief about it.
        context->ShareStateCache(static_cast<T3dOpenglContext*>(Contexts[0]->GetImplementation()));
        context->SetDC(firstGL->GetDC());
        context->SetFixedSize(true);
        context->SetWindow(Contexts[0]->GetWindow());
        context->SetWidth(mode.Width);
        context->SetHeight(mode.Height);
        context->SetDepth(mode.Depth);
        context->SetDevice(this);
        context->Init(mode);
    } else {
        context->SetDevice(this);
        context->SetWindow(window);
        context->Init(mode);
        if (first) {
            MainContext = context.Get();
            Contexts.push_back(TRefPtr<I3dContext>(context.Get()));
            PushContext(context.Get());
            out = context.Get();
            return;
        }
    }
    Contexts.push_back(TRefPtr<I3dContext>(context.Get()));
    out = context.Get();
}

// Off-screen targets that only the device's list still holds are dropped
// (with their framebuffer objects): a scene releases its shadow maps when
// its part stops and makes new ones when a part starts again.
void T3dOpenGLDevice::PruneTargets() {
    for (size_t i = Contexts.size(); i-- > 1;) {
        auto* c = static_cast<T3dOpenglContext*>(Contexts[i]->GetImplementation());
        if (c->GetPbuffer() != 0 && c->RefCount() == 1) Contexts.erase(Contexts.begin() + long(i));
    }
}

void T3dOpenGLDevice::CreateWindowContext(T3dWindowHandle window, int32_t width, int32_t height,
                                          int32_t depth, T3dContextKind kind, TRefPtr<I3dContext>& out) {
    T3dDeviceMode m{};
    m.Fullscreen = false;
    m.Width = width;
    m.Height = height;
    m.Depth = depth;
    m.DoubleBuffer = 0;
    m.ColorBits = 32;
    m.DepthBits = 24;
    m.StencilBits = 8;
    m.AlphaBits = 8;
    m.Stereo = false;
    m.ShareLists = true;
    m.PreferSoftware = false;
    m.Kind = kind;
    m.BindFlags = bindRGBA1;
    m.NoOffscreen = kind == ckWindow || kind == ckShared;
    CreateContext(window, m, out);
}

void T3dOpenGLDevice::CreateBufferContext(T3dWindowHandle window, int32_t width, int32_t height,
                                          int32_t depth, T3dContextKind kind, uint8_t bufferFlags,
                                          uint8_t bindFlags, TRefPtr<I3dContext>& out) {
    T3dDeviceMode m{};
    m.Width = width;
    m.Height = height;
    m.Depth = depth;
    m.DoubleBuffer = (bufferFlags & 0x02) && (bufferFlags & 0x04) ? 1 : 0;
    m.ColorBits = 32;
    m.DepthBits = (bufferFlags & 0x10) ? 24 : 0;
    m.StencilBits = (bufferFlags & 0x08) ? 8 : 0;
    m.AlphaBits = 8;
    m.Stereo = false;
    m.ShareLists = true;
    m.Kind = kind;
    m.BindFlags = bindFlags;
    CreateContext(window, m, out);
}

void T3dOpenGLDevice::GetTimer(TRefPtr<ITimer>& out) {
    out = Timer;
}

// The X display of an SDL window, or a display of our own when the window
// does not run on X11 (or there is none).
static Display* DisplayOf(void* dc, int& screen) {
    screen = 0;
    SDL_Window* window = static_cast<SDL_Window*>(dc);
    if (window) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
            Display* d = info.info.x11.display;
            screen = DefaultScreen(d);
            return d;
        }
    }
    static Display* own = nullptr;
    if (!own) own = XOpenDisplay(nullptr);
    if (own) screen = DefaultScreen(own);
    return own;
}

T3dPixelformats* T3dOpenGLDevice::GetPixelFormats(void* dc) {
    if (!PixelFormats) {
        PixelFormats = std::make_unique<T3dOpenglPixelformats>();
        LoadLibraries();
        int screen = 0;
        Display* display = DisplayOf(dc, screen);
        PixelFormats->Enumerate(display, screen);
    }
    return PixelFormats.get();
}

bool T3dOpenGLDevice::GetDisplayChanger() {
    if (DisplayChanged) return false;
    DisplayChanged = true;
    return true;
}

// The GLX extension list of the display a window runs on (null without X11).
const char* WindowSystemExtensions(void* dc) {
    int screen = 0;
    Display* display = DisplayOf(dc, screen);
    return display ? glXQueryExtensionsString(display, screen) : nullptr;
}

void SetWindowGLAttributes() {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}
