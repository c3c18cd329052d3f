#include "demo/DemoDevice.h"

#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "demo/Application.h"
#include "demo/Console.h"
#include "demo/core/Debug.h"
#include "platform/Format.h"

#include <algorithm>
#include <cstdio>

TDemo3dDevice::~TDemo3dDevice() {
    // Leaves no idle handler pointing at a device that is gone.
    Application().RemoveOnIdle(this);
}

void TDemo3dDevice::Init(T3dWindowHandle window, bool deviceSupplied, bool withMusic) {
    window_ = window;
    if (!deviceSupplied) device_ = new T3dOpenGLDevice();

    // 32-bit colour, 24-bit depth, 8-bit stencil, double-buffered window.
    T3dDeviceMode mode{};
    mode.Fullscreen = fullScreen_;
    mode.ColorBits = 32;
    mode.DepthBits = 24;
    mode.StencilBits = 8;
    mode.DoubleBuffer = 1;
    mode.Kind = ckWindow;
    TRefPtr<I3dContext> context;
    device_->CreateContext(window, mode, context);

    TRefPtr<I3dContext> main;
    device_->GetMainContext(main);
    if (main) {
        // The window shows a cleared frame before loading starts.
        main->ResetViewport();
        main->Clear(7);
        main->SwapBuffers();
    }
    device_->GetTimer(timer_);

    scene_ = new TDemo3dScene();
    parts_.clear();
    effects_.clear();
    statusText_.clear();
    if (withMusic) musicPlayer_ = new TBassPlayer(audioOutput_);
}

void TDemo3dDevice::LoadConsoleFont(const std::string& fileName) {
    TRefPtr<TConsole> console = TConsole::LoadFromFile(device_.Get(), fileName);
    if (console) console_ = console.Get();
}

void TDemo3dDevice::Start() {
    timer_->Reset();
    if (musicPlayer_) {
        musicPlayer_->SetPosition(0.0);
        timer_->SetTime(musicPlayer_->GetPosition());
    } else {
        timer_->SetTime(0.0);
    }
    Application().SetOnIdle(&TDemo3dDevice::IdleHandler, this);
    if (musicPlayer_) musicPlayer_->Play();
}

bool TDemo3dDevice::IdleHandler(void* self) {
    return static_cast<TDemo3dDevice*>(self)->RenderFrame();
}

void TDemo3dDevice::TogglePause() {
    timer_->TogglePause();
    if (musicHeld_) {
        // Paused together with the clock: both go on together.
        musicHeld_ = false;
        if (musicPlayer_) {
            musicPlayer_->SetPosition(timer_->GetTime());
            musicPlayer_->Play();
        }
    }
}

void TDemo3dDevice::PauseWithMusic() {
    auto* timer = dynamic_cast<THiResTimer*>(timer_.Get());
    if (!(timer && timer->IsPaused())) timer_->TogglePause();
    if (musicPlayer_) musicPlayer_->Stop();
    musicHeld_ = true;
}

void TDemo3dDevice::Seek(double time) {
    time = std::clamp(time, 0.0, double(endTime_));
    // The clock takes the asked time itself: the music lands on the sample
    // at or just before it (a 44100th of a second at most), and a part that
    // starts there is live in the next frame.
    if (musicPlayer_) musicPlayer_->SetPosition(time);
    timer_->SetTime(time);
    NoteSeek(time);
    // Paused, the picture stands still: the music waits with it at the new
    // time instead of playing on, so that the two go on together.
    if (auto* timer = dynamic_cast<THiResTimer*>(timer_.Get()); timer && timer->IsPaused() && !musicHeld_)
        PauseWithMusic();
}

void TDemo3dDevice::NoteSeek(double time) {
    if (looping_ && !(double(loopStart_) <= time && time < double(loopStop_))) looping_ = false;
}

std::optional<double> TDemo3dDevice::PreviousPartStart(double time) const {
    std::optional<double> found;
    for (const TRefPtr<IDemoPart>& part : parts_) {
        if (part->IsPermanent()) continue;
        double start = double(part->GetStartTime());
        if (start < time - kPageGrace && (!found || start > *found)) found = start;
    }
    return found;
}

std::optional<double> TDemo3dDevice::NextPartStart(double time) const {
    std::optional<double> found;
    for (const TRefPtr<IDemoPart>& part : parts_) {
        if (part->IsPermanent()) continue;
        double start = double(part->GetStartTime());
        // A start the clock has just been put on (a float stored as a
        // double) is not "after" it.
        if (start > time + 1e-6 && start <= double(endTime_) && (!found || start < *found)) found = start;
    }
    return found;
}

bool TDemo3dDevice::LoopPartAt(double time) {
    const float now = float(time);
    for (const TRefPtr<IDemoPart>& part : parts_) {
        if (part->IsPermanent()) continue;
        if (part->GetStartTime() <= now && part->GetStopTime() > now) {
            loopStart_ = part->GetStartTime();
            loopStop_ = std::min(part->GetStopTime(), endTime_);
            looping_ = loopStop_ > loopStart_;
            return looping_;
        }
    }
    return false;
}

void TDemo3dDevice::SetSpeed(float factor) {
    timer_->SetSpeed(factor);
}

void TDemo3dDevice::RequestCapture(const std::string& prefix) {
    captureCounter_++;
    capturePending_ = true;
    capturePrefix_ = prefix;
}

void TDemo3dDevice::Quit() {
    Application().Terminate();
}

const TValueRecord* TDemo3dDevice::GetResourceValue(const std::string& name) {
    if (!resources_) return nullptr;
    return FindResourceValue(resources_, name.c_str(), 0.0);
}

IDemoEffect* TDemo3dDevice::FindEffect(const std::string& name) {
    for (const TRefPtr<IDemoEffect>& effect : effects_)
        if (effect->GetName() == name) return effect.Get();
    return nullptr;
}

void TDemo3dDevice::AddEffect(IDemoEffect* effect) {
    effect->Attach(this);
    effects_.push_back(TRefPtr<IDemoEffect>(effect));
}

void TDemo3dDevice::AddPart(IDemoPart* part, float prepare, float start, float stop, float unprepare) {
    part->SetPrepareTime(prepare);
    part->SetStopTime(stop);
    part->SetStartTime(start);
    part->SetUnprepareTime(unprepare);
    parts_.push_back(TRefPtr<IDemoPart>(part));
}

int TDemo3dDevice::FormatStatistics(char* buffer, size_t size, float recentFps, double time) {
    return std::snprintf(buffer, size, "FPS:%.3f,  Time:%.3f", double(recentFps), time);
}

namespace {
inline bool IsLive(IDemoPart* part, float now) {
    return part->IsPermanent() || (part->GetStartTime() <= now && part->GetStopTime() > now);
}
} // namespace

bool TDemo3dDevice::RenderFrame() {
    bool first = true;
    // A looped part goes back to its start when the clock reaches its stop.
    // (Compared as the frame's time is, in 32 bits.)
    if (looping_ && float(timer_->GetTime()) >= loopStop_) Seek(double(loopStart_));
    const float now = float(timer_->GetTime());
    const float prev = now - timer_->GetDuration();
    lastNow_ = now;

    if (now > endTime_) Quit(); // the rest of this frame is still drawn

    TRefPtr<I3dContext> context;
    device_->GetCurrentContext(context);
    context->ResetViewport();

    // Prepare pass.
    for (const TRefPtr<IDemoPart>& part : parts_) {
        float t = part->GetPrepareTime();
        if (prev < t && t <= now) part->Prepare();
    }
    // Start pass.
    for (const TRefPtr<IDemoPart>& part : parts_) {
        if (!IsLive(part.Get(), now)) continue;
        if (!part->IsActive()) {
            StopLeftPartsOf(part.Get(), now);
            part->Start();
        }
        part->Update();
    }
    // Render pass, in timeline order; only the first part gets first = true.
    for (const TRefPtr<IDemoPart>& part : parts_) {
        if (!IsLive(part.Get(), now)) continue;
        if (IDemoEffect* effect = part->GetEffect()) effect->SetPartStart(double(part->GetStartTime()));
        part->Render(first);
        first = false;
    }
    // After pass.
    for (const TRefPtr<IDemoPart>& part : parts_) {
        if (IsLive(part.Get(), now))
            part->AfterRender();
        else if (part->IsActive())
            part->Stop();
    }
    // Unprepare pass.
    for (const TRefPtr<IDemoPart>& part : parts_) {
        float u = part->GetUnprepareTime();
        if (prev < u && u <= now) part->Unprepare();
    }
    if (first) context->Clear(7);

    // Console: lines added now are drawn in the next frame.
    char statistics[96];
    if (console_) {
        console_->Draw();
        console_->Clear();
        if (showStatistics_) {
            FormatStatistics(statistics, sizeof statistics, timer_->GetRecentFps(), timer_->GetTime());
            console_->Add(statistics);
        }
        if (!statusText_.empty()) console_->AddLines(statusText_);
        if (!noticeText_.empty()) console_->AddLines(noticeText_);
    } else {
        FormatStatistics(statistics, sizeof statistics, timer_->GetRecentFps(), timer_->GetTime());
        DebugChannel().Log(statistics);
    }

    if (capturePending_) {
        capturePending_ = false;
        WriteCapture(context.Get());
    }
    if (onOverlay_.Proc) onOverlay_.Proc(onOverlay_.Context, this);

    context->SwapBuffers();
    timer_->Advance();

    TDebug& debug = DebugChannel();
    debug.SendValue("FPS", TDebug::kFrameValue, timer_->GetFps());
    debug.SendValue("AverageFPS", TDebug::kFrameValue, timer_->GetRecentFps());
    debug.SetFrame(debug.GetFrame() + 1);

    if (onFrame_.Proc) onFrame_.Proc(onFrame_.Context, this);
    return false;
}

void TDemo3dDevice::StopLeftPartsOf(IDemoPart* starting, float now) {
    // Two parts of one effect: when the clock leaves one and enters the
    // other in the same frame (a seek from one to the other, or two parts
    // that follow each other), the effect must hear the old part's Stop
    // before the new part's Start; in pass order it would be stopped right
    // after it started (a scene would lose its shadow maps while it plays).
    IDemoEffect* effect = starting->GetEffect();
    if (!effect) return;
    for (const TRefPtr<IDemoPart>& part : parts_)
        if (part.Get() != starting && part->GetEffect() == effect && part->IsActive() &&
            !IsLive(part.Get(), now))
            part->Stop();
}

void TDemo3dDevice::EndTimeline() {
    for (const TRefPtr<IDemoPart>& part : parts_)
        if (part->IsActive()) part->Stop();
    for (const TRefPtr<IDemoPart>& part : parts_)
        if (part->GetPrepareTime() <= lastNow_ && lastNow_ < part->GetUnprepareTime()) part->Unprepare();
}

void TDemo3dDevice::SwapTimeline(TDemoTimeline& other) {
    effects_.swap(other.effects);
    parts_.swap(other.parts);
    std::swap(resources_, other.resources);
}

void TDemo3dDevice::StopActiveParts(const TDemoPartList& parts) {
    for (const TRefPtr<IDemoPart>& part : parts)
        if (part->IsActive()) part->Stop();
}

void TDemo3dDevice::WriteCapture(I3dContext* context) {
    TRefPtr<I3dImage> image;
    device_->CreateContextImage(context, 0, 3, image);
    if (!image) return;
    image->ReadFromContext(rkBack);
    // The colour buffer's alpha is whatever blending left there (about 0.9
    // after a fade); a picture of the screen is opaque.
    if (image->GetComponentType() == 0 && image->GetFormat() == 3) {
        auto* pixels = static_cast<uint8_t*>(image->GetData());
        size_t count = size_t(image->GetWidth()) * size_t(image->GetHeight()) * size_t(image->GetDepth());
        for (size_t i = 0; pixels && i < count; i++)
            pixels[i * 4 + 3] = 255;
    }
    lastCaptureFile_ = Format("%s_%.5d.tga", capturePrefix_.c_str(), captureCounter_);
    image->SaveToFile(lastCaptureFile_.c_str(), 0);
}
