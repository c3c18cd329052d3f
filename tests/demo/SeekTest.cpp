// A demo's own length and seeking: the device's end, seeks with the hooks the
// frame loop gives the parts they bring in or leave, Page Up/Down and loops
// on a small timeline, and the keys through the main window of a demo made
// from nothing in a data folder (a script, a fade, the built soundtrack),
// with the music played through SDL's dummy audio driver.
#include "tests/demo/DemoTestSupport.h"

#include "app/MainWindow.h"
#include "data/FlexibleStream.h"
#include "demo/Application.h"
#include "demo/SceneEffect.h"
#include "demo/SeekKeys.h"
#include "scene/model/Scene.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

#define NEED_WINDOW(w)                                                                                       \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

// Parts a [1, 3), b [3, 5), d [4, 6), c [5, 8) and a permanent one, each on
// an effect of its own name that records its hooks.
struct SmallTimeline {
    std::vector<std::string> log;
    std::vector<TRefPtr<TRecordingEffect>> effects;
    explicit SmallTimeline(TDemo3dDevice* device) {
        const struct {
            const char* name;
            float start, stop;
        } parts[] = {{"a", 1, 3}, {"b", 3, 5}, {"d", 4, 6}, {"c", 5, 8}, {"always", 0, 0}};
        for (const auto& p : parts) {
            TRefPtr<TRecordingEffect> e(new TRecordingEffect(&log));
            e->SetName(p.name);
            device->AddEffect(e.Get());
            effects.push_back(e);
            TRefPtr<TDemoPart> part(new TDemoPart());
            part->SetEffect(e.Get());
            device->AddPart(part.Get(), p.start, p.start, p.stop, p.stop > p.start ? p.stop : -100.0f);
        }
    }
    // The Start and Stop hooks logged since the last call.
    std::vector<std::string> Hooks() {
        std::vector<std::string> hooks;
        for (const std::string& line : log)
            if (line.rfind("Start ", 0) == 0 || line.rfind("Stop ", 0) == 0) hooks.push_back(line);
        log.clear();
        return hooks;
    }
};

// One frame after a seek, the previous frame having taken 1/60 s.
void FrameAfterSeek(DemoWindow& w, double to) {
    w.Device()->Seek(to);
    w.Timer()->SetDuration(1.0f / 60.0f);
    w.Device()->RenderFrame();
}

TEST(DemoLength, TheEndIsTheDevicesOwnAndLimitsSeeks) {
    DemoWindow w;
    NEED_WINDOW(w);
    EXPECT_EQ(w.Device()->GetEndTime(), 117.0f); // until a script says otherwise
    w.Device()->SetEndTime(20.0f);
    w.FrameAt(20.0, 0.01f);
    EXPECT_FALSE(Application().Terminated()); // the end itself is still played
    w.FrameAt(20.01, 0.01f);
    EXPECT_TRUE(Application().Terminated());
    Application().ClearTerminate();
    const std::pair<double, double> seeks[] = {{25.0, 20.0}, {-3.0, 0.0}, {7.25, 7.25}, {20.0, 20.0}};
    for (const auto& [to, landed] : seeks) {
        w.Device()->Seek(to);
        EXPECT_EQ(w.Timer()->GetTime(), landed) << to;
    }
}

TEST(Seeking, PartsComeAndGoAsTheFrameLoopDecides) {
    DemoWindow w;
    NEED_WINDOW(w);
    SmallTimeline t(w.Device());
    w.FrameAt(1.5, 1.0f / 60.0f);
    EXPECT_EQ(t.Hooks(), (std::vector<std::string>{"Start a", "Start always"}));
    // Each seek and the hooks of the first frame after it (Start pass before
    // the After pass's Stops, both in timeline order).
    const struct {
        double to;
        std::vector<std::string> hooks;
    } seeks[] = {
        {5.5, {"Start d", "Start c", "Stop a"}},
        {4.5, {"Start b", "Stop c"}},
        {4.6, {}},
        {1.0, {"Start a", "Stop b", "Stop d"}},
        {9.0, {"Stop a"}},
        {0.0, {}},
        {7.999, {"Start c"}},
    };
    for (const auto& s : seeks) {
        FrameAfterSeek(w, s.to);
        EXPECT_EQ(t.Hooks(), s.hooks) << "after the seek to " << s.to;
    }
    // The permanent part was never stopped; the frame after a seek draws the
    // live parts at the new time.
    FrameAfterSeek(w, 3.25);
    EXPECT_THAT(Filter(t.log, "Render b"), ::testing::ElementsAre("Render b first=1 part=3.000 local=0.250"));
}

TEST(Seeking, AnEffectOfTwoPartsStopsBeforeItStartsAgain) {
    DemoWindow w;
    NEED_WINDOW(w);
    std::vector<std::string> log;
    TRefPtr<TRecordingEffect> e(new TRecordingEffect(&log));
    e->SetName("e");
    w.Device()->AddEffect(e.Get());
    TRefPtr<TDemoPart> first(new TDemoPart()), second(new TDemoPart()), third(new TDemoPart());
    for (TDemoPart* p : {first.Get(), second.Get(), third.Get()})
        p->SetEffect(e.Get());
    w.Device()->AddPart(first.Get(), 1, 1, 3, 3);
    w.Device()->AddPart(second.Get(), 5, 5, 7, 7);
    w.Device()->AddPart(third.Get(), 7, 7, 9, 9); // follows the second at once
    w.FrameAt(2.0, 0.1f);
    // From the first part into the second, and on into the third: each time
    // the left part's Stop comes first, and the effect plays on.
    for (double to : {6.0, 7.5}) {
        log.clear();
        FrameAfterSeek(w, to);
        EXPECT_EQ(Filter(log, "St"), (std::vector<std::string>{"Stop e", "Start e"})) << to;
    }
    EXPECT_FALSE(first->IsActive());
    EXPECT_FALSE(second->IsActive());
    EXPECT_TRUE(third->IsActive());
}

TEST(Seeking, PageUpAndPageDownGoToPartStarts) {
    DemoWindow w;
    NEED_WINDOW(w);
    SmallTimeline t(w.Device());
    TRefPtr<TDemoPart> late(new TDemoPart());
    late->SetEffect(t.effects[0].Get());
    w.Device()->AddPart(late.Get(), 30, 30, 31, 31); // after the end: never reached
    w.Device()->SetEndTime(20.0f);
    const double none = -1.0;
    const struct {
        double now, previous, next;
    } cases[] = {
        {0.0, none, 1.0}, {1.0, none, 3.0}, {1.4, none, 3.0}, // within half a second of a start:
        {1.6, 1.0, 3.0},  {3.0, 1.0, 4.0},  {3.2, 1.0, 4.0},  // the one before it
        {4.7, 4.0, 5.0},  {5.0, 4.0, none}, {19.0, 5.0, none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(w.Device()->PreviousPartStart(c.now).value_or(none), c.previous) << c.now;
        EXPECT_EQ(w.Device()->NextPartStart(c.now).value_or(none), c.next) << c.now;
    }
    // The keys: Page Down steps through the starts, Page Up back (before the
    // first start: the demo's start); at the last start Page Down stays.
    std::vector<double> visited;
    for (int i = 0; i < 5; i++) {
        SeekKeyDown(vkNext, false, *w.Device());
        visited.push_back(w.Timer()->GetTime());
    }
    EXPECT_EQ(visited, (std::vector<double>{1, 3, 4, 5, 5}));
    visited.clear();
    for (int i = 0; i < 5; i++) {
        SeekKeyDown(vkPrior, false, *w.Device());
        visited.push_back(w.Timer()->GetTime());
    }
    EXPECT_EQ(visited, (std::vector<double>{4, 3, 1, 0, 0}));
    // Left/Right by one second, ten with Shift, Home to the start.
    const struct {
        int key;
        bool shift;
        double landed;
    } keys[] = {{vkRight, false, 1}, {vkRight, true, 11}, {vkLeft, false, 10}, {vkRight, true, 20},
                {vkLeft, true, 10},  {vkHome, false, 0},  {vkLeft, false, 0}};
    for (const auto& k : keys) {
        EXPECT_TRUE(SeekKeyDown(k.key, k.shift, *w.Device()));
        EXPECT_EQ(w.Timer()->GetTime(), k.landed) << k.key << (k.shift ? " with Shift" : "");
    }
    EXPECT_FALSE(SeekKeyDown('X', false, *w.Device()));
}

TEST(Seeking, LoopingRepeatsThePartUnderTheClock) {
    DemoWindow w;
    NEED_WINDOW(w);
    SmallTimeline t(w.Device());
    w.Timer()->SetTime(4.5); // b and d live: b comes first on the timeline
    SeekKeyDown(vkL, false, *w.Device());
    ASSERT_TRUE(w.Device()->Looping());
    EXPECT_EQ(w.Device()->LoopStart(), 3.0f);
    EXPECT_EQ(w.Device()->LoopStop(), 5.0f);
    w.FrameAt(4.9, 0.1f);
    t.Hooks();
    // The frame that reaches b's stop goes back to its start: b stays live,
    // d (started at 4) stops, a new pass begins at 3.
    w.FrameAt(5.02, 0.1f);
    EXPECT_GE(w.Timer()->GetTime(), 3.0); // then advanced by one real frame
    EXPECT_LT(w.Timer()->GetTime(), 3.5);
    EXPECT_THAT(Filter(t.log, "Render b"), ::testing::ElementsAre("Render b first=1 part=3.000 local=0.000"));
    EXPECT_EQ(t.Hooks(), (std::vector<std::string>{"Stop d"}));
    // L again stops looping; so does a seek out of the part.
    SeekKeyDown(vkL, false, *w.Device());
    EXPECT_FALSE(w.Device()->Looping());
    w.Timer()->SetTime(3.5);
    SeekKeyDown(vkL, false, *w.Device());
    EXPECT_TRUE(w.Device()->Looping());
    SeekKeyDown(vkRight, false, *w.Device()); // 4.5: still inside
    EXPECT_TRUE(w.Device()->Looping());
    SeekKeyDown(vkRight, false, *w.Device()); // 5.5: out
    EXPECT_FALSE(w.Device()->Looping());
    // Only the permanent part is live at 10: nothing to loop.
    w.Timer()->SetTime(10.0);
    SeekKeyDown(vkL, false, *w.Device());
    EXPECT_FALSE(w.Device()->Looping());
    // A part that runs past the demo's end loops at the end.
    w.Device()->SetEndTime(6.5f);
    EXPECT_TRUE(w.Device()->LoopPartAt(7.0)); // c, from 5 to 8
    EXPECT_EQ(w.Device()->LoopStop(), 6.5f);
}

// A demo of one's own in a data folder: the script at the top, the music
// where the resource location points.
struct OwnDemo {
    TempDir dir;
    explicit OwnDemo(const std::string& timeline = "<timeline end=\"40\"/>") {
        std::filesystem::create_directories(dir.File("data"));
        std::filesystem::copy_file(BuiltContent("content/music.mp3"), dir.File("data/Music.mp3"));
        std::filesystem::copy_file(BuiltContent("content/niceFont.noc"), dir.File("data/niceFont.noc"));
        WriteFileText(
            dir.File("zumbrix.xml"),
            "<demo><resources location=\"file:data\\\"><mp3 value=\"music.mp3\"/>"
            "<consolefont value=\"niceFont.noc\"/></resources>\n"
            "<effect name=\"red\" class=\"TFade\"><control name=\"color\" kind=\"color\">"
            "<key time=\"0\" value=\"255 0 0 255\"/></control></effect>\n"
            "<effect name=\"blue\" class=\"TFade\"><control name=\"color\" kind=\"color\">"
            "<key time=\"0\" value=\"0 0 255 255\"/></control></effect>\n"
            "<part name=\"red\" start=\"0\" stop=\"10\"/><part name=\"blue\" start=\"10\" stop=\"25\"/>"
            "<part name=\"red\" start=\"25\" stop=\"50\"/>\n" +
                timeline + "</demo>\n");
    }
};

struct OwnDemoWindow : ::testing::Test {
    std::unique_ptr<OwnDemo> demo;
    std::unique_ptr<TMainWindow> window;

    void Open(std::vector<std::string> extra = {}) {
        ResetForWindowTest();
        demo = std::make_unique<OwnDemo>();
        std::vector<std::string> args = {"--window", "160x120", "--data", demo->dir.Path()};
        args.insert(args.end(), extra.begin(), extra.end());
        window = std::make_unique<TMainWindow>(ParseCommandLine(args));
        if (!window->Create()) GTEST_SKIP() << "no demo: " << window->StartupError();
    }
    void TearDown() override { EndWindowTest(window); }
    void Press(SDL_Keycode key, Uint16 modifiers = KMOD_NONE) { PressKey(*window, key, modifiers); }
    double Time() const { return window->Device()->Timer()->GetTime(); }
    TBassPlayer* Player() const { return dynamic_cast<TBassPlayer*>(window->Device()->GetMusicPlayer()); }
};

TEST_F(OwnDemoWindow, KeysSeekTheMusicWithTheClock) {
    Open();
    if (testing::Test::IsSkipped()) return;
    ASSERT_TRUE(window->SeekingEnabled());
    ASSERT_TRUE(Player() && Player()->HasStream());
    EXPECT_EQ(window->Device()->GetEndTime(), 40.0f);
    EXPECT_EQ(window->TrackBar().maximum, 4000);
    window->Device()->RenderFrame();
    const double frame = 1.0 / 60.0;
    // Each key, where the clock lands, and the music with it: the reported
    // position lies within one frame of the clock right after the seek
    // (SDL's dummy driver takes the sound in slices of about 46 ms, so it is
    // read at once).
    const struct {
        SDL_Keycode key;
        Uint16 modifiers;
        bool relative; // landed: a step from the time before, or a time
        double landed;
    } keys[] = {
        {SDLK_RIGHT, KMOD_NONE, true, 1.0},      {SDLK_RIGHT, KMOD_LSHIFT, true, 10.0},
        {SDLK_PAGEDOWN, KMOD_NONE, false, 25.0}, {SDLK_PAGEUP, KMOD_NONE, false, 10.0},
        {SDLK_LEFT, KMOD_RSHIFT, true, -10.0},   {SDLK_PAGEDOWN, KMOD_NONE, false, 10.0},
        {SDLK_LEFT, KMOD_NONE, true, -1.0},      {SDLK_HOME, KMOD_NONE, false, 0.0},
    };
    for (const auto& k : keys) {
        double before = Time();
        Press(k.key, k.modifiers);
        double expected = k.relative ? std::max(before + k.landed, 0.0) : k.landed;
        EXPECT_NEAR(Time(), expected, 1e-9) << SDL_GetKeyName(k.key);
        EXPECT_NEAR(Player()->GetPosition(), Time(), frame) << SDL_GetKeyName(k.key);
        EXPECT_TRUE(Player()->IsPlaying());
        window->Device()->RenderFrame();
    }
    // T shows and hides the position bar; its range is the demo's length.
    EXPECT_FALSE(window->TrackBar().visible);
    Press(SDLK_t);
    EXPECT_TRUE(window->TrackBar().visible);
    window->Device()->Seek(39.0);
    window->Device()->RenderFrame();
    EXPECT_NEAR(window->TrackBar().position, 3900, 10);
    Press(SDLK_t);
    EXPECT_FALSE(window->TrackBar().visible);
    // The help page keeps its own lines and adds these keys after them.
    Press(SDLK_h);
    std::vector<std::string> page(kHelpLines, kHelpLines + 11);
    page.insert(page.end(), kSeekHelpLines, kSeekHelpLines + 6);
    page.push_back(kReloadHelpLine); // a --data run reloads
    EXPECT_EQ(window->Device()->StatusText(), page);
    // The demo's own keys keep their meaning.
    Press(SDLK_f);
    EXPECT_FLOAT_EQ(static_cast<THiResTimer*>(window->Device()->Timer())->GetSpeed(), 5.0f);
}

TEST_F(OwnDemoWindow, StartPausedOpensHeldAtTheTime) {
    Open({"--start", "12.5", "--paused"});
    if (testing::Test::IsSkipped()) return;
    auto* timer = static_cast<THiResTimer*>(window->Device()->Timer());
    ASSERT_TRUE(Player() && Player()->HasStream());
    EXPECT_TRUE(timer->IsPaused());
    EXPECT_FALSE(Player()->IsPlaying());
    for (int i = 0; i < 3; i++)
        window->Device()->RenderFrame();
    EXPECT_EQ(Time(), 12.5);
    // Held, the music follows every seek to the sample.
    const double sample = 1.0 / 44100.0;
    EXPECT_NEAR(Player()->GetPosition(), 12.5, sample);
    Press(SDLK_RIGHT, KMOD_SHIFT);
    EXPECT_EQ(Time(), 22.5);
    EXPECT_NEAR(Player()->GetPosition(), 22.5, sample);
    Press(SDLK_PAGEUP);
    EXPECT_EQ(Time(), 10.0);
    EXPECT_NEAR(Player()->GetPosition(), 10.0, sample);
    EXPECT_FALSE(Player()->IsPlaying());
    // Pause starts both together.
    Press(SDLK_PAUSE);
    EXPECT_FALSE(timer->IsPaused());
    EXPECT_TRUE(Player()->IsPlaying());
    EXPECT_NEAR(Player()->GetPosition(), Time(), 1.0 / 60.0);
    // And from then on Pause is the usual one: the music plays on...
    Press(SDLK_PAUSE);
    EXPECT_TRUE(timer->IsPaused());
    EXPECT_TRUE(Player()->IsPlaying());
    // ...until a seek, which holds it at the new time with the picture.
    Press(SDLK_HOME);
    EXPECT_FALSE(Player()->IsPlaying());
    EXPECT_NEAR(Player()->GetPosition(), 0.0, sample);
    Press(SDLK_PAUSE);
    EXPECT_TRUE(Player()->IsPlaying());
    EXPECT_FALSE(timer->IsPaused());
}

// The shipped demo shows its stage twice (the groove and one bar of the
// run-out): seeking from one into the other keeps the spot light's shadow
// map, which the scene makes when a part starts and releases when one stops.
TEST(Seeking, ASceneSeekedIntoItsOtherPartKeepsItsShadows) {
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 0);
    Application().SetMessageBoxes(false);
    Application().ClearTerminate();
    TFlexibleStream::ResetSettings();
    auto window = std::make_unique<TMainWindow>(
        ParseCommandLine({"--window", "160x120", "--silent", "--archive", BuiltContent("app/FILES.pck")}));
    if (!window->Create()) GTEST_SKIP() << "no demo: " << window->StartupError();
    auto* stage = dynamic_cast<TSceneLoadTest*>(window->Device()->FindEffect("stage"));
    ASSERT_TRUE(stage && stage->Scene());
    TDemo3dDevice* device = window->Device();
    device->Seek(20.0); // the groove
    device->RenderFrame();
    // Its part has started: the scene has planned its shadow-casting light.
    ASSERT_GT(stage->Scene()->ShadowLights.Count(), 0);
    Ts3dLight* spot = stage->Scene()->ShadowLights.Items(0);
    if (!spot->ShadowTarget) GTEST_SKIP() << "no shadow maps on this driver";
    EXPECT_TRUE(spot->ShadowTexture);
    for (double to : {99.5, 20.5}) { // into the run-out's bar, and back
        device->Seek(to);
        device->RenderFrame();
        EXPECT_TRUE(spot->ShadowTexture) << "after the seek to " << to;
    }
    window.reset();
    TFlexibleStream::ResetSettings();
    Application().ClearTerminate();
}

// The program itself on a data folder whose script gives the demo 20 s.
TEST(DemoLength, AScriptsEndSetsTheOfflineRunsAndTheStartLimit) {
    OwnDemo demo("<timeline end=\"4*5\"/>");
    TempDir out;
    CommandResult r = RunZumbrix(
        {"--data", demo.dir.Path(), "--render-frames", out.Path(), "--fps", "2", "--window", "64x48"});
    if (r.exitCode != 0 && r.err.find("display") != std::string::npos) GTEST_SKIP() << r.err;
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::HasSubstr("40 frames at 2 fps"));
    EXPECT_TRUE(std::filesystem::exists(out.File("frame_00039.tga")));
    EXPECT_FALSE(std::filesystem::exists(out.File("frame_00040.tga")));
    // The sound of the same 20 s.
    EXPECT_EQ(std::filesystem::file_size(out.File("audio.wav")), 44u + 20u * 176400u);
    // 19.5 s: the blue part.
    RgbaPicture last;
    ASSERT_TRUE(LoadPicture(out.File("frame_00039.tga"), last));
    EXPECT_EQ(last.pixels[0], 0);
    EXPECT_EQ(last.pixels[2], 255);

    r = RunZumbrix({"--data", demo.dir.Path(), "--benchmark", "--window", "64x48"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::HasSubstr("frames: 1200 "));
    // Each pass of --loops plays to the same end; start-up says where it is.
    r = RunZumbrix({"--data", demo.dir.Path(), "--benchmark", "--start", "15", "--loops", "2", "--debug",
                    "--window", "64x48"});
    EXPECT_THAT(r.out, ::testing::HasSubstr("loop 1: 300 frames"));
    EXPECT_THAT(r.out, ::testing::HasSubstr("loop 2: 300 frames"));
    EXPECT_THAT(r.out, ::testing::HasSubstr("frames: 600 "));
    EXPECT_THAT(r.err, ::testing::HasSubstr("the timeline ends at 20 s"));

    // --start is held against the script's end, with the offline runs and
    // the played ones alike.
    r = RunZumbrix({"--data", demo.dir.Path(), "--benchmark", "--start", "20.5", "--window", "64x48"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, ::testing::HasSubstr("zumbrix: --start 20.5: the timeline ends at 20 s"));
}

TEST(DemoLength, BadEndsStopStartUpNamingTheScript) {
    for (const char* end : {"0", "-1", "soon", "2*(3"}) {
        OwnDemo demo(std::string("<timeline end=\"") + end + "\"/>");
        CommandResult r = RunZumbrix({"--data", demo.dir.Path(), "--benchmark", "--window", "64x48"});
        if (r.exitCode != 0 && r.err.find("no X11") != std::string::npos) GTEST_SKIP() << r.err;
        EXPECT_EQ(r.exitCode, 1) << end;
        EXPECT_THAT(r.err, ::testing::HasSubstr("zumbrix.xml:5: timeline end")) << end;
        EXPECT_THAT(r.out, ::testing::Not(::testing::HasSubstr("frames:"))) << end;
    }
}

} // namespace
