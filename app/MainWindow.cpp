#include "app/MainWindow.h"

#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"

#include "Mirel3d/Mirel3dBase/Mirel3dExceptions.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"
#include "app/DisplayModes.h"
#include "app/ModeChooser.h"
#include "data/FlexibleStream.h"
#include "demo/Application.h"
#include "demo/ScriptCheck.h"
#include "demo/ScriptTimeline.h"
#include "demo/SeekKeys.h"
#include "platform/Bundle.h"
#include "platform/DebugSink.h"
#include "platform/Format.h"
#include "platform/QuietStandardError.h"
#include "platform/Signals.h"

#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

bool TTrackBar::SetPosition(int value) {
    value = std::clamp(value, kMin, maximum);
    if (value == position) return false;
    position = value;
    return true;
}

void TTrackBar::SetEnd(double seconds) {
    maximum = std::max(int(std::lround(seconds * 100.0)), kMin + 1);
    SetPosition(position);
}

// A bundle may ask for a caption of its own (mirel bundle --title).
TMainWindow::TMainWindow(const TCommandLine& commandLine)
    : commandLine_(commandLine),
      caption_(ProgramBundle().title.empty() ? std::string(kCaption) : ProgramBundle().title),
      keys_(caption_) {}

TMainWindow::~TMainWindow() {
    if (imgui_) {
        ImGui::SetCurrentContext(imgui_);
        ImGui_ImplOpenGL2_Shutdown();
        ImGui_ImplSDL2_Shutdown();
        ImGui::DestroyContext(imgui_);
        imgui_ = nullptr;
    }
    // The demo device goes first (effects, parts, console, player and the
    // rendering device; the reloader holds effects too), then the script
    // document it looked into.
    watcher_.reset();
    reloader_.reset();
    device_.Reset();
    script_.reset();
    resChange_.reset();
    saver_.reset();
    saverHost_.reset();
    if (foreignWindow_)
        foreignWindow_.reset(); // destroys the SDL window with the child
    else if (window_)
        SDL_DestroyWindow(window_);
    SDL_ShowCursor(SDL_ENABLE);
}

int TMainWindow::VirtualKey(SDL_Keycode key) {
    if (key == SDLK_ESCAPE) return vkEscape;
    if (key == SDLK_PAUSE) return vkPause;
    if (key == SDLK_LEFT) return vkLeft;
    if (key == SDLK_RIGHT) return vkRight;
    if (key == SDLK_HOME) return vkHome;
    if (key == SDLK_PAGEUP) return vkPrior;
    if (key == SDLK_PAGEDOWN) return vkNext;
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    return 0;
}

void TMainWindow::CreateSdlWindow(const TScreenSaverRequest& request) {
    SetWindowGLAttributes();

    uint64_t foreign = (request.mode == smPreview || request.mode == smRun) ? request.window : 0;
    if (foreign) {
        // A GL-capable child window of our own inside the foreign window.
        foreignWindow_ = std::make_unique<TForeignChildWindow>();
        if (foreignWindow_->Create(foreign))
            window_ = foreignWindow_->Window();
        else if (foreignWindow_->HostGone() || request.xscreensaver)
            // A screen-saver hack draws into its host's window or not at all
            // (a window gone meanwhile ends start-up quietly, see Create).
            throw EPlatformError(Format("zumbrix: cannot draw into the window 0x%llx: it does not exist or "
                                        "offers no OpenGL visual",
                                        static_cast<unsigned long long>(foreign)));
        else
            foreignWindow_.reset();
    }
    if (!window_) {
        window_ = SDL_CreateWindow(caption_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   kClientWidth, kClientHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        foreign = 0;
    }
    if (!window_)
        throw EPlatformError(
            Format("zumbrix: cannot create an OpenGL window on this display: %s", SDL_GetError()));
    SDL_SetWindowTitle(window_, caption_.c_str());
    DebugOutput(Format("window caption: \"%s\"", SDL_GetWindowTitle(window_)));
    saverHost_ = std::make_unique<TSdlScreenSaverHost>(window_);
    saverHost_->SetEmbedded(foreign != 0);
}

void TMainWindow::Fail(const std::string& message) {
    // Nothing to show a window on: the message goes to standard error only.
    fatal_ = true;
    startupError_ = message;
    if (sdlStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER);
    sdlStarted_ = false;
    Application().ShowError(message);
    Application().Terminate();
}

bool TMainWindow::CheckDisplay() {
    // Without a reachable display SDL falls back to drivers that draw
    // nowhere: the chooser would wait for a viewer who cannot see it. A
    // driver chosen explicitly with SDL_VIDEODRIVER is taken as asked.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    bool nowhere = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (driver && !(nowhere && !(asked && *asked))) return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::string where;
    if ((x11 && *x11) || (wayland && *wayland))
        where = Format("DISPLAY=\"%s\", WAYLAND_DISPLAY=\"%s\"", x11 ? x11 : "", wayland ? wayland : "");
    else
        where = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    Fail(Format("zumbrix: no X11 or Wayland display can be reached (%s)", where.c_str()));
    return false;
}

bool TMainWindow::Create() {
    TApplication& app = Application();
    app.SetTitle(caption_);
    errorsBefore_ = app.ErrorCount();
    if (commandLine_.debug) SetDebugOutputEnabled(true);
    // The demo must not keep the screen saver it may run under from starting.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    int initialised;
    {
        // Each video driver SDL tries may complain when it finds no display;
        // CheckDisplay says it in one line.
        TQuietStandardError quiet;
        initialised = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER);
    }
    if (initialised != 0) {
        Fail(Format("zumbrix: cannot open the display: %s", SDL_GetError()));
        return false;
    }
    sdlStarted_ = true;
    if (!CheckDisplay()) return false;

    // A full-screen size given on the command line must be one the display has.
    if (!commandLine_.windowMode && commandLine_.sizeGiven) {
        std::string why;
        if (!OffersSize(EnumerateDisplayModes(), commandLine_.width, commandLine_.height, why)) {
            Fail(Format("zumbrix: --fullscreen %dx%d: %s", commandLine_.width, commandLine_.height,
                        why.c_str()));
            return false;
        }
    }

    try {
        // 1. The screen-saver switches adapt the window.
        TScreenSaverRequest request =
            ParseScreenSaverArgs(commandLine_.screenSaverArgs, std::getenv("XSCREENSAVER_WINDOW"));
        hostRun_ = request.xscreensaver;
        // A screen-saver hack opens no dialogs: the screen is the host's,
        // and its messages go to standard error, which xscreensaver logs.
        if (hostRun_) app.SetMessageBoxes(false);
        CreateSdlWindow(request);
        saver_ = std::make_unique<TScreenSaver>(*saverHost_);
        saver_->Options =
            ssoAutoAdjustFormProperties | ssoAutoHookMouseEvents | ssoEnhancedMouseMoveDetection;
        // Inside xscreensaver's window the host watches the viewer and ends
        // the run itself; a hack that closed on a mouse move would leave a
        // black screen behind.
        if (hostRun_ && foreignWindow_) saver_->Options = ssoAutoAdjustFormProperties;
        saver_->OnPropertiesRequested = [] { Application().ShowMessage("no settings", "no settings"); };
        saver_->Loaded(request);
        if (saverHost_->TerminateRequested()) app.Terminate();

        Startup();
    } catch (const std::exception& e) {
        // Nothing plays that could be reloaded.
        watcher_.reset();
        reloader_.reset();
        if ((foreignWindow_ && !foreignWindow_->HostExists()) || (hostRun_ && TerminationSignal() != 0)) {
            // The host took its window away while we started: the normal end
            // of a screen-saver run, not a failure.
            CloseRequest();
            return false;
        }
        // Start-up ends here; the window stays open without playback.
        // Messages of the data's own (a missing file, a script error) also
        // say where the data was read from; the program's own say enough.
        startupError_ = e.what();
        if (!dataSource_.empty() && startupError_.rfind("zumbrix: ", 0) != 0)
            startupError_ += " (" + dataSource_ + ")";
        app.ShowError(startupError_);
        if (!window_ || optionRefused_) {
            // Nothing to play: a refused option ends the program at once.
            fatal_ = true;
            app.Terminate();
        } else if (!(saver_ && saver_->InPreview())) {
            SDL_ShowWindow(window_);
        }
        return false;
    }
    return started_;
}

bool TMainWindow::CloseWaiting() {
    SDL_PumpEvents();
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0) return true;
    SDL_Event events[32];
    int n = SDL_PeepEvents(events, 32, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
    const uint32_t ours = window_ ? SDL_GetWindowID(window_) : 0;
    for (int i = 0; i < n; i++)
        if (events[i].window.event == SDL_WINDOWEVENT_CLOSE && events[i].window.windowID == ours) return true;
    return false;
}

bool TMainWindow::HostTookItsWindow() {
    if (!foreignWindow_ || foreignWindow_->HostExists()) return false;
    CloseRequest();
    return true;
}

bool TMainWindow::EndRequested(bool lookAtEvents) {
    if (closeRequested_) return true;
    bool hostGone = foreignWindow_ && !foreignWindow_->Poll();
    if (TerminationSignal() == 0 && !hostGone && !(lookAtEvents && CloseWaiting())) return false;
    CloseRequest();
    return true;
}

void TMainWindow::OpenData() {
    // Start-up messages name where the data was looked for.
    if (!commandLine_.dataDir.empty()) {
        std::filesystem::path folder = std::filesystem::absolute(commandLine_.dataDir).lexically_normal();
        dataSource_ = Format("data from the folder \"%s\"", folder.string().c_str());
        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetDataRoot(commandLine_.dataDir);
    } else if (!commandLine_.archiveFile.empty()) {
        dataSource_ = Format("data from the archive \"%s\"", commandLine_.archiveFile.c_str());
        TFlexibleStream::SetMode(lmPackage);
        TFlexibleStream::OpenArchiveFile(commandLine_.archiveFile);
    } else {
        const TBundle& bundle = ProgramBundle();
        dataSource_ = bundle.present
                          ? Format("data from the archive bundled into \"%s\"", bundle.path.c_str())
                          : std::string("data from the archive built into zumbrix");
        if (!bundle.error.empty()) throw EPlatformError(bundle.error);
        TFlexibleStream::SetMode(lmPackedResource);
        TFlexibleStream::OpenArchive("FILES");
    }
}

void TMainWindow::Startup() {
    TApplication& app = Application();
    const bool embedded = foreignWindow_ != nullptr;

    // 1-2. The mode chooser (skipped when the command line decides, for
    // xscreensaver, and inside a foreign window, where nobody could answer it).
    bool windowMode = commandLine_.windowMode;
    int32_t width = commandLine_.width, height = commandLine_.height;
    int32_t bits = commandLine_.bitsPerPixel, rate = commandLine_.refreshRate;
    // Screen-saver hacks make no sound.
    musicEnabled_ = !commandLine_.silent && !hostRun_;
    if (commandLine_.chooser && !embedded && !hostRun_) {
        std::unique_ptr<TfrmChoose> chooser = std::make_unique<TfrmChoose>();
        TModalResult result = chooser->ShowModal(app.Terminated());
        if (result == mrAbort) {
            // Ended by a signal: the program ends without a word.
            CloseRequest();
            return;
        }
        if (result != mrOK) {
            app.ShowMessage("We are tombrel, we dont have metal support", "wrong choice");
            app.Terminate();
            return;
        }
        TDisplaySetting mode = chooser->SelectedMode();
        windowMode = chooser->WindowMode();
        musicEnabled_ = chooser->MusicEnabled();
        width = mode.width;
        height = mode.height;
        bits = mode.bitsPerPixel;
        rate = mode.refreshRate;
        // 5. The chooser is destroyed here.
    }
    if (EndRequested()) return;

    // 3. The cursor is hidden.
    SDL_ShowCursor(SDL_DISABLE);

    // 4. Window size or full screen.
    if (!embedded) {
        if (windowMode) {
            SDL_SetWindowSize(window_, width, height);
            SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        } else {
            EnterFullScreen(width, height, bits, rate);
        }
    }

    // 6. The effect registry.
    FillEffectRegistry(registry_);

    // From here start-up may take a while: after half a second the window
    // shows what is being loaded (not when drawing offline or inside a host).
    const bool offlineRun = commandLine_.Offline();
    progress_ = std::make_unique<TStartupProgress>(window_, caption_.c_str(),
                                                   !offlineRun && !embedded && !saver_->InPreview());

    // 7. The data source, then the main script. Played from loose files in a
    // window or full screen, the demo is watched and reloaded as the author
    // changes it: the reloader notes which files each step reads.
    script_ = std::make_unique<TFileXMLParser>();
    OpenData();
    // An author running from loose files sees what the lenient loader would
    // pass over in silence; the built-in archive's script is checked by the
    // build and stays silent.
    if (!commandLine_.dataDir.empty()) CheckDataScript();
    if (!commandLine_.dataDir.empty() && !offlineRun && !embedded && !hostRun_)
        reloader_ = std::make_unique<TDemoReloader>(registry_, script_);
    if (reloader_) reloader_->BeginScript();
    script_->LoadScript("zumbrix.xml");
    if (reloader_) reloader_->EndStep();
    if (EndRequested()) return;
    const double end = double(script_->EndTime());
    DebugOutput(Format("start-up: script read at %.1f ms; the timeline ends at %g s",
                       progress_->Elapsed() * 1e3, end));
    if (commandLine_.start > end) {
        optionRefused_ = true;
        throw EPlatformError(
            Format("zumbrix: --start %g: the timeline ends at %g s", commandLine_.start, end));
    }

    // 8. The data location the script declares.
    TResources* resources = script_->GetResources();
    if (resources) TFlexibleStream::SetPath(resources->Path);

    // 9-10. The demo device on the window, with the track-bar follower.
    device_ = new TDemo3dDevice();
    const bool offline = commandLine_.Offline();
    device_->SetAudioOutput(offline ? aoSilent : aoDevice);
    try {
        device_->Init(window_, false, musicEnabled_);
    } catch (const std::exception& e) {
        throw EPlatformError(Format("zumbrix: cannot get an OpenGL context on this display (%s): %s",
                                    SDL_GetError(), e.what()));
    }
    // Into the host's window now that the GL context exists; a host that
    // took its window away meanwhile ends the run.
    if (foreignWindow_ && !foreignWindow_->Embed()) {
        CloseRequest();
        return;
    }
    if (auto* player = dynamic_cast<TBassPlayer*>(device_->GetMusicPlayer()); player && !offline) {
        if (!player->HasAudioDevice())
            app.ShowNotice(Format("zumbrix: no audio device (%s); the demo plays without sound",
                                  player->AudioDeviceError().c_str()));
    }
    device_->SetOnFrame({&TMainWindow::Follower, this});
    if (reloader_) reloader_->SetDevice(device_.Get());
    InitOverlay();
    DebugOutput(Format("start-up: rendering device and music player at %.1f ms", progress_->Elapsed() * 1e3));
    progress_->SetDevice(device_->GetDevice());
    const int steps = int(resources ? resources->Items.size() : 0) + int(script_->Effects().size());

    // 11-12. Resources by kind, then the collection for the effects. Between
    // two resources a request to end stops the loading.
    if (resources) {
        bool loaded =
            LoadScriptResources(device_.Get(), *resources, [&](int n, int count, const TResource& r) {
                progress_->Step(n, steps, r.Value);
                if (reloader_) reloader_->BeginResource(size_t(n - 1));
                DebugOutput(
                    Format("start-up: resource %s at %.1f ms", r.Value.c_str(), progress_->Elapsed() * 1e3));
                if (OnLoadProgress && !OnLoadProgress(n, count, r)) {
                    CloseRequest();
                    return false;
                }
                return !EndRequested();
            });
        if (!loaded) return;
    }
    device_->SetResources(resources);
    DebugOutput(Format("start-up: resources loaded at %.1f ms", progress_->Elapsed() * 1e3));

    // 13-14. Effects, then the timeline.
    if (reloader_) reloader_->EndStep();
    AddEffects(steps - int(script_->Effects().size()), steps);
    AddScriptParts(*device_, *script_);
    trackBar_.SetEnd(double(device_->GetEndTime()));
    if (reloader_) {
        StartWatching();
        keys_.SetReloadKey(true);
    }
    if (EndRequested()) return;
    DebugOutput(Format("start-up: effects loaded at %.1f ms", progress_->Elapsed() * 1e3));

    // 15-17. Main context current, window shown, playback started.
    TRefPtr<I3dContext> main;
    device_->GetDevice()->GetMainContext(main);
    device_->GetDevice()->MakeContextCurrent(main.Get());
    // A window inside a foreign one is already shown (Embed); asking SDL to
    // show it would wait for a map that never comes once the host is gone.
    progress_->Finish();
    if (!saver_->InPreview() && !embedded) SDL_ShowWindow(window_);
    device_->Start();
    startupSeconds_ = progress_->Elapsed();
    // Held first, the music then lands exactly on the start.
    if (commandLine_.paused) device_->PauseWithMusic();
    if (commandLine_.start > 0.0) device_->Seek(commandLine_.start);
    // The author's keys, where a viewer sits at a keyboard.
    seekingEnabled_ = !offline && !hostRun_ && !embedded && !saver_->InPreview() && !saver_->Running();
    if (seekingEnabled_)
        for (const char* line : kSeekHelpLines)
            keys_.AddHelpLine(line);
    started_ = true;
}

bool TMainWindow::EnterFullScreen(int32_t width, int32_t height, int32_t bits, int32_t rate) {
    resChange_ = std::make_unique<TResChange>(window_);
    resChange_->SetWidth(width);
    resChange_->SetHeight(height);
    resChange_->SetBitsPerPixel(bits);
    resChange_->SetRefreshRate(rate);
    if (resChange_->Apply()) {
        SDL_SetWindowBordered(window_, SDL_FALSE);
        return true;
    }
    // The display refused the mode: a window of the chosen size instead.
    resChange_.reset();
    Application().ShowNotice(
        Format("zumbrix: the display refused the mode %dx%d; the demo plays in a window", width, height));
    SDL_SetWindowSize(window_, width, height);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    return false;
}

int TMainWindow::ExitCode() const {
    if (fatal_ || !startupError_.empty()) return 1;
    return Application().ErrorCount() > errorsBefore_ ? 1 : 0;
}

void TMainWindow::CheckDataScript() {
    // The files are only opened here: loading them is start-up's next step,
    // which reports what fails with the loader's own message.
    // The script is found from the data root, as start-up and a reload read
    // it; the location the script declares is put back after.
    TScriptCheckOptions options;
    options.LoadFiles = false;
    const std::string path = TFlexibleStream::Settings().path;
    TFlexibleStream::SetPath("");
    try {
        ReportScriptFindings(CheckScript("zumbrix.xml", registry_, options));
    } catch (const std::exception&) {
        // A main script that cannot be read at all: LoadScript says so.
    }
    TFlexibleStream::SetPath(path);
}

void TMainWindow::AddEffects(int before, int steps) {
    for (const std::unique_ptr<TEffect>& entry : script_->Effects()) {
        if (progress_) {
            progress_->Step(++before, steps, entry->Name);
            DebugOutput(
                Format("start-up: effect %s at %.1f ms", entry->Name.c_str(), progress_->Elapsed() * 1e3));
        }
        if (reloader_) reloader_->BeginEffect(*entry);
        std::vector<TRefPtr<IDemoEffect>> made = AddScriptEffect(registry_, *device_, *entry);
        if (reloader_) reloader_->EndEffect(std::move(made));
    }
}

// ---- live reload ----

void TMainWindow::StartWatching() {
    reloader_->EndStartup();
    // The folder, its data subfolder and the script's data location, beside
    // the folders of every file the demo was made from.
    const std::string& root = commandLine_.dataDir;
    reloader_->AlsoWatch(root);
    reloader_->AlsoWatch(root + "/data");
    if (TResources* resources = script_->GetResources(); resources && !resources->Path.empty())
        reloader_->AlsoWatch(ResolveDataPath(root, resources->Path));
    watcher_ = std::make_unique<TFileWatcher>();
    if (!watcher_->Ok())
        Application().ShowNotice("zumbrix: the data folder cannot be watched; R reloads the demo by hand");
    reloader_->WatchWith(watcher_.get());
}

TReloadReport TMainWindow::PollReload() {
    if (!watcher_ || !reloader_ || !started_ || !watcher_->Poll()) return {};
    return Reload(false);
}

TReloadReport TMainWindow::Reload(bool everything) {
    if (!reloader_ || !started_) return {};
    int width = 0, height = 0;
    if (window_) SDL_GetWindowSize(window_, &width, &height);
    reloader_->SetConsoleWidth(width);
    // The author sees what the lenient loader would pass over in silence at
    // every reload, as at start-up.
    if (everything || reloader_->Changed()) CheckDataScript();
    TReloadReport report = reloader_->Reload(everything);
    if (report.outcome == roReloaded) trackBar_.SetEnd(double(device_->GetEndTime()));
    if (report.outcome == roReloaded)
        DebugOutput(Format("reload: %d effects made again, %d kept; %d resources loaded, %d kept%s; %.1f ms",
                           report.effectsLoaded, report.effectsKept, report.resourcesLoaded,
                           report.resourcesKept, report.musicReloaded ? "; music reloaded" : "",
                           report.seconds * 1e3));
    return report;
}

// ---- the overlay: the restart button (and the hidden track bar) ----

void TMainWindow::InitOverlay() {
    // Nobody to press it offline, and a screen saver shows the demo alone.
    if (commandLine_.Offline() || hostRun_) return;
    TRefPtr<I3dContext> main;
    device_->GetDevice()->GetMainContext(main);
    auto gl = QueryAs<I3dOpenglContext>(main);
    if (!gl) return;
    ImGuiContext* previous = ImGui::GetCurrentContext();
    imgui_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(imgui_);
    ImGui::GetIO().IniFilename = nullptr;
    ImGui::GetIO().LogFilename = nullptr;
    ImGui_ImplSDL2_InitForOpenGL(window_, gl->GetGLContext());
    ImGui_ImplOpenGL2_Init();
    if (previous) ImGui::SetCurrentContext(previous);
    device_->SetOnOverlay({&TMainWindow::Overlay, this});
}

void TMainWindow::Overlay(void* self, IDemo3dDevice*) {
    static_cast<TMainWindow*>(self)->DrawOverlay();
}

void TMainWindow::DrawOverlay() {
    if (!imgui_) return;
    ImGui::SetCurrentContext(imgui_);
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    int width = 0, height = 0;
    SDL_GetWindowSize(window_, &width, &height);
    // Anchored to the top and right edges: the same distance from the right
    // edge as in the 640-pixel-wide form.
    float left = float(width - (kClientWidth - kRestartLeft));
    ImGui::SetNextWindowPos(ImVec2(left, float(kRestartTop)));
    ImGui::SetNextWindowSize(ImVec2(float(kRestartWidth), float(kRestartHeight)));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(2, 1));
    ImGui::Begin("##restart", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings);
    // The caption fits the button's fixed 41 pixels at a slightly smaller
    // size than Dear ImGui's default font.
    ImGui::SetWindowFontScale(0.8f);
    if (ImGui::Button("restart", ImVec2(float(kRestartWidth), float(kRestartHeight)))) Restart();
    ImGui::End();
    if (trackBar_.visible) {
        // Along the top edge, leaving the restart button free to press.
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(ImVec2(std::max(left - 4.0f, 1.0f), 41.0f));
        ImGui::Begin("##position", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings);
        int value = trackBar_.position;
        ImGui::SetNextItemWidth(-1.0f);
        char label[32];
        std::snprintf(label, sizeof label, "%.2f s", trackBar_.position / 100.0);
        bool changed = ImGui::SliderInt("##track", &value, TTrackBar::kMin, trackBar_.maximum, label);
        trackBar_.captured = ImGui::IsItemActive();
        if (changed && trackBar_.SetPosition(value)) TrackBarChanged();
        ImGui::End();
    }
    ImGui::PopStyleVar(2);
    ImGui::Render();
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}

void TMainWindow::Restart() {
    // Only the visuals rewind: the music is not repositioned.
    if (!device_) return;
    device_->Timer()->SetTime(0.0);
    device_->NoteSeek(0.0);
}

void TMainWindow::TrackBarChanged() {
    if (!trackBar_.captured || !device_) return; // program changes do not act
    double s = trackBar_.position / 100.0;
    if (IMusicPlayer* player = device_->GetMusicPlayer()) {
        player->SetPosition(s);
        device_->Timer()->SetTime(player->GetPosition());
    } else {
        device_->Timer()->SetTime(s);
    }
    device_->NoteSeek(s);
}

void TMainWindow::Follower(void* self, IDemo3dDevice*) {
    auto* w = static_cast<TMainWindow*>(self);
    w->trackBar_.SetPosition(int(std::lround(w->device_->Timer()->GetTime() * 100.0)));
}

// ---- events and the loop ----

void TMainWindow::KeyDown(int virtualKey, bool shift) {
    if (device_ && started_) {
        if (virtualKey == vkR && reloader_) {
            Reload(true);
            return;
        }
        // The demo's own keys first: they keep their meaning.
        if (keys_.KeyDown(virtualKey, device_.Get()) || !seekingEnabled_) return;
        if (SeekKeyDown(virtualKey, shift, *device_)) return;
        if (virtualKey == vkT) trackBar_.visible = !trackBar_.visible;
    } else if (virtualKey == vkEscape) {
        Application().Terminate();
    }
}

void TMainWindow::CloseRequest() {
    closeRequested_ = true;
    if (device_) device_->Quit();
    Application().Terminate();
    resChange_.reset(); // back to the desktop's display mode
}

void TMainWindow::HandleEvent(const SDL_Event& event) {
    if (imgui_) {
        ImGuiContext* previous = ImGui::GetCurrentContext();
        ImGui::SetCurrentContext(imgui_);
        ImGui_ImplSDL2_ProcessEvent(&event);
        ImGui::SetCurrentContext(previous ? previous : imgui_);
    }
    if (saver_ && saverHost_ && saverHost_->HandleEvent(event, *saver_)) return;
    switch (event.type) {
    case SDL_QUIT:
        CloseRequest();
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) CloseRequest();
        break;
    case SDL_KEYDOWN:
        if (int vk = VirtualKey(event.key.keysym.sym)) KeyDown(vk, (event.key.keysym.mod & KMOD_SHIFT) != 0);
        break;
    default:
        break;
    }
}

void TMainWindow::Run() {
    TApplication& app = Application();
    if (!window_) return; // nothing to show, nothing to close
    while (!app.Terminated()) {
        // Signals and the host's window; events are handled below.
        if (EndRequested(false)) break;
        SDL_Event event;
        bool handled = false;
        while (!app.Terminated() && SDL_PollEvent(&event)) {
            handled = true;
            try {
                HandleEvent(event);
            } catch (const std::exception& e) {
                if (HostTookItsWindow()) break;
                app.ShowError(e.what());
            }
        }
        if (app.Terminated()) break;
        if (watcher_) {
            try {
                PollReload();
            } catch (const std::exception& e) {
                app.ShowError(e.what());
            }
        }
        if (app.HasIdleHandler()) {
            try {
                app.Idle();
            } catch (const std::exception& e) {
                // Drawing fails once the host has destroyed the window drawn
                // into (the GL driver loses its buffers): the normal end of a
                // screen-saver run, not an error to report.
                if (HostTookItsWindow()) break;
                // The frame stays unfinished; the next idle call draws the next one.
                app.ShowError(e.what());
            }
        } else if (!handled) {
            SDL_WaitEventTimeout(nullptr, 100);
        }
    }
}
