// Screen-saver operation: the switches the screen-saver host starts the
// program with, and TScreenSaver, which adapts the main window to them and
// closes it when the viewer moves the mouse.
//
// Switches (the first letter after the lead character counts, any case):
//   /s            run full screen, closing on mouse moves
//   /c[:...]      settings request ("no settings")
//   /p ID         preview inside the window ID
//   /a ID         password change (nothing to do on this platform)
//   (none)        an ordinary start
// and xscreensaver's conventions (xscreensaver 6 passes them with two dashes):
//   -root, --root                 run; into the window XSCREENSAVER_WINDOW when set
//   -window-id ID, --window-id ID preview inside the window ID
//   XSCREENSAVER_WINDOW           alone (no switch): run into that window
// Window ids are decimal or hexadecimal with 0x (or $).
//
// The logic talks to the window system only through TScreenSaverHost, so it
// can be driven by tests; TSdlScreenSaverHost is the real one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum TScreenSaverMode : uint8_t {
    smNormal = 0,         // no switch: the demo starts as usual
    smSettings = 1,       // the settings dialog was asked for
    smRun = 2,            // full-screen run
    smPreview = 3,        // preview inside a foreign window
    smPasswordChange = 4, // password change
};

struct TScreenSaverRequest {
    TScreenSaverMode mode = smNormal;
    // smPreview: the parent window; smPasswordChange: the window handle passed
    // on; smRun: the window xscreensaver wants us to draw into (0: our own).
    uint64_t window = 0;
    // Started by xscreensaver (-root, -window-id or XSCREENSAVER_WINDOW): a
    // screen-saver "hack", which makes no sound and leaves ending the run to
    // its host.
    bool xscreensaver = false;
};

// Reads a window id: decimal, or hexadecimal after 0x/0X or $. False (and 0)
// when the text is not such a number or does not fit 32 bits.
bool ParseWindowId(const std::string& text, uint64_t& id);

// Decides the mode from the program's arguments (without the program name
// and without the program's own --options) and the value of the environment
// variable XSCREENSAVER_WINDOW (nullptr when unset).
TScreenSaverRequest ParseScreenSaverArgs(const std::vector<std::string>& args,
                                         const char* xscreensaverWindow);

enum TScreenSaverOption : uint32_t {
    ssoAutoAdjustFormProperties = 1,
    ssoAutoHookKeyboardEvents = 2,
    ssoAutoHookMouseEvents = 4,
    ssoEnhancedMouseMoveDetection = 8,
};

// What the screen saver needs from the window system.
class TScreenSaverHost {
public:
    virtual ~TScreenSaverHost() = default;
    virtual void ShowCursor(bool show) = 0;
    virtual bool GetCursorPos(int& x, int& y) = 0;
    virtual void SendClose() = 0; // ask the main window to close
    virtual void Terminate() = 0; // ask the application to end
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // Run: stay on top, maximised, borderless.
    virtual void AdjustForRun(uint64_t intoWindow) = 0;
    // Preview: invisible, borderless child of parent, at (0, 0) with its size,
    // cursor hidden over it.
    virtual void AdjustForPreview(uint64_t parent) = 0;
    // The 500 ms cursor poll.
    virtual void StartPollTimer(int milliseconds) = 0;
    virtual void StopPollTimer() = 0;
};

class TScreenSaver {
public:
    static constexpr int kPollMilliseconds = 500;
    static constexpr int kMouseMoveAllowance = 5;

    explicit TScreenSaver(TScreenSaverHost& host) : host_(host) {}

    uint32_t Options =
        ssoAutoAdjustFormProperties | ssoAutoHookKeyboardEvents | ssoEnhancedMouseMoveDetection;
    bool HonourWindowsPassword = true; // there is no platform password here
    std::string AboutString;
    std::function<void()> OnPropertiesRequested;
    std::function<void()> OnExecute;
    std::function<bool()> OnCloseQuery; // false refuses closing
    std::function<void(uint64_t)> OnPreview;

    // The switch handling, once, when the main window is being created.
    void Loaded(const TScreenSaverRequest& request);

    // Events of the main window while running.
    void KeyPressed();   // with ssoAutoHookKeyboardEvents: a close attempt
    void MouseMoved();   // with ssoAutoHookMouseEvents: after the allowance, a close attempt
    void PollTick();     // the cursor poll timer fired
    bool CloseAttempt(); // returns whether closing was allowed

    bool InPreview() const { return inPreview_; }
    bool Running() const { return running_; }
    bool Polling() const { return polling_; }
    int MouseMoveAllowanceLeft() const { return allowance_; }

private:
    void Run(uint64_t intoWindow);

    TScreenSaverHost& host_;
    bool inPreview_ = false;
    bool running_ = false;
    bool hookKeys_ = false;
    bool hookMouse_ = false;
    bool polling_ = false;
    int allowance_ = kMouseMoveAllowance;
    int lastX_ = 0, lastY_ = 0;
};
