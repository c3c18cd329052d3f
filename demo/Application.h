// TApplication: the process-wide application object of the demo. It stands
// for what the window system's application object does for the demo: the
// request to terminate (the message loop ends after the current message),
// the idle handler the message loop calls whenever no message waits, and the
// default error handling that shows an exception's message to the viewer.
#pragma once

#include <string>

class TApplication {
public:
    // Called by the message loop whenever no message waits. Returns true when
    // it is done (the loop may then wait for the next message); false asks to
    // be called again at once.
    using TIdleHandler = bool (*)(void* context);

    // The message loop ends after the current message.
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Only for programs that run several demos in one process (tests).
    void ClearTerminate() { terminated_ = false; }

    // Replaces any earlier idle handler; a null procedure removes it.
    void SetOnIdle(TIdleHandler handler, void* context) {
        idle_ = handler;
        idleContext_ = context;
    }
    // Removes the idle handler when it was installed with this context.
    void RemoveOnIdle(void* context) {
        if (idleContext_ == context) SetOnIdle(nullptr, nullptr);
    }
    bool HasIdleHandler() const { return idle_ != nullptr; }
    // Runs the idle handler once. Returns its answer (true without one).
    bool Idle() { return idle_ ? idle_(idleContext_) : true; }

    // The default error handling: the message goes to standard error and, when
    // message boxes are on and a display exists, into a message box with the
    // application's title as caption. The same message arriving again right
    // after the first (an error that repeats every frame) is shown once.
    void ShowError(const std::string& message);
    // Forgets the last message shown, so that the next one is shown again.
    void ResetErrorRepeat() { lastError_.clear(); }
    const std::string& LastError() const { return lastError_; }
    int ErrorCount() const { return errorCount_; }

    void SetMessageBoxes(bool on) { messageBoxes_ = on; }
    bool MessageBoxes() const { return messageBoxes_; }
    void SetTitle(const std::string& title) { title_ = title; }
    const std::string& Title() const { return title_; }

    // A message box with its own text and caption (always also on standard
    // error), for the messages the program itself shows. None once the
    // program is asked to end by a signal.
    void ShowMessage(const std::string& text, const std::string& caption);
    // A notice that changes nothing about the run (no sound, a window
    // instead of full screen): standard error only, never a box.
    void ShowNotice(const std::string& text);

private:
    bool terminated_ = false;
    TIdleHandler idle_ = nullptr;
    void* idleContext_ = nullptr;
    bool messageBoxes_ = true;
    std::string title_ = "Zumbrix";
    std::string lastError_;
    int errorCount_ = 0;
};

// The one application object of the process.
TApplication& Application();
