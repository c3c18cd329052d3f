// A demo device on a real (hidden) SDL window for the demo tests, and an
// effect that records every hook the frame loop calls.
#pragma once

#include "demo/DemoDevice.h"
#include "demo/DemoEffect.h"
#include "demo/DemoParts.h"

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

// Copies the vertex-program texts every scene load reads (content/vp*.txt)
// into `folder`, leaving any already there.
void CopyVertexPrograms(const std::string& folder);

// Writes the smallest scene file to `path`: one triangle with edges of `size`
// at the origin, a camera and a light 5 units in front of it, clearing to the
// background colour (red, green, blue from 0 to 1).
void WriteTriangleScene(const std::string& path, float size = 1.0f, float red = 0.0f, float green = 0.0f,
                        float blue = 0.0f);

class TMainWindow;

// Before a test opens a main window: the dummy audio driver (unless another is
// asked for), no message boxes, no pending termination or repeated error, the
// streams' default settings.
void ResetForWindowTest();
// After it: the window closed and the same settings put back.
void EndWindowTest(std::unique_ptr<TMainWindow>& window);
// Posts a key press to the window and lets it handle every waiting event.
void PressKey(TMainWindow& window, SDL_Keycode key, Uint16 modifiers = KMOD_NONE);

class DemoWindow {
public:
    explicit DemoWindow(int width = 64, int height = 64, bool withMusic = false);
    ~DemoWindow();
    DemoWindow(const DemoWindow&) = delete;
    DemoWindow& operator=(const DemoWindow&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }
    TDemo3dDevice* Device() const { return device_.Get(); }
    I3dDevice* Rendering() const { return device_->GetDevice(); }
    ITimer* Timer() const { return device_->Timer(); }
    I3dContext* Context() const;
    SDL_Window* Window() const { return window_; }

    // Draws one frame at demo time `now`, the previous frame having added
    // `duration` (so prev = now - duration).
    void FrameAt(double now, float duration);
    // Reads the current context's back buffer (RGBA, bottom row first).
    std::vector<uint8_t> ReadBack();
    uint32_t Pixel(int x, int y); // 0xAABBGGRR

private:
    bool ok_ = false;
    std::string error_;
    SDL_Window* window_ = nullptr;
    TRefPtr<TDemo3dDevice> device_;
};

// Every hook call, as text: "Start e1", "Render e1 first=1 part=2.000".
class TRecordingEffect : public TDemoEffect {
public:
    explicit TRecordingEffect(std::vector<std::string>* log) : log_(log) {}
    void Load() override { Note("Load"); }
    void Prepare() override { Note("Prepare"); }
    void Start() override { Note("Start"); }
    void Update() override { Note("Update"); }
    void Render(bool first) override;
    void AfterRender() override { Note("AfterRender"); }
    void Stop() override { Note("Stop"); }
    void Unprepare() override { Note("Unprepare"); }

private:
    void Note(const char* hook);
    std::vector<std::string>* log_;
};

// The lines of `log` that start with `prefix`.
std::vector<std::string> Filter(const std::vector<std::string>& log, const std::string& prefix);

// The folder of the content built with the program (console font, archive).
std::string BuiltContent(const std::string& name);
// The committed reference images of this group.
std::string ReferencePath(const std::string& name);

// An RGBA picture read from a Targa file (row 0 at the bottom).
struct RgbaPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};
bool LoadPicture(const std::string& path, RgbaPicture& out);
// Compares two pictures: the largest difference of any channel and the
// mean absolute difference over all channels (RGB only).
struct PictureDifference {
    bool sameSize = false;
    int maxDifference = 0;
    double meanDifference = 0.0;
};
PictureDifference ComparePictures(const RgbaPicture& a, const RgbaPicture& b);
// When ZUMBRIX_WRITE_REFERENCES names a folder, reference images are written
// there (for review) instead of being compared.
const char* ReferenceOutputFolder();
