// The demo clock driven by a hand-stepped counter: speed, pause, the ring of
// recent durations and the reset.
#include "demo/core/HiResTimer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class FakeTicks : public TTickSource {
public:
    explicit FakeTicks(int64_t frequency, int64_t start = 0) : frequency(frequency), counter(start) {}
    int64_t ReadCounter() override { return counter; }
    int64_t ReadFrequency() override { return frequency; }

    int64_t frequency;
    int64_t counter;
};

// Lets `ticks` pass and advances the timer once.
void Step(THiResTimer& timer, FakeTicks& ticks, int64_t passed) {
    ticks.counter += passed;
    timer.Advance();
}

} // namespace

TEST(HiResTimer, MeasuresFromTheReadingAtCreation) {
    FakeTicks ticks(1000, 5000);
    THiResTimer timer(ticks);
    EXPECT_EQ(timer.GetTime(), 0.0);
    EXPECT_EQ(timer.GetDuration(), 0.0f);
    EXPECT_EQ(timer.GetSpeed(), 1.0f);
    EXPECT_FALSE(timer.IsPaused());
    Step(timer, ticks, 250);
    EXPECT_EQ(timer.GetDuration(), 0.25f);
    EXPECT_EQ(timer.GetTime(), 0.25);
    EXPECT_EQ(timer.GetFps(), 4.0f);
    EXPECT_EQ(timer.GetFrameCount(), 1);
    Step(timer, ticks, 500);
    EXPECT_EQ(timer.GetTime(), 0.75);
    EXPECT_EQ(timer.GetAverageFps(), 2.0f / 0.75f);
}

TEST(HiResTimer, SpeedScalesTimeAndStatistics) {
    FakeTicks ticks(1000);
    THiResTimer timer(ticks);
    timer.SetSpeed(0.1f);
    Step(timer, ticks, 1000); // one real second
    EXPECT_NEAR(timer.GetTime(), 0.1, 1e-7);
    timer.SetSpeed(5.0f);
    Step(timer, ticks, 20); // 50 real frames per second reported as 10
    EXPECT_FLOAT_EQ(timer.GetDuration(), 0.1f);
    EXPECT_FLOAT_EQ(timer.GetFps(), 10.0f);
}

TEST(HiResTimer, PauseFreezesTimeAndStatistics) {
    FakeTicks ticks(1000);
    THiResTimer timer(ticks);
    Step(timer, ticks, 100);
    ASSERT_EQ(timer.GetTime(), 0.1f);
    float recent = timer.GetRecentFps();

    timer.TogglePause();
    EXPECT_TRUE(timer.IsPaused());
    Step(timer, ticks, 3000);
    Step(timer, ticks, 2000);
    EXPECT_EQ(timer.GetDuration(), 0.0f);
    EXPECT_EQ(timer.GetTime(), 0.1f);
    EXPECT_EQ(timer.GetFrameCount(), 1);
    EXPECT_EQ(timer.GetRecentFps(), recent);
    EXPECT_TRUE(std::isinf(timer.GetFps())); // no guard on a zero duration

    // After unpausing, the first advance measures only from the last advance
    // made while paused.
    timer.TogglePause();
    Step(timer, ticks, 50);
    EXPECT_EQ(timer.GetDuration(), 0.05f);
    EXPECT_FLOAT_EQ(static_cast<float>(timer.GetTime()), 0.15f);
    EXPECT_EQ(timer.GetFrameCount(), 2);
}

TEST(HiResTimer, RecentRateAveragesTheLast128Advances) {
    FakeTicks ticks(1000);
    THiResTimer timer(ticks);
    for (int i = 0; i < 10; i++)
        Step(timer, ticks, 20);
    EXPECT_NEAR(timer.GetRecentFps(), 50.0f, 1e-3f); // 10 / 0.2
    for (int i = 10; i < 200; i++)
        Step(timer, ticks, 20);
    EXPECT_NEAR(timer.GetRecentFps(), 50.0f, 1e-3f);
    EXPECT_EQ(timer.GetFrameCount(), 200);

    // 128 short frames, then 64 long ones: the ring now holds 64 of each.
    THiResTimer mixed(ticks);
    for (int i = 0; i < 128; i++)
        Step(mixed, ticks, 10);
    EXPECT_NEAR(mixed.GetRecentFps(), 100.0f, 1e-2f);
    for (int i = 0; i < 64; i++)
        Step(mixed, ticks, 40);
    EXPECT_NEAR(mixed.GetRecentFps(), 128.0f / (64 * 0.01f + 64 * 0.04f), 1e-2f); // 40
    // The overall average still counts every frame: 192 / 3.84 s = 50.
    EXPECT_NEAR(mixed.GetAverageFps(), 50.0f, 1e-3f);
    for (int i = 0; i < 64; i++)
        Step(mixed, ticks, 40);
    EXPECT_NEAR(mixed.GetRecentFps(), 25.0f, 1e-2f); // only long frames left
}

TEST(HiResTimer, ResetClearsEverythingAndRestartsTheMeasurement) {
    FakeTicks ticks(1000);
    THiResTimer timer(ticks);
    timer.SetSpeed(2.0f);
    for (int i = 0; i < 5; i++)
        Step(timer, ticks, 100);
    ticks.counter += 7000; // a long load before the demo starts
    timer.Reset();
    EXPECT_EQ(timer.GetTime(), 0.0);
    EXPECT_EQ(timer.GetDuration(), 0.0f);
    EXPECT_EQ(timer.GetFrameCount(), 0);
    EXPECT_EQ(timer.GetRecentFps(), 0.0f);
    EXPECT_EQ(timer.GetAverageFps(), 0.0f);
    EXPECT_EQ(timer.GetSpeed(), 2.0f); // speed survives
    Step(timer, ticks, 100);
    EXPECT_EQ(timer.GetDuration(), 0.2f); // the load time is not counted
    EXPECT_EQ(timer.GetFrameCount(), 1);
    EXPECT_NEAR(timer.GetRecentFps(), 5.0f, 1e-5f); // the old ring is gone
}

TEST(HiResTimer, AccumulateSetTimeAndSetDuration) {
    FakeTicks ticks(1000);
    THiResTimer timer(ticks);
    Step(timer, ticks, 30);
    ticks.counter += 20;
    timer.AdvanceAccumulate();
    EXPECT_FLOAT_EQ(timer.GetDuration(), 0.05f);
    EXPECT_FLOAT_EQ(static_cast<float>(timer.GetTime()), 0.05f);
    timer.SetTime(42.5);
    EXPECT_EQ(timer.GetTime(), 42.5);
    EXPECT_EQ(timer.GetFrameCount(), 2);
    Step(timer, ticks, 500);
    EXPECT_EQ(timer.GetTime(), 43.0);
    timer.SetDuration(0.125f);
    EXPECT_EQ(timer.GetFps(), 8.0f);
}

TEST(HiResTimer, LargeCounterValuesKeepTheirDifference) {
    // Counters far from zero: the difference is taken in 64-bit integers, so a
    // single tick is still seen.
    FakeTicks ticks(1000000000, 4000000000000000000LL);
    THiResTimer timer(ticks);
    Step(timer, ticks, 1);
    EXPECT_FLOAT_EQ(timer.GetDuration(), 1e-9f);
    // A counter without a rate does not make durations infinite.
    FakeTicks broken(0);
    THiResTimer odd(broken);
    Step(odd, broken, 3);
    EXPECT_TRUE(std::isfinite(odd.GetDuration()));
}

TEST(HiResTimer, ReferenceCountedThroughTheInterface) {
    FakeTicks ticks(1000);
    auto* raw = new THiResTimer(ticks);
    {
        TRefPtr<ITimer> timer(raw);
        TRefPtr<ITimer> second = timer;
        EXPECT_EQ(raw->RefCount(), 2);
        second->SetTime(3.0);
        EXPECT_EQ(timer->GetTime(), 3.0);
    }                     // the last reference deletes the timer (checked by the sanitizer build)
    THiResTimer platform; // the platform counter runs forwards
    platform.Advance();
    EXPECT_GE(platform.GetDuration(), 0.0f);
}
