// Drawing inside a window that belongs to another program: the screen-saver
// preview (/p ID, -window-id ID) and xscreensaver's window.
//
// OpenGL into a foreign window is fragile (its visual may not suit GL, and
// its owner may already listen for its input), so we create our own
// GL-capable window with the parent's size, give that to SDL, and, once the
// GL context is made on it, move it into the parent at (0, 0).
//
// The host owns the parent: it resizes it (the child follows) and destroys
// it when the run ends (xscreensaver does so on every unblank), often while
// we are still drawing. Requests that then fail for the vanished windows are
// the normal end of such a run, not faults: once a child has been made, X
// errors are recorded instead of ending the process, and Poll reports the
// host window gone.
#pragma once

#include <SDL.h>

#include <cstdint>

struct _XDisplay;

class TForeignChildWindow {
public:
    TForeignChildWindow() = default;
    ~TForeignChildWindow();
    TForeignChildWindow(const TForeignChildWindow&) = delete;
    TForeignChildWindow& operator=(const TForeignChildWindow&) = delete;

    // Creates the window (not yet inside parent) and the SDL window on it
    // (SDL's video part must be initialised). Returns false, with nothing
    // made, when the parent does not exist, there is no X display or no
    // GL-capable visual, or the parent vanished meanwhile (HostGone is then
    // true).
    bool Create(uint64_t parent);
    // Moves the window into the parent and shows it there; call it once the
    // GL context exists. False when the parent is gone.
    bool Embed();
    // Destroys the SDL window and the child (also done by the destructor).
    void Destroy();

    // Handles what the host did since the last call: a resized parent
    // resizes the child; a destroyed parent (or child) marks the host gone.
    // Returns false once the host window is gone.
    bool Poll();
    // The host's window went away after we found it.
    bool HostGone() const { return gone_; }
    // Like Poll, but also asks the X server whether the host's window still
    // exists (a round trip): for a failure that its end may have caused, such
    // as a GL error while drawing, before the destroy event has reached us.
    bool HostExists();
    // X errors recorded (not reported) since the first child was made.
    static int XErrorCount();

    SDL_Window* Window() const { return window_; }
    uint64_t Child() const { return child_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    _XDisplay* display_ = nullptr; // our own connection: the child lives as long as it
    uint64_t child_ = 0;
    unsigned long colormap_ = 0;
    uint64_t parent_ = 0;
    SDL_Window* window_ = nullptr;
    int width_ = 0, height_ = 0;
    bool gone_ = false;
};
