// TMainWindow: the program's one window and its start-up. Creating it runs
// the whole start-up in order: the screen-saver switches, the mode chooser,
// the cursor, window size or full-screen mode, the effect registry, the
// packed data, the main script, the demo device with the script's resources,
// effects and parts, and the start of playback. Afterwards the window only
// carries the drawing surface, forwards keys to the keyboard commands, draws
// the small overlay (the "restart" button; the position track bar is hidden)
// and restores the display mode when it closes.
//
// An error during start-up ends start-up where it happened: the message
// (naming where the data was read from) is shown and the window stays open
// without playback; the program then ends with status 1. Termination signals,
// a close request and, inside a host's window, the host taking its window
// away end every stage promptly, the chooser and loading included.
//
// Started by xscreensaver (--root, --window-id, XSCREENSAVER_WINDOW) the
// demo is a screen-saver "hack": it makes no sound, draws no restart button,
// follows the host window's size and leaves ending the run to the host.
#pragma once

#include "app/CommandLine.h"
#include "app/ForeignWindow.h"
#include "app/ResChange.h"
#include "app/ScreenSaver.h"
#include "app/ScreenSaverSdl.h"
#include "app/StartupProgress.h"
#include "demo/DemoDevice.h"
#include "demo/DemoEffect.h"
#include "demo/DemoKeys.h"
#include "demo/DemoParts.h"
#include "demo/LiveReload.h"
#include "demo/ResourceLoader.h"
#include "script/FileXMLParser.h"

#include <SDL.h>

#include <functional>
#include <memory>
#include <string>

// The position track bar: in hundredths of a second from 0 to the demo's end
// (10000 until start-up knows the end), a tick every 100, hidden until the
// viewer shows it (T). Program changes (the follower) do not act; only a
// change while the viewer holds it (mouse capture) moves the clock.
struct TTrackBar {
    static constexpr int kMin = 0, kMax = 10000, kFrequency = 100;
    int position = 0;
    int maximum = kMax;
    bool visible = false;
    bool captured = false;
    // Stores a position limited to the range; true when it changed.
    bool SetPosition(int value);
    // The range for a demo that ends at `seconds`.
    void SetEnd(double seconds);
};

class TMainWindow {
public:
    static constexpr const char* kCaption = "Zumbrix from Tombrel";
    static constexpr int kClientWidth = 640, kClientHeight = 480;
    // The restart button: 41 x 17 at left 592, top 8, anchored to the top
    // and right edges.
    static constexpr int kRestartLeft = 592, kRestartTop = 8, kRestartWidth = 41, kRestartHeight = 17;

    explicit TMainWindow(const TCommandLine& commandLine);
    ~TMainWindow();
    TMainWindow(const TMainWindow&) = delete;
    TMainWindow& operator=(const TMainWindow&) = delete;

    // Creates the window and runs start-up. Returns true when playback
    // started; false after an error (shown, and kept in StartupError), a
    // cancelled chooser or a request to end (the application is then asked
    // to terminate).
    bool Create();

    // The message loop: handles every waiting event, then lets the idle
    // handler draw one frame. Returns when the application terminates (at
    // once when there is no window).
    void Run();
    // Offline runs (the device must have started).
    int RunBenchmark();
    int RunRenderFrames();
    int RunRenderVideo();
    // The offline frame loop that --render-frames and --render-video share:
    // frame k at demo time start + k/fps, until the timeline ends (or
    // --duration is drawn, or the run is asked to end); returns the number
    // of frames drawn. The calls come before and after each frame.
    int64_t DrawOfflineFrames(double fps, const std::function<void(int64_t)>& beforeFrame,
                              const std::function<void(int64_t)>& afterFrame = {});
    // How many frames DrawOfflineFrames will draw at fps, for progress reports.
    int64_t OfflineFrameEstimate(double fps) const;
    // Seconds of demo time an offline run draws (see OfflineRuns.cpp).
    double Span() const;

    // The program's exit status after Run: 1 when there is no display or
    // window, when start-up failed or an error was shown, otherwise 0.
    int ExitCode() const;

    // Switches to full screen on the given mode; when the display refuses
    // it, plays in a window of that size instead and says so on standard
    // error. Returns whether full screen was reached.
    bool EnterFullScreen(int32_t width, int32_t height, int32_t bits, int32_t rate);

    // Told before each script resource is loaded (number, count, resource),
    // for showing the loading; returning false stops start-up there.
    TResourceProgress OnLoadProgress;

    // One window-system event; key-downs go to the keyboard commands.
    void HandleEvent(const SDL_Event& event);
    // The keyboard commands by virtual-key code (shift: a Shift key is down).
    void KeyDown(int virtualKey, bool shift = false);
    // Whether the author's keys (seeking, looping, the track bar) act: in
    // windowed and full-screen runs, not offline nor as a screen saver.
    bool SeekingEnabled() const { return seekingEnabled_; }
    // The window is asked to close.
    void CloseRequest();
    // The restart button's action.
    void Restart();
    // The track bar changed; acts only while the viewer holds it.
    void TrackBarChanged();

    SDL_Window* Window() const { return window_; }
    TDemo3dDevice* Device() const { return device_.Get(); }
    TFileXMLParser* Script() const { return script_.get(); }
    TTrackBar& TrackBar() { return trackBar_; }
    const TDemoKeys& Keys() const { return keys_; }
    const std::string& StartupError() const { return startupError_; }
    bool MusicEnabled() const { return musicEnabled_; }
    bool Started() const { return started_; }
    // Started by xscreensaver (see above).
    bool HostRun() const { return hostRun_; }
    // Whether the restart button is drawn.
    bool HasOverlay() const { return imgui_ != nullptr; }
    TForeignChildWindow* ForeignWindow() const { return foreignWindow_.get(); }
    // What the data is read from, as the start-up messages name it ("" before
    // start-up chose it).
    const std::string& DataSource() const { return dataSource_; }
    // The window's caption (also the prefix of frame captures).
    const std::string& Caption() const { return caption_; }

    // Translates an SDL key to the platform's virtual-key code (0: none).
    static int VirtualKey(SDL_Keycode key);

    // Seconds from the end of the mode chooser to the end of start-up (the
    // first frame follows), 0 before start-up ended.
    double StartupSeconds() const { return startupSeconds_; }

    // Live reload, in windowed and full-screen runs from a --data folder
    // (null otherwise): the folder's files are watched, and the demo is
    // rebuilt where they changed once the writes settled.
    TDemoReloader* Reloader() const { return reloader_.get(); }
    TFileWatcher* Watcher() const { return watcher_.get(); }
    // Looks at the watched folders (no waiting, no allocation) and reloads
    // when a change has settled. Returns the reload's report (nothing
    // changed when none ran). The message loop calls it before each frame.
    TReloadReport PollReload();
    // Rebuilds now (the R key: everything, the music only when its file changed).
    TReloadReport Reload(bool everything);

private:
    void Startup();
    void OpenData();
    // Whether start-up or a loop must end now: a termination signal, the
    // host's window gone or (lookAtEvents) a close request waiting among the
    // events. Makes the close request when so.
    bool EndRequested(bool lookAtEvents = true);
    // Whether we draw inside a host's window that the host has destroyed;
    // makes the close request when so.
    bool HostTookItsWindow();
    bool CloseWaiting();
    bool CheckDisplay();
    void Fail(const std::string& message);
    // In --data mode: the script checker's findings on standard error.
    void CheckDataScript();
    // Creates and loads the script's effects; `before` steps of `steps` are done.
    void AddEffects(int before = 0, int steps = 0);
    // Start-up is over: the reloader takes what it built, the folders are watched.
    void StartWatching();
    void CreateSdlWindow(const TScreenSaverRequest& request);
    void InitOverlay();
    void DrawOverlay();
    static void Follower(void* self, IDemo3dDevice* device);
    static void Overlay(void* self, IDemo3dDevice* device);

    TCommandLine commandLine_;
    SDL_Window* window_ = nullptr;
    std::unique_ptr<TForeignChildWindow> foreignWindow_; // our GL child inside a foreign window
    std::unique_ptr<TSdlScreenSaverHost> saverHost_;
    std::unique_ptr<TScreenSaver> saver_;
    TEffectRegistry registry_;
    std::unique_ptr<TFileXMLParser> script_;
    std::unique_ptr<TDemoReloader> reloader_;
    std::unique_ptr<TFileWatcher> watcher_;
    bool musicEnabled_ = true;
    TRefPtr<TDemo3dDevice> device_;
    std::unique_ptr<TResChange> resChange_;
    std::string caption_; // the window's caption: kCaption unless a bundle names its own
    TDemoKeys keys_;
    std::unique_ptr<TStartupProgress> progress_;
    double startupSeconds_ = 0.0;
    TTrackBar trackBar_;
    std::string startupError_;
    std::string dataSource_;
    bool started_ = false;
    bool seekingEnabled_ = false;
    bool optionRefused_ = false; // a command-line value the demo cannot honour
    bool hostRun_ = false;
    bool fatal_ = false;          // no display or window: nothing to run
    bool closeRequested_ = false; // a close request or a signal, not the timeline's end
    int errorsBefore_ = 0;        // errors shown before this window was created
    struct ImGuiContext* imgui_ = nullptr;
    bool sdlStarted_ = false;
};
