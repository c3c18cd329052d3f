// The command line: options, their values and the combinations refused.
#include "app/CommandLine.h"

#include "platform/Exception.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

TCommandLine Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}

std::string Error(std::vector<std::string> args) {
    try {
        ParseCommandLine(args);
    } catch (const EPlatformError& e) {
        return e.what();
    }
    return "";
}

TEST(CommandLine, NoOptionsShowTheChooserWithMusic) {
    TCommandLine cl = Parse({});
    EXPECT_TRUE(cl.chooser);
    EXPECT_FALSE(cl.silent);
    EXPECT_TRUE(cl.screenSaverArgs.empty());
}

TEST(CommandLine, WindowFullScreenAndSilentSkipTheChooser) {
    TCommandLine w = Parse({"--window", "1024x768"});
    EXPECT_FALSE(w.chooser);
    EXPECT_TRUE(w.windowMode);
    EXPECT_EQ(w.width, 1024);
    EXPECT_EQ(w.height, 768);
    EXPECT_FALSE(w.silent);

    TCommandLine f = Parse({"--fullscreen", "800x600x16@75"});
    EXPECT_FALSE(f.windowMode);
    EXPECT_EQ(f.width, 800);
    EXPECT_EQ(f.height, 600);
    EXPECT_EQ(f.bitsPerPixel, 16);
    EXPECT_EQ(f.refreshRate, 75);
    TCommandLine g = Parse({"--fullscreen", "640x480@60"});
    EXPECT_EQ(g.bitsPerPixel, 0); // keep the display's
    EXPECT_EQ(g.refreshRate, 60);

    TCommandLine s = Parse({"--silent"});
    EXPECT_FALSE(s.chooser);
    EXPECT_TRUE(s.silent);
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
}

TEST(CommandLine, OfflineRuns) {
    TCommandLine b = Parse({"--benchmark"});
    EXPECT_TRUE(b.benchmark);
    EXPECT_FALSE(b.chooser);
    EXPECT_TRUE(b.silent);
    EXPECT_EQ(b.width, 640);
    TCommandLine r = Parse({"--render-frames", "out", "--fps", "25", "--start", "10.5", "--duration", "2"});
    EXPECT_EQ(r.renderDir, "out");
    EXPECT_DOUBLE_EQ(r.fps, 25.0);
    EXPECT_DOUBLE_EQ(r.start, 10.5);
    EXPECT_DOUBLE_EQ(r.duration, 2.0);
    EXPECT_FALSE(r.silent); // the music is loaded (silently) for the sound track
    EXPECT_FALSE(r.chooser);
}

TEST(CommandLine, ScreenSaverSwitchesPassThrough) {
    TCommandLine cl = Parse({"/p", "1234", "--debug"});
    EXPECT_EQ(cl.screenSaverArgs, (std::vector<std::string>{"/p", "1234"}));
    EXPECT_TRUE(cl.debug);
    EXPECT_EQ(Parse({"-window-id", "0x2a"}).screenSaverArgs,
              (std::vector<std::string>{"-window-id", "0x2a"}));
}

TEST(CommandLine, XScreenSaverSwitchesWithOneOrTwoDashes) {
    // xscreensaver 6 rewrites -root as --root; both reach the screen saver.
    const std::vector<std::vector<std::string>> forms = {
        {"-root"}, {"--root"}, {"-window-id", "0x2a"}, {"--window-id", "42"}, {"--silent", "--root"}};
    for (const auto& args : forms) {
        SCOPED_TRACE(args.back());
        TCommandLine cl = Parse(args);
        std::vector<std::string> expected(args.begin() + (args[0] == "--silent" ? 1 : 0), args.end());
        EXPECT_EQ(cl.screenSaverArgs, expected);
    }
}

TEST(CommandLine, MistakesAreRefusedWithAMessage) {
    using ::testing::HasSubstr;
    EXPECT_THAT(Error({"--window"}), HasSubstr("--window needs a value"));
    EXPECT_THAT(Error({"--window", "0x480"}), HasSubstr("--window wants"));
    EXPECT_THAT(Error({"--window", "640x"}), HasSubstr("--window wants"));
    EXPECT_THAT(Error({"--window", "-640x480"}), HasSubstr("--window wants"));
    EXPECT_THAT(Error({"--fullscreen", "800x600x"}), HasSubstr("--fullscreen wants"));
    EXPECT_THAT(Error({"--fullscreen", "800x600@"}), HasSubstr("--fullscreen wants"));
    EXPECT_THAT(Error({"--fps", "abc", "--render-frames", "x"}), HasSubstr("--fps wants"));
    EXPECT_THAT(Error({"--render-frames", "x"}), HasSubstr("needs --fps"));
    EXPECT_THAT(Error({"--fps", "4"}), HasSubstr("belongs to --render-frames"));
    EXPECT_THAT(Error({"--render-frames", "x", "--fps", "0"}), HasSubstr("--fps wants"));
    EXPECT_THAT(Error({"--start", "-1"}), HasSubstr("--start wants"));
    EXPECT_THAT(Error({"--start", "1e999"}), HasSubstr("--start wants"));
    EXPECT_THAT(Error({"--duration", "2"}), HasSubstr("--duration belongs"));
    EXPECT_THAT(Error({"--data", "a", "--archive", "b"}), HasSubstr("exclude each other"));
    EXPECT_THAT(Error({"--benchmark", "--fullscreen", "640x480"}), HasSubstr("not full screen"));
    EXPECT_THAT(Error({"--bogus"}), HasSubstr("unknown option '--bogus'"));
    // The end is the script's: start-up holds the start against it.
    EXPECT_EQ(Error({"--start", "117.01"}), "");
    EXPECT_EQ(Error({"--start", "3", "--paused"}), "");
    EXPECT_EQ(Error({"--benchmark", "--paused"}),
              "zumbrix: --paused belongs to windowed and full-screen runs");
    EXPECT_THAT(Error({"--render-frames", "x", "--fps", "1", "--paused"}), HasSubstr("--paused belongs"));
    EXPECT_THAT(Error({"--benchmark", "--loops", "0"}), HasSubstr("--loops wants a number from 1 to 1000"));
    EXPECT_THAT(Error({"--benchmark", "--loops", "1001"}), HasSubstr("--loops wants"));
    EXPECT_EQ(Error({"--loops", "3"}), "zumbrix: --loops belongs to --benchmark");
    EXPECT_THAT(Error({"--window-id"}), HasSubstr("--window-id needs a value"));
    EXPECT_THAT(Error({"--window-id", "0xzz"}), HasSubstr("--window-id wants an X11 window id"));
}

} // namespace
