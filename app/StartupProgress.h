// Shows how start-up's loading advances, once it has taken longer than half a
// second: the window appears with its caption saying what is being loaded
// ("Zumbrix from Tombrel - loading 12 of 40: stage.y3d") and a bar across
// its middle. Quick start-ups show nothing; offline runs and windows inside a
// screen-saver host are left alone.
#pragma once

#include <SDL.h>

#include <chrono>
#include <string>

#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"

class TStartupProgress {
public:
    static constexpr double kDelaySeconds = 0.5;

    // `show` false: only keeps time (offline runs, a host's window).
    TStartupProgress(SDL_Window* window, const char* caption, bool show);

    // The device to draw the bar with, once it exists.
    void SetDevice(I3dDevice* device) { device_ = device; }
    // Before item `number` (1-based) of `count` is loaded.
    void Step(int number, int count, const std::string& what);
    // Loading is over: the caption is the window's own again.
    void Finish();

    bool Shown() const { return shown_; }
    // Seconds since the progress began (start-up's start).
    double Elapsed() const;

private:
    void Draw(double fraction);

    SDL_Window* window_;
    std::string caption_;
    bool show_;
    bool shown_ = false;
    I3dDevice* device_ = nullptr;
    std::chrono::steady_clock::time_point start_;
};
