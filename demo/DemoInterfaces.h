// The interfaces of the running demo: the demo device that owns the timeline
// and draws the frames, the parts of the timeline, the effects they drive and
// the console overlay. Operations are declared in slot order after the three
// operations of IInterface.
#pragma once

#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"
#include "demo/core/HiResTimer.h"
#include "platform/RefCounted.h"
#include "script/ScriptDocument.h"

#include <cstdint>
#include <string>
#include <vector>

class IDemo3dDevice;
class IDemoEffect;
class IMusicPlayer;

// The demo scene: no operations of its own, one shared object that every
// effect of the demo receives.
class IDemo3dScene : public virtual IInterface {
protected:
    ~IDemo3dScene() override = default;
};

// The text overlay drawn over every finished frame.
class IConsole : public virtual IInterface {
public:
    virtual void Clear() = 0;                                         // removes all lines
    virtual void Add(const char* line) = 0;                           // appends one line
    virtual void AddLines(const std::vector<std::string>& lines) = 0; // appends every line, in order
    virtual void Draw() = 0;                                          // draws all lines

protected:
    ~IConsole() override = default;
};

// The on-frame notification: a procedure and its context pointer, called at
// the end of every frame with the device.
struct TDemoFrameCallback {
    void (*Proc)(void* context, IDemo3dDevice* device) = nullptr;
    void* Context = nullptr;
};

// What every effect offers the device and its parts.
class IBaseDemoEffect : public virtual IInterface {
public:
    virtual void Attach(IDemo3dDevice* device) = 0;
    virtual void SetProperties(IResources* properties) = 0;
    virtual void SetControls(IResources* controls) = 0;
    // The named value at the current local time: controls first, then
    // properties. Null (and a diagnostic) when neither has the name.
    virtual const TValueRecord* FindValue(const char* name) = 0;
    virtual void SetPartStart(double start) = 0;

protected:
    ~IBaseDemoEffect() override = default;
};

// An effect: something that can draw, driven by the parts that use it.
class IDemoEffect : public virtual IBaseDemoEffect {
public:
    virtual void Load() = 0;
    virtual void Prepare() = 0;
    virtual void Start() = 0;
    virtual void Update() = 0;
    virtual void Render(bool first) = 0;
    virtual void AfterRender() = 0;
    virtual void Stop() = 0;
    virtual void Unprepare() = 0;
    virtual void SetName(const std::string& name) = 0;
    virtual const std::string& GetName() = 0;

protected:
    ~IDemoEffect() override = default;
};

// One entry of the timeline: an effect between a start and a stop time.
class IDemoPart : public virtual IInterface {
public:
    virtual IDemoEffect* GetEffect() = 0;
    virtual void SetEffect(IDemoEffect* effect) = 0;
    virtual bool IsActive() = 0;
    virtual void SetPrepareTime(float time) = 0;
    virtual void SetStartTime(float time) = 0;
    virtual void SetStopTime(float time) = 0;
    virtual void SetUnprepareTime(float time) = 0;
    virtual float GetPrepareTime() = 0;
    virtual float GetStartTime() = 0;
    virtual float GetStopTime() = 0;
    virtual float GetUnprepareTime() = 0;
    virtual bool IsPermanent() = 0;
    virtual void Reload() = 0;
    virtual void Prepare() = 0;
    virtual void Start() = 0;
    virtual void Update() = 0;
    virtual void Render(bool first) = 0;
    virtual void AfterRender() = 0;
    virtual void Stop() = 0;
    virtual void Unprepare() = 0;

protected:
    ~IDemoPart() override = default;
};

// The centre of the running demo.
class IDemo3dDevice : public virtual IInterface {
public:
    virtual void Init(T3dWindowHandle window, bool deviceSupplied, bool withMusic) = 0;
    virtual void LoadConsoleFont(const std::string& fileName) = 0;
    virtual void Start() = 0;
    virtual void TogglePause() = 0;
    virtual void SetSpeed(float factor) = 0;
    virtual void SetShowFps(bool show) = 0;
    virtual void RequestCapture(const std::string& prefix) = 0;
    virtual void Quit() = 0;
    virtual void ClearText() = 0;
    virtual void AddText(const std::string& line) = 0;
    virtual I3dDevice* GetDevice() = 0;
    virtual IDemo3dScene* GetScene() = 0;
    virtual IConsole* GetConsole() = 0;
    virtual IMusicPlayer* GetMusicPlayer() = 0;
    virtual void SetResources(IResources* resources) = 0;
    virtual const TValueRecord* GetResourceValue(const std::string& name) = 0;
    virtual void SetOnFrame(const TDemoFrameCallback& callback) = 0;
    virtual TDemoFrameCallback GetOnFrame() = 0;
    virtual IDemoEffect* FindEffect(const std::string& name) = 0;
    virtual void AddEffect(IDemoEffect* effect) = 0;
    virtual void AddPart(IDemoPart* part, float prepare, float start, float stop, float unprepare) = 0;

protected:
    ~IDemo3dDevice() override = default;
};
