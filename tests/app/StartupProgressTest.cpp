// Start-up's progress: nothing for half a second, then the window with what
// is being loaded in its caption; never in offline runs or a host's window.
#include "app/StartupProgress.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

TEST(StartupProgress, AppearsOnlyAfterHalfASecondAndOnlyWhenAsked) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << SDL_GetError();
    for (bool show : {true, false}) {
        SCOPED_TRACE(show ? "shown" : "offline");
        SDL_Window* window = SDL_CreateWindow("Cap", 0, 0, 64, 48, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        TStartupProgress progress(window, "Cap", show);
        auto visible = [&] { return (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) != 0; };
        progress.Step(1, 4, "font.noc"); // quick: nothing yet
        EXPECT_FALSE(visible());
        EXPECT_STREQ(SDL_GetWindowTitle(window), "Cap");
        std::this_thread::sleep_for(
            std::chrono::milliseconds(int(TStartupProgress::kDelaySeconds * 1000) + 50));
        progress.Step(3, 4, "stage.y3d");
        EXPECT_EQ(visible(), show);
        EXPECT_EQ(progress.Shown(), show);
        EXPECT_EQ(std::string(SDL_GetWindowTitle(window)), show ? "Cap - loading 3 of 4: stage.y3d" : "Cap");
        progress.Finish();
        EXPECT_STREQ(SDL_GetWindowTitle(window), "Cap");
        SDL_DestroyWindow(window);
    }
}

} // namespace
