// Drawing inside another program's window: our GL child fills the parent,
// takes a GL context, and a parent that does not exist is refused cleanly.
#include "app/ForeignWindow.h"
#include "tests/app/AppTestSupport.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdlib>

namespace {

class ForeignWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    void TearDown() override {
        KeepGlDriversLoaded();
        if (display_) XCloseDisplay(display_);
        // SDL's video part stays up for the rest of the process, as in the
        // other window tests.
    }
    Display* display_ = nullptr;
};

} // namespace

TEST_F(ForeignWindowTest, ChildFillsTheParentAndTakesAGlContext) {
    // The "other program": a plain window of our own connection.
    ::Window parent = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 10, 10, 320, 200, 0, 0, 0);
    XMapWindow(display_, parent);
    XSync(display_, False);

    TForeignChildWindow child;
    ASSERT_TRUE(child.Create(parent));
    KeepGlDriversLoaded();
    SDL_GLContext context = SDL_GL_CreateContext(child.Window());
    EXPECT_NE(context, nullptr) << SDL_GetError();
    ASSERT_TRUE(child.Embed());
    ASSERT_NE(child.Window(), nullptr);
    EXPECT_EQ(child.Width(), 320);
    EXPECT_EQ(child.Height(), 200);
    int w = 0, h = 0;
    SDL_GetWindowSize(child.Window(), &w, &h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 200);

    ::Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    ASSERT_TRUE(XQueryTree(display_, static_cast<::Window>(child.Child()), &root, &up, &children, &count));
    if (children) XFree(children);
    EXPECT_EQ(up, parent);

    if (context) SDL_GL_DeleteContext(context);

    child.Destroy();
    EXPECT_EQ(child.Window(), nullptr);
    XDestroyWindow(display_, parent);
    XSync(display_, False);
}

TEST_F(ForeignWindowTest, AMissingParentIsRefused) {
    TForeignChildWindow child;
    EXPECT_FALSE(child.Create(0));
    // An id no client has made (ids of our own connection start far below).
    EXPECT_FALSE(child.Create(0x7FFFFFF0u));
    EXPECT_EQ(child.Window(), nullptr);
}
