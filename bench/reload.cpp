// Live reload speed on the shipped demo played from loose files (a copy of
// build/data), side by side in one run with a cold start of the same data:
//
// - cold start: `zumbrix --data COPY --benchmark --duration 0.01 --debug`,
//   start-up to its first frame as it reports it, and the share of each
//   scene effect (the time between its step and the next in --debug);
// - script edit: the first colour key of the fade "rise" goes from black to
//   red in zumbrix_fades.xml, saved by rename; from the rename to the first
//   presented frame that shows red at demo time 0 (the watcher's settling
//   after a rename, 10 ms, included, and without it);
// - scene edit: relief.y3d saved again by rename; from the rename to the
//   first frame drawn with the scene loaded again, against the relief
//   effect's share of start-up plus one frame.
//
// Each figure is the best of several runs. The last lines are the ratios
// reload is judged by (script: at most 1/3 of cold start; scene: at most
// 1.0 of its share plus a frame).
#include "app/MainWindow.h"
#include "bench/BenchSupport.h"
#include "data/FlexibleStream.h"
#include "demo/Application.h"
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

namespace {

// Each effect's share of start-up, from zumbrix --debug's step lines.
std::map<std::string, double> EffectShares(const std::string& err, double& effectsEnd) {
    std::map<std::string, double> shares;
    std::string last;
    double lastAt = 0;
    size_t at = 0;
    while ((at = err.find("start-up: ", at)) != std::string::npos) {
        char name[256] = {0};
        double ms = 0;
        const char* line = err.c_str() + at;
        if (std::sscanf(line, "start-up: effect %255s at %lf ms", name, &ms) == 2) {
            if (!last.empty()) shares[last] = ms - lastAt;
            last = name;
            lastAt = ms;
        } else if (std::sscanf(line, "start-up: effects loaded at %lf ms", &ms) == 1) {
            if (!last.empty()) shares[last] = ms - lastAt;
            effectsEnd = ms;
            last.clear();
        }
        at++;
    }
    return shares;
}

void RenameOver(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteFileBytes(path + ".tmp~", bytes);
    std::rename((path + ".tmp~").c_str(), path.c_str());
}

uint32_t CenterPixel(TMainWindow& window) {
    TRefPtr<I3dContext> main;
    window.Device()->GetDevice()->GetMainContext(main);
    uint8_t p[4] = {0, 0, 0, 0};
    main->ReadBack(main->GetWidth() / 2, main->GetHeight() / 2, 1, 1, p);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

} // namespace

int main() {
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 0);
    TempDir copy;
    std::filesystem::copy(std::string(ZUMBRIX_BINARY_DIR) + "/data", copy.Path(),
                          std::filesystem::copy_options::recursive);
    const std::string fades = copy.File("zumbrix_fades.xml");
    const std::string scene = copy.File("data/relief.y3d");
    const std::vector<uint8_t> fadesBytes = ReadFileBytes(fades), sceneBytes = ReadFileBytes(scene);
    std::string redText(fadesBytes.begin(), fadesBytes.end());
    const size_t key = redText.find("value=\"0 0 0 255\"");
    if (key == std::string::npos) {
        std::fprintf(stderr, "bench_reload: the fade \"rise\" has changed; adapt the edit\n");
        return 1;
    }
    redText.replace(key, 17, "value=\"255 0 0 255\"");
    const std::vector<uint8_t> redBytes(redText.begin(), redText.end());

    // Cold start of the same data, as zumbrix reports it.
    double cold = 1e30, reliefShare = 1e30;
    for (int run = 0; run < 3; run++) {
        CommandResult r =
            RunProgram(ZUMBRIX_PATH, {"--data", copy.Path(), "--benchmark", "--duration", "0.01", "--debug"});
        double ms = 0, first = 0, effectsEnd = 0;
        const size_t at = r.out.find("start-up: ");
        if (r.exitCode != 0 || at == std::string::npos ||
            std::sscanf(r.out.c_str() + at, "start-up: %lf ms, then the first frame %lf ms", &ms, &first) !=
                2) {
            std::fprintf(stderr, "bench_reload: zumbrix --benchmark failed:\n%s%s", r.out.c_str(),
                         r.err.c_str());
            return 1;
        }
        cold = std::min(cold, (ms + first) / 1e3);
        std::map<std::string, double> shares = EffectShares(r.err, effectsEnd);
        if (shares.count("relief")) reliefShare = std::min(reliefShare, shares["relief"] / 1e3);
    }

    // Reloads in one window playing the copy (paused at demo time 0).
    Application().SetMessageBoxes(false);
    TMainWindow window(ParseCommandLine({"--window", "640x480", "--silent", "--data", copy.Path()}));
    if (!window.Create()) {
        std::fprintf(stderr, "bench_reload: start-up failed: %s\n", window.StartupError().c_str());
        return 1;
    }
    window.Device()->TogglePause();
    double frame = Best(5, [] { Application().Idle(); });
    const uint32_t black = CenterPixel(window);

    struct Measured {
        double total = 1e30, settled = 1e30, rebuild = 1e30;
    };
    // From the rename to the first frame drawn after the reload.
    auto measure = [&](const std::string& path, const std::vector<uint8_t>& bytes, Measured& m) -> bool {
        const int64_t t0 = QueryPerformanceCounter();
        RenameOver(path, bytes);
        for (;;) {
            TReloadReport report = window.PollReload();
            if (report.outcome == roFailed) {
                std::fprintf(stderr, "bench_reload: reload failed: %s\n", report.message.c_str());
                return false;
            }
            if (report.outcome == roReloaded) {
                const int64_t t1 = QueryPerformanceCounter();
                Application().Idle();
                const int64_t t2 = QueryPerformanceCounter();
                m.total = std::min(m.total, Seconds(t2 - t0));
                m.settled = std::min(m.settled, report.seconds + Seconds(t2 - t1));
                m.rebuild = std::min(m.rebuild, report.seconds);
                return true;
            }
            if (Seconds(QueryPerformanceCounter() - t0) > 60) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    };
    Measured script, sceneEdit;
    bool shown = true;
    for (int run = 0; run < 3; run++) {
        if (!measure(fades, redBytes, script)) return 1;
        shown = shown && CenterPixel(window) == 0x0000ffu;
        if (!measure(fades, fadesBytes, script)) return 1;
        shown = shown && CenterPixel(window) == black;
        if (!measure(scene, sceneBytes, sceneEdit)) return 1;
    }

    std::printf("cold start-up to the first frame (zumbrix --benchmark):   %8.1f ms\n", cold * 1e3);
    std::printf("one frame at 640x480:                                    %8.1f ms\n", frame * 1e3);
    std::printf("relief's share of start-up:                              %8.1f ms\n", reliefShare * 1e3);
    std::printf("script edit, rename to the first frame showing it:       %8.1f ms (%.1f ms after the "
                "%.0f ms of settling)%s\n",
                script.total * 1e3, script.settled * 1e3, TFileWatcher::kCompleteSettleSeconds * 1e3,
                shown ? "" : "  [THE FRAME DID NOT SHOW THE CHANGE]");
    std::printf(
        "scene edit, rename to the first frame with it:           %8.1f ms (%.1f ms after settling)\n",
        sceneEdit.total * 1e3, sceneEdit.settled * 1e3);
    std::printf("the rebuild alone: script %.1f ms, scene %.1f ms\n", script.rebuild * 1e3,
                sceneEdit.rebuild * 1e3);
    std::printf("ratio script reload / cold start: %.2f (target <= 0.33); without the settling %.2f\n",
                script.total / cold, script.settled / cold);
    std::printf("ratio scene reload / (its share + one frame): %.2f (target <= 1.0); without the settling "
                "%.2f\n",
                sceneEdit.total / (reliefShare + frame), sceneEdit.settled / (reliefShare + frame));
    return shown ? 0 : 1;
}
