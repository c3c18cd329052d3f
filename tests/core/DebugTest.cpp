// The debug channel: silent with its switches off, rates that are not finite
// never leave it, and the platform switch routes the log to the debug sink.
#include "demo/core/Debug.h"

#include "platform/DebugSink.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

// Runs body with the debug sink on and returns what reached standard error.
template <class F> std::string SinkOutput(F body) {
    bool was = DebugOutputEnabled();
    SetDebugOutputEnabled(true);
    testing::internal::CaptureStderr();
    body();
    std::string out = testing::internal::GetCapturedStderr();
    SetDebugOutputEnabled(was);
    return out;
}

} // namespace

TEST(Debug, EverySwitchStartsOffAndNothingIsWritten) {
    TDebug debug;
    EXPECT_FALSE(debug.PlatformOutput());
    EXPECT_FALSE(debug.NetworkOutput());
    EXPECT_FALSE(debug.FileOutput());
    std::string out = SinkOutput([&] {
        debug.Log("frame statistics");
        debug.SendValue("FPS", TDebug::kFrameValue, 60.0f);
    });
    EXPECT_EQ(out, "");
}

TEST(Debug, FrameNumberCountsFrames) {
    TDebug debug;
    EXPECT_EQ(debug.GetFrame(), 0);
    for (int i = 0; i < 25; i++)
        debug.SetFrame(debug.GetFrame() + 1);
    EXPECT_EQ(debug.GetFrame(), 25);
    // The process-wide channel is one object.
    EXPECT_EQ(&DebugChannel(), &DebugChannel());
}

TEST(Debug, PlatformSwitchSendsLogAndFiniteValuesToTheSink) {
    TDebug debug;
    debug.SetPlatformOutput(true);
    std::string out = SinkOutput([&] {
        debug.Log("FPS 59.9");
        debug.SendValue("AverageFPS", TDebug::kFrameValue, 42.5f);
        debug.SendValue("FPS", TDebug::kFrameValue, std::numeric_limits<float>::infinity());
        debug.SendValue("FPS", TDebug::kFrameValue, std::numeric_limits<float>::quiet_NaN());
        debug.SendValue("FPS", TDebug::kFrameValue, -std::numeric_limits<float>::infinity());
    });
    EXPECT_EQ(out, "FPS 59.9\nAverageFPS = 42.5\n");
    // The other switches have no output of their own.
    TDebug other;
    other.SetNetworkOutput(true);
    other.SetFileOutput(true);
    EXPECT_EQ(SinkOutput([&] { other.Log("x"); }), "");
}
