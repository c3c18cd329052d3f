#include "demo/core/HiResTimer.h"

#include "platform/Ticks.h"

namespace {

class TPlatformTicks : public TTickSource {
public:
    int64_t ReadCounter() override { return QueryPerformanceCounter(); }
    int64_t ReadFrequency() override { return QueryPerformanceFrequency(); }
};

} // namespace

TTickSource& PlatformTickSource() {
    static TPlatformTicks ticks;
    return ticks;
}

THiResTimer::THiResTimer(TTickSource& ticks) : ticks_(ticks) {
    frequency_ = ticks_.ReadFrequency();
    // A counter that reports no rate would make every duration infinite.
    if (frequency_ < 1) frequency_ = 1;
    lastReading_ = ticks_.ReadCounter();
}

void THiResTimer::Reset() {
    lastReading_ = ticks_.ReadCounter();
    Advance();
    duration_ = 0.0f;
    time_ = 0.0;
    recentSum_ = 0.0f;
    frameCount_ = 0;
    ringIndex_ = 0;
    for (float& slot : recent_)
        slot = 0.0f;
}

void THiResTimer::Advance() {
    int64_t now = ticks_.ReadCounter();
    if (paused_) {
        // Time and statistics stand still; the next advance after unpausing
        // measures only from here.
        lastReading_ = now;
        duration_ = 0.0f;
        return;
    }
    long double elapsed = static_cast<long double>(now - lastReading_);
    duration_ = static_cast<float>(elapsed / static_cast<long double>(frequency_) * speed_);
    lastReading_ = now;
    time_ += duration_;
    frameCount_++;
    ringIndex_ = (ringIndex_ + 1) % kRingSize;
    recentSum_ = (recentSum_ - recent_[ringIndex_]) + duration_;
    recent_[ringIndex_] = duration_;
}

void THiResTimer::AdvanceAccumulate() {
    float before = duration_;
    Advance();
    duration_ += before;
}

float THiResTimer::GetFps() {
    return 1.0f / duration_;
}

float THiResTimer::GetAverageFps() {
    // Before the first frame there is no rate to report (0 / 0 otherwise).
    if (frameCount_ == 0) return 0.0f;
    return static_cast<float>(frameCount_ / time_);
}

float THiResTimer::GetRecentFps() {
    if (frameCount_ == 0) return 0.0f;
    int32_t frames = frameCount_ < kRingSize ? frameCount_ : kRingSize;
    return static_cast<float>(frames) / recentSum_;
}
