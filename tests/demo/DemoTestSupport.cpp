#include "tests/demo/DemoTestSupport.h"

#include "demo/Application.h"
#include "platform/Format.h"

#include <cstdlib>

DemoWindow::DemoWindow(int width, int height, bool withMusic) {
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 0);
    Application().SetMessageBoxes(false);
    Application().ClearTerminate();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error_ = std::string("no display: ") + SDL_GetError();
        return;
    }
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    window_ = SDL_CreateWindow("demo test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                               SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_) {
        error_ = std::string("no GL window: ") + SDL_GetError();
        return;
    }
    device_ = new TDemo3dDevice();
    device_->SetAudioOutput(aoSilent);
    try {
        device_->Init(window_, false, withMusic);
    } catch (const std::exception& e) {
        error_ = e.what();
        return;
    }
    ok_ = Context() != nullptr;
    if (!ok_) error_ = "the demo device has no context";
}

DemoWindow::~DemoWindow() {
    device_.Reset();
    Application().ClearTerminate();
    if (window_) SDL_DestroyWindow(window_);
}

I3dContext* DemoWindow::Context() const {
    if (!device_ || !device_->GetDevice()) return nullptr;
    TRefPtr<I3dContext> c;
    device_->GetDevice()->GetCurrentContext(c);
    return c.Get(); // the device keeps its contexts
}

void DemoWindow::FrameAt(double now, float duration) {
    Timer()->SetTime(now);
    Timer()->SetDuration(duration);
    device_->RenderFrame();
}

std::vector<uint8_t> DemoWindow::ReadBack() {
    I3dContext* c = Context();
    int w = c->GetWidth(), h = c->GetHeight();
    std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 4);
    c->ReadBack(0, 0, w, h, pixels.data());
    return pixels;
}

uint32_t DemoWindow::Pixel(int x, int y) {
    uint8_t p[4] = {0, 0, 0, 0};
    Context()->ReadBack(x, y, 1, 1, p);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void TRecordingEffect::Render(bool first) {
    TDemoEffect::Render(first);
    log_->push_back(Format("Render %s first=%d part=%.3f local=%.3f", GetName().c_str(), first ? 1 : 0,
                           PartStart(), LocalTime));
}

void TRecordingEffect::Note(const char* hook) {
    log_->push_back(std::string(hook) + " " + GetName());
}

std::vector<std::string> Filter(const std::vector<std::string>& log, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : log)
        if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    return out;
}
