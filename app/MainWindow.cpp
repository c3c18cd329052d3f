#include "app/MainWindow.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"

#include "Mirel3d/Mirel3dBase/Mirel3dExceptions.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"
#include "app/ModeChooser.h"
#include "data/FlexibleStream.h"
#include "demo/Application.h"
#include "platform/DebugSink.h"
#include "platform/Format.h"

#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

// The names the six faces of a cube texture are formatted with, in order.
const char* const kCubeFaceNames[6] = {"posx", "negx", "posy", "negy", "posz", "negz"};

// Replaces the one text placeholder of a cube-texture pattern.
std::string FormatFaceName(const std::string& pattern, const char* face) {
    size_t at = pattern.find("%s");
    if (at == std::string::npos) return pattern;
    return pattern.substr(0, at) + face + pattern.substr(at + 2);
}

} // namespace

bool TTrackBar::SetPosition(int value) {
    value = std::clamp(value, kMin, kMax);
    if (value == position) return false;
    position = value;
    return true;
}

TMainWindow::TMainWindow(const TCommandLine& commandLine) : commandLine_(commandLine) {}

TMainWindow::~TMainWindow() {
    if (imgui_) {
        ImGui::SetCurrentContext(imgui_);
        ImGui_ImplOpenGL2_Shutdown();
        ImGui_ImplSDL2_Shutdown();
        ImGui::DestroyContext(imgui_);
        imgui_ = nullptr;
    }
    // The demo device goes first (effects, parts, console, player and the
    // rendering device), then the script document it looked into.
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
        else
            foreignWindow_.reset();
    }
    if (!window_) {
        window_ = SDL_CreateWindow(kCaption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kClientWidth,
                                   kClientHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        foreign = 0;
    }
    if (!window_) throw EPlatformError(Format("Cannot create the main window: %s", SDL_GetError()));
    SDL_SetWindowTitle(window_, kCaption);
    saverHost_ = std::make_unique<TSdlScreenSaverHost>(window_);
    saverHost_->SetEmbedded(foreign != 0);
}

bool TMainWindow::Create() {
    TApplication& app = Application();
    app.SetTitle(kCaption);
    if (commandLine_.debug) SetDebugOutputEnabled(true);
    // The demo must not keep the screen saver it may run under from starting.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
        startupError_ = Format("Cannot open the display: %s", SDL_GetError());
        app.ShowError(startupError_);
        app.Terminate();
        return false;
    }
    sdlStarted_ = true;

    try {
        // 1. The screen-saver switches adapt the window.
        TScreenSaverRequest request =
            ParseScreenSaverArgs(commandLine_.screenSaverArgs, std::getenv("XSCREENSAVER_WINDOW"));
        CreateSdlWindow(request);
        saver_ = std::make_unique<TScreenSaver>(*saverHost_);
        saver_->Options =
            ssoAutoAdjustFormProperties | ssoAutoHookMouseEvents | ssoEnhancedMouseMoveDetection;
        saver_->OnPropertiesRequested = [] { Application().ShowMessage("no settings", "no settings"); };
        saver_->Loaded(request);
        if (saverHost_->TerminateRequested()) app.Terminate();

        Startup();
    } catch (const std::exception& e) {
        // Start-up ends here; the window stays open without playback.
        startupError_ = e.what();
        app.ShowError(startupError_);
        if (window_ && !(saver_ && saver_->InPreview())) SDL_ShowWindow(window_);
        return false;
    }
    return started_;
}

void TMainWindow::Startup() {
    TApplication& app = Application();
    const bool embedded = foreignWindow_ != nullptr;

    // 1-2. The mode chooser (skipped when the command line decides, and
    // inside a foreign window, where nobody could answer it).
    bool windowMode = commandLine_.windowMode;
    int32_t width = commandLine_.width, height = commandLine_.height;
    int32_t bits = commandLine_.bitsPerPixel, rate = commandLine_.refreshRate;
    musicEnabled_ = !commandLine_.silent;
    if (commandLine_.chooser && !embedded) {
        std::unique_ptr<TfrmChoose> chooser = std::make_unique<TfrmChoose>();
        TModalResult result = chooser->ShowModal(app.Terminated());
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

    // 3. The cursor is hidden.
    SDL_ShowCursor(SDL_DISABLE);

    // 4. Window size or full screen.
    if (!embedded) {
        if (windowMode) {
            SDL_SetWindowSize(window_, width, height);
            SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        } else {
            resChange_ = std::make_unique<TResChange>(window_);
            resChange_->SetWidth(width);
            resChange_->SetHeight(height);
            resChange_->SetBitsPerPixel(bits);
            resChange_->SetRefreshRate(rate);
            resChange_->Apply();
            SDL_SetWindowBordered(window_, SDL_FALSE);
        }
    }

    // 6. The effect registry.
    FillEffectRegistry(registry_);

    // 7. The data source, then the main script.
    script_ = std::make_unique<TFileXMLParser>();
    if (!commandLine_.dataDir.empty()) {
        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetDataRoot(commandLine_.dataDir);
    } else if (!commandLine_.archiveFile.empty()) {
        TFlexibleStream::SetMode(lmPackage);
        TFlexibleStream::OpenArchiveFile(commandLine_.archiveFile);
    } else {
        TFlexibleStream::SetMode(lmPackedResource);
        TFlexibleStream::OpenArchive("FILES");
    }
    script_->LoadScript("zumbrix.xml");

    // 8. The data location the script declares.
    TResources* resources = script_->GetResources();
    if (resources) TFlexibleStream::SetPath(resources->Path);

    // 9-10. The demo device on the window, with the track-bar follower.
    device_ = new TDemo3dDevice();
    const bool offline = commandLine_.benchmark || !commandLine_.renderDir.empty();
    device_->SetAudioOutput(offline ? aoSilent : aoDevice);
    device_->Init(window_, false, musicEnabled_);
    device_->SetOnFrame({&TMainWindow::Follower, this});
    InitOverlay();

    // 11-12. Resources by kind, then the collection for the effects.
    if (resources) LoadResources(resources);
    device_->SetResources(resources);

    // 13-14. Effects, then the timeline.
    AddEffects();
    AddParts();

    // 15-17. Main context current, window shown, playback started.
    TRefPtr<I3dContext> main;
    device_->GetDevice()->GetMainContext(main);
    device_->GetDevice()->MakeContextCurrent(main.Get());
    if (!saver_->InPreview() || embedded) SDL_ShowWindow(window_);
    device_->Start();
    if (commandLine_.start > 0.0) {
        if (IMusicPlayer* player = device_->GetMusicPlayer()) {
            player->SetPosition(commandLine_.start);
            device_->Timer()->SetTime(player->GetPosition());
        } else {
            device_->Timer()->SetTime(commandLine_.start);
        }
    }
    started_ = true;
}

void TMainWindow::LoadResources(TResources* resources) {
    I3dDevice* device = device_->GetDevice();
    for (const std::unique_ptr<TResource>& resource : resources->Items) {
        TValueRecord& record = resource->Record;
        switch (resource->Kind) {
        case rkImage: {
            TRefPtr<I3dImage> image;
            device->CreateImage(image);
            image->TryLoadFromFile(resource->Value.c_str());
            record.SetInterface(vkImage, TRefPtr<IInterface>(image.Get()));
            break;
        }
        case rkTexture: {
            auto* texture = static_cast<TTextureResource*>(resource.get());
            TRefPtr<I3dTexture> made;
            device->LoadTexture(resource->Value.c_str(), 0, 0, 0, mmBuild, true,
                                texture->Repeat ? wmRepeat : wmClampToEdge, tfNone, tkNone, false, made);
            record.SetInterface(vkTexture, TRefPtr<IInterface>(made.Get()));
            if (made) made->Upload();
            break;
        }
        case rkCubeTexture: {
            TRefPtr<I3dContext> current;
            device->GetCurrentContext(current);
            T3dCapabilities caps{};
            if (current) current->GetCapabilities(caps);
            T3dTextureParams params;
            int faces = caps.CubeMaps ? 6 : 1;
            for (int i = 0; i < faces; i++) {
                const char* face = caps.CubeMaps ? kCubeFaceNames[i] : "negz";
                TRefPtr<I3dImage> image;
                device->CreateImage(image);
                image->TryLoadFromFile(FormatFaceName(resource->Value, face).c_str());
                params.Images[i] = TRefPtr<IFlexibleImage>(image.Get());
            }
            params.FaceCount = faces;
            params.MipMode = mmBuild;
            params.Wrap = wmClamp;
            params.Smooth = true;
            params.Format = tfRGB;
            params.Kind = caps.CubeMaps ? tkCubeMap : tk2D;
            TRefPtr<I3dTexture> made;
            device->CreateTexture(params, made);
            record.SetInterface(caps.CubeMaps ? vkCubeTexture : vkTexture, TRefPtr<IInterface>(made.Get()));
            if (made) made->Upload();
            break;
        }
        case rkMp3:
            if (IMusicPlayer* player = device_->GetMusicPlayer()) player->Load(resource->Value);
            break;
        case rkConsoleFont:
            device_->LoadConsoleFont(resource->Value);
            break;
        case rkBinary: {
            TFlexibleStream stream(resource->Value);
            int64_t size = stream.GetSize();
            auto bytes = std::make_shared<std::vector<uint8_t>>(size_t(std::max<int64_t>(size, 0)));
            if (size > 0) stream.ReadBuffer(bytes->data(), size);
            record.SetData(bytes);
            break;
        }
        default:
            break;
        }
    }
}

void TMainWindow::AddEffects() {
    for (const std::unique_ptr<TEffect>& entry : script_->Effects()) {
        for (TRefPtr<IDemoEffect>& effect : registry_.Create(entry->ClassName)) {
            effect->SetName(entry->Name);
            effect->SetProperties(&entry->Properties);
            effect->SetControls(&entry->Controls);
            device_->AddEffect(effect.Get());
            effect->Load();
        }
    }
}

void TMainWindow::AddParts() {
    for (const std::unique_ptr<TPart>& entry : script_->Parts()) {
        IDemoEffect* effect = device_->FindEffect(entry->Name);
        if (!effect) {
            // A part naming an effect the script does not define (or one of
            // a class this program lacks) has nothing to draw: left out.
            DebugOutput(Format("The part %s names no effect; skipped", entry->Name.c_str()));
            continue;
        }
        TRefPtr<TDemoPart> part(new TDemoPart());
        part->SetEffect(effect);
        device_->AddPart(part.Get(), entry->Prepare, entry->Start, entry->Stop, entry->Unprepare);
    }
}

// ---- the overlay: the restart button (and the hidden track bar) ----

void TMainWindow::InitOverlay() {
    if (commandLine_.benchmark || !commandLine_.renderDir.empty()) return; // nobody to press it
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
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(ImVec2(float(width), 41.0f));
        ImGui::Begin("##position", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings);
        int value = trackBar_.position;
        bool changed = ImGui::SliderInt("##track", &value, TTrackBar::kMin, TTrackBar::kMax, "");
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
    if (device_) device_->Timer()->SetTime(0.0);
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
}

void TMainWindow::Follower(void* self, IDemo3dDevice*) {
    auto* w = static_cast<TMainWindow*>(self);
    w->trackBar_.SetPosition(int(std::lround(w->device_->Timer()->GetTime() * 100.0)));
}

// ---- events and the loop ----

void TMainWindow::KeyDown(int virtualKey) {
    if (device_ && started_)
        keys_.KeyDown(virtualKey, device_.Get());
    else if (virtualKey == vkEscape)
        Application().Terminate();
}

void TMainWindow::CloseRequest() {
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
        if (int vk = VirtualKey(event.key.keysym.sym)) KeyDown(vk);
        break;
    default:
        break;
    }
}

void TMainWindow::Run() {
    TApplication& app = Application();
    while (!app.Terminated()) {
        SDL_Event event;
        bool handled = false;
        while (!app.Terminated() && SDL_PollEvent(&event)) {
            handled = true;
            try {
                HandleEvent(event);
            } catch (const std::exception& e) {
                app.ShowError(e.what());
            }
        }
        if (app.Terminated()) break;
        if (app.HasIdleHandler()) {
            try {
                app.Idle();
            } catch (const std::exception& e) {
                // The frame stays unfinished; the next idle call draws the next one.
                app.ShowError(e.what());
            }
        } else if (!handled) {
            SDL_WaitEventTimeout(nullptr, 100);
        }
    }
}

namespace {

// The mean frame time of every part name (a name may have several parts on
// the timeline), slowest first, and the slowest by name.
void PrintPartTimes(const TDemoPartList& parts, const std::vector<double>& partMs,
                    const std::vector<int64_t>& partFrames) {
    struct Total {
        std::string name;
        double ms = 0.0;
        int64_t frames = 0;
    };
    std::vector<Total> totals;
    for (size_t i = 0; i < parts.size(); i++) {
        if (partFrames[i] == 0) continue;
        IDemoEffect* effect = parts[i]->GetEffect();
        std::string name = effect ? effect->GetName() : std::string("?");
        auto found =
            std::find_if(totals.begin(), totals.end(), [&](const Total& t) { return t.name == name; });
        if (found == totals.end()) found = totals.insert(totals.end(), Total{name});
        found->ms += partMs[i];
        found->frames += partFrames[i];
    }
    if (totals.empty()) return;
    std::sort(totals.begin(), totals.end(), [](const Total& a, const Total& b) {
        return a.ms / double(a.frames) > b.ms / double(b.frames);
    });
    std::printf("parts (each frame counted for its first live part):\n");
    for (const Total& t : totals)
        std::printf("  %-16s mean %.3f ms over %lld frames\n", t.name.c_str(), t.ms / double(t.frames),
                    static_cast<long long>(t.frames));
    std::printf("slowest part: %s (mean %.3f ms)\n", totals[0].name.c_str(),
                totals[0].ms / double(totals[0].frames));
}

} // namespace

int TMainWindow::RunBenchmark() {
    TApplication& app = Application();
    ITimer* timer = device_->Timer();
    const double step = 1.0 / 60.0;
    std::vector<double> frameMs;
    std::vector<double> frameTime;
    frameMs.reserve(8000);
    frameTime.reserve(8000);
    // Each frame's time also goes to the first part live in it: the one that
    // draws the picture the later ones (fades, blinks) only lie over.
    const TDemoPartList& parts = device_->Parts();
    std::vector<double> partMs(parts.size(), 0.0);
    std::vector<int64_t> partFrames(parts.size(), 0);
    for (int64_t k = 0; !app.Terminated(); k++) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            HandleEvent(event);
        if (app.Terminated()) break;
        double t = commandLine_.start + double(k) * step;
        if (commandLine_.duration > 0.0 && double(k) * step >= commandLine_.duration - 1e-9) break;
        timer->SetTime(t);
        timer->SetDuration(k == 0 ? 0.0f : float(step));
        auto before = std::chrono::steady_clock::now();
        device_->RenderFrame();
        auto after = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(after - before).count();
        frameMs.push_back(ms);
        frameTime.push_back(t);
        for (size_t i = 0; i < parts.size(); i++)
            if (parts[i]->IsActive()) {
                partMs[i] += ms;
                partFrames[i]++;
                break;
            }
    }
    if (frameMs.empty()) return 1;
    size_t worst = size_t(std::max_element(frameMs.begin(), frameMs.end()) - frameMs.begin());
    double sum = 0.0;
    for (double ms : frameMs)
        sum += ms;
    std::vector<double> sorted = frameMs;
    std::sort(sorted.begin(), sorted.end());
    auto percentile = [&](double p) {
        size_t i = size_t(std::ceil(p / 100.0 * double(sorted.size()))) - 1;
        return sorted[std::min(i, sorted.size() - 1)];
    };
    double median = sorted.size() % 2 ? sorted[sorted.size() / 2]
                                      : 0.5 * (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    std::printf("frames: %zu (%dx%d, fixed step 1/60 s)\n", frameMs.size(), w, h);
    std::printf("mean: %.3f ms\n", sum / double(frameMs.size()));
    std::printf("median: %.3f ms\n", median);
    std::printf("p95: %.3f ms\n", percentile(95.0));
    std::printf("p99: %.3f ms\n", percentile(99.0));
    std::printf("worst: %.3f ms at demo time %.3f s\n", frameMs[worst], frameTime[worst]);
    PrintPartTimes(parts, partMs, partFrames);
    return 0;
}

int TMainWindow::RunRenderFrames() {
    TApplication& app = Application();
    std::filesystem::create_directories(commandLine_.renderDir);
    ITimer* timer = device_->Timer();
    const double fps = commandLine_.fps;
    const std::string prefix = (std::filesystem::path(commandLine_.renderDir) / "frame").string();
    int64_t k = 0;
    for (; !app.Terminated(); k++) {
        double t = commandLine_.start + double(k) / fps;
        if (commandLine_.duration > 0.0 && double(k) / fps >= commandLine_.duration - 1e-9) break;
        SDL_Event event;
        while (SDL_PollEvent(&event))
            HandleEvent(event);
        if (app.Terminated()) break;
        timer->SetTime(t);
        timer->SetDuration(k == 0 ? 0.0f : float(1.0 / fps));
        // Frame k is written as frame_<k>: the capture numbers its file with
        // the request count.
        device_->SetCaptureCounter(int32_t(k - 1));
        device_->RequestCapture(prefix);
        device_->RenderFrame();
    }
    // The sound of the same stretch of demo time.
    if (auto* player = dynamic_cast<TBassPlayer*>(device_->GetMusicPlayer())) {
        std::vector<int16_t> pcm;
        if (player->DecodeAll(pcm)) {
            size_t first = size_t(std::llround(commandLine_.start * 44100.0)) * 2;
            size_t count = size_t(std::llround(double(k) / fps * 44100.0)) * 2;
            first = std::min(first, pcm.size());
            count = std::min(count, pcm.size() - first);
            std::vector<int16_t> part(pcm.begin() + ptrdiff_t(first), pcm.begin() + ptrdiff_t(first + count));
            SaveWaveFile((std::filesystem::path(commandLine_.renderDir) / "audio.wav").string(), part);
        }
    }
    std::printf("%lld frames at %g fps written to %s\n", static_cast<long long>(k), fps,
                commandLine_.renderDir.c_str());
    return 0;
}
