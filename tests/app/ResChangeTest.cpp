// The display-mode changer: requested fields and their flags, the mode asked
// of SDL, and a full-screen switch and return on a real (Xvfb) display.
#include "app/ResChange.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(ResChange, ZeroKeepsTheCurrentValue) {
    SDL_DisplayMode current{SDL_PIXELFORMAT_RGB888, 1280, 1024, 60, nullptr};
    TRequestedMode request;
    SDL_DisplayMode same = ComposeDisplayMode(current, request);
    EXPECT_EQ(same.w, 1280);
    EXPECT_EQ(same.h, 1024);
    EXPECT_EQ(same.format, current.format);
    EXPECT_EQ(same.refresh_rate, 60);

    request.fields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY | DM_BITSPERPEL;
    request.width = 800;
    request.height = 600;
    request.refreshRate = 75;
    request.bitsPerPixel = 16;
    SDL_DisplayMode wanted = ComposeDisplayMode(current, request);
    EXPECT_EQ(wanted.w, 800);
    EXPECT_EQ(wanted.h, 600);
    EXPECT_EQ(wanted.refresh_rate, 75);
    EXPECT_EQ(SDL_BITSPERPIXEL(wanted.format), 16u);
    // The current format is kept when its depth is the one asked for.
    request.bitsPerPixel = 24;
    EXPECT_EQ(ComposeDisplayMode(current, request).format, current.format);
    request.bitsPerPixel = 15;
    EXPECT_EQ(SDL_BITSPERPIXEL(ComposeDisplayMode(current, request).format), 15u);
}

TEST(ResChange, SettersFlagNonZeroValuesAndClearForZero) {
    TResChange change(nullptr);
    change.SetWidth(1024);
    change.SetHeight(768);
    change.SetBitsPerPixel(32);
    change.SetRefreshRate(85);
    EXPECT_EQ(change.Requested().fields,
              uint32_t(DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL | DM_DISPLAYFREQUENCY));
    EXPECT_EQ(change.Requested().fields, 0x5C0000u);
    change.SetRefreshRate(0);
    change.SetBitsPerPixel(0);
    EXPECT_EQ(change.Requested().fields, 0x180000u);
    EXPECT_EQ(change.Requested().width, 1024);
    EXPECT_FALSE(change.Apply()); // no window: nothing to switch
    EXPECT_FALSE(change.Applied());
}

TEST(ResChange, SwitchesAWindowToFullScreenAndBack) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("rc", 0, 0, 320, 240, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    {
        TResChange change(window);
        EXPECT_GT(change.Desktop().w, 0);
        // Ask for the desktop's own size: every display offers that one.
        change.SetWidth(change.Desktop().w);
        change.SetHeight(change.Desktop().h);
        EXPECT_TRUE(change.Apply());
        EXPECT_TRUE(change.Applied());
        EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN);
    }
    EXPECT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN);
    SDL_DestroyWindow(window);
}
