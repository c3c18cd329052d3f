// zumbrix inside another program's window, as xscreensaver runs it: silent,
// without the restart button, following the host window's size, and ending
// quietly (status 0, no X error) when the host takes the window away or
// sends SIGTERM, at any moment, start-up included.
#include "tests/desktop/DesktopTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace {

const std::vector<std::string> kEnv = {"SDL_AUDIODRIVER=dummy", "LIBGL_ALWAYS_SOFTWARE=1"};

bool HasAudioThread(pid_t pid) {
    for (const std::string& name : ThreadNames(pid))
        if (name.rfind("SDLAudio", 0) == 0) return true;
    return false;
}

bool Near(long a, long b) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > 8) return false;
    return true;
}

class HostWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(x.Ok());
    }
    // Waits until zumbrix's child window is inside the host's and shows
    // the demo's colours; returns the child.
    TXWindow WaitForDemo(TProcess& z, TXWindow host) {
        TXWindow child = 0;
        bool shown = WaitUntil(30, [&] {
            std::vector<TXWindow> children = x.Children(host);
            child = children.empty() ? 0 : children[0];
            auto [w, h] = x.Size(host);
            return child && Colourful(x.Pixel(host, w / 2, h / 2));
        });
        EXPECT_TRUE(shown) << z.Err();
        return child;
    }
    TXDisplay x;
};

TEST_F(HostWindow, TheDemoIsSilentWithoutButtonAndFollowsTheHostsSize) {
    // Our own window first, for contrast: it has the sound and the button.
    struct Case {
        bool hosted;
        bool audio;
        bool button;
    } cases[] = {{false, true, true}, {true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hosted ? "in a host window" : "in its own window");
        TXWindow host = c.hosted ? x.CreateWindow(200, 150) : 0;
        std::vector<std::string> args = c.hosted
                                            ? std::vector<std::string>{"--window-id", std::to_string(host)}
                                            : std::vector<std::string>{"--window", "200x150"};
        TProcess z(ZUMBRIX_PATH, args, kEnv);
        TXWindow shown = host;
        if (c.hosted) {
            WaitForDemo(z, host);
        } else {
            ASSERT_TRUE(WaitUntil(30, [&] {
                shown = x.FindMapped("Zumbrix from Tombrel");
                return shown && Colourful(x.Pixel(shown, 100, 75));
            })) << z.Err();
        }
        EXPECT_EQ(HasAudioThread(z.Pid()), c.audio);
        // The restart button's place (41 x 17 at 48 pixels from the right
        // edge, 8 from the top) against the fade in the middle.
        bool button = false;
        WaitUntil(
            3, [&] { return (button = !Near(x.Pixel(shown, 200 - 48 + 20, 16), x.Pixel(shown, 100, 75))); });
        EXPECT_EQ(button, c.button);
        if (c.hosted) {
            x.Resize(host, 120, 90);
            TXWindow child = x.Children(host).empty() ? 0 : x.Children(host)[0];
            EXPECT_TRUE(WaitUntil(10, [&] { return x.Size(child) == std::make_pair(120, 90); }));
            x.Destroy(host);
        } else {
            z.Signal(SIGTERM);
        }
        EXPECT_EQ(z.Wait(10), 0);
        EXPECT_EQ(z.Err(), "");
    }
}

TEST_F(HostWindow, TheHostEndsTheRunQuietlyAtAnyMoment) {
    enum TEnd { enDestroy, enTerm, enBoth };
    struct Case {
        const char* name;
        TEnd end;
        bool duringStartup; // as soon as our child window appears
    } cases[] = {
        {"host destroys its window", enDestroy, false},
        {"host sends SIGTERM", enTerm, false},
        {"host sends SIGTERM and destroys its window", enBoth, false},
        {"host destroys its window during start-up", enDestroy, true},
        {"host sends SIGTERM during start-up", enTerm, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TXWindow host = x.CreateWindow(160, 120);
        TProcess z(ZUMBRIX_PATH, {"-window-id", std::to_string(host)}, kEnv);
        if (c.duringStartup) {
            ASSERT_TRUE(WaitUntil(30, [&] { return !x.Children(host).empty(); })) << z.Err();
        } else {
            WaitForDemo(z, host);
        }
        if (c.end != enDestroy) z.Signal(SIGTERM);
        if (c.end != enTerm) {
            x.Destroy(host);
        }
        EXPECT_EQ(z.Wait(10), 0);
        EXPECT_EQ(z.Err(), "");
        if (c.end == enTerm) x.Destroy(host);
    }
}

} // namespace
