// The keyboard commands, driven by synthetic SDL key events through the main
// window of a demo started from the built archive.
#include "tests/demo/DemoTestSupport.h"

#include "app/MainWindow.h"
#include "demo/Console.h"
#include "data/FlexibleStream.h"
#include "demo/Application.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace {

struct KeysFixture : ::testing::Test {
    std::unique_ptr<TMainWindow> window;

    void SetUp() override {
        ResetForWindowTest();
        TCommandLine cl =
            ParseCommandLine({"--window", "160x120", "--silent", "--archive", BuiltContent("app/FILES.pck")});
        window = std::make_unique<TMainWindow>(cl);
        if (!window->Create()) GTEST_SKIP() << "no demo: " << window->StartupError();
    }
    void TearDown() override { EndWindowTest(window); }

    // Posts a key-down event and lets the window handle what is waiting.
    void Press(SDL_Keycode key, Uint16 modifiers = KMOD_NONE) { PressKey(*window, key, modifiers); }
    void Pump() {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            window->HandleEvent(e);
    }
    std::vector<std::string> Status() const { return window->Device()->StatusText(); }
    // The console's lines after two frames (lines show one frame late).
    std::vector<std::string> ConsoleLines() {
        window->Device()->RenderFrame();
        window->Device()->RenderFrame();
        auto* console = dynamic_cast<TConsole*>(window->Device()->GetConsole());
        std::vector<std::string> lines;
        for (int i = 0; console && i < console->LineCount(); i++)
            lines.push_back(console->Line(i));
        return lines;
    }
    // The page's own lines, then those of the keys a windowed run adds.
    std::vector<std::string> HelpPage() const {
        std::vector<std::string> page(kHelpLines, kHelpLines + 11);
        page.insert(page.end(), window->Keys().MoreHelpLines().begin(), window->Keys().MoreHelpLines().end());
        return page;
    }
    std::vector<std::string> CardPage() const {
        T3dCapabilities caps{};
        TRefPtr<I3dContext> main;
        window->Device()->GetDevice()->GetMainContext(main);
        main->GetCapabilities(caps);
        std::vector<std::string> page = {
            std::string("  Vendor : ") + caps.Vendor, std::string("  Renderer : ") + caps.Renderer,
            std::string("  Version : ") + caps.Version, "  ------[support for]---------------------------"};
        const std::pair<bool, const char*> flags[] = {
            {caps.Combiners, "  Texture Combiners"},
            {caps.Dot3, "  Dot3 bumpmaps"},
            {caps.CubeMaps, "  Cubemaps"},
            {caps.VolumeTextures, "  Volume texture"},
            {caps.ShadowTextures, "  Shadow texture"},
            {caps.RenderToTexture, "  Render to texture"},
            {caps.RenderToDepthTexture, "  Render to depth texture"}};
        for (const auto& f : flags)
            if (f.first) page.push_back(f.second);
        return page;
    }
};

TEST_F(KeysFixture, HelpAndCardPagesReplaceEachOtherAndToggleOff) {
    EXPECT_EQ(HelpPage()[0], "   F = Fast speed ( x 5.0)");
    EXPECT_EQ(HelpPage()[8], "   H = Help ( you would know )");
    EXPECT_EQ(HelpPage()[10], "   esc = Quit demo");
    EXPECT_GT(HelpPage().size(), 11u); // the author's keys follow
    Press(SDLK_h);
    EXPECT_EQ(Status(), HelpPage());
    EXPECT_EQ(ConsoleLines(), HelpPage());
    Press(SDLK_i); // H then I: only the card page
    EXPECT_EQ(Status(), CardPage());
    EXPECT_EQ(ConsoleLines(), CardPage());
    Press(SDLK_h); // I then H: only the help page
    EXPECT_EQ(Status(), HelpPage());
    Press(SDLK_h); // H twice: nothing
    EXPECT_TRUE(Status().empty());
    EXPECT_TRUE(ConsoleLines().empty());
    Press(SDLK_i);
    Press(SDLK_i);
    EXPECT_TRUE(Status().empty());
    EXPECT_FALSE(window->Keys().HelpShown());
    EXPECT_FALSE(window->Keys().CardInfoShown());
}

TEST_F(KeysFixture, StatisticsLineTogglesAndStandsAboveTheStatusText) {
    Press(SDLK_d);
    EXPECT_TRUE(window->Device()->ShowFps());
    Press(SDLK_h);
    auto lines = ConsoleLines();
    ASSERT_EQ(lines.size(), 1 + HelpPage().size());
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(FPS:(\d+\.\d{3}|inf),  Time:\d+\.\d{3})")))
        << lines[0];
    EXPECT_EQ(lines[1], HelpPage()[0]);
    Press(SDLK_d); // twice: off again
    EXPECT_FALSE(window->Device()->ShowFps());
    EXPECT_EQ(ConsoleLines(), HelpPage());
}

TEST_F(KeysFixture, SpeedsAndPauseSteerOnlyTheClock) {
    auto* timer = static_cast<THiResTimer*>(window->Device()->Timer());
    Press(SDLK_f);
    EXPECT_FLOAT_EQ(timer->GetSpeed(), 5.0f);
    Press(SDLK_n);
    EXPECT_FLOAT_EQ(timer->GetSpeed(), 1.0f);
    Press(SDLK_PAUSE);
    EXPECT_TRUE(timer->IsPaused());
    Press(SDLK_s); // pause, S, pause: resumes at 0.1
    Press(SDLK_PAUSE);
    EXPECT_FALSE(timer->IsPaused());
    EXPECT_FLOAT_EQ(timer->GetSpeed(), 0.1f);
    // Letters act whatever Shift and Ctrl say.
    Press(SDLK_f, KMOD_LSHIFT | KMOD_LCTRL);
    EXPECT_FLOAT_EQ(timer->GetSpeed(), 5.0f);
}

TEST_F(KeysFixture, TwoCapturesWithinOneFrameWriteOneFileNamedAfterTheCaption) {
    TempDir dir;
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    Press(SDLK_c);
    Press(SDLK_c);
    window->Device()->Timer()->SetTime(2.0); // in the intro's fade
    window->Device()->RenderFrame();
    std::filesystem::current_path(previous);
    EXPECT_FALSE(FileExists(dir.File("Zumbrix from Tombrel_00001.tga")));
    ASSERT_TRUE(FileExists(dir.File("Zumbrix from Tombrel_00002.tga")));
    RgbaPicture picture;
    ASSERT_TRUE(LoadPicture(dir.File("Zumbrix from Tombrel_00002.tga"), picture));
    EXPECT_EQ(picture.width, 160);
    EXPECT_EQ(picture.height, 120);
    // Opaque, whatever alpha the fade left in the colour buffer.
    for (size_t i = 3; i < picture.pixels.size(); i += 4)
        ASSERT_EQ(picture.pixels[i], 255) << "pixel " << i / 4;
}

TEST_F(KeysFixture, OtherKeysDoNothingAndEscapeQuits) {
    auto* timer = static_cast<THiResTimer*>(window->Device()->Timer());
    for (SDL_Keycode key : {SDLK_x, SDLK_F1, SDLK_SPACE, SDLK_1})
        Press(key);
    EXPECT_FLOAT_EQ(timer->GetSpeed(), 1.0f);
    EXPECT_FALSE(timer->IsPaused());
    EXPECT_TRUE(Status().empty());
    EXPECT_FALSE(Application().Terminated());
    Press(SDLK_ESCAPE);
    EXPECT_TRUE(Application().Terminated());
}

TEST_F(KeysFixture, RestartRewindsTheVisualsAndTheFollowerTracksTheClock) {
    window->Device()->Timer()->SetTime(12.345);
    window->Device()->RenderFrame();
    // The follower ran after the frame: the time then, in hundredths.
    int expected = int(std::lround(window->Device()->Timer()->GetTime() * 100.0));
    EXPECT_EQ(window->TrackBar().position, expected);
    // A position set by the program does not move the clock.
    window->TrackBar().position = 500;
    window->TrackBarChanged();
    EXPECT_GT(window->Device()->Timer()->GetTime(), 12.0);
    // Dragged by the viewer, it does.
    window->TrackBar().captured = true;
    window->TrackBarChanged();
    EXPECT_DOUBLE_EQ(window->Device()->Timer()->GetTime(), 5.0);
    window->Restart();
    EXPECT_DOUBLE_EQ(window->Device()->Timer()->GetTime(), 0.0);
}

} // namespace
