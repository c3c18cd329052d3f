// --render-video: the frames of --render-frames (the same loop, demo time
// k/fps) and the soundtrack of the same stretch, encoded straight into one
// video file, with a progress line on standard error.
#include "app/MainWindow.h"
#include "app/VideoWriter.h"

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "demo/Application.h"
#include "demo/MusicPlayer.h"
#include "platform/Format.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// Seconds as "1:05" or "1:02:03".
std::string Clock(double seconds) {
    const long s = std::max(0L, std::lround(seconds));
    if (s >= 3600) return Format("%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return Format("%ld:%02ld", s / 60, s % 60);
}

struct TReadBack {
    std::vector<uint8_t> pixels;
    int32_t width = 0, height = 0;
    bool read = false;

    // Called by the device after the frame is drawn and before it is shown.
    static void Read(void* self, IDemo3dDevice*) {
        auto* r = static_cast<TReadBack*>(self);
        GLint alignment = 4;
        GL.glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
        GL.glPixelStorei(GL_PACK_ALIGNMENT, 4);
        GL.glReadBuffer(GL_BACK);
        GL.glReadPixels(0, 0, r->width, r->height, GL_BGRA, GL_UNSIGNED_BYTE, r->pixels.data());
        GL.glPixelStorei(GL_PACK_ALIGNMENT, alignment);
        r->read = true;
    }
};

} // namespace

int TMainWindow::RunRenderVideo() {
    const double fps = commandLine_.fps;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    if (w < commandLine_.width || h < commandLine_.height) {
        std::fprintf(stderr, "zumbrix: the display gave a %dx%d window, not %dx%d\n", w, h,
                     commandLine_.width, commandLine_.height);
        return 1;
    }

    // The soundtrack from the start time on (none: silence).
    std::vector<int16_t> pcm;
    constexpr int kRate = 44100;
    if (auto* player = dynamic_cast<TBassPlayer*>(device_->GetMusicPlayer())) player->DecodeAll(pcm);
    const size_t first = std::min(pcm.size(), size_t(std::llround(commandLine_.start * kRate)) * 2);
    const int16_t* sound = pcm.data() + first;
    const int64_t soundFrames = int64_t(pcm.size() - first) / 2;

    TVideoSettings settings;
    settings.file = commandLine_.videoFile;
    settings.width = commandLine_.width;
    settings.height = commandLine_.height;
    settings.fps = fps;
    settings.quality = commandLine_.quality;
    settings.sampleRate = kRate;
    TReadBack readBack;
    readBack.width = settings.width;
    readBack.height = settings.height;
    readBack.pixels.resize(size_t(settings.width) * size_t(settings.height) * 4);

    try {
        TVideoWriter writer(settings);
        device_->SetOnOverlay({&TReadBack::Read, &readBack});
        const int64_t expected = OfflineFrameEstimate(fps);
        const bool terminal = isatty(STDERR_FILENO) != 0;
        const auto began = std::chrono::steady_clock::now();
        auto lastReport = began;
        auto report = [&](int64_t done, bool last) {
            const auto now = std::chrono::steady_clock::now();
            if (!last && now - lastReport < std::chrono::milliseconds(terminal ? 250 : 5000)) return;
            lastReport = now;
            const double seconds = std::chrono::duration<double>(now - began).count();
            const double rate = seconds > 0.0 ? double(done) / seconds : 0.0;
            const int64_t total = std::max(expected, done);
            std::fprintf(stderr, "%sframe %lld of %lld, %.1f fps (%.2fx real time), %s left%s",
                         terminal ? "\r" : "", static_cast<long long>(done), static_cast<long long>(total),
                         rate, rate / fps,
                         last ? "0:00" : Clock(rate > 0.0 ? double(total - done) / rate : 0.0).c_str(),
                         terminal && !last ? "   " : "\n");
            std::fflush(stderr);
        };
        const int64_t frames = DrawOfflineFrames(
            fps, [&](int64_t) { readBack.read = false; },
            [&](int64_t k) {
                if (!readBack.read) return;
                writer.AddFrame(readBack.pixels.data(), settings.width * 4);
                // The sound up to the end of this frame, in step with the pictures.
                const int64_t due = std::min(int64_t(std::llround(double(k + 1) / fps * kRate)), soundFrames);
                if (due > writer.SoundFramesGiven())
                    writer.AddSound(sound + writer.SoundFramesGiven() * 2,
                                    size_t(due - writer.SoundFramesGiven()));
                if (due == soundFrames) writer.PadSoundToPictures();
                report(k + 1, false);
            });
        device_->SetOnOverlay({});
        if (closeRequested_) {
            // Interrupted: the writer removes what it began.
            std::fprintf(stderr, "\nzumbrix: the video was not finished; %s was not written\n",
                         settings.file.c_str());
            return 1;
        }
        writer.Finish();
        report(frames, true);
        std::printf("%lld frames at %g fps (%s, %s) written to %s\n", static_cast<long long>(frames), fps,
                    writer.VideoCodecName(), writer.AudioCodecName(), settings.file.c_str());
    } catch (const std::exception& e) {
        device_->SetOnOverlay({});
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
