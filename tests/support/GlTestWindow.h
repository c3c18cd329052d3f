// A real OpenGL window for tests: an SDL window (hidden by default) with a
// compatibility context made through the rendering device, on whatever display
// the test runs (Xvfb with Mesa's llvmpipe in the suite).
//
//   GlTestWindow w(64, 64);
//   if (!w.Ok()) GTEST_SKIP() << w.Error();
//   w.Context()->Clear(1);
//   uint32_t rgba = w.Pixel(10, 10);   // read back from the back buffer
//
// Pixels are RGBA bytes, row 0 at the bottom, packed as 0xAABBGGRR in Pixel().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"

struct SDL_Window;

class GlTestWindow {
public:
    explicit GlTestWindow(int width = 64, int height = 64, bool visible = false);
    ~GlTestWindow();
    GlTestWindow(const GlTestWindow&) = delete;
    GlTestWindow& operator=(const GlTestWindow&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    SDL_Window* Window() const { return window_; }
    T3dOpenGLDevice* Device() const { return device_.Get(); }
    I3dContext* Context() const { return context_.Get(); }
    T3dOpenglContext* GLContext() const {
        return static_cast<T3dOpenglContext*>(context_->GetImplementation());
    }

    // Sets up a plain 2D state: viewport reset, orthographic projection with
    // (0, 0) bottom-left and (width, height) top-right, identity model-view,
    // no depth test, no culling, no blending, no lighting, white colour.
    void Use2D();
    // Fills an axis-aligned rectangle in window coordinates with a colour
    // (immediate mode, current state).
    void FillRect(float x0, float y0, float x1, float y1, float r, float g, float b, float a = 1.0f);
    // Reads the back buffer of the current drawing target (whole size).
    std::vector<uint8_t> ReadRGBA();
    // One pixel of the current drawing target as 0xAABBGGRR.
    uint32_t Pixel(int x, int y);
    // Writes RGBA pixels (bottom row first) as a binary PPM (upright).
    static bool WritePPM(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height);

private:
    bool ok_ = false;
    std::string error_;
    int width_, height_;
    SDL_Window* window_ = nullptr;
    TRefPtr<T3dOpenGLDevice> device_;
    TRefPtr<I3dContext> context_;
};

// Channel helpers for Pixel() values.
inline int Red(uint32_t p) {
    return int(p & 0xFF);
}
inline int Green(uint32_t p) {
    return int((p >> 8) & 0xFF);
}
inline int Blue(uint32_t p) {
    return int((p >> 16) & 0xFF);
}
inline int Alpha(uint32_t p) {
    return int(p >> 24);
}
// True when every channel of p is within tolerance of (r, g, b).
bool NearColor(uint32_t p, int r, int g, int b, int tolerance = 2);
