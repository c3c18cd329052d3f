// zumbrix as a screen saver of Debian's own xscreensaver, configured with the
// line the README gives: activated, it draws the demo into the saver's
// window; deactivated, it is gone.
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

// The README's configuration line for ~/.xscreensaver (the line of its
// screen-saver section that names "Zumbrix"), with the built program's path.
std::string ConfigurationLine() {
    std::ifstream readme(SourcePath("README.md"));
    std::string line;
    while (std::getline(readme, line)) {
        size_t at = line.find("zumbrix -root");
        if (line.find("\"Zumbrix\"") != std::string::npos && at != std::string::npos)
            return line.substr(0, at) + ZUMBRIX_PATH + line.substr(at + 7);
    }
    return "";
}

bool Found(const std::string& program) {
    return RunProgram("/bin/sh", {"-c", "command -v " + program}).exitCode == 0;
}

std::string ExecutableOf(pid_t pid) {
    char path[PATH_MAX] = {};
    ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : "";
}

} // namespace

TEST(XScreenSaver, RunsTheDemoAsTheReadmeSaysAndLeavesNothingBehind) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
    if (!Found("xscreensaver") || !Found("xscreensaver-command"))
        GTEST_SKIP() << "xscreensaver is not installed";
    const std::string line = ConfigurationLine();
    ASSERT_FALSE(line.empty()) << "README.md has no configuration line for xscreensaver";

    // xscreensaver launches no screen savers for root: run it as nobody then.
    const uid_t user = getuid() == 0 ? 65534 : 0;
    TempDir home;
    chmod(home.Path().c_str(), 0755);
    WriteFileText(home.File(".xscreensaver"), "mode: one\nselected: 0\nlock: False\nsplash: False\n"
                                              "fade: False\nunfade: False\nprograms: \\\n" +
                                                  line + "\n");
    std::vector<std::string> env = {"HOME=" + home.Path(), "SDL_AUDIODRIVER=dummy",
                                    "LIBGL_ALWAYS_SOFTWARE=1"};
    if (const char* auth = std::getenv("XAUTHORITY")) {
        WriteFileBytes(home.File(".Xauthority"), ReadFileBytes(auth));
        env.push_back("XAUTHORITY=" + home.File(".Xauthority"));
    }
    // Every process of this run carries the mark, the demo included.
    const std::string mark = "ZUMBRIX_SAVER_TEST=" + std::to_string(getpid());
    env.push_back(mark);
    if (user) {
        ASSERT_EQ(chown(home.Path().c_str(), user, user), 0);
        ASSERT_EQ(chown(home.File(".xscreensaver").c_str(), user, user), 0);
        chown(home.File(".Xauthority").c_str(), user, user); // when there is one
    }
    auto command = [&](const char* what) {
        TProcess c("xscreensaver-command", {what}, env, user);
        int status = c.Wait(10);
        return status == 0;
    };
    char program[PATH_MAX] = {};
    ASSERT_NE(realpath(ZUMBRIX_PATH, program), nullptr);
    auto demos = [&] {
        std::vector<pid_t> found;
        for (pid_t p : ProcessesWithEnvironment(mark))
            if (ExecutableOf(p) == program) found.push_back(p);
        return found;
    };

    TProcess daemon("xscreensaver", {"-no-splash", "-verbose"}, env, user);
    ASSERT_TRUE(WaitUntil(20, [&] { return command("-time"); })) << daemon.Err();
    ASSERT_TRUE(command("-activate")) << daemon.Err();

    std::vector<pid_t> running;
    ASSERT_TRUE(WaitUntil(30, [&] { return !(running = demos()).empty(); })) << daemon.Err();
    const pid_t demo = running[0];
    // The saver's window, which xscreensaver hands the demo, shows the demo.
    uint64_t saverWindow = std::strtoull(EnvironmentOf(demo, "XSCREENSAVER_WINDOW").c_str(), nullptr, 0);
    ASSERT_NE(saverWindow, 0u);
    TXDisplay x;
    ASSERT_TRUE(x.Ok());
    bool shown = WaitUntil(30, [&] {
        auto [w, h] = x.Size(TXWindow(saverWindow));
        return !x.Children(TXWindow(saverWindow)).empty() &&
               Colourful(x.Pixel(TXWindow(saverWindow), w / 2, h / 2));
    });
    EXPECT_TRUE(shown) << daemon.Err();
    for (const std::string& thread : ThreadNames(demo))
        EXPECT_NE(thread.rfind("SDLAudio", 0), 0u) << "a screen saver makes no sound";

    ASSERT_TRUE(command("-deactivate"));
    EXPECT_TRUE(WaitUntil(10, [&] { return demos().empty(); })) << "zumbrix is still running";
    // What the demo wrote reaches xscreensaver's standard error.
    EXPECT_EQ(daemon.Err().find("X Error"), std::string::npos) << daemon.Err();
    EXPECT_EQ(daemon.Err().find("zumbrix:"), std::string::npos) << daemon.Err();
    for (pid_t left : demos())
        kill(left, SIGKILL);
}
