#include "app/ResChange.h"

namespace {

uint32_t FormatOfDepth(int32_t bits, uint32_t current) {
    if (static_cast<int32_t>(SDL_BITSPERPIXEL(current)) == bits) return current;
    switch (bits) {
    case 8:
        return SDL_PIXELFORMAT_INDEX8;
    case 15:
        return SDL_PIXELFORMAT_RGB555;
    case 16:
        return SDL_PIXELFORMAT_RGB565;
    case 24:
        return SDL_PIXELFORMAT_RGB24;
    case 32:
        return SDL_PIXELFORMAT_RGB888; // 32 bits of storage, 24 of colour
    default:
        return current;
    }
}

} // namespace

SDL_DisplayMode ComposeDisplayMode(const SDL_DisplayMode& current, const TRequestedMode& request) {
    SDL_DisplayMode mode = current;
    if (request.fields & DM_PELSWIDTH) mode.w = request.width;
    if (request.fields & DM_PELSHEIGHT) mode.h = request.height;
    if (request.fields & DM_BITSPERPEL) mode.format = FormatOfDepth(request.bitsPerPixel, current.format);
    if (request.fields & DM_DISPLAYFREQUENCY) mode.refresh_rate = request.refreshRate;
    return mode;
}

TResChange::TResChange(SDL_Window* window) : window_(window) {
    int display = window_ ? SDL_GetWindowDisplayIndex(window_) : 0;
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &desktop_) != 0) desktop_ = SDL_DisplayMode{};
}

TResChange::~TResChange() {
    if (applied_ && window_) SDL_SetWindowFullscreen(window_, 0);
}

void TResChange::Store(int32_t& field, uint32_t flag, int32_t value) {
    field = value;
    if (value != 0)
        requested_.fields |= flag;
    else
        requested_.fields &= ~flag;
}

void TResChange::SetWidth(int32_t width) {
    Store(requested_.width, DM_PELSWIDTH, width);
}
void TResChange::SetHeight(int32_t height) {
    Store(requested_.height, DM_PELSHEIGHT, height);
}
void TResChange::SetBitsPerPixel(int32_t bits) {
    Store(requested_.bitsPerPixel, DM_BITSPERPEL, bits);
}
void TResChange::SetRefreshRate(int32_t rate) {
    Store(requested_.refreshRate, DM_DISPLAYFREQUENCY, rate);
}

bool TResChange::Apply() {
    if (!window_) return false;
    int display = SDL_GetWindowDisplayIndex(window_);
    if (display < 0) display = 0;
    SDL_DisplayMode current;
    if (SDL_GetCurrentDisplayMode(display, &current) != 0) current = desktop_;
    SDL_DisplayMode wanted = ComposeDisplayMode(current, requested_);
    // The closest mode may differ in depth and rate, never in size: a
    // different size would stretch or crop the demo on the viewer's screen.
    SDL_DisplayMode closest;
    if (!SDL_GetClosestDisplayMode(display, &wanted, &closest) || closest.w != wanted.w ||
        closest.h != wanted.h)
        return false;
    if (SDL_SetWindowDisplayMode(window_, &closest) != 0) return false;
    if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) != 0) {
        SDL_SetWindowFullscreen(window_, 0);
        return false;
    }
    applied_ = true;
    return true;
}
