#include "tests/support/GlTestWindow.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>

GlTestWindow::GlTestWindow(int width, int height, bool visible) : width_(width), height_(height) {
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error_ = std::string("no display: ") + SDL_GetError();
        return;
    }
    // The window's visual decides the buffers: RGBA, depth 24, stencil 8,
    // double-buffered.
    SetWindowGLAttributes();
    Uint32 flags = SDL_WINDOW_OPENGL | (visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
    window_ = SDL_CreateWindow("zumbrix test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                               height, flags);
    if (!window_) {
        error_ = std::string("no GL window: ") + SDL_GetError();
        return;
    }
    device_ = new T3dOpenGLDevice();
    T3dDeviceMode mode{};
    mode.Width = width;
    mode.Height = height;
    mode.Depth = 1;
    mode.DoubleBuffer = 1;
    mode.ColorBits = 32;
    mode.DepthBits = 24;
    mode.StencilBits = 8;
    mode.AlphaBits = 8;
    mode.Kind = ckWindow;
    mode.NoOffscreen = true;
    try {
        device_->CreateContext(window_, mode, context_);
    } catch (const std::exception& e) {
        error_ = e.what();
        return;
    }
    ok_ = context_ && context_->GetWidth() == width;
    if (!ok_) error_ = "the context has no GL context or the wrong size";
}

GlTestWindow::~GlTestWindow() {
    context_.Reset();
    device_.Reset();
    // SDL's video part stays up for the rest of the process: the GL entry
    // points fetched through it stay valid for the next window.
    if (window_) SDL_DestroyWindow(window_);
}

void GlTestWindow::Use2D() {
    I3dContext* c = context_.Get();
    c->ResetViewport();
    int w = c->GetWidth(), h = c->GetHeight();
    c->LoadIdentity(mkProjection);
    c->Ortho(mkProjection, 0.0f, float(w), float(h), 0.0f, -1.0f, 1.0f);
    c->LoadIdentity(mkModelview);
    c->SetDepthMode(dmOff);
    c->SetBlendMode(bfZero, bfZero);
    c->EnableLighting(false);
    GL.glDisable(GL_CULL_FACE);
    c->SetColor({1.0f, 1.0f, 1.0f, 1.0f});
}

void GlTestWindow::FillRect(float x0, float y0, float x1, float y1, float r, float g, float b, float a) {
    GL.glColor4f(r, g, b, a);
    GL.glBegin(GL_QUADS);
    GL.glVertex2f(x0, y0);
    GL.glVertex2f(x1, y0);
    GL.glVertex2f(x1, y1);
    GL.glVertex2f(x0, y1);
    GL.glEnd();
}

std::vector<uint8_t> GlTestWindow::ReadRGBA() {
    I3dContext* current = nullptr;
    TRefPtr<I3dContext> c;
    device_->GetCurrentContext(c);
    current = c ? c.Get() : context_.Get();
    int w = current->GetWidth(), h = current->GetHeight();
    std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 4);
    GL.glFinish();
    current->ReadBack(0, 0, w, h, pixels.data());
    return pixels;
}

uint32_t GlTestWindow::Pixel(int x, int y) {
    uint8_t p[4] = {0, 0, 0, 0};
    TRefPtr<I3dContext> c;
    device_->GetCurrentContext(c);
    I3dContext* current = c ? c.Get() : context_.Get();
    GL.glFinish();
    current->ReadBack(x, y, 1, 1, p);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool GlTestWindow::WritePPM(const std::string& path, const std::vector<uint8_t>& rgba, int width,
                            int height) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; y--)
        for (int x = 0; x < width; x++)
            std::fwrite(&rgba[(size_t(y) * size_t(width) + size_t(x)) * 4], 1, 3, f);
    return std::fclose(f) == 0;
}

bool NearColor(uint32_t p, int r, int g, int b, int tolerance) {
    return std::abs(Red(p) - r) <= tolerance && std::abs(Green(p) - g) <= tolerance &&
           std::abs(Blue(p) - b) <= tolerance;
}
