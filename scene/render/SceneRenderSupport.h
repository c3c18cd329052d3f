// What the scene renderer's files share: conversions to the device's records
// and the guards that keep a frame's brackets balanced when a step fails.
#pragma once

#include "scene/model/Scene.h"

inline T3dMatrix ToT3dMatrix(const TMatrix4& m) {
    T3dMatrix out;
    for (int i = 0; i < 16; i++)
        out.m[i] = m.m[i];
    return out;
}

inline T3dColor ToT3dColor(const TColor4& c) {
    return {c.r, c.g, c.b, c.a};
}

// The material handler's frame: BeginFrame now, EndFrame when the frame
// ends, also when a step of it raised (a scene without lights, say), so the
// combiners never stay on for what is drawn after the scene.
class TFrameGuard {
public:
    explicit TFrameGuard(Ts3dMaterialHandler* handler) : handler_(handler) { handler_->BeginFrame(); }
    ~TFrameGuard() {
        try {
            handler_->EndFrame();
        } catch (...) {
        }
    }
    TFrameGuard(const TFrameGuard&) = delete;
    TFrameGuard& operator=(const TFrameGuard&) = delete;

private:
    Ts3dMaterialHandler* handler_;
};

// An off-screen target pushed as the drawing target for as long as the
// guard lives: a failing nested view never leaves the device drawing into
// the target.
class TPushedContext {
public:
    TPushedContext(I3dDevice* device, I3dContext* target) : device_(device) { device_->PushContext(target); }
    ~TPushedContext() {
        try {
            device_->PopContext();
        } catch (...) {
        }
    }
    TPushedContext(const TPushedContext&) = delete;
    TPushedContext& operator=(const TPushedContext&) = delete;

private:
    I3dDevice* device_;
};
