// TSdlScreenSaverHost: the screen saver's window-system side on SDL.
//
// The cursor poll runs as an SDL timer that posts an event every 500 ms; the
// main loop hands each event to HandleEvent, which calls the screen saver's
// PollTick, KeyPressed or MouseMoved as the event says.
#pragma once

#include "app/ScreenSaver.h"

#include <SDL.h>

class TSdlScreenSaverHost : public TScreenSaverHost {
public:
    explicit TSdlScreenSaverHost(SDL_Window* window);
    ~TSdlScreenSaverHost() override;
    TSdlScreenSaverHost(const TSdlScreenSaverHost&) = delete;
    TSdlScreenSaverHost& operator=(const TSdlScreenSaverHost&) = delete;

    void ShowCursor(bool show) override;
    bool GetCursorPos(int& x, int& y) override;
    void SendClose() override;
    void Terminate() override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void AdjustForRun(uint64_t intoWindow) override;
    void AdjustForPreview(uint64_t parent) override;
    void StartPollTimer(int milliseconds) override;
    void StopPollTimer() override;

    // Routes one event of the main loop to the screen saver. Returns true
    // when the event was the poll timer's own (and needs nothing else).
    bool HandleEvent(const SDL_Event& event, TScreenSaver& saver);

    bool TerminateRequested() const { return terminate_; }
    // Set when the SDL window was made inside a foreign window (the preview
    // or xscreensaver's window): its size and place are the parent's then.
    void SetEmbedded(bool embedded) { embedded_ = embedded; }

private:
    static uint32_t PollTimerCallback(uint32_t interval, void* self);

    SDL_Window* window_;
    SDL_TimerID timer_ = 0;
    uint32_t pollEvent_ = 0;
    bool terminate_ = false;
    bool embedded_ = false;
};
