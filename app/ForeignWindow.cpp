#include "app/ForeignWindow.h"

#include "platform/DebugSink.h"
#include "platform/Format.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

namespace {

// X errors are reported through one process-wide handler that ends the
// process by default. Ours catches them while we look at the parent, and,
// once we draw inside a foreign window, records them all: the host may take
// its window away at any moment, and every request on the vanished windows
// (a buffer swap, our own clean-up) then fails.
bool gInstalled = false;
bool gChecking = false; // Create is looking at the parent
bool gXError = false;   // an error while checking
bool gEmbedded = false; // a child has been made: record errors from now on
int gRecorded = 0;
XErrorHandler gPrevious = nullptr;

int OnXError(Display* display, XErrorEvent* event) {
    if (gChecking) {
        gXError = true;
        return 0;
    }
    if (gEmbedded) {
        if (gRecorded++ == 0 && DebugOutputEnabled()) {
            char text[128] = {};
            XGetErrorText(display, event->error_code, text, sizeof text - 1);
            DebugOutput(
                Format("X error inside the host's window (request %d): %s", int(event->request_code), text));
        }
        return 0;
    }
    return gPrevious ? gPrevious(display, event) : 0;
}

void InstallErrorHandler() {
    if (gInstalled) return;
    gInstalled = true;
    gPrevious = XSetErrorHandler(OnXError);
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
    gone_ = false;
    if (parent == 0) return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;

    XSync(display, False);
    InstallErrorHandler();
    gXError = false;
    gChecking = true;
    XWindowAttributes attributes;
    Status known = XGetWindowAttributes(display, static_cast<::Window>(parent), &attributes);
    XSync(display, False);
    ::Window child = 0;
    Colormap colormap = 0;
    if (known && !gXError) {
        XVisualInfo* visual = ChooseGlVisual(display, XScreenNumberOfScreen(attributes.screen));
        if (visual) {
            // The window starts out on the root window, unmapped and out of
            // any window manager's hands, and only moves into the parent
            // once the GL context exists (Embed): a window the host destroys
            // while SDL sets up the context crashes SDL.
            ::Window root = RootWindowOfScreen(attributes.screen);
            colormap = XCreateColormap(display, root, visual->visual, AllocNone);
            XSetWindowAttributes set = {};
            set.colormap = colormap;
            set.border_pixel = 0;
            set.background_pixel = 0;
            set.override_redirect = True;
            // Input stays with the owner of the parent (it may already listen
            // for button presses); we only ask for what a child needs.
            set.event_mask = StructureNotifyMask | ExposureMask;
            child = XCreateWindow(
                display, root, 0, 0, static_cast<unsigned>(attributes.width),
                static_cast<unsigned>(attributes.height), 0, visual->depth, InputOutput, visual->visual,
                CWColormap | CWBorderPixel | CWBackPixel | CWEventMask | CWOverrideRedirect, &set);
            XFree(visual);
            // The parent's size changes and its end reach us as events.
            XSelectInput(display, static_cast<::Window>(parent), StructureNotifyMask);
            XSync(display, False);
        }
    }
    gChecking = false;
    if (!child || gXError) {
        if (child) XDestroyWindow(display, child);
        if (colormap) XFreeColormap(display, colormap);
        XCloseDisplay(display);
        return false;
    }
    // From here on the host may take its window away at any moment.
    gEmbedded = true;
    display_ = display;
    child_ = child;
    parent_ = parent;
    colormap_ = colormap;
    width_ = attributes.width;
    height_ = attributes.height;

    // SDL makes its GL context on the window's own visual when told the
    // foreign window is meant for OpenGL.
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    window_ = SDL_CreateWindowFrom(reinterpret_cast<void*>(static_cast<uintptr_t>(child)));
    if (!window_) {
        // Either SDL cannot use the window, or the host took it away already.
        XSync(display_, False);
        gChecking = true;
        gXError = false;
        XWindowAttributes still;
        bool exists = XGetWindowAttributes(display_, static_cast<::Window>(parent), &still) && !gXError;
        gChecking = false;
        Destroy();
        gone_ = !exists;
        return false;
    }
    return true;
}

bool TForeignChildWindow::Embed() {
    if (!display_ || gone_) return false;
    Poll();
    if (gone_) return false;
    gChecking = true;
    gXError = false;
    XReparentWindow(display_, static_cast<::Window>(child_), static_cast<::Window>(parent_), 0, 0);
    XMapWindow(display_, static_cast<::Window>(child_));
    XSync(display_, False);
    gChecking = false;
    if (gXError) gone_ = true; // the parent went away meanwhile
    return !gone_;
}

bool TForeignChildWindow::Poll() {
    if (!display_ || gone_) return !gone_;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == DestroyNotify &&
            (event.xdestroywindow.window == parent_ || event.xdestroywindow.window == child_)) {
            gone_ = true;
        } else if (event.type == ConfigureNotify && event.xconfigure.window == parent_ &&
                   (event.xconfigure.width != width_ || event.xconfigure.height != height_)) {
            // The child fills the parent; SDL hears of the child's new size
            // through its own connection, and the viewport follows.
            width_ = event.xconfigure.width;
            height_ = event.xconfigure.height;
            XResizeWindow(display_, static_cast<::Window>(child_), static_cast<unsigned>(width_),
                          static_cast<unsigned>(height_));
            XFlush(display_);
        }
    }
    return !gone_;
}

bool TForeignChildWindow::HostExists() {
    if (!Poll()) return false;
    gChecking = true;
    gXError = false;
    XWindowAttributes still;
    const bool exists = XGetWindowAttributes(display_, static_cast<::Window>(parent_), &still) && !gXError;
    gChecking = false;
    if (!exists) gone_ = true;
    return exists;
}

int TForeignChildWindow::XErrorCount() {
    return gRecorded;
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
    parent_ = 0;
    colormap_ = 0;
    width_ = height_ = 0;
}
