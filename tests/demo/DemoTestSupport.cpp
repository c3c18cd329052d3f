#include "tests/demo/DemoTestSupport.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "app/MainWindow.h"
#include "data/FlexibleStream.h"

#include "demo/Application.h"
#include "data/Stream.h"
#include "platform/Format.h"
#include "scene/loader/Y3dFile.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <cstdlib>

#include <cstdlib>

DemoWindow::DemoWindow(int width, int height, bool withMusic) {
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 0);
    Application().SetMessageBoxes(false);
    Application().ClearTerminate();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error_ = std::string("no display: ") + SDL_GetError();
        return;
    }
    SetWindowGLAttributes();
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

std::string BuiltContent(const std::string& name) {
    return std::string(ZUMBRIX_BINARY_DIR) + "/" + name;
}

std::string ReferencePath(const std::string& name) {
    return std::string(ZUMBRIX_SOURCE_DIR) + "/tests/data-files/demo/" + name;
}

bool LoadPicture(const std::string& path, RgbaPicture& out) {
    // Read straight from the file, whatever the data-source settings are.
    TRefPtr<I3dImage> image = T3dImage::Create();
    try {
        TFileStream file(path, TFileStream::fmOpenRead);
        image->LoadFromStream(file);
    } catch (const std::exception&) {
        return false;
    }
    out.width = image->GetWidth();
    out.height = image->GetHeight();
    int components = image->GetFormat() + 1;
    out.pixels.assign(size_t(out.width) * size_t(out.height) * 4, 255);
    for (int y = 0; y < out.height; y++)
        for (int x = 0; x < out.width; x++)
            for (int c = 0; c < std::min(components, 4); c++)
                out.pixels[(size_t(y) * size_t(out.width) + size_t(x)) * 4 + size_t(c)] =
                    image->GetUInt8(x, y, c, 0);
    return true;
}

PictureDifference ComparePictures(const RgbaPicture& a, const RgbaPicture& b) {
    PictureDifference d;
    d.sameSize = a.width == b.width && a.height == b.height;
    if (!d.sameSize) return d;
    double sum = 0.0;
    size_t n = 0;
    for (size_t i = 0; i < a.pixels.size(); i++) {
        if (i % 4 == 3) continue;
        int diff = std::abs(int(a.pixels[i]) - int(b.pixels[i]));
        d.maxDifference = std::max(d.maxDifference, diff);
        sum += diff;
        n++;
    }
    d.meanDifference = n ? sum / double(n) : 0.0;
    return d;
}

const char* ReferenceOutputFolder() {
    const char* folder = std::getenv("ZUMBRIX_WRITE_REFERENCES");
    return folder && *folder ? folder : nullptr;
}

void CopyVertexPrograms(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(SourcePath("content"))) {
        const std::string name = entry.path().filename().string();
        const std::filesystem::path target = std::filesystem::path(folder) / name;
        if (name.rfind("vp", 0) == 0 && !std::filesystem::exists(target))
            std::filesystem::copy_file(entry.path(), target);
    }
}

void WriteTriangleScene(const std::string& path, float size, float red, float green, float blue) {
    TY3dDocument doc;
    doc.Colors.Background[0] = red;
    doc.Colors.Background[1] = green;
    doc.Colors.Background[2] = blue;
    doc.Materials.resize(1);
    doc.Objects.resize(3);
    for (int i = 0; i < 3; i++) {
        TY3dObject& o = doc.Objects[size_t(i)];
        o.What = i == 0 ? TY3dObject::okMesh : i == 1 ? TY3dObject::okCamera : TY3dObject::okLight;
        o.Node.Header.Id = o.Mesh.Header.Id = o.Camera.Header.Id = o.Light.Header.Id = i + 2;
        o.Node.Translation[2] = i == 0 ? 0.0f : 5.0f;
    }
    TY3dMesh& mesh = doc.Objects[0].Mesh;
    mesh.Flags = vfPosition | vfNormal;
    mesh.VertexCount = 3;
    mesh.Vertices = {0, 0, 0, 0, 0, 1, size, 0, 0, 0, 0, 1, 0, size, 0, 0, 0, 1};
    mesh.Indices = {0, 1, 2};
    mesh.Groups = {{4, 0, 0, 3}};
    SaveY3dFile(doc, path);
}

void ResetForWindowTest() {
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 0);
    Application().SetMessageBoxes(false);
    Application().ClearTerminate();
    Application().ResetErrorRepeat();
    TFlexibleStream::ResetSettings();
}

void EndWindowTest(std::unique_ptr<TMainWindow>& window) {
    window.reset();
    TFlexibleStream::ResetSettings();
    Application().ClearTerminate();
}

void PressKey(TMainWindow& window, SDL_Keycode key, Uint16 modifiers) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(window.Window());
    e.key.keysym.sym = key;
    e.key.keysym.mod = modifiers;
    SDL_PushEvent(&e);
    SDL_Event got;
    while (SDL_PollEvent(&got))
        window.HandleEvent(got);
}
