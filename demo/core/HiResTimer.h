// The demo clock: measures real time between frames with the high-resolution
// counter, scales it by a playback speed, can pause, and keeps the frame-rate
// statistics shown on screen.
#pragma once

#include <cstdint>

#include "platform/RefCounted.h"

// Where the timer reads its counter. The default reads the platform counter
// (platform/Ticks.h); tests hand in their own source to drive the clock.
class TTickSource {
public:
    virtual ~TTickSource() = default;
    virtual int64_t ReadCounter() = 0;   // current counter value
    virtual int64_t ReadFrequency() = 0; // counter ticks per second
};

// The platform's monotonic counter.
TTickSource& PlatformTickSource();

// The demo clock as the rest of the system sees it (a reference-counted
// interface; hold it in a TRefPtr<ITimer>).
class ITimer : public virtual IInterface {
public:
    virtual void Reset() = 0;
    virtual void Advance() = 0;
    // Advance, then add the duration from before the call to the new duration.
    virtual void AdvanceAccumulate() = 0;
    virtual void SetSpeed(float speed) = 0;
    virtual void TogglePause() = 0;
    virtual float GetDuration() = 0;
    virtual void SetDuration(float duration) = 0;
    virtual double GetTime() = 0;
    virtual void SetTime(double time) = 0; // sets the time only
    virtual float GetFps() = 0;            // 1 / duration (infinite when the duration is 0)
    virtual float GetAverageFps() = 0;     // frame count / time (0 before the first frame)
    virtual float GetRecentFps() = 0;      // over the last 128 advances (0 before the first)
    virtual int32_t GetFrameCount() = 0;

protected:
    ~ITimer() override = default;
};

class THiResTimer : public TInterfacedObject, public ITimer {
public:
    static constexpr int kRingSize = 128;

    // Reads the counter frequency and the counter from ticks, which must outlive
    // the timer.
    explicit THiResTimer(TTickSource& ticks = PlatformTickSource());
    ~THiResTimer() override = default;

    void Reset() override;
    void Advance() override;
    void AdvanceAccumulate() override;
    void SetSpeed(float speed) override { speed_ = speed; }
    void TogglePause() override { paused_ = !paused_; }
    float GetDuration() override { return duration_; }
    void SetDuration(float duration) override { duration_ = duration; }
    double GetTime() override { return time_; }
    void SetTime(double time) override { time_ = time; }
    float GetFps() override;
    float GetAverageFps() override;
    float GetRecentFps() override;
    int32_t GetFrameCount() override { return frameCount_; }

    bool IsPaused() const { return paused_; }
    float GetSpeed() const { return speed_; }

private:
    TTickSource& ticks_;
    float recent_[kRingSize] = {}; // the last 128 durations
    float recentSum_ = 0.0f;       // running sum of the ring
    int32_t ringIndex_ = 0;        // slot written last
    int64_t frequency_ = 1;        // counter ticks per second
    int64_t lastReading_ = 0;      // counter value at the last advance
    float duration_ = 0.0f;        // seconds added by the last advance
    double time_ = 0.0;            // demo time, seconds
    int32_t frameCount_ = 0;       // advances since the last reset
    bool paused_ = false;
    float speed_ = 1.0f;
};
