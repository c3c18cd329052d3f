// The mode chooser dialog on a real (Xvfb) display: its colours, the keys of
// its default and cancel buttons, closing it, and its outcome.
#include "app/ModeChooser.h"
#include "tests/app/AppTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

std::vector<TDisplaySetting> ThreeSizes() {
    std::vector<TDisplaySetting> modes;
    for (auto [w, h] : {std::pair{640, 480}, std::pair{800, 600}, std::pair{1024, 768}})
        for (int bits : {16, 32})
            for (int rate : {60, 75})
                modes.push_back({static_cast<int32_t>(modes.size()), w, h, bits, rate});
    return modes;
}

void PushKey(SDL_Window* window, SDL_Scancode code) {
    for (uint32_t type : {uint32_t(SDL_KEYDOWN), uint32_t(SDL_KEYUP)}) {
        SDL_Event e;
        SDL_zero(e);
        e.type = type;
        e.key.windowID = SDL_GetWindowID(window);
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = code;
        e.key.keysym.sym = SDL_GetKeyFromScancode(code);
        SDL_PushEvent(&e);
        if (type == SDL_KEYDOWN) return; // the release goes with the next frame
    }
}

class ModeChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    // SDL's video part stays up for the rest of the process, as in the other
    // window tests.
    void TearDown() override { KeepGlDriversLoaded(); }
};

} // namespace

TEST(ModeChooser, PendingTerminationEndsWithCancelWithoutAWindow) {
    TfrmChoose chooser(ThreeSizes());
    EXPECT_EQ(chooser.ShowModal(true), mrCancel);
    EXPECT_EQ(chooser.Window(), nullptr);
    // The defaults are there all the same.
    EXPECT_TRUE(chooser.WindowMode());
    EXPECT_TRUE(chooser.MusicEnabled());
    EXPECT_EQ(chooser.Panel().Sizes()[static_cast<size_t>(chooser.Panel().SizeIndex())].text, "800 x 600");
}

TEST_F(ModeChooserTest, DrawsItsFormAndEnterChoosesTombrel) {
    TfrmChoose chooser(ThreeSizes());
    ASSERT_TRUE(chooser.Open());
    EXPECT_STREQ(SDL_GetWindowTitle(chooser.Window()), "Choose, god damn it!");
    int w = 0, h = 0;
    SDL_GetWindowSize(chooser.Window(), &w, &h);
    EXPECT_EQ(w, TfrmChoose::kClientWidth);
    EXPECT_EQ(h, TfrmChoose::kClientHeight);
    chooser.SetCaptureFrames(true);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(chooser.RunFrame(), mrNone);
    const std::vector<uint8_t>& frame = chooser.LastFrame();
    ASSERT_EQ(frame.size(), size_t(w) * h * 4);

    // The form's colour beside the controls, white inside the size list,
    // dark text somewhere in the label's row.
    auto pixel = [&](int x, int y) {
        const uint8_t* p = &frame[(size_t(h - 1 - y) * w + x) * 4];
        return (p[0] << 16) | (p[1] << 8) | p[2];
    };
    EXPECT_EQ(pixel(5, 110), 0xEA48D1);
    EXPECT_EQ(pixel(130, 24 + 8 + 10), 0xFFFFFF); // right of the size text
    bool dark = false;
    for (int x = 16; x < 180 && !dark; ++x)
        for (int y = 0; y < 16 && !dark; ++y) {
            int c = pixel(x, y);
            dark = (c >> 16) < 0x40 && ((c >> 8) & 0xFF) < 0x40 && (c & 0xFF) < 0x40;
        }
    EXPECT_TRUE(dark);

    PushKey(chooser.Window(), SDL_SCANCODE_RETURN);
    EXPECT_EQ(chooser.RunFrame(), mrOK);
    chooser.Close();
    TDisplaySetting mode = chooser.SelectedMode();
    EXPECT_EQ(mode.width, 800);
    EXPECT_EQ(mode.height, 600);
    EXPECT_EQ(mode.bitsPerPixel, 32);
    EXPECT_EQ(mode.refreshRate, 75);
}

TEST_F(ModeChooserTest, EscapeAndClosingTheWindowAreCancel) {
    {
        TfrmChoose chooser(ThreeSizes());
        ASSERT_TRUE(chooser.Open());
        EXPECT_EQ(chooser.RunFrame(), mrNone);
        PushKey(chooser.Window(), SDL_SCANCODE_ESCAPE);
        EXPECT_EQ(chooser.RunFrame(), mrCancel);
    }
    {
        TfrmChoose chooser(ThreeSizes());
        ASSERT_TRUE(chooser.Open());
        EXPECT_EQ(chooser.RunFrame(), mrNone);
        SDL_Event e;
        SDL_zero(e);
        e.type = SDL_WINDOWEVENT;
        e.window.event = SDL_WINDOWEVENT_CLOSE;
        e.window.windowID = SDL_GetWindowID(chooser.Window());
        SDL_PushEvent(&e);
        EXPECT_EQ(chooser.RunFrame(), mrCancel);
    }
}
