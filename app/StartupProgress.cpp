#include "app/StartupProgress.h"

#include "platform/Format.h"

TStartupProgress::TStartupProgress(SDL_Window* window, const char* caption, bool show)
    : window_(window), caption_(caption), show_(show), start_(std::chrono::steady_clock::now()) {}

double TStartupProgress::Elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void TStartupProgress::Step(int number, int count, const std::string& what) {
    if (!show_ || !window_ || count <= 0) return;
    if (!shown_) {
        if (Elapsed() < kDelaySeconds) return;
        SDL_ShowWindow(window_);
        shown_ = true;
    }
    SDL_SetWindowTitle(
        window_, Format("%s - loading %d of %d: %s", caption_.c_str(), number, count, what.c_str()).c_str());
    Draw(double(number - 1) / double(count));
    // Let the window system see the window and its caption.
    SDL_PumpEvents();
}

void TStartupProgress::Finish() {
    if (shown_ && window_) SDL_SetWindowTitle(window_, caption_.c_str());
}

// A dark window with a bar along its middle, drawn by clearing rectangles
// (nothing of the demo's drawing state is touched but the scissor box).
void TStartupProgress::Draw(double fraction) {
    if (!device_) return;
    TRefPtr<I3dContext> context;
    device_->GetMainContext(context);
    if (!context) return;
    device_->MakeContextCurrent(context.Get());
    const int32_t w = context->GetWidth(), h = context->GetHeight();
    auto fill = [&](int32_t x, int32_t y, int32_t width, int32_t height, T3dColor colour) {
        T3dViewport box{};
        box.Flags = 0x0C; // scissor rectangle and switch
        box.ScissorEnabled = true;
        box.X = x;
        box.Y = y;
        box.Width = width;
        box.Height = height;
        context->SetViewport(box);
        T3dClearValues clear{};
        clear.Flags = 1;
        clear.Color = colour;
        context->SetClearValues(clear);
        context->Clear(1);
    };
    fill(0, 0, w, h, {0.02f, 0.02f, 0.05f, 1.0f});
    const int32_t barWidth = w * 3 / 5, barHeight = std::max(h / 60, 4);
    const int32_t x = (w - barWidth) / 2, y = (h - barHeight) / 2;
    fill(x, y, barWidth, barHeight, {0.15f, 0.15f, 0.25f, 1.0f});
    fill(x, y, int32_t(barWidth * fraction), barHeight, {0.75f, 0.55f, 0.2f, 1.0f});
    T3dViewport off{};
    off.Flags = 0x08;
    off.ScissorEnabled = false;
    context->SetViewport(off);
    context->ResetViewport();
    context->SwapBuffers();
}
