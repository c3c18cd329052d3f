// The main window's offline runs: --benchmark draws the timeline with a fixed
// step as fast as possible (as many times as --loops asks), --render-frames
// writes every frame and the soundtrack of the same stretch to a folder.
#include "app/MainWindow.h"

#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"
#include "Mirel3d/Mirel3dOpengl/PixelWork.h"
#include "demo/Application.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <unistd.h>

namespace {

// The resident memory of this process in KiB (0 when it cannot be read).
long ResidentKiB() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    long size = 0, resident = 0;
    int read = std::fscanf(f, "%ld %ld", &size, &resident);
    std::fclose(f);
    if (read != 2) return 0;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Fragments per main-view pixel, passes and draw calls of a frame.
void PrintWorkPerFrame(const TPixelWorkCounts& work, uint64_t screenPixels, bool fragments) {
    if (work.Frames == 0) return;
    const double frames = double(work.Frames);
    if (fragments) std::printf("; %.3f fragments per main-view pixel", work.MainViewPerPixel(screenPixels));
    std::printf(", %.1f passes, %.1f draw calls per frame", double(work.Passes) / frames,
                double(work.DrawCalls) / frames);
}

// What the whole run's frames drew: fragments written per pixel of each kind
// of pass, the maps apart (per pixel of the maps drawn).
void PrintWork(const TPixelWorkCounts& work, uint64_t screenPixels, bool fragments) {
    if (work.Frames == 0) return;
    const double frames = double(work.Frames);
    std::printf("passes: %.1f per frame; draw calls: %.1f per frame\n", double(work.Passes) / frames,
                double(work.DrawCalls) / frames);
    if (!fragments) {
        std::printf("fragments: not counted (no occlusion queries)\n");
        return;
    }
    auto perScreen = [&](TPixelWorkKind k) {
        return double(work.Fragments[k]) / (double(screenPixels) * frames);
    };
    std::printf("fragments per main-view pixel: %.3f (opaque %.3f, blended %.3f, background %.3f)\n",
                work.MainViewPerPixel(screenPixels), perScreen(pwOpaque), perScreen(pwBlended),
                perScreen(pwBackground));
    std::printf("fragments per screen pixel over the view: console %.3f, fades %.3f\n", perScreen(pwConsole),
                perScreen(pwFades));
    std::printf("fragments per map pixel: shadow maps %.3f (%.2f maps per frame), cube faces %.3f (%.2f "
                "faces per frame)\n",
                work.PerTargetPixel(pwShadowMaps), double(work.Scopes[pwShadowMaps]) / frames,
                work.PerTargetPixel(pwCubeMaps), double(work.Scopes[pwCubeMaps]) / frames);
}

// The mean frame time of every part name (a name may have several parts on
// the timeline), slowest first, and the slowest by name, with its pixel work.
void PrintPartTimes(const TDemoPartList& parts, const std::vector<double>& partMs,
                    const std::vector<int64_t>& partFrames, const std::vector<TPixelWorkCounts>& partWork,
                    uint64_t screenPixels, bool fragments) {
    struct Total {
        std::string name;
        double ms = 0.0;
        int64_t frames = 0;
        TPixelWorkCounts work;
    };
    std::vector<Total> totals;
    for (size_t i = 0; i < parts.size(); i++) {
        if (partFrames[i] == 0) continue;
        IDemoEffect* effect = parts[i]->GetEffect();
        std::string name = effect ? effect->GetName() : std::string("?");
        auto found =
            std::find_if(totals.begin(), totals.end(), [&](const Total& t) { return t.name == name; });
        if (found == totals.end()) found = totals.insert(totals.end(), Total{name, 0.0, 0, {}});
        found->ms += partMs[i];
        found->frames += partFrames[i];
        found->work.Add(partWork[i]);
    }
    if (totals.empty()) return;
    std::sort(totals.begin(), totals.end(), [](const Total& a, const Total& b) {
        return a.ms / double(a.frames) > b.ms / double(b.frames);
    });
    std::printf("parts (each frame counted for its first live part):\n");
    for (const Total& t : totals) {
        std::printf("  %-16s mean %.3f ms over %lld frames", t.name.c_str(), t.ms / double(t.frames),
                    static_cast<long long>(t.frames));
        PrintWorkPerFrame(t.work, screenPixels, fragments);
        std::printf("\n");
    }
    std::printf("slowest part: %s (mean %.3f ms)\n", totals[0].name.c_str(),
                totals[0].ms / double(totals[0].frames));
}

// Combiner and vertex programs compiled so far by the emulation (0 on a
// driver that has the NV extensions itself).
int64_t ProgramsCompiled() {
    const NvEmulationStats stats = NvEmulationGetStats();
    return int64_t(stats.programsCompiled) + int64_t(stats.vertexProgramsLoaded);
}

} // namespace

double TMainWindow::Span() const {
    // From the start to the demo's end, or the duration asked when that ends
    // sooner. Frame k lies at start + k * step while k * step < span, so a
    // demo of 20 s rendered at 2 frames per second has 40 frames; a start
    // right at the end still draws that one frame.
    double span = std::max(double(device_->GetEndTime()) - commandLine_.start, 0.0);
    if (commandLine_.duration > 0.0) span = std::min(span, commandLine_.duration);
    return span;
}

int TMainWindow::RunBenchmark() {
    TApplication& app = Application();
    ITimer* timer = device_->Timer();
    const double step = 1.0 / 60.0;
    const int loops = std::max(commandLine_.loops, 1);
    // One pass of the timeline from the start time to the end (or for the
    // duration asked); the lists are reserved for all passes at once.
    const double span = Span();
    const size_t expected = size_t(std::ceil(span / step) + 2) * size_t(loops);
    // Written in place from the start, so that the memory printed after each
    // pass is the demo's alone, not these lists filling up.
    std::vector<double> frameMs(expected), frameTime(expected);
    size_t frames = 0;
    // Each frame's time also goes to the first part live in it: the one that
    // draws the picture the later ones (fades, blinks) only lie over.
    const TDemoPartList& parts = device_->Parts();
    std::vector<double> partMs(parts.size(), 0.0);
    std::vector<int64_t> partFrames(parts.size(), 0);
    // The pixel work of every frame, read after its time is taken.
    const bool fragments = PixelWorkEnable(true);
    PixelWorkTakeFrame(); // what start-up drew is not a frame's
    std::vector<TPixelWorkCounts> partWork(parts.size());
    TPixelWorkCounts work;
    // Programs compiled in a frame where a part started (its first frame)
    // and in the other frames, where a compile is a stall in the picture.
    std::vector<char> wasActive(parts.size(), 0);
    int64_t compiledAtStarts = 0, compiledLater = 0;
    for (int loop = 1; loop <= loops && !closeRequested_; loop++) {
        size_t first = frames;
        for (int64_t k = 0; !app.Terminated(); k++) {
            SDL_Event event;
            while (SDL_PollEvent(&event))
                HandleEvent(event);
            if (EndRequested(false) || app.Terminated()) break;
            double t = commandLine_.start + double(k) * step;
            if (k > 0 && double(k) * step >= span - 1e-9) break;
            timer->SetTime(t);
            timer->SetDuration(k == 0 ? 0.0f : float(step));
            const int64_t compiledBefore = ProgramsCompiled();
            auto before = std::chrono::steady_clock::now();
            device_->RenderFrame(); // past the end it asks the application to terminate
            auto after = std::chrono::steady_clock::now();
            bool started = false;
            for (size_t i = 0; i < parts.size(); i++) {
                const bool active = parts[i]->IsActive();
                started |= active && !wasActive[i];
                wasActive[i] = active;
            }
            (started ? compiledAtStarts : compiledLater) += ProgramsCompiled() - compiledBefore;
            if (frames == frameMs.size()) {
                frameMs.resize(frames * 2);
                frameTime.resize(frames * 2);
            }
            const double ms = std::chrono::duration<double, std::milli>(after - before).count();
            frameMs[frames] = ms;
            frameTime[frames] = t;
            frames++;
            const TPixelWorkCounts frameWork = PixelWorkTakeFrame();
            work.Add(frameWork);
            for (size_t i = 0; i < parts.size(); i++)
                if (parts[i]->IsActive()) {
                    partMs[i] += ms;
                    partFrames[i]++;
                    partWork[i].Add(frameWork);
                    break;
                }
        }
        // Every part stops at the end of a pass and starts again in the next.
        device_->EndTimeline();
        std::fill(wasActive.begin(), wasActive.end(), 0);
        if (loops > 1)
            std::printf("loop %d: %zu frames, resident memory %ld KiB\n", loop, frames - first,
                        ResidentKiB());
        if (!closeRequested_) app.ClearTerminate(); // the timeline's end, not the viewer's
    }
    PixelWorkEnable(false);
    if (closeRequested_) app.Terminate();
    if (frames == 0) return closeRequested_ ? 0 : 1;
    frameMs.resize(frames);
    frameTime.resize(frames);
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
    std::printf("start-up: %.1f ms, then the first frame %.1f ms\n", startupSeconds_ * 1e3, frameMs[0]);
    std::printf("frames: %zu (%dx%d, fixed step 1/60 s)\n", frameMs.size(), w, h);
    std::printf("mean: %.3f ms\n", sum / double(frameMs.size()));
    std::printf("median: %.3f ms\n", median);
    std::printf("p95: %.3f ms\n", percentile(95.0));
    std::printf("p99: %.3f ms\n", percentile(99.0));
    std::printf("worst: %.3f ms at demo time %.3f s\n", frameMs[worst], frameTime[worst]);
    const uint64_t screenPixels = uint64_t(std::max(w, 0)) * uint64_t(std::max(h, 0));
    PrintWork(work, screenPixels, fragments);
    std::printf("programs compiled: %lld in parts' first frames, %lld in later frames\n",
                static_cast<long long>(compiledAtStarts), static_cast<long long>(compiledLater));
    PrintPartTimes(parts, partMs, partFrames, partWork, screenPixels, fragments);
    return 0;
}

int64_t TMainWindow::DrawOfflineFrames(double fps, const std::function<void(int64_t)>& beforeFrame,
                                       const std::function<void(int64_t)>& afterFrame) {
    TApplication& app = Application();
    ITimer* timer = device_->Timer();
    const double span = Span();
    int64_t k = 0;
    for (; !app.Terminated(); k++) {
        double t = commandLine_.start + double(k) / fps;
        if (k > 0 && double(k) / fps >= span - 1e-9) break;
        SDL_Event event;
        while (SDL_PollEvent(&event))
            HandleEvent(event);
        if (EndRequested(false) || app.Terminated()) break;
        timer->SetTime(t);
        timer->SetDuration(k == 0 ? 0.0f : float(1.0 / fps));
        if (beforeFrame) beforeFrame(k);
        device_->RenderFrame();
        if (afterFrame) afterFrame(k);
    }
    return k;
}

int64_t TMainWindow::OfflineFrameEstimate(double fps) const {
    // Frame k is drawn while k/fps lies inside the span (frame 0 always).
    return std::max<int64_t>(1, int64_t(std::ceil(Span() * fps - 1e-9)));
}

int TMainWindow::RunRenderFrames() {
    std::filesystem::create_directories(commandLine_.renderDir);
    const double fps = commandLine_.fps;
    const std::string prefix = (std::filesystem::path(commandLine_.renderDir) / "frame").string();
    // Frame k is written as frame_<k>: the capture numbers its file with
    // the request count.
    const int64_t k = DrawOfflineFrames(fps, [&](int64_t frame) {
        device_->SetCaptureCounter(int32_t(frame - 1));
        device_->RequestCapture(prefix);
    });
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
