// SIGTERM and SIGINT end zumbrix promptly in every state it can wait in: the
// mode chooser, a message box (its helper process included) and playback.
#include "tests/desktop/DesktopTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace {

const std::vector<std::string> kEnv = {"SDL_AUDIODRIVER=dummy", "LIBGL_ALWAYS_SOFTWARE=1"};

enum TReady { rdWindow, rdHelper };

struct SignalCase {
    const char* state;
    std::vector<std::string> args;
    TReady ready;            // how to tell the state has been reached
    const char* window;      // rdWindow: the mapped window's name
    int exitStatus;          // after SIGTERM or SIGINT
    const char* notInOutput; // a message the signal must prevent
};

const SignalCase kCases[] = {
    {"chooser", {}, rdWindow, "Choose, god damn it!", 0, "We are tombrel"},
    {"settings message box", {"/c"}, rdHelper, nullptr, 0, "We are tombrel"},
    // A failed start-up keeps its status whichever way the program ends.
    {"start-up failure message box",
     {"--data", "/nonexistent", "--window", "64x48"},
     rdHelper,
     nullptr,
     1,
     "X Error"},
    {"playing", {"--window", "64x48", "--silent"}, rdWindow, "Zumbrix from Tombrel", 0, "X Error"},
};

class Signals : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(x.Ok());
    }
    TXDisplay x;
};

TEST_F(Signals, TermAndIntEndEveryStatePromptly) {
    for (const SignalCase& c : kCases) {
        for (int signal : {SIGTERM, SIGINT}) {
            SCOPED_TRACE(std::string(c.state) + (signal == SIGTERM ? " SIGTERM" : " SIGINT"));
            TProcess z(ZUMBRIX_PATH, c.args, kEnv);
            std::vector<pid_t> helpers;
            bool ready = WaitUntil(30, [&] {
                if (c.ready == rdWindow) return x.FindMapped(c.window) != 0;
                helpers = ChildrenOf(z.Pid());
                return !helpers.empty();
            });
            ASSERT_TRUE(ready) << z.Err();
            z.Signal(signal);
            EXPECT_EQ(z.Wait(5), c.exitStatus) << z.Err();
            EXPECT_EQ(z.Err().find(c.notInOutput), std::string::npos) << z.Err();
            for (pid_t helper : helpers)
                EXPECT_TRUE(WaitUntil(2, [&] { return ProcessGone(helper); })) << "helper " << helper;
        }
    }
}

TEST_F(Signals, KillingTheProgramUnderAMessageBoxTakesTheHelperWithIt) {
    TProcess z(ZUMBRIX_PATH, {"/c"}, kEnv);
    std::vector<pid_t> helpers;
    ASSERT_TRUE(WaitUntil(30, [&] { return !(helpers = ChildrenOf(z.Pid())).empty(); })) << z.Err();
    z.Signal(SIGKILL);
    EXPECT_EQ(z.Wait(5), 128 + SIGKILL);
    for (pid_t helper : helpers)
        EXPECT_TRUE(WaitUntil(5, [&] { return ProcessGone(helper); }))
            << "helper " << helper << " left behind";
}

} // namespace
