// zumbrix inside another program's window, as xscreensaver runs it: silent,
// without the restart button, following the host window's size, and ending
// quietly (status 0, nothing on standard error) when the host takes the
// window away or sends SIGTERM, at any moment, start-up included.
#include "tests/desktop/DesktopTestSupport.h"
#include "tests/support/TestSupport.h"

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

class HostWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(x.Ok());
    }
    // Until the window shows the demo's colours in its middle.
    bool ShowsTheDemo(TXWindow window, int width, int height) {
        return WaitUntil(30, [&] { return window && Colourful(x.Pixel(window, width / 2, height / 2)); });
    }
    TXDisplay x;
};

TEST_F(HostWindow, TheDemoIsSilentWithoutButtonAndFollowsTheHostsSize) {
    // A demo of one flat colour with the soundtrack, so that the button is
    // the only thing in its corner that differs from the middle.
    TempDir data;
    WriteFileText(data.File("zumbrix.xml"),
                  "<demo><resources location=\"file:\"><mp3 value=\"music.mp3\"/></resources>\n"
                  "<effect name=\"flat\" class=\"TFade\"><control name=\"color\" kind=\"color\">"
                  "<key time=\"0\" value=\"200 60 30 255\"/></control></effect>\n"
                  "<part name=\"flat\" start=\"0\" stop=\"117\"/></demo>\n");
    WriteFileBytes(data.File("music.mp3"),
                   ReadFileBytes(std::string(ZUMBRIX_BINARY_DIR) + "/content/music.mp3"));
    // Its own window first, for contrast: there it has sound and the button.
    for (bool hosted : {false, true}) {
        SCOPED_TRACE(hosted ? "in a host window" : "in its own window");
        TXWindow host = hosted ? x.CreateWindow(200, 150) : 0;
        TProcess z(ZUMBRIX_PATH,
                   hosted
                       ? std::vector<std::string>{"--window-id", std::to_string(host), "--data", data.Path()}
                       : std::vector<std::string>{"--window", "200x150", "--data", data.Path()},
                   kEnv);
        TXWindow shown = host;
        if (!hosted) WaitUntil(30, [&] { return (shown = x.FindMapped("Zumbrix from Tombrel")) != 0; });
        ASSERT_TRUE(ShowsTheDemo(shown, 200, 150)) << z.Err();
        EXPECT_EQ(HasAudioThread(z.Pid()), !hosted);
        // The restart button's place (48 pixels from the right edge, 8 from
        // the top) against the fade in the middle, over 20 looks: the fade
        // may change between the two reads of one look, the button stays.
        int differ = 0;
        for (int i = 0; i < 20; i++) {
            long corner = x.Pixel(shown, 172, 16), middle = x.Pixel(shown, 100, 75);
            for (int shift : {0, 8, 16})
                if (std::abs(int((corner >> shift) & 255) - int((middle >> shift) & 255)) > 8) {
                    differ++;
                    break;
                }
            WaitUntil(0.02, [] { return false; });
        }
        EXPECT_EQ(differ > 10, !hosted) << differ << " of 20 looks differ";
        if (hosted) {
            x.Resize(host, 120, 90);
            EXPECT_TRUE(WaitUntil(10, [&] {
                std::vector<TXWindow> children = x.Children(host);
                return children.size() == 1 && x.Size(children[0]) == std::make_pair(120, 90);
            }));
            x.Destroy(host);
        } else {
            z.Signal(SIGTERM);
        }
        EXPECT_EQ(z.Wait(10), 0);
        EXPECT_EQ(z.Err(), "");
    }
}

TEST_F(HostWindow, TheHostEndsTheRunQuietlyAtAnyMoment) {
    struct Case {
        const char* name;
        bool term, destroy;
        bool duringStartup; // as soon as our window appears in the host's
    } cases[] = {
        {"host destroys its window", false, true, false},
        {"host sends SIGTERM", true, false, false},
        {"host sends SIGTERM and destroys its window", true, true, false},
        {"host destroys its window during start-up", false, true, true},
        {"host sends SIGTERM during start-up", true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TXWindow host = x.CreateWindow(160, 120);
        TProcess z(ZUMBRIX_PATH, {"-window-id", std::to_string(host)}, kEnv);
        if (c.duringStartup)
            ASSERT_TRUE(WaitUntil(30, [&] { return !x.Children(host).empty(); })) << z.Err();
        else
            ASSERT_TRUE(ShowsTheDemo(host, 160, 120)) << z.Err();
        if (c.term) z.Signal(SIGTERM);
        if (c.destroy) x.Destroy(host);
        EXPECT_EQ(z.Wait(10), 0);
        EXPECT_EQ(z.Err(), "");
        if (!c.destroy) x.Destroy(host);
    }
}

} // namespace
