#include "app/ForeignWindow.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

namespace {

// X errors (a window id that does not exist) are reported through a handler
// that ends the process by default; catch them while we talk to the server.
bool gXError = false;
int CatchXError(Display*, XErrorEvent*) {
    gXError = true;
    return 0;
}

XVisualInfo* ChooseGlVisual(Display* display, int screen) {
    int full[] = {GLX_RGBA,
                  GLX_DOUBLEBUFFER,
                  GLX_RED_SIZE,
                  8,
                  GLX_GREEN_SIZE,
                  8,
                  GLX_BLUE_SIZE,
                  8,
                  GLX_DEPTH_SIZE,
                  24,
                  GLX_STENCIL_SIZE,
                  8,
                  None};
    int plain[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16, None};
    XVisualInfo* visual = glXChooseVisual(display, screen, full);
    return visual ? visual : glXChooseVisual(display, screen, plain);
}

} // namespace

TForeignChildWindow::~TForeignChildWindow() {
    Destroy();
}

bool TForeignChildWindow::Create(uint64_t parent) {
    Destroy();
    if (parent == 0) return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;

    XSync(display, False);
    gXError = false;
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(CatchXError);
    XWindowAttributes attributes;
    Status known = XGetWindowAttributes(display, static_cast<::Window>(parent), &attributes);
    XSync(display, False);
    ::Window child = 0;
    Colormap colormap = 0;
    if (known && !gXError) {
        XVisualInfo* visual = ChooseGlVisual(display, XScreenNumberOfScreen(attributes.screen));
        if (visual) {
            colormap = XCreateColormap(display, static_cast<::Window>(parent), visual->visual, AllocNone);
            XSetWindowAttributes set = {};
            set.colormap = colormap;
            set.border_pixel = 0;
            set.background_pixel = 0;
            // Input stays with the owner of the parent (it may already listen
            // for button presses); we only ask for what a child needs.
            set.event_mask = StructureNotifyMask | ExposureMask;
            child = XCreateWindow(
                display, static_cast<::Window>(parent), 0, 0, static_cast<unsigned>(attributes.width),
                static_cast<unsigned>(attributes.height), 0, visual->depth, InputOutput, visual->visual,
                CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &set);
            XFree(visual);
            XMapWindow(display, child);
            XSync(display, False);
        }
    }
    XSetErrorHandler(previous);
    if (!child || gXError) {
        if (child) XDestroyWindow(display, child);
        if (colormap) XFreeColormap(display, colormap);
        XCloseDisplay(display);
        return false;
    }

    // SDL makes its GL context on the window's own visual when told the
    // foreign window is meant for OpenGL.
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    window_ = SDL_CreateWindowFrom(reinterpret_cast<void*>(static_cast<uintptr_t>(child)));
    if (!window_) {
        XDestroyWindow(display, child);
        XFreeColormap(display, colormap);
        XCloseDisplay(display);
        return false;
    }
    display_ = display;
    child_ = child;
    colormap_ = colormap;
    width_ = attributes.width;
    height_ = attributes.height;
    return true;
}

void TForeignChildWindow::Destroy() {
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    if (display_) {
        if (child_) XDestroyWindow(display_, static_cast<::Window>(child_));
        if (colormap_) XFreeColormap(display_, colormap_);
        XCloseDisplay(display_);
    }
    display_ = nullptr;
    child_ = 0;
    colormap_ = 0;
    width_ = height_ = 0;
}
