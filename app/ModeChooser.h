// TfrmChoose: the mode chooser shown before anything is loaded. A small
// Dear ImGui dialog in its own SDL window: three drop-down lists (size,
// colour depth, refresh rate), "Window mode" and "Silent" check boxes, and
// the buttons "Tombrel" (OK, also Enter) and "Metal" (Cancel, also Escape).
// Closing the window is Cancel.
//
// The dialog keeps its outcome after it closes: SelectedMode, WindowMode and
// MusicEnabled feed start-up.
#pragma once

#include "app/DisplayModes.h"

#include <SDL.h>

#include <cstdint>
#include <vector>

// mrAbort: the dialog was ended from outside (a termination signal).
enum TModalResult : uint8_t { mrNone = 0, mrOK = 1, mrCancel = 2, mrAbort = 3 };

class TfrmChoose {
public:
    static constexpr const char* kCaption = "Choose, god damn it!";
    // The dialog's client area (the form is 193 × 244 with its tool-window frame).
    static constexpr int kClientWidth = 185;
    static constexpr int kClientHeight = 217;
    // The dialog's background colour.
    static constexpr uint8_t kBackground[3] = {234, 72, 209};

    // Fills the lists from the display's modes (SDL's video part must be
    // initialised for that; without it the lists stay empty).
    TfrmChoose();
    // Fills the lists from the given modes (in the platform's order).
    explicit TfrmChoose(const std::vector<TDisplaySetting>& modes);
    ~TfrmChoose();
    TfrmChoose(const TfrmChoose&) = delete;
    TfrmChoose& operator=(const TfrmChoose&) = delete;

    // Shows the dialog and runs it until the viewer decides. When the
    // application is already asked to terminate, ends at once with Cancel.
    // A dialog that cannot be opened (no display) also ends with Cancel. A
    // termination signal ends it with mrAbort.
    TModalResult ShowModal(bool terminationPending = false);

    // The steps of ShowModal, for callers that drive the dialog themselves.
    bool Open();             // window, GL context and Dear ImGui; false when impossible
    TModalResult RunFrame(); // handles waiting events, draws one frame
    void Close();            // takes the window down, restores the arrow cursor
    SDL_Window* Window() const { return window_; }
    // Keeps a copy of each drawn frame (RGBA rows, bottom row first), for
    // checking what the dialog draws.
    void SetCaptureFrames(bool on) { captureFrames_ = on; }
    const std::vector<uint8_t>& LastFrame() const { return lastFrame_; }

    // The outcome (also valid while the dialog runs).
    TDisplaySetting SelectedMode() { return panel_.SelectedMode(); }
    bool WindowMode() const { return windowMode_; }
    bool MusicEnabled() const { return !silent_; }
    TDisplayModePanel& Panel() { return panel_; }
    void SetWindowMode(bool on) { windowMode_ = on; }
    void SetSilent(bool on) { silent_ = on; }

private:
    TModalResult DrawDialog();

    TDisplayModePanel panel_;
    bool windowMode_ = true;
    bool silent_ = false;
    bool captureFrames_ = false;
    std::vector<uint8_t> lastFrame_;

    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    struct ImGuiContext* imgui_ = nullptr;
    struct ImGuiContext* previousImgui_ = nullptr;
    SDL_Window* previousWindow_ = nullptr;
    SDL_GLContext previousContext_ = nullptr;
};
