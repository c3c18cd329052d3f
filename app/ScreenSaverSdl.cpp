#include "app/ScreenSaverSdl.h"

#include "demo/Application.h"

TSdlScreenSaverHost::TSdlScreenSaverHost(SDL_Window* window) : window_(window) {
    pollEvent_ = SDL_RegisterEvents(1);
}

TSdlScreenSaverHost::~TSdlScreenSaverHost() {
    StopPollTimer();
}

void TSdlScreenSaverHost::ShowCursor(bool show) {
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

bool TSdlScreenSaverHost::GetCursorPos(int& x, int& y) {
    SDL_GetGlobalMouseState(&x, &y);
    return true;
}

void TSdlScreenSaverHost::SendClose() {
    // The same path as the window's close button.
    SDL_Event event;
    SDL_zero(event);
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = window_ ? SDL_GetWindowID(window_) : 0;
    SDL_PushEvent(&event);
}

void TSdlScreenSaverHost::Terminate() {
    terminate_ = true;
    SDL_Event event;
    SDL_zero(event);
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

void TSdlScreenSaverHost::ShowMessage(const std::string& text, const std::string& caption) {
    Application().ShowMessage(text, caption);
}

void TSdlScreenSaverHost::AdjustForRun(uint64_t) {
    if (!window_ || embedded_) return;
    SDL_SetWindowAlwaysOnTop(window_, SDL_TRUE);
    SDL_SetWindowBordered(window_, SDL_FALSE);
    SDL_MaximizeWindow(window_);
}

void TSdlScreenSaverHost::AdjustForPreview(uint64_t) {
    if (!window_) return;
    // A window made inside the parent already has its place and size; one
    // that could not be placed there stays out of sight.
    if (!embedded_) {
        SDL_SetWindowBordered(window_, SDL_FALSE);
        SDL_HideWindow(window_);
    }
    SDL_ShowCursor(SDL_DISABLE);
}

uint32_t TSdlScreenSaverHost::PollTimerCallback(uint32_t interval, void* self) {
    // Runs on SDL's timer thread: only post an event.
    SDL_Event event;
    SDL_zero(event);
    event.type = static_cast<TSdlScreenSaverHost*>(self)->pollEvent_;
    SDL_PushEvent(&event);
    return interval;
}

void TSdlScreenSaverHost::StartPollTimer(int milliseconds) {
    if (timer_ || pollEvent_ == static_cast<uint32_t>(-1)) return;
    if (!SDL_WasInit(SDL_INIT_TIMER)) SDL_InitSubSystem(SDL_INIT_TIMER);
    timer_ = SDL_AddTimer(static_cast<uint32_t>(milliseconds), PollTimerCallback, this);
}

void TSdlScreenSaverHost::StopPollTimer() {
    if (timer_) SDL_RemoveTimer(timer_);
    timer_ = 0;
}

bool TSdlScreenSaverHost::HandleEvent(const SDL_Event& event, TScreenSaver& saver) {
    if (event.type == pollEvent_ && pollEvent_ != static_cast<uint32_t>(-1)) {
        saver.PollTick();
        return true;
    }
    if (event.type == SDL_KEYDOWN) saver.KeyPressed();
    if (event.type == SDL_MOUSEMOTION) saver.MouseMoved();
    return false;
}
