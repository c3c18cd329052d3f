// TDemoPart: one entry of the timeline. It binds a (shared) effect to the
// time window [start, stop) and forwards the frame loop's calls to it; the
// active flag records whether the part's effect has been started.
//
// The part also keeps the prepare and unprepare times it is given, so the
// frame loop fires the effect's Prepare and Unprepare hooks when a frame
// crosses them.
#pragma once

#include "demo/DemoInterfaces.h"

class TDemoPart : public TInterfacedObject, public IDemoPart {
public:
    TDemoPart() = default;

    IDemoEffect* GetEffect() override { return effect_.Get(); }
    void SetEffect(IDemoEffect* effect) override { effect_ = effect; }
    bool IsActive() override { return active_; }
    void SetPrepareTime(float time) override { prepare_ = time; }
    void SetStartTime(float time) override { start_ = time; }
    void SetStopTime(float time) override { stop_ = time; }
    void SetUnprepareTime(float time) override { unprepare_ = time; }
    float GetPrepareTime() override { return prepare_; }
    float GetStartTime() override { return start_; }
    float GetStopTime() override { return stop_; }
    float GetUnprepareTime() override { return unprepare_; }
    // True when stop <= start, and when either time is not a number.
    bool IsPermanent() override { return !(stop_ > start_); }
    void Reload() override;
    void Prepare() override;
    void Start() override;
    void Update() override;
    void Render(bool first) override;
    void AfterRender() override;
    void Stop() override;
    void Unprepare() override;

protected:
    ~TDemoPart() override = default;

private:
    bool active_ = false;
    float start_ = 0.0f;
    float stop_ = 0.0f;
    // Outside every frame's interval until the device hands the real times.
    float prepare_ = -1.0e30f;
    float unprepare_ = -1.0e30f;
    TRefPtr<IDemoEffect> effect_;
};
