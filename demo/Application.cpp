#include "demo/Application.h"

#include "platform/Format.h"
#include "platform/Signals.h"

#include <SDL.h>

#include <cstdio>

TApplication& Application() {
    static TApplication application;
    return application;
}

void TApplication::ShowError(const std::string& message) {
    if (!lastError_.empty() && message == lastError_) return;
    lastError_ = message;
    errorCount_++;
    ShowMessage(message, title_);
}

void TApplication::ShowMessage(const std::string& text, const std::string& caption) {
    // Standard error gets one line; the box shows the message's own line
    // breaks (the evaluator writes them as carriage returns).
    std::fprintf(stderr, "%s\n", OneLineMessage(text).c_str());
    std::fflush(stderr);
    // A message box needs a running video part; without one (no display, or
    // a program that never opened a window) standard error is all there is.
    // Once the program is asked to end by a signal nobody is there to answer.
    if (!messageBoxes_ || SDL_WasInit(SDL_INIT_VIDEO) == 0 || TerminationSignal() != 0) return;
    // The window system shows the box from a child process and waits for it:
    // the guard makes that child end with the program and on a signal.
    TChildProcessGuard guard;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), MessageBoxText(text).c_str(), nullptr);
}

void TApplication::ShowNotice(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}
