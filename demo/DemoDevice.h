// TDemo3dDevice: the centre of the running demo. It owns the rendering
// device (whose timer is the demo clock), the effects, the timeline of parts,
// the console overlay, the music player and a few lines of status text, and
// draws one frame each time the application's message loop is idle
// (RenderFrame). TDemo3dScene is the one shared scene object handed to every
// effect.
#pragma once

#include "demo/DemoInterfaces.h"
#include "demo/MusicPlayer.h"
#include "script/FileXMLParser.h"

#include <optional>
#include <string>
#include <vector>

class TDemo3dScene : public TInterfacedObject, public IDemo3dScene {
protected:
    ~TDemo3dScene() override = default;
};

using TDemoEffectList = std::vector<TRefPtr<IDemoEffect>>;
using TDemoPartList = std::vector<TRefPtr<IDemoPart>>;

// What the device plays: the effects, the timeline of parts and the script's
// resource collection they read. A reload builds a new one while the old one
// is kept aside, and swaps back on failure.
struct TDemoTimeline {
    TDemoEffectList effects;
    TDemoPartList parts;
    IResources* resources = nullptr;
};

class TDemo3dDevice : public TInterfacedObject, public IDemo3dDevice {
public:
    TDemo3dDevice() = default;

    // Demo time at which playback ends: the script's own end (start-up sets
    // it with the timeline, see ScriptTimeline.h), kDefaultTimelineEnd
    // before. Must be positive and finite.
    float GetEndTime() const { return endTime_; }
    void SetEndTime(float seconds) { endTime_ = seconds; }

    void Init(T3dWindowHandle window, bool deviceSupplied, bool withMusic) override;
    void LoadConsoleFont(const std::string& fileName) override;
    void Start() override;
    void TogglePause() override;
    void SetSpeed(float factor) override;
    void SetShowFps(bool show) override { showStatistics_ = show; }
    void RequestCapture(const std::string& prefix) override;
    void Quit() override;
    void ClearText() override { statusText_.clear(); }
    void AddText(const std::string& line) override { statusText_.push_back(line); }
    I3dDevice* GetDevice() override { return device_.Get(); }
    IDemo3dScene* GetScene() override { return scene_.Get(); }
    IConsole* GetConsole() override { return console_.Get(); }
    IMusicPlayer* GetMusicPlayer() override { return musicPlayer_.Get(); }
    void SetResources(IResources* resources) override { resources_ = resources; }
    const TValueRecord* GetResourceValue(const std::string& name) override;
    void SetOnFrame(const TDemoFrameCallback& callback) override { onFrame_ = callback; }
    TDemoFrameCallback GetOnFrame() override { return onFrame_; }
    IDemoEffect* FindEffect(const std::string& name) override;
    void AddEffect(IDemoEffect* effect) override;
    void AddPart(IDemoPart* part, float prepare, float start, float stop, float unprepare) override;

    // Draws one frame (the idle handler). Returns false: never done, so the
    // message loop calls it again as long as no message waits.
    bool RenderFrame();

    // Ends one pass through the timeline so that it can be played again
    // from its start: every active part stops (Stop hook), and parts that
    // were due to be prepared but whose unprepare time the frames did not
    // reach are unprepared.
    void EndTimeline();

    // Seeking, for an author at work. Seek moves the clock to the time
    // (limited to 0..the end) and the music exactly there too, so that sound
    // and picture agree; the next frame's passes start and stop the parts
    // the jump brings in or leaves. A seek out of a looped part ends the loop.
    // While paused, a seek holds the music too (PauseWithMusic).
    void Seek(double time);
    // The start of the last part (by start time) that begins more than
    // kPageGrace before the time, and of the first that begins after it;
    // none when there is none. Permanent parts have no start to go to.
    static constexpr double kPageGrace = 0.5;
    std::optional<double> PreviousPartStart(double time) const;
    std::optional<double> NextPartStart(double time) const;
    // Loops the first part live at the time (in timeline order: the scene
    // under the fades): whenever the clock reaches its stop it goes back to
    // its start, music included. False when no part with an end is live.
    bool LoopPartAt(double time);
    void StopLooping() { looping_ = false; }
    bool Looping() const { return looping_; }
    float LoopStart() const { return loopStart_; }
    float LoopStop() const { return loopStop_; }
    // Ends a loop that the time lies outside of (for seeks made elsewhere,
    // like the track bar's).
    void NoteSeek(double time);
    // Pauses the clock and holds the music where it is; the next
    // TogglePause starts both together from the clock's time.
    void PauseWithMusic();
    bool MusicHeld() const { return musicHeld_; }

    // Exchanges the effects, parts and resource collection the device plays
    // with `other` (nothing is started or stopped).
    void SwapTimeline(TDemoTimeline& other);
    // Calls Stop on every active part (their effects release what a start
    // made): the parts of a timeline that is being replaced.
    static void StopActiveParts(const TDemoPartList& parts);

    // Lines the console shows under the status text in every frame until
    // they are replaced (an empty list removes them): a failed reload says
    // what went wrong there.
    void SetNoticeText(std::vector<std::string> lines) { noticeText_ = std::move(lines); }
    const std::vector<std::string>& NoticeText() const { return noticeText_; }

    // Beyond the interface, for start-up, tools and tests.
    // A rendering device made elsewhere (Init with deviceSupplied = true).
    void SetSuppliedDevice(I3dDevice* device) { device_ = device; }
    // Where the music player sends its sound (before Init).
    void SetAudioOutput(TAudioOutput output) { audioOutput_ = output; }
    // Called after the capture step and before presenting, for an overlay
    // that belongs to the window but not to the demo's frames.
    void SetOnOverlay(const TDemoFrameCallback& callback) { onOverlay_ = callback; }
    // Sets the number of capture requests so far (the next request numbers
    // its file with this value + 1).
    void SetCaptureCounter(int32_t count) { captureCounter_ = count; }
    int32_t GetCaptureCounter() const { return captureCounter_; }
    bool CapturePending() const { return capturePending_; }
    const std::string& CapturePrefix() const { return capturePrefix_; }
    // The file the last capture wrote ("" before the first).
    const std::string& LastCaptureFile() const { return lastCaptureFile_; }
    bool ShowFps() const { return showStatistics_; }
    const std::vector<std::string>& StatusText() const { return statusText_; }
    const TDemoEffectList& Effects() const { return effects_; }
    const TDemoPartList& Parts() const { return parts_; }
    ITimer* Timer() const { return timer_.Get(); }
    void SetConsole(IConsole* console) { console_ = console; }
    // The statistics line as the frame loop formats it.
    static int FormatStatistics(char* buffer, size_t size, float recentFps, double time);

protected:
    ~TDemo3dDevice() override;

private:
    static bool IdleHandler(void* self);
    // Stops the active parts of the starting part's effect that are no
    // longer live at now, before that part starts.
    void StopLeftPartsOf(IDemoPart* starting, float now);
    void WriteCapture(I3dContext* context);

    TDemoFrameCallback onFrame_;
    TRefPtr<I3dDevice> device_;
    TRefPtr<IDemo3dScene> scene_;
    bool fullScreen_ = false;
    TDemoEffectList effects_;
    TDemoPartList parts_;
    IResources* resources_ = nullptr; // a view of the script document
    T3dWindowHandle window_ = nullptr;
    TRefPtr<IConsole> console_;
    std::vector<std::string> statusText_;
    std::vector<std::string> noticeText_;
    bool showStatistics_ = false;
    TRefPtr<TBassPlayer> musicPlayer_;
    int32_t captureCounter_ = 0;
    bool capturePending_ = false;
    std::string capturePrefix_;

    TRefPtr<ITimer> timer_;
    float lastNow_ = 0.0f; // the time of the last frame drawn
    float endTime_ = kDefaultTimelineEnd;
    bool looping_ = false;
    float loopStart_ = 0.0f, loopStop_ = 0.0f;
    bool musicHeld_ = false; // paused with the clock (PauseWithMusic)
    TAudioOutput audioOutput_ = aoDevice;
    TDemoFrameCallback onOverlay_;
    std::string lastCaptureFile_;
};
