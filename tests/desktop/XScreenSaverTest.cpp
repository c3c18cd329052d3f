// zumbrix under Debian's own xscreensaver, configured with the line the
// README gives: activated, it draws the demo, silently, into the saver's
// window; deactivated, no zumbrix is left.
#include "tests/desktop/DesktopTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The README's line for ~/.xscreensaver, with the built program's path.
std::string ConfigurationLine() {
    std::ifstream readme(SourcePath("README.md"));
    for (std::string line; std::getline(readme, line);) {
        size_t at = line.find("zumbrix -root");
        if (line.find("\"Zumbrix\"") != std::string::npos && at != std::string::npos)
            return line.substr(0, at) + ZUMBRIX_PATH + line.substr(at + 7);
    }
    return "";
}

} // namespace

TEST(XScreenSaver, RunsTheDemoAsTheReadmeSaysAndLeavesNothingBehind) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    if (RunProgram("/bin/sh", {"-c", "command -v xscreensaver-command"}).exitCode != 0)
        GTEST_SKIP() << "xscreensaver is not installed";
    const std::string line = ConfigurationLine();
    ASSERT_FALSE(line.empty()) << "README.md has no configuration line for xscreensaver";

    // xscreensaver starts no screen savers for root: nobody then.
    const uid_t user = getuid() == 0 ? 65534 : 0;
    TempDir home;
    WriteFileText(home.File(".xscreensaver"),
                  "mode: one\nselected: 0\nlock: False\nsplash: False\nfade: False\n"
                  "unfade: False\nprograms: \\\n" +
                      line + "\n");
    chmod(home.Path().c_str(), 0755);
    if (user) {
        ASSERT_EQ(chown(home.Path().c_str(), user, user), 0);
        ASSERT_EQ(chown(home.File(".xscreensaver").c_str(), user, user), 0);
    }
    // Every process of this run, the demo included, carries the mark.
    const std::string mark = "ZUMBRIX_SAVER_TEST=" + std::to_string(getpid());
    const std::vector<std::string> env = {"HOME=" + home.Path(), "SDL_AUDIODRIVER=dummy",
                                          "LIBGL_ALWAYS_SOFTWARE=1", mark};
    auto command = [&](const char* what) {
        return TProcess("xscreensaver-command", {what}, env, user).Wait(10) == 0;
    };
    char program[PATH_MAX] = {};
    ASSERT_NE(realpath(ZUMBRIX_PATH, program), nullptr);
    auto demos = [&] {
        std::vector<pid_t> found;
        for (pid_t p : ProcessesWithEnvironment(mark)) {
            char exe[PATH_MAX] = {};
            if (readlink(("/proc/" + std::to_string(p) + "/exe").c_str(), exe, sizeof exe - 1) > 0 &&
                std::string(exe) == program)
                found.push_back(p);
        }
        return found;
    };

    TProcess daemon("xscreensaver", {"-no-splash", "-verbose"}, env, user);
    ASSERT_TRUE(WaitUntil(20, [&] { return command("-time"); })) << daemon.Err();
    ASSERT_TRUE(command("-activate")) << daemon.Err();
    std::vector<pid_t> running;
    ASSERT_TRUE(WaitUntil(30, [&] { return !(running = demos()).empty(); })) << daemon.Err();
    const TXWindow saver = std::strtoul(EnvironmentOf(running[0], "XSCREENSAVER_WINDOW").c_str(), nullptr, 0);
    TXDisplay x;
    ASSERT_TRUE(x.Ok());
    EXPECT_TRUE(WaitUntil(30, [&] {
        auto [w, h] = x.Size(saver);
        return !x.Children(saver).empty() && Colourful(x.Pixel(saver, w / 2, h / 2));
    })) << daemon.Err();
    for (const std::string& thread : ThreadNames(running[0]))
        EXPECT_NE(thread.rfind("SDLAudio", 0), 0u) << "a screen saver makes no sound";

    ASSERT_TRUE(command("-deactivate"));
    EXPECT_TRUE(WaitUntil(10, [&] { return demos().empty(); })) << "zumbrix is still running";
    // The demo's standard error is xscreensaver's.
    EXPECT_EQ(daemon.Err().find("X Error"), std::string::npos) << daemon.Err();
    EXPECT_EQ(daemon.Err().find("zumbrix:"), std::string::npos) << daemon.Err();
    for (pid_t left : demos())
        kill(left, SIGKILL);
}
