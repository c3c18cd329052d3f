// TResChange: the display-mode changer used for full-screen runs. It asks
// for a display mode (any of width, height, colour depth and refresh rate;
// a zero keeps the display's current value), switches the main window to full
// screen on that mode, and returns to the desktop mode when destroyed.
#pragma once

#include <SDL.h>

#include <cstdint>

// Which fields of the requested mode carry a value (the platform's flags).
enum : uint32_t {
    DM_BITSPERPEL = 0x40000,
    DM_PELSWIDTH = 0x80000,
    DM_PELSHEIGHT = 0x100000,
    DM_DISPLAYFREQUENCY = 0x400000,
};

// The requested mode: values and the flags of those that were given.
struct TRequestedMode {
    uint32_t fields = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
    int32_t refreshRate = 0;
};

// The SDL mode to ask for: the current mode with every flagged field of the
// request in its place. A depth other than the current one picks the usual
// SDL pixel format of that depth.
SDL_DisplayMode ComposeDisplayMode(const SDL_DisplayMode& current, const TRequestedMode& request);

class TResChange {
public:
    // window: the main window that goes full screen. Reads the desktop mode
    // for reference.
    explicit TResChange(SDL_Window* window);
    // Leaves full screen, which returns the display to the desktop mode.
    ~TResChange();
    TResChange(const TResChange&) = delete;
    TResChange& operator=(const TResChange&) = delete;

    // Each stores the value and flags the field, or clears the flag for 0.
    void SetWidth(int32_t width);
    void SetHeight(int32_t height);
    void SetBitsPerPixel(int32_t bits);
    void SetRefreshRate(int32_t rate);

    // Switches the window to full screen on the requested mode (the nearest
    // the display offers at the requested size). Returns false, leaving the
    // window as it was, when the display refuses: no mode of that size (or
    // none at all) exists, or the switch itself fails.
    bool Apply();

    const TRequestedMode& Requested() const { return requested_; }
    const SDL_DisplayMode& Desktop() const { return desktop_; }
    bool Applied() const { return applied_; }

private:
    void Store(int32_t& field, uint32_t flag, int32_t value);

    SDL_Window* window_;
    SDL_DisplayMode desktop_{};
    TRequestedMode requested_;
    bool applied_ = false;
};
