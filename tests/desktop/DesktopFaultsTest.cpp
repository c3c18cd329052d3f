// What a desktop can refuse zumbrix, and how it says so: no display, data
// that is not where the options say, no audio device, a full-screen size the
// display lacks.
#include "tests/desktop/DesktopTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using ::testing::HasSubstr;

namespace {

const char* const kCaption = "Zumbrix from Tombrel";

int Lines(const std::string& text) {
    return int(std::count(text.begin(), text.end(), '\n'));
}

TEST(NoDisplay, EveryModeSaysSoInOneLineAndEndsWithStatus1) {
    TempDir out;
    const std::vector<std::vector<std::string>> modes = {
        {},                                   // the chooser
        {"--window", "64x48"},                // playing in a window
        {"--benchmark", "--duration", "0.1"}, // offline
        {"--render-frames", out.Path(), "--fps", "4", "--duration", "0.5"},
    };
    // No display named at all, and one named that nobody serves.
    const std::vector<std::vector<std::string>> displays = {
        {"DISPLAY", "WAYLAND_DISPLAY"},
        {"DISPLAY=:97", "WAYLAND_DISPLAY"},
    };
    for (const auto& display : displays) {
        for (const auto& args : modes) {
            SCOPED_TRACE(display[0] + (args.empty() ? std::string(" chooser") : " " + args[0]));
            std::vector<std::string> env = {"SDL_VIDEODRIVER", "SDL_AUDIODRIVER=dummy"};
            env.insert(env.end(), display.begin(), display.end());
            TProcess z(ZUMBRIX_PATH, args, env);
            EXPECT_EQ(z.Wait(30), 1);
            EXPECT_THAT(z.Err(), HasSubstr("zumbrix: no X11 or Wayland display can be reached"));
            EXPECT_EQ(Lines(z.Err()), 1) << z.Err();
        }
    }
    EXPECT_FALSE(FileExists(out.File("frame_00000.tga")));
}

TEST(NoDisplay, ADisplayWithoutOpenGLIsNamedInOneLine) {
    TXServer noGl({"-extension", "GLX"});
    if (noGl.Name().empty()) GTEST_SKIP() << "needs Xvfb";
    for (std::vector<std::string> args :
         {std::vector<std::string>{"--benchmark"}, {"--render-frames", "out", "--fps", "4"}}) {
        TProcess z(ZUMBRIX_PATH, args, {"DISPLAY=" + noGl.Name(), "SDL_AUDIODRIVER=dummy"});
        EXPECT_EQ(z.Wait(30), 1);
        EXPECT_THAT(z.Err(),
                    ::testing::StartsWith("zumbrix: cannot create an OpenGL window on this display: "));
        EXPECT_EQ(Lines(z.Err()), 1) << z.Err();
    }
}

TEST(StartupFailure, TheMessageNamesTheDataAndClosingTheWindowEndsWithStatus1) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    TXDisplay x;
    TempDir data;
    const std::string missing = data.File("missing");
    TProcess z(ZUMBRIX_PATH, {"--data", missing, "--window", "64x48"},
               {"SDL_AUDIODRIVER=dummy", "LIBGL_ALWAYS_SOFTWARE=1"});
    // First the message box (the window system shows it from a helper
    // process), then, once it is closed, the main window without playback.
    std::vector<pid_t> helpers;
    ASSERT_TRUE(WaitUntil(30, [&] { return !(helpers = ChildrenOf(z.Pid())).empty(); })) << z.Err();
    TXWindow box = 0;
    ASSERT_TRUE(WaitUntil(10, [&] { return (box = x.FindMapped(kCaption)) != 0; }));
    x.Close(box);
    ASSERT_TRUE(WaitUntil(10, [&] { return ProcessGone(helpers[0]); }));
    TXWindow main = 0;
    ASSERT_TRUE(WaitUntil(10, [&] { return (main = x.FindMapped(kCaption)) != 0; }));
    EXPECT_TRUE(z.Running());
    x.Close(main);
    EXPECT_EQ(z.Wait(10), 1);
    EXPECT_EQ(z.Err(),
              "Couldn't open the file named zumbrix.xml (data from the folder \"" + missing + "\")\n");
}

TEST(Audio, WithoutAnAudioDeviceTheDemoPlaysSilentlyWithOneMessage) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    struct Case {
        const char* driver;
        int lines;
    } cases[] = {{"dummy", 0}, {"no-such-driver", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.driver);
        // The last 0.3 s of the timeline: the demo plays and ends by itself.
        TProcess z(ZUMBRIX_PATH, {"--window", "64x48", "--start", "116.7"},
                   {std::string("SDL_AUDIODRIVER=") + c.driver, "LIBGL_ALWAYS_SOFTWARE=1"});
        EXPECT_EQ(z.Wait(30), 0) << z.Err();
        EXPECT_EQ(Lines(z.Err()), c.lines) << z.Err();
        if (c.lines) {
            EXPECT_THAT(z.Err(), ::testing::StartsWith("zumbrix: no audio device ("));
        }
    }
}

TEST(Options, AFullScreenSizeNoModeHasIsRefusedNamingTheNearest) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    CommandResult r = RunZumbrix({"--fullscreen", "1001x701"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err,
                ::testing::StartsWith("zumbrix: --fullscreen 1001x701: no display mode has this size; the "));
}

} // namespace
