// The frame loop of the demo device, driven frame by frame at chosen demo
// times on a real window, with effects that record the hooks they receive.
#include "tests/demo/DemoTestSupport.h"

#include "demo/Application.h"
#include "demo/Fade.h"
#include "demo/core/Debug.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>

namespace {

struct Timeline {
    std::vector<std::string> log;
    TRefPtr<TRecordingEffect> Effect(TDemo3dDevice* device, const char* name) {
        TRefPtr<TRecordingEffect> e(new TRecordingEffect(&log));
        e->SetName(name);
        device->AddEffect(e.Get());
        return e;
    }
    static TRefPtr<TDemoPart> Part(TDemo3dDevice* device, IDemoEffect* effect, float start, float stop) {
        TRefPtr<TDemoPart> p(new TDemoPart());
        p->SetEffect(effect);
        device->AddPart(p.Get(), start, start, stop, stop > start ? stop : -100.0f);
        return p;
    }
};

#define NEED_WINDOW(w)                                                                                       \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

TEST(FrameLoop, PartWindowStartsRendersAndStopsAtItsBounds) {
    DemoWindow w;
    NEED_WINDOW(w);
    Timeline t;
    auto e = t.Effect(w.Device(), "e");
    auto part = Timeline::Part(w.Device(), e.Get(), 2.0f, 3.0f);
    const float step = 0.5f;
    for (double now : {1.5, 2.0, 2.5, 3.0, 3.5}) {
        t.log.push_back("frame " + std::to_string(now));
        w.FrameAt(now, step);
    }
    std::vector<std::string> expected = {
        "frame 1.500000", "frame 2.000000",
        "Prepare e",      "Start e",
        "Update e",       "Render e first=1 part=2.000 local=0.000",
        "AfterRender e",  "frame 2.500000",
        "Update e",       "Render e first=1 part=2.000 local=0.500",
        "AfterRender e",  "frame 3.000000",
        "Stop e",         "Unprepare e",
        "frame 3.500000",
    };
    EXPECT_EQ(t.log, expected);
    EXPECT_FALSE(part->IsActive());
}

TEST(FrameLoop, PermanentPartsRenderFromTheFirstFrameAndNeverStop) {
    DemoWindow w;
    NEED_WINDOW(w);
    Timeline t;
    auto a = t.Effect(w.Device(), "same");     // stop == start
    auto b = t.Effect(w.Device(), "reversed"); // stop < start
    auto c = t.Effect(w.Device(), "nan");      // a time that is not a number
    Timeline::Part(w.Device(), a.Get(), 5.0f, 5.0f);
    Timeline::Part(w.Device(), b.Get(), 5.0f, 4.0f);
    Timeline::Part(w.Device(), c.Get(), NAN, 9.0f);
    for (double now : {0.0, 4.5, 50.0, 116.0})
        w.FrameAt(now, 0.1f);
    EXPECT_EQ(Filter(t.log, "Start").size(), 3u);
    EXPECT_EQ(Filter(t.log, "Render same").size(), 4u);
    EXPECT_EQ(Filter(t.log, "Render reversed").size(), 4u);
    EXPECT_EQ(Filter(t.log, "Render nan").size(), 4u);
    EXPECT_TRUE(Filter(t.log, "Stop").empty());
}

TEST(FrameLoop, OverlappingPartsRenderInTimelineOrderAndOnlyTheFirstIsFirst) {
    DemoWindow w;
    NEED_WINDOW(w);
    Timeline t;
    auto shared = t.Effect(w.Device(), "shared");
    auto other = t.Effect(w.Device(), "other");
    Timeline::Part(w.Device(), shared.Get(), 1.0f, 10.0f);
    Timeline::Part(w.Device(), other.Get(), 0.0f, 10.0f);
    Timeline::Part(w.Device(), shared.Get(), 2.0f, 10.0f);
    w.FrameAt(2.5, 0.01f);
    // Two parts share one effect: it is started twice and rendered twice,
    // each time with its own part's start.
    EXPECT_EQ(Filter(t.log, "Render"),
              (std::vector<std::string>{"Render shared first=1 part=1.000 local=1.500",
                                        "Render other first=0 part=0.000 local=2.500",
                                        "Render shared first=0 part=2.000 local=0.500"}));
    EXPECT_EQ(Filter(t.log, "Start").size(), 3u);
    EXPECT_EQ(Filter(t.log, "AfterRender").size(), 3u);
}

TEST(FrameLoop, ClockJumpsStopAndStartPartsButSkipPrepareTimes) {
    DemoWindow w;
    NEED_WINDOW(w);
    Timeline t;
    auto e = t.Effect(w.Device(), "e");
    Timeline::Part(w.Device(), e.Get(), 2.0f, 3.0f);
    w.FrameAt(2.5, 0.016f); // jumped into the window: prepare time 2 not crossed
    w.FrameAt(0.0, 0.016f); // restart: stopped, unprepare time 3 not crossed
    w.FrameAt(2.2, 0.016f);
    EXPECT_EQ(t.log,
              (std::vector<std::string>{"Start e", "Update e", "Render e first=1 part=2.000 local=0.500",
                                        "AfterRender e", "Stop e", "Start e", "Update e",
                                        "Render e first=1 part=2.000 local=0.200", "AfterRender e"}));
}

TEST(FrameLoop, EndingTheTimelineStopsEveryPartSoThatTheNextPassStartsThemAgain) {
    DemoWindow w;
    NEED_WINDOW(w);
    Timeline t;
    auto live = t.Effect(w.Device(), "live");
    auto permanent = t.Effect(w.Device(), "permanent");
    auto over = t.Effect(w.Device(), "over");
    auto later = t.Effect(w.Device(), "later");
    Timeline::Part(w.Device(), live.Get(), 0.0f, 200.0f);
    Timeline::Part(w.Device(), permanent.Get(), 5.0f, 5.0f);
    Timeline::Part(w.Device(), over.Get(), 1.0f, 2.0f);
    Timeline::Part(w.Device(), later.Get(), 150.0f, 160.0f);
    for (double now : {0.0, 1.5, 117.5})
        w.FrameAt(now, 0.1f);
    t.log.clear();
    w.Device()->EndTimeline();
    // Only what is still running stops; only the part whose unprepare time
    // lies beyond the last frame (and whose prepare time does not) is
    // unprepared: "over" was unprepared by the frames, "later" never prepared.
    EXPECT_EQ(t.log, (std::vector<std::string>{"Stop live", "Stop permanent", "Unprepare live"}));
    t.log.clear();
    w.FrameAt(0.0, 0.0f);
    EXPECT_EQ(Filter(t.log, "Start"), (std::vector<std::string>{"Start live", "Start permanent"}));
}

TEST(FrameLoop, AFrameWithoutLivePartsIsClearedAndPresented) {
    DemoWindow w;
    NEED_WINDOW(w);
    // Paint the back buffer; the empty frame must clear it before presenting.
    T3dClearValues values{};
    values.Flags = 1;
    values.Color = {1.0f, 0.0f, 0.0f, 1.0f};
    w.Context()->SetClearValues(values);
    w.Context()->Clear(1);
    values.Color = {0.0f, 0.0f, 0.0f, 0.0f};
    w.Context()->SetClearValues(values);
    uint32_t seen = 0xFFFFFFFF;
    struct Probe {
        DemoWindow* w;
        uint32_t* seen;
    } probe{&w, &seen};
    // The overlay step runs right before presenting: read the frame there.
    w.Device()->SetOnOverlay({[](void* p, IDemo3dDevice*) {
                                  auto* pr = static_cast<Probe*>(p);
                                  *pr->seen = pr->w->Pixel(10, 10) & 0xFFFFFF;
                              },
                              &probe});
    int frames = 0;
    w.Device()->SetOnFrame({[](void* n, IDemo3dDevice*) { ++*static_cast<int*>(n); }, &frames});
    w.FrameAt(1.0, 0.01f);
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(frames, 1);
}

TEST(FrameLoop, PastTheEndTerminationIsRequestedAndTheFrameStillDrawn) {
    DemoWindow w;
    NEED_WINDOW(w);
    Timeline t;
    auto e = t.Effect(w.Device(), "e");
    Timeline::Part(w.Device(), e.Get(), 0.0f, 0.0f);
    int frames = 0;
    w.Device()->SetOnFrame({[](void* n, IDemo3dDevice*) { ++*static_cast<int*>(n); }, &frames});
    w.FrameAt(117.0, 0.01f);
    EXPECT_FALSE(Application().Terminated()); // 117.0 itself is not past the end
    w.FrameAt(117.01, 0.01f);
    EXPECT_TRUE(Application().Terminated());
    EXPECT_EQ(Filter(t.log, "Render").size(), 2u);
    EXPECT_EQ(frames, 2);
}

TEST(FrameLoop, ClockReadOncePerFrameAndAdvancedAfterPresenting) {
    DemoWindow w;
    NEED_WINDOW(w);
    TDebug& debug = DebugChannel();
    int32_t before = debug.GetFrame();
    w.Timer()->Reset();
    int32_t counted = w.Timer()->GetFrameCount();
    for (int i = 0; i < 3; i++)
        w.Device()->RenderFrame();
    EXPECT_EQ(w.Timer()->GetFrameCount(), counted + 3);
    EXPECT_EQ(debug.GetFrame(), before + 3);
}

TEST(FrameLoop, StartSeedsTheClockAndInstallsTheFrameHandler) {
    DemoWindow w(64, 64, /*withMusic=*/true);
    NEED_WINDOW(w);
    ASSERT_NE(w.Device()->GetMusicPlayer(), nullptr);
    w.Timer()->SetTime(42.0);
    w.Device()->Start();
    // A player without a stream reads position 0.0.
    EXPECT_DOUBLE_EQ(w.Timer()->GetTime(), 0.0);
    EXPECT_TRUE(Application().HasIdleHandler());
    int frames = 0;
    w.Device()->SetOnFrame({[](void* n, IDemo3dDevice*) { ++*static_cast<int*>(n); }, &frames});
    EXPECT_FALSE(Application().Idle()); // never done: the loop calls again
    EXPECT_EQ(frames, 1);
}

TEST(FrameLoop, SpeedAndPauseGoToTheClock) {
    DemoWindow w;
    NEED_WINDOW(w);
    auto* timer = static_cast<THiResTimer*>(w.Timer());
    w.Device()->SetSpeed(5.0f);
    EXPECT_FLOAT_EQ(timer->GetSpeed(), 5.0f);
    w.Device()->TogglePause();
    EXPECT_TRUE(timer->IsPaused());
    w.Device()->TogglePause();
    EXPECT_FALSE(timer->IsPaused());
}

TEST(FrameLoop, FindEffectIsExactAndFirstInListOrder) {
    DemoWindow w;
    NEED_WINDOW(w);
    Timeline t;
    auto a = t.Effect(w.Device(), "fade");
    auto b = t.Effect(w.Device(), "fade");
    EXPECT_EQ(w.Device()->FindEffect("fade"), a.Get());
    EXPECT_EQ(w.Device()->FindEffect("Fade"), nullptr);
    EXPECT_EQ(w.Device()->FindEffect(""), nullptr);
    // AddEffect attaches: the effect sees the device, its rendering device,
    // the clock and the shared scene.
    EXPECT_EQ(b->Owner(), w.Device());
    EXPECT_EQ(b->Device(), w.Rendering());
    EXPECT_EQ(b->Timer(), w.Timer());
    EXPECT_EQ(b->Scene(), w.Device()->GetScene());
    EXPECT_EQ(a->Scene(), b->Scene());
}

TEST(FrameLoop, StatisticsLineFormat) {
    char line[96];
    TDemo3dDevice::FormatStatistics(line, sizeof line, 59.9996f, 12.3456);
    EXPECT_STREQ(line, "FPS:60.000,  Time:12.346");
}

TEST(Capture, TwoRequestsBeforeAFrameWriteOneFileNumberedWithTheSecond) {
    DemoWindow w(32, 16);
    NEED_WINDOW(w);
    TempDir dir;
    std::string prefix = (std::filesystem::path(dir.Path()) / "Zumbrix from Tombrel").string();
    w.Device()->RequestCapture(prefix);
    w.Device()->RequestCapture(prefix);
    EXPECT_EQ(w.Device()->GetCaptureCounter(), 2);
    w.FrameAt(1.0, 0.01f);
    EXPECT_FALSE(w.Device()->CapturePending());
    EXPECT_FALSE(std::filesystem::exists(prefix + "_00001.tga"));
    ASSERT_TRUE(std::filesystem::exists(prefix + "_00002.tga"));
    EXPECT_EQ(w.Device()->LastCaptureFile(), prefix + "_00002.tga");
    // A 32-bit run-length-encoded Targa of the window's size.
    std::vector<uint8_t> file = ReadFileBytes(prefix + "_00002.tga");
    ASSERT_GE(file.size(), 18u);
    EXPECT_EQ(file[2], 10);                  // RLE true colour
    EXPECT_EQ(file[12] | file[13] << 8, 32); // width
    EXPECT_EQ(file[14] | file[15] << 8, 16); // height
    EXPECT_EQ(file[16], 32);                 // bits per pixel
    w.FrameAt(1.1, 0.01f);                   // nothing pending: no new file
    EXPECT_FALSE(std::filesystem::exists(prefix + "_00003.tga"));
}

TEST(Registry, ClassNamesSelectEffectKindsExactly) {
    TEffectRegistry registry;
    FillEffectRegistry(registry);
    ASSERT_EQ(registry.Classes().size(), 2u);
    EXPECT_STREQ(registry.Classes()[0].Name, "TSceneLoadTest");
    EXPECT_STREQ(registry.Classes()[1].Name, "TFade");
    auto fades = registry.Create("TFade");
    ASSERT_EQ(fades.size(), 1u);
    EXPECT_NE(dynamic_cast<TFade*>(fades[0].Get()), nullptr);
    EXPECT_TRUE(registry.Create("tfade").empty());
    EXPECT_TRUE(registry.Create("TNothing").empty());
    EXPECT_TRUE(registry.Create("").empty());
}

} // namespace
